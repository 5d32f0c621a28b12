// Typed records written by the share builder, read back through the engine and the record
// classes, and packed again.
#include <gtest/gtest.h>

#include <set>

#include "engine/packing.h"
#include "records/customers.h"
#include "records/dbparts.h"
#include "records/layouts.h"
#include "records/lines.h"
#include "records/parts.h"
#include "records/share_test_support.h"
#include "tools/sharegen/sharegen.h"

namespace zel::records {
namespace {

using platform::Currency;
using testing::Raised;

std::string Packed(char code, std::int32_t value, int width) {
    std::string s(static_cast<std::size_t>(width), '\0');
    sharegen::PutPacked(s, 1, code, value);
    return s;
}

std::string PartKey(std::int32_t line, const std::string& stripped) {
    std::string key = Packed('C', line, 2) + sharegen::Compress(stripped);
    key.resize(14, '\0');
    return key;
}

std::string Trimmed(std::string s) {
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

// Field names whose bytes changed between two images of a layout.
std::set<std::string> ChangedFields(const RecordLayout& layout, const std::string& a,
                                    const std::string& b) {
    std::set<std::string> out;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] == b[i]) continue;
        const int at = static_cast<int>(i) + 1;
        std::string owner = "byte " + std::to_string(at);
        for (const FieldLayout& f : layout.fields)
            if (f.packed && at >= f.position && at < f.position + f.width)
                owner = std::string(f.name);
        out.insert(owner);
    }
    return out;
}

class RoundTripTest : public testing::ShareTest {};

TEST_F(RoundTripTest, PartsReadByKeyFieldByField) {
    Open();
    const std::int32_t r = Find("PARTI", PartKey(12, "12345"));
    ASSERT_GT(r, 0);
    clsParts part;
    part.Unpack(Joined("PARTL", "EPARTL", r));
    EXPECT_EQ(part.Line, 12);
    EXPECT_EQ(Trimmed(part.Part_w_Dash), "1234-5");
    EXPECT_EQ(Trimmed(part.Part_Number), "12345");
    EXPECT_EQ(Trimmed(part.Description), "AIR FILTER ELEMENT");
    EXPECT_EQ(part.Quantity_On_Hand, Currency::FromDouble(12.5));
    EXPECT_EQ(part.List_Price, Currency::FromDouble(24.95));
    EXPECT_EQ(part.Level_3_Price, Currency::FromDouble(18));
    EXPECT_EQ(part.Cost, Currency::FromDouble(12.4));
    EXPECT_EQ(part.Package_Code, "E  ");
    EXPECT_EQ(part.Comodity, "A");
    EXPECT_EQ(part.Order_Code, " ");
    EXPECT_EQ(part.Bin, "A12   ");
    EXPECT_EQ(part.Price_Code, "A");
    EXPECT_EQ(part.Date_Last_Change, engine::DateTime::FromDate(2024, 3, 1));

    // The same record through Read, and the branch's own copy through its full names.
    clsParts read;
    read.Read(r, true);
    EXPECT_EQ(read.Record_Number, r);
    EXPECT_EQ(read.Part_w_Dash, part.Part_w_Dash);
    const std::int32_t r2 = Find(":QMR2:PARTI", PartKey(12, "12345"));
    ASSERT_GT(r2, 0);
    clsParts branch;
    branch.Unpack(Joined(":QMR2:PARTL", ":QMR2:EPARTL", r2));
    EXPECT_EQ(branch.Quantity_On_Hand, Currency::FromDouble(4));

    // The template part, a special-order part and a substitute.
    EXPECT_GT(Find("PARTI", PartKey(12, "............")), 0);
    clsParts special;
    special.Unpack(Joined("PARTL", "EPARTL", Find("PARTI", PartKey(200, "SPEC1"))));
    EXPECT_EQ(special.Order_Code, "Z");
    clsParts sub;
    sub.Unpack(Joined("PARTL", "EPARTL", Find("PARTI", PartKey(100, "BR200"))));
    EXPECT_EQ(Trimmed(sub.Sub_Part_w_Dash), "BR-201");
    EXPECT_EQ(Trimmed(sub.Sub_Part_Number), "BR201");
}

TEST_F(RoundTripTest, SupersessionAndDatabaseIndexes) {
    Open();
    // SUPLI: part BR-100 of line 100 is superseded by BR-200.
    std::string key = Packed('C', 100, 2) + sharegen::Compress("BR100");
    key.resize(14, '\0');
    key += "S";
    const auto supli = engine::LogicalOpen("SUPLI");
    std::string buff;
    std::int32_t rec = 0;
    std::string search = key;
    engine::KFind(supli.get(), buff, search, rec);
    ASSERT_NE(rec, 0);
    EXPECT_EQ(search.substr(0, 15), key);
    EXPECT_EQ(engine::Unpack('C', search, 17), 100);
    std::string number = search.substr(18, 12);
    EXPECT_EQ(Trimmed(engine::Ucm(number)), "BR200");

    // Database index of key length 12 and its 64-byte records.
    std::string path = engine::Engine().SystemInfo->ShareRoot() + "DB\\PARTIABC";
    const auto index = engine::PhysLogicalOpen(path, "I", 512);
    ASSERT_TRUE(index);
    EXPECT_EQ(engine::KLength(index.get()), 12);
    std::string dbKey = sharegen::Compress("ABC") + sharegen::Compress("BR900");
    dbKey.resize(12, '\0');
    buff.clear();
    engine::KFind(index.get(), buff, dbKey, rec);
    ASSERT_GT(rec, 0);
    std::string data = engine::Engine().SystemInfo->ShareRoot() + "DB\\PARTLABC";
    const auto file = engine::PhysLogicalOpen(data, "L", 64);
    clsDbparts db;
    db.Unpack(engine::LreadFile(file.get(), rec));
    EXPECT_EQ(Trimmed(db.Part_w_Dash), "BR-900");
    EXPECT_EQ(db.Cost, Currency::FromDouble(20.5));
    EXPECT_EQ(db.OemCode, 4711);
    EXPECT_EQ(Trimmed(db.Description), "CATALOG BRAKE SHOE");

    // The other database: key length 14, 128-byte records marked in block 0.
    std::string xyzData = engine::Engine().SystemInfo->ShareRoot() + "DB\\PARTLXYZ";
    EXPECT_EQ(engine::Unpack('B', engine::BlockReadFile(engine::OpenFile(xyzData).get(), 0), 59),
              128);
    const auto xyz = engine::PhysLogicalOpen(xyzData, "L", 128);
    clsExtdbparts ext;
    ext.Unpack(engine::LreadFile(xyz.get(), 1));
    EXPECT_EQ(Trimmed(ext.Part_w_Dash), "XF-123456789012");
    EXPECT_EQ(ext.OemCode, -1);
}

TEST_F(RoundTripTest, CustomersAndTheirDerivedFields) {
    Open();
    const std::int32_t r = Find("CUSTI", Packed('L', 1001, 4));
    ASSERT_GT(r, 0);
    clsCustomers c;
    c.Unpack(Joined("CUSTL", "ECUSTL", r));
    EXPECT_EQ(c.Account, 1001);
    EXPECT_EQ(Trimmed(c.Name), "ACME TRACTOR SUPPLY");
    EXPECT_EQ(c.State, "CA");
    EXPECT_EQ(c.Zip_Code, "95814");
    EXPECT_EQ(c.Price_Matrix, 5);
    EXPECT_EQ(c.Default_Level, 2);
    EXPECT_EQ(c.YTD_Sales, Currency::FromDouble(18250.75));
    EXPECT_EQ(c.Partial_Ship, 1);
    EXPECT_EQ(c.PO_Required, 1);
    EXPECT_EQ(c.Date_SetUp, engine::DateTime::FromDate(1998, 4, 1));
    EXPECT_EQ(Trimmed(c.Contact_1), "J. SMITH");

    clsCustomers reno;
    reno.Unpack(Joined("CUSTL", "ECUSTL", Find("CUSTI", Packed('L', 1003, 4))));
    EXPECT_EQ(Trimmed(reno.Name), "ACME TRACTOR - RENO");  // a dash under the name head
    EXPECT_EQ(reno.State, "NV");
    EXPECT_EQ(Find("CUSTI", Packed('L', 5001, 4)), 0);
    EXPECT_GT(Find("MAILI", Packed('L', 5001, 4)), 0);
}

TEST_F(RoundTripTest, LinesByNumberAndCodeWithTheirCommodities) {
    Open();
    const std::int32_t byNumber = Find("LINEI", Packed('C', 12, 2));
    ASSERT_GT(byNumber, 0);
    EXPECT_EQ(Find("LINEI", sharegen::Compress("AB")), byNumber);
    clsLines line;
    line.Read(byNumber, true);
    EXPECT_EQ(line.Recno, byNumber);
    EXPECT_EQ(line.Alpha_Line, "AB ");
    EXPECT_EQ(Trimmed(line.Line_Name), "AB POWER EQUIPMENT");
    EXPECT_EQ(line.Comodities, (std::vector<std::string>{"A", "C", "F"}));
    EXPECT_EQ(line.Line_Type, "U");
    EXPECT_EQ(line.ReCalculateMax, 1);
    EXPECT_EQ(line.MTD_Sales, Currency::FromDouble(1500.25));
    EXPECT_EQ(line.YTD_Sales, Currency::FromDouble(20000.5));
    EXPECT_EQ(line.Price_Def_2_Perc, -10);

    clnLines list;
    EXPECT_EQ(list.Count(), 6);  // line 1200 is left out
    EXPECT_EQ(list.Item("550")->Alpha_Line, "MSC");
    EXPECT_EQ(list.Item(2)->Line, 12);
    EXPECT_EQ(list.Find("1200"), nullptr);
}

TEST_F(RoundTripTest, PackOfAnImageReadBackGivesItBack) {
    Open();
    {
        const std::string image = Joined("PARTL", "EPARTL", Find("PARTI", PartKey(12, "12345")));
        clsParts part;
        part.Unpack(image);
        std::string out = image;
        part.Pack(out);
        // Empty year-month-day dates read as 1/1/1968 and come back as that date.
        EXPECT_EQ(ChangedFields(kPartsLayout, image, out),
                  (std::set<std::string>{"Date_Last_Demand", "Date_Stocked"}));
    }
    {
        const std::string image = Joined("CUSTL", "ECUSTL", Find("CUSTI", Packed('L', 1001, 4)));
        clsCustomers c;
        c.Unpack(image);
        std::string out = image;
        c.Pack(out);
        EXPECT_EQ(ChangedFields(kCustomersLayout, image, out),
                  (std::set<std::string>{"Date_of_Last_Pmt", "Date_of_Last_Close"}));
    }
    {
        const std::string image = Joined("LINEL", "ELINEL", Find("LINEI", Packed('C', 12, 2)));
        clsLines line;
        line.Unpack(image);
        std::string out = image;
        line.Pack(out);
        EXPECT_EQ(ChangedFields(kLinesLayout, image, out), std::set<std::string>{});
    }
}

TEST_F(RoundTripTest, ReadOutsideTheFileRaises81AndChangesNothing) {
    Open();
    clsParts part;
    part.Read(1);
    const std::string before = part.Part_w_Dash;
    const std::int32_t last = engine::LogicalOpen("PARTL")->LastRecord;
    for (std::int32_t n : {0, -1, last + 1}) {
        const auto e = Raised([&] { part.Read(n); });
        EXPECT_EQ(e.Number(), 81) << n;
        EXPECT_EQ(e.Description(), "Read - Illegal Record Number");
        EXPECT_EQ(e.Source(), "");
    }
    EXPECT_EQ(part.Part_w_Dash, before);
    EXPECT_EQ(part.Record_Number, 1);
    EXPECT_EQ(Raised([&] { part.Read(last); }).Number(), 0);

    clsLines line;
    line.Read(2);
    line.AlternateAlpha = "KEPT";
    for (std::int32_t n : {0, -5, engine::LogicalOpen("LINEL")->LastRecord + 1}) {
        const auto e = Raised([&] { line.Read(n); });
        EXPECT_EQ(e.Number(), 81);
        EXPECT_EQ(e.Description(), "Illegal Record Number");
    }
    EXPECT_EQ(line.Recno, 2);
    line.Read(3);
    EXPECT_EQ(line.AlternateAlpha, "KEPT");
}

TEST_F(RoundTripTest, ShortExtensionPassesTheEnginesErrorThrough) {
    FileOf("QMR1:QMR1FD", "PARTL")["extension"]["lastRecord"] = 100;
    Open();
    clsParts part;
    const auto e = Raised([&] { part.Read(101); });
    EXPECT_EQ(e.Number(), 81);
    EXPECT_EQ(e.Source(), "iLreadFile");
    EXPECT_EQ(e.Description(), "Illegal Record Number for File: EPARTL and Record: 101");
}

TEST_F(RoundTripTest, MissingFilesRaiseFileNotFound) {
    FileOf("QMR1:QMR1FD", "PARTL")["extension"]["links"] = nlohmann::json::array();  // no link
    Open();
    clsParts part;
    part.Line = 77;
    const auto e = Raised([&] { part.Read(1); });
    EXPECT_EQ(e.Number(), -10);
    EXPECT_EQ(e.Description(), "File not Found: \"EPARTL\"");
    EXPECT_EQ(part.Line, 77);
    engine::Engine().DataEngine.reset();
    engine::ReleaseEngine();
    clsLines orphan;  // no engine at all: created, but cannot read
    EXPECT_EQ(Raised([&] { orphan.Read(1); }).Number(), -10);
}

TEST_F(RoundTripTest, BaseAndExtensionSplitThroughAField) {
    // Quantity_On_Hand (36-38) straddles the end of a 37-byte base record.
    auto& parts = FileOf("QMR1:QMR1FD", "PARTL");
    parts["recordLength"] = 37;
    parts["extension"]["recordLength"] = 251;
    Open();
    EXPECT_EQ(engine::LogicalOpen("PARTL")->RecordLength, 37);
    clsParts part;
    part.Read(Find("PARTI", PartKey(12, "12345")));
    EXPECT_EQ(part.Quantity_On_Hand, Currency::FromDouble(12.5));
    EXPECT_EQ(Trimmed(part.Description), "AIR FILTER ELEMENT");
}

TEST_F(RoundTripTest, ValuesThatDoNotFitAreDescriptionErrors) {
    auto bad = [&](const char* field, nlohmann::json value) {
        auto saved = FileOf("QMR1:QMR1FD", "PARTL");
        FileOf("QMR1:QMR1FD", "PARTL")["rows"][0][field] = value;
        auto d = description;
        FileOf("QMR1:QMR1FD", "PARTL") = saved;
        EXPECT_THROW(sharegen::BuildShare(d, sandbox.UncRoot(), sandbox.Temp()),
                     sharegen::DescriptionError)
            << field << " = " << value.dump();
    };
    bad("Line", 70000);
    bad("Package_Quantity", -40000);
    bad("Quantity_On_Hand", 1.25);  // finer than tenths
    bad("List_Price", 90000.0);     // beyond three signed bytes of cents
    bad("Description", "A DESCRIPTION THAT IS TOO LONG");
    bad("Description", "lower case");
    bad("Order_Code", "ZZ");
    bad("Part_w_Dash", "1-2-3-4-5");        // four dashes
    bad("Date_Last_Change", "2031-01-01");  // outside the two-digit window
    bad("No_Such_Field", 1);
    bad("Serial_Numbers", 3);
}

}  // namespace
}  // namespace zel::records
