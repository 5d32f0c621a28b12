#include "processor/restart.h"

#include <cstdlib>

#include "engine/state.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/seams.h"
#include "processor/statistics.h"

namespace zel::processor {
namespace {

ProcessStarter& Starter() {
    static ProcessStarter starter;
    return starter;
}

}  // namespace

ProcessStarter SetProcessStarter(ProcessStarter starter) {
    ProcessStarter old = std::move(Starter());
    Starter() = std::move(starter);
    return old;
}

RestartState TakeRestartState() {
    RestartState state;
    const char* show = std::getenv(kShowStateVariable);
    state.minimized = show && std::string(show) == kShowMinimized;
    if (const char* request = std::getenv(kRestartRequestVariable)) state.request = request;
    ::unsetenv(kShowStateVariable);
    ::unsetenv(kRestartRequestVariable);
    return state;
}

void RestartProgram(const std::string& requestFile) {
    // The counters the request bumped so far are kept; the new instance reads them.
    try {
        SaveStatistics();
    } catch (const std::exception&) {
        // Losing this request's counts must not keep the program from starting again.
    }
    engine::Engine().DataEngine.reset();
    engine::Engine().SystemInfo.reset();

    std::string program = platform::ProgramPath();
    bool started = false;
    try {
        std::string native = platform::NativePath(program);
        std::map<std::string, std::string> env{{kShowStateVariable, kShowMinimized}};
        if (!requestFile.empty()) env[kRestartRequestVariable] = requestFile;
        started = Starter() ? Starter()(native, env) : platform::StartDetached(native, env);
    } catch (const std::exception&) {
        // Told below like any start that did not happen.
        started = false;
    }
    if (!started)
        platform::MsgBox("Could not start " + program + " again.", platform::MsgButtons::Ok, "",
                         platform::MsgIcon::Critical);
    platform::EndProgram(started ? 0 : 1);
}

}  // namespace zel::processor
