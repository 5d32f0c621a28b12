// Resident memory of a program after the first request of its start, with archiving on, on a
// site whose archive is empty (the floor) and on one whose archive holds 200,000 files (a year
// and more of requests and their time logs), in the same run. Each request runs in a child
// process forked from the same state, so the first request lists its folders afresh as after a
// start. Counters: "rss_MB", resident after the request; "growth_MB", what the request added to
// what the child started with. The goal is the floor's figures within 1 MB.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/seams.h"
#include "platform/test_support.h"
#include "processor/cycle/request_cycle.h"
#include "processor/globals.h"

namespace {

namespace pf = zel::platform;
namespace zp = zel::processor;

void Touch(const std::string& native, const std::string& bytes) {
    const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    if (::write(fd, bytes.data(), bytes.size()) < 0) {
    }
    ::close(fd);
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

struct Figures {
    long residentKiB = -1;
    long growthKiB = -1;
};

// One request through ProcessRequest in a child; what it measured comes back through a pipe.
Figures RequestInChild(const std::string& native) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        Figures f;
        const long start = ResidentKiB();
        try {
            pf::ScopedEndProgramThrows ends;
            zp::gState.gArchive = true;
            zp::gState.gLogging = false;
            Touch(native + "first.req",
                  "[ZELINFO]\r\nDocType=Estimate\r\nDealerNumber=1001\r\nDocId=1\r\n");
            std::string path = "\\\\HOST\\DadAri\\zeldist\\first.req";
            zp::ProcessRequest(path);
            f.residentKiB = ResidentKiB();
            f.growthKiB = f.residentKiB - start;
        } catch (...) {
        }
        if (::write(pipeFds[1], &f, sizeof f) != static_cast<ssize_t>(sizeof f)) {
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    Figures f;
    if (child < 0 || ::read(pipeFds[0], &f, sizeof f) != static_cast<ssize_t>(sizeof f)) f = {};
    ::close(pipeFds[0]);
    if (child > 0) ::waitpid(child, nullptr, 0);
    return f;
}

void BM_FirstRequestMemory(benchmark::State& state) {
    pf::testing::SandboxEnv env;
    env.dir().MakeDirs("unc/HOST/DadAri/zeldist");
    env.dir().MakeDirs("unc/HOST/DadAri/ZelArchive");
    const std::string archive = env.UncRoot() + "/HOST/DadAri/ZelArchive/";
    // Archived as the program names them: the request's lower-cased name, and its time log.
    for (int i = 0; i < state.range(0) / 2; ++i) {
        Touch(archive + std::to_string(100000 + i) + ".req", "x");
        Touch(archive + std::to_string(100000 + i) + ".log", "x");
    }
    Figures f;
    for (auto _ : state) f = RequestInChild(env.UncRoot() + "/HOST/DadAri/zeldist/");
    if (f.residentKiB < 0) state.SkipWithError("the request in the child failed");
    state.counters["rss_MB"] = static_cast<double>(f.residentKiB) / 1024.0;
    state.counters["growth_MB"] = static_cast<double>(f.growthKiB) / 1024.0;
    state.SetLabel(std::to_string(state.range(0)) + " files archived");
}
BENCHMARK(BM_FirstRequestMemory)
    ->Arg(0)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
