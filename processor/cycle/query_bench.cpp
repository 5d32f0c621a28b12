// Cost of a 100-item stock query on the large generated site (the sample site with 100,000
// generated parts over its two branches and 1,000 customers), end to end through
// ProcessRequest, beside its floor measured in the same run:
//  - BM_StockQuery100: the request dropped into the request folder and answered (".1");
//  - BM_EngineFloor100: the bare engine work of the same items: KFind on the parts index and
//    the two record reads of each requested part;
//  and the parts the answer's time splits into:
//  - BM_RecordDecoding100: clsParts::Unpack of the 100 record images;
//  - BM_DocumentWrites: the answer's keys written as the query writes them (into the document
//    in memory) and the document saved once;
//  - BM_SettingsStore: the counter bumps of one query, saved once as a request saves them.
// Items: 40 found, 25 short (the other branch is asked), 20 replaced by their superseding part,
// 15 not found anywhere.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/catalog.h"
#include "engine/facade.h"
#include "engine/state.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/profile_document.h"
#include "platform/test_support.h"
#include "processor/cycle/request_cycle.h"
#include "processor/globals.h"
#include "processor/lookups/lookup_support.h"
#include "processor/statistics.h"
#include "records/converters.h"
#include "records/parts.h"
#include "tools/sharegen/generate.h"
#include "tools/sharegen/sharegen.h"

namespace {

using namespace zel;
using json = nlohmann::json;

constexpr int kParts = 100000;
constexpr int kCustomers = 1000;
const std::string kFolder = "\\\\HOST\\DadAri\\zeldist\\";

struct Site {
    platform::testing::SandboxEnv env;
    platform::testing::ScopedEnv station{"COMPUTERNAME", std::string("dealerpc")};
    std::string request;              // the query's text
    std::vector<std::string> keys;    // PARTI keys of the requested parts
    std::vector<std::string> images;  // their joined record images (found ones)
    // The answer's values as (section, key, value), in order of writing.
    std::vector<std::array<std::string, 3>> answer;
    std::vector<std::string> counterBumps;  // the counters one query bumps, one per bump

    Site() {
        std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/samples/share.json");
        json d = json::parse(in);
        d["generate"] = {{"seed", 20240517}, {"parts", kParts}, {"customers", kCustomers}};
        sharegen::ExpandGenerated(d);

        std::map<std::int64_t, std::string> alpha;
        json* parts = nullptr;
        for (json& r : d["resolutions"]) {
            for (json& f : r["files"]) {
                if (f.value("table", "") == "clsLines") {
                    for (const json& row : f["rows"])
                        alpha[row["Line"].get<std::int64_t>()] = row["Alpha_Line"];
                }
                if (r["path"] == "QMR1:QMR1FD" && f.value("table", "") == "clsParts") parts = &f;
            }
        }
        struct Item {
            std::string mfg, part;
            std::int64_t qty;
        };
        std::vector<Item> found, shortItems;
        for (const json& row : (*parts)["rows"]) {
            const std::string number = row["Part_w_Dash"];
            if (number.rfind("G0-", 0) != 0) continue;
            const double onHand = row.value("Quantity_On_Hand", 0.0);
            const std::int64_t line = row["Line"].get<std::int64_t>();
            if (alpha[line] == "ROP" || alpha[line] == "POU") continue;
            if (onHand >= 10 && found.size() < 40)
                found.push_back({alpha[line], number, 1});
            else if (onHand >= 0 && onHand < 10 && shortItems.size() < 25)
                shortItems.push_back({alpha[line], number, 1000});
            if (found.size() == 40 && shortItems.size() == 25) break;
        }
        std::vector<Item> items = found;
        items.insert(items.end(), shortItems.begin(), shortItems.end());
        for (int i = 0; i < 20; ++i) items.push_back({"ABC", "BR-100", 5});
        for (int i = 0; i < 15; ++i) items.push_back({"AB", "NOPE-" + std::to_string(i), 1});

        request =
            "[ZELINFO]\r\nDocType=QUERY\r\nTradePartner=BENCH\r\nDealerNumber=1001\r\n"
            "[COUNT]\r\nPOItemCount=" +
            std::to_string(items.size()) + "\r\n";
        for (std::size_t i = 0; i < items.size(); ++i) {
            request += "[POITEMS" + std::to_string(i + 1) + "]\r\nMfgCode=" + items[i].mfg +
                       "\r\nPartNumber=" + items[i].part +
                       "\r\nPartQty=" + std::to_string(items[i].qty) + "\r\n";
        }

        sharegen::BuildShare(d, env.UncRoot(), env.Temp());
        env.dir().MakeDirs("unc/HOST/DadAri/zeldist");
        engine::LoadCatalogSettings();

        processor::gState.gMultiBranch = true;
        processor::gState.gRestrictLines = 1;
        processor::gState.gQueryResp = 2;

        // The floor's keys: every requested part in the first branch, as the part lookup
        // builds them (the line's number, then the compressed stripped part number).
        for (const Item& item : items) {
            std::int32_t line = 0;
            for (const auto& [number, code] : alpha) {
                if (code == item.mfg) line = static_cast<std::int32_t>(number);
            }
            std::string key = processor::lookup::Zeros(14);
            processor::lookup::PackAt(key, 'C', line, 1);
            std::string stripped = item.part;
            std::string dashes;
            records::StripPartNumber(stripped, dashes);
            key.replace(2, 12, processor::lookup::CompressTo(stripped, 12));
            keys.push_back(key);
        }

        engine::cBusinessBasic& e = processor::lookup::DataEngine();
        for (const std::string& k : keys) {
            std::string buff;
            std::string key = k;
            std::int32_t record = 0;
            e.KFind(":QMR1:PARTI", buff, key, record, false);
            if (record > 0) {
                images.push_back(e.LreadFile(":QMR1:PARTL", record, false) +
                                 e.LreadFile(":QMR1:EPARTL", record, false));
            }
        }

        // One answer, for the keys it writes and the counters it bumps.
        env.dir().Write("unc/HOST/DadAri/zeldist/first.req", request);
        std::string path = kFolder + "first.req";
        processor::ProcessRequest(path);
        counterBumps = {"Item1-1", "Item1-2"};
        for (const std::string& section : platform::GetProfileSectionNames(path + ".1")) {
            for (const std::string& line : platform::GetProfileSectionLines(section, path + ".1")) {
                const std::size_t eq = line.find('=');
                answer.push_back({section, line.substr(0, eq), line.substr(eq + 1)});
                if (line.rfind("StatusMessage=", 0) == 0 &&
                    line != "StatusMessage=Unauthorized Product Line")
                    counterBumps.push_back("Item1-3");
            }
        }
        platform::DeleteFile(path + ".1");
    }
};

Site& TheSite() {
    static Site* site = new Site();
    return *site;
}

void BM_StockQuery100(benchmark::State& state) {
    Site& site = TheSite();
    for (auto _ : state) {
        site.env.dir().Write("unc/HOST/DadAri/zeldist/bench.req", site.request);
        std::string path = kFolder + "bench.req";
        processor::ProcessRequest(path);
        state.PauseTiming();
        platform::DeleteFile(path + ".1");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_StockQuery100)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_EngineFloor100(benchmark::State& state) {
    Site& site = TheSite();
    engine::cBusinessBasic& e = processor::lookup::DataEngine();
    std::int64_t found = 0;
    for (auto _ : state) {
        for (const std::string& k : site.keys) {
            std::string buff;
            std::string key = k;
            std::int32_t record = 0;
            e.KFind(":QMR1:PARTI", buff, key, record, false);
            if (record > 0) {
                std::string image = e.LreadFile(":QMR1:PARTL", record, false);
                image += e.LreadFile(":QMR1:EPARTL", record, false);
                benchmark::DoNotOptimize(image);
                ++found;
            }
        }
    }
    state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EngineFloor100)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_RecordDecoding100(benchmark::State& state) {
    Site& site = TheSite();
    records::clsParts part;
    for (auto _ : state) {
        for (const std::string& image : site.images) {
            part.Unpack(image);
            benchmark::DoNotOptimize(part.Quantity_On_Hand);
        }
    }
    state.counters["records"] = static_cast<double>(site.images.size());
}
BENCHMARK(BM_RecordDecoding100)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_DocumentWrites(benchmark::State& state) {
    Site& site = TheSite();
    const std::string path = kFolder + "writes.req.a";
    for (auto _ : state) {
        platform::TryDeleteFile(path);
        platform::ProfileDocument answer(path);
        for (const auto& [section, key, value] : site.answer)
            processor::WriteValue(answer, section, key, value);
        answer.Save();
    }
    state.counters["keys"] = static_cast<double>(site.answer.size());
}
BENCHMARK(BM_DocumentWrites)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SettingsStore(benchmark::State& state) {
    Site& site = TheSite();
    for (auto _ : state) {
        processor::BeginStatistics();
        for (const std::string& key : site.counterBumps) processor::BumpStatistic(key, 1);
        processor::SaveStatistics();
    }
    state.counters["bumps"] = static_cast<double>(site.counterBumps.size());
}
BENCHMARK(BM_SettingsStore)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
