#include "processor/windows/monitor.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <QTime>
#include <cctype>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>

#include "engine/text.h"
#include "platform/convert.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/seams.h"
#include "platform/settings.h"
#include "processor/answers/order_journal.h"
#include "processor/cycle/request_cycle.h"
#include "processor/cycle/request_listing.h"
#include "processor/globals.h"
#include "processor/request_documents.h"
#include "processor/statistics.h"
#include "processor/utilities.h"
#include "processor/windows/error_window.h"
#include "processor/windows/settings_window.h"

namespace zel::processor {
namespace {

MonitorController* gInstance = nullptr;

// The business workstation's server name when its own settings name none and the catalog
// settings name none either.
constexpr const char* kDefaultCorvelHost = "QUOMAR";

std::string Get(const char* key, const std::string& def) {
    return platform::GetSetting(kSettingsApp, kSettingsSection, key, def);
}
void Save(const char* key, const std::string& value) {
    platform::SaveSetting(kSettingsApp, kSettingsSection, key, value);
}

// The folders of this program on the server share: requests, archive, test copies of the logs.
constexpr const char* kShareFolders[] = {kRequestFolderName, kArchiveFolderName, kTestFolderName};

// The request share, \\HOST\DadAri: it may be mounted later than the business share, or
// anew (and empty) while the program runs.
std::string RequestShare() { return "\\\\" + gState.gHost + "\\DadAri"; }
std::string ShareFolder(const char* name) { return RequestShare() + "\\" + name; }

std::string TimeText() { return QTime::currentTime().toString("h:mm:ss AP").toStdString(); }

// "Dulvan  Revision major.minor.revision" from the application's version text.
std::string TitleText() {
    QStringList parts = QCoreApplication::applicationVersion().split('.');
    auto part = [&](int i) { return i < parts.size() ? parts[i].toInt() : 0; };
    return "Dulvan  Revision " + std::to_string(part(0)) + "." + std::to_string(part(1)) + "." +
           std::to_string(part(2));
}

// Start-up steps from the folder creation on are skipped when they fail.
template <class Step>
void Skippable(Step step) {
    try {
        step();
    } catch (const std::exception&) {
        // The program must come up even so; the polling and the share wait meet the cause again.
    }
}

struct BusyScope {
    explicit BusyScope(int& depth) : depth_(depth) { ++depth_; }
    ~BusyScope() { --depth_; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    int& depth_;
};

class WaitCursor {
public:
    WaitCursor()
        : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (active_) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor() {
        if (active_) QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool active_;
};

}  // namespace

MonitorController::MonitorController() {
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, [this] { RunHandler([this] { Timer1_Timer(); }); });
    connect(&shareWait_, &QTimer::timeout, this,
            [this] { RunHandler([this] { ShareWait_Timer(); }); });
    items_[0][0] = "Stock Queries ";
    items_[1][0] = "Orders ";
    gInstance = this;
    gMonitorView = this;
}

MonitorController::~MonitorController() {
    if (gInstance == this) gInstance = nullptr;
    if (gMonitorView == this) gMonitorView = nullptr;
}

MonitorController* MonitorController::Instance() { return gInstance; }

std::string MonitorController::RequestFolder() const { return ShareFolder(kRequestFolderName); }

void MonitorController::Form_Load() {
    // 1-2: the program-wide engine objects, then the window's own one. Without them (the share
    // is often mounted after the session starts) the load goes on, and the objects are made
    // once the share answers.
    MonitorEngine::LoadCatalogSettings();
    if (!engine_.Create()) platform::MsgBox("Error... could not initialize cBusinessBasic. ");

    // Until the folders are made, a failing step is shown and the next one runs, so that a
    // damaged settings store or notes file cannot keep the program from starting.
    auto shown = [](auto step) {
        try {
            step();
        } catch (const platform::RuntimeError& e) {
            platform::MsgBox("Error " + std::to_string(e.Number()) + ": " + e.Description(),
                             platform::MsgButtons::Ok, "", platform::MsgIcon::Critical);
        }
    };

    // 3: notes sent with every stock-query answer.
    shown([] {
        std::string notes = platform::JoinPath(platform::ProgramFolder(), "QueryNotes.txt");
        if (platform::FileExists(notes))
            gState.gQueryNotes = engine::Split(platform::ReadWholeFile(notes), "\r\n");
    });

    // 4: stored settings. Values that are not numbers read as their defaults would.
    shown([] {
        gState.gHost = Get("Host", "");
        gState.gDirectory = Get("Directory", "");
        gState.gAutoStart = Int16Or(Get("Auto-Start", "0"), 0);
        gState.gInterval = Int16Or(Get("Interval", std::to_string(kIntervalCount - 1)), -1);
        gState.gLogging = Get("Logging", "0") == "1";
        gState.gArchive = Get("Archive", "1") == "1";
    });

    // 5: show them; the interval choice runs as the list's click does.
    txtServer_ = gState.gHost;
    txtDirectory_ = gState.gDirectory;
    xStartUp_ = gState.gAutoStart < 1 ? 0 : (gState.gAutoStart == 2 ? 2 : 1);
    shown([this] { List1_Click(gState.gInterval); });

    // 6: title with the program's version.
    caption_ = TitleText();

    // 7: the business workstation's connection settings; a first run takes its host.
    shown([] {
        std::string fallbackHost = MonitorEngine::CatalogServer();
        if (fallbackHost.empty()) fallbackHost = kDefaultCorvelHost;
        std::string host = platform::GetSetting(kCorvelApp, kCorvelSection, "Host", fallbackHost);
        std::string current =
            platform::GetSetting(kCorvelApp, kCorvelSection, "CurrentDirectory", "QMR1");
        if (gState.gHost.empty()) {
            std::string suffix = current.size() > 3 ? current.substr(3) : std::string();
            Save("Host", host);
            Save("Directory", suffix);
            gState.gHost = host;
            gState.gDirectory = suffix;
        }
        platform::SaveSetting(kCorvelApp, kCorvelSection, "Host", host);
        platform::SaveSetting(kCorvelApp, kCorvelSection, "CurrentDirectory", current);
    });
    emit changed();

    // 8: the folders on the server share, and this program's leftovers.
    MakeShareFolders();
    RemoveOwnLeftovers();
    requestShareAway_ = !FolderAnswers(RequestFolder());

    // 9: automatic start, without a connection test. Without the engine objects it waits for
    // the share.
    Skippable([this] {
        if (xStartUp_ >= 1 && engine_.Ready())
            AutoStart();
        else
            StopMonitoring();
    });

    // 10: the settings window, hidden; its load sets the processing flags.
    Skippable([] { SettingsController::Instance().Load(); });
    // Orders whose clean-up a crash cut short are finished (with the archive setting just
    // read) before the first polling pass looks at the folder.
    Skippable([this] { DiscardStaleJournals(RequestFolder()); });

    // 11-12: the window, then the tray icon.
    emit showWindow();
    emit addTrayIcon();

    if (!engine_.Ready() || requestShareAway_) StartShareWait();
}

void MonitorController::StartShareWait() {
    if (shareWait_.isActive()) return;
    shareWait_.setInterval(ErrorController::RetryInterval());
    shareWait_.start();
}

void MonitorController::StopShareWaitWhenCaughtUp() {
    if (engine_.Ready() && !requestShareAway_) shareWait_.stop();
}

// Temporary files this program left on this host when it was ended mid-write; another
// writer's (the agent's, possibly from another machine) are never touched. Both settings stores
// (ours and the business workstation's, written back at start-up) are replaced the same way, so
// their folders are cleaned too.
void MonitorController::RemoveOwnLeftovers() {
    RemoveOwnShareLeftovers();
    Skippable([] {
        for (const char* app : {kSettingsApp, kCorvelApp})
            platform::RemoveOwnLeftovers(platform::FolderPart(platform::SettingsFilePath(app)));
    });
}

void MonitorController::RemoveOwnShareLeftovers() {
    Skippable([] {
        for (const char* name : kShareFolders) platform::RemoveOwnLeftovers(ShareFolder(name));
    });
}

void MonitorController::MakeShareFolders() {
    for (const char* name : kShareFolders)
        Skippable([name] { platform::MakeDirectory(ShareFolder(name)); });
}

bool MonitorController::CatchUpWithShare() {
    if (engine_.Ready()) return true;
    if (!engine_.CreateMissing()) return false;
    CatchUpWithShareFolders();
    return true;
}

void MonitorController::CatchUpWithShareFolders() {
    MakeShareFolders();
    // The share was not there when start-up cleaned it.
    RemoveOwnShareLeftovers();
    Skippable([this] { DiscardStaleJournals(RequestFolder()); });
    requestShareAway_ = !FolderAnswers(RequestFolder());
    StopShareWaitWhenCaughtUp();
}

bool MonitorController::CatchUpWithRequestShare() {
    if (!requestShareAway_) return true;
    if (!FolderAnswers(RequestShare())) return false;
    CatchUpWithShareFolders();
    return !requestShareAway_;
}

void MonitorController::StartOnceShareAnswers() {
    if (MonitorEngine::ShareAnswers() && CatchUpWithShare() && xStartUp_ >= 1 && !timer_.isActive())
        AutoStart();
}

void MonitorController::AutoStart() {
    // Nobody may be there to press Start, but the counter is the same: an order must never be
    // handed a number of 0 or below. Before the settings window's first load its field would
    // show the stored counter.
    SettingsController& settings = SettingsController::Instance();
    const std::string counter =
        settings.IsLoaded() ? settings.TicketCounter() : Get("PickTicketCounter", "");
    if (LeadingNumber(counter) <= 0) {
        platform::MsgBox("Pick Ticket Counter Must be Set!");
        StopMonitoring();
        return;
    }
    StartMonitoring();
}

void MonitorController::ShareWait_Timer() {
    // Never inside another handler's box or modal window: it goes on once that is closed.
    if (busy_ > 0 || passRunning_) return;
    BusyScope busy{busy_};
    // Only the wait for the business share starts monitoring: a request share that went away
    // does not undo a Pause.
    if (!engine_.Ready()) StartOnceShareAnswers();
    CatchUpWithRequestShare();
}

void MonitorController::SetStopped() {
    btnStartEnabled_ = true;
    btnSettingsEnabled_ = true;
    btnPauseEnabled_ = false;
    inputsEnabled_ = true;
}

void MonitorController::StartMonitoring() {
    inputsEnabled_ = false;
    emit changed();
    if (!FolderAnswers(BusinessDataFolder(txtServer_, txtDirectory_))) {
        platform::MsgBox(
            "Invalid or Inaccessable Source.  Check either Server or Directory for validity.",
            platform::MsgButtons::Ok, "Invalid Path", platform::MsgIcon::Information);
        inputsEnabled_ = true;
        emit changed();
        btnPause_Click();
        return;
    }
    btnPauseEnabled_ = true;
    btnStartEnabled_ = false;
    btnSettingsEnabled_ = false;
    CatchUpWithShare();
    try {
        gState.gFile0Block1 = engine_.BlockReadFile("FILE0", 1, true);
        gState.gFile0Block401 = engine_.BlockReadFile("FILE0", 401, false);
        gState.gMultiBranch =
            gState.gFile0Block401.size() >= 309 && gState.gFile0Block401[308] == 'Y';
        gState.gRestrictLines =
            gState.gFile0Block401.size() >= 45 && gState.gFile0Block401[44] == 'Y' ? 1 : 0;
        Save("Host", txtServer_);
        Save("Directory", txtDirectory_);
        Save("Auto-start", std::to_string(xStartUp_));
    } catch (const platform::RuntimeError& e) {
        // Without the business system's option blocks, or with a store that cannot keep the
        // settings, the requests cannot be answered as configured: stay stopped and say why.
        platform::MsgBox("Error " + std::to_string(e.Number()) + ": " + e.Description(),
                         platform::MsgButtons::Ok, "", platform::MsgIcon::Critical);
        timer_.stop();
        SetStopped();
        emit changed();
        return;
    }
    timer_.start();
    emit changed();
}

void MonitorController::StopMonitoring() {
    timer_.stop();
    SetStopped();
    emit changed();
}

void MonitorController::btnStart_Click() {
    BusyScope busy{busy_};
    SettingsController& settings = SettingsController::Instance();
    settings.EnsureLoaded();
    if (LeadingNumber(settings.TicketCounter()) <= 0) {
        platform::MsgBox("Pick Ticket Counter Must be Set!");
        btnSettings_Click();
        return;
    }
    if (!timer_.isActive()) {
        WaitCursor wait;
        StartMonitoring();
    }
    gState.gPauseRequested = false;
    CheckConnection();
    // Pause chosen in the connection-error window means what it says here too.
    if (gState.gPauseRequested) {
        btnPause_Click();
        return;
    }
    // The share may answer now: what the start-up could not make is made, as the wait would.
    if (!engine_.Ready()) StartOnceShareAnswers();
}

void MonitorController::btnPause_Click() {
    if (timer_.isActive()) StopMonitoring();
}

void MonitorController::btnSettings_Click() {
    BusyScope busy{busy_};
    SettingsController::Instance().ShowModal();
}

void MonitorController::btnReset_Click() {
    try {
        ResetStatistics();
    } catch (const std::exception&) {
        // The counters stay as they are; a click must not end the program.
    }
}

void MonitorController::Timer1_Timer() {
    if (passRunning_) return;
    passRunning_ = true;
    struct PassEnd {
        bool& running;
        ~PassEnd() { running = false; }
    } passEnd{passRunning_};

    const std::string folder = RequestFolder();
    std::optional<std::vector<std::string>> listed;
    try {
        listed = platform::ListFolder(folder + "\\*.req");
    } catch (const std::exception&) {
        // A folder that cannot be listed has no requests this pass; the next tick looks again.
        listed = std::vector<std::string>{};
    }
    // A request folder that is not there went with its share (mounted anew, or removed by
    // someone): it is made again as start-up makes it, and then looked for at the share wait's
    // pace. One that is there but cannot be opened is no such folder.
    if (!listed && !requestShareAway_ && !FolderAnswers(folder)) {
        requestShareAway_ = true;
        if (!CatchUpWithRequestShare()) StartShareWait();
    }
    const std::vector<std::string> names = listed.value_or(std::vector<std::string>{});
    for (const std::string& f : RequestsOfThisPass(folder, names, waitingRequests_)) {
        if (f.empty()) break;
        std::string path = folder + "\\" + f;
        // Other instances may poll this folder too (a second start, another workstation on the
        // share). The request is ours from here until it is answered and gone; one held by
        // another instance, or answered and gone already, is theirs. Where the share cannot
        // lock at all the request is answered as it always was, and the user is told.
        platform::FileClaim claim(platform::LowerCase(path));
        if (claim.Result() == platform::FileClaim::Outcome::Held ||
            claim.Result() == platform::FileClaim::Outcome::Gone)
            continue;
        if (claim.Result() == platform::FileClaim::Outcome::Unavailable)
            TellClaimsUnavailable(claim.Problem());
        txtCntr_.clear();
        txtCount_.clear();
        txtStartTime_ = TimeText();
        emit changed();

        gState.gPauseRequested = false;
        CheckConnection();
        if (gState.gPauseRequested) {
            btnPause_Click();
            return;
        }
        // A request that another party took away since the listing (the connection-error
        // window may have waited for minutes) is not ours to answer: answering it would send
        // back an exceptions document for a request nobody made.
        bool present = false;
        try {
            present = platform::IsRegularFile(path);
        } catch (const std::exception&) {
            // Not seen as present; the next pass looks at it again.
        }
        if (!present || setAside_.PassOver(path)) continue;
        ProcessRequest(path, claim);
        setAside_.Processed(path);
        FlushProgress();
        txtEndTime_ = TimeText();
        emit changed();
    }
    RefreshStatistics();
}

void MonitorController::TellSetAside(const std::string& text) {
    platform::UnattendedBox({text, "", platform::MsgButtons::Ok, platform::MsgIcon::Warning});
    emit notice(text);
}

void MonitorController::TellClaimsUnavailable(int problem) {
    if (!notice_.empty()) return;
    notice_ = "Requests in " + RequestFolder() + " cannot be claimed here (" +
              std::strerror(problem) +
              "): another Dulvan polling this folder may answer the same requests, and export "
              "the same orders, again.";
    std::cerr << notice_ << std::endl;
    emit changed();
}

void MonitorController::RefreshStatistics() {
    std::vector<std::string> values;
    try {
        values = ReadStatistics();
    } catch (const std::exception&) {
        // The boxes keep what they show until the store can be read again.
        return;
    }
    // An idle pass changes nothing, and the window is not painted again for it.
    bool any = false;
    for (int row = 1; row <= 2; ++row)
        for (int k = 1; k <= 6; ++k) {
            std::string& shown = items_[row - 1][k];
            const std::string& value = values[static_cast<std::size_t>((row - 1) * 6 + k - 1)];
            if (shown == value) continue;
            shown = value;
            any = true;
        }
    if (any) emit changed();
}

void MonitorController::List1_Click(int index) {
    if (index < 0 || index >= kIntervalCount) index = kIntervalCount - 1;
    list1Index_ = index;
    timer_.setInterval(kIntervals[index]);
    emit changed();
    Save("Interval", std::to_string(index));
}

void MonitorController::xStartUp_Click(int value) {
    xStartUp_ = value;
    emit changed();
    Save("Auto-start", std::to_string(value));
}

char MonitorController::txtServer_KeyPress(char typed) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(typed)));
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
    if (c == 37 || c == 39 || c == 8 || c == 46) return c;
    return 0;
}

char MonitorController::txtDirectory_KeyPress(char typed) {
    if (typed >= '0' && typed <= '9') return typed;
    if (typed == 37 || typed == 39 || typed == 8 || typed == 46) return typed;
    return 0;
}

void MonitorController::SetServerText(const std::string& text) {
    if (text == txtServer_) return;
    txtServer_ = text;
    emit changed();
}

void MonitorController::SetDirectoryText(const std::string& text) {
    if (text == txtDirectory_) return;
    txtDirectory_ = text;
    emit changed();
}

void MonitorController::SetProgress(const std::string& item, const std::string& count) {
    txtCntr_ = item;
    txtCount_ = count;
    emit changed();
}

void MonitorController::ShowItemCount(const std::string& count) {
    txtCount_ = count;
    emit changed();
    PaintProgress();
}

void MonitorController::ShowItemNumber(const std::string& item) {
    txtCntr_ = item;
    emit changed();
    PaintProgress();
}

void MonitorController::PaintProgress() {
    const auto now = clock_ ? clock_() : std::chrono::steady_clock::now();
    // The boxes already hold the new values; a skipped painting only waits for the next one.
    if (lastProgressPaint_ && now - *lastProgressPaint_ < kProgressPaintInterval) {
        progressPaintPending_ = true;
        return;
    }
    lastProgressPaint_ = now;
    progressPaintPending_ = false;
    emit repaintNow();
}

void MonitorController::FlushProgress() {
    if (!progressPaintPending_) return;
    progressPaintPending_ = false;
    lastProgressPaint_ = clock_ ? clock_() : std::chrono::steady_clock::now();
    emit repaintNow();
}

void MonitorController::Form_Unload() {
    timer_.stop();
    shareWait_.stop();
    emit removeTrayIcon();
    engine_.Release();
}

void MonitorController::mPopExit_Click() {
    Form_Unload();
    platform::EndProgram(0);
}

}  // namespace zel::processor
