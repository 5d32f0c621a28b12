#include "processor/windows/error_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "processor/windows/monitor_test_support.h"

namespace zel::processor {
namespace {

using testing::Soon;

QWidget* VisibleErrorWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "frmError" && w->isVisible()) return w;
    return nullptr;
}

class ErrorWindowTest : public testing::DulvanSandbox {
protected:
    void SetUp() override {
        DulvanSandbox::SetUp();
        gState.gHost = "HOST";
        gState.gDirectory = "1";
    }
    std::string DataFolder() const { return Native("HOST/QMRLINK/QMR1"); }
};

TEST_F(ErrorWindowTest, PauseClosesTheWindowWithAPauseRequest) {
    gState.gPauseRequested = true;  // the window starts by clearing it
    std::string message;
    bool timerRunning = false;
    Soon(50, [&] {
        QWidget* w = VisibleErrorWindow();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->windowTitle(), "Connection Error");
        message = ErrorController::Current()->txtError();
        EXPECT_EQ(w->findChild<QPlainTextEdit*>("txtError")->toPlainText().toStdString(),
                  "Can't Connect to Quomar Files!\nWill Retry in 5 Seconds.");
        EXPECT_FALSE(gState.gPauseRequested);
        timerRunning = ErrorController::Current()->Timer1().isActive();
        EXPECT_FALSE(ErrorController::Current()->txtDate().empty());
        w->findChild<QPushButton*>("btnPause")->click();
    });
    CheckConnection();
    EXPECT_EQ(message, "Can't Connect to Quomar Files!\r\nWill Retry in 5 Seconds.");
    EXPECT_TRUE(timerRunning);
    EXPECT_TRUE(gState.gPauseRequested);
    EXPECT_EQ(ErrorController::Current(), nullptr);
    EXPECT_EQ(VisibleErrorWindow(), nullptr);
}

TEST_F(ErrorWindowTest, TheWindowClosesItselfWhenTheShareAnswersAgain) {
    int ticksWhileAway = 0;
    Soon(350, [&] { ticksWhileAway = ErrorController::Current() ? 1 : 0; });
    Soon(400, [&] { std::filesystem::create_directories(DataFolder()); });
    CheckConnection();
    EXPECT_EQ(ticksWhileAway, 1);  // retried without closing while the share was away
    EXPECT_FALSE(gState.gPauseRequested);
    EXPECT_TRUE(std::filesystem::exists(DataFolder()));
}

TEST_F(ErrorWindowTest, TheCloseBoxEndsTheWaitWithoutAPause) {
    Soon(50, [&] { VisibleErrorWindow()->close(); });
    CheckConnection();
    EXPECT_FALSE(gState.gPauseRequested);
    EXPECT_EQ(ErrorController::Current(), nullptr);
}

// Without a display nobody sees the window: the error stream says that nothing is answered and
// why, and when that ends and how, as it does for the message boxes.
TEST_F(ErrorWindowTest, WithoutADisplayTheErrorStreamTellsWhenItOpensAndCloses) {
    ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
    const auto lines = [](const std::string& err) {
        std::vector<std::string> out;
        std::istringstream in(err);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("Connection Error: ", 0) == 0) out.push_back(line);
        return out;
    };
    const ::testing::Matcher<std::string> opened = ::testing::StartsWith(
        "Connection Error: Can't Connect to Quomar Files! Will Retry in 5 Seconds. (");

    ::testing::internal::CaptureStderr();
    Soon(50, [] { ErrorController::Current()->btnPause_Click(); });
    CheckConnection();
    EXPECT_THAT(lines(::testing::internal::GetCapturedStderr()),
                ::testing::ElementsAre(
                    opened, ::testing::StartsWith("Connection Error: Pause, monitoring stops (")));

    ::testing::internal::CaptureStderr();
    Soon(150, [&] { std::filesystem::create_directories(DataFolder()); });
    CheckConnection();
    EXPECT_THAT(
        lines(::testing::internal::GetCapturedStderr()),
        ::testing::ElementsAre(
            opened, ::testing::StartsWith("Connection Error: the business share answers again (")));
}

TEST_F(ErrorWindowTest, UnmappableShareCountsAsNotAnswering) {
    platform::testing::ScopedEnv noRoot("ZEL_UNC_ROOT", std::nullopt);
    EXPECT_FALSE(FolderAnswers(BusinessDataFolder("HOST", "1")));
    auto previous = ErrorController::SetViewFactory(nullptr);
    Soon(50, [] { ErrorController::Current()->btnPause_Click(); });
    CheckConnection();
    ErrorController::SetViewFactory(previous);
    EXPECT_TRUE(gState.gPauseRequested);
}

}  // namespace
}  // namespace zel::processor
