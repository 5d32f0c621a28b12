#include "platform/convert.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/error.h"
#include "platform/test_support.h"

namespace zel::platform {
namespace {

TEST(RequestValues, NumbersAndTrimming) {
    EXPECT_EQ(ToInt32("2.5", "t"), 2);
    EXPECT_EQ(ToInt32("3.5", "t"), 4);
    EXPECT_EQ(ToInt32(" -7 ", "t"), -7);
    EXPECT_EQ(ToInt32("1e3", "t"), 1000);
    for (const char* bad : {"", "abc", "1.2.3", "inf", "0x10", "."}) {
        try {
            ToInt32(bad, "t");
            ADD_FAILURE() << bad;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Number(), 13) << bad;
        }
    }
    try {
        ToInt32("3000000000", "t");
        ADD_FAILURE();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 6);
    }
    EXPECT_EQ(TrimValue(std::string(" ab \t\r\n\0 ", 9)), " ab");
}

TEST(RequestNumber, GroupingMarksAndBlanksUnderTheCAndEnglishLocales) {
    for (const char* locale : {"C", "en_US"}) {
        SCOPED_TRACE(locale);
        testing::ScopedDefaultLocale pinned(locale);
        EXPECT_EQ(RequestNumber("1,000"), 1000.0);
        EXPECT_EQ(RequestNumber("1,234.5"), 1234.5);
        EXPECT_EQ(RequestNumber(" 12 "), 12.0);
        EXPECT_EQ(RequestNumber("\t-2,147,483,648\t"), -2147483648.0);
        // Every form the plain reading takes is still a number.
        EXPECT_EQ(RequestNumber("2.5"), 2.5);
        EXPECT_EQ(RequestNumber("+1e3"), 1000.0);
        EXPECT_EQ(RequestNumber(".5"), 0.5);
        for (const char* bad : {"1,0", "12abc", "0x10", "", " ", "1,00,000", "1,,000", ",5",
                                "1 000", "1e", "1.2.3", "1e400"}) {
            EXPECT_FALSE(RequestNumber(bad).has_value()) << bad;
        }
        // The locale conversion takes these; a request value must not.
        for (const char* bad : {"inf", "-inf", "INF", "nan", "NaN", "-nan"}) {
            EXPECT_FALSE(RequestNumber(bad).has_value()) << bad;
        }
        EXPECT_FALSE(RequestNumber(std::string("1\0", 2)).has_value());
    }
}

TEST(RequestNumber, FollowsTheDefaultLocaleWhileStoredNumbersDoNot) {
    testing::ScopedDefaultLocale pinned("de_DE");
    // Here the comma is the decimal mark and the point groups.
    EXPECT_EQ(RequestNumber("1.000"), 1000.0);
    EXPECT_EQ(RequestNumber("1,5"), 1.5);
    EXPECT_FALSE(RequestNumber("1,234.5").has_value());
    // The system's own numbers are read the same under every locale.
    EXPECT_EQ(ParseNumber("1.5"), 1.5);
    EXPECT_FALSE(ParseNumber("1,000").has_value());
    EXPECT_THROW(ToInt32("1,000", "t"), RuntimeError);
}

TEST(WholeRequestNumber, ReadsGroupingMarksAndKeepsTheRoundingAndRange) {
    testing::ScopedDefaultLocale english("en_US");
    EXPECT_EQ(WholeRequestNumber("1,000"), 1000);
    EXPECT_EQ(WholeRequestNumber(" 1,234.5 "), 1234);
    EXPECT_EQ(WholeRequestNumber("1,235.5"), 1236);
    EXPECT_EQ(WholeRequestNumber("-1,001"), -1001);
    EXPECT_EQ(WholeRequestNumber("2,147,483,647"), 2147483647);
    EXPECT_EQ(WholeRequestNumber("2,147,483,648"), 0);
    for (const char* zero : {"1,0", "12abc", "0x10", "inf", "nan", ""})
        EXPECT_EQ(WholeRequestNumber(zero), 0) << zero;
}

TEST(DigitsOnly, KeepsTheTenDigitsOfAPhoneNumber) {
    EXPECT_EQ(DigitsOnly("(555) 123-4567"), "5551234567");
    EXPECT_EQ(DigitsOnly("+1.555/x\xB2"), "1555");
    EXPECT_EQ(DigitsOnly(""), "");
}

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
    EXPECT_EQ(LeadingNumber("  42"), 42);
    EXPECT_EQ(LeadingNumber("12abc"), 12);
    EXPECT_EQ(LeadingNumber("-5"), -5);
    EXPECT_EQ(LeadingNumber("2.5e1x"), 25);
    EXPECT_EQ(LeadingNumber("x12"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("."), 0);
    EXPECT_EQ(LeadingNumber("3e+x"), 3);  // an exponent without digits is not part of it
    EXPECT_EQ(LeadingNumber("inf"), 0);
    EXPECT_EQ(LeadingNumber("1e999"), 0);  // out of range reads as no number
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(Int16Or("7", -1), 7);
    EXPECT_EQ(Int16Or("99999", -1), -1);
    EXPECT_EQ(Int16Or("abc", -1), -1);
}

TEST(LetterCase, OnlyAsciiLettersFoldWhateverTheLocale) {
    EXPECT_EQ(UpperCase("abz{`AZ09"), "ABZ{`AZ09");
    EXPECT_EQ(LowerCase("ABZ@[abz"), "abz@[abz");
    EXPECT_EQ(UpperCase("\xe9"), "\xe9");
    EXPECT_TRUE(SameTextNoCase("Subscription_Info", "SUBSCRIPTION_INFO"));
    EXPECT_FALSE(SameTextNoCase("SELF", "SELF "));
    EXPECT_FALSE(SameTextNoCase("\xe9", "\xc9"));
    EXPECT_FALSE(SameTextNoCase("@", "`"));  // the bytes either side of the letters
}

TEST(Trimming, EachTrimRemovesOnlyItsOwnCharacters) {
    EXPECT_EQ(TrimTrailingSpaces("ab \t  "), "ab \t");
    EXPECT_EQ(TrimBlanks(" \t a b \t"), "a b");
    EXPECT_EQ(TrimBlanks("\r\n"), "\r\n");
    EXPECT_EQ(ReplaceAll("aXbXX", "X", "yy"), "ayybyyyy");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");  // scans on after each replacement
    EXPECT_EQ(ReplaceAll("abc", "", "z"), "abc");
}

TEST(Numbers, Int16BoundsAndBlanks) {
    EXPECT_EQ(ToInt16("32767", "t"), 32767);
    EXPECT_EQ(ToInt16("-32768.4", "t"), -32768);
    try {
        ToInt16("32767.5", "src");  // rounds to 32768
        ADD_FAILURE();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 6);
        EXPECT_EQ(e.Source(), "src");
    }
    EXPECT_EQ(ParseNumber("\t 1.5e2 \t"), 150.0);
    EXPECT_FALSE(ParseNumber("1 2"));
    EXPECT_FALSE(ParseNumber("+"));
    EXPECT_FALSE(ParseNumber("nan"));
    EXPECT_EQ(RoundHalfEven(-0.5), 0.0);
    EXPECT_FALSE(std::signbit(RoundHalfEven(-0.4)));  // no negative zero
}

}  // namespace
}  // namespace zel::platform
