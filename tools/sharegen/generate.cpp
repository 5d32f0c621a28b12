#include "tools/sharegen/generate.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <vector>

#include <nlohmann/json.hpp>

namespace zel::sharegen {

using nlohmann::json;

namespace {

// Every typed table of a kind, wherever it is described.
std::vector<json*> Tables(json& d, const std::string& kind) {
    std::vector<json*> out;
    auto scan = [&](json& files) {
        for (json& f : files)
            if (f.contains("table") && f["table"] == kind) out.push_back(&f);
    };
    if (d.contains("resolutions"))
        for (json& r : d["resolutions"])
            if (r.contains("files")) scan(r["files"]);
    if (d.contains("files")) scan(d["files"]);
    return out;
}

std::int32_t NextNumber(const json& table) {
    std::int32_t high = 0;
    for (const json& row : table.value("rows", json::array()))
        high = std::max(high, row.value("number", 0));
    return high + 1;
}

void Grow(json& table, std::int32_t last) {
    table["lastRecord"] = std::max(table.value("lastRecord", 0), last);
}

double Cents(std::mt19937& rng, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng) / 100.0;
}

constexpr const char* kStates[] = {"CA 95814", "NV 89501", "AZ 85001", "HI 96813", "OR 97201",
                                   "WA 98101", "TX 73301", "IL 62701", "NY 10001", "FL 32301"};
constexpr const char* kUnits[] = {" ", " ", " ", "A", "B", "D", "F", "P", "S"};

}  // namespace

void ExpandGenerated(json& d) {
    if (!d.contains("generate")) return;
    const json g = d["generate"];
    d.erase("generate");
    std::mt19937 rng(g.value("seed", 1u));

    struct LineInfo {
        std::int64_t line;
        std::vector<std::string> commodities;
    };
    std::vector<LineInfo> lines;
    for (json* t : Tables(d, "clsLines"))
        for (const json& row : t->value("rows", json::array())) {
            LineInfo info{row.value("Line", 0), {}};
            for (const json& c : row.value("Comodities", json::array()))
                info.commodities.push_back(c.get<std::string>());
            if (info.line != 550) lines.push_back(std::move(info));
        }

    const auto parts = g.value("parts", 0);
    std::vector<json*> partTables = Tables(d, "clsParts");
    if (parts > 0 && (partTables.empty() || lines.empty()))
        throw DescriptionError("generated parts need a part table and a product-line table");
    std::vector<std::int32_t> next;
    for (json* t : partTables) next.push_back(NextNumber(*t));
    for (std::int32_t i = 0; i < parts; ++i) {
        const std::size_t ti = static_cast<std::size_t>(i) % partTables.size();
        const LineInfo& line =
            lines[std::uniform_int_distribution<std::size_t>(0, lines.size() - 1)(rng)];
        const double list = Cents(rng, 100, 250000);
        json row = {
            {"number", next[ti]},
            {"Line", line.line},
            {"Part_w_Dash",
             "G" + std::to_string(i / 100000) + "-" + std::to_string(100000 + i % 100000)},
            {"Description", "GENERATED PART " + std::to_string(i % 100000)},
            {"Quantity_On_Hand", std::uniform_int_distribution<int>(-20, 5000)(rng) / 10.0},
            {"List_Price", list},
            {"Level_1_Price", std::round(list * 90) / 100},
            {"Level_2_Price", std::round(list * 80) / 100},
            {"Cost", std::round(list * 60) / 100},
            {"Package_Quantity", 1},
            {"Unit_of_Measure",
             kUnits[std::uniform_int_distribution<std::size_t>(0, std::size(kUnits) - 1)(rng)]},
            {"Order_Code", std::uniform_int_distribution<int>(0, 19)(rng) == 0 ? "Z" : " "},
            {"Date_Last_Change", "2024-05-17"},
        };
        if (!line.commodities.empty())
            row["Comodity"] = line.commodities[std::uniform_int_distribution<std::size_t>(
                0, line.commodities.size() - 1)(rng)];
        (*partTables[ti])["rows"].push_back(std::move(row));
        Grow(*partTables[ti], next[ti]);
        ++next[ti];
    }

    const auto customers = g.value("customers", 0);
    std::vector<json*> customerTables = Tables(d, "clsCustomers");
    if (customers > 0 && customerTables.empty())
        throw DescriptionError("generated customers need a customer table");
    if (customers > 0) {
        json& t = *customerTables.front();
        std::int32_t number = NextNumber(t);
        for (std::int32_t i = 0; i < customers; ++i, ++number) {
            const char* state =
                kStates[std::uniform_int_distribution<std::size_t>(0, std::size(kStates) - 1)(rng)];
            t["rows"].push_back({
                {"number", number},
                {"Account", 20000 + i},
                {"Name", "CUSTOMER " + std::to_string(20000 + i)},
                {"Address_Line_1", std::to_string(1 + i % 900) + " COUNTY ROAD"},
                {"Address_Line_2", std::string("FARMTOWN ") + state},
                {"Price_Matrix", i % 3 == 0 ? 5 : 0},
                {"Default_Level", 1 + i % 4},
                {"Responsibility_Cd", 1 + i % 2},
            });
            Grow(t, number);
        }
    }
}

BuildResult BuildGeneratedSite(const std::string& descriptionPath, const SiteSize& size,
                               const std::string& uncRoot, const std::string& tempFolder) {
    std::ifstream in(descriptionPath, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + descriptionPath);
    json d = json::parse(in);
    d["generate"] = {{"seed", size.seed}, {"parts", size.parts}, {"customers", size.customers}};
    return BuildShare(d, uncRoot, tempFolder);
}

}  // namespace zel::sharegen
