#include "processor/windows/error_window.h"

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>

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
    QDateTime now = QDateTime::currentDateTime();
    txtDate_ = now.date().toString("M/d/yyyy").toStdString();
    txtTime_ = now.time().toString("h:mm:ss AP").toStdString();
}

void ErrorController::Load() {
    loaded_ = true;
    gState.gPauseRequested = false;
    Beep();
    ShowNow();
    timer_.start();
    emit changed();
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
    if (FolderAnswers(BusinessDataFolder(gState.gHost, gState.gDirectory))) Unload();
}

void ErrorController::btnPause_Click() {
    gState.gPauseRequested = true;
    Unload();
}

void ErrorController::Unload() {
    if (!loaded_) return;
    timer_.stop();
    loaded_ = false;
    emit unloaded();
}

}  // namespace zel::processor
