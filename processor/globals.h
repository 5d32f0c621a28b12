#pragma once
// Dulvan's program-wide values. They are set at start-up, by the settings window and by the
// request processor, and read across the request processing; everything runs on the one window
// thread, so they are plain variables without locking.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records/parts.h"

namespace zel::processor {

// Where Dulvan keeps its settings and counters in the per-user settings store.
inline constexpr const char* kSettingsApp = "Zel";
inline constexpr const char* kSettingsSection = "Distributor\\Settings\\Connection";
inline constexpr const char* kStatisticsSection = "Distributor\\Settings\\Connection\\Statistics";

// The business workstation's own connection settings, read (and written back) at start-up.
inline constexpr const char* kCorvelApp = "Corvel";
inline constexpr const char* kCorvelSection = "Connection";

// --- Set at start-up by the monitor window -------------------------------------------------
// Lines of the notes file beside the program; unset when there is no such file.
inline std::optional<std::vector<std::string>> gQueryNotes;
// Server name and company directory suffix that polling and the connection test use.
inline std::string gHost;
inline std::string gDirectory;
inline std::int16_t gAutoStart = 0;
inline std::int16_t gInterval = 0;

// --- Processing flags (start-up and the settings window) ------------------------------------
// Logging: the time log is copied into the test folder and then holds the answer.
inline bool gLogging = false;
// Archive: request and time log are copied into the archive folder before they are deleted.
inline bool gArchive = false;
// 1 shows the on-hand quantity in query answers, 2 the queried quantity.
inline std::int16_t gQueryResp = 0;
inline bool gSetupParts = false;
inline std::string gEmergencyMessage;

// --- Set when monitoring starts, from the business system's FILE0 ---------------------------
inline std::string gFile0Block1;
inline std::string gFile0Block401;
inline bool gMultiBranch = false;
inline std::int16_t gRestrictLines = 0;

// --- Set while requests are processed -------------------------------------------------------
// The user chose Pause in the connection-error window; the query's dealer check stops there.
inline bool gPauseRequested = false;
// "ZELINFO" "TestFlag" of the current request, trimmed and upper-cased ("Y": test order).
inline std::string gTestFlag;
// The pick-ticket (order) number of the current purchase order.
inline std::int32_t gPickTicketNumber = 0;
// The state rule dropped the current query item's product line.
inline bool gUnauthorizedLine = false;
// Full path (lower-cased) of the request being processed; "" between requests.
inline std::string gCurrentRequest;
// The request a restart of the program happened on (handed over by the instance that
// restarted), "" when this instance was not started by a restart.
inline std::string gRestartedForRequest;
// The asked-for customer's own state when the customer lookup followed a link to another
// account; empty in every other case.
inline std::string gOriginalCustomerState;

// --- The alternates tables, filled by GetDbAlternates ---------------------------------------
// Entries 1 to 20 hold the alternates of the last walk; entry 0 is the callers' own.
inline constexpr std::size_t kAltPartNumberWidth = 21;
inline constexpr std::int32_t kMaxAlternates = 20;
// Part numbers, each exactly 21 characters (padded with spaces).
inline std::array<std::string, kMaxAlternates + 1> gAltPartNumbers = [] {
    std::array<std::string, kMaxAlternates + 1> blank;
    blank.fill(std::string(kAltPartNumberWidth, ' '));
    return blank;
}();
// On hand of each alternate (0 when it is negative).
inline std::array<std::int32_t, kMaxAlternates + 1> gAltQuantities{};
// Sum of the alternates' on hand, negative ones included.
inline std::int32_t gAltTotal = 0;
// The parts record of the last alternate looked up.
inline records::clsParts gAltPart;

}  // namespace zel::processor
