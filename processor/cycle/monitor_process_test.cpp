// The real Dulvan program, started offscreen as an unattended site runs it, against a share
// built by the sharegen tool from the sample description.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "platform/convert.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/settings.h"
#include "platform/test_support.h"
#include "processor/export_test_support.h"
#include "processor/globals.h"
#include "tools/sharegen/sharegen.h"

namespace zel::processor {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The sample share as shipped, built by the share builder.
bool BuildSampleShare(const platform::testing::SandboxEnv& env) {
    const std::string path = std::string(ZEL_SOURCE_DIR) + "/samples/share.json";
    std::ifstream in(path);
    if (!in) return false;
    nlohmann::json d = nlohmann::json::parse(in);
    sharegen::BuildShare(d, env.UncRoot(), env.Temp());
    env.dir().MakeDirs("unc/" + d["host"].get<std::string>() + "/DadAri");
    return true;
}

// The sample site's settings: auto-start on the sample host, fastest polling, tickets from 100.
void SaveSampleSettings() {
    for (auto [key, value] : {std::pair{"Host", "QSERVER"},
                              {"Directory", "1"},
                              {"Auto-Start", "1"},
                              {"Interval", "0"},
                              {"PickTicketCounter", "100"}})
        platform::SaveSetting(kSettingsApp, kSettingsSection, key, value);
}

// A child process ended (SIGKILL) when the object goes.
class Child {
public:
    // `errorStream`, when given, is the file the program's error stream (its boxes) goes to.
    explicit Child(const std::string& program, const std::string& errorStream = "") {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            if (!errorStream.empty()) {
                const int fd = ::open(errorStream.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                if (fd < 0 || ::dup2(fd, 2) < 0) ::_exit(126);
            }
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
            std::equal(n.begin(), n.end(), name.begin(),
                       [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
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
    SaveSampleSettings();

    Child dulvan(std::string(ZEL_BINARY_DIR) + "/apps/Dulvan/Dulvan");
    const fs::path dadari = env.UncRoot() + "/QSERVER/DadAri";
    ASSERT_TRUE(Within(10s, [&] { return fs::is_directory(dadari / "zeldist"); }))
        << "Dulvan did not make its request folder";
    EXPECT_TRUE(FindNoCase(dadari, "zelarchive").has_value());

    // The request arrives as the hub agent leaves it: written aside, then renamed into place.
    {
        std::ofstream out(dadari / "zeldist" / "Hub4711.tmp", std::ios::binary);
        out << "[ZELINFO]\r\nDocType=Estimate\r\nDealerNumber=1001\r\n[DMSINFO]\r\nTIMESUBMITED=09:"
               "30:00\r\n";
    }
    fs::rename(dadari / "zeldist" / "Hub4711.tmp", dadari / "zeldist" / "Hub4711.req");

    const fs::path answer = dadari / "zeldist" / "hub4711.req.2";
    ASSERT_TRUE(Within(5s, [&] { return fs::exists(answer); })) << "no exceptions document";
    auto archive = FindNoCase(dadari, "zelarchive");
    ASSERT_TRUE(archive.has_value());
    EXPECT_TRUE(Within(2s, [&] { return FindNoCase(*archive, "hub4711.req").has_value(); }));
    EXPECT_TRUE(
        Within(2s, [&] { return !FindNoCase(dadari / "zeldist", "hub4711.req").has_value(); }));

    std::ifstream doc(answer, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(doc)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("QMR-666"), std::string::npos);
    EXPECT_NE(text.find("Invalid or Unsupported Document Type: Estimate"), std::string::npos);

    EXPECT_TRUE(dulvan.Running()) << "Dulvan ended";
    EXPECT_EQ(platform::GetSetting(kSettingsApp, kSettingsSection, "Auto-start", ""), "1");
}

}  // namespace
}  // namespace zel::processor

namespace zel::processor {
namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The value of `key` in a document's text (the first line "key=value" of any section).
std::string ValueOf(const std::string& text, const std::string& key) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
        pos = end + 2;
    }
    return "<missing>";
}

using testing::CrLfLines;

std::string RightTrimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// A request dropped as the hub agent drops it: written aside, then renamed into place.
void Drop(const fs::path& folder, const std::string& name, const std::string& text) {
    {
        std::ofstream out(folder / (name + ".tmp"), std::ios::binary);
        out << text;
    }
    fs::rename(folder / (name + ".tmp"), folder / (name + ".req"));
}

class DulvanOrders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(BuildSampleShare(env_));
        SaveSettings();
        // The sample order as the dealer's system sends it.
        sample_ = SampleRequest("purchase-order.txt");
    }
    // A sample request of samples/requests, with the line ends the dealer's system writes.
    static std::string SampleRequest(const char* file) {
        std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/samples/requests/" + file);
        std::string text, line;
        while (std::getline(in, line)) text += line + "\r\n";
        return text;
    }
    // The sample order under a PO number of its own.
    std::string OrderWithPo(const std::string& po) const {
        std::string order = sample_;
        const std::string from = "PoNumber=ACME-7731";
        return order.replace(order.find(from), from.size(), "PoNumber=" + po);
    }
    // Every order <prefix>1 ... <prefix>count answered and gone from the request folder.
    bool AllAnswered(const std::string& prefix, int count) const {
        for (int i = 1; i <= count; ++i) {
            const std::string name = prefix + std::to_string(i) + ".req";
            if (!fs::exists(Zeldist() / (name + ".1")) || fs::exists(Zeldist() / name))
                return false;
        }
        return true;
    }
    // The site's settings, into the settings store XDG_CONFIG_HOME names now.
    static void SaveSettings() {
        for (auto [key, value] :
             {std::pair{"Host", "QSERVER"},
              {"Directory", "1"},
              {"Auto-Start", "1"},
              {"Interval", "0"},
              {"PickTicketCounter", "5001"},
              {"Logging", "0"},
              {"Archive", "0"},
              {"EmergencyMessage",
               "EMERGENCY ORDER - PLEASE PULL AND SHIP TODAY BY THE FASTEST WAY"}})
            platform::SaveSetting(kSettingsApp, kSettingsSection, key, value);
    }
    std::string Program() const { return std::string(ZEL_BINARY_DIR) + "/apps/Dulvan/Dulvan"; }
    fs::path Zeldist() const { return env_.UncRoot() + "/QSERVER/DadAri/zeldist"; }
    fs::path Exports() const { return env_.UncRoot() + "/QSERVER/DadAri/WebTask/In"; }

    platform::testing::SandboxEnv env_;
    std::string sample_;
};

TEST_F(DulvanOrders, SampleOrderIsAcknowledgedAndExported) {
    Child dulvan(Program());
    ASSERT_TRUE(Within(10s, [&] { return fs::is_directory(Zeldist()); }));
    Drop(Zeldist(), "Order1", sample_);
    const fs::path answer = Zeldist() / "order1.req.1";
    ASSERT_TRUE(Within(10s, [&] { return fs::exists(answer); })) << "no acknowledgement";

    const std::string doc = ReadAll(answer);
    EXPECT_EQ(ValueOf(doc, "DocType"), "ACKNOWLEDGEMENT");
    EXPECT_EQ(ValueOf(doc, "ConfirmationNumber"), "5001");
    EXPECT_EQ(ValueOf(doc, "VendorName"),
              "ZEL DEMO DEALER" + std::string(20, ' '));  // 35 bytes of the block
    EXPECT_EQ(ValueOf(doc, "PoNumber"), "ACME-7731");
    EXPECT_EQ(ValueOf(doc, "ItemCount"), "4");
    EXPECT_EQ(ValueOf(doc, "PartDisposition1"), "In Stock - Available");
    EXPECT_EQ(ValueOf(doc, "QtyShipped1"), "2");
    EXPECT_EQ(ValueOf(doc, "PartDisposition2"), "Partial Fill - Balance BackOrdered");
    EXPECT_EQ(ValueOf(doc, "QtyShipped2"), "3");
    EXPECT_EQ(ValueOf(doc, "QtyBo2"), "2");
    EXPECT_EQ(ValueOf(doc, "PartDisposition3"), "Bad Part Number");
    EXPECT_EQ(RightTrimmed(ValueOf(doc, "PartDisposition4")), "Superceded by BR200");
    EXPECT_EQ(RightTrimmed(ValueOf(doc, "PartDesc4")), "BRAKE SHOE");

    const fs::path exportFile = Exports() / "5001.txt";
    ASSERT_TRUE(Within(2s, [&] { return fs::exists(exportFile); }));
    std::vector<std::string> lines;
    for (const std::string& l : CrLfLines(ReadAll(exportFile))) lines.push_back(RightTrimmed(l));
    const std::vector<std::string> expected = {"***850ZEL",
                                               "H005001",
                                               "H011001",
                                               "H09ACME-7731",
                                               "H29ACME TRACTOR - FIELD CREW",
                                               "H304410 COUNTY ROAD 12",
                                               "H31GATE 3",
                                               "H32DAVIS, CA  95616",
                                               "H33530",
                                               "H345550142",
                                               "H4201",
                                               "H491",
                                               "D011",
                                               "D02REM",
                                               "D06EMERGENCY ORDER - PLEASE PULL AND",
                                               "D012",
                                               "D02REM",
                                               "D06SHIP TODAY BY THE FASTEST WAY",
                                               "D013",
                                               "D02REM",
                                               "D06DELIVER TO THE BACK DOCK BEFORE NOON",
                                               "D014",
                                               "D02REM",
                                               "D06. CALL AHEAD IF ANYTHING IS SHORT.",
                                               "D015",
                                               "D02AB",
                                               "D031234-5",
                                               "D042",
                                               "D016",
                                               "D02ABC",
                                               "D03BR-201",
                                               "D045",
                                               "D017",
                                               "D02AB",
                                               "D03NO-SUCH-9",
                                               "D041",
                                               "D018",
                                               "D02ABC",
                                               "D03BR-200",
                                               "D044",
                                               "D019",
                                               "D02REM",
                                               "D06SUPERCEDES BR100"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(platform::GetSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", ""),
              "5002");
    EXPECT_TRUE(dulvan.Running());
}

// Killed at random moments while ten orders arrive, and started again each time: every order
// ends with one answer and one export, and no two orders share a number.
TEST_F(DulvanOrders, OrdersSurviveKillsAtRandomMoments) {
    constexpr int kOrders = 10;
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> pause(0, 400);
    {
        auto dulvan = std::make_unique<Child>(Program());
        ASSERT_TRUE(Within(10s, [&] { return fs::is_directory(Zeldist()); }));
        for (int i = 1; i <= kOrders; ++i) {
            const std::string order = OrderWithPo("K-" + std::to_string(i));
            Drop(Zeldist(), "k" + std::to_string(i), order);
            // A kill at a random moment of the program's work, then a new start.
            std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
            dulvan.reset();
            dulvan = std::make_unique<Child>(Program());
        }
        ASSERT_TRUE(Within(60s, [&] { return AllAnswered("k", kOrders); }))
            << "not every order was answered";
    }

    std::map<std::string, std::string> ticketOfOrder;
    for (int i = 1; i <= kOrders; ++i) {
        const std::string doc = ReadAll(Zeldist() / ("k" + std::to_string(i) + ".req.1"));
        EXPECT_EQ(ValueOf(doc, "PoNumber"), "K-" + std::to_string(i));
        EXPECT_EQ(ValueOf(doc, "PartDisposition4").substr(0, 13), "Superceded by");
        ticketOfOrder["K-" + std::to_string(i)] = ValueOf(doc, "ConfirmationNumber");
    }
    std::map<std::string, std::string> orderOfExport;
    for (const auto& e : fs::directory_iterator(Exports())) {
        const std::string name = e.path().filename().string();
        ASSERT_EQ(e.path().extension(), ".txt") << name;
        const auto lines = CrLfLines(ReadAll(e.path()));
        ASSERT_GE(lines.size(), 4u) << name;
        EXPECT_EQ(lines.front(), "***850ZEL");
        EXPECT_EQ(lines[1], "H00" + e.path().stem().string());
        EXPECT_EQ(RightTrimmed(lines.back()), "D06SUPERCEDES BR100") << name << " is not whole";
        const std::string po = lines[3].substr(3);
        EXPECT_TRUE(orderOfExport.emplace(po, e.path().stem().string()).second)
            << po << " exported twice";
    }
    EXPECT_EQ(orderOfExport, ticketOfOrder);
}

// Two programs polling one request folder, as a second start or another workstation on the
// share would: every request is answered and every order exported by exactly one of them, and
// neither ends.
TEST_F(DulvanOrders, TwoProgramsOnOneFolderAnswerEachRequestOnce) {
    constexpr int kEach = 20;
    const std::string query = SampleRequest("stock-query.txt");
    Child first(Program());
    Child second(Program());
    ASSERT_TRUE(Within(10s, [&] { return fs::is_directory(Zeldist()); }));
    for (int i = 1; i <= kEach; ++i) {
        const std::string order = OrderWithPo("T-" + std::to_string(i));
        Drop(Zeldist(), "o" + std::to_string(i), order);
        Drop(Zeldist(), "q" + std::to_string(i), query);
    }
    auto counter = [](const char* key) {
        return platform::GetSetting(kSettingsApp, kStatisticsSection, key, "0");
    };
    // Done when only the answers are left and the last counters are stored.
    auto done = [&] {
        std::size_t entries = 0;
        for (const auto& e : fs::directory_iterator(Zeldist()))
            if (e.path().filename() != platform::FileClaim::kClaimsFile) ++entries;
        for (int i = 1; i <= kEach; ++i)
            for (const char* kind : {"o", "q"})
                if (!fs::exists(Zeldist() / (kind + std::to_string(i) + ".req.1"))) return false;
        return entries == 2 * kEach && counter("Item1-1") != "0" && counter("Item2-1") != "0";
    };
    ASSERT_TRUE(Within(120s, done)) << "not every request was answered";
    EXPECT_TRUE(first.Running()) << "the first program ended";
    EXPECT_TRUE(second.Running()) << "the second program ended";

    std::map<std::string, int> exportsOfOrder;
    for (const auto& e : fs::directory_iterator(Exports())) {
        ASSERT_EQ(e.path().extension(), ".txt") << e.path();
        const auto lines = CrLfLines(ReadAll(e.path()));
        ASSERT_GE(lines.size(), 4u) << e.path();
        ++exportsOfOrder[lines[3].substr(3)];
    }
    EXPECT_EQ(exportsOfOrder.size(), std::size_t{kEach});
    for (const auto& [po, count] : exportsOfOrder) EXPECT_EQ(count, 1) << po;
    // Each request counted once: none was answered twice.
    EXPECT_TRUE(Within(10s,
                       [&] {
                           return counter("Item1-1") == std::to_string(kEach) &&
                                  counter("Item2-1") == std::to_string(kEach);
                       }))
        << counter("Item1-1") << " queries, " << counter("Item2-1") << " orders counted";
}

// Two workstations on one request folder, each numbering from a settings store of its own,
// both from the same number: their numbers meet at every order. Each order is exported once,
// under the number its answer gives, no number goes to two orders, and neither program ends.
TEST_F(DulvanOrders, WorkstationsWithCountersOfTheirOwnExportEveryOrderOnce) {
    constexpr int kOrders = 20;
    const std::string secondStore = env_.dir().MakeDirs("second-workstation");
    Child first(Program());
    std::unique_ptr<Child> second;
    {
        platform::testing::ScopedEnv store{"XDG_CONFIG_HOME", secondStore};
        SaveSettings();
        second = std::make_unique<Child>(Program());
    }
    ASSERT_TRUE(Within(10s, [&] { return fs::is_directory(Zeldist()); }));
    for (int i = 1; i <= kOrders; ++i) {
        const std::string order = OrderWithPo("W-" + std::to_string(i));
        Drop(Zeldist(), "w" + std::to_string(i), order);
    }
    ASSERT_TRUE(Within(120s, [&] { return AllAnswered("w", kOrders); }))
        << "not every order was answered";
    EXPECT_TRUE(first.Running()) << "the first workstation's program ended";
    EXPECT_TRUE(second->Running()) << "the second workstation's program ended";

    std::map<std::string, std::string> orderOfNumber;
    for (int i = 1; i <= kOrders; ++i) {
        const std::string doc = ReadAll(Zeldist() / ("w" + std::to_string(i) + ".req.1"));
        const std::string number = ValueOf(doc, "ConfirmationNumber");
        EXPECT_NE(ValueOf(doc, "Comments").find("assigned Order Number " + number + " to it."),
                  std::string::npos)
            << number;
        EXPECT_TRUE(orderOfNumber.emplace(number, "W-" + std::to_string(i)).second)
            << "confirmation " << number << " given to two orders";
    }
    std::map<std::string, std::string> orderOfExport;
    for (const auto& e : fs::directory_iterator(Exports())) {
        ASSERT_EQ(e.path().extension(), ".txt") << e.path();
        const auto lines = CrLfLines(ReadAll(e.path()));
        ASSERT_GE(lines.size(), 4u) << e.path();
        EXPECT_EQ(lines[1], "H00" + e.path().stem().string());
        orderOfExport[e.path().stem().string()] = lines[3].substr(3);
    }
    EXPECT_EQ(orderOfExport, orderOfNumber);
}

// The real program with the site's notes beside it, as scripts/run-sample-site.sh starts it,
// answering the sample stock query.
TEST(DulvanStockQuery, SampleQueryIsAnsweredFromTheSampleSite) {
    platform::testing::SandboxEnv env;
    platform::testing::ScopedEnv station{"COMPUTERNAME", std::string("dealerpc")};
    {
        std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/samples/share.json");
        sharegen::BuildShare(nlohmann::json::parse(in), env.UncRoot(), env.Temp());
    }
    env.dir().MakeDirs("unc/QSERVER/DadAri");
    for (auto [key, value] : {std::pair{"Host", "QSERVER"},
                              {"Directory", "1"},
                              {"Auto-Start", "1"},
                              {"Interval", "0"},
                              {"PickTicketCounter", "100"},
                              {"QueryResp", "2"}})
        platform::SaveSetting(kSettingsApp, kSettingsSection, key, value);

    // The program with the site's notes beside it.
    const fs::path programFolder = fs::path(env.dir().MakeDirs("dulvan"));
    fs::copy_file(std::string(ZEL_BINARY_DIR) + "/apps/Dulvan/Dulvan", programFolder / "Dulvan");
    fs::copy_file(std::string(ZEL_SOURCE_DIR) + "/samples/QueryNotes.txt",
                  programFolder / "QueryNotes.txt");
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
        return platform::TrimValue(
            platform::GetProfileString(section, key, "<missing>", 1000, answer));
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

    EXPECT_EQ(value("Notes", "NotesLine1"),
              "PRICES IN US DOLLARS, SUBJECT TO CHANGE WITHOUT NOTICE");
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

// Started at boot before the server's shares are mounted, the program answers once they are,
// without a restart.
TEST(DulvanLateShare, ProgramStartedBeforeTheShareAnswersOnceItIsThere) {
    platform::testing::SandboxEnv env;
    platform::testing::ScopedEnv station{"COMPUTERNAME", std::string("dealerpc")};
    ASSERT_TRUE(BuildSampleShare(env));
    SaveSampleSettings();
    const fs::path host = fs::path(env.UncRoot()) / "QSERVER";
    const fs::path away = fs::path(env.UncRoot()) / "QSERVER.away";
    fs::rename(host, away);

    const fs::path errors = fs::path(env.dir().path()) / "dulvan-errors.txt";
    Child dulvan(std::string(ZEL_BINARY_DIR) + "/apps/Dulvan/Dulvan", errors.string());
    ASSERT_TRUE(Within(20s, [&] {
        return ReadAll(errors).find("Error... could not initialize cBusinessBasic.") !=
               std::string::npos;
    })) << ReadAll(errors);
    fs::rename(away, host);

    const fs::path zeldist = host / "DadAri" / "zeldist";
    ASSERT_TRUE(Within(30s, [&] { return fs::is_directory(zeldist); })) << ReadAll(errors);
    Drop(zeldist, "Late1",
         ReadAll(std::string(ZEL_SOURCE_DIR) + "/samples/requests/stock-query.txt"));
    const fs::path answer = zeldist / "late1.req.1";
    ASSERT_TRUE(Within(30s, [&] { return fs::exists(answer); })) << ReadAll(errors);
    EXPECT_EQ(ValueOf(ReadAll(answer), "DocType"), "QUERYRESPONSE");
    EXPECT_TRUE(dulvan.Running()) << "Dulvan ended";
}

}  // namespace
}  // namespace zel::processor
