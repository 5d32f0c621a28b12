// The real Dulvan program, started offscreen on the sample site as scripts/run-sample-site.sh
// starts it (with the site's notes beside it), answering the sample stock query.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/convert.h"
#include "platform/profile.h"
#include "platform/settings.h"
#include "platform/test_support.h"
#include "processor/globals.h"
#include "tools/sharegen/sharegen.h"

#include <nlohmann/json.hpp>

namespace zel::processor {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A child process, ended (SIGKILL) when the object goes.
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

template <class F>
bool Within(std::chrono::milliseconds limit, F done) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return done();
}

TEST(DulvanStockQuery, SampleQueryIsAnsweredFromTheSampleSite) {
    platform::testing::SandboxEnv env;
    platform::testing::ScopedEnv station{"COMPUTERNAME", std::string("dealerpc")};
    {
        std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/samples/share.json");
        sharegen::BuildShare(nlohmann::json::parse(in), env.UncRoot(), env.Temp());
    }
    env.dir().MakeDirs("unc/QSERVER/DadAri");
    for (auto [key, value] : {std::pair{"Host", "QSERVER"}, {"Directory", "1"}, {"Auto-Start", "1"},
                              {"Interval", "0"}, {"PickTicketCounter", "100"}, {"QueryResp", "2"}})
        platform::SaveSetting(kSettingsApp, kSettingsSection, key, value);

    // The program with the site's notes beside it.
    const fs::path programFolder = fs::path(env.dir().MakeDirs("dulvan"));
    fs::copy_file(std::string(ZEL_BINARY_DIR) + "/apps/Dulvan/Dulvan", programFolder / "Dulvan");
    fs::copy_file(std::string(ZEL_SOURCE_DIR) + "/samples/QueryNotes.txt", programFolder / "QueryNotes.txt");
    Child dulvan((programFolder / "Dulvan").string());

    const fs::path zeldist = fs::path(env.UncRoot()) / "QSERVER/DadAri/zeldist";
    ASSERT_TRUE(Within(20s, [&] { return fs::is_directory(zeldist); }))
        << "Dulvan did not make its request folder";
    fs::copy_file(std::string(ZEL_SOURCE_DIR) + "/samples/requests/stock-query.txt",
                  zeldist / "sample.tmp");
    fs::rename(zeldist / "sample.tmp", zeldist / "sample.req");

    const fs::path answerFile = zeldist / "sample.req.1";
    ASSERT_TRUE(Within(20s, [&] { return fs::exists(answerFile); })) << "no answer";
    EXPECT_TRUE(dulvan.Running()) << "Dulvan ended";

    const std::string answer = "\\\\QSERVER\\DadAri\\zeldist\\sample.req.1";
    auto value = [&](const std::string& section, const std::string& key) {
        return platform::TrimValue(platform::GetProfileString(section, key, "<missing>", 1000, answer));
    };
    EXPECT_EQ(value("ZELINFO", "DocType"), "QUERYRESPONSE");
    EXPECT_EQ(value("QUERYRESPONSE", "Vendor"), "self");

    // In stock at the dealer's own location.
    EXPECT_EQ(value("POITEMS1", "PartNumber"), "1234-5");
    EXPECT_EQ(value("POITEMS1", "PartDesc"), "AIR FILTER ELEMENT");
    EXPECT_EQ(value("POITEMS1", "Quantity1"), "2");
    EXPECT_EQ(value("POITEMS1", "UnitOfMeasure"), "Each");
    EXPECT_EQ(value("POITEMS1", "StatusMessage"), "Available");
    // Short here (12 on hand), made up by the second location (4).
    EXPECT_EQ(value("POITEMS2", "Quantity1"), "12");
    EXPECT_EQ(value("POITEMS2", "Quantity2"), "4");
    EXPECT_EQ(value("POITEMS2", "StatusMessage"), "Available");
    // Superseded: answered by its replacement.
    EXPECT_EQ(value("POITEMS3", "PartNumber"), "BR-100");
    EXPECT_EQ(value("POITEMS3", "AlternatePartNumber1"), "BR200");
    EXPECT_EQ(value("POITEMS3", "AlternatePartReason1"), "SUPERCEDED");
    EXPECT_EQ(value("POITEMS3", "Quantity1"), "5");
    // Factory freight of the part.
    EXPECT_EQ(value("POITEMS4", "AdditionalItemCharge1"), "7.50");
    EXPECT_EQ(value("POITEMS4", "AdditionalItemChargeDescription1"), "Factory Freight");
    EXPECT_EQ(value("POITEMS4", "UnitOfMeasure"), "Piece");
    // Back-ordered at the factory; on order.
    EXPECT_EQ(value("POITEMS5", "Quantity1"), "0");
    EXPECT_EQ(value("POITEMS5", "StatusMessage"), "Factory Back-Ordered");
    EXPECT_EQ(value("POITEMS6", "StatusMessage"), "On-Order, Awaiting Delivery");
    EXPECT_EQ(value("POITEMS6", "UnitOfMeasure"), "Box of Each");
    // Special order, and not found.
    EXPECT_EQ(value("POITEMS7", "StatusMessage"), "Special Order Only");
    EXPECT_EQ(value("POITEMS8", "PartDesc"), "Part Not Found");
    EXPECT_EQ(value("POITEMS8", "StatusMessage"), "Part Not Found");
    EXPECT_EQ(value("POITEMS8", "Retail"), ".00");

    EXPECT_EQ(value("Notes", "NotesLine1"), "PRICES IN US DOLLARS, SUBJECT TO CHANGE WITHOUT NOTICE");
    EXPECT_EQ(value("Count", "PartsCount"), "8");
    EXPECT_EQ(value("Count", "NotesCount"), "3");

    // The counters as the monitor shows them.
    auto counter = [](const char* key) {
        return platform::GetSetting(kSettingsApp, kStatisticsSection, key, "0");
    };
    EXPECT_TRUE(Within(5s, [&] { return counter("Item1-1") == "1"; }));
    EXPECT_EQ(counter("Item1-2"), "8");
    EXPECT_EQ(counter("Item1-3"), "4");
    EXPECT_EQ(counter("Item1-4"), "1");
    EXPECT_EQ(counter("Item1-5"), "1");
    EXPECT_EQ(counter("Item1-6"), "2");
}

}  // namespace
}  // namespace zel::processor
