#include "processor/hooks.h"

namespace zel::processor {

std::string MonitorDirectoryText() {
    return gMonitorView ? gMonitorView->DirectoryText() : std::string();
}

void SetMonitorProgress(const std::string& item, const std::string& count) {
    if (!gMonitorView) return;
    gMonitorView->ShowItemNumber(item);
    gMonitorView->ShowItemCount(count);
}

}  // namespace zel::processor
