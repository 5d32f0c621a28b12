// A request on which the program ended is set aside: the next start passes it over while it is
// unchanged, says once which request it set aside and why, and answers every other request. A
// name planted beside one request must not stop the whole folder at every start.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/catalog.h"
#include "platform/profile.h"
#include "platform/seams.h"
#include "platform/settings.h"
#include "processor/cycle/set_aside.h"
#include "processor/sample_share_test_support.h"
#include "processor/windows/monitor.h"
#include "processor/windows/monitor_test_support.h"
#include "processor/windows/settings_window.h"

namespace zel::processor {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
namespace fs = std::filesystem;

const std::string kRequest = "\\\\qserver\\dadari\\zeldist\\p1.req";

std::string Estimate() { return "[ZELINFO]\r\nDocType=Estimate\r\nDealerNumber=1001\r\n"; }
std::string Order() {
    return "[ZELINFO]\r\nDocType=PO\r\nTradePartner=self\r\nDealerNumber=1001\r\n[POHEADER]"
           "\r\nPoNumber=P1\r\n";
}

class SetAsideTest : public testing::DulvanSandbox {
protected:
    void SetUp() override {
        DulvanSandbox::SetUp();
        share.Connect(testing::SampleShareDescription(), env);
        env.dir().MakeDirs("unc/QSERVER/DadAri/zeldist");
        env.dir().MakeDirs("unc/QSERVER/DadAri/zelarchive");
        platform::SaveSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", "500");
        for (const char* name : {"q1.req", "q2.req", "q3.req"}) Put(Zeldist(name), Estimate());
    }
    void TearDown() override {
        share.Disconnect();
        DulvanSandbox::TearDown();
    }

    static std::string Zeldist(const std::string& name) { return "QSERVER/DadAri/zeldist/" + name; }

    // One start of the program and `passes` polling passes; true when the program ended.
    bool Start(int passes = 1) {
        ResetProgramState();
        engine::LoadCatalogSettings();
        SettingsController::Instance().Load();
        gState.gHost = "QSERVER";
        gState.gDirectory = "1";
        boxes.clear();
        MonitorController monitor;
        try {
            for (int i = 0; i < passes; ++i) monitor.Timer1_Timer();
        } catch (const platform::ProgramEnded&) {
            return true;
        }
        return false;
    }
    bool OthersAnswered() const {
        return Exists(Zeldist("q1.req.2")) && Exists(Zeldist("q2.req.2")) &&
               Exists(Zeldist("q3.req.2"));
    }
    static std::string Counter() {
        return platform::GetSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", "");
    }

    // The first start ends on the request with `failure`; the next passes it over with one
    // message that names it, and answers the others.
    void EndsOnceThenPassedOver(const std::string& failure) {
        platform::ScopedEndProgramThrows ends;
        EXPECT_TRUE(Start());
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes[0].text, failure);

        EXPECT_FALSE(Start(2));
        ASSERT_EQ(boxes.size(), 1u) << ::testing::PrintToString(BoxTexts());
        EXPECT_THAT(boxes[0].text, HasSubstr(kRequest));
        EXPECT_THAT(boxes[0].text, HasSubstr(failure.substr(failure.find(" at Line: "))));
        EXPECT_TRUE(OthersAnswered());
        EXPECT_TRUE(Exists(Zeldist("p1.req")));
    }

    testing::ConnectedShare share;
};

TEST_F(SetAsideTest, TimeLogNameHeldByAFifoAFolderOrADeviceLink) {
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind);
        Put(Zeldist("p1.req"), Estimate() + "Kind=" + std::to_string(kind) + "\r\n");
        const std::string log = Native(Zeldist("p1.log"));
        if (kind == 0) {
            ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0);
        } else if (kind == 1) {
            fs::create_directory(log);
        } else {
            fs::create_symlink("/dev/zero", log);
        }
        EndsOnceThenPassedOver(
            "Error: Path/File access error: \\\\qserver\\dadari\\zeldist\\p1.log"
            " at Line: 15 in ProcessRequest");

        // Mended and renamed, the request is taken up again.
        fs::remove(log);
        fs::rename(Native(Zeldist("p1.req")), Native(Zeldist("p2.req")));
        EXPECT_FALSE(Start());
        EXPECT_THAT(boxes, IsEmpty());
        EXPECT_TRUE(Exists(Zeldist("p2.req.2")));
        EXPECT_FALSE(Exists(Zeldist("p2.req")));
        for (const char* name : {"p2.req.2", "q1.req.2", "q2.req.2", "q3.req.2"})
            fs::remove(Native(Zeldist(name)));
        for (const char* name : {"q1.req", "q2.req", "q3.req"}) Put(Zeldist(name), Estimate());
    }
}

// An administrator who removed a line with an editor that writes LF alone has not taken the
// other requests up again: each would end the program once more.
TEST_F(SetAsideTest, ARecordSavedWithBareLineFeedsStillSetsItsRequestsAside) {
    Put(Zeldist("p1.req"), Estimate());
    fs::create_directory(Native(Zeldist("p1.log")));
    platform::ScopedEndProgramThrows ends;
    ASSERT_TRUE(Start());

    std::ifstream in(SetAsideFilePath(), std::ios::binary);
    std::string record((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    ASSERT_NE(record.find("p1.req"), std::string::npos);
    for (std::size_t at; (at = record.find("\r\n")) != std::string::npos;) record.erase(at, 1);
    std::ofstream(SetAsideFilePath(), std::ios::binary | std::ios::trunc) << record;
    EXPECT_FALSE(Start(2));
    EXPECT_TRUE(OthersAnswered());
    EXPECT_TRUE(Exists(Zeldist("p1.req")));
}

// A folder under the order's journal name: the order fails before it draws a number, so no
// start burns one; rewritten once the folder is gone, the order draws the first.
TEST_F(SetAsideTest, JournalNameHeldByAFolderBurnsNoTicket) {
    Put(Zeldist("p1.req"), Order());
    env.dir().MakeDirs("unc/" + Zeldist("p1.req.journal"));
    EndsOnceThenPassedOver("Error: Path/File access error at Line: 315 in ProcessRequest");
    EXPECT_EQ(Counter(), "500");

    fs::remove(Native(Zeldist("p1.req.journal")));
    Put(Zeldist("p1.req"), Order() + "ShipNote=again\r\n");
    EXPECT_FALSE(Start());
    EXPECT_THAT(boxes, IsEmpty());
    EXPECT_EQ(platform::GetProfileString("ReturnReceipt", "ConfirmationNumber", "", 100,
                                         "\\\\QSERVER\\DadAri\\zeldist\\p1.req.1"),
              "500");
    EXPECT_EQ(Counter(), "501");
}

TEST_F(SetAsideTest, ExportFolderHeldByAFile) {
    Put(Zeldist("p1.req"), Order());
    Put("QSERVER/DadAri/WebTask/In", "not a folder");
    EndsOnceThenPassedOver("Error: Path not found at Line: 710 in ProcessRequest");
    EXPECT_EQ(Counter(), "501");
}

}  // namespace
}  // namespace zel::processor
