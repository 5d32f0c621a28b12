// Cost of Dulvan's polling while no request arrives:
//  - BM_EmptyPollingPass: one polling pass over an empty request folder, in process (listing
//    the folder and refreshing the twelve statistics boxes from the settings store);
//  - BM_IdleProgram: the real program polling an empty folder every 0.2 seconds, measured from
//    outside: CPU share of one core over the window (ZEL_IDLE_SECONDS, default 30) and its
//    resident memory. Goal: under 1% of one core.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/settings.h"
#include "platform/test_support.h"
#include "processor/globals.h"
#include "processor/windows/monitor.h"

namespace {

namespace fs = std::filesystem;
using namespace zel;

// The build folder: this program lives in <build>/processor.
fs::path BuildDir() { return fs::read_symlink("/proc/self/exe").parent_path().parent_path(); }

void StoreSite() {
    for (auto [key, value] : {std::pair{"Host", "HOST"},
                              {"Directory", "1"},
                              {"Auto-Start", "1"},
                              {"Interval", "0"},
                              {"PickTicketCounter", "100"}})
        platform::SaveSetting(processor::kSettingsApp, processor::kSettingsSection, key, value);
}

bool BuildShare(const platform::testing::SandboxEnv& env) {
    std::string json = env.dir().Write("share.json", R"({"host": "HOST", "directory": "QMR1",
        "ttymap": ["OTHER 2"], "file0": {},
        "catalog": {"Server": "HOST", "Directory": "QMR1", "TerminalID": "1"}})");
    std::string cmd =
        (BuildDir() / "tools/sharegen/sharegen").string() + " " + json + " > /dev/null";
    if (std::system(cmd.c_str()) != 0) return false;
    env.dir().MakeDirs("unc/HOST/DadAri/zeldist");
    env.dir().MakeDirs("unc/HOST/DadAri/ZelArchive");
    return true;
}

void BM_EmptyPollingPass(benchmark::State& state) {
    platform::testing::SandboxEnv env;
    env.dir().MakeDirs("unc/HOST/DadAri/zeldist");
    StoreSite();
    processor::gState.gHost = "HOST";
    processor::gState.gDirectory = "1";
    processor::MonitorController monitor;
    for (auto _ : state) monitor.Timer1_Timer();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EmptyPollingPass)->Unit(benchmark::kMicrosecond);

// utime + stime of a process in clock ticks, and a line of its status file in kB.
long CpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream rest(all.substr(all.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return utime + stime;
}

long StatusKb(pid_t pid, const std::string& name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(name + ":", 0) == 0) return std::stol(line.substr(name.size() + 1));
    return -1;
}

void BM_IdleProgram(benchmark::State& state) {
    const char* secondsText = std::getenv("ZEL_IDLE_SECONDS");
    const int seconds = secondsText ? std::atoi(secondsText) : 30;
    platform::testing::SandboxEnv env;
    if (!BuildShare(env)) {
        state.SkipWithError("sharegen failed");
        return;
    }
    StoreSite();
    const std::string program = (BuildDir() / "apps/Dulvan/Dulvan").string();
    for (auto _ : state) {
        pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));  // start-up is not idling
        long before = CpuTicks(pid);
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        long after = CpuTicks(pid);
        double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["cpu_percent_of_one_core"] = 100.0 * static_cast<double>(after - before) /
                                                    static_cast<double>(::sysconf(_SC_CLK_TCK)) /
                                                    wall;
        state.counters["rss_kB"] = static_cast<double>(StatusKb(pid, "VmRSS"));
        state.counters["peak_rss_kB"] = static_cast<double>(StatusKb(pid, "VmHWM"));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}
BENCHMARK(BM_IdleProgram)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
