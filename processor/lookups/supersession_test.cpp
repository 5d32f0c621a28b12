#include "processor/lookups/supersession.h"

#include <gtest/gtest.h>

#include "processor/lookup_test_support.h"

namespace zel::processor {
namespace {

using testing::json;

std::string Padded(const std::string& s, std::size_t width) {
    std::string out = s;
    out.resize(width, ' ');
    return out;
}

class SupersessionTest : public testing::SiteTest {
protected:
    std::string Find(std::int32_t& line, std::string& part, const std::string& kind) {
        std::string k = kind;
        return GetSupersession(line, part, k);
    }
};

TEST_F(SupersessionTest, SupersededByGivesTheNewLineAsThreeDigitsAndTheNewNumber) {
    site.Supersedes(7, "ABC123", 7, "XYZ9");
    site.Supersedes(1500, "P1", 1500, "P2");
    site.Supersedes(9007, "Q1", 9007, "Q2");
    Build();
    std::int32_t line = 7;
    std::string part = "ABC123   ";
    EXPECT_EQ(Find(line, part, "S"), "007 XYZ9");
    EXPECT_EQ(line, 7);
    EXPECT_EQ(part, Padded("XYZ9", 18));
    line = 1500;
    part = "P1";
    EXPECT_EQ(Find(line, part, "S"), "500 P2");
    line = 9007;
    part = "Q1";
    EXPECT_EQ(Find(line, part, "S"), "000 Q2");
    // Not found, another kind, a line that does not fit its field: nothing.
    line = 7;
    part = "NONE";
    EXPECT_EQ(Find(line, part, "S"), "");
    EXPECT_EQ(line, 7);
    part = "ABC123";
    EXPECT_EQ(Find(line, part, "X"), "");
    EXPECT_EQ(Find(line, part, ""), "");
    line = 7 + 65536;
    EXPECT_EQ(Find(line, part, "S"), "");
}

TEST_F(SupersessionTest, SubstitutesAreThreeEntriesOfOnePartPaddedTo45) {
    site.Substitute(7, "ONE", "S1");
    site.Substitute(7, "FOUR", "F1");
    site.Substitute(7, "FOUR", "F2");
    site.Substitute(7, "FOUR", "F3");
    site.Substitute(7, "FOUR", "F4");
    site.Substitute(7, "TWO", "T1");
    site.Substitute(7, "TWO", "T2");
    site.Substitute(9, "ZLAST", "L1");  // the last key of the index
    Build();
    std::int32_t line = 7;
    std::string part = "ONE";
    // ONE is followed by TWO's entries: they are not ONE's substitutes.
    EXPECT_EQ(Find(line, part, "Z"), Padded("S1", 45));
    part = "TWO";
    EXPECT_EQ(Find(line, part, "Z"), Padded("T1", 15) + Padded("T2", 30));
    part = "FOUR";
    EXPECT_EQ(Find(line, part, "Z"), Padded("F1", 15) + Padded("F2", 15) + Padded("F3", 15));
    line = 9;
    part = "ZLAST";
    EXPECT_EQ(Find(line, part, "Z"), Padded("L1", 45));
    part = "NONE";
    EXPECT_EQ(Find(line, part, "Z"), "");
    EXPECT_EQ(part, "NONE");
}

TEST_F(SupersessionTest, ADamagedIndexFindsNothingRatherThanItsOwnSearchKey) {
    site.Supersedes(7, "A1", 7, "B1");
    site.Substitute(7, "A1", "S1");
    // The root block lies beyond the file: every search stops with nothing found.
    site.indexes["SUPLI"].blocks = {
        {"0", json::array({{{"at", 9}, {"pack", "C"}, {"value", 30000}}})}};
    Build();
    std::int32_t line = 7;
    std::string part = "A1";
    EXPECT_EQ(Find(line, part, "S"), "");
    EXPECT_EQ(line, 7);
    EXPECT_EQ(part, "A1");
    EXPECT_EQ(Find(line, part, "Z"), "");
}

// ---- the parts database's chain ----

class DbAlternatesTest : public testing::SiteTest {
protected:
    void SetUp() override { site.Line(1, 13, "XYZ", {{"Line_Name", "XYZ"}}); }
    Alternates Walk(std::string part, std::int32_t record, std::string alpha = "XYZ") {
        std::int32_t line = 13, quantity = 1;
        return GetDbAlternates(alpha, line, part, quantity, record);
    }
    static std::string Entry(const std::string& s) { return Padded(s, 21); }
};

TEST_F(DbAlternatesTest, AChainBackToTheRequestedPartStopsBeforeIt) {
    site.Part(1, 13, "A", {{"Quantity_On_Hand", 2}});
    site.Part(2, 13, "B", {{"Quantity_On_Hand", 3}});
    site.DatabaseChain("XYZ", {{"P", "A"}, {"A", "B"}, {"B", "P"}});
    Build();
    const Alternates found = Walk("P   ", 0);
    EXPECT_EQ(found.count, 2);
    EXPECT_EQ(found.altPartNumbers[1], Entry("A"));
    EXPECT_EQ(found.altPartNumbers[2], Entry("B"));
    EXPECT_EQ(found.altPartNumbers[3], Entry(""));
    EXPECT_EQ(found.altQuantities[1], 2);
    EXPECT_EQ(found.altQuantities[2], 3);
    EXPECT_EQ(found.altTotal, 5);
    EXPECT_EQ(found.altPart.Record_Number, 2);
}

TEST_F(DbAlternatesTest, ARepeatedAlternateEndsTheChain) {
    site.Part(1, 13, "A", {{"Quantity_On_Hand", 1}});
    site.DatabaseChain("XYZ", {{"P", "A"}, {"A", "B"}, {"B", "A"}});
    Build();
    const Alternates found = Walk("P", 0);
    EXPECT_EQ(found.count, 2);
    EXPECT_EQ(found.altPartNumbers[2], Entry("B"));
    EXPECT_EQ(found.altPartNumbers[3], Entry(""));
}

TEST_F(DbAlternatesTest, ALongChainStopsAtTwentyAlternates) {
    std::vector<std::pair<std::string, std::string>> chain;
    for (int i = 0; i < 25; ++i)
        chain.push_back({"C" + std::to_string(i), "C" + std::to_string(i + 1)});
    site.DatabaseChain("XYZ", chain);
    Build();
    const Alternates found = Walk("C0", 0);
    EXPECT_EQ(found.count, 20);
    EXPECT_EQ(found.altPartNumbers[20], Entry("C20"));
    EXPECT_EQ(found.altTotal, 0);
}

TEST_F(DbAlternatesTest, NegativeStockCountsIntoTheTotalButShowsAsZero) {
    site.Part(1, 13, "A", {{"Quantity_On_Hand", -3}});
    site.Part(2, 13, "B", {{"Quantity_On_Hand", 5.5}});
    site.DatabaseChain("XYZ", {{"P", "A"}, {"A", "B"}});
    Build();
    const Alternates found = Walk("P", 7);
    EXPECT_EQ(found.count, 2);
    EXPECT_EQ(found.altQuantities[1], 0);
    EXPECT_EQ(found.altQuantities[2], 6);  // 5.5 rounds to the even 6
    EXPECT_EQ(found.altTotal, 3);
}

TEST_F(DbAlternatesTest, WithoutStockOnlyAPartThatExistsNowhereGetsItsAlternates) {
    site.Part(1, 13, "A", {{"Quantity_On_Hand", 0}});
    site.DatabaseChain("XYZ", {{"P", "A"}});
    Build();
    const Alternates found = Walk("P", 5);
    EXPECT_EQ(found.count, 0);
    EXPECT_EQ(found.altPartNumbers[1], Entry("A"));  // the table is filled all the same
    EXPECT_EQ(Walk("P", -5).count, 0);
    EXPECT_EQ(Walk("P", 0).count, 1);
}

TEST_F(DbAlternatesTest, NoDatabaseNoChainAndCodesThatAreNoFileName) {
    site.DatabaseChain("XYZ", {{"P", "A"}});
    Build();
    const Alternates none = Walk("P", 0, "QQQ");
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(none.altTotal, 0);
    EXPECT_EQ(none.altPartNumbers[1], Entry(""));
    EXPECT_EQ(Walk("NOCHAIN", 0).count, 0);
    // A request's manufacturer code that climbs to another line's file names none.
    EXPECT_EQ(Walk("P", 0, "Q\\..\\SUPLIXYZ").count, 0);
    EXPECT_EQ(Walk("P", 0, "Q/../SUPLIXYZ").count, 0);
    EXPECT_EQ(Walk("P", 0, "*").count, 0);
    EXPECT_EQ(Walk("P", 0).count, 1);
}

TEST_F(DbAlternatesTest, ADamagedChainFileEndsTheWalk) {
    site.files.push_back(
        {{"path", "DB\\SUPLIXYZ"},
         {"type", "-"},
         {"recordLength", 512},
         {"lastRecord", 3},
         {"blocks", {{"0", json::array({{{"at", 1}, {"hex", "001D0010FFFF0002FFFF"}}})}}}});
    Build();
    EXPECT_EQ(Walk("P", 0).count, 0);
}

}  // namespace
}  // namespace zel::processor
