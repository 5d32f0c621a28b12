#pragma once
// Test helpers for the agent's program tests: the offscreen application object, running a
// program while this process keeps serving its event loop (so the program may call back into
// us over the session bus), bus calls through gdbus, and recording message boxes.
#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

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
inline RunResult RunServing(const QString& program, const QStringList& args,
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
inline RunResult CallAgent(const std::string& method, const std::vector<std::string>& args = {},
                           const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QStringList a{"call", "--session", "--dest", "net.zel.ZelAgent", "--object-path",
                  "/ZelAgent", "--method", QString::fromStdString("net.zel.IZelAgent." + method)};
    for (const auto& s : args) a << GVariantString(s);
    return RunServing("gdbus", a, env);
}

// The agent's ResultFile property through gdbus ("" when the call failed).
inline std::string AgentResultFile(
    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    RunResult r = RunServing("gdbus",
                             {"call", "--session", "--dest", "net.zel.ZelAgent", "--object-path",
                              "/ZelAgent", "--method", "org.freedesktop.DBus.Properties.Get",
                              "net.zel.IZelAgent", "ResultFile"},
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

// Answers every message box with its first button and keeps its text.
using MsgBoxRecorder = platform::testing::BoxRecorder;

}  // namespace zel::agent::testutil
