#pragma once
// The monitor window's behaviour (frmMonitor): start-up of the program, the polling timer that
// hands every request document of the request folder to the request processor, Start, Pause,
// Reset, the interval list, the character filters and the statistics grid. The widget
// (monitor_widget.h) mirrors these values, forwards the user's actions and owns the tray icon.
#include <QObject>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "processor/cycle/monitor_engine.h"
#include "processor/cycle/set_aside.h"
#include "processor/monitor_view.h"

namespace zel::processor {

class WindowTiming;

class MonitorController : public QObject, public MonitorView {
    Q_OBJECT

public:
    static constexpr int kIntervalCount = 6;
    static constexpr std::array<int, kIntervalCount> kIntervals = {200, 400, 800, 1000, 2000, 5000};
    static constexpr std::array<const char*, kIntervalCount> kIntervalTexts = {
        "0.2 sec.", "0.4 sec.", "0.8 sec.", "1.0 sec.", "2.0 sec.", "5.0 sec."};
    static constexpr const char* kTrayTip = "Zel Transaction Processor";
    // The order's progress is painted at once at most this often: a person cannot follow more
    // than a few dozen changes a second, and each painting costs more than answering an item.
    static constexpr std::chrono::milliseconds kProgressPaintInterval{40};
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    MonitorController();
    ~MonitorController() override;
    MonitorController(const MonitorController&) = delete;
    MonitorController& operator=(const MonitorController&) = delete;

    // The program's monitor window (the most recently created one), or nullptr.
    static MonitorController* Instance();

    // --- Events ---------------------------------------------------------------------------
    // Start-up of the program (see monitor.cpp for the order of its steps).
    void Form_Load();
    void StartMonitoring();
    void StopMonitoring();
    void btnStart_Click();
    void btnPause_Click();
    void btnSettings_Click();
    void btnReset_Click();
    // One polling pass. A tick that falls due while a pass runs (inside the modal
    // connection-error window, or a message box) is passed over.
    void Timer1_Timer();
    // While the engine objects the start-up could not make are missing: when the business
    // share answers they are made, with the share's folders, and monitoring starts when
    // "Auto-Start" says so. While the request share holds no request folder: when it answers
    // its folders are made and this program's leftovers in them removed.
    void ShareWait_Timer();
    // An interval chosen (any index outside 0 to 5 selects the last entry).
    void List1_Click(int index);
    // The auto-start box changed (0 or 1).
    void xStartUp_Click(int value);
    // Character filters: the character a typed one becomes, or 0 when it is dropped.
    static char txtServer_KeyPress(char typed);
    static char txtDirectory_KeyPress(char typed);
    // Texts as the user edits them.
    void SetServerText(const std::string& text);
    void SetDirectoryText(const std::string& text);
    // Removes the tray icon and releases the engine objects.
    void Form_Unload();
    // Tray menu Exit: unload, then end the program.
    void mPopExit_Click();

    // --- Controls -------------------------------------------------------------------------
    const std::string& Caption() const { return caption_; }
    const std::string& txtServer() const { return txtServer_; }
    const std::string& txtDirectory() const { return txtDirectory_; }
    bool txtServerEnabled() const { return inputsEnabled_; }
    bool txtDirectoryEnabled() const { return inputsEnabled_; }
    bool btnStartEnabled() const { return btnStartEnabled_; }
    bool btnPauseEnabled() const { return btnPauseEnabled_; }
    bool btnSettingsEnabled() const { return btnSettingsEnabled_; }
    int xStartUp() const { return xStartUp_; }
    int List1Index() const { return list1Index_; }
    // Row 1 (stock queries) and 2 (orders), box 1 to 6.
    const std::string& txtItem(int row, int box) const { return items_[row - 1][box]; }
    const std::string& txtCntr() const { return txtCntr_; }
    const std::string& txtCount() const { return txtCount_; }
    const std::string& txtStartTime() const { return txtStartTime_; }
    const std::string& txtEndTime() const { return txtEndTime_; }
    // What the window tells beside its controls: that requests cannot be claimed here (empty
    // while nothing needs telling).
    const std::string& Notice() const { return notice_; }
    const QTimer& Timer1() const { return timer_; }
    // Runs while the program waits for a share that did not answer at start-up.
    const QTimer& ShareWait() const { return shareWait_; }
    bool IsPassRunning() const { return passRunning_; }

    // Written by the purchase-order processing while it works through the items.
    void SetProgress(const std::string& item, const std::string& count);
    std::string DirectoryText() const override { return txtDirectory_; }
    void ShowItemCount(const std::string& count) override;
    void ShowItemNumber(const std::string& item) override;
    // Paints the progress boxes at once when a change of them is still waiting for its painting
    // (the polling pass calls it when a request is done, so the last item's number is on
    // the screen while the next request is looked at).
    void FlushProgress();

signals:
    // Any control value changed; the view mirrors the values.
    void changed();
    // Start-up wants the window shown, then the tray icon added; unload wants it removed.
    void showWindow();
    void addTrayIcon();
    void removeTrayIcon();
    // The window paints its changed boxes at once, without running events.
    void repaintNow();
    // A request was set aside: told without a box, so that nothing waits for a person.
    void notice(const std::string& text);

private:
    // Tests put in their own progress clock.
    friend class WindowTiming;

    void SetStopped();
    // The request, archive and test folders (one level each; existing or unreachable is no error).
    void MakeShareFolders();
    // Removes what this program left half-written on this host in the share's folders and the
    // settings folders.
    void RemoveOwnLeftovers();
    // The same for the share's folders alone.
    void RemoveOwnShareLeftovers();
    // Makes the engine objects (and the share's folders) the start-up could not make; true
    // when they are there.
    bool CatchUpWithShare();
    // When the request share answers again after it was found without its request folder: its
    // folders made and cleaned as start-up does; true when the request folder is there.
    bool CatchUpWithRequestShare();
    // What start-up does on the request share: its folders made, this program's leftovers and
    // stale journals cleared.
    void CatchUpWithShareFolders();
    void StartShareWait();
    // The wait ends once the engine objects and the request folder are both there.
    void StopShareWaitWhenCaughtUp();
    // When the business share answers: catches up with it and starts monitoring when
    // "Auto-Start" says so and monitoring is not on already.
    void StartOnceShareAnswers();
    // The start "Auto-Start" asks for: Start's pick-ticket check (its box, and monitoring stays
    // stopped), then StartMonitoring; no connection test.
    void AutoStart();
    void RefreshStatistics();
    // The error stream, and the window's notice: the rest of the folder is answered meanwhile.
    void TellSetAside(const std::string& text);
    // Said once per run, on the error stream and in the window: requests are answered without
    // a claim, so another instance on the folder could answer them as well.
    void TellClaimsUnavailable(int problem);
    std::string RequestFolder() const;
    // The progress boxes changed: painted at once unless they were painted less than
    // kProgressPaintInterval ago, else left to FlushProgress or the event loop.
    void PaintProgress();

    MonitorEngine engine_;
    QTimer timer_;
    QTimer shareWait_;
    bool passRunning_ = false;
    // The request share held no request folder when last looked at (not mounted yet, or gone
    // since): each poll and share-wait tick looks whether it answers.
    bool requestShareAway_ = false;
    // A handler that may run a nested event loop (a box, a modal window) is running.
    int busy_ = 0;
    // Lower-cased names of requests that wait for the answer of another of the same name.
    std::set<std::string> waitingRequests_;
    // Requests that ended the program at earlier starts, passed over by this one.
    SetAsideRequests setAside_{[this](const std::string& text) { TellSetAside(text); }};
    // Paces the progress painting; empty: the steady clock.
    Clock clock_;
    std::optional<std::chrono::steady_clock::time_point> lastProgressPaint_;
    bool progressPaintPending_ = false;

    std::string caption_;
    std::string txtServer_;
    std::string txtDirectory_;
    bool inputsEnabled_ = true;
    bool btnStartEnabled_ = true;
    bool btnPauseEnabled_ = false;
    bool btnSettingsEnabled_ = true;
    int xStartUp_ = 0;
    int list1Index_ = -1;
    std::array<std::array<std::string, 7>, 2> items_{};
    std::string txtCntr_;
    std::string txtCount_;
    std::string txtStartTime_;
    std::string txtEndTime_;
    std::string notice_;
};

}  // namespace zel::processor
