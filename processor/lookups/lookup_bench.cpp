// The lookups on a site of 100,000 parts that the share builder writes at the start of the run:
// two branches, supersessions, special prices and a parts database. Each benchmark reports its
// time per item against the floor measured in the same run: one key search in PARTI and the two
// record reads of PARTL and EPARTL per item (counter "x_floor").
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/catalog.h"
#include "engine/facade.h"
#include "engine/state.h"
#include "platform/test_support.h"
#include "processor/globals.h"
#include "processor/lookup_site.h"
#include "processor/lookups/customer_lookup.h"
#include "processor/lookups/line_part_lookup.h"
#include "processor/lookups/price_lookup.h"
#include "processor/lookups/supersession.h"

namespace {

using namespace zel;
using processor::testing::Crm;
using processor::testing::Site;

constexpr int kParts = 100000;
constexpr int kBranchParts = 2000;
constexpr int kDbParts = 5000;
constexpr int kChain = 20;

std::string PartName(int i) {
    char s[16];
    std::snprintf(s, sizeof s, "P%06d", i);
    return s;
}

struct World {
    platform::testing::SandboxEnv sandbox;
    platform::testing::ScopedEnv station{"COMPUTERNAME", std::string("dealerpc")};
    double floorNs = 0;  // per item

    World() {
        Site site;
        site.Line(1, 7, "ABC",
                  {{"Line_Name", "ABC WIDGETS"},
                   {"Price_Def_1_Level", 5},
                   {"Price_Def_1_Use", 2},
                   {"Price_Def_1_Perc", 5}});
        site.Line(2, 550, "UNK", {{"Line_Name", "UNKNOWN"}});
        site.Line(3, 13, "XYZ", {{"Line_Name", "XYZ CATALOG"}});
        site.Customer(1, 1001,
                      {{"Name", "ACME"},
                       {"Price_Matrix", 5},
                       {"Default_Level", 4},
                       {"Percentage_Bump", 150}});
        site.Customer(2, 0, {{"Name", "DEFAULTS"}});
        for (int i = 1; i <= kParts; ++i) {
            site.Part(i, 7, PartName(i),
                      {{"Quantity_On_Hand", i % 7},
                       {"List_Price", 10 + i % 50},
                       {"Level_1_Price", 9},
                       {"Level_2_Price", 8},
                       {"Level_3_Price", 7},
                       {"Cost", 5},
                       {"Package_Code", "E11"}});
            if (i % 10 == 0) {
                site.Supersedes(7, PartName(i), 7, PartName(i + 1));
                site.Substitute(7, PartName(i), PartName(i + 2));
                site.Substitute(7, PartName(i), PartName(i + 3));
            }
            if (i % 100 == 0) site.Special(5, 7, Crm(PartName(i), 12), Site::SpecialRecord(3, 200));
        }
        for (int i = 1; i <= kBranchParts; ++i)
            site.Part(i, 7, PartName(i), {{"Quantity_On_Hand", 3}}, 2);
        site.Special(5, 1007, Crm("P9ZZZZZZZZZZZZZZZZ", 12), Site::SpecialRecord(2, 0));
        site.Special(5, 4007, Crm("Q", 12), Site::SpecialRecord(2, 0));
        site.Brackets(5, false, -25, 300, 0);
        site.Brackets(5, true, 100, 0, 0);
        site.file0Block0 = {{{"at", 93}, {"pack", "C"}, {"value", 1500}},
                            {{"at", 389}, {"pack", "C"}, {"value", 1000}},
                            {{"at", 391}, {"pack", "C"}, {"value", 5000}}};
        std::vector<Site::DbPart> db;
        for (int i = 1; i <= kDbParts; ++i)
            db.push_back({i, "D" + std::to_string(100000 + i), {{"List_Price", 12}}});
        site.Database("XYZ", 12, 64, db);
        std::vector<std::pair<std::string, std::string>> chain;
        for (int i = 0; i < kChain + 2; ++i)
            chain.push_back({"D" + std::to_string(100001 + i), "D" + std::to_string(100002 + i)});
        site.DatabaseChain("XYZ", chain);

        sharegen::BuildShare(site.Description(), sandbox.UncRoot(), sandbox.Temp());
        engine::LoadCatalogSettings();
        if (!engine::Engine().DataEngine) throw std::runtime_error("the engine did not connect");
        floorNs = MeasureFloor();
    }
    ~World() {
        engine::Engine().DataEngine.reset();
        engine::ReleaseEngine();
    }

    // One item at the floor: the key search in PARTI and the reads of PARTL and EPARTL.
    static void FloorItem(int i) {
        auto& e = *engine::Engine().DataEngine;
        std::string key = Site::PartKey(7, PartName(i));
        std::string buff;
        std::int32_t r = 0;
        e.KFind("PARTI", buff, key, r, false);
        benchmark::DoNotOptimize(e.LreadFile("PARTL", r, false));
        benchmark::DoNotOptimize(e.LreadFile("EPARTL", r, false));
    }
    static double MeasureFloor() {
        constexpr int n = 20000;
        for (int i = 1; i <= 2000; ++i) FloorItem(i);  // warm the caches
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < n; ++i) FloorItem(1 + (i * 7919) % kParts);
        const auto end = std::chrono::steady_clock::now();
        return std::chrono::duration<double, std::nano>(end - start).count() / n;
    }
};

World& TheWorld() {
    static World world;
    return world;
}

void Report(benchmark::State& state, std::int64_t itemsPerIteration,
            double floorItemsPerIteration) {
    state.SetItemsProcessed(state.iterations() * itemsPerIteration);
    state.counters["floor_ns"] = TheWorld().floorNs;
    state.counters["x_floor"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * floorItemsPerIteration * TheWorld().floorNs / 1e9,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Floor(benchmark::State& state) {
    TheWorld();
    int i = 0;
    for (auto _ : state) World::FloorItem(1 + (i++ * 7919) % kParts);
    Report(state, 1, 1);
}
BENCHMARK(BM_Floor);

// A part looked up by key in the current data directory, else the line's database.
records::clsParts PartByKey(const char* line, std::string part) {
    std::int32_t record = 0;
    bool orb = false;
    std::string dataSet;
    bool only = false;
    return processor::GetPart(line, part, record, orb, dataSet, only);
}

void BM_GetPart(benchmark::State& state) {
    TheWorld();
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(PartByKey("ABC", PartName(1 + (i++ * 7919) % kParts)));
    Report(state, 1, 1);
}
BENCHMARK(BM_GetPart);

// The lookups of one query item: line, part at the location, both supersession kinds, price.
void QueryItem(int i, records::clsCustomers& customer) {
    records::clsLines line = processor::GetLine("ABC", " ");
    std::string part = PartName(i);
    std::int32_t record = 0;
    bool orb = false;
    std::string dataSet = "1";
    bool only = false;
    records::clsParts p = processor::GetPart(line.Alpha_Line, part, record, orb, dataSet, only);
    std::int32_t l = line.Line;
    std::string kindZ = "Z", kindS = "S";
    std::string pz = part, ps = part;
    benchmark::DoNotOptimize(processor::GetSupersession(l, pz, kindZ));
    benchmark::DoNotOptimize(processor::GetSupersession(l, ps, kindS));
    platform::Currency retail, net, unit;
    std::int32_t level = 0;
    float bump = 0;
    processor::GetPrice(p, line, customer, retail, net, unit, level, bump);
    benchmark::DoNotOptimize(net);
}

void BM_QueryRequestOf100Items(benchmark::State& state) {
    TheWorld();
    records::clsCustomers customer = processor::GetCustomer(1001);
    int i = 0;
    for (auto _ : state)
        for (int k = 0; k < 100; ++k) QueryItem(1 + (i++ * 7919) % kParts, customer);
    Report(state, 100, 100);
}
BENCHMARK(BM_QueryRequestOf100Items)->Unit(benchmark::kMillisecond);

void BM_DatabaseFallbackItem(benchmark::State& state) {
    TheWorld();
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            PartByKey("XYZ", "D" + std::to_string(100001 + (i++ * 97) % kDbParts)));
    Report(state, 1, 1);
}
BENCHMARK(BM_DatabaseFallbackItem);

void BM_TwentyAlternateChain(benchmark::State& state) {
    TheWorld();
    std::int32_t found = 0;
    for (auto _ : state) {
        std::string alpha = "XYZ", part = "D100001";
        std::int32_t line = 13, quantity = 1, record = 0;
        found = processor::GetDbAlternates(alpha, line, part, quantity, record).count;
    }
    state.counters["alternates"] = found;
    Report(state, 1, 1);
}
BENCHMARK(BM_TwentyAlternateChain)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
