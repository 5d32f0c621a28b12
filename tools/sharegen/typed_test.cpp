// Typed records as the builder writes them, checked byte by byte without the engine.
#include "tools/sharegen/typed.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/sharegen/generate.h"

namespace zel::sharegen {
namespace {

using nlohmann::json;

std::uint32_t U(const std::string& s, std::size_t at, int width) {
    std::uint32_t v = 0;
    for (int i = 0; i < width; ++i)
        v = v << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

TEST(SharegenTyped, PartFieldsLandInTheirBytes) {
    const json d = json::parse(R"({"table": "clsParts", "recordLength": 100,
        "extension": {"name": "EPARTL", "recordLength": 188},
        "rows": [{"number": 2, "Line": 550, "Part_w_Dash": "12-345", "Quantity_On_Hand": 12.5,
                  "Order_Code": "Z", "Comodity": "A", "Serial_Numbers": 2, "Label": 1,
                  "Date_Last_Change": "2024-03-15", "Date_Last_Stockout": "1968-01-02",
                  "raw": [{"at": 31, "hex": "ABCD"}]}]})");
    const TypedTable t = BuildTable(d);
    ASSERT_EQ(t.rows.size(), 1u);
    const std::string& image = t.rows[0].image;
    ASSERT_EQ(image.size(), 288u);
    EXPECT_EQ(U(image, 0, 2), 1u);  // live status word
    EXPECT_EQ(U(image, 2, 2), 550u);
    EXPECT_EQ(image.substr(4, 14), Compress("12345") + std::string(8, '\0') + Compress("3"));
    EXPECT_EQ(image.substr(20, 4), Compress("A    Z"));
    EXPECT_EQ(U(image, 35, 3), 125u);
    EXPECT_EQ(U(image, 88, 1), 50u);      // bits 1, 4 and 5
    EXPECT_EQ(U(image, 69, 3), 240315u);  // yymmdd
    EXPECT_EQ(U(image, 273, 2), 2u);      // day number
    EXPECT_EQ(U(image, 30, 2), 0xABCDu);
    EXPECT_EQ(t.lastRecord, 2);

    // Split at the base record length; the extension's record zero follows the base's.
    const std::string base = BaseFileBytes(t), ext = ExtensionFileBytes(t);
    EXPECT_EQ(base.size(), 3u * 100u);
    EXPECT_EQ(ext.size(), 3u * 188u);
    EXPECT_EQ(base.substr(200, 100), image.substr(0, 100));
    EXPECT_EQ(ext.substr(2 * 188, 188), image.substr(100));
    EXPECT_EQ(U(ext, 6, 4), 2u);
    EXPECT_EQ(U(ext, 10, 4), 1u);
}

TEST(SharegenTyped, YearToDateIsWrittenAsTheClassReadsIt) {
    const json d = json::parse(R"({"table": "clsLines", "recordLength": 222, "rows": [
        {"number": 1, "Line": 5, "MTD_Sales": 2.5, "YTD_Sales": 17.5, "MTD_No_Sales": 3, "YTD_No_Sales": 43,
         "ReCalculateMax": true, "Comodities": ["A"]}]})");
    const TypedTable t = BuildTable(d);
    const std::string& image = t.rows[0].image;
    EXPECT_EQ(U(image, 98, 4), 1500u);
    EXPECT_EQ(U(image, 94, 4), 40u);
    EXPECT_EQ(image[123], 'Y');
}

TEST(SharegenTyped, CustomerNameLinesUseTheNameHead) {
    const json d = json::parse(R"({"table": "clsCustomers", "recordLength": 300, "rows": [
        {"number": 1, "Account": 1001, "Name": "SMITH-JONES"}]})");
    const TypedTable t = BuildTable(d);
    const std::string& image = t.rows[0].image;
    std::string name = "SMITH-JONES";
    name.resize(30, ' ');
    EXPECT_EQ(image.substr(5, 20), Compress(name, " ,-."));
    EXPECT_THROW(BuildTable(json::parse(R"({"table": "clsCustomers", "recordLength": 300,
        "rows": [{"number": 1, "Name": "A/B"}]})")),
                 DescriptionError);
    EXPECT_THROW(BuildTable(json::parse(R"({"table": "clsCustomers", "recordLength": 300,
        "rows": [{"number": 1, "State": "CA"}]})")),
                 DescriptionError);
}

TEST(SharegenTyped, DerivedKeys) {
    const json parts = json::parse(R"({"table": "clsParts", "recordLength": 288, "rows": [
        {"number": 4, "Line": 7, "Part_w_Dash": "AB-1", "supersededBy": {"part": "AB-2"},
         "substitutes": ["X1"]}]})");
    const TypedTable t = BuildTable(parts);
    const auto parti = DeriveEntries(json{{"derive", "PARTI"}}, &t);
    ASSERT_EQ(parti.size(), 1u);
    EXPECT_EQ(parti[0].key, std::string("\0\x07", 2) + Compress("AB1") + std::string(10, '\0'));
    EXPECT_EQ(parti[0].record, 4);
    const auto supli = DeriveEntries(json{{"derive", "SUPLI"}}, &t);
    ASSERT_EQ(supli.size(), 2u);
    EXPECT_EQ(supli[0].key.substr(14, 4), std::string("S\0\0\x07", 4));
    EXPECT_EQ(supli[0].key.substr(18, 2), Compress("AB2"));
    EXPECT_EQ(supli[1].key.substr(14, 2), std::string("Z\0", 2));
    EXPECT_EQ(supli[1].key.substr(16, 2), Compress("X1"));

    // Special prices: level and bump in the record number.
    const auto speci = DeriveEntries(json::parse(R"({"derive": "SPECI", "specials": [
        {"matrix": 5, "line": 12, "part": "AB1", "level": 3, "bump": -150},
        {"matrix": 5, "line": 12, "prefix": "AB", "level": 2},
        {"matrix": 5, "high": true, "brackets": [-25, 100, 0]},
        {"matrix": 6, "chain": 5}]})"),
                                     nullptr);
    ASSERT_EQ(speci.size(), 4u);
    EXPECT_EQ(speci[0].key.substr(0, 4), std::string("\0\x05\0\x0C", 4));
    EXPECT_EQ(static_cast<std::uint32_t>(speci[0].record), (3u << 16) | 0xFF6Au);
    EXPECT_EQ(speci[1].key.substr(2, 2), std::string("\x03\xF4", 2));  // 1012
    EXPECT_EQ(speci[1].key.substr(4), Compress("ABZZZZZZZZZZZZZZZZ"));
    EXPECT_EQ(speci[2].key.substr(2, 8), std::string("\xFF\xFF\xFF\xE7\0\x64\0\0", 8));
    EXPECT_EQ(speci[3].key.substr(2, 4), std::string("\x27\x0F\0\x05", 4));
    for (const auto& e : speci) EXPECT_EQ(e.key.size(), 16u);
}

TEST(SharegenTyped, File0NamedBytes) {
    std::string area(402 * 512, '\0');
    PutFile0Values(area, json::parse(R"({"MinimumMarkup": 2500, "Thresholds": [1000, 5000],
        "LocationCount": 2, "VendorName": "ZEL DEMO", "RestrictLines": "Y", "MultiBranch": "N"})"));
    EXPECT_EQ(U(area, 92, 2), 2500u);
    EXPECT_EQ(U(area, 388, 2), 1000u);
    EXPECT_EQ(U(area, 390, 2), 5000u);
    EXPECT_EQ(U(area, 471, 1), 2u);
    EXPECT_EQ(area.substr(512 + 150, 35), "ZEL DEMO" + std::string(27, ' '));
    EXPECT_EQ(area[401 * 512 + 44], 'Y');
    EXPECT_EQ(area[401 * 512 + 308], 'N');
    EXPECT_THROW(PutFile0Values(area, json{{"LocationCount", 300}}), DescriptionError);
    EXPECT_THROW(PutFile0Values(area, json{{"Nothing", 1}}), DescriptionError);
}

TEST(SharegenTyped, GeneratedRecordsAreSeededAndAppended) {
    json d = json::parse(R"({"generate": {"seed": 3, "parts": 10, "customers": 2}, "resolutions": [
        {"path": "D:DFD", "files": [
          {"table": "clsLines", "name": "LINEL", "rows": [{"number": 1, "Line": 12, "Comodities": ["A"]}]},
          {"table": "clsParts", "name": "PARTL", "recordLength": 288, "rows": [{"number": 5, "Line": 12}]},
          {"table": "clsCustomers", "name": "CUSTL", "rows": []}]}]})");
    json again = d;
    ExpandGenerated(d);
    ExpandGenerated(again);
    EXPECT_EQ(d, again);
    EXPECT_FALSE(d.contains("generate"));
    const json& parts = d["resolutions"][0]["files"][1];
    ASSERT_EQ(parts["rows"].size(), 11u);
    EXPECT_EQ(parts["rows"][1]["number"], 6);
    EXPECT_EQ(parts["lastRecord"], 15);
    EXPECT_EQ(d["resolutions"][0]["files"][2]["rows"].size(), 2u);
    EXPECT_NO_THROW(BuildTable(parts));
}

}  // namespace
}  // namespace zel::sharegen
