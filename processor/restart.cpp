#include "processor/restart.h"

#include "engine/state.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/seams.h"

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

void RestartProgram() {
    engine::Engine().DataEngine.reset();
    engine::Engine().SystemInfo.reset();

    std::string program = platform::ProgramPath();
    bool started = false;
    try {
        std::string native = platform::NativePath(program);
        std::map<std::string, std::string> env{{kShowStateVariable, kShowMinimized}};
        started = Starter() ? Starter()(native, env) : platform::StartDetached(native, env);
    } catch (const std::exception&) {
        started = false;
    }
    if (!started)
        platform::MsgBox("Could not start " + program + " again.", platform::MsgButtons::Ok, "",
                         platform::MsgIcon::Critical);
    platform::EndProgram(started ? 0 : 1);
}

}  // namespace zel::processor
