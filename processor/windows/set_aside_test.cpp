// A request on which the program ended twice is set aside: the next start passes it over while
// it is unchanged, says once which request it set aside and why, without a box that would stop
// the folder, and answers every other request. A name planted beside one request must not stop
// the whole folder at every start; a cause that passes must not cost a request anything.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "engine/catalog.h"
#include "platform/profile.h"
#include "platform/seams.h"
#include "platform/settings.h"
#include "processor/answers/order_journal.h"
#include "processor/cycle/set_aside.h"
#include "processor/sample_share_test_support.h"
#include "processor/windows/monitor.h"
#include "processor/windows/monitor_test_support.h"
#include "processor/windows/monitor_widget.h"
#include "processor/windows/settings_window.h"

namespace zel::processor {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
namespace fs = std::filesystem;

// As the folder's listing names it: a name that can be pasted.
const std::string kRequest = "\\\\QSERVER\\DadAri\\zeldist\\p1.req";

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

    // The program's state as a start finds it, on the sample site.
    static void PrepareStart() {
        ResetProgramState();
        engine::LoadCatalogSettings();
        SettingsController::Instance().Load();
        gState.gHost = "QSERVER";
        gState.gDirectory = "1";
    }
    // One start of the program and `passes` polling passes; true when the program ended.
    // `between` runs between two passes.
    bool Start(int passes = 1, const std::function<void()>& between = {}) {
        PrepareStart();
        boxes.clear();
        notices.clear();
        MonitorController monitor;
        QObject::connect(&monitor, &MonitorController::notice,
                         [this](const std::string& text) { notices.push_back(text); });
        try {
            for (int i = 0; i < passes; ++i) {
                if (i > 0 && between) between();
                monitor.Timer1_Timer();
            }
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
    // The record as the earlier version wrote it: each line a request set aside.
    static void WriteRecord(const std::vector<std::string>& names) {
        std::string record = "ZelSetAside 1\r\n";
        for (const std::string& name : names) {
            const std::string path = "\\\\QSERVER\\DadAri\\zeldist\\" + name;
            record += platform::LowerCase(path) + "\t" + RequestIdentity(path) +
                      "\t15\tPath/File access error\r\n";
        }
        fs::create_directories(fs::path(SetAsideFilePath()).parent_path());
        std::ofstream(SetAsideFilePath(), std::ios::binary | std::ios::trunc) << record;
    }
    static std::string Record() {
        std::ifstream in(SetAsideFilePath(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    // The first start ends on the request with `failure`, and so does the second, which takes
    // it up once more; the third passes it over with one notice that names it, and answers the
    // others.
    void EndsTwiceThenPassedOver(const std::string& failure) {
        platform::ScopedEndProgramThrows ends;
        for (int start = 1; start <= 2; ++start) {
            SCOPED_TRACE(start);
            EXPECT_TRUE(Start());
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(boxes[0].text, failure);
        }

        EXPECT_FALSE(Start(2));
        EXPECT_THAT(boxes, IsEmpty()) << ::testing::PrintToString(BoxTexts());
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_THAT(notices[0], HasSubstr(kRequest));
        EXPECT_THAT(notices[0], HasSubstr(failure.substr(failure.find(" at Line: "))));
        EXPECT_THAT(notices[0], HasSubstr("remove its line from " + SetAsideFilePath()));
        EXPECT_TRUE(OthersAnswered());
        EXPECT_TRUE(Exists(Zeldist("p1.req")));
    }

    testing::ConnectedShare share;
    std::vector<std::string> notices;
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
        EndsTwiceThenPassedOver(
            "Error: Path/File access error: \\\\qserver\\dadari\\zeldist\\p1.log"
            " at Line: 15 in ProcessRequest");
        EXPECT_THAT(notices.at(0), HasSubstr("or rename or rewrite the request"));

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
    ASSERT_TRUE(Start());

    std::string record = Record();
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
    EndsTwiceThenPassedOver("Error: Path/File access error at Line: 315 in ProcessRequest");
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

// The order's second try goes through its journal: the number it drew at its first end.
TEST_F(SetAsideTest, ExportFolderHeldByAFile) {
    Put(Zeldist("p1.req"), Order());
    Put("QSERVER/DadAri/WebTask/In", "not a folder");
    EndsTwiceThenPassedOver("Error: Path not found at Line: 710 in ProcessRequest");
    EXPECT_EQ(Counter(), "501");
    // Renamed or rewritten, an order whose export may have gone out is exported twice.
    EXPECT_THAT(notices.at(0), HasSubstr("do not rename or rewrite it"));
    EXPECT_THAT(notices.at(0), Not(HasSubstr("or rename or rewrite the request")));
}

// Another instance stopped while it holds the record's lock: this one's failure still ends it
// as the failure's box says, and is not held up behind the lock.
TEST_F(SetAsideTest, ARecordLockHeldForEverHoldsUpNoEnd) {
    Put(Zeldist("p1.req"), Order());
    Put("QSERVER/DadAri/WebTask/In", "not a folder");
    fs::create_directories(fs::path(SetAsideFilePath()).parent_path());
    const int held =
        ::open((SetAsideFilePath() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    const auto wait = platform::SetSettingsLockWait(std::chrono::milliseconds(1));
    platform::ScopedEndProgramThrows ends;
    EXPECT_TRUE(Start());
    platform::SetSettingsLockWait(wait);
    ::close(held);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].text, "Error: Path not found at Line: 710 in ProcessRequest");
}

// A full disk, a folder remounted read-only: the cause is gone by the next start, and the order
// is answered and exported once, under the number it drew before the end.
TEST_F(SetAsideTest, ACauseClearedBeforeTheNextStartCostsTheRequestNothing) {
    Put(Zeldist("p1.req"), Order());
    Put("QSERVER/DadAri/WebTask/In", "not a folder");
    platform::ScopedEndProgramThrows ends;
    ASSERT_TRUE(Start());
    EXPECT_EQ(Counter(), "501");

    fs::remove(Native("QSERVER/DadAri/WebTask/In"));
    env.dir().MakeDirs("unc/QSERVER/DadAri/WebTask/In");
    EXPECT_FALSE(Start());
    EXPECT_THAT(boxes, IsEmpty());
    EXPECT_THAT(notices, IsEmpty());
    EXPECT_TRUE(OthersAnswered());
    EXPECT_FALSE(Exists(Zeldist("p1.req")));
    EXPECT_EQ(platform::GetProfileString("ReturnReceipt", "ConfirmationNumber", "", 100,
                                         "\\\\QSERVER\\DadAri\\zeldist\\p1.req.1"),
              "500");
    std::vector<std::string> exports;
    for (const auto& entry : fs::directory_iterator(Native("QSERVER/DadAri/WebTask/In")))
        exports.push_back(entry.path().filename().string());
    EXPECT_THAT(exports, ElementsAre("500.txt"));
    EXPECT_EQ(Counter(), "501");
    // The same order sent again later starts with no end against it.
    EXPECT_EQ(Record().find("p1.req"), std::string::npos);
}

// The notice is no box: the pass goes on to the other requests at once, the error stream and a
// box that is not modal tell it, and the request is named as the folder lists it.
TEST_F(SetAsideTest, TheNoticeStopsNothingAndNamesTheRequestAsListed) {
    Put(Zeldist("P1.req"), Estimate());
    WriteRecord({"P1.req"});
    PrepareStart();
    MonitorController monitor;
    frmMonitor window(monitor);
    std::ostringstream said;
    std::streambuf* const errors = std::cerr.rdbuf(said.rdbuf());
    monitor.Timer1_Timer();
    std::cerr.rdbuf(errors);

    EXPECT_THAT(boxes, IsEmpty()) << ::testing::PrintToString(BoxTexts());
    EXPECT_TRUE(OthersAnswered());
    EXPECT_TRUE(Exists(Zeldist("P1.req")));
    const std::string listed = "\\\\QSERVER\\DadAri\\zeldist\\P1.req";
    EXPECT_THAT(said.str(), HasSubstr("The request " + listed + " was set aside"));
    ASSERT_NE(window.Notice(), nullptr);
    EXPECT_TRUE(window.Notice()->isVisible());
    EXPECT_EQ(window.Notice()->windowModality(), Qt::NonModal);
    EXPECT_THAT(window.Notice()->text().toStdString(), HasSubstr(listed));
}

// However many requests fail, a line leaves the record only once its request is gone: a request
// still in the folder is never pushed out to end the program again.
TEST_F(SetAsideTest, ManyFailingRequestsNeverPushOutOneStillThere) {
    std::vector<std::string> names;
    for (int i = 0; i < 205; ++i) {
        names.push_back("s" + std::to_string(i) + ".req");
        Put(Zeldist(names.back()), Estimate() + "N=" + std::to_string(i) + "\r\n");
    }
    WriteRecord(names);
    const std::string failing = "\\\\qserver\\dadari\\zeldist\\t1.req";
    Put(Zeldist("t1.req"), Estimate());
    SetRequestAside(failing, 15, "Path/File access error");
    SetRequestAside(failing, 15, "Path/File access error");

    EXPECT_FALSE(Start());
    EXPECT_TRUE(OthersAnswered());
    for (const std::string& name : names) EXPECT_FALSE(Exists(Zeldist(name + ".2"))) << name;
    EXPECT_TRUE(Exists(Zeldist("t1.req")));

    fs::remove(Native(Zeldist("s0.req")));
    SetRequestAside(failing, 15, "Path/File access error");
    const std::string record = Record();
    EXPECT_EQ(record.find("\\s0.req\t"), std::string::npos);
    EXPECT_NE(record.find("\\s1.req\t"), std::string::npos);
    EXPECT_NE(record.find("\\s204.req\t"), std::string::npos);
}

// The promise is name, size and contents: a rewrite that keeps the size and puts the time of
// last change back is taken up by the running instance at its next pass.
TEST_F(SetAsideTest, RewriteOfTheSameSizeWithItsTimePutBackIsTakenUp) {
    Put(Zeldist("p1.req"), Estimate() + "A=1\r\n");
    WriteRecord({"p1.req"});
    const std::string native = Native(Zeldist("p1.req"));
    EXPECT_FALSE(Start(2, [&] {
        EXPECT_TRUE(Exists(Zeldist("p1.req")));
        const fs::file_time_type time = fs::last_write_time(native);
        Put(Zeldist("p1.req"), Estimate() + "A=2\r\n");
        fs::last_write_time(native, time);
    }));
    EXPECT_TRUE(Exists(Zeldist("p1.req.2")));
    EXPECT_FALSE(Exists(Zeldist("p1.req")));
}

}  // namespace
}  // namespace zel::processor
