// The real ZelAgent program on the private session bus of the test, while another program holds
// the automation interface's bus name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QProcess>
#include <filesystem>

#include "agent/agent_test_util.h"
#include "agent/automation_interface.h"
#include "agent/loopback_test_util.h"
#include "platform/test_support.h"

namespace zel::agent {
namespace {

namespace fs = std::filesystem;

TEST(ZelAgentProgram, ATakenBusNameIsNamedAsTheReasonTheInterfaceIsMissing) {
    testutil::App();
    platform::testing::TempDir dir;
    // Its own file name: the one-instance lock is machine-wide and named after the program.
    const std::string name = "ZelAgentNameTaken-" + std::to_string(::getpid());
    const std::string agent = dir.MakeDirs("prog") + "/" + name;
    fs::copy_file(std::string(ZEL_BINARY_DIR) + "/apps/ZelAgent/ZelAgent", agent);
    dir.Write(
        "prog/" + name + ".INI",
        "[AGENT CORE]\r\nHUB_URL=" + testutil::HubProcess::UrlFor(testutil::FreePort()) + "\r\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto [variable, sub] : {std::pair{"HOME", "home"},
                                 {"XDG_DATA_HOME", "home/data"},
                                 {"XDG_CONFIG_HOME", "home/config"},
                                 {"XDG_RUNTIME_DIR", "home/run"}})
        env.insert(variable, QString::fromStdString(dir.MakeDirs(sub)));
    ::chmod((dir.path() + "/home/run").c_str(), 0700);
    env.insert("QT_QPA_PLATFORM", "offscreen");

    // This test process is the other program.
    ASSERT_TRUE(QDBusConnection::sessionBus().registerService(kServiceName));

    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString(agent), {});
    ASSERT_TRUE(process.waitForStarted(5000));
    std::string err;
    const bool said = testutil::WaitFor([&] {
        err += process.readAllStandardError().toStdString();
        return err.find('\n', err.find("automation interface not available")) !=
                   std::string::npos ||
               process.state() == QProcess::NotRunning;
    });
    process.kill();
    process.waitForFinished(-1);
    QDBusConnection::sessionBus().unregisterService(kServiceName);

    ASSERT_TRUE(said);
    EXPECT_NE(err.find("ZelAgent: automation interface not available: the name net.zel.ZelAgent is "
                       "owned by another program (bus connection " +
                       QDBusConnection::sessionBus().baseService().toStdString() + ", process " +
                       std::to_string(::getpid())),
              std::string::npos)
        << err;
}

}  // namespace
}  // namespace zel::agent
