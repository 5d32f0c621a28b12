#pragma once
// Test support for the windows' timing: the clock that paces the monitor's progress painting
// and the connection-error window's retry period, which tests set so that they wait for events
// rather than for the real clock.
#include "processor/windows/error_window.h"
#include "processor/windows/monitor.h"

namespace zel::processor {

class WindowTiming {
public:
    // The monotonic clock that paces `monitor`'s progress painting. An empty function restores
    // the steady clock. Returns the previous one.
    static MonitorController::Clock SetProgressClock(MonitorController& monitor,
                                                     MonitorController::Clock clock);
    // The connection-error window's retry period; 0 restores the default.
    static void SetRetryInterval(int milliseconds);
};

}  // namespace zel::processor
