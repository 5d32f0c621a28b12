#include "platform/process.h"

#include <sys/resource.h>

#include <climits>

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

long RaiseOpenFileLimit() {
    struct rlimit lim {};
    if (::getrlimit(RLIMIT_NOFILE, &lim) != 0) return 0;
    if (lim.rlim_cur != lim.rlim_max) {
        struct rlimit raised = lim;
        raised.rlim_cur = lim.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) lim = raised;
    }
    return lim.rlim_cur == RLIM_INFINITY ? LONG_MAX : static_cast<long>(lim.rlim_cur);
}

}  // namespace zel::platform
