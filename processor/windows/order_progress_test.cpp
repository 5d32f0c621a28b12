// The order's progress on the monitor window: painted at once, since the order runs no events
// until it is done, but at most once per kProgressPaintInterval, and the last item's number
// always. The clock is the test's own, so nothing here depends on how fast the machine is.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QWindow>
#include <chrono>
#include <string>
#include <vector>

#include "platform/seams.h"
#include "platform/settings.h"
#include "processor/monitor_view.h"
#include "processor/sample_share_test_support.h"
#include "processor/windows/monitor.h"
#include "processor/windows/monitor_test_support.h"
#include "processor/windows/monitor_widget.h"
#include "processor/windows/window_timing_test_support.h"

namespace zel::processor {
namespace {

using std::chrono::milliseconds;

// The texts a box showed each time it was painted.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QLineEdit* box) : box_(box) { box->installEventFilter(this); }
    std::vector<std::string> texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == box_ && event->type() == QEvent::Paint)
            texts.push_back(box_->text().toStdString());
        return false;
    }

private:
    QLineEdit* box_;
};

class OrderProgressTest : public testing::DulvanSandbox {
protected:
    void SetUp() override {
        DulvanSandbox::SetUp();
        window.show();
        ASSERT_TRUE(testing::WaitFor(
            [&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
        QCoreApplication::processEvents();  // the first full painting is not the progress's
        WindowTiming::SetProgressClock(monitor, [this] { return now; });
        QObject::connect(&monitor, &MonitorController::repaintNow, [this] { ++repaints; });
    }
    void TearDown() override {
        WindowTiming::SetProgressClock(monitor, nullptr);
        DulvanSandbox::TearDown();
    }
    QLineEdit* Box(const char* name) { return window.findChild<QLineEdit*>(name); }

    MonitorController monitor;
    frmMonitor window{monitor};
    std::chrono::steady_clock::time_point now =
        std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    int repaints = 0;
};

TEST_F(OrderProgressTest, ManyItemsWithinOneIntervalArePaintedOnceAndTheLastNumberOnTheFlush) {
    PaintRecorder numbers(Box("txtCntr"));
    ASSERT_EQ(gMonitorView, &monitor);
    gMonitorView->ShowItemCount("2000");
    EXPECT_EQ(repaints, 1);  // the first change is painted at once

    for (int n = 1; n <= 1000; ++n) gMonitorView->ShowItemNumber(std::to_string(n));
    EXPECT_EQ(repaints, 1);
    EXPECT_EQ(Box("txtCntr")->text(), "1000");  // the box holds it; only its painting waits

    now += MonitorController::kProgressPaintInterval - milliseconds(1);
    gMonitorView->ShowItemNumber("1001");
    EXPECT_EQ(repaints, 1);
    now += milliseconds(1);
    gMonitorView->ShowItemNumber("1002");
    EXPECT_EQ(repaints, 2);
    for (int n = 1003; n <= 2000; ++n) gMonitorView->ShowItemNumber(std::to_string(n));
    EXPECT_EQ(repaints, 2);

    monitor.FlushProgress();
    EXPECT_EQ(repaints, 3);
    monitor.FlushProgress();  // nothing waits any more
    EXPECT_EQ(repaints, 3);
    ASSERT_FALSE(numbers.texts.empty());
    EXPECT_EQ(numbers.texts.front(), "");
    EXPECT_EQ(numbers.texts.back(), "2000");
    EXPECT_EQ(Box("txtCount")->text(), "2000");
    EXPECT_LE(numbers.texts.size(), 3u);
}

// A whole order through a polling pass, on the sample share: the count is painted when the
// order starts, the items inside the interval wait, and the pass paints the last number when
// the request is done. With the clock moving a whole interval between items, each is painted.
class OrderPassTest : public OrderProgressTest {
protected:
    void SetUp() override {
        OrderProgressTest::SetUp();
        share.Connect(testing::SampleShareDescription(), env);
        env.dir().MakeDirs("unc/QSERVER/DadAri/zeldist");
        env.dir().MakeDirs("unc/QSERVER/DadAri/zelarchive");
        platform::SaveSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", "500");
        SettingsController::Instance().Unload();
        SettingsController::Instance().Load();
        gState.gHost = "QSERVER";
        gState.gDirectory = "1";
    }
    void TearDown() override {
        share.Disconnect();
        OrderProgressTest::TearDown();
    }
    // A test order (nothing is exported) of `items` parts that are on file nowhere.
    void DropOrder(const std::string& name, int items) const {
        std::string text =
            "[ZELINFO]\r\nDocType=PO\r\nTestFlag=Y\r\nTradePartner=self\r\nDealerNumber=1001\r\n"
            "[COUNT]\r\nPoItemCount=" +
            std::to_string(items) + "\r\n";
        for (int n = 1; n <= items; ++n)
            text += "[POITEMS" + std::to_string(n) + "]\r\nMfgCode=AB\r\nPartNumber=NOPE-" +
                    std::to_string(n) + "\r\nPartQty=1\r\n";
        Put("QSERVER/DadAri/zeldist/" + name, text);
    }

    testing::ConnectedShare share;
    platform::ScopedEndProgramThrows ends;
};

TEST_F(OrderPassTest, ThePassPaintsTheLastItemNumberWhenTheOrderIsDone) {
    PaintRecorder numbers(Box("txtCntr"));
    DropOrder("po1.req", 30);
    monitor.Timer1_Timer();
    ASSERT_EQ(BoxTexts(), std::vector<std::string>{});
    ASSERT_TRUE(Exists("QSERVER/DadAri/zeldist/po1.req.1"));
    EXPECT_EQ(monitor.txtCntr(), "30");
    EXPECT_EQ(repaints, 2);
    EXPECT_EQ(numbers.texts, (std::vector<std::string>{"", "30"}));

    // A clock that moves a whole interval at each look paints every item.
    WindowTiming::SetProgressClock(
        monitor, [this] { return now += MonitorController::kProgressPaintInterval; });
    repaints = 0;
    numbers.texts.clear();
    DropOrder("po2.req", 5);
    monitor.Timer1_Timer();
    ASSERT_TRUE(Exists("QSERVER/DadAri/zeldist/po2.req.1"));
    EXPECT_EQ(repaints, 6);
    EXPECT_EQ(numbers.texts, (std::vector<std::string>{"", "1", "2", "3", "4", "5"}));
}

}  // namespace
}  // namespace zel::processor
