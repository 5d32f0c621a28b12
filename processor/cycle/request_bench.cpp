// Cost of the request path beside the path it replaced, measured in the same run (run it with
// TMPDIR on the file system to measure: the sandbox lives there):
//  - BM_AnswerKeys/document: 2,500 keys written into one answer document in memory and the
//    document saved once; BM_AnswerKeys/services: the same keys written one call each through
//    the profile services, each rereading and rewriting the whole file (the former path).
//  - BM_OneRequest/<archive>/<index>: one request through ProcessRequest (archiving on) with an
//    empty archive, or with 100,000 files in the archive and 2,000 uncollected answers in the
//    request folder; index 1 finds names through the per-folder indexes, 0 lists the folder at
//    each look-up (the former path).
//  - BM_Drop1000/<index>: 1,000 requests dropped at once and answered by polling passes; the
//    counter "requests/s".
// The requests carry a document type no branch answers, so each ends with its exceptions
// document: the request path itself, without the business share.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/folder_index.h"
#include "platform/profile.h"
#include "platform/profile_document.h"
#include "platform/seams.h"
#include "platform/test_support.h"
#include "processor/cycle/request_cycle.h"
#include "processor/cycle/request_listing.h"
#include "processor/globals.h"

namespace {

namespace pf = zel::platform;
namespace zp = zel::processor;

const std::string kFolder = "\\\\HOST\\DadAri\\zeldist\\";

std::string Request(int n) {
    return "[ZELINFO]\r\nDocType=Estimate\r\nDealerNumber=1001\r\nTradePartner=ACME\r\nDocId=" +
           std::to_string(n) + "\r\n[DMSINFO]\r\nTIMESUBMITED=10:11:12\r\n";
}

void Touch(const std::string& native, const std::string& bytes) {
    const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    if (::write(fd, bytes.data(), bytes.size()) < 0) {
    }
    ::close(fd);
}

void BM_AnswerKeys(benchmark::State& state) {
    pf::testing::SandboxEnv env;
    env.dir().MakeDirs("unc/HOST/DadAri/zeldist");
    const bool inMemory = state.range(0) == 1;
    int run = 0;
    for (auto _ : state) {
        const std::string file = kFolder + "a" + std::to_string(run++) + ".req.a";
        if (inMemory) {
            pf::ProfileDocument answer(file);
            for (int item = 1; item <= 100; ++item)
                for (int k = 0; k < 25; ++k)
                    answer.WriteString("POITEMS" + std::to_string(item), "Key" + std::to_string(k),
                                       "value of key " + std::to_string(k));
            answer.Save();
        } else {
            for (int item = 1; item <= 100; ++item)
                for (int k = 0; k < 25; ++k)
                    pf::WriteProfileString("POITEMS" + std::to_string(item),
                                           "Key" + std::to_string(k),
                                           "value of key " + std::to_string(k), file);
        }
    }
    state.SetLabel(inMemory ? "document" : "services");
}
BENCHMARK(BM_AnswerKeys)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(5);

// The request folder and archive of a site that has run for years.
void Fill(const pf::testing::SandboxEnv& env, bool aged) {
    env.dir().MakeDirs("unc/HOST/DadAri/zeldist");
    env.dir().MakeDirs("unc/HOST/DadAri/ZelArchive");
    if (!aged) return;
    const std::string archive = env.UncRoot() + "/HOST/DadAri/ZelArchive/";
    for (int i = 0; i < 50000; ++i) {
        Touch(archive + std::to_string(100000 + i) + ".req", "x");
        Touch(archive + std::to_string(100000 + i) + ".log", "x");
    }
    const std::string folder = env.UncRoot() + "/HOST/DadAri/zeldist/";
    for (int i = 0; i < 2000; ++i) Touch(folder + std::to_string(200000 + i) + ".req.1", "x");
}

void BM_OneRequest(benchmark::State& state) {
    pf::testing::SandboxEnv env;
    pf::ScopedEndProgramThrows ends;
    Fill(env, state.range(0) == 1);
    pf::detail::UseFolderIndexes(state.range(1) == 1);
    zp::gState.gArchive = true;
    zp::gState.gLogging = false;
    const std::string native = env.UncRoot() + "/HOST/DadAri/zeldist/";
    // A running program has indexed its folders long ago: the first request's listing of each
    // folder is not counted.
    Touch(native + "warm.req", Request(0));
    std::string warm = kFolder + "warm.req";
    zp::ProcessRequest(warm);
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string name = "r" + std::to_string(n) + ".req";
        Touch(native + name, Request(n++));
        state.ResumeTiming();
        std::string path = kFolder + name;
        zp::ProcessRequest(path);
    }
    pf::detail::UseFolderIndexes(true);
    state.SetLabel(std::string(state.range(0) ? "aged site" : "new site") +
                   (state.range(1) ? ", indexed" : ", listing"));
}
BENCHMARK(BM_OneRequest)
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

void BM_Drop1000(benchmark::State& state) {
    pf::testing::SandboxEnv env;
    pf::ScopedEndProgramThrows ends;
    Fill(env, false);
    pf::detail::UseFolderIndexes(state.range(0) == 1);
    zp::gState.gArchive = true;
    zp::gState.gLogging = false;
    const std::string native = env.UncRoot() + "/HOST/DadAri/zeldist/";
    const std::string folder = "\\\\HOST\\DadAri\\zeldist";
    std::set<std::string> waiting;
    int n = 0;
    std::int64_t answered = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 1000; ++i)
            Touch(native + std::to_string(n) + "-" + std::to_string(i) + ".req", Request(i));
        ++n;
        state.ResumeTiming();
        const auto names = pf::ListDirectory(folder + "\\*.req");
        for (const auto& f : zp::RequestsOfThisPass(folder, names, waiting)) {
            std::string path = folder + "\\" + f;
            zp::ProcessRequest(path);
            ++answered;
        }
    }
    pf::detail::UseFolderIndexes(true);
    state.counters["requests/s"] =
        benchmark::Counter(static_cast<double>(answered), benchmark::Counter::kIsRate);
    state.SetLabel(state.range(0) ? "indexed" : "listing");
}
BENCHMARK(BM_Drop1000)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
