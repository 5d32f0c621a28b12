#include "processor/windows/window_timing_test_support.h"

#include <utility>

namespace zel::processor {

MonitorController::Clock WindowTiming::SetProgressClock(MonitorController& monitor,
                                                        MonitorController::Clock clock) {
    MonitorController::Clock previous = std::move(monitor.clock_);
    monitor.clock_ = std::move(clock);
    monitor.lastProgressPaint_.reset();
    monitor.progressPaintPending_ = false;
    return previous;
}

void WindowTiming::SetRetryInterval(int milliseconds) {
    ErrorController::retryOverride_ = milliseconds;
}

}  // namespace zel::processor
