#include "records/converters.h"

#include <gtest/gtest.h>

#include <string>

namespace zel::records {
namespace {

std::string Stripped(std::string part, std::string* code = nullptr, bool* fits = nullptr) {
    std::string c;
    const bool ok = StripPartNumber(part, c);
    if (code) *code = c;
    if (fits) *fits = ok;
    return part;
}

std::string Restored(std::string part, const std::string& code) {
    RestorePartNumber(part, code);
    return part;
}

TEST(StripPartNumberTest, DropsWhatCannotBeStoredAndNotesWhere) {
    std::string code;
    bool fits = false;
    EXPECT_EQ(Stripped("12-345-67", &code, &fits), "1234567");
    EXPECT_EQ(code, "37");
    EXPECT_TRUE(fits);

    EXPECT_EQ(Stripped("  12 345  ", &code, &fits), "12345");  // trimmed first, inner space dropped
    EXPECT_EQ(code, "3");
    EXPECT_TRUE(fits);

    EXPECT_EQ(Stripped("ab12", &code), "12");
    EXPECT_EQ(code, "12");

    EXPECT_EQ(Stripped("A,B/C.D", &code), "A,B/C.D");  // comma, slash and period are storable
    EXPECT_EQ(code, "");

    EXPECT_EQ(Stripped("1-2-3-4-5", &code, &fits), "12345");
    EXPECT_EQ(code, "2468");
    EXPECT_FALSE(fits);
}

TEST(StripPartNumberTest, PositionsBeyondTheTableLeaveNoTrace) {
    std::string code;
    EXPECT_EQ(Stripped("12345678901234567890-2-", &code),
              "12345678901234567890"
              "2");
    EXPECT_EQ(code, "L");  // 21st character; the 23rd leaves nothing
    EXPECT_EQ(Stripped("ABCDEFGHIJKLMNOPQR-ST", &code), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(code, "J");
}

TEST(RestorePartNumberTest, PutsDashesWhereTheCodeSays) {
    EXPECT_EQ(Restored("1234567", "37"), "12-345-67");
    EXPECT_EQ(Restored("12345", "3"), "12-345");
    EXPECT_EQ(Restored("12", "12"), "--12");         // ab12: two dashes before 12
    EXPECT_EQ(Restored("12", "9"), "12-");           // shorter than the position: appended
    EXPECT_EQ(Restored("12345", "3  "), "12-345");   // trailing spaces of the stored code
    EXPECT_EQ(Restored("12345", "3 4"), "12--345");  // an inner space is skipped
    EXPECT_EQ(Restored("12345", ""), "12345");
}

TEST(RestorePartNumberTest, JKLAreRecordedButNeverRestored) {
    for (const char* code : {"J", "K", "L"}) {
        EXPECT_EQ(Restored("12345678901234567890", code), "12345678901234567890") << code;
    }
}

TEST(RestorePartNumberTest, StripAndRestoreRoundTripEveryDashPosition) {
    for (int at = 1; at <= 18; ++at) {
        std::string number(20, 'A');
        for (int i = 0; i < 20; ++i)
            number[static_cast<std::size_t>(i)] = static_cast<char>('A' + i);
        number[static_cast<std::size_t>(at - 1)] = '-';
        std::string part = number, code;
        EXPECT_TRUE(StripPartNumber(part, code));
        EXPECT_EQ(code, std::string(1, kDashPositions[static_cast<std::size_t>(at - 1)]));
        RestorePartNumber(part, code);
        EXPECT_EQ(part, number) << "dash at " << at;
    }
    // Any removed character comes back as a dash.
    std::string part = "12 345", code;
    StripPartNumber(part, code);
    RestorePartNumber(part, code);
    EXPECT_EQ(part, "12-345");
}

TEST(YesNoTest, OnlyUpperCaseYIsYes) {
    EXPECT_EQ(YNToFlag("Y"), 1);
    EXPECT_EQ(YNToFlag("y"), 0);
    EXPECT_EQ(YNToFlag(""), 0);
    EXPECT_EQ(YNToFlag("YES"), 0);
    EXPECT_EQ(FlagToYN(1), "Y");
    EXPECT_EQ(FlagToYN(-1), "Y");
    EXPECT_EQ(FlagToYN(7), "Y");
    EXPECT_EQ(FlagToYN(0), "N");
}

std::string Block(std::initializer_list<std::string> lines) {
    std::string block;
    for (const std::string& line : lines) {
        std::string l = line;
        l.resize(30, ' ');
        block += l;
    }
    return block;
}

TEST(PickFromAddressTest, StateAndZipFromTheLastLine) {
    std::string address = Block({"ACME SUPPLY", "12 MAIN ST", "SPRINGFIELD IL 62701", ""});
    EXPECT_EQ(GetState(address), "IL");
    EXPECT_EQ(GetZip(address), "62701");
    std::string plus4 = Block({"ACME", "", "SPRINGFIELD, IL. 62701-1234", ""});
    EXPECT_EQ(GetZip(plus4), "62701-1234");
    EXPECT_EQ(GetState(plus4), "IL");
}

TEST(PickFromAddressTest, LinesBeginningWithAPeriodAreBlankedInTheCallersText) {
    std::string address = Block({"ACME", ".ATTN NV 89501", "", ""});
    EXPECT_EQ(GetState(address), "");
    EXPECT_EQ(GetZip(address), "");
    EXPECT_EQ(address.substr(30, 30), std::string(30, ' '));
    EXPECT_EQ(address.substr(0, 4), "ACME");
}

TEST(PickFromAddressTest, NameLineCountsWhenNothingElseQualifies) {
    std::string address = Block({"RENO NV", "1 FARM RD", "", ""});
    EXPECT_EQ(GetState(address), "NV");
}

TEST(PickFromAddressTest, SingleLettersOfTheListPassAsStates) {
    // A middle initial is taken when no real code follows it.
    std::string address = Block({"JOHN J SMITH", "1 FARM RD", "TORONTO ONTARIO", ""});
    EXPECT_EQ(GetState(address), "J");
    EXPECT_TRUE(IsStateCode("A"));
    EXPECT_FALSE(IsStateCode("B"));
    EXPECT_FALSE(IsStateCode("Q"));
    EXPECT_FALSE(IsStateCode("il"));  // exact case
    EXPECT_TRUE(IsStateCode("CN"));
    EXPECT_FALSE(IsStateCode("XX"));
}

TEST(PickFromAddressTest, NothingQualifiesGivesEmpty) {
    std::string address = Block({"NO STATE HERE", "", "", ""});
    EXPECT_EQ(PickFromAddress(address, "STATE"), "");
    EXPECT_EQ(PickFromAddress(address, "ZIP"), "");
    std::string empty;
    EXPECT_EQ(GetState(empty), "");
}

TEST(IsZipCodeTest, LengthsAndNumbers) {
    EXPECT_TRUE(IsZipCode("62701"));
    EXPECT_TRUE(IsZipCode("627011234"));
    EXPECT_TRUE(IsZipCode("62701-1234"));
    EXPECT_FALSE(IsZipCode("6270"));
    EXPECT_FALSE(IsZipCode("627012"));
    EXPECT_FALSE(IsZipCode("6270A"));
    EXPECT_FALSE(IsZipCode("62701+1234"));
    EXPECT_FALSE(IsZipCode("62701-12A4"));
    EXPECT_FALSE(IsZipCode("M5V 2T6"));
}

TEST(SplitNoEmptyTest, DropsEmptyItems) {
    const auto words = SplitNoEmpty("  A  B C ", " ", -1, 0);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0], "A");
    EXPECT_EQ(words[2], "C");
}

}  // namespace
}  // namespace zel::records
