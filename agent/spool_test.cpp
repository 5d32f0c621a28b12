// Documents handed to the hub client outlive the program: they wait in the spool folder and
// go out, once each and in the order they were handed over, after a restart.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "agent/agent_core.h"
#include "agent/cipher/cipher.h"
#include "agent/http.h"
#include "agent/loopback_test_util.h"
#include "agent/message.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/test_support.h"

namespace zel::agent {
namespace {

namespace fs = std::filesystem;
using platform::WindowsPath;
using testutil::HubProcess;
using testutil::RawServer;

std::string Doc(int n) {
    return "[zelInfo]\r\nTRADEPARTNER=self\r\nDOCTYPE=T\r\nN=" + std::to_string(n) + "\r\n";
}

// Names in a folder with the given ending, sorted.
std::vector<std::string> Ending(const std::string& folder, const std::string& end) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename();
        if (name.size() >= end.size() &&
            name.compare(name.size() - end.size(), end.size(), end) == 0)
            out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// One run of the program: a hub client on the agent's settings file and spool folder.
struct ProgramRun {
    ProgramRun(const std::string& ini, const std::string& spool) {
        core = std::make_unique<TZELAgentCore>(ini);
        core->OnLog = [this](const std::string& t) { logs.push_back(t); };
        core->OnMessage = [this](TZELMessage& m, bool&) { received.push_back(m.AsString()); };
        core->OpenSpool(spool);
    }
    // As SendMessageFile does: the file's document, the file handed over with it.
    bool HandOver(const std::string& file) {
        return core->EnqueueAndSend(ReadDocumentFile(file, core->AgentId), file);
    }
    // Checks until the hub has nothing more; the numbers of all documents this run fetched,
    // in order.
    std::vector<int> FetchAll() {
        for (int i = 0; i < 100; ++i)
            if (!core->CheckMailOnce() || logs.back() == "No Mail") break;
        std::vector<int> numbers;
        for (const auto& r : received)
            if (auto n = FindReplyValue(r, "N")) numbers.push_back(std::stoi(*n));
        return numbers;
    }
    std::size_t Count(const std::string& log) const {
        return static_cast<std::size_t>(std::count(logs.begin(), logs.end(), log));
    }

    std::unique_ptr<TZELAgentCore> core;
    std::vector<std::string> logs;
    std::vector<std::string> received;
};

class SpoolTest : public ::testing::Test {
protected:
    SpoolTest() {
        ini = dir.path() + "/ZelAgent.INI";
        platform::WriteProfileString("AGENT CORE", "Agent_Id", "7", ini);
        out = dir.MakeDirs("out");
        spoolNative = dir.path() + "/zel/spool";
        fs::create_directories(dir.path() + "/zel");
        spool = WindowsPath(spoolNative) + "\\";
    }
    void UseHub(int port) {
        platform::WriteProfileString("AGENT CORE", "HUB_URL", HubProcess::UrlFor(port), ini);
    }
    std::string Write(int n) { return dir.Write("out/" + std::to_string(n) + ".zel", Doc(n)); }

    platform::testing::ScopedEnv noProxy{"http_proxy", std::nullopt};
    platform::testing::TempDir dir;
    std::string ini, out, spool, spoolNative;
};

TEST_F(SpoolTest, DocumentsQueuedAtTheEndArriveOnceInOrderAfterARestart) {
    const int port = testutil::FreePort();
    UseHub(port);
    {
        ProgramRun first(ini, spool);
        for (int n = 1; n <= 4; ++n) {
            const std::string file = Write(n);
            EXPECT_TRUE(first.HandOver(file));
            EXPECT_FALSE(fs::exists(file));  // the caller's name is free at once
        }
        EXPECT_EQ(first.core->Queue.size(), 4u);
        EXPECT_EQ(first.Count("Message sent to HUB"), 0u);
        EXPECT_EQ(Ending(spoolNative, ".spool"),
                  (std::vector<std::string>{"0000000001-1.zel.spool", "0000000002-2.zel.spool",
                                            "0000000003-3.zel.spool", "0000000004-4.zel.spool"}));
        EXPECT_EQ(platform::ReadWholeFile(spool + "0000000003-3.zel.spool"), Doc(3));
    }  // the program ends with all four waiting

    HubProcess hub(port);
    ProgramRun second(ini, spool);
    ASSERT_EQ(second.core->Queue.size(), 4u);
    EXPECT_TRUE(second.core->Queue.front().leftover);
    // The first check that reaches the hub sends them.
    EXPECT_TRUE(second.core->CheckMailOnce());
    EXPECT_EQ(second.Count("Message sent to HUB"), 4u);
    EXPECT_TRUE(second.core->Queue.empty());
    EXPECT_TRUE(Ending(spoolNative, ".spool").empty());
    EXPECT_EQ(second.FetchAll(), (std::vector<int>{1, 2, 3, 4}));

    // Nothing is sent again by a later start.
    second.core.reset();
    ProgramRun third(ini, spool);
    EXPECT_TRUE(third.core->Queue.empty());
    EXPECT_TRUE(third.FetchAll().empty());
    EXPECT_EQ(third.Count("Message sent to HUB"), 0u);
}

TEST_F(SpoolTest, MoreThanTenLeftoversAllArriveAndNewDocumentsAreStillTaken) {
    const int port = testutil::FreePort();
    UseHub(port);
    {
        ProgramRun first(ini, spool);
        for (int n = 1; n <= 10; ++n) EXPECT_TRUE(first.HandOver(Write(n)));
        EXPECT_FALSE(first.HandOver(Write(99)));  // the eleventh of a run is refused
        EXPECT_TRUE(fs::exists(out + "/99.zel"));
    }
    {
        // The hub is still away: the leftovers do not take the new documents' places.
        ProgramRun second(ini, spool);
        EXPECT_EQ(second.core->Queue.size(), 10u);
        for (int n = 11; n <= 20; ++n) EXPECT_TRUE(second.HandOver(Write(n))) << n;
        EXPECT_FALSE(second.HandOver(Write(98)));
        EXPECT_EQ(second.core->Queue.size(), 20u);
        EXPECT_EQ(Ending(spoolNative, ".spool").size(), 20u);
        // Later hand-overs wait behind every leftover.
        EXPECT_TRUE(second.core->Queue[9].leftover);
        EXPECT_FALSE(second.core->Queue[10].leftover);
        EXPECT_EQ(second.core->Queue[10].message->AsString(), Doc(11));
    }

    HubProcess hub(port);
    ProgramRun third(ini, spool);
    EXPECT_EQ(third.core->Queue.size(), 10u);  // the rest waits in the spool folder
    EXPECT_EQ(third.core->SpoolBacklog(), 10u);
    EXPECT_TRUE(third.core->CheckMailOnce());
    EXPECT_EQ(third.Count("Message sent to HUB"), 20u);
    EXPECT_TRUE(third.core->Queue.empty());
    EXPECT_EQ(third.core->SpoolBacklog(), 0u);
    EXPECT_TRUE(Ending(spoolNative, ".spool").empty());
    std::vector<int> expected;
    for (int n = 1; n <= 20; ++n) expected.push_back(n);
    EXPECT_EQ(third.FetchAll(), expected);
}

// Sends of this run follow the rules they always had; the leftovers go ahead of them.
TEST_F(SpoolTest, AHandOverSendsTheOldestLeftoverFirst) {
    const int port = testutil::FreePort();
    UseHub(port);
    {
        ProgramRun first(ini, spool);
        EXPECT_TRUE(first.HandOver(Write(1)));
        EXPECT_TRUE(first.HandOver(Write(2)));
    }
    HubProcess hub(port);
    ProgramRun second(ini, spool);
    EXPECT_TRUE(second.HandOver(Write(3)));  // sends the head: document 1
    ASSERT_EQ(second.core->Queue.size(), 2u);
    EXPECT_EQ(second.core->Queue[0].message->AsString(), Doc(2));
    EXPECT_EQ(second.core->Queue[1].message->AsString(), Doc(3));
    // A check sends what is left of the earlier run, not this run's document.
    EXPECT_TRUE(second.core->CheckMailOnce());
    ASSERT_EQ(second.core->Queue.size(), 1u);
    EXPECT_EQ(second.core->Queue[0].message->AsString(), Doc(3));
    EXPECT_TRUE(second.core->SendQueuedMessage());
    EXPECT_TRUE(Ending(spoolNative, ".spool").empty());
    EXPECT_EQ(second.FetchAll(), (std::vector<int>{1, 2, 3}));
}

// A leftover carries the id the agent has when it is sent, also when it was handed over
// before the agent signed up.
TEST_F(SpoolTest, LeftoversFromBeforeTheSignUpGoOutUnderTheNewId) {
    platform::WriteProfileString("AGENT CORE", "Agent_Id", "-1", ini);
    const int port = testutil::FreePort();
    UseHub(port);
    {
        ProgramRun first(ini, spool);
        EXPECT_TRUE(first.HandOver(Write(1)));
        EXPECT_EQ(first.core->Queue.front().message->AgentId, -1);
    }
    HubProcess hub(port);
    ProgramRun second(ini, spool);
    EXPECT_TRUE(second.core->CheckMailOnce());  // signs up, then sends
    EXPECT_EQ(second.core->AgentId, 1);
    EXPECT_EQ(second.Count("Message sent to HUB"), 1u);
    EXPECT_EQ(second.FetchAll(), (std::vector<int>{1}));
}

// The agent reads no more of a waiting document than of one handed over: its bytes go as
// they are, and a document the hub refuses is kept as ".err", not sent again.
TEST_F(SpoolTest, GarbageInTheSpoolIsSentAsItIsAndARefusedOneIsKept) {
    RawServer server({RawServer::Ok("Action=NOMAIL\r\n"), RawServer::Ok("Action=OK\r\n"),
                      RawServer::Ok("Action=ERROR\r\n")});
    platform::WriteProfileString("AGENT CORE", "HUB_URL", server.Url(), ini);
    std::string first("\0\xff[zelInfo\r\n=\r\nDOCTYPE\0=x&y%\r", 29);
    first += std::string(3000, '\x01');
    const std::string second = "[zelInfo]\nTRADEPARTNER=Dealer 9\nDOCTYPE=PO\n\xfe\xfe";
    dir.Write("zel/spool/0000000040-a.zel.spool", first);
    dir.Write("zel/spool/0000000041-b.zel.spool", second);
    dir.Write("zel/spool/0000000039-old.zel.err", "refused long ago");
    dir.Write("zel/spool/notes.txt", "not a document");

    ProgramRun run(ini, spool);
    ASSERT_EQ(run.core->Queue.size(), 2u);
    EXPECT_TRUE(run.core->CheckMailOnce());
    const auto bodies = server.Bodies();
    ASSERT_EQ(bodies.size(), 3u);
    EXPECT_EQ(bodies[1],
              "Action=FORWARD&Destination=&AgentId=7&Version=2.0&Encryption=DESede"
              "&DocType=&Data=" +
                  UrlEncodeBody(EncryptData(first, 7)));
    EXPECT_EQ(bodies[2],
              "Action=FORWARD&Destination=Dealer 9&AgentId=7&Version=2.0"
              "&Encryption=DESede&DocType=PO&Data=" +
                  UrlEncodeBody(EncryptData(second, 7)));
    EXPECT_EQ(run.logs.back(), "Message rejected by HUB " + server.Url());
    EXPECT_TRUE(Ending(spoolNative, ".spool").empty());
    EXPECT_EQ(dir.Read("zel/spool/0000000041-b.zel.err"), second);
    EXPECT_EQ(dir.Read("zel/spool/0000000039-old.zel.err"), "refused long ago");
    EXPECT_EQ(dir.Read("zel/spool/notes.txt"), "not a document");

    // The numbering goes on after the highest number found.
    EXPECT_TRUE(run.core->Queue.empty());
    run.core->Busy = true;  // keep the next document waiting
    EXPECT_TRUE(run.HandOver(Write(5)));
    EXPECT_EQ(Ending(spoolNative, ".spool"), std::vector<std::string>{"0000000042-5.zel.spool"});
}

TEST_F(SpoolTest, ACopyCutShortIsRemovedAndItsSourceKept) {
    dir.Write("zel/spool/0000000004-y.zel.spool", Doc(4));
    dir.Write("zel/spool/0000000005-x.zel.spool.~zel999-0", Doc(5).substr(0, 7));
    dir.Write("out/x.zel", Doc(5));
    UseHub(testutil::FreePort());
    ProgramRun run(ini, spool);
    ASSERT_EQ(run.core->Queue.size(), 1u);
    EXPECT_EQ(run.core->Queue.front().message->AsString(), Doc(4));
    EXPECT_EQ(Ending(spoolNative, ""), std::vector<std::string>{"0000000004-y.zel.spool"});
    EXPECT_EQ(dir.Read("out/x.zel"), Doc(5));
}

TEST_F(SpoolTest, WithoutASpoolFolderTheDocumentWaitsBesideTheCallersFile) {
    UseHub(testutil::FreePort());
    dir.Write("blocked", "a file where the spool folder should be");
    ProgramRun run(ini, WindowsPath(dir.path() + "/blocked/spool") + "\\");
    EXPECT_EQ(run.core->SpoolFolder(), "");
    EXPECT_EQ(run.logs.back().rfind("Cannot create ", 0), 0u);
    const std::string file = Write(1);
    EXPECT_TRUE(run.HandOver(file));
    EXPECT_EQ(platform::ReadWholeFile(file + ".sending"), Doc(1));
}

// A folder on another file system than the spool folder, or "" when there is none here.
std::string OtherFileSystemFolder(const std::string& than) {
    struct stat a {
    }, b{};
    if (::stat("/dev/shm", &a) != 0 || ::stat(than.c_str(), &b) != 0 || a.st_dev == b.st_dev)
        return "";
    std::string tmpl = "/dev/shm/zelspool-XXXXXX";
    if (!::mkdtemp(tmpl.data())) return "";
    return tmpl;
}

struct RemoveFolder {
    std::string path;
    ~RemoveFolder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
};

TEST_F(SpoolTest, DocumentsFromAnotherFileSystemAreCopiedWholeThenGivenUp) {
    fs::create_directories(spoolNative);
    RemoveFolder other{OtherFileSystemFolder(spoolNative)};
    if (other.path.empty()) GTEST_SKIP() << "no second file system";
    UseHub(testutil::FreePort());
    ProgramRun run(ini, spool);
    const std::string big = Doc(1) + std::string(3 << 20, 'b');
    const std::string file = other.path + "/1.zel";
    platform::WriteWholeFile(file, big);
    EXPECT_TRUE(run.HandOver(file));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(Ending(spoolNative, ""), std::vector<std::string>{"0000000001-1.zel.spool"});
    EXPECT_EQ(platform::ReadWholeFile(spool + "0000000001-1.zel.spool"), big);
}

// The program killed at any moment of handing documents over: every document is whole in
// exactly one of the two places (or, across file systems, whole in both for an instant), and
// the next start finds nothing half-made.
TEST_F(SpoolTest, AKilledHandOverLeavesEveryDocumentWholeAndNoHalfFile) {
    fs::create_directories(spoolNative);
    RemoveFolder other{OtherFileSystemFolder(spoolNative)};
    const std::string source = other.path.empty() ? out : other.path;
    UseHub(testutil::FreePort());
    std::mt19937 random(12345);
    constexpr int kDocs = 10;
    auto content = [](int round, int n) {
        return Doc(round * 100 + n) + std::string(1 << 20, static_cast<char>('a' + n));
    };

    // Round 0 lets the hand-over finish and measures it; the others kill it at a moment
    // drawn from that span.
    std::chrono::microseconds span{0};
    for (int round = 0; round < 12; ++round) {
        for (int n = 0; n < kDocs; ++n)
            platform::WriteWholeFile(source + "/" + std::to_string(n) + ".zel", content(round, n));
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            TZELAgentCore core(ini);
            core.OpenSpool(spool);
            core.Busy = true;  // documents wait; only the hand-over itself runs
            for (int n = 0; n < kDocs; ++n) {
                const std::string f = source + "/" + std::to_string(n) + ".zel";
                core.EnqueueAndSend(ReadDocumentFile(f, 7), f);
            }
            ::_exit(0);
        }
        if (round == 0) {
            ::waitpid(child, nullptr, 0);
            span = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now() - start);
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(
                std::uniform_int_distribution<long>(0, span.count())(random)));
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }

        // Every document whole somewhere; nothing visible is a part of one.
        std::vector<int> copies(kDocs, 0);
        for (int n = 0; n < kDocs; ++n) {
            const std::string f = source + "/" + std::to_string(n) + ".zel";
            if (!fs::exists(f)) continue;
            EXPECT_EQ(platform::ReadWholeFile(f), content(round, n)) << f;
            ++copies[n];
        }
        for (const auto& name : Ending(spoolNative, ".spool")) {
            const std::string bytes = platform::ReadWholeFile(spool + name);
            const int n = std::stoi(name.substr(name.find('-') + 1));
            EXPECT_EQ(bytes, content(round, n)) << name;
            ++copies[n];
            platform::TryDeleteFile(spool + name);
        }
        for (int n = 0; n < kDocs; ++n) {
            EXPECT_GE(copies[n], 1) << "round " << round << ": document " << n << " lost";
            if (other.path.empty()) {
                EXPECT_EQ(copies[n], 1) << "round " << round;
            }
        }
        // The next start clears away a copy the kill cut short.
        {
            TZELAgentCore next(ini);
            next.OpenSpool(spool);
        }
        EXPECT_EQ(Ending(spoolNative, ""), std::vector<std::string>{}) << "round " << round;
    }
}

}  // namespace
}  // namespace zel::agent
