#include "processor/windows/error_window.h"

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>

#include "platform/seams.h"
#include "processor/globals.h"
#include "processor/utilities.h"
#include "processor/windows/error_window_widget.h"
#include "processor/windows/placement.h"

namespace zel::processor {
namespace {

ErrorController* gCurrent = nullptr;

ErrorController::ViewFactory& Factory() {
    static ErrorController::ViewFactory f = [](ErrorController& c) -> std::unique_ptr<QWidget> {
        return std::make_unique<frmError>(c);
    };
    return f;
}

void Beep() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::beep();
}

constexpr const char* kTitle = "Connection Error";

// The test the window message box makes: without a display its boxes go to the error stream,
// and a site that answers nothing must say why in the same place.
bool WithoutDisplay() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return true;
    const QString p = QGuiApplication::platformName();
    return p == "offscreen" || p == "minimal";
}

// The date and time as the window shows them.
std::string DateText(const QDateTime& t) { return t.date().toString("M/d/yyyy").toStdString(); }
std::string TimeText(const QDateTime& t) { return t.time().toString("h:mm:ss AP").toStdString(); }

// One line, ending with when it happened, where the program's boxes go without a display.
void TellErrorStream(const std::string& text, const std::string& when) {
    if (!WithoutDisplay()) return;
    std::string line;
    for (char c : text)
        if (c != '\r') line += c == '\n' ? ' ' : c;
    platform::UnattendedBox(
        {line + " (" + when + ")", kTitle, platform::MsgButtons::Ok, platform::MsgIcon::Critical});
}

}  // namespace

ErrorController::ErrorController(std::string message) : txtError_(std::move(message)) {
    timer_.setInterval(RetryInterval());
    connect(&timer_, &QTimer::timeout, this, &ErrorController::Timer1_Timer);
}

ErrorController* ErrorController::Current() { return gCurrent; }

ErrorController::ViewFactory ErrorController::SetViewFactory(ViewFactory factory) {
    ViewFactory old = std::move(Factory());
    Factory() = std::move(factory);
    return old;
}

int ErrorController::RetryInterval() {
    return retryOverride_ > 0 ? retryOverride_ : kRetryMilliseconds;
}

void ErrorController::ShowNow() {
    const QDateTime now = QDateTime::currentDateTime();
    txtDate_ = DateText(now);
    txtTime_ = TimeText(now);
}

void ErrorController::Load() {
    loaded_ = true;
    gState.gPauseRequested = false;
    Beep();
    ShowNow();
    timer_.start();
    emit changed();
    TellErrorStream(txtError_, txtDate_ + " " + txtTime_);
}

void ErrorController::ShowModal(const std::string& message) {
    ErrorController window(message);
    ErrorController* outer = gCurrent;
    gCurrent = &window;
    struct Restore {
        ErrorController* outer;
        ~Restore() { gCurrent = outer; }
    } restore{outer};

    window.Load();
    std::unique_ptr<QWidget> view;
    if (Factory()) view = Factory()(window);
    QEventLoop loop;
    connect(&window, &ErrorController::unloaded, &loop, &QEventLoop::quit);
    if (view) {
        view->setWindowModality(Qt::ApplicationModal);
        PlaceOverMonitor(*view);
        view->show();
    }
    if (window.loaded_) loop.exec();
    if (view) view->hide();
}

void ErrorController::Timer1_Timer() {
    if (!loaded_) return;
    Beep();
    ShowNow();
    emit changed();
    if (FolderAnswers(BusinessDataFolder(gState.gHost, gState.gDirectory)))
        UnloadBecause("the business share answers again");
}

void ErrorController::btnPause_Click() {
    gState.gPauseRequested = true;
    UnloadBecause("Pause, monitoring stops");
}

void ErrorController::Unload() { UnloadBecause("closed, the request goes on"); }

void ErrorController::UnloadBecause(const char* why) {
    if (!loaded_) return;
    timer_.stop();
    loaded_ = false;
    const QDateTime now = QDateTime::currentDateTime();
    TellErrorStream(why, DateText(now) + " " + TimeText(now));
    emit unloaded();
}

}  // namespace zel::processor
