#pragma once
// Test helpers for the agent's program tests: the offscreen application object, running a
// program while this process keeps serving its event loop (so the program may call back into
// us over the session bus), bus calls through gdbus, recording message boxes, and waiting for
// the end of a process and the one-instance lock it held.
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "agent/single_instance.h"
#include "platform/seams.h"
#include "platform/test_support.h"
#include "testing/qt_app.h"

namespace zel::agent::testutil {

using qttest::App;

struct RunResult {
    int code = -1;
    bool finished = false;
    std::string out;
    std::string err;
};

// Runs `program` to its end (or `timeoutMs`) while serving this process's events.
inline RunResult RunServing(
    const QString& program, const QStringList& args,
    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
    int timeoutMs = 30000) {
    App();
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    RunResult r;
    if (!p.waitForStarted(5000)) return r;
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (p.state() != QProcess::NotRunning) loop.exec();
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(-1);
        return r;
    }
    r.finished = true;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

// A text in GVariant notation, for gdbus call arguments.
inline QString GVariantString(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\\' || c == '\'') out += '\\';
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return QString::fromStdString(out + "'");
}

// Calls a method of the agent's automation interface through gdbus.
inline RunResult CallAgent(
    const std::string& method, const std::vector<std::string>& args = {},
    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QStringList a{"call",          "--session",
                  "--dest",        "net.zel.ZelAgent",
                  "--object-path", "/ZelAgent",
                  "--method",      QString::fromStdString("net.zel.IZelAgent." + method)};
    for (const auto& s : args) a << GVariantString(s);
    return RunServing("gdbus", a, env);
}

// The agent's ResultFile property through gdbus ("" when the call failed).
inline std::string AgentResultFile(
    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    RunResult r = RunServing(
        "gdbus",
        {"call", "--session", "--dest", "net.zel.ZelAgent", "--object-path", "/ZelAgent",
         "--method", "org.freedesktop.DBus.Properties.Get", "net.zel.IZelAgent", "ResultFile"},
        env);
    auto b = r.out.find("<'");
    auto e = r.out.rfind("'>");
    if (r.code != 0 || b == std::string::npos || e == std::string::npos || e < b + 2) return "";
    return r.out.substr(b + 2, e - b - 2);
}

// Waits (serving events) until `done` holds or `timeoutMs` passes.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 15000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// A process known by its number, held so that its end is an event to wait for, also when it
// is not this process's child (one the bus started). The end reported is that of the whole
// process: its main thread alone shows as a zombie while other threads still run and keep
// its descriptors (the one-instance lock among them) open.
class ProcessHandle {
public:
    explicit ProcessHandle(pid_t pid)
        : fd_(pid > 0 ? static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)) : -1) {}
    ~ProcessHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;

    bool Valid() const { return fd_ >= 0; }
    bool Signal(int sig) const {
        return fd_ >= 0 && ::syscall(SYS_pidfd_send_signal, fd_, sig, nullptr, 0) == 0;
    }
    // True once every thread has ended and the kernel has closed the process's files.
    bool Ended() const { return Wait(0); }
    // Blocks until the process has ended; the bound only keeps a hung process from hanging
    // the test.
    bool WaitForEnd(int hangGuardMs = 120000) const { return Wait(hangGuardMs); }

private:
    bool Wait(int ms) const {
        if (fd_ < 0) return false;
        pollfd p{fd_, POLLIN, 0};
        int n;
        do {
            n = ::poll(&p, 1, ms);
        } while (n < 0 && errno == EINTR);
        return n == 1;
    }
    int fd_;
};

// Calls `fn` for each entry of folder `dir`; entries of /proc may vanish while it runs.
inline void ForEachEntry(const std::filesystem::path& dir,
                         const std::function<void(const std::filesystem::path&)>& fn) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        fn(it->path());
}

// The "State:" line of each thread of `pid` ("" when there is no such process).
inline std::string ThreadStates(pid_t pid) {
    std::string out;
    ForEachEntry("/proc/" + std::to_string(pid) + "/task", [&](const std::filesystem::path& t) {
        std::ifstream status(t / "status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("State:", 0) == 0) out += t.filename().string() + " " + line + "\n";
    });
    return out;
}

// Whether the one-instance lock of program file name `name` is free now (taken and let go).
inline bool LockFree(const std::string& name) {
    SingleInstance probe;
    return probe.Acquire(name);
}

// Who holds the one-instance lock of `name`: each process with a thread whose descriptor table
// has the lock's socket, with its command line and the states of its threads; for the message
// of a failed check.
inline std::string LockHolders(const std::string& name) {
    std::string socket;
    std::ifstream unixSockets("/proc/net/unix");
    const std::string address = "@" + SingleInstance::LockName(name);
    for (std::string line; std::getline(unixSockets, line);) {
        std::istringstream fields(line);
        std::string f[8];
        for (auto& x : f) fields >> x;
        if (f[7] == address) socket = "socket:[" + f[6] + "]";
    }
    if (socket.empty()) return "the lock is not bound";
    std::string out = "the lock is bound (" + socket + ")";
    ForEachEntry("/proc", [&](const std::filesystem::path& proc) {
        const std::string pid = proc.filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) return;
        bool holds = false;
        ForEachEntry(proc / "task", [&](const std::filesystem::path& task) {
            ForEachEntry(task / "fd", [&](const std::filesystem::path& fd) {
                std::error_code ec;
                holds = holds || std::filesystem::read_symlink(fd, ec).string() == socket;
            });
        });
        if (!holds) return;
        std::ifstream cmd(proc / "cmdline");
        std::string cmdline((std::istreambuf_iterator<char>(cmd)), {});
        for (char& c : cmdline)
            if (c == '\0') c = ' ';
        out += "; held by " + pid + " (" + cmdline + "), threads:\n" + ThreadStates(std::stoi(pid));
    });
    return out;
}

// Answers every message box with its first button and keeps its text.
using MsgBoxRecorder = platform::testing::BoxRecorder;

}  // namespace zel::agent::testutil
