#pragma once
// The monitor window's fields that the request processing reads and writes. Without a monitor
// window (tools, tests of the request processor) they read as empty and take writes silently.
#include <string>

namespace zel::processor {

// Text of the directory box `txtDirectory` (the purchase order's default branch).
std::string MonitorDirectoryText();

// The progress boxes `txtCntr` (item number) and `txtCount` (item count).
void SetMonitorProgress(const std::string& item, const std::string& count);

}  // namespace zel::processor
