#pragma once
// Dulvan's program-wide values. They are set at start-up, by the settings window and by the
// request processor, and read across the request processing; everything runs on the one window
// thread, so they are plain variables without locking. What belongs to one request (its
// alternates, its customer, its order) travels with the calls instead.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zel::processor {

// Where Dulvan keeps its settings and counters in the per-user settings store.
inline constexpr const char* kSettingsApp = "Zel";
inline constexpr const char* kSettingsSection = "Distributor\\Settings\\Connection";
inline constexpr const char* kStatisticsSection = "Distributor\\Settings\\Connection\\Statistics";
// Beside the store: the lock under which the instances sharing it move the pick-ticket counter
// and the statistics counters.
inline constexpr const char* kCounterLockEnding = ".counter-lock";

// The business workstation's own connection settings, read (and written back) at start-up.
inline constexpr const char* kCorvelApp = "Corvel";
inline constexpr const char* kCorvelSection = "Connection";

// Every program-wide value of Dulvan, in one place so that a test starts from the program's
// initial state with one assignment (gState = ProgramState{}). The members keep the names the
// program's procedures know them by.
struct ProgramState {
    // --- Set at start-up by the monitor window ---------------------------------------------
    // Lines of the notes file beside the program; unset when there is no such file.
    std::optional<std::vector<std::string>> gQueryNotes;
    // Server name and company directory suffix that polling and the connection test use.
    std::string gHost;
    std::string gDirectory;
    std::int16_t gAutoStart = 0;
    std::int16_t gInterval = 0;

    // --- Processing flags (start-up and the settings window) --------------------------------
    // Logging: the time log is copied into the test folder and then holds the answer.
    bool gLogging = false;
    // Archive: request and time log are copied into the archive folder before they are deleted.
    bool gArchive = false;
    // 1 shows the on-hand quantity in query answers, 2 the queried quantity.
    std::int16_t gQueryResp = 0;
    bool gSetupParts = false;
    std::string gEmergencyMessage;

    // --- Set when monitoring starts, from the business system's FILE0 -----------------------
    std::string gFile0Block1;
    std::string gFile0Block401;
    bool gMultiBranch = false;
    std::int16_t gRestrictLines = 0;

    // --- Set while requests are processed ---------------------------------------------------
    // The user chose Pause in the connection-error window; the query's dealer check stops there.
    bool gPauseRequested = false;
    // Full path (lower-cased) of the request being processed; "" between requests.
    std::string gCurrentRequest;
    // The request a restart of the program happened on (handed over by the instance that
    // restarted), "" when this instance was not started by a restart.
    std::string gRestartedForRequest;
};

inline ProgramState gState;

}  // namespace zel::processor
