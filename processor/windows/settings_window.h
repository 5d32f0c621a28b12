#pragma once
// The "Default Settings" window's behaviour (frmSettings): its controls as values, their event
// handlers, loading and unloading. The widget (settings_window_widget.h) only mirrors these
// values and forwards the user's actions, so tests drive this class directly.
//
// The window is program-wide: loaded hidden at start-up, shown modally by the monitor, unloaded
// by Close. Its pick-ticket counter field is the live source of pick-ticket numbers; using the
// field while the window is unloaded loads it first (EnsureLoaded).
#include <QObject>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zel::processor {

class SettingsController : public QObject {
    Q_OBJECT

public:
    // Background colours of the counter field.
    static constexpr std::uint32_t kYellow = 65535;
    static constexpr std::uint32_t kWhite = 16777215;

    static SettingsController& Instance();

    bool IsLoaded() const { return loaded_; }
    // Form_Load: reads the store, fills the controls and sets the processing flags.
    void Load();
    void EnsureLoaded() {
        if (!loaded_) Load();
    }
    // Drops the controls' values; the next use loads the window again.
    void Unload();
    // Loads the window when needed and shows it modally until it is unloaded.
    void ShowModal();

    // --- Controls ------------------------------------------------------------------------
    bool chkArchive() const { return chkArchive_; }
    bool chkLogging() const { return chkLogging_; }
    bool chkSetupUnknown() const { return chkSetupUnknown_; }
    bool chkSkipDB() const { return chkSkipDB_; }
    bool optQOH() const { return optQOH_; }
    bool optQueryQty() const { return optQueryQty_; }
    const std::string& TicketCounter() const { return ticketCounter_; }
    const std::string& txtPrinter() const { return txtPrinter_; }
    const std::string& EmergencyMessage() const { return emergencyMessage_; }
    std::uint32_t TicketCounterBackColor() const { return ticketCounterBackColor_; }

    // --- Events --------------------------------------------------------------------------
    // A check box's new value (runs its click handler when the value changes).
    void SetArchive(bool ticked);
    void SetLogging(bool ticked);
    void SetSetupUnknown(bool ticked);
    void SetSkipDB(bool ticked);
    // Selecting an option (runs its click handler).
    void SelectQOH();
    void SelectQueryQty();
    // New texts (run the change handlers when the text changes).
    void SetTicketCounter(const std::string& text);
    void SetPrinter(const std::string& text);
    void SetEmergencyMessage(const std::string& text);
    // EmergencyMessage_KeyPress: what a typed character becomes.
    static char EmergencyMessageKey(char typed);
    // The pick-ticket numbering moved the counter on to `next`, in the field and in the store.
    void CounterDrawn(const std::string& next);
    // btnClose_Click: stores printer, counter and message, then unloads the window. The counter
    // is stored only when the user changed the field: the store may be ahead of the field, moved
    // on by another instance sharing it.
    void btnClose_Click();

    // How the modal window is shown. The default shows the frmSettings widget; a test may
    // replace it (nullptr: no widget, the test unloads the window itself).
    using ViewFactory = std::function<std::unique_ptr<QWidget>(SettingsController&)>;
    static ViewFactory SetViewFactory(ViewFactory factory);

signals:
    // Any control value changed; the view mirrors the values.
    void changed();
    // txtPrinter_Change wants the input focus back in the printer field.
    void printerFocusRequested();
    void unloaded();

private:
    void ClearControls();
    // A check box's click: its program-wide flag (if any) and its stored value follow it.
    void ClickBox(bool& box, bool* flag, const char* key, bool ticked);

    bool loaded_ = false;
    bool chkArchive_ = false;
    bool chkLogging_ = false;
    bool chkSetupUnknown_ = false;
    bool chkSkipDB_ = false;
    bool optQOH_ = false;
    bool optQueryQty_ = false;
    std::string ticketCounter_;
    // The counter as the program last put it into the field (loaded from the store, or moved on
    // by a draw); a field that differs from it was typed by the user.
    std::string ticketCounterFilled_;
    std::string txtPrinter_;
    std::string emergencyMessage_;
    std::uint32_t ticketCounterBackColor_ = kWhite;
};

}  // namespace zel::processor
