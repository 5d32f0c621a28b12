// Dulvan: answers the stock queries and purchase orders left in the request folder of the
// business server's share. The monitor window owns the program's life: its start-up brings the
// program up, the tray menu's Exit ends it.
#include <QApplication>
#include <cstdlib>
#include <string>

#include "apps/common/message_box.h"
#include "platform/process.h"
#include "processor/globals.h"
#include "processor/restart.h"
#include "processor/windows/install.h"
#include "processor/windows/monitor.h"
#include "processor/windows/monitor_widget.h"

int main(int argc, char** argv) {
    // The engine keeps every business file it opens open, one more per product line's parts
    // database: the default soft limit of descriptors is too small for a large site.
    zel::platform::RaiseOpenFileLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Dulvan");
    QApplication::setApplicationVersion(DULVAN_VERSION);
    // The window hides to the tray; only Exit (or the close box without a tray) ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    zel::apps::InstallWindowMessageBox();
    zel::processor::InstallWindows();

    // An instance started by a restart shows its window minimised and remembers the request
    // the restart happened on; its own children must not inherit either.
    const zel::processor::RestartState restart = zel::processor::TakeRestartState();
    const bool minimized = restart.minimized;
    zel::processor::gState.gRestartedForRequest = restart.request;

    zel::processor::MonitorController monitor;
    zel::processor::frmMonitor window(monitor);
    monitor.Form_Load();
    // Even when the start-up stopped early the window is there, so the user sees the program.
    if (!window.isVisible()) window.show();
    if (minimized) window.showMinimized();
    return app.exec();
}
