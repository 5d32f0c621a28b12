// Record reads on the large generated site (100,000 parts, 1,000 customers): parts read by key
// through the record class against the bare engine doing the same key search and reads, in the
// same run, and the product-line read and customer unpack rates.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/catalog.h"
#include "engine/fileio.h"
#include "engine/keyindex.h"
#include "engine/link.h"
#include "platform/test_support.h"
#include "records/customers.h"
#include "records/lines.h"
#include "records/parts.h"
#include "tools/sharegen/generate.h"

namespace {

using namespace zel;

struct LargeSite {
    platform::testing::SandboxEnv env;
    platform::testing::ScopedEnv station{"COMPUTERNAME", std::string("dealerpc")};
    std::shared_ptr<engine::cLogicalFile> parti, partl, epartl;
    std::vector<std::string> keys;       // every part key of the first branch, shuffled
    std::vector<std::string> customers;  // joined customer images
    std::vector<std::int32_t> lines;     // live product-line records

    LargeSite() {
        sharegen::BuildGeneratedSite(std::string(ZEL_SOURCE_DIR) + "/samples/share.json",
                                     sharegen::SiteSize{7, 100000, 1000}, env.UncRoot(),
                                     env.Temp());
        engine::LoadCatalogSettings();
        parti = engine::LogicalOpen("PARTI");
        partl = engine::LogicalOpen("PARTL");
        epartl = engine::LogicalOpen("EPARTL");
        std::string buff, key;
        std::int32_t rec = 0;
        engine::KFind(parti.get(), buff, key, rec);
        while (rec != 0) {
            keys.push_back(key);
            engine::KNext(parti.get(), buff, key, rec);
        }
        std::shuffle(keys.begin(), keys.end(), std::mt19937(11));
        const auto custl = engine::LogicalOpen("CUSTL"), ecustl = engine::LogicalOpen("ECUSTL");
        for (std::int32_t r = 1; r <= engine::HighUsedRecord(*custl); ++r)
            customers.push_back(engine::LreadFile(custl.get(), r) +
                                engine::LreadFile(ecustl.get(), r));
        const auto linel = engine::LogicalOpen("LINEL");
        for (std::int32_t r = 1; r <= engine::HighUsedRecord(*linel); ++r) lines.push_back(r);
    }
};

LargeSite& Site() {
    static LargeSite* site = new LargeSite();
    return *site;
}

void BM_PartByKeyBareEngine(benchmark::State& state) {
    LargeSite& s = Site();
    std::size_t i = 0;
    std::string buff, key;
    std::int32_t rec = 0;
    for (auto _ : state) {
        key = s.keys[i++ % s.keys.size()];
        engine::KFind(s.parti.get(), buff, key, rec);
        std::string image =
            engine::LreadFile(s.partl.get(), rec) + engine::LreadFile(s.epartl.get(), rec);
        benchmark::DoNotOptimize(image);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PartByKeyBareEngine);

void BM_PartByKeyRecordClass(benchmark::State& state) {
    LargeSite& s = Site();
    std::size_t i = 0;
    std::string buff, key;
    std::int32_t rec = 0;
    records::clsParts part;
    for (auto _ : state) {
        key = s.keys[i++ % s.keys.size()];
        engine::KFind(s.parti.get(), buff, key, rec);
        part.Unpack(engine::LreadFile(s.partl.get(), rec) + engine::LreadFile(s.epartl.get(), rec));
        benchmark::DoNotOptimize(part.Quantity_On_Hand);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PartByKeyRecordClass);

void BM_LinesRead(benchmark::State& state) {
    LargeSite& s = Site();
    std::size_t i = 0;
    records::clsLines line;
    for (auto _ : state) {
        line.Read(s.lines[i++ % s.lines.size()], true);
        benchmark::DoNotOptimize(line.Comodities);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LinesRead);

void BM_CustomersUnpack(benchmark::State& state) {
    LargeSite& s = Site();
    std::size_t i = 0;
    records::clsCustomers customer;
    for (auto _ : state) {
        customer.Unpack(s.customers[i++ % s.customers.size()]);
        benchmark::DoNotOptimize(customer.State);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CustomersUnpack);

}  // namespace

BENCHMARK_MAIN();
