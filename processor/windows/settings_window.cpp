#include "processor/windows/settings_window.h"

#include <QEventLoop>
#include <cctype>

#include "platform/seams.h"
#include "platform/settings.h"
#include "processor/globals.h"
#include "processor/request_documents.h"
#include "processor/utilities.h"
#include "processor/windows/placement.h"
#include "processor/windows/settings_window_widget.h"

namespace zel::processor {
namespace {

std::string Stored(const char* key, const char* def) {
    return platform::GetSetting(kSettingsApp, kSettingsSection, key, def);
}

void Store(const char* key, const std::string& value) {
    platform::SaveSetting(kSettingsApp, kSettingsSection, key, value);
}

SettingsController::ViewFactory& Factory() {
    static SettingsController::ViewFactory f =
        [](SettingsController& c) -> std::unique_ptr<QWidget> {
        return std::make_unique<frmSettings>(c);
    };
    return f;
}

}  // namespace

SettingsController& SettingsController::Instance() {
    static SettingsController* instance = new SettingsController;  // lives as long as the program
    return *instance;
}

SettingsController::ViewFactory SettingsController::SetViewFactory(ViewFactory factory) {
    ViewFactory old = std::move(Factory());
    Factory() = std::move(factory);
    return old;
}

void SettingsController::ClearControls() {
    chkArchive_ = chkLogging_ = chkSetupUnknown_ = chkSkipDB_ = false;
    optQOH_ = optQueryQty_ = false;
    ticketCounter_.clear();
    ticketCounterFilled_.clear();
    txtPrinter_.clear();
    emergencyMessage_.clear();
    ticketCounterBackColor_ = kWhite;
}

void SettingsController::Load() {
    ClearControls();
    loaded_ = true;

    // A stored choice that is not a small whole number selects neither option.
    gState.gQueryResp = Int16Or(Stored("QueryResp", "2"), 0);
    if (gState.gQueryResp == 1)
        SelectQOH();
    else if (gState.gQueryResp == 2)
        SelectQueryQty();

    std::string setupParts = Stored("SetupParts", "1");
    std::string skipDB = Stored("SkipDB", "0");

    SetPrinter(Stored("PickTicketPrinter", ""));
    SetTicketCounter(Stored("PickTicketCounter", ""));
    ticketCounterFilled_ = ticketCounter_;

    gState.gEmergencyMessage = Stored("EmergencyMessage", "");
    SetEmergencyMessage(gState.gEmergencyMessage);

    std::string logging = Stored("Logging", "0");
    std::string archive = Stored("Archive", "1");

    // Only ticking runs a box's handler; a box left unticked leaves its flag as it was.
    if (logging == "1") SetLogging(true);
    if (archive == "1") SetArchive(true);
    if (setupParts == "1") SetSetupUnknown(true);
    if (skipDB != "0") SetSkipDB(true);

    ticketCounterBackColor_ = LeadingNumber(ticketCounter_) <= 0 ? kYellow : kWhite;
    emit changed();
}

void SettingsController::Unload() {
    if (!loaded_) return;
    loaded_ = false;
    ClearControls();
    emit changed();
    emit unloaded();
}

void SettingsController::ShowModal() {
    EnsureLoaded();
    std::unique_ptr<QWidget> view;
    if (Factory()) view = Factory()(*this);
    QEventLoop loop;
    connect(this, &SettingsController::unloaded, &loop, &QEventLoop::quit);
    if (view) {
        view->setWindowModality(Qt::ApplicationModal);
        PlaceOverMonitor(*view);
        view->show();
    }
    if (loaded_) loop.exec();
    if (view) view->hide();
}

void SettingsController::ClickBox(bool& box, bool* flag, const char* key, bool ticked) {
    if (box == ticked) return;
    box = ticked;
    if (flag) *flag = ticked;
    Store(key, ticked ? "1" : "0");
    emit changed();
}

void SettingsController::SetArchive(bool ticked) {
    ClickBox(chkArchive_, &gState.gArchive, "Archive", ticked);
}
void SettingsController::SetLogging(bool ticked) {
    ClickBox(chkLogging_, &gState.gLogging, "Logging", ticked);
}
void SettingsController::SetSetupUnknown(bool ticked) {
    ClickBox(chkSetupUnknown_, &gState.gSetupParts, "SetupParts", ticked);
}
// "Skip DataBase Lookup" is stored and shown only; no processing flag follows it.
void SettingsController::SetSkipDB(bool ticked) { ClickBox(chkSkipDB_, nullptr, "SkipDB", ticked); }

void SettingsController::SelectQOH() {
    optQOH_ = true;
    optQueryQty_ = false;
    Store("QueryResp", "1");
    gState.gQueryResp = 1;
    emit changed();
}

void SettingsController::SelectQueryQty() {
    optQueryQty_ = true;
    optQOH_ = false;
    Store("QueryResp", "2");
    gState.gQueryResp = 2;
    emit changed();
}

void SettingsController::SetTicketCounter(const std::string& text) {
    if (text == ticketCounter_) return;
    ticketCounter_ = text;
    ticketCounterBackColor_ = LeadingNumber(text) <= 0 ? kYellow : kWhite;
    emit changed();
}

void SettingsController::CounterDrawn(const std::string& next) {
    SetTicketCounter(next);
    ticketCounterFilled_ = ticketCounter_;
}

void SettingsController::SetPrinter(const std::string& text) {
    if (text == txtPrinter_) return;
    txtPrinter_ = text;
    emit changed();
    if (!text.empty() && !IsNumeric(text)) {
        platform::MsgBox("Must be Numeric!");
        emit printerFocusRequested();
    }
}

void SettingsController::SetEmergencyMessage(const std::string& text) {
    if (text == emergencyMessage_) return;
    emergencyMessage_ = text;
    emit changed();
}

char SettingsController::EmergencyMessageKey(char typed) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(typed)));
}

void SettingsController::btnClose_Click() {
    Store("PickTicketPrinter", txtPrinter_);
    if (ticketCounter_ != ticketCounterFilled_) {
        // Not between another instance's read of the counter and its write of the next number.
        CounterLock lock;
        Store("PickTicketCounter", ticketCounter_);
    }
    Store("EmergencyMessage", emergencyMessage_);
    Unload();
}

}  // namespace zel::processor
