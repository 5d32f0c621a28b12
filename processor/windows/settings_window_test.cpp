#include "processor/windows/settings_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <chrono>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/settings.h"
#include "processor/utilities.h"
#include "processor/windows/monitor_test_support.h"
#include "processor/windows/settings_window_widget.h"

namespace zel::processor {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SettingsWindowTest : public testing::DulvanSandbox {
protected:
    static std::string Stored(const char* key) {
        return platform::GetSetting(kSettingsApp, kSettingsSection, key, "<none>");
    }
    static void Store(const char* key, const std::string& value) {
        platform::SaveSetting(kSettingsApp, kSettingsSection, key, value);
    }
    SettingsController& settings = SettingsController::Instance();
};

TEST_F(SettingsWindowTest, NoStoredSettingsGiveTheDefaultsAndStoreThem) {
    gState.gLogging = true;  // an unticked box leaves its flag as it was
    settings.Load();
    EXPECT_TRUE(settings.optQueryQty());
    EXPECT_FALSE(settings.optQOH());
    EXPECT_EQ(gState.gQueryResp, 2);
    EXPECT_EQ(Stored("QueryResp"), "2");
    EXPECT_TRUE(settings.chkArchive());
    EXPECT_TRUE(settings.chkSetupUnknown());
    EXPECT_TRUE(gState.gArchive);
    EXPECT_TRUE(gState.gSetupParts);
    EXPECT_EQ(Stored("Archive"), "1");
    EXPECT_EQ(Stored("SetupParts"), "1");
    EXPECT_FALSE(settings.chkLogging());
    EXPECT_FALSE(settings.chkSkipDB());
    EXPECT_TRUE(gState.gLogging);
    EXPECT_EQ(Stored("Logging"), "<none>");
    EXPECT_EQ(Stored("SkipDB"), "<none>");
    EXPECT_EQ(settings.TicketCounter(), "");
    EXPECT_EQ(settings.TicketCounterBackColor(), SettingsController::kYellow);
    EXPECT_THAT(BoxTexts(), IsEmpty());
}

TEST_F(SettingsWindowTest, StoredValuesSelectAndTickAsTheyRead) {
    Store("QueryResp", "3");
    Store("SkipDB", "yes");
    Store("Logging", "1");
    Store("Archive", "0");
    Store("SetupParts", "0");
    Store("EmergencyMessage", "CALL FIRST");
    Store("PickTicketCounter", "12");
    settings.Load();
    EXPECT_FALSE(settings.optQOH());
    EXPECT_FALSE(settings.optQueryQty());
    EXPECT_EQ(gState.gQueryResp, 3);
    EXPECT_TRUE(settings.chkSkipDB());
    EXPECT_EQ(Stored("SkipDB"), "1");
    EXPECT_TRUE(settings.chkLogging());
    EXPECT_TRUE(gState.gLogging);
    EXPECT_FALSE(settings.chkArchive());
    EXPECT_FALSE(gState.gArchive);
    EXPECT_FALSE(gState.gSetupParts);
    EXPECT_EQ(gState.gEmergencyMessage, "CALL FIRST");
    EXPECT_EQ(settings.EmergencyMessage(), "CALL FIRST");
    EXPECT_EQ(settings.TicketCounterBackColor(), SettingsController::kWhite);

    Store("QueryResp", "1");
    settings.Unload();
    settings.Load();
    EXPECT_TRUE(settings.optQOH());
    EXPECT_EQ(gState.gQueryResp, 1);
    Store("QueryResp", "garbage");
    settings.Unload();
    settings.Load();
    EXPECT_EQ(gState.gQueryResp, 0);
    EXPECT_FALSE(settings.optQOH() || settings.optQueryQty());
}

TEST_F(SettingsWindowTest, CounterFieldColourFollowsItsNumericValue) {
    settings.Load();
    for (const char* yellow : {"0", "-5", "x", ""}) {
        settings.SetTicketCounter("1");
        settings.SetTicketCounter(yellow);
        EXPECT_EQ(settings.TicketCounterBackColor(), SettingsController::kYellow) << yellow;
    }
    settings.SetTicketCounter("12");
    EXPECT_EQ(settings.TicketCounterBackColor(), SettingsController::kWhite);
}

TEST_F(SettingsWindowTest, PrinterMustBeNumericButIsStoredAnyway) {
    settings.Load();
    int focus = 0;
    QObject::connect(&settings, &SettingsController::printerFocusRequested, [&] { ++focus; });
    settings.SetPrinter("12");
    EXPECT_THAT(BoxTexts(), IsEmpty());
    settings.SetPrinter("12a");
    EXPECT_THAT(BoxTexts(), ElementsAre("Must be Numeric!"));
    EXPECT_EQ(focus, 1);
    settings.SetTicketCounter("77");
    settings.SetEmergencyMessage("NO SATURDAY DELIVERY");
    settings.btnClose_Click();
    EXPECT_FALSE(settings.IsLoaded());
    EXPECT_EQ(Stored("PickTicketPrinter"), "12a");
    EXPECT_EQ(Stored("PickTicketCounter"), "77");
    EXPECT_EQ(Stored("EmergencyMessage"), "NO SATURDAY DELIVERY");
    // The message reaches emergency orders only once the window loads again.
    EXPECT_EQ(gState.gEmergencyMessage, "");
    settings.EnsureLoaded();
    EXPECT_EQ(gState.gEmergencyMessage, "NO SATURDAY DELIVERY");
}

TEST_F(SettingsWindowTest, UnloadingWithoutCloseKeepsTheStoreAsItWas) {
    Store("PickTicketCounter", "40");
    settings.Load();
    settings.SetTicketCounter("1");
    settings.Unload();
    EXPECT_EQ(Stored("PickTicketCounter"), "40");
    settings.EnsureLoaded();
    EXPECT_EQ(settings.TicketCounter(), "40");
}

// Another instance sharing the store draws numbers while this one's window is loaded. A Close that
// left the counter field alone must not put the counter back; one that changed it stores what the
// user typed, and only under the counter lock.
TEST_F(SettingsWindowTest, CloseStoresTheCounterOnlyWhenTheUserChangedIt) {
    const auto drawElsewhere = [](int count) {
        pid_t child = ::fork();
        if (child == 0) {
            SettingsController::Instance().Unload();  // its own window, loaded from the store
            for (int i = 0; i < count; ++i) NextPickTicketNumber();
            ::_exit(0);
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    Store("PickTicketCounter", "100");
    settings.Load();
    ASSERT_TRUE(drawElsewhere(3));  // 100, 101, 102
    settings.btnClose_Click();
    EXPECT_EQ(Stored("PickTicketCounter"), "103");
    EXPECT_EQ(NextPickTicketNumber(), 103);  // loads the window again

    // Nor is the field moved on by this instance's own draw a change of the user's.
    ASSERT_TRUE(drawElsewhere(2));  // 104, 105
    settings.btnClose_Click();
    EXPECT_EQ(Stored("PickTicketCounter"), "106");

    settings.Load();
    settings.SetTicketCounter("500");
    ASSERT_TRUE(drawElsewhere(1));
    {
        platform::ScopedFileLock draw(platform::SettingsFilePath(kSettingsApp) +
                                      kCounterLockEnding);  // another instance's draw under way
        const auto wait = platform::SetSettingsLockWait(std::chrono::milliseconds(1));
        EXPECT_THROW(settings.btnClose_Click(), platform::RuntimeError);
        platform::SetSettingsLockWait(wait);
        EXPECT_EQ(Stored("PickTicketCounter"), "107");
    }
    settings.btnClose_Click();
    EXPECT_EQ(Stored("PickTicketCounter"), "500");
}

TEST_F(SettingsWindowTest, WidgetMirrorsTheControlsAndForwardsTheUser) {
    Store("PickTicketCounter", "5");
    settings.Load();
    frmSettings window(settings);
    window.show();
    auto* counter = window.findChild<QLineEdit*>("TicketCounter");
    auto* archive = window.findChild<QCheckBox*>("chkArchive");
    auto* logging = window.findChild<QCheckBox*>("chkLogging");
    auto* qoh = window.findChild<QRadioButton*>("optQOH");
    auto* message = window.findChild<QPlainTextEdit*>("EmergencyMessage");
    ASSERT_TRUE(counter && archive && logging && qoh && message);
    EXPECT_EQ(window.windowTitle(), "Default Settings");
    EXPECT_EQ(counter->text(), "5");
    EXPECT_TRUE(archive->isChecked());
    EXPECT_EQ(archive->toolTip(),
              "Keep copys of all transactions in the zelarchive folder.  This will require "
              "periodic removal.");

    logging->click();
    EXPECT_TRUE(gState.gLogging);
    EXPECT_EQ(Stored("Logging"), "1");
    qoh->click();
    EXPECT_EQ(Stored("QueryResp"), "1");
    EXPECT_FALSE(window.findChild<QRadioButton*>("optQueryQty")->isChecked());

    // Typed characters become capitals.
    message->setFocus();
    for (char c : std::string("abc")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A + (c - 'a'), Qt::NoModifier, QString(QChar(c)));
        QApplication::sendEvent(message, &press);
    }
    EXPECT_EQ(settings.EmergencyMessage(), "ABC");

    counter->setText("0");
    EXPECT_EQ(settings.TicketCounter(), "0");
    EXPECT_EQ(counter->palette().color(QPalette::Base), QColor(255, 255, 0));

    window.findChild<QPushButton*>("btnClose")->click();
    EXPECT_FALSE(settings.IsLoaded());
    EXPECT_EQ(Stored("EmergencyMessage"), "ABC");
}

TEST_F(SettingsWindowTest, ShowModalRunsUntilTheWindowIsClosed) {
    bool sawWindow = false;
    testing::Soon(50, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "frmSettings" && w->isVisible()) {
                sawWindow = true;
                w->findChild<QLineEdit*>("TicketCounter")->setText("300");
                w->findChild<QPushButton*>("btnClose")->click();
            }
    });
    settings.ShowModal();
    EXPECT_TRUE(sawWindow);
    EXPECT_FALSE(settings.IsLoaded());
    EXPECT_EQ(Stored("PickTicketCounter"), "300");
}

}  // namespace
}  // namespace zel::processor
