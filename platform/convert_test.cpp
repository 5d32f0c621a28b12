#include "platform/convert.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/error.h"

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
