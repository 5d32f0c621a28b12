#include "processor/lookups/line_part_lookup.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "processor/lookup_test_support.h"

namespace zel::processor {
namespace {

using testing::json;
using testing::Site;

// Calls GetPart with the usual variables.
struct Lookup {
    Lookup(std::string part, std::int32_t record = 0, std::string dataSet = "",
           bool partsFileOnly = false)
        : part(std::move(part)),
          record(record),
          dataSet(std::move(dataSet)),
          partsFileOnly(partsFileOnly) {}
    std::string part;
    std::int32_t record = 0;
    bool orb = false;
    std::string dataSet;
    bool partsFileOnly = false;

    records::clsParts Run(const LineCode& line) {
        return GetPart(line, part, record, orb, dataSet, partsFileOnly);
    }
};

class LinePartTest : public testing::SiteTest {
protected:
    void SetUp() override {
        site.Line(1, 7, "ABC", {{"Line_Name", "ABC WIDGETS"}});
        site.Line(2, 550, "UNK", {{"Line_Name", "UNKNOWN LINE"}});
        site.Line(3, 13, "XYZ", {{"Line_Name", "XYZ CATALOG"}});
        site.Line(4, 12, "AB", {{"Line_Name", "TWO LETTER"}});
        site.Line(5, 4464, "LOW", {{"Line_Name", "LOW BITS"}});
        site.Line(6, 21, "A/B", {{"Line_Name", "SLASHED"}});
        site.Part(1, 7, "12-345",
                  {{"List_Price", 19.99},
                   {"Quantity_On_Hand", 5},
                   {"Bin", "A1"},
                   {"Description", "WIDGET"}});
        site.Part(2, 7, "AB1234", {{"List_Price", 3.5}});
        site.Part(3, 7, "1234", {{"List_Price", 1.0}});
        site.Part(1, 7, "BR2", {{"Quantity_On_Hand", 9}}, 2);  // branch 2 only
        site.TemplatePart(4, 13,
                          {{"Bin", "TMPL"},
                           {"Order_Code", "Z"},
                           {"Package_Code", "BOX"},
                           {"Package_Quantity", 6},
                           {"Unit_of_Measure", "P"}});
        // Database of XYZ: short numbers (key length 12), 64-byte records.
        site.Database("XYZ", 12, 64,
                      {{1, "DB-1", {{"List_Price", 7.25}}},
                       {2,
                        "DB-100",
                        {{"Cost", 123.45},
                         {"List_Price", 200},
                         {"Description", "FROM DB"},
                         {"OemCode", -1},
                         {"UOMcode", "E"},
                         {"PackageCode", "CS"},
                         {"PackageQuantity", 12},
                         {"PriceCode", "P"},
                         {"Popularity", "A"}}}});
        // Database of the two-letter line "AB " (its names end in a blank): long numbers
        // (key length 14) in 128-byte records.
        site.Database("AB ", 14, 128,
                      {{1, "LONG-NUMBER-1", {{"List_Price", 11}}},
                       {2, "L2", {{"List_Price", 22}, {"Description", "SECOND"}}}},
                      "AB");
    }
};

TEST_F(LinePartTest, LinesByCodeByNumberAndLine550ForTheRest) {
    Build();
    EXPECT_EQ(GetLine("ABC").Line, 7);
    EXPECT_EQ(GetLine("ABC").Recno, 1);
    EXPECT_EQ(GetLine(7).Alpha_Line, "ABC");
    EXPECT_EQ(GetLine(" 7").Line, 7);
    EXPECT_EQ(GetLine("12.5").Line, 12);  // halves to even
    EXPECT_EQ(GetLine("QQQ", " ").Line, 550);
    EXPECT_EQ(GetLine("QQQ").Line_Name, "UNKNOWN LINE" + std::string(18, ' '));
    // A number beyond 16 bits must not wrap onto another line (70000 & 0xFFFF = 4464).
    EXPECT_EQ(GetLine("70000").Line, 550);
    EXPECT_EQ(GetLine(-1).Line, 550);
    EXPECT_EQ(GetLine("1e40").Line, 550);
}

TEST_F(LinePartTest, WithoutLine550AnUnknownCodeGivesAnEmptyLine) {
    site.indexes["LINEI"].entries.erase(site.indexes["LINEI"].entries.begin() + 2,
                                        site.indexes["LINEI"].entries.begin() + 4);
    Build();
    const records::clsLines line = GetLine("QQQ");
    EXPECT_EQ(line.Line, 0);
    EXPECT_EQ(line.Recno, 0);
    EXPECT_EQ(GetLine("ABC").Line, 7);
}

TEST_F(LinePartTest, APartInThePartsFile) {
    Build();
    Lookup l{"12-345"};
    const records::clsParts p = l.Run("ABC");
    EXPECT_EQ(l.record, 1);
    EXPECT_EQ(p.Record_Number, 1);
    EXPECT_EQ(l.part, "12345 ");  // stripped and padded to a multiple of 3
    EXPECT_EQ(p.Part_w_Dash, "12-345" + std::string(13, ' '));
    EXPECT_EQ(p.List_Price, platform::Currency::FromUnits(1999, 100));
    EXPECT_EQ(p.Quantity_On_Hand, platform::Currency::FromUnits(5));
    EXPECT_EQ(p.Bin, "A1    ");
    // A record number given on entry reads that record.
    Lookup byNumber{"ignored", 3};
    EXPECT_EQ(byNumber.Run("ABC").List_Price, platform::Currency::FromUnits(1));
    EXPECT_EQ(byNumber.part, "ignored");
}

TEST_F(LinePartTest, LowerCaseFindsThePartItNamesNotAnother) {
    Build();
    Lookup l{"ab1234"};
    const records::clsParts p = l.Run("ABC");
    EXPECT_EQ(l.record, 2);
    EXPECT_EQ(l.part, "AB1234");
    EXPECT_EQ(p.List_Price, platform::Currency::FromUnits(350, 100));
}

TEST_F(LinePartTest, DataSetsChooseTheBranchsFiles) {
    Build();
    Lookup branch{"BR2", 0, "2"};
    EXPECT_EQ(branch.Run("ABC").Quantity_On_Hand, platform::Currency::FromUnits(9));
    EXPECT_EQ(branch.record, 1);
    Lookup here{"BR2"};
    here.Run("ABC");
    EXPECT_EQ(here.record, 0);
    // A data set without files: the engine's error reaches the caller.
    Lookup none{"BR2", 0, "3"};
    try {
        none.Run("ABC");
        FAIL() << "expected -10";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.Number(), -10);
        EXPECT_NE(e.Description().find(":QMR3:PARTI"), std::string::npos);
    }
}

TEST_F(LinePartTest, DatabaseFallbackWithShortNumbers) {
    Build();
    Lookup l{"DB-100"};
    const records::clsParts p = l.Run("XYZ");
    EXPECT_EQ(l.record, -2);
    EXPECT_EQ(p.Record_Number, -2);
    EXPECT_EQ(p.Part_Number, "DB100" + std::string(10, ' '));
    EXPECT_EQ(p.Cost, platform::Currency::FromUnits(12345, 100));
    EXPECT_EQ(p.List_Price, platform::Currency::FromUnits(200));
    EXPECT_EQ(p.Description.substr(0, 7), "FROM DB");
    EXPECT_EQ(p.Sub_Part_Number, "-1");
    EXPECT_EQ(p.Unit_of_Measure, "E");
    EXPECT_EQ(p.Package_Quantity, 12);
    EXPECT_EQ(p.Price_Code, "P");
    EXPECT_EQ(p.Mfg_Popularity, "A");
    // Setting off: nothing but the copied fields.
    EXPECT_EQ(p.Order_Code, "");
    EXPECT_EQ(p.Bin, "");
}

TEST_F(LinePartTest, DatabaseFallbackOverlaysTheTemplateOrTheDefaults) {
    Build();
    gState.gSetupParts = true;
    Lookup l{"DB-100"};
    records::clsParts p = l.Run("XYZ");
    EXPECT_EQ(l.record, -2);
    EXPECT_EQ(p.Bin, "TMPL  ");  // from the template
    EXPECT_EQ(p.Order_Code, "Z");
    EXPECT_EQ(p.Package_Quantity, 12);  // the database's
    EXPECT_EQ(p.Line, 13);
    // Line ABC has no template: the defaults.
    Lookup nowhere{"NO-SUCH"};
    p = nowhere.Run("ABC");
    EXPECT_EQ(nowhere.record, 0);
    EXPECT_EQ(p.Record_Number, 0);
    EXPECT_EQ(p.Order_Code, "Z");
    EXPECT_EQ(p.Package_Code, "E11");
    EXPECT_EQ(p.Package_Quantity, 1);
    EXPECT_EQ(p.Last_Tran_Codes, "VVV");
    EXPECT_EQ(p.Bin, "      ");
    EXPECT_EQ(p.MTD_Demand_1_back, -32767);
    EXPECT_EQ(p.Line, 7);
    EXPECT_EQ(p.Part_Number, "NOSUCH");
    EXPECT_EQ(p.Part_w_Dash, "NO-SUCH");
    EXPECT_EQ(p.Description, "ABC WIDGETS" + std::string(19, ' '));
}

TEST_F(LinePartTest, UnknownPartsWithTheSettingOffCarryOnlyTheirNumberAndTheLineName) {
    Build();
    Lookup l{"zz-9"};
    const records::clsParts p = l.Run("QQQ");  // unknown line: line 550 answers
    EXPECT_EQ(l.record, 0);
    EXPECT_EQ(p.Part_Number, "ZZ9");
    EXPECT_EQ(p.Part_w_Dash, "zz-9");
    EXPECT_EQ(p.Description, "UNKNOWN LINE" + std::string(18, ' '));
    EXPECT_EQ(p.Order_Code, "");
    EXPECT_EQ(p.Package_Code, "");
}

TEST_F(LinePartTest, PartsFileOnlyGivesAnEmptyRecordForAnythingElse) {
    Build();
    gState.gSetupParts = true;
    Lookup l{"DB-100", 0, "", true};
    const records::clsParts p = l.Run("XYZ");
    EXPECT_EQ(l.record, 0);
    EXPECT_EQ(p.Part_Number, "");
    EXPECT_EQ(p.Description, "");
    EXPECT_EQ(p.Order_Code, "");
    Lookup found{"12345", 0, "", true};
    EXPECT_EQ(found.Run("ABC").Record_Number, 1);
}

TEST_F(LinePartTest, LongNumberDatabaseIn128ByteRecordsBehindATwoLetterCode) {
    Build();
    Lookup l{"L2"};
    const records::clsParts p = l.Run("AB");
    EXPECT_EQ(l.record, -2);
    EXPECT_EQ(p.List_Price, platform::Currency::FromUnits(22));
    EXPECT_EQ(p.Description.substr(0, 6), "SECOND");
    // The long layout gives the part number too.
    EXPECT_EQ(p.Part_Number, "L2" + std::string(16, ' '));
    Lookup first{"LONG-NUMBER-1"};
    EXPECT_EQ(first.Run("AB").Part_Number, "LONGNUMBER1" + std::string(7, ' '));
    EXPECT_EQ(first.record, -1);
}

TEST_F(LinePartTest, ANegativeRecordNumberOnEntryReadsTheDatabaseIn64ByteRecords) {
    Build();
    // Record 2 of 64 bytes is the first half of the 128-byte record 1.
    Lookup l{"", -2};
    const records::clsParts p = l.Run("AB");
    EXPECT_EQ(l.record, -2);
    EXPECT_EQ(p.Record_Number, -2);
    EXPECT_EQ(p.List_Price, platform::Currency::FromUnits(11));
    Lookup tooFar{"", -1000};
    EXPECT_THROW(tooFar.Run("AB"), platform::RuntimeError);
    Lookup lowest{"", INT32_MIN};
    EXPECT_THROW(lowest.Run("AB"), platform::RuntimeError);
}

TEST_F(LinePartTest, ALineCodeWithPathCharactersNamesNoDatabase) {
    // Files that "A/B" would reach as a path: a folder PARTIA holding B, and so on.
    site.Database("A/B", 12, 64, {{1, "P1", {{"List_Price", 1}}}}, "A/B");
    Build();
    Lookup l{"P1"};
    l.Run("A/B");
    EXPECT_EQ(l.record, 0);
}

TEST_F(LinePartTest, ADamagedDatabaseIndexFindsNothing) {
    site.files[1]["blocks"] = {{"0", json::array({{{"at", 9}, {"pack", "C"}, {"value", 30000}}})}};
    Build();
    Lookup l{"DB-100"};
    l.Run("XYZ");
    EXPECT_EQ(l.record, 0);
}

}  // namespace
}  // namespace zel::processor
