// Where the settings and connection-error windows open: over the monitor window while it is
// shown, else in the middle of the screen, never at the screen's corner; and that each of
// Dulvan's windows shows its widgets whole.
#include "processor/windows/placement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <functional>
#include <string>
#include <vector>

#include "processor/windows/error_window.h"
#include "processor/windows/monitor.h"
#include "processor/windows/monitor_test_support.h"
#include "processor/windows/monitor_widget.h"
#include "processor/windows/settings_window.h"
#include "testing/widget_bounds.h"

namespace zel::processor {
namespace {

using testing::Soon;

// The frame of the top-level window `name` as it showed while `open` ran it modally; `close`
// ends it.
QRect OpenedAt(const char* name, const std::function<void()>& open, const char* closeButton) {
    QRect seen;
    Soon(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == name && w->isVisible()) {
                seen = w->frameGeometry();
                w->findChild<QPushButton*>(closeButton)->click();
            }
    });
    open();
    return seen;
}

// Centres within a pixel (an odd size has no middle pixel).
void ExpectCentredOn(const QRect& window, const QRect& over, const char* what) {
    ASSERT_FALSE(window.isEmpty()) << what << ": the window was not shown";
    const QPointF a = QRectF(window).center(), b = QRectF(over).center();
    EXPECT_LE(std::abs(a.x() - b.x()), 1.0) << what;
    EXPECT_LE(std::abs(a.y() - b.y()), 1.0) << what;
}

class PlacementTest : public testing::DulvanSandbox {
protected:
    QRect OpenSettings() {
        return OpenedAt(
            "frmSettings", [] { SettingsController::Instance().ShowModal(); }, "btnClose");
    }
    QRect OpenError() {
        return OpenedAt(
            "frmError", [] { ErrorController::ShowModal("Can't Connect"); }, "btnPause");
    }
    QRect Screen() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
};

TEST_F(PlacementTest, WindowsOpenCentredOverTheShownMonitorElseOnTheScreen) {
    ASSERT_NE(QGuiApplication::primaryScreen(), nullptr);
    ASSERT_FALSE(Screen().isEmpty());

    MonitorController monitor;
    frmMonitor window(monitor);
    window.show();
    ASSERT_TRUE(testing::WaitFor(
        [&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    // Away from the screen's middle, so that the two answers differ, but not so far that the
    // windows over it would leave the screen.
    const QPoint at = Screen().center() - QPoint(window.frameGeometry().width() / 2 + 40,
                                                 window.frameGeometry().height() / 2 - 30);
    window.move(at);
    ASSERT_TRUE(testing::WaitFor([&] { return window.frameGeometry().topLeft() == at; }));

    ExpectCentredOn(OpenSettings(), window.frameGeometry(), "settings over the monitor");
    ExpectCentredOn(OpenError(), window.frameGeometry(), "connection error over the monitor");

    window.hide();
    ExpectCentredOn(OpenSettings(), Screen(), "settings, monitor in the tray");
    ExpectCentredOn(OpenError(), Screen(), "connection error, monitor in the tray");
}

// A monitor pushed partly off the screen: the window stays whole on the screen.
TEST_F(PlacementTest, AWindowOverAMonitorAtTheScreensEdgeStaysOnTheScreen) {
    MonitorController monitor;
    frmMonitor window(monitor);
    window.show();
    ASSERT_TRUE(testing::WaitFor(
        [&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    const QPoint corner = Screen().bottomRight() - QPoint(50, 40);
    window.move(corner);
    ASSERT_TRUE(testing::WaitFor([&] { return window.frameGeometry().topLeft() == corner; }));

    const QRect settings = OpenSettings();
    ASSERT_FALSE(settings.isEmpty());
    EXPECT_TRUE(Screen().contains(settings)) << settings.x() << "," << settings.y() << " "
                                             << settings.width() << "x" << settings.height();
}

// Nothing is cut at a window's edge or a frame's: not as the window opens, nor made taller,
// nor at the smallest size its layout allows.
TEST_F(PlacementTest, EveryWindowShowsItsWidgetsWhole) {
    using ::testing::IsEmpty;
    MonitorController monitor;
    frmMonitor window(monitor);
    window.show();
    ASSERT_TRUE(testing::WaitFor(
        [&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    EXPECT_THAT(qttest::CutWidgets(window), IsEmpty()) << "monitor as it opens";
    const QSize opened = window.size();
    window.resize(opened + QSize(0, 120));
    ASSERT_TRUE(testing::WaitFor([&] { return window.size() == opened + QSize(0, 120); }));
    EXPECT_THAT(qttest::CutWidgets(window), IsEmpty()) << "monitor made taller";
    window.resize(window.minimumSize());
    ASSERT_TRUE(testing::WaitFor([&] { return window.size() == window.minimumSize(); }));
    EXPECT_THAT(qttest::CutWidgets(window), IsEmpty()) << "monitor at its smallest";

    const auto cutIn = [](const char* name, const std::function<void()>& open,
                          const char* closeButton) {
        std::vector<std::string> cut{"not shown"};
        Soon(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == name && w->isVisible()) {
                    cut = qttest::CutWidgets(*w);
                    w->findChild<QPushButton*>(closeButton)->click();
                }
        });
        open();
        return cut;
    };
    EXPECT_THAT(cutIn(
                    "frmSettings", [] { SettingsController::Instance().ShowModal(); }, "btnClose"),
                IsEmpty());
    EXPECT_THAT(cutIn(
                    "frmError", [] { ErrorController::ShowModal("Can't Connect"); }, "btnPause"),
                IsEmpty());
}

}  // namespace
}  // namespace zel::processor
