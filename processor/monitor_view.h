#pragma once
// What the request processing reads from and shows in the monitor window. The window sits above
// the processing logic, so it registers itself here while it exists; without a window (tests,
// tools) nothing is shown and the directory box reads empty.
#include <string>

namespace zel::processor {

class MonitorView {
public:
    virtual ~MonitorView() = default;
    // The text of the data-directory box (txtDirectory).
    virtual std::string DirectoryText() const = 0;
    // The order's item count (txtCount), and the number of the item being answered (txtCntr),
    // painted without running any events: at once, or, when the boxes were painted only a few
    // milliseconds ago, with a later change or when the request is done.
    virtual void ShowItemCount(const std::string& count) = 0;
    virtual void ShowItemNumber(const std::string& item) = 0;
};

inline MonitorView* gMonitorView = nullptr;

}  // namespace zel::processor
