#include "engine/text.h"

#include <gtest/gtest.h>

#include "engine/dates.h"
#include "engine/state.h"
#include "engine/test_helpers.h"

namespace zel::engine {
namespace {

using testing::Bytes;

// Every test starts and ends with the resting alphabet, which is program-wide.
class CompressedText : public ::testing::Test {
protected:
    void SetUp() override { Engine().CrmAlphabet = kDefaultCrmAlphabet; }
    void TearDown() override { Engine().CrmAlphabet = kDefaultCrmAlphabet; }
};

TEST_F(CompressedText, CompressesThreeCharactersIntoTwoBytes) {
    std::string abc = "ABC";
    EXPECT_EQ(Crm(abc), Bytes({0x59, 0xE8}));
    std::string packed = Bytes({0x59, 0xE8});
    EXPECT_EQ(Ucm(packed), "ABC");

    std::string ab = "AB";
    EXPECT_EQ(Crm(ab), Bytes({0x59, 0xD8}));
    EXPECT_EQ(ab, "AB ");  // padded in the caller's variable
    std::string a = "A";
    Crm(a);
    EXPECT_EQ(a, "A  ");
    std::string empty;
    EXPECT_EQ(Crm(empty), "");
    EXPECT_EQ(Ucm(empty), "");
}

TEST_F(CompressedText, CharactersOutsideTheAlphabetCompressAsSpaces) {
    std::string lower = "abc";
    const std::string zeros = Crm(lower);
    EXPECT_EQ(zeros, Bytes({0, 0}));
    std::string z = zeros;
    EXPECT_EQ(Ucm(z), "   ");
    // High bytes and control codes must not index outside the table.
    std::string odd = Bytes({0xFF, 0x80, 0x01, '-', 'Z', 0xC9});
    const std::string expect = "    Z ";
    std::string back = Crm(odd);
    EXPECT_EQ(Ucm(back), expect);
}

TEST_F(CompressedText, EveryTripleOfTheAlphabetRoundTrips) {
    const std::string alphabet = kDefaultCrmAlphabet;
    std::string text;
    for (char a : alphabet)
        for (char b : alphabet)
            for (char c : alphabet) text += {a, b, c};
    std::string source = text;
    std::string packed = Crm(source);
    ASSERT_EQ(packed.size(), text.size() / 3 * 2);
    // Groups are the values 0 to 63999 in order.
    for (std::size_t g = 0; g < packed.size() / 2; g += 997) {
        const unsigned v = static_cast<unsigned char>(packed[2 * g]) * 256u +
                           static_cast<unsigned char>(packed[2 * g + 1]);
        EXPECT_EQ(v, g);
    }
    EXPECT_EQ(Ucm(packed), text);
}

TEST_F(CompressedText, ExpandingOddOrOutOfRangeGroups) {
    std::string three = Bytes({0x59, 0xE8, 0x59});
    const std::string out = Ucm(three);
    EXPECT_EQ(three.size(), 4u);
    EXPECT_EQ(three[3], '\0');
    EXPECT_EQ(out.size(), 6u);
    EXPECT_EQ(out.substr(0, 3), "ABC");
    // 0x5900 = 22784 = 14*1600 + 9*40 + 24: "A", "5", "K".
    EXPECT_EQ(out.substr(3), "A5K");
    // A group worth 64000 or more has no first character.
    std::string high = Bytes({0xFF, 0xFF});
    EXPECT_EQ(Ucm(high), "YB");
    std::string edge = Bytes({0xF9, 0xFF});  // 63999
    EXPECT_EQ(Ucm(edge), "ZZZ");
    std::string over = Bytes({0xFA, 0x00});  // 64000
    EXPECT_EQ(Ucm(over), "  ");
}

TEST_F(CompressedText, SwitchedHeadAppliesUntilSwitchedBack) {
    StmaSetAlphabetHead(0, " ,-.");
    std::string dash = "-";
    EXPECT_EQ(Crm(dash), Bytes({0x0C, 0x80}));
    std::string packed = Bytes({0x0C, 0x80});
    EXPECT_EQ(Ucm(packed), "-  ");
    std::string slash = "/";
    EXPECT_EQ(Crm(slash), Bytes({0, 0}));

    // The whole switched alphabet round trips too.
    std::string all = Engine().CrmAlphabet;
    std::string copy = all;
    std::string c = Crm(copy);
    EXPECT_EQ(Ucm(c), all + "  ");

    StmaSetAlphabetHead(0, " ,/.");
    std::string again = "/";
    EXPECT_EQ(Crm(again), Bytes({0x0C, 0x80}));

    // Anything but operand 0 with exactly four characters leaves the alphabet alone.
    StmaSetAlphabetHead(1, " ,-.");
    StmaSetAlphabetHead(0, " ,-");
    StmaSetAlphabetHead(0, " ,-.x");
    EXPECT_EQ(Engine().CrmAlphabet, kDefaultCrmAlphabet);
}

TEST(Trun, TrimsSpacesOrTrailingControlCharacters) {
    EXPECT_EQ(Trun("AB  "), "AB");
    EXPECT_EQ(Trun(std::string("AB \0", 4)), std::string("AB \0", 4));
    EXPECT_EQ(Trun(std::string("AB  \0\r", 6), 1), "AB");
    EXPECT_EQ(Trun("AB\x01", 1), "AB\x01");
    EXPECT_EQ(Trun(" A\t\n", 1), " A");
    EXPECT_EQ(Trun(std::string(" \0\t", 3), 1), "");
    EXPECT_EQ(Trun("   "), "");
    EXPECT_EQ(Trun("\xA0 ", 1), "\xA0");
}

// Keys and names compare with only a-z raised: accented and other high bytes stay as they are.
TEST(UpperCase, RaisesOnlyTheLettersAToZ) {
    EXPECT_EQ(UpperCase(std::string("qmr1:Parts_9z")), "QMR1:PARTS_9Z");
    EXPECT_EQ(UpperCase(Bytes({'a', 0xE9, '{', '`', 0})), Bytes({'A', 0xE9, '{', '`', 0}));
}

TEST(StrPosMinMax, Basics) {
    std::int32_t at = -1;
    StrPos(at, "ABCABC", "CA");
    EXPECT_EQ(at, 3);
    StrPos(at, "ABC", "c");
    EXPECT_EQ(at, 0);
    StrPos(at, "ABC", "");
    EXPECT_EQ(at, 1);
    StrPos(at, "", "");
    EXPECT_EQ(at, 0);
    EXPECT_EQ(Min(3, -4), -4);
    EXPECT_EQ(Max(3, -4), 3);
    EXPECT_EQ(Min(INT32_MIN, INT32_MAX), INT32_MIN);
    EXPECT_EQ(Max(INT32_MIN, INT32_MAX), INT32_MAX);
}

TEST(Split, DropsEmptyItems) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Split("  a b  ", " "), (V{"a", "b"}));
    EXPECT_EQ(Split("a  b", " "), (V{"a", "b"}));
    EXPECT_EQ(Split("HOST1   7,3  ", " "), (V{"HOST1", "7,3"}));
    EXPECT_EQ(Split(",5", ","), (V{"5"}));
    EXPECT_EQ(Split(",,,", ","), V{});
    EXPECT_EQ(Split("", " "), V{});
    EXPECT_EQ(Split("abc", ""), V{});
    EXPECT_EQ(Split("abc", " "), (V{"abc"}));
}

TEST(Split, LimitKeepsOnlyItemsFreeOfTheDelimiter) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Split("a b c", " ", 2), (V{"a"}));
    EXPECT_EQ(Split("a b c", " ", 3), (V{"a", "b", "c"}));
    EXPECT_EQ(Split("a b", " ", 1), V{});
    EXPECT_EQ(Split("abc", " ", 1), (V{"abc"}));
    EXPECT_EQ(Split("a b", " ", 0), V{});
}

TEST(Split, MultiCharacterAndCaseInsensitiveDelimiters) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Split("a--b----c", "--"), (V{"a", "b", "c"}));
    EXPECT_EQ(Split("1x2X3", "x", -1, 1), (V{"1", "2", "3"}));
    EXPECT_EQ(Split("1x2X3", "x", -1, 0), (V{"1", "2X3"}));
}

}  // namespace
}  // namespace zel::engine
