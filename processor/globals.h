#pragma once
// Dulvan's program-wide values. They are set at start-up, by the settings window and by the
// request processor, and read across the request processing; everything runs on the one window
// thread, so they are plain variables without locking.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/order.h"
#include "records/parts.h"

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

// Alternates tables: entries 1 to 20 hold the alternates of the last walk; entry 0 is the
// callers' own.
inline constexpr std::size_t kAltPartNumberWidth = 21;
inline constexpr std::int32_t kMaxAlternates = 20;
// Remark lines of the emergency message: entries 1 to 20 are used, each exactly 36 characters.
inline constexpr int kWrappedLineWidth = 36;
inline constexpr int kWrappedLineCount = 20;

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
    // "ZELINFO" "TestFlag" of the current request, trimmed and upper-cased ("Y": test order).
    std::string gTestFlag;
    // The pick-ticket (order) number of the current purchase order.
    std::int32_t gPickTicketNumber = 0;
    // The state rule dropped the current query item's product line.
    bool gUnauthorizedLine = false;
    // Full path (lower-cased) of the request being processed; "" between requests.
    std::string gCurrentRequest;
    // The request a restart of the program happened on (handed over by the instance that
    // restarted), "" when this instance was not started by a restart.
    std::string gRestartedForRequest;
    // The asked-for customer's own state when the customer lookup followed a link to another
    // account; empty in every other case.
    std::string gOriginalCustomerState;

    // --- The alternates tables, filled by GetDbAlternates -----------------------------------
    // Part numbers, each exactly 21 characters (padded with spaces).
    std::array<std::string, kMaxAlternates + 1> gAltPartNumbers = [] {
        std::array<std::string, kMaxAlternates + 1> blank;
        blank.fill(std::string(kAltPartNumberWidth, ' '));
        return blank;
    }();
    // On hand of each alternate (0 when it is negative).
    std::array<std::int32_t, kMaxAlternates + 1> gAltQuantities{};
    // Sum of the alternates' on hand, negative ones included.
    std::int32_t gAltTotal = 0;
    // The parts record of the last alternate looked up.
    records::clsParts gAltPart;

    // --- The emergency message cut into remark lines by WrapEmergencyMessage ----------------
    std::array<std::string, kWrappedLineCount + 1> gWrappedLines;

    // --- The order being built --------------------------------------------------------------
    // The lines of the WebTask being filled; none while no WebTask exists.
    std::shared_ptr<records::clsItems> gItems;
};

inline ProgramState gState;

}  // namespace zel::processor
