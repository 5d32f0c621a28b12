#pragma once
// How the request logic reaches the windows above it. The logic links no window code: the
// program installs these at start-up (processor/windows/install.h). Without them (tools, tests
// of the logic) there is no window to read or show: the pick-ticket counter is the stored one,
// a connection error is not shown, and the monitor's fields read empty and take writes silently.
#include <functional>
#include <string>

#include "processor/monitor_view.h"

namespace zel::processor {

struct WindowHooks {
    // The settings window's pick-ticket counter field, the window loaded first when it is not.
    std::function<std::string()> ticketCounter;
    // Writes the field (the window is loaded by then).
    std::function<void(const std::string&)> setTicketCounter;
    // Shows the connection-error window with `message` modally until it closes.
    std::function<void(const std::string&)> showConnectionError;
};

inline WindowHooks gWindowHooks;

// Text of the monitor's directory box `txtDirectory` (the purchase order's default branch).
std::string MonitorDirectoryText();
// The monitor's progress boxes `txtCntr` (item number) and `txtCount` (item count).
void SetMonitorProgress(const std::string& item, const std::string& count);

}  // namespace zel::processor
