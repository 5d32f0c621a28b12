#pragma once
// The "Connection Error" window's behaviour (frmError): shown modally by the connection test
// while the business share does not answer. It beeps and shows the date and time at once and
// on every retry, closes itself when the business data folder answers again, and offers Pause
// (gState.gPauseRequested), which makes the polling pass stop monitoring before the request is
// touched. Without a display nobody sees it: its text then goes to the error stream when it
// opens, and a line when it closes, as the message boxes' texts do.
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

namespace zel::processor {

class WindowTiming;

class ErrorController : public QObject {
    Q_OBJECT

public:
    static constexpr int kRetryMilliseconds = 5000;

    // Loads the window with `message` in txtError and runs it modally until it is unloaded.
    static void ShowModal(const std::string& message);
    // The window while it is shown, else nullptr.
    static ErrorController* Current();

    const std::string& txtError() const { return txtError_; }
    const std::string& txtDate() const { return txtDate_; }
    const std::string& txtTime() const { return txtTime_; }
    bool IsLoaded() const { return loaded_; }
    const QTimer& Timer1() const { return timer_; }

    // Timer1_Timer: beep, refresh date and time, unload when the data folder answers.
    void Timer1_Timer();
    // btnPause_Click: request a pause of monitoring and unload.
    void btnPause_Click();
    // The close box: unload without a pause request.
    void Unload();

    // How the modal window is shown (default: the frmError widget); nullptr shows none.
    using ViewFactory = std::function<std::unique_ptr<QWidget>(ErrorController&)>;
    static ViewFactory SetViewFactory(ViewFactory factory);
    // Retry period.
    static int RetryInterval();

signals:
    void changed();
    void unloaded();

private:
    // Tests shorten the retry period.
    friend class WindowTiming;
    // The retry period when above 0, else kRetryMilliseconds.
    static inline int retryOverride_ = 0;

    explicit ErrorController(std::string message);
    void Load();
    void ShowNow();
    // Unloads the window; `why` is told on the error stream when there is no display.
    void UnloadBecause(const char* why);

    std::string txtError_;
    std::string txtDate_;
    std::string txtTime_;
    bool loaded_ = false;
    QTimer timer_;
};

}  // namespace zel::processor
