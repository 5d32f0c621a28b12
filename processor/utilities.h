#pragma once
// Small procedures of the request processor: pick-ticket numbers, the emergency message cut
// into remark lines, unit-of-measure texts, phone digits and the test that the business share
// answers. All run on the window thread.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/convert.h"
#include "platform/settings.h"
#include "processor/globals.h"

namespace zel::processor {

using platform::DigitsOnly;
using platform::Int16Or;

// The counter lock: held across every read and write of a counter shared by the programs on one
// settings store (the pick-ticket counter, the statistics), so that neither a draw, a save of
// counts, a Reset nor a counter typed into the settings window goes between another's read and
// its write. Raises the store's lock error (70, naming the lock) when another holder keeps it
// past the store's wait.
class CounterLock {
public:
    CounterLock();

private:
    platform::SettingsLock lock_;
};

// Hands out the next pick-ticket number from the settings window's counter field (loading the
// window first when it is not loaded; the stored counter when the program has no windows) and
// advances the field and the stored "PickTicketCounter" before the number is returned. Raises
// error 6 when the number or its successor leaves the 32-bit range, and the store's error when it
// cannot be written.
std::int32_t NextPickTicketNumber();

inline constexpr int kWrappedLineWidth = 36;
inline constexpr int kWrappedLineCount = 20;

// The emergency message as the order's remark lines.
struct EmergencyRemarks {
    // The number of lines.
    std::int16_t count = 0;
    // Entries 1 to 20 are used (entry 0 never), each exactly 36 characters; past the count blank.
    std::array<std::string, kWrappedLineCount + 1> wrappedLines;
};

// Cuts gState.gEmergencyMessage into remark lines (36 characters per line, breaking at the last
// space of a line where a word would be split). A message that needs more than 20 lines keeps
// its first 20.
EmergencyRemarks WrapEmergencyMessage();

// Text of a one-character unit-of-measure code; "" for a code that has no text.
std::string UnitOfMeasureText(const std::string& code);

// Returns at once when the business data folder answers; otherwise shows the connection-error
// window modally until the folder answers again or the user chooses Pause (gState.gPauseRequested).
void CheckConnection();

// "\\host\QMRLINK\QMRdir": the business system's data folder on the server share.
std::string BusinessDataFolder(const std::string& host, const std::string& directory);
// Whether a folder exists; any failure (unmappable path, unreachable share) counts as "no".
bool FolderAnswers(const std::string& path);

// Runs a window's event handler. An error that escapes it (a settings store that cannot be
// written, an engine failure) is shown in a message box instead of unwinding through the event
// loop; the program goes on.
void RunHandler(const std::function<void()>& handler);

}  // namespace zel::processor
