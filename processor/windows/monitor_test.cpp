#include "processor/windows/monitor.h"
#include "processor/cycle/request_listing.h"
#include "processor/monitor_view.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/settings.h"
#include "processor/hooks.h"
#include "processor/statistics.h"
#include "processor/windows/monitor_test_support.h"
#include "processor/windows/monitor_widget.h"
#include "processor/windows/window_timing_test_support.h"

namespace zel::processor {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::Soon;
using testing::WaitFor;
namespace fs = std::filesystem;

// The number of a process that has ended: what a leftover of an earlier run carries.
pid_t EndedProcess() {
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    return ended;
}

// The tail this program gives its temporary files, as the process `pid` would have written it.
std::string OwnLeftoverTail(pid_t pid) {
    return platform::detail::TemporaryTagOfThisProgram() + std::to_string(pid) + "-4";
}

std::string Request(const std::string& docType) {
    return "[ZELINFO]\r\nDocType=" + docType +
           "\r\nDealerNumber=1\r\n[DMSINFO]\r\nTIMESUBMITED=08:00:00\r\n";
}

QWidget* VisibleTopLevel(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible()) return w;
    return nullptr;
}

class MonitorTest : public testing::DulvanSandbox {
protected:
    void SetUp() override {
        DulvanSandbox::SetUp();
        ASSERT_TRUE(BuildShare());
        QCoreApplication::setApplicationVersion("3.7.12");
    }

    static std::string Stored(const char* key, const char* app = kSettingsApp,
                              const char* section = kSettingsSection) {
        return platform::GetSetting(app, section, key, "<none>");
    }
    static void Store(const char* key, const std::string& value) {
        platform::SaveSetting(kSettingsApp, kSettingsSection, key, value);
    }
    // Settings of an installed site: the host of the built share, directory 1.
    static void StoreSite(const std::string& autoStart = "0") {
        Store("Host", "HOST");
        Store("Directory", "1");
        Store("Auto-Start", autoStart);
        Store("PickTicketCounter", "100");
    }
    std::string Zeldist(const std::string& name = "") const {
        return "HOST/DadAri/zeldist/" + name;
    }
    void HideDataFolder() const {
        fs::rename(Native("HOST/QMRLINK/QMR1"), Native("HOST/QMRLINK/QMR1.away"));
    }
    void BringBackDataFolder() const {
        fs::rename(Native("HOST/QMRLINK/QMR1.away"), Native("HOST/QMRLINK/QMR1"));
    }
    // The whole server away, as before its shares are mounted.
    void HideHost() const { fs::rename(Native("HOST"), Native("HOST.away")); }
    void BringBackHost() const { fs::rename(Native("HOST.away"), Native("HOST")); }
    static std::vector<std::string> LateShareBoxes() {
        const std::string connection =
            "You are attempting to connect to: \\\\HOST\\QMRLINK\\ and this "
            "shows to be an invalid network share";
        return {connection, connection, "Error... could not initialize cBusinessBasic. "};
    }

    MonitorController monitor;
};

TEST_F(MonitorTest, FirstRunTakesTheBusinessWorkstationsHostAndDoesNotStart) {
    platform::SaveSetting(kCorvelApp, kCorvelSection, "Host", "HOST");
    platform::SaveSetting(kCorvelApp, kCorvelSection, "CurrentDirectory", "QMR1");
    monitor.Form_Load();
    EXPECT_EQ(monitor.txtServer(), "");  // filled before the first-run values were taken
    EXPECT_EQ(monitor.txtDirectory(), "");
    EXPECT_EQ(gState.gHost, "HOST");
    EXPECT_EQ(gState.gDirectory, "1");
    EXPECT_EQ(Stored("Host"), "HOST");
    EXPECT_EQ(Stored("Directory"), "1");
    EXPECT_FALSE(monitor.Timer1().isActive());
    EXPECT_TRUE(monitor.btnStartEnabled());
    EXPECT_FALSE(monitor.btnPauseEnabled());
    EXPECT_EQ(monitor.List1Index(), 5);
    EXPECT_EQ(monitor.Timer1().interval(), 5000);
    EXPECT_EQ(Stored("Interval"), "5");
    EXPECT_EQ(monitor.Caption(), "Dulvan  Revision 3.7.12");
    EXPECT_TRUE(fs::is_directory(Native("HOST/DadAri/zeldist")));
    EXPECT_TRUE(fs::is_directory(Native("HOST/DadAri/ZelArchive")));
    EXPECT_TRUE(SettingsController::Instance().IsLoaded());
    EXPECT_TRUE(gState.gArchive);
    EXPECT_THAT(BoxTexts(), IsEmpty());
}

TEST_F(MonitorTest, FirstRunWithoutWorkstationSettingsStoresTheDefaults) {
    monitor.Form_Load();
    std::string host = Stored("Host", kCorvelApp, kCorvelSection);
    EXPECT_NE(host, "<none>");
    EXPECT_EQ(Stored("CurrentDirectory", kCorvelApp, kCorvelSection), "QMR1");
    EXPECT_EQ(Stored("Host"), host);
    EXPECT_EQ(Stored("Directory"), "1");
}

TEST_F(MonitorTest, AutoStartWithACounterStartsMonitoring) {
    StoreSite("1");
    Store("Interval", "0");
    monitor.Form_Load();
    EXPECT_TRUE(monitor.Timer1().isActive());
    EXPECT_EQ(monitor.Timer1().interval(), 200);
    EXPECT_FALSE(monitor.btnStartEnabled());
    EXPECT_FALSE(monitor.btnSettingsEnabled());
    EXPECT_TRUE(monitor.btnPauseEnabled());
    EXPECT_FALSE(monitor.txtServerEnabled());
    EXPECT_EQ(gState.gFile0Block401.size(), 512u);
    EXPECT_TRUE(gState.gMultiBranch);
    EXPECT_EQ(gState.gRestrictLines, 1);
    EXPECT_EQ(gState.gFile0Block1.substr(150, 22), "SAMPLE DISTRIBUTING CO");
    EXPECT_EQ(Stored("Auto-start"), "1");
    EXPECT_THAT(BoxTexts(), IsEmpty());

    monitor.btnPause_Click();
    EXPECT_FALSE(monitor.Timer1().isActive());
    EXPECT_TRUE(monitor.btnStartEnabled());
    EXPECT_TRUE(monitor.txtDirectoryEnabled());
}

// Nobody may be there to press Start, but an order must still never be numbered 0 or below:
// the automatic start refuses such a counter as Start does, at start-up and when a share that
// came late answers.
TEST_F(MonitorTest, AutoStartRefusesWhileThePickTicketCounterIsNotSet) {
    StoreSite("1");
    for (const char* counter : {"", "0", "-5"}) {
        const std::string label = *counter ? counter : "missing";
        boxes.clear();
        if (*counter)
            Store("PickTicketCounter", counter);
        else
            platform::DeleteSetting(kSettingsApp, kSettingsSection, "PickTicketCounter");
        SettingsController::Instance().Unload();
        DropEngine();
        monitor.Form_Load();
        EXPECT_THAT(BoxTexts(), ElementsAre("Pick Ticket Counter Must be Set!")) << label;
        EXPECT_FALSE(monitor.Timer1().isActive()) << label;
        EXPECT_TRUE(monitor.btnStartEnabled()) << label;
        EXPECT_TRUE(monitor.txtServerEnabled()) << label;
    }

    boxes.clear();
    SettingsController::Instance().Unload();
    DropEngine();
    HideHost();
    MonitorController late;
    late.Form_Load();
    BringBackHost();
    std::vector<std::string> expected = LateShareBoxes();
    expected.push_back("Pick Ticket Counter Must be Set!");
    ASSERT_TRUE(WaitFor([&] { return boxes.size() == expected.size(); }));
    EXPECT_EQ(BoxTexts(), expected);
    EXPECT_FALSE(late.Timer1().isActive());
    EXPECT_FALSE(late.ShareWait().isActive());
}

TEST_F(MonitorTest, BadSourcePathLeavesTheMonitorStopped) {
    StoreSite("1");
    Store("Directory", "9");
    monitor.Form_Load();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Invalid or Inaccessable Source.  Check either Server or Directory for validity.");
    EXPECT_EQ(boxes[0].title, "Invalid Path");
    EXPECT_EQ(boxes[0].icon, platform::MsgIcon::Information);
    EXPECT_FALSE(monitor.Timer1().isActive());
    EXPECT_TRUE(monitor.txtServerEnabled());
    EXPECT_TRUE(monitor.btnStartEnabled());
    EXPECT_EQ(Stored("Directory"), "9");
}

TEST_F(MonitorTest, StartRefusesWhileThePickTicketCounterIsNotSet) {
    StoreSite();
    for (const char* counter : {"", "0", "-3", "abc"}) {
        boxes.clear();
        Store("PickTicketCounter", counter);
        SettingsController::Instance().Unload();
        DropEngine();
        monitor.Form_Load();
        bool settingsShown = false;
        Soon(50, [&] {
            QWidget* w = VisibleTopLevel("frmSettings");
            settingsShown = w != nullptr;
            if (w) w->close();
        });
        monitor.btnStart_Click();
        EXPECT_TRUE(settingsShown) << counter;
        EXPECT_THAT(BoxTexts(), ElementsAre("Pick Ticket Counter Must be Set!")) << counter;
        EXPECT_FALSE(monitor.Timer1().isActive()) << counter;
    }
}

TEST_F(MonitorTest, StartWithACounterStartsAndTestsTheConnection) {
    StoreSite();
    monitor.Form_Load();
    monitor.SetServerText("HOST");
    monitor.SetDirectoryText("1");
    monitor.btnStart_Click();
    EXPECT_TRUE(monitor.Timer1().isActive());
    EXPECT_THAT(BoxTexts(), IsEmpty());

    // Started already: no second start, but the connection test runs, and Pause there pauses.
    HideDataFolder();
    bool windowShown = false;
    Soon(50, [&] {
        windowShown = ErrorController::Current() != nullptr;
        if (windowShown) ErrorController::Current()->btnPause_Click();
    });
    monitor.btnStart_Click();
    EXPECT_TRUE(windowShown);
    EXPECT_FALSE(monitor.Timer1().isActive());
}

TEST_F(MonitorTest, IntervalListMapsEveryIndexAndStoresIt) {
    StoreSite();
    monitor.Form_Load();
    const int expected[] = {200, 400, 800, 1000, 2000, 5000};
    for (int i = 0; i < 6; ++i) {
        monitor.List1_Click(i);
        EXPECT_EQ(monitor.Timer1().interval(), expected[i]);
        EXPECT_EQ(Stored("Interval"), std::to_string(i));
    }
    for (const char* stored : {"7", "-1", "x", "70000"}) {
        Store("Interval", stored);
        DropEngine();
        MonitorController fresh;
        fresh.Form_Load();
        EXPECT_EQ(fresh.List1Index(), 5) << stored;
        EXPECT_EQ(fresh.Timer1().interval(), 5000) << stored;
        EXPECT_EQ(Stored("Interval"), "5") << stored;
    }
}

TEST_F(MonitorTest, AnEmptyFolderPassOnlyRefreshesTheStatistics) {
    StoreSite();
    monitor.Form_Load();
    BumpStatistic("Item1-3", 4);
    BumpStatistic("Item2-1", 2);
    monitor.Timer1_Timer();
    EXPECT_EQ(monitor.txtItem(1, 3), "4");
    EXPECT_EQ(monitor.txtItem(2, 1), "2");
    EXPECT_EQ(monitor.txtItem(1, 1), "0");
    EXPECT_EQ(monitor.txtStartTime(), "");
}

// An idle pass changes nothing on the window, and so asks for no painting.
TEST_F(MonitorTest, AnIdlePassDoesNotRepaint) {
    StoreSite();
    monitor.Form_Load();
    monitor.Timer1_Timer();
    int changes = 0;
    QObject::connect(&monitor, &MonitorController::changed, [&] { ++changes; });
    monitor.Timer1_Timer();
    monitor.Timer1_Timer();
    EXPECT_EQ(changes, 0);
    BumpStatistic("Item1-5");
    monitor.Timer1_Timer();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(monitor.txtItem(1, 5), "1");
}

// The order branch shows its progress through the view the window registers; a change is
// painted at once, since the branch runs no events until the order is done, but not twice
// within one paint interval (order_progress_test.cpp): the rest waits for the flush.
TEST_F(MonitorTest, OrderProgressIsPaintedAtOnceThroughTheRegisteredView) {
    StoreSite();
    frmMonitor window(monitor);
    monitor.Form_Load();
    ASSERT_EQ(gMonitorView, &monitor);
    EXPECT_EQ(gMonitorView->DirectoryText(), monitor.txtDirectory());
    int paints = 0;
    QObject::connect(&monitor, &MonitorController::repaintNow, [&] { ++paints; });
    const auto frozen = std::chrono::steady_clock::now();
    WindowTiming::SetProgressClock(monitor, [frozen] { return frozen; });
    gMonitorView->ShowItemCount("12");
    gMonitorView->ShowItemNumber("3");
    EXPECT_EQ(paints, 1);
    monitor.FlushProgress();
    EXPECT_EQ(paints, 2);
    WindowTiming::SetProgressClock(monitor, nullptr);
    EXPECT_EQ(window.findChild<QLineEdit*>("txtCount")->text(), "12");
    EXPECT_EQ(window.findChild<QLineEdit*>("txtCntr")->text(), "3");
    {
        MonitorController other;
        EXPECT_EQ(gMonitorView, &other);
    }
    EXPECT_EQ(gMonitorView, nullptr);
}

TEST_F(MonitorTest, APassAnswersEveryRequestOfTheFolder) {
    StoreSite();
    monitor.Form_Load();
    Put(Zeldist("A.req"), Request("Estimate"));
    Put(Zeldist("b.req"), Request(""));
    Put(Zeldist("notes.txt"), "not a request");
    monitor.SetProgress("3", "9");
    monitor.Timer1_Timer();
    EXPECT_TRUE(Exists(Zeldist("a.req.2")));
    EXPECT_TRUE(Exists(Zeldist("b.req.2")));
    EXPECT_FALSE(Exists(Zeldist("A.req")));
    EXPECT_FALSE(Exists(Zeldist("b.req")));
    EXPECT_TRUE(Exists("HOST/DadAri/zelarchive/a.req") || Exists("HOST/DadAri/ZelArchive/a.req"));
    EXPECT_TRUE(Exists(Zeldist("notes.txt")));
    EXPECT_EQ(monitor.txtCntr(), "");
    EXPECT_EQ(monitor.txtCount(), "");
    EXPECT_NE(monitor.txtStartTime(), "");
    EXPECT_NE(monitor.txtEndTime(), "");
}

// Two requests whose names differ only in case would be answered into one file: one is
// answered per pass, and the other waits until that answer has been taken away.
TEST_F(MonitorTest, RequestsOfTheSameNameInAnotherCaseAreAnsweredOneAtATime) {
    StoreSite();
    monitor.Form_Load();
    Put(Zeldist("R1.REQ"), Request("Upper"));
    Put(Zeldist("r1.req"), Request("lower"));
    monitor.Timer1_Timer();
    ASSERT_TRUE(Exists(Zeldist("r1.req.2")));
    const std::string first = platform::GetProfileString("ERRORINFO", "ErrorMsg1", "", 200,
                                                         "\\\\HOST\\DadAri\\zeldist\\r1.req.2");
    const std::string waiting = first.find("Upper") != std::string::npos ? "r1.req" : "R1.REQ";
    EXPECT_TRUE(Exists(Zeldist(waiting)));
    EXPECT_EQ(Exists(Zeldist("R1.REQ")) + Exists(Zeldist("r1.req")), 1);

    monitor.Timer1_Timer();  // the answer is still there: the other one waits
    EXPECT_TRUE(Exists(Zeldist(waiting)));
    EXPECT_EQ(platform::GetProfileString("ERRORINFO", "ErrorMsg1", "", 200,
                                         "\\\\HOST\\DadAri\\zeldist\\r1.req.2"),
              first);

    fs::remove(Native(Zeldist("r1.req.2")));  // collected
    monitor.Timer1_Timer();
    EXPECT_FALSE(Exists(Zeldist(waiting)));
    const std::string second = platform::GetProfileString("ERRORINFO", "ErrorMsg1", "", 200,
                                                          "\\\\HOST\\DadAri\\zeldist\\r1.req.2");
    EXPECT_NE(second, first);
    EXPECT_NE(second, "");
}

// Names that could not exist on Windows, symbolic links and other non-regular files are not
// requests: they are left as they are, and nothing outside the request folder is touched.
TEST_F(MonitorTest, HostileNamesAndLinksInTheRequestFolderAreLeftAlone) {
    StoreSite();
    monitor.Form_Load();
    Put("HOST/DadAri/victim.req", "[ZELINFO]\r\nDocType=QUERY\r\n");
    Put("HOST/DadAri/victim.log", "unrelated");
    Put(Zeldist("..\\victim.req"), Request("Estimate"));
    Put(Zeldist("a:b.req"), Request("Estimate"));
    Put(Zeldist("tab\t.req"), Request("Estimate"));
    Put("outside/secret.txt", "[ZELINFO]\r\nDocType=QUERY\r\n");
    fs::create_symlink(Native("outside/secret.txt"), Native(Zeldist("link.req")));
    ASSERT_EQ(::mkfifo(Native(Zeldist("pipe.req")).c_str(), 0600), 0);
    Put(Zeldist("fine.req"), Request("Estimate"));
    monitor.Timer1_Timer();

    EXPECT_TRUE(Exists(Zeldist("fine.req.2")));
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(Native(Zeldist())))
        if (e.path().filename() != platform::FileClaim::kClaimsFile)
            left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"..\\victim.req", "a:b.req", "fine.req.2", "link.req",
                                              "pipe.req", "tab\t.req"}));
    EXPECT_TRUE(Exists("HOST/DadAri/victim.req"));
    EXPECT_TRUE(Exists("HOST/DadAri/victim.log"));
    EXPECT_FALSE(Exists("HOST/DadAri/victim.req.2"));
    EXPECT_EQ(env.dir().Read("unc/outside/secret.txt"), "[ZELINFO]\r\nDocType=QUERY\r\n");
    EXPECT_FALSE(Exists("HOST/DadAri/ZelArchive/link.req"));
}

TEST_F(MonitorTest, StartUpRemovesOnlyItsOwnLeftoverTemporaryFiles) {
    StoreSite();
    const pid_t ended = EndedProcess();
    const std::string own = OwnLeftoverTail(ended);
    const std::string agents =
        ".~zel-ZelAgent@" + platform::ComputerName() + "-" + std::to_string(ended) + "-4";
    Put(Zeldist("1.req.1" + own), "half");
    Put(Zeldist("2.req" + agents), "half");
    Put("HOST/DadAri/ZelArchive/3.req" + own, "half");
    monitor.Form_Load();
    EXPECT_FALSE(Exists(Zeldist("1.req.1" + own)));
    EXPECT_FALSE(Exists("HOST/DadAri/ZelArchive/3.req" + own));
    EXPECT_TRUE(Exists(Zeldist("2.req" + agents)));
}

TEST_F(MonitorTest, StartUpCleansTheSettingsFolderByTheSameRule) {
    StoreSite();
    const pid_t ended = EndedProcess();
    const std::string settings = platform::SettingsFilePath(kSettingsApp);
    const std::string folder = settings.substr(0, settings.rfind('/'));
    const std::string own = settings + OwnLeftoverTail(ended);
    const std::string running = settings + OwnLeftoverTail(::getppid());
    const std::string agents = settings + ".~zel-ZelAgent@" + platform::ComputerName() + "-" +
                               std::to_string(ended) + "-4";
    for (const std::string& path : {own, running, agents}) std::ofstream(path) << "[half";
    // An export cut short that no live order holds and no order journal names is a leftover
    // as well.
    Put("HOST/DadAri/WebTask/In/100.tmp", "***850ZEL\r\n");

    monitor.Form_Load();
    EXPECT_FALSE(fs::exists(own));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(agents));
    EXPECT_TRUE(fs::exists(settings));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_FALSE(Exists("HOST/DadAri/WebTask/In/100.tmp"));
    EXPECT_EQ(Stored("Host"), "HOST");
}

// Start-up writes the business workstation's store back, replacing it as it replaces ours.
TEST_F(MonitorTest, StartUpCleansTheWorkstationsSettingsFolderByTheSameRule) {
    StoreSite();
    platform::SaveSetting(kCorvelApp, kCorvelSection, "Host", "HOST");
    const pid_t ended = EndedProcess();
    const std::string settings = platform::SettingsFilePath(kCorvelApp);
    const std::string own = settings + OwnLeftoverTail(ended);
    const std::string running = settings + OwnLeftoverTail(::getppid());
    for (const std::string& path : {own, running}) std::ofstream(path) << "[half";

    monitor.Form_Load();
    EXPECT_FALSE(fs::exists(own));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_EQ(Stored("Host", kCorvelApp, kCorvelSection), "HOST");
}

TEST(RequestNames, OnlyNamesWindowsCouldHoldAreRequests) {
    EXPECT_TRUE(IsWindowsFileName("12345.req"));
    EXPECT_TRUE(IsWindowsFileName("a b.c.req"));
    for (const std::string bad :
         {"..\\v.req", "a/b.req", "c:x.req", "*.req", "?.req", "q\".req", "<.req", ">.req", "|.req",
          "\x01.req", "\x1f.req", "\x7f.req", ""})
        EXPECT_FALSE(IsWindowsFileName(bad)) << bad;
}

TEST_F(MonitorTest, PauseInTheConnectionErrorWindowLeavesTheRequestUntouched) {
    StoreSite();
    monitor.Form_Load();
    monitor.StartMonitoring();
    ASSERT_TRUE(monitor.Timer1().isActive());
    Put(Zeldist("order.req"), Request("Estimate"));
    std::string before = env.dir().Read("unc/" + Zeldist("order.req"));
    BumpStatistic("Item1-1", 5);
    HideDataFolder();

    bool secondPassRan = false;
    Soon(150, [&] {
        ASSERT_NE(ErrorController::Current(), nullptr);
        EXPECT_TRUE(monitor.IsPassRunning());
        // A tick that falls due now does not start a second pass.
        ErrorController* window = ErrorController::Current();
        monitor.Timer1_Timer();
        secondPassRan = ErrorController::Current() != window;
        QWidget* w = VisibleTopLevel("frmError");
        ASSERT_NE(w, nullptr);
        w->findChild<QPushButton*>("btnPause")->click();
    });
    monitor.Timer1_Timer();
    EXPECT_FALSE(secondPassRan);
    EXPECT_FALSE(monitor.Timer1().isActive());
    EXPECT_TRUE(monitor.btnStartEnabled());
    EXPECT_EQ(env.dir().Read("unc/" + Zeldist("order.req")), before);
    EXPECT_FALSE(Exists(Zeldist("order.req.2")));
    EXPECT_FALSE(Exists(Zeldist("order.req.a")));
    EXPECT_FALSE(Exists(Zeldist("order.log")));
    EXPECT_EQ(monitor.txtItem(1, 1), "");  // the statistics were not refreshed
}

TEST_F(MonitorTest, WhenTheShareComesBackThePassGoesOnWithTheSameRequest) {
    StoreSite();
    monitor.Form_Load();
    Put(Zeldist("q1.req"), Request("Estimate"));
    HideDataFolder();
    bool waited = false;
    Soon(250, [&] {
        waited = ErrorController::Current() != nullptr && Exists(Zeldist("q1.req"));
        BringBackDataFolder();
    });
    monitor.Timer1_Timer();
    EXPECT_TRUE(waited);
    EXPECT_TRUE(Exists(Zeldist("q1.req.2")));
    EXPECT_FALSE(Exists(Zeldist("q1.req")));
    EXPECT_FALSE(gState.gPauseRequested);
}

TEST_F(MonitorTest, ARequestTakenAwayWhileTheShareWasAwayIsNotAnswered) {
    StoreSite();
    monitor.Form_Load();
    platform::ScopedEndProgramThrows ends;
    Put(Zeldist("gone.req"), Request("QUERY"));
    HideDataFolder();
    Soon(250, [&] {
        fs::remove(Native(Zeldist("gone.req")));  // another party took it meanwhile
        BringBackDataFolder();
    });
    monitor.Timer1_Timer();
    EXPECT_FALSE(Exists(Zeldist("gone.req.2")));
    EXPECT_FALSE(Exists(Zeldist("gone.req.1")));
    EXPECT_FALSE(Exists(Zeldist("gone.log")));
    EXPECT_THAT(BoxTexts(), IsEmpty());
}

// Another instance working on the same folder holds the request it answers; this one passes
// it over, answers the rest and takes it up once it is free again.
TEST_F(MonitorTest, ARequestAnotherInstanceHoldsIsPassedOver) {
    StoreSite();
    monitor.Form_Load();
    platform::ScopedEndProgramThrows ends;
    Put(Zeldist("held.req"), Request("Estimate"));
    Put(Zeldist("free.req"), Request("Estimate"));
    auto other = std::make_unique<platform::FileClaim>("\\\\HOST\\DadAri\\zeldist\\held.req");
    ASSERT_TRUE(other->Claimed());
    monitor.Timer1_Timer();
    EXPECT_TRUE(Exists(Zeldist("free.req.2")));
    EXPECT_TRUE(Exists(Zeldist("held.req")));
    EXPECT_FALSE(Exists(Zeldist("held.req.2")));
    EXPECT_FALSE(Exists(Zeldist("held.log")));
    EXPECT_THAT(BoxTexts(), IsEmpty());

    other.reset();
    monitor.Timer1_Timer();
    EXPECT_TRUE(Exists(Zeldist("held.req.2")));
    EXPECT_FALSE(Exists(Zeldist("held.req")));
    EXPECT_THAT(BoxTexts(), IsEmpty());
}

// A share that cannot lock: requests are still answered, as by a single instance, and the user
// is told once, on the error stream and in the window, that a second instance would answer
// them again.
TEST_F(MonitorTest, RequestsThatCannotBeClaimedAreAnsweredAndThatIsToldOnce) {
    StoreSite();
    monitor.Form_Load();
    platform::ScopedEndProgramThrows ends;
    env.dir().MakeDirs("unc/" + Zeldist(platform::FileClaim::kClaimsFile));  // no lock here
    Put(Zeldist("a.req"), Request("Estimate"));
    Put(Zeldist("b.req"), Request("Estimate"));
    std::ostringstream said;
    std::streambuf* const stream = std::cerr.rdbuf(said.rdbuf());
    monitor.Timer1_Timer();
    Put(Zeldist("c.req"), Request("Estimate"));
    monitor.Timer1_Timer();
    std::cerr.rdbuf(stream);

    for (const char* name : {"a.req.2", "b.req.2", "c.req.2"}) EXPECT_TRUE(Exists(Zeldist(name)));
    EXPECT_THAT(monitor.Notice(),
                ::testing::HasSubstr("\\\\HOST\\DadAri\\zeldist cannot be claimed"));
    EXPECT_EQ(said.str(), monitor.Notice() + "\n");
    EXPECT_THAT(BoxTexts(), IsEmpty());
}

TEST_F(MonitorTest, ResetDeletesEveryCounter) {
    StoreSite();
    monitor.Form_Load();
    BumpStatistic("Item1-1", 3);
    BumpStatistic("Item2-6", 1);
    monitor.btnReset_Click();
    EXPECT_EQ(platform::GetSetting(kSettingsApp, kStatisticsSection, "Item1-1", "<none>"),
              "<none>");
    EXPECT_EQ(Stored("Host"), "HOST");  // the parent section stays
    monitor.btnReset_Click();           // nothing to delete is no error
    monitor.Timer1_Timer();
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(monitor.txtItem(1, k), "0");
}

TEST_F(MonitorTest, EditedServerIsStoredButPollingKeepsTheStartUpHost) {
    StoreSite();
    monitor.Form_Load();
    env.dir().MakeDirs("unc/OTHER/QMRLINK/QMR2");
    env.dir().MakeDirs("unc/OTHER/DadAri/zeldist");
    Put("OTHER/DadAri/zeldist/x.req", Request("Estimate"));
    Put(Zeldist("y.req"), Request("Estimate"));
    monitor.SetServerText("OTHER");
    monitor.SetDirectoryText("2");
    monitor.btnStart_Click();
    EXPECT_TRUE(monitor.Timer1().isActive());
    EXPECT_EQ(Stored("Host"), "OTHER");
    EXPECT_EQ(Stored("Directory"), "2");
    monitor.Timer1_Timer();
    EXPECT_TRUE(Exists(Zeldist("y.req.2")));
    EXPECT_TRUE(Exists("OTHER/DadAri/zeldist/x.req"));
}

TEST_F(MonitorTest, CharacterFilters) {
    EXPECT_EQ(MonitorController::txtServer_KeyPress('a'), 'A');
    EXPECT_EQ(MonitorController::txtServer_KeyPress('-'), 0);
    EXPECT_EQ(MonitorController::txtServer_KeyPress('.'), '.');
    EXPECT_EQ(MonitorController::txtServer_KeyPress('\b'), '\b');
    EXPECT_EQ(MonitorController::txtServer_KeyPress('\\'), 0);
    EXPECT_EQ(MonitorController::txtDirectory_KeyPress('7'), '7');
    EXPECT_EQ(MonitorController::txtDirectory_KeyPress('.'), '.');
    EXPECT_EQ(MonitorController::txtDirectory_KeyPress('a'), 0);
    EXPECT_EQ(MonitorController::txtDirectory_KeyPress('-'), 0);

    frmMonitor window(monitor);
    auto* server = window.findChild<QLineEdit*>("txtServer");
    for (char c : std::string("ab-1.")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(c)));
        QApplication::sendEvent(server, &press);
    }
    EXPECT_EQ(server->text(), "AB1.");
    EXPECT_EQ(monitor.txtServer(), "AB1.");
}

TEST_F(MonitorTest, WindowShowsTheControlsAndFieldsReachTheRequestProcessing) {
    StoreSite();
    frmMonitor window(monitor);
    monitor.Form_Load();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Dulvan  Revision 3.7.12");
    EXPECT_EQ(window.findChild<QListWidget*>("List1")->count(), 6);
    EXPECT_EQ(window.findChild<QPushButton*>("btnReset")->toolTip(), " Clear All Statistics ");
    EXPECT_EQ(window.findChild<QLineEdit*>("txtItem3_0")->text(), "Order Queries ");
    EXPECT_EQ(MonitorDirectoryText(), "1");
    SetMonitorProgress("2", "5");
    EXPECT_EQ(window.findChild<QLineEdit*>("txtCntr")->text(), "2");
    EXPECT_EQ(window.findChild<QLineEdit*>("txtCount")->text(), "5");

    // Without a notification area the close box ends the program instead of hiding it.
    platform::ScopedEndProgramThrows ends;
    if (!window.HasTrayIcon()) {
        EXPECT_THROW(monitor.mPopExit_Click(), platform::ProgramEnded);
    }
}

TEST_F(MonitorTest, NotesBesideTheProgramBecomeTheQueryNotes) {
    StoreSite();
    monitor.Form_Load();
    EXPECT_FALSE(gState.gQueryNotes.has_value());

    fs::path notes = fs::read_symlink("/proc/self/exe").parent_path() / "QueryNotes.txt";
    {
        std::ofstream out(notes, std::ios::binary);
        out << "PRICES IN USD\r\n\r\nCALL 555-0100 FOR FREIGHT\r\n";
    }
    DropEngine();
    MonitorController second;
    second.Form_Load();
    fs::remove(notes);
    ASSERT_TRUE(gState.gQueryNotes.has_value());
    EXPECT_THAT(*gState.gQueryNotes, ElementsAre("PRICES IN USD", "CALL 555-0100 FOR FREIGHT"));
}

TEST_F(MonitorTest, MissingEngineShowsTheMessageAndTheLoadGoesOn) {
    StoreSite("1");
    fs::remove(Native("HOST/QMRLINK/ttymap"));
    bool shown = false;
    QObject::connect(&monitor, &MonitorController::showWindow, [&] { shown = true; });
    monitor.Form_Load();
    EXPECT_THAT(BoxTexts(), ElementsAre("Error... could not initialize cBusinessBasic. "));
    EXPECT_FALSE(monitor.Timer1().isActive());
    EXPECT_TRUE(shown);
    EXPECT_EQ(gState.gHost, "HOST");
    // Start without an engine object says so instead of failing.
    boxes.clear();
    monitor.SetServerText("HOST");
    monitor.SetDirectoryText("1");
    monitor.StartMonitoring();
    EXPECT_FALSE(monitor.Timer1().isActive());
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(MonitorTest, StartUpMakesTheTestFolderForTheLogCopies) {
    StoreSite();
    Store("Logging", "1");
    monitor.Form_Load();
    EXPECT_TRUE(fs::is_directory(Native("HOST/DadAri/zeltest")));
}

// At boot the share is often mounted after the session starts: once it answers, the program is
// where it would have been with the share there, without anybody pressing anything.
TEST_F(MonitorTest, AShareThatAnswersLateIsMonitoredOnceItAnswersWithAutoStart) {
    StoreSite("1");
    Store("Interval", "0");
    HideHost();
    monitor.Form_Load();
    EXPECT_EQ(BoxTexts(), LateShareBoxes());
    EXPECT_EQ(monitor.txtServer(), "HOST");
    EXPECT_EQ(monitor.txtDirectory(), "1");
    EXPECT_FALSE(monitor.Timer1().isActive());

    BringBackHost();
    // What an earlier run of this program left half-written in the request folder goes too.
    const pid_t ended = EndedProcess();
    fs::create_directories(Native("HOST/DadAri/zeldist"));
    const std::string leftover = Native("HOST/DadAri/zeldist/x.req.1") + OwnLeftoverTail(ended);
    std::ofstream(leftover) << "[half";
    ASSERT_TRUE(WaitFor([&] { return monitor.Timer1().isActive(); }));
    EXPECT_EQ(gState.gFile0Block1.substr(150, 22), "SAMPLE DISTRIBUTING CO");
    for (const char* folder : {"zeldist", "ZelArchive", "zeltest"})
        EXPECT_TRUE(fs::is_directory(Native("HOST/DadAri/") + folder)) << folder;
    EXPECT_FALSE(fs::exists(leftover));
    Put(Zeldist("late.req"), Request("Estimate"));
    EXPECT_TRUE(WaitFor([&] { return Exists(Zeldist("late.req.2")); }));
    EXPECT_NE(engine::Engine().DataEngine, nullptr);
    EXPECT_EQ(BoxTexts(), LateShareBoxes());
}

// The request share is mounted on its own, and may come later than the business share or anew
// while the program runs: its folders are made and cleaned once it answers, as at start-up.
TEST_F(MonitorTest, ARequestShareThatAnswersLateOrAnewGetsItsFolders) {
    StoreSite("1");
    Store("Interval", "0");
    fs::remove_all(Native("HOST/DadAri"));
    monitor.Form_Load();
    ASSERT_TRUE(monitor.Timer1().isActive());

    // It comes holding the request folder, a request and what an earlier run of this program
    // left half-written, but no archive or test folder.
    const pid_t ended = EndedProcess();
    const std::string leftover = Native("HOST/DadAri/zeldist/x.req.1") + OwnLeftoverTail(ended);
    fs::create_directories(Native("HOST/DadAri/zeldist"));
    std::ofstream(leftover) << "[half";
    Put(Zeldist("late.req"), Request("Estimate"));
    ASSERT_TRUE(WaitFor([&] { return Exists(Zeldist("late.req.2")); }));
    EXPECT_FALSE(fs::exists(leftover));
    for (const char* folder : {"ZelArchive", "zeltest"})
        EXPECT_TRUE(fs::is_directory(Native("HOST/DadAri/") + folder)) << folder;

    // Mounted anew, empty.
    fs::remove_all(Native("HOST/DadAri"));
    fs::create_directories(Native("HOST/DadAri"));
    ASSERT_TRUE(WaitFor([&] { return fs::is_directory(Native("HOST/DadAri/zeltest")); }));
    for (const char* folder : {"zeldist", "ZelArchive"})
        EXPECT_TRUE(fs::is_directory(Native("HOST/DadAri/") + folder)) << folder;
    Put(Zeldist("anew.req"), Request("Estimate"));
    EXPECT_TRUE(WaitFor([&] { return Exists(Zeldist("anew.req.2")); }));
    EXPECT_THAT(BoxTexts(), IsEmpty());
}

TEST_F(MonitorTest, StartOnceALateShareAnswersMakesTheEngineObjectsInsteadOfFailing) {
    StoreSite();
    HideHost();
    monitor.Form_Load();
    BringBackHost();
    boxes.clear();
    // Pauses the connection-error window should it come up; goes with the test.
    bool connectionWindow = false;
    QTimer pause;
    pause.setSingleShot(true);
    QObject::connect(&pause, &QTimer::timeout, [&] {
        connectionWindow = ErrorController::Current() != nullptr;
        if (connectionWindow) ErrorController::Current()->btnPause_Click();
    });
    pause.start(50);
    monitor.btnStart_Click();
    EXPECT_FALSE(connectionWindow);
    EXPECT_THAT(BoxTexts(), IsEmpty());
    ASSERT_TRUE(monitor.Timer1().isActive());
    EXPECT_NE(engine::Engine().DataEngine, nullptr);
    Put(Zeldist("late.req"), Request("Estimate"));
    monitor.Timer1_Timer();
    EXPECT_TRUE(Exists(Zeldist("late.req.2")));
}

}  // namespace
}  // namespace zel::processor
