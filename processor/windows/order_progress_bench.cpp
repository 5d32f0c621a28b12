// Cost of a large purchase order beside a stock query of the same items, on the same site in the
// same run, with the monitor window shown (the order paints its progress on it; run on the
// offscreen platform, which paints as a screen would):
//  - BM_Query2000: a 2,000-item stock query dropped into the request folder and answered by
//    one polling pass of the monitor, the window's pending painting done after it;
//  - BM_Order2000: the same 2,000 items as a purchase order, answered and exported the same way.
// At the end the program prints the order's time per request as a multiple of the query's
// (goal: at most 3). Items: 40% found in stock, 25% short (the other branch is asked), 20%
// replaced by their superseding part, 15% not found anywhere.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/settings.h"
#include "platform/test_support.h"
#include "processor/globals.h"
#include "processor/windows/install.h"
#include "processor/windows/monitor.h"
#include "processor/windows/monitor_widget.h"
#include "tools/sharegen/generate.h"
#include "tools/sharegen/sharegen.h"

namespace {

using namespace zel;
using json = nlohmann::json;
namespace fs = std::filesystem;

constexpr int kItems = 2000;
constexpr const char* kZeldist = "unc/QSERVER/DadAri/zeldist/";

struct Item {
    std::string mfg, part;
    long qty;
};

struct Site {
    platform::testing::SandboxEnv env;
    platform::testing::ScopedEnv station{"COMPUTERNAME", std::string("dealerpc")};
    std::string query, order;
    std::unique_ptr<processor::MonitorController> monitor;
    std::unique_ptr<processor::frmMonitor> window;

    Site() {
        std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/samples/share.json");
        json d = json::parse(in);
        d["generate"] = {{"seed", 20240517}, {"parts", 20000}, {"customers", 0}};
        sharegen::ExpandGenerated(d);
        const std::vector<Item> items = PickItems(d);

        std::string body;
        for (std::size_t i = 0; i < items.size(); ++i)
            body += "[POITEMS" + std::to_string(i + 1) + "]\r\nMfgCode=" + items[i].mfg +
                    "\r\nPartNumber=" + items[i].part +
                    "\r\nPartQty=" + std::to_string(items[i].qty) + "\r\n";
        const std::string count = std::to_string(items.size());
        query =
            "[ZELINFO]\r\nDocType=QUERY\r\nTradePartner=BENCH\r\nDealerNumber=1001\r\n"
            "[COUNT]\r\nPOItemCount=" +
            count + "\r\n" + body;
        order =
            "[ZELINFO]\r\nDocType=PO\r\nTradePartner=BENCH\r\nDealerNumber=1001\r\n"
            "[POHEADER]\r\nPoNumber=BENCH-1\r\nShipNote=Back dock\r\n"
            "[COUNT]\r\nPoItemCount=" +
            count + "\r\n" + body;

        sharegen::BuildShare(d, env.UncRoot(), env.Temp());
        env.dir().MakeDirs(kZeldist);
        for (auto [key, value] : {std::pair{"Host", "QSERVER"},
                                  {"Directory", "1"},
                                  {"Auto-Start", "0"},
                                  {"Interval", "5"},
                                  {"Archive", "0"},
                                  {"Logging", "0"},
                                  {"PickTicketCounter", "1000"}})
            platform::SaveSetting(processor::kSettingsApp, processor::kSettingsSection, key, value);

        processor::InstallWindows();
        monitor = std::make_unique<processor::MonitorController>();
        window = std::make_unique<processor::frmMonitor>(*monitor);
        monitor->Form_Load();
        window->show();
        QCoreApplication::processEvents();
        // The flags that Start reads from FILE0 (the timer itself stays off: every pass is run
        // here).
        processor::gState.gMultiBranch = true;
        processor::gState.gRestrictLines = 1;
    }

    // The request's items: the same choice as the stock-query benchmark, scaled to kItems.
    static std::vector<Item> PickItems(const json& d) {
        std::map<std::int64_t, std::string> alpha;
        const json* parts = nullptr;
        for (const json& r : d["resolutions"])
            for (const json& f : r["files"]) {
                if (f.value("table", "") == "clsLines")
                    for (const json& row : f["rows"])
                        alpha[row["Line"].get<std::int64_t>()] = row["Alpha_Line"];
                if (r["path"] == "QMR1:QMR1FD" && f.value("table", "") == "clsParts") parts = &f;
            }
        const std::size_t wantFound = kItems * 40 / 100, wantShort = kItems * 25 / 100;
        std::vector<Item> found, shortItems;
        for (const json& row : (*parts)["rows"]) {
            const std::string number = row["Part_w_Dash"];
            if (number.rfind("G0-", 0) != 0) continue;
            const double onHand = row.value("Quantity_On_Hand", 0.0);
            const std::string& line = alpha[row["Line"].get<std::int64_t>()];
            if (line == "ROP" || line == "POU") continue;
            if (onHand >= 10 && found.size() < wantFound)
                found.push_back({line, number, 1});
            else if (onHand >= 0 && onHand < 10 && shortItems.size() < wantShort)
                shortItems.push_back({line, number, 1000});
        }
        std::vector<Item> items = found;
        items.insert(items.end(), shortItems.begin(), shortItems.end());
        for (int i = 0; i < kItems * 20 / 100; ++i) items.push_back({"ABC", "BR-100", 5});
        for (int i = 0; items.size() < static_cast<std::size_t>(kItems); ++i)
            items.push_back({"AB", "NOPE-" + std::to_string(i), 1});
        return items;
    }

    // One request through one polling pass and the event loop after it (seconds); its answer
    // and exported order are taken away afterwards, outside the measured time.
    double Answer(benchmark::State& state, const std::string& request) {
        env.dir().Write(std::string(kZeldist) + "bench.req", request);
        const auto start = std::chrono::steady_clock::now();
        monitor->Timer1_Timer();
        QCoreApplication::processEvents();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        if (!env.dir().Exists(std::string(kZeldist) + "bench.req.1"))
            state.SkipWithError("no answer");
        for (const char* folder : {kZeldist, "unc/QSERVER/DadAri/WebTask/In/"}) {
            const fs::path path = env.dir().path() + "/" + folder;
            if (!fs::exists(path)) continue;
            for (const auto& e : fs::directory_iterator(path)) fs::remove(e.path());
        }
        state.ResumeTiming();
        return seconds;
    }
};

// Built on first use, taken down before the application object.
std::unique_ptr<Site> gSite;
Site& TheSite() {
    if (!gSite) gSite = std::make_unique<Site>();
    return *gSite;
}

std::map<std::string, double> gSecondsPerRequest;

void Measure(benchmark::State& state, const std::string& name, const std::string& request) {
    Site& site = TheSite();
    double seconds = 0;
    for (auto _ : state) seconds += site.Answer(state, request);
    state.SetItemsProcessed(state.iterations() * kItems);
    gSecondsPerRequest[name] = seconds / static_cast<double>(state.iterations());
}

void BM_Query2000(benchmark::State& state) { Measure(state, "query", TheSite().query); }
BENCHMARK(BM_Query2000)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_Order2000(benchmark::State& state) { Measure(state, "order", TheSite().order); }
BENCHMARK(BM_Order2000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gSite.reset();
    if (gSecondsPerRequest.count("query") && gSecondsPerRequest.count("order"))
        std::printf("order / query (2,000 items each, monitor shown): %.2f\n",
                    gSecondsPerRequest["order"] / gSecondsPerRequest["query"]);
    return 0;
}
