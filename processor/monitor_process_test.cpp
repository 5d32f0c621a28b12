// The real Dulvan program, started offscreen as an unattended site runs it, against a share
// built by the sharegen tool from the sample description.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/settings.h"
#include "platform/test_support.h"
#include "processor/globals.h"

namespace zel::processor {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The sample share as shipped, built by the sharegen tool.
bool BuildSampleShare(const platform::testing::SandboxEnv& env) {
    const std::string path = std::string(ZEL_SOURCE_DIR) + "/samples/share.json";
    std::ifstream in(path);
    if (!in) return false;
    nlohmann::json d = nlohmann::json::parse(in);
    std::string cmd = std::string(ZEL_BINARY_DIR) + "/tools/sharegen/sharegen " + path + " > /dev/null";
    if (std::system(cmd.c_str()) != 0) return false;
    env.dir().MakeDirs("unc/" + d["host"].get<std::string>() + "/DadAri");
    return true;
}

// A child process ended (SIGKILL) when the object goes.
class Child {
public:
    explicit Child(const std::string& program) {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~Child() {
        if (pid_ > 0 && Running()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool Running() {
        if (exited_) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) exited_ = true;
        return !exited_;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

// A file of a folder whose name matches without regard to case.
std::optional<fs::path> FindNoCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        std::string n = e.path().filename().string();
        if (n.size() == name.size() &&
            std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
            return e.path();
    }
    return std::nullopt;
}

template <class F>
bool Within(std::chrono::milliseconds limit, F done) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return done();
}

TEST(DulvanProcess, AutoStartedProgramAnswersAnUnsupportedRequestWithinSeconds) {
    platform::testing::SandboxEnv env;
    ASSERT_TRUE(BuildSampleShare(env));
    for (auto [key, value] : {std::pair{"Host", "QSERVER"}, {"Directory", "1"}, {"Auto-Start", "1"},
                              {"Interval", "0"}, {"PickTicketCounter", "100"}})
        platform::SaveSetting(kSettingsApp, kSettingsSection, key, value);

    Child dulvan(std::string(ZEL_BINARY_DIR) + "/apps/Dulvan/Dulvan");
    const fs::path dadari = env.UncRoot() + "/QSERVER/DadAri";
    ASSERT_TRUE(Within(10s, [&] { return fs::is_directory(dadari / "zeldist"); }))
        << "Dulvan did not make its request folder";
    EXPECT_TRUE(FindNoCase(dadari, "zelarchive").has_value());

    // The request arrives as the hub agent leaves it: written aside, then renamed into place.
    {
        std::ofstream out(dadari / "zeldist" / "Hub4711.tmp", std::ios::binary);
        out << "[ZELINFO]\r\nDocType=Estimate\r\nDealerNumber=1001\r\n[DMSINFO]\r\nTIMESUBMITED=09:30:00\r\n";
    }
    fs::rename(dadari / "zeldist" / "Hub4711.tmp", dadari / "zeldist" / "Hub4711.req");

    const fs::path answer = dadari / "zeldist" / "hub4711.req.2";
    ASSERT_TRUE(Within(5s, [&] { return fs::exists(answer); })) << "no exceptions document";
    auto archive = FindNoCase(dadari, "zelarchive");
    ASSERT_TRUE(archive.has_value());
    EXPECT_TRUE(Within(2s, [&] { return FindNoCase(*archive, "hub4711.req").has_value(); }));
    EXPECT_TRUE(Within(2s, [&] { return !FindNoCase(dadari / "zeldist", "hub4711.req").has_value(); }));

    std::ifstream doc(answer, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(doc)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("QMR-666"), std::string::npos);
    EXPECT_NE(text.find("Invalid or Unsupported Document Type: Estimate"), std::string::npos);

    EXPECT_TRUE(dulvan.Running()) << "Dulvan ended";
    EXPECT_EQ(platform::GetSetting(kSettingsApp, kSettingsSection, "Auto-start", ""), "1");
}

}  // namespace
}  // namespace zel::processor
