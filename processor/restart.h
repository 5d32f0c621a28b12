#pragma once
// Restart of Dulvan by its own executable: after a failure that leaves the engine in doubt the
// running instance starts a fresh one and ends at once; the request being answered stays in the
// request folder and is answered by the new instance.
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zel::processor {

// Environment variable that tells a started instance to show its window minimised (which hides
// it to the tray when there is one).
inline constexpr const char* kShowStateVariable = "ZEL_SHOW_STATE";
inline constexpr const char* kShowMinimized = "minimized";
// Environment variable that hands a started instance the request the restart happened on.
inline constexpr const char* kRestartRequestVariable = "ZEL_RESTART_REQUEST";

// Releases the program-wide engine and system-paths objects, starts the program's own
// executable again with its window minimised, and ends this instance at once. `requestFile`,
// the request being answered ("" for none), is handed to the new instance, which then lets a
// second failure on that request end it instead of restarting again. When the new instance
// cannot be started a message box says so; this instance ends all the same.
[[noreturn]] void RestartProgram(const std::string& requestFile = "");

// What a restart handed this instance; read once at start, which also clears it from the
// environment so that programs this instance starts do not inherit it.
struct RestartState {
    bool minimized = false;
    std::string request;  // the request the restart happened on, "" when none
};
RestartState TakeRestartState();

// Starts the new instance (platform::StartDetached unless a test replaces it); false when it
// could not be started.
using ProcessStarter = std::function<bool(const std::string& nativePath,
                                          const std::map<std::string, std::string>& environment)>;
// Replaces how RestartProgram starts the new instance (tests); an empty starter restores
// platform::StartDetached. Returns the previous one.
ProcessStarter SetProcessStarter(ProcessStarter starter);

}  // namespace zel::processor
