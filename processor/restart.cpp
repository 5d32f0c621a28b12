#include "processor/restart.h"

#include <QProcess>
#include <QProcessEnvironment>

#include "engine/state.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/seams.h"

namespace zel::processor {
namespace {

ProcessStarter& Starter() {
    static ProcessStarter starter;
    return starter;
}

}  // namespace

bool StartDetached(const std::string& nativePath,
                   const std::map<std::string, std::string>& environment) {
    QProcess process;
    process.setProgram(QString::fromStdString(nativePath));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : environment)
        env.insert(QString::fromStdString(name), QString::fromStdString(value));
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

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
        started = Starter() ? Starter()(native, env) : StartDetached(native, env);
    } catch (const std::exception&) {
        started = false;
    }
    if (!started)
        platform::MsgBox("Could not start " + program + " again.", platform::MsgButtons::Ok, "",
                         platform::MsgIcon::Critical);
    platform::EndProgram(started ? 0 : 1);
}

}  // namespace zel::processor
