#include "agent/documents.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "agent/agent_core.h"
#include "agent/loopback_test_util.h"
#include "agent/message.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/test_support.h"

namespace zel::agent {
namespace {

namespace fs = std::filesystem;
using platform::WindowsPath;

// Hands out the scripted numbers in turn (the last one again when they run out) and records
// the ranges asked for.
RandomBelow Scripted(std::vector<std::int64_t> values,
                     std::vector<std::int64_t>* ranges = nullptr) {
    auto next = std::make_shared<std::size_t>(0);
    return [values, ranges, next](std::int64_t n) {
        if (ranges) ranges->push_back(n);
        std::int64_t v = values[std::min(*next, values.size() - 1)];
        ++*next;
        return v;
    };
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(DocumentText, LinesGetCrLfWhateverEndsTheyCameWith) {
    EXPECT_EQ(TextAsLines("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(TextAsLines("a\r\n"), "a\r\n");
    EXPECT_EQ(TextAsLines("a\n\n\r\rb"), "a\r\n\r\n\r\n\r\nb\r\n");
    EXPECT_EQ(TextAsLines(std::string("a\nb\0c\nd", 7)), "a\r\nb\r\n");
    EXPECT_EQ(TextAsLines(""), "");
}

TEST(DocumentText, FirstDocTypeLineAnywhereDecides) {
    EXPECT_EQ(DocumentType("[zelInfo]\r\nDEALER=1\r\n[ITEM1]\r\ndocType=QUERY  \r\nDOCTYPE=PO\r\n"),
              "QUERY");
    EXPECT_EQ(DocumentType("[zelInfo]\nDEALER=1\n"), "");
    EXPECT_EQ(DocumentType(std::string("X=1\0DOCTYPE=PO\n", 15)), "");
}

TEST(UniqueFiles, TakenNamesAreRedrawnBelowTwoMillion) {
    platform::testing::TempDir dir;
    std::string folder = WindowsPath(dir.path()) + "\\";
    dir.Write("7.req", "older");
    std::vector<std::int64_t> ranges;
    std::string path = MakeUniqueFileName(folder, ".req", "new", Scripted({7, 7, 9}, &ranges));
    EXPECT_EQ(path, folder + "9.req");
    EXPECT_EQ(ranges, (std::vector<std::int64_t>{1000000, 2000000, 2000000}));
    EXPECT_EQ(dir.Read("7.req"), "older");
    EXPECT_EQ(dir.Read("9.req"), "new");
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"7.req", "9.req"}));
}

TEST(UniqueFiles, WritersDrawingTheSameNumbersNeverShareAFile) {
    platform::testing::TempDir dir;
    std::string folder = WindowsPath(dir.path()) + "\\";
    constexpr int kWriters = 8;
    std::vector<std::thread> threads;
    std::vector<std::string> paths(kWriters);
    for (int i = 0; i < kWriters; ++i)
        threads.emplace_back([&, i] {
            paths[i] = SaveToUniqueFile(folder, ".req", ".req", "doc " + std::to_string(i),
                                        Scripted({1, 1, 2, 3, 4, 5, 6, 7, 8}));
        });
    for (auto& t : threads) t.join();
    std::set<std::string> distinct(paths.begin(), paths.end());
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kWriters));
    for (int i = 0; i < kWriters; ++i)
        EXPECT_EQ(platform::ReadWholeFile(paths[i]), "doc " + std::to_string(i));
    EXPECT_EQ(Names(dir.path()).size(), static_cast<std::size_t>(kWriters));
}

TEST(UniqueFiles, APollerNeverSeesAPartOfADocument) {
    platform::testing::TempDir dir;
    std::string folder = WindowsPath(dir.path()) + "\\";
    const std::string doc(256 * 1024, 'x');
    std::atomic<bool> done{false};
    std::atomic<int> partial{0}, seen{0};
    std::thread poller([&] {
        while (!done) {
            for (const auto& name : platform::ListDirectory(folder + "*.req")) {
                std::string bytes;
                try {
                    bytes = platform::ReadWholeFile(folder + name);
                } catch (const platform::RuntimeError&) {
                    continue;
                }
                ++seen;
                if (bytes != doc) ++partial;
                platform::TryDeleteFile(folder + name);
            }
        }
    });
    auto random = ClockSeededRandom();
    for (int i = 0; i < 200; ++i) MakeUniqueFileName(folder, ".req", doc, random);
    done = true;
    poller.join();
    EXPECT_GT(seen, 0);
    EXPECT_EQ(partial, 0);
}

class StoreTest : public ::testing::Test {
protected:
    StoreTest() {
        work = sandbox.dir().MakeDirs("work");
        iniPath = WindowsPath(sandbox.dir().path() + "/ZelAgent.INI");
        sandbox.dir().Write("ZelAgent.INI", "[AGENT CORE]\r\nAgent_Id=5\r\n");
        ini = std::make_unique<AgentIni>(iniPath);
        core = std::make_unique<TZELAgentCore>(iniPath);
        docs = std::make_unique<AgentDocuments>(*ini, *core);
        docs->WorkingDir = WindowsPath(work) + "\\";
    }

    std::string Store(const std::string& text) {
        TZELMessage m;
        m.Data = text;
        bool del = false;
        docs->StoreReceivedMessage(m, del);
        EXPECT_TRUE(del);
        return docs->LastReceivedFile;
    }

    platform::testing::SandboxEnv sandbox;
    std::string work, iniPath;
    std::unique_ptr<AgentIni> ini;
    std::unique_ptr<TZELAgentCore> core;
    std::unique_ptr<AgentDocuments> docs;
};

TEST_F(StoreTest, TypeMappedToTheRequestFolderLandsThereAsReq) {
    std::string zeldist = sandbox.dir().MakeDirs("unc/server/DadAri/zeldist");
    ini->WriteString("DocTypeDir", "QUERY", "\\\\server\\DadAri\\zeldist");
    ini->WriteString("DocTypeExt", "QUERY", ".req");
    std::string path = Store("[zelInfo]\nDOCTYPE=QUERY\nDEALERNUMBER=77\n");
    EXPECT_EQ(path.rfind("\\\\server\\DadAri\\zeldist\\", 0), 0u) << path;
    EXPECT_EQ(ExtractFileExt(path), ".req");
    EXPECT_EQ(platform::ReadWholeFile(path), "[zelInfo]\r\nDOCTYPE=QUERY\r\nDEALERNUMBER=77\r\n");
    EXPECT_EQ(Names(zeldist).size(), 1u);  // nothing half-written left beside it
}

TEST_F(StoreTest, UnmappedOrTypelessDocumentsGoToTheWorkingFolderAsZel) {
    std::string a = Store("[zelInfo]\r\nDEALER=1\r\n");
    std::string b = Store("[zelInfo]\r\nDOCTYPE=RECEIPT\r\n");
    for (const auto& p : {a, b}) {
        EXPECT_EQ(platform::FolderPart(p) + "\\", docs->WorkingDir);
        EXPECT_EQ(ExtractFileExt(p), ".zel");
    }
    EXPECT_NE(a, b);
}

TEST_F(StoreTest, RelativeTypeFolderCountsFromTheWorkingFolder) {
    sandbox.dir().MakeDirs("work/answers");
    ini->WriteString("DocTypeDir", "ACK", "answers");
    std::string path = Store("[ZELINFO]\r\n[ITEM1]\r\ndoctype=ack\r\n");
    EXPECT_EQ(platform::FolderPart(path), docs->WorkingDir + "answers");
}

TEST_F(StoreTest, SubscriptionInfoReplacesItsFixedFile) {
    Store("[zelInfo]\r\nDOCTYPE=subscription_info\r\nV=1\r\n");
    std::string path = Store("[zelInfo]\r\nDOCTYPE=SUBSCRIPTION_INFO\r\nV=2\r\n");
    EXPECT_EQ(path, docs->WorkingDir + "sub.zel");
    EXPECT_EQ(platform::ReadWholeFile(path), "[zelInfo]\r\nDOCTYPE=SUBSCRIPTION_INFO\r\nV=2\r\n");
    EXPECT_EQ(Names(work), (std::vector<std::string>{"sub.zel"}));
}

TEST_F(StoreTest, MissingFoldersFailSoTheHubKeepsTheDocument) {
    ini->WriteString("DocTypeDir", "PO", "\\\\server\\nowhere");
    try {
        Store("DOCTYPE=PO\r\n");
        FAIL() << "stored into a missing folder";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \\\\server\\nowhere\\", 0), 0u)
            << e.what();
    }
    docs->WorkingDir = WindowsPath(sandbox.dir().path() + "/gone") + "\\";
    try {
        Store("DOCTYPE=X\r\n");
        FAIL() << "stored without a working folder";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("I/O error ", 0), 0u) << e.what();
    }
}

TEST_F(StoreTest, UnreachableHubGivesTheExceptionDocumentAndTheEleventhFileBecomesErr) {
    core->HubURL = testutil::HubProcess::UrlFor(testutil::FreePort());
    core->OnMessage = [&](TZELMessage& m, bool& del) { docs->StoreReceivedMessage(m, del); };
    std::string out = sandbox.dir().MakeDirs("out");
    for (int i = 0; i < 10; ++i) {
        std::string file = sandbox.dir().Write("out/" + std::to_string(i) + ".zel",
                                               "[zelInfo]\r\nTRADEPARTNER=self\r\nDOCTYPE=Q\r\n");
        ASSERT_TRUE(docs->SendMessageFile(WindowsPath(file)));
        EXPECT_FALSE(fs::exists(file));
        EXPECT_TRUE(fs::exists(file + ".sending"));  // kept while it waits, not lost
        std::string stored = platform::ReadWholeFile(docs->LastReceivedFile);
        EXPECT_NE(stored.find("ErrorCode1=7000"), std::string::npos) << stored;
    }
    sandbox.dir().Write("out/123.zel", "[zelInfo]\r\nDOCTYPE=Q\r\n");
    EXPECT_FALSE(docs->SendMessageFile(WindowsPath(out + "/123.zel")));
    EXPECT_EQ(docs->LastReceivedFile, "");
    EXPECT_FALSE(fs::exists(out + "/123.zel"));
    EXPECT_EQ(sandbox.dir().Read("out/123.err"), "[zelInfo]\r\nDOCTYPE=Q\r\n");
}

TEST_F(StoreTest, SendMessageFileOfAMissingFileFails) {
    EXPECT_THROW(docs->SendMessageFile(WindowsPath(work + "/none.zel")), platform::RuntimeError);
    EXPECT_TRUE(core->Queue.empty());
}

}  // namespace
}  // namespace zel::agent

namespace zel::agent {
namespace {

// Anything but a regular file is refused at once, as a folder is: a FIFO would hold the
// agent's only thread for ever, a device could be read until memory runs out.
TEST_F(StoreTest, SendMessageFileRefusesWhatIsNotARegularFile) {
    const std::string fifo = work + "/pipe.zel";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(docs->SendMessageFile(WindowsPath(fifo)), platform::RuntimeError);
    EXPECT_THROW(docs->SendMessageFile("/dev/null"), platform::RuntimeError);
    EXPECT_THROW(docs->SendMessageFile(WindowsPath(work)), platform::RuntimeError);
    EXPECT_TRUE(core->Queue.empty());
    EXPECT_TRUE(fs::exists(fifo));
}

}  // namespace
}  // namespace zel::agent
