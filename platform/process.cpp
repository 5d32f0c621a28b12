#include "platform/process.h"

#include <QProcess>
#include <QProcessEnvironment>

#include "platform/error.h"
#include "platform/paths.h"

namespace zel::platform {

bool StartDetached(const std::string& path, const std::map<std::string, std::string>& environment) {
    std::string native;
    try {
        native = NativePath(path);
    } catch (const RuntimeError&) {
        return false;
    }
    QProcess process;
    process.setProgram(QString::fromStdString(native));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : environment)
        env.insert(QString::fromStdString(name), QString::fromStdString(value));
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

}  // namespace zel::platform
