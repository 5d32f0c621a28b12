#include "processor/utilities.h"

#include <limits>
#include <optional>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/seams.h"
#include "platform/settings.h"
#include "processor/globals.h"
#include "processor/hooks.h"
#include "processor/request_documents.h"

namespace zel::processor {
namespace {

constexpr const char* kCounterKey = "PickTicketCounter";

// The counter text read as a 32-bit ticket number, or error 6.
std::int32_t TicketFromText(const std::string& text) {
    return platform::WholeInt32(LeadingNumber(text), platform::err::kOverflow,
                                "NextPickTicketNumber");
}

const char* const kUnitTexts[][2] = {
    {" ", "Each"},
    {"A", "gallon"},
    {"B", "Box of Each"},
    {"C", "Card of Each"},
    {"D", "Pound"},
    {"E", "Box of Pounds"},
    {"F", "Feet"},
    {"G", "Package of Each"},
    {"H", "Box of Inches"},
    {"I", "Pint"},
    {"J", "Length of Each"},
    {"K", "Case of Each"},
    {"L", "Length of Feet"},
    {"M", "Can of Pounds"},
    {"N", "Can of Each"},
    {"O", "Coil of Feet"},
    {"P", "Piece"},
    {"Q", "Quart"},
    {"R", "Pair"},
    {"S", "Set"},
    {"T", "Tube"},
    {"U", "Drum of Gallons"},
    {"V", "Sleve of Pounds"},
    {"W", "Drum of Pounds"},
    {"X", "Bag of Pounds"},
    {"Y", "Bag of Pieces"},
    {"Z", "Roll of Feet"},
    {"0", "Roll of Yards"},
    {"1", "Roll of Inches"},
    {"2", "Can of Pounds"},
    {"5", "Can of Gallons"},
};

}  // namespace

CounterLock::CounterLock() : lock_(kSettingsApp, kCounterLockEnding) {}

std::int32_t NextPickTicketNumber() {
    const bool window = static_cast<bool>(gWindowHooks.ticketCounter);
    std::string field = window ? gWindowHooks.ticketCounter() : std::string();

    CounterLock lock;
    std::string stored = platform::GetSetting(kSettingsApp, kSettingsSection, kCounterKey, "");
    if (!window) field = stored;
    std::int32_t n = TicketFromText(field);
    // The field is the live counter; the store is ahead of it only when another instance
    // sharing this store has drawn numbers since this window was loaded. Never go back below
    // what was already handed out.
    if (const std::optional<double> storedNumber = ParseNumber(stored)) {
        const std::optional<std::int32_t> s = platform::WholeInt32(*storedNumber);
        if (s && *s > n) n = *s;
    }
    if (n == std::numeric_limits<std::int32_t>::max())
        platform::RaiseClassic(platform::err::kOverflow, "NextPickTicketNumber");

    std::string next = std::to_string(n + 1);
    if (gWindowHooks.setTicketCounter) gWindowHooks.setTicketCounter(next);
    // The store forces its writes to disk, so a number handed out never comes back after a
    // power loss.
    platform::SaveSetting(kSettingsApp, kSettingsSection, kCounterKey, next);
    return n;
}

EmergencyRemarks WrapEmergencyMessage() {
    const std::size_t width = kWrappedLineWidth;
    EmergencyRemarks remarks;
    for (int i = 1; i <= kWrappedLineCount; ++i) remarks.wrappedLines[i].assign(width, ' ');
    std::string rest = gState.gEmergencyMessage;
    std::int16_t& count = remarks.count;
    while (!rest.empty() && count < kWrappedLineCount) {
        std::string line;
        if (rest.size() > width) {
            std::size_t w = width;
            std::string head = rest.substr(0, width);
            auto lastSpace = head.rfind(' ');
            if (lastSpace != std::string::npos && rest[width] != ' ') w = lastSpace + 1;
            line = rest.substr(0, w);
            rest.erase(0, w);
        } else {
            line = rest;
            rest.clear();
        }
        ++count;
        line.resize(width, ' ');
        remarks.wrappedLines[count] = line;
    }
    return remarks;
}

std::string UnitOfMeasureText(const std::string& code) {
    for (const auto& entry : kUnitTexts)
        if (code == entry[0]) return entry[1];
    return "";
}

std::string BusinessDataFolder(const std::string& host, const std::string& directory) {
    return "\\\\" + host + "\\QMRLINK\\QMR" + directory;
}

bool FolderAnswers(const std::string& path) {
    try {
        return platform::FolderExists(path);
    } catch (...) {
        // A folder that cannot even be looked at does not answer, whatever the reason.
        return false;
    }
}

void RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const platform::RuntimeError& e) {
        platform::MsgBox("Error " + std::to_string(e.Number()) + ": " + e.Description(),
                         platform::MsgButtons::Ok, "", platform::MsgIcon::Critical);
    } catch (const std::exception& e) {
        platform::MsgBox(std::string("Error: ") + e.what(), platform::MsgButtons::Ok, "",
                         platform::MsgIcon::Critical);
    }
}

void CheckConnection() {
    if (FolderAnswers(BusinessDataFolder(gState.gHost, gState.gDirectory))) return;
    try {
        if (gWindowHooks.showConnectionError)
            gWindowHooks.showConnectionError(
                "Can't Connect to Quomar Files!\r\nWill Retry in 5 Seconds.");
    } catch (const std::exception&) {
        // The test has no failure of its own to report; the pass goes on as if it answered.
    }
}

}  // namespace zel::processor
