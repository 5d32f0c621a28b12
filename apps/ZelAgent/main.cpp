// ZelAgent: the hub agent. A tray program that moves documents between this site's folders
// and the document hub, and serves the automation interface on the session bus.
#include <QApplication>
#include <QDBusConnection>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "agent/agent_ini.h"
#include "agent/agent_window.h"
#include "agent/automation.h"
#include "agent/single_instance.h"
#include "apps/common/message_box.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/seams.h"

using namespace zel::agent;
namespace platform = zel::platform;

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    ServerSwitches switches = ParseServerSwitches(args);
    std::string programPath = platform::ProgramPath();

    // One instance per machine: a second start ends here, before any window or icon exists.
    SingleInstance instance;
    if (!instance.Acquire(platform::FileNamePart(programPath))) return 1;

    if (switches.mode != ServerMode::Normal) {
        try {
            if (switches.mode == ServerMode::RegServer)
                RegisterServer(platform::NativePath(programPath));
            else
                UnregisterServer();
        } catch (const std::exception& e) {
            platform::MsgBox(e.what(), platform::MsgButtons::Ok, "ZelAgent",
                             platform::MsgIcon::Critical);
            return 1;
        }
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZelAgent"));
    QApplication::setQuitOnLastWindowClosed(false);
    zel::apps::InstallWindowMessageBox();

    // The automation interface is offered before the window's start-up runs its first mail
    // check, so a client that had the bus start the agent is not kept waiting on the hub.
    // The window starts hidden; the tray icon and its menu lead to it.
    std::unique_ptr<TZelAgent> automation;
    TForm1 form(AgentIniPath(programPath), platform::ProgramFolder(), [&](TForm1& f) {
        automation = std::make_unique<TZelAgent>(f.Controller());
        std::string why;
        if (!RegisterAutomation(QDBusConnection::sessionBus(), automation.get(), &why))
            std::fprintf(stderr, "ZelAgent: automation interface not available: %s\n", why.c_str());
    });
    const int code = app.exec();
    automation.reset();
    return code;
}
