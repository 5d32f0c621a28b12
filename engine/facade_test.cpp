#include "engine/facade.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/catalog.h"
#include "engine/keyindex.h"
#include "engine/link.h"
#include "engine/share_test_support.h"
#include "engine/test_helpers.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace zel::engine {
namespace {

using testing::Raised;

class ConnectionTest : public testing::SampleShareTest {
protected:
    std::string IniPath() const { return platform::TempFolder() + "QMRCatalog.ini"; }
    void WriteMap(const std::string& text) { WriteShare("ttymap", text); }
    // The terminal number a fresh engine finds with this terminal map.
    // (Releasing the earlier engine first: it would release the new one's state.)
    std::string TerminalWith(const std::string& map) {
        WriteMap(map);
        Engine().DataEngine.reset();
        LoadCatalogSettings();
        return Engine().DataEngine ? Engine().SystemInfo->TerminalID : "no engine";
    }
};

TEST_F(ConnectionTest, CatalogSettingsConnectTheProgramWideEngine) {
    Build();
    LoadCatalogSettings();
    ASSERT_TRUE(Engine().DataEngine);
    EXPECT_TRUE(boxes.boxes.empty());

    const cEpcInfo& epc = *Engine().EpcInfo;
    EXPECT_EQ(epc.Server, "QSERVER");
    EXPECT_EQ(epc.DataShare, "DATA");
    EXPECT_EQ(epc.CatalogShare, "\\\\QSERVER\\CATALOG\\");
    EXPECT_EQ(epc.Directory, "QMR1");
    EXPECT_EQ(epc.TerminalID, "7");
    EXPECT_EQ(epc.CustomerNumber, 1001);

    auto sys = Engine().DataEngine->CorvelSys();
    EXPECT_EQ(sys, Engine().SystemInfo);  // the program-wide object itself
    EXPECT_EQ(sys->mUNCDrive, "QSERVER");
    EXPECT_EQ(sys->mDirectory, "QMR1");
    EXPECT_EQ(sys->ComputerName, "dealerpc");
    EXPECT_EQ(sys->TerminalID, "7");  // "  DEALERPC   7,3  "
    EXPECT_EQ(sys->QMRLINK(), "\\\\QSERVER\\QMRLINK\\QMR1");
    EXPECT_EQ(sys->DADARI(), "\\\\QSERVER\\DADARI\\");
    EXPECT_EQ(Engine().CrmAlphabet, kDefaultCrmAlphabet);
}

TEST_F(ConnectionTest, MissingCatalogLeavesNoEngine) {
    description.erase("catalog");
    Build();
    LoadCatalogSettings();
    EXPECT_FALSE(Engine().DataEngine);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, "EpcError");
    EXPECT_EQ(boxes.boxes[0].text,
              "You are missing file: " + IniPath() + "    Are you running Quomar Workstation?");
    ASSERT_TRUE(Engine().SystemInfo);
    EXPECT_EQ(Engine().SystemInfo->mUNCDrive, "");

    // A later engine then tests a share root without a server name.
    auto e = Raised([] { cBusinessBasic engine; });
    EXPECT_EQ(e.Number(), 91);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].title, "Connection Error");
    EXPECT_EQ(boxes.boxes[1].text,
              "You are attempting to connect to: \\\\\\QMRLINK\\ and this shows to be an invalid "
              "network share");
}

TEST_F(ConnectionTest, CatalogValuesAreReadThroughABufferOf100) {
    description["catalog"]["DataShare"] = std::string(120, 'D');
    description["catalog"]["CustomerNumber"] = "";
    Build();
    LoadCatalogSettings();
    EXPECT_EQ(Engine().EpcInfo->DataShare, std::string(99, 'D'));
    EXPECT_EQ(Engine().EpcInfo->CustomerNumber, 0);

    description["catalog"]["CustomerNumber"] = "12AB";
    Build();
    EXPECT_EQ(Raised([] { LoadCatalogSettings(); }).Number(), 13);
}

TEST_F(ConnectionTest, UnreachableShareOrMissingTerminalMapLeaveNoEngine) {
    description["catalog"]["Server"] = "ELSEWHERE";
    Build();
    LoadCatalogSettings();
    EXPECT_FALSE(Engine().DataEngine);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              "You are attempting to connect to: \\\\ELSEWHERE\\QMRLINK\\ and this shows to be an "
              "invalid network share");

    description["catalog"]["Server"] = "QSERVER";
    Build();
    std::filesystem::remove(SharePath("ttymap"));
    LoadCatalogSettings();
    EXPECT_FALSE(Engine().DataEngine);
    EXPECT_EQ(boxes.boxes.size(), 1u);  // no message for the terminal map
}

TEST_F(ConnectionTest, TerminalMapMatching) {
    Build();
    LoadCatalogSettings();
    EXPECT_EQ(TerminalWith("  DEALERPC   7,3  \r\n"), "7");
    EXPECT_EQ(TerminalWith("OTHER 1\nLONELY\ndealerpc\n"), "0");  // one item: skipped
    EXPECT_EQ(TerminalWith("DEALERPC ,5\n"), "5");                // empty pieces dropped
    EXPECT_EQ(TerminalWith("DEALERPC 3\nDEALERPC 4\n"), "3");     // first match wins
    EXPECT_EQ(TerminalWith("DEALERPC\t9\nDEALERPC 8"), "8");      // only spaces separate
    EXPECT_EQ(TerminalWith("DEALERPC ,,,\n"), "no engine");
    EXPECT_EQ(Raised([] { cBusinessBasic engine; }).Number(), 9);
}

TEST_F(ConnectionTest, TerminalMapMatchesTheAddressOnlyAsFormatted) {
    platform::testing::ScopedEnv local("COMPUTERNAME", std::string("localhost"));
    Build();
    LoadCatalogSettings();
    EXPECT_EQ(Engine().SystemInfo->IP, "127.0.0.1");
    EXPECT_EQ(TerminalWith("127.000.000.001 6\n127.0.0.1 5\n"), "5");
}

TEST_F(ConnectionTest, HostAddresses) {
    EXPECT_EQ(DottedAddress(GetHostAddress("10.1.2.3")), "10.1.2.3");
    EXPECT_EQ(DottedAddress(GetHostAddress("localhost")), "127.0.0.1");
    EXPECT_EQ(GetHostAddress(""), 0xFFFFFFFFu);
    EXPECT_EQ(DottedAddress(0xFFFFFFFFu), "255.255.255.255");
}

TEST_F(ConnectionTest, LongPathNameGivesTheListedSpelling) {
    sandbox.dir().MakeDirs("tmp/MixedCase");
    sandbox.dir().Write("tmp/MixedCase/Report.TXT", "x");
    const std::string folder = platform::WindowsPath(sandbox.Temp());
    EXPECT_EQ(LongPathName(folder + "\\mixedcase\\"), folder + "\\MixedCase\\.");
    EXPECT_EQ(LongPathName(folder + "\\MIXEDCASE\\report.txt"), folder + "\\MixedCase\\Report.TXT");
    EXPECT_EQ(LongPathName(GetTempDir()), GetTempDir() + ".");
}

TEST_F(ConnectionTest, UnknownLogicalNameFailsEveryLogicalFileOperation) {
    Build();
    LoadCatalogSettings();
    cBusinessBasic& e = *Engine().DataEngine;
    std::string buff, key;
    std::int32_t n = 0;
    const std::vector<std::function<void()>> ops = {
        [&] { e.KLength("NOPE"); },
        [&] { e.LreadFile("NOPE", 1); },
        [&] { e.LwriteFile("NOPE", 1, "x"); },
        [&] { e.KCount("NOPE"); },
        [&] { e.LogicalLock("NOPE", 1); },
        [&] { e.DelRec("NOPE", 1); },
        [&] { e.GetRec("NOPE", n); },
        [&] { e.InitFile("NOPE", 8); },
        [&] { e.KFind("NOPE", buff, key, n); },
        [&] { e.KLast("NOPE", buff, key, n); },
        [&] { e.KNext("NOPE", buff, key, n); },
        [&] { e.KPrev("NOPE", buff, key, n); },
    };
    for (std::size_t i = 0; i < ops.size(); ++i) {
        auto err = Raised(ops[i]);
        EXPECT_EQ(err.Number(), -10) << "operation " << i;
        EXPECT_EQ(err.Source(), "LogicalOpen") << "operation " << i;
        EXPECT_EQ(err.Description(), "File not Found: \"NOPE\"") << "operation " << i;
    }
    // A number is taken as its text.
    EXPECT_EQ(Raised([&] { e.KCount(42); }).Description(), "File not Found: \"42\"");
}

TEST_F(ConnectionTest, OperationsByNameAndByObject) {
    Build();
    LoadCatalogSettings();
    cBusinessBasic& e = *Engine().DataEngine;

    EXPECT_EQ(e.BlockReadFile("FILE0", 401).substr(308, 1), "Y");
    EXPECT_EQ(e.BlockReadFile("FILE0", 1, true).substr(0, 15), "ZEL DEMO DEALER");
    std::string code = "c";
    EXPECT_EQ(e.Unpack(code, e.BlockReadFile("FILE0", 0), 93), 2500);
    EXPECT_EQ(code, "C");

    auto cust = e.LogicalOpen("CUSTL");
    code = "L";
    EXPECT_EQ(e.Unpack(code, e.LreadFile(cust, 1), 3), 1001);
    EXPECT_EQ(e.Unpack(code, e.LreadFile("CUSTL", 2), 3), 1002);
    std::string rec2 = e.LreadFile("CUSTL", 2).substr(6, 14);
    EXPECT_EQ(e.Ucm(rec2).substr(0, 21), "VALLEY FARM AND GARDE");

    std::string buff, key(4, '\0');
    std::int32_t rec = 0;
    e.Pack(code, key, 1002, 1);
    e.KFind("CUSTI", buff, key, rec);
    EXPECT_EQ(rec, 2);
    e.KNext("CUSTI", buff, key, rec);
    EXPECT_EQ(rec, 0);  // the end marker
    EXPECT_EQ(e.KCount("CUSTI"), 3);
    EXPECT_EQ(e.KLength(LogicalOpen("CUSTI")), 4);
    e.KLast("CUSTI", buff, key, rec);
    EXPECT_EQ(rec, 2);

    EXPECT_EQ(e.Sys(4), 7);
    Variant op = 10, zero = 0, head = " ,-.";
    e.Stma(op, zero, &head);
    std::string dash = "-";
    EXPECT_EQ(e.Crm(dash), testing::Bytes({0x0C, 0x80}));
    Variant op12 = 12, day, m = 1, d = 2, y = 68;
    e.Stma(op12, day, &m, &d, &y);
    EXPECT_EQ(day.AsLong(), 2);

    std::string name = "FILE0";
    auto file0 = e.OpenFile(name);
    ASSERT_TRUE(file0);
    e.CloseFile(file0);
    EXPECT_FALSE(file0->IsOpen());
    EXPECT_EQ(e.ReadFile(file0, 3), "   ");
    EXPECT_EQ(Raised([&] { e.CloseFile("NOFILE"); }).Number(), 91);
}

TEST_F(ConnectionTest, EachEngineReplacesTheSharedStateAndReleasesIt) {
    Build();
    LoadCatalogSettings();
    std::string name = "FILE0";
    auto file0 = Engine().DataEngine->OpenFile(name);
    auto links = Engine().Links;
    auto cached = LogicalOpen("CUSTL");
    {
        cBusinessBasic second;
        EXPECT_NE(Engine().Links, links);
        EXPECT_FALSE(file0->IsOpen());  // the earlier open-file list closed its files
        EXPECT_NE(LogicalOpen("CUSTL"), cached);
        EXPECT_EQ(Engine().DataEngine->LogicalOpen("CUSTL"), second.LogicalOpen("CUSTL"));
    }
    // Releasing any engine releases the shared state: what needs it fails cleanly.
    EXPECT_FALSE(Engine().SystemInfo);
    EXPECT_FALSE(Engine().Links);
    EXPECT_FALSE(Engine().OpenFiles);
    EXPECT_FALSE(Engine().LogicalFiles);
    cBusinessBasic& e = *Engine().DataEngine;
    EXPECT_EQ(Raised([&] { e.LogicalOpen("CUSTL"); }).Number(), 91);
    EXPECT_EQ(Raised([&] { e.BlockReadFile("FILE0", 0); }).Number(), 91);
    EXPECT_FALSE(e.CorvelSys());
}

}  // namespace
}  // namespace zel::engine
