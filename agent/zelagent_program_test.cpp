// The real ZelAgent program, started as a process beside the stand-in hub, on the private
// session bus of the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnectionInterface>
#include <filesystem>
#include <fstream>

#include "agent/agent_test_util.h"
#include "agent/automation.h"
#include "agent/loopback_test_util.h"
#include "agent/single_instance.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/test_support.h"

namespace zel::agent {
namespace {

namespace fs = std::filesystem;
using platform::WindowsPath;

// The program's one-instance lock is machine-wide and named after its file name, so each test
// names its copy after itself and this test process: another test, or another run of the suite
// on the same machine, never holds the same lock.
std::string Unique(const std::string& name) { return name + "-" + std::to_string(::getpid()); }

// The program is copied, because its settings file lives beside it and its lock is named
// after its file name.
std::string InstallAgent(const platform::testing::TempDir& dir, const std::string& folder,
                         const std::string& name) {
    std::string target = dir.MakeDirs(folder) + "/" + name;
    fs::copy_file(std::string(ZEL_BINARY_DIR) + "/apps/ZelAgent/ZelAgent", target);
    return target;
}

QProcessEnvironment AgentEnv(const platform::testing::TempDir& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    auto set = [&](const char* name, const std::string& sub) {
        env.insert(name, QString::fromStdString(dir.MakeDirs(sub)));
    };
    set("HOME", "home");
    set("XDG_DATA_HOME", "home/data");
    set("XDG_CONFIG_HOME", "home/config");
    set("XDG_CACHE_HOME", "home/cache");
    set("XDG_RUNTIME_DIR", "home/run");
    ::chmod((dir.path() + "/home/run").c_str(), 0700);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

// A started program, ended when the object goes.
class Running {
public:
    Running(const std::string& program, const QProcessEnvironment& env) {
        process_.setProcessEnvironment(env);
        process_.start(QString::fromStdString(program), {});
        process_.waitForStarted(5000);
    }
    ~Running() { Kill(); }
    void Kill() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        // Until it has ended it may hold the one-instance lock: wait for the end itself.
        process_.waitForFinished(-1);
    }
    bool Alive() const { return process_.state() == QProcess::Running; }

private:
    QProcess process_;
};

bool ServiceOnBus() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kServiceName);
}

std::string IniValue(const std::string& ini, const std::string& section, const std::string& key) {
    return platform::GetProfileString(section, key, "", 2048, ini);
}

TEST(ZelAgentProgram, CarriesAQuerySentToSelfIntoTheMappedRequestFolder) {
    testutil::App();
    platform::testing::TempDir dir;
    testutil::HubProcess hub;
    const std::string name = Unique("ZelAgent");
    std::string agent = InstallAgent(dir, "prog", name);
    std::string zeldist = dir.MakeDirs("unc/server/DadAri/zeldist");
    dir.Write("prog/" + name + ".INI", "[AGENT CORE]\r\nHUB_URL=" + hub.Url() +
                                           "\r\n[DocTypeDir]\r\nQUERY=\\\\server\\DadAri\\zeldist"
                                           "\r\n[DocTypeExt]\r\nQUERY=.req\r\n");
    QProcessEnvironment env = AgentEnv(dir);
    env.insert("ZEL_UNC_ROOT", QString::fromStdString(dir.path() + "/unc"));
    Running running(agent, env);
    ASSERT_TRUE(testutil::WaitFor(ServiceOnBus)) << "the agent did not offer its interface";
    // Signed up by the first mail check at start.
    EXPECT_TRUE(testutil::WaitFor(
        [&] { return IniValue(agent + ".INI", "AGENT CORE", "Agent_Id") == "1"; }));

    const std::string query =
        "[zelInfo]\r\nTRADEPARTNER=self\r\nDOCTYPE=QUERY\r\nDEALERNUMBER=4711\r\n"
        "[1]\r\nMFG=AB\r\nPART=1234-5\r\nQTY=2\r\n";
    std::string doc = dir.Write("client/query.txt", query);
    auto r = testutil::CallAgent("SendFile", {doc}, env);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_FALSE(fs::exists(doc));
    ASSERT_EQ(testutil::CallAgent("CheckMail", {}, env).code, 0);

    std::vector<fs::path> reqs;
    for (const auto& e : fs::directory_iterator(zeldist)) reqs.push_back(e.path());
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].extension(), ".req");
    std::string stored = dir.Read("unc/server/DadAri/zeldist/" + reqs[0].filename().string());
    EXPECT_EQ(stored.rfind(query, 0), 0u) << stored;
    EXPECT_EQ(testutil::AgentResultFile(env), reqs[0].string());
}

// The interface is there while the first mail check still waits on a hub that does not answer.
TEST(ZelAgentProgram, OffersItsInterfaceBeforeTheFirstMailCheckEnds) {
    testutil::App();
    platform::testing::TempDir dir;
    testutil::RawServer stalledHub({"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nAction=NO"},
                                   true);
    // Its own program name: the one-instance lock is machine-wide and named after the program,
    // and the other program tests run at the same time.
    const std::string name = Unique("ZelAgentEarlyBus");
    std::string agent = InstallAgent(dir, "prog", name);
    dir.Write("prog/" + name + ".INI", "[AGENT CORE]\r\nHUB_URL=" + stalledHub.Url() + "\r\n");
    Running running(agent, AgentEnv(dir));
    EXPECT_TRUE(testutil::WaitFor([&] { return !stalledHub.Requests().empty(); }));
    EXPECT_TRUE(testutil::WaitFor(ServiceOnBus)) << "the interface waited for the hub";
    running.Kill();
}

TEST(ZelAgentProgram, SecondInstanceEndsWithOneBeforeAnyWindow) {
    testutil::App();
    platform::testing::TempDir dir;
    const std::string name = Unique("ZelAgentLockTest");
    std::string first = InstallAgent(dir, "a", name);
    std::string second = InstallAgent(dir, "b", name);
    std::string unreachable = testutil::HubProcess::UrlFor(testutil::FreePort());
    for (const char* f : {"a", "b"})
        dir.Write(std::string(f) + "/" + name + ".INI",
                  "[AGENT CORE]\r\nHUB_URL=" + unreachable + "\r\n");
    QProcessEnvironment env = AgentEnv(dir);

    auto started = [&](const std::string& program) {
        return [program] {
            return !IniValue(program + ".INI", "AGENT PLUG-IN", "WorkingDir").empty();
        };
    };
    auto holder = std::make_unique<Running>(first, env);
    ASSERT_TRUE(testutil::WaitFor(started(first)));

    auto r = testutil::RunServing(QString::fromStdString(second), {}, env);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(started(second)());  // its window never came to be
    EXPECT_FALSE(fs::exists(dir.path() + "/b/zel"));

    holder->Kill();  // the lock goes with its holder, however it ends
    Running again(second, env);
    EXPECT_TRUE(testutil::WaitFor(started(second)));
    EXPECT_TRUE(again.Alive());
}

TEST(SingleInstance, OneHolderPerName) {
    SingleInstance a, b, c;
    ASSERT_TRUE(a.Acquire("zel-agent-lock-test"));
    EXPECT_FALSE(b.Acquire("zel-agent-lock-test"));
    EXPECT_TRUE(c.Acquire("zel-agent-lock-test-other"));
    a.Release();
    EXPECT_TRUE(b.Acquire("zel-agent-lock-test"));
}

void* HoldUntilEndOfInput(void* fd) {
    char c;
    while (::read(*static_cast<int*>(fd), &c, 1) > 0) {
    }
    ::_exit(0);
}

bool MainThreadIsZombie(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("State:", 0) == 0) return line.find('Z') != std::string::npos;
    return false;
}

// A process's main thread may end before its other threads: it then shows as a zombie while
// another thread still keeps the descriptor table, and with it the lock, open. Only the end of
// the whole process frees the lock.
TEST(SingleInstance, HeldUntilTheLastThreadOfItsHolderHasEnded) {
    testutil::App();
    const std::string name = Unique("ZelAgentLockThreads");
    int release[2];
    ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);  // no program started meanwhile keeps it open
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(release[1]);
        static SingleInstance lock;
        static int input = release[0];
        pthread_t holder;
        if (!lock.Acquire(name) ||
            ::pthread_create(&holder, nullptr, HoldUntilEndOfInput, &input) != 0)
            ::_exit(2);
        ::syscall(SYS_exit, 0);  // this thread alone, without unwinding the test's frames
    }
    ::close(release[0]);
    ASSERT_TRUE(testutil::WaitFor([&] { return MainThreadIsZombie(child); }));
    testutil::ProcessHandle process(child);
    ASSERT_TRUE(process.Valid());
    EXPECT_FALSE(testutil::LockFree(name)) << testutil::ThreadStates(child);
    const std::string holders = testutil::LockHolders(name);
    EXPECT_NE(holders.find("held by " + std::to_string(child) + " "), std::string::npos) << holders;
    EXPECT_FALSE(process.Ended());

    ::close(release[1]);
    EXPECT_TRUE(process.WaitForEnd());
    EXPECT_TRUE(testutil::LockFree(name)) << testutil::LockHolders(name);
    int status = -1;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(ServerSwitches, EitherPrefixAnyCase) {
    EXPECT_EQ(ParseServerSwitches({"/regserver"}).mode, ServerMode::RegServer);
    EXPECT_EQ(ParseServerSwitches({"-UnRegServer"}).mode, ServerMode::UnregServer);
    EXPECT_TRUE(ParseServerSwitches({"-Embedding"}).automation);
    const auto plain = ParseServerSwitches({"regserver", "/", "/AUTOMATIONX"});
    EXPECT_EQ(plain.mode, ServerMode::Normal);
    EXPECT_FALSE(plain.automation);
}

TEST(ZelAgentProgram, RegistrationSwitchesInstallAWorkingActivationFile) {
    testutil::App();
    platform::testing::TempDir dir;
    const std::string name = Unique("ZelAgentRegTest");
    std::string agent = InstallAgent(dir, "prog", name);
    QProcessEnvironment env = AgentEnv(dir);
    std::string file = dir.path() + "/home/data/dbus-1/services/net.zel.ZelAgent.service";

    auto r = testutil::RunServing(QString::fromStdString(agent), {"/REGSERVER"}, env);
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(dir.Read("home/data/dbus-1/services/net.zel.ZelAgent.service"),
              ActivationFileText(agent));
    EXPECT_FALSE(fs::exists(agent + ".INI"));  // registration opens no window

    // A bus of its own that reads the file starts the agent for a caller. The script names the
    // copy the bus started and keeps the bus up until told to end; the copy is ended from here
    // and waited for as a whole process: until its last thread has ended it holds the
    // one-instance lock, and the next start of the program would end at once.
    const char* script =
        "gdbus call --session --dest net.zel.ZelAgent --object-path /ZelAgent "
        "--method net.zel.IZelAgent.CheckMail >&2 || exit 3; "
        "gdbus call --session --dest org.freedesktop.DBus --object-path "
        "/org/freedesktop/DBus --method org.freedesktop.DBus.GetConnectionUnixProcessID "
        "net.zel.ZelAgent | sed -E 's/[^ ]* ([0-9]+).*/\\1/' || exit 4; "
        "read -r _ || true";
    QProcess bus;
    bus.setProcessEnvironment(env);
    bus.start("dbus-run-session", {"--", "sh", "-c", script});
    ASSERT_TRUE(bus.waitForStarted(5000));
    ASSERT_TRUE(testutil::WaitFor(
        [&] { return bus.canReadLine() || bus.state() == QProcess::NotRunning; }, 120000));
    const QByteArray pidLine = bus.readLine().trimmed();
    const pid_t pid = pidLine.toInt();
    ASSERT_GT(pid, 0) << "no copy started: " << bus.readAllStandardError().toStdString();
    testutil::ProcessHandle started(pid);
    ASSERT_TRUE(started.Valid());
    std::error_code ec;
    ASSERT_TRUE(
        fs::equivalent(fs::read_symlink("/proc/" + pidLine.toStdString() + "/exe", ec), agent, ec))
        << "the bus started something else";
    struct EndAtExit {  // a failed check leaves no copy behind
        const testutil::ProcessHandle& copy;
        ~EndAtExit() {
            if (!copy.Ended() && copy.Signal(SIGKILL)) copy.WaitForEnd();
        }
    } endAtExit{started};
    ASSERT_TRUE(started.Signal(SIGTERM));
    ASSERT_TRUE(started.WaitForEnd()) << testutil::ThreadStates(pid);
    bus.closeWriteChannel();
    ASSERT_TRUE(testutil::WaitFor([&] { return bus.state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(bus.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(bus.exitCode(), 0) << bus.readAllStandardError().toStdString();
    EXPECT_TRUE(fs::exists(agent + ".INI"));
    ASSERT_TRUE(testutil::LockFree(name)) << testutil::LockHolders(name);

    r = testutil::RunServing(QString::fromStdString(agent), {"-unregserver"}, env);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_FALSE(fs::exists(file));

    env.remove("XDG_DATA_HOME");
    r = testutil::RunServing(QString::fromStdString(agent), {"-RegServer", "/Automation"}, env);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(
        fs::exists(dir.path() + "/home/.local/share/dbus-1/services/net.zel.ZelAgent.service"));
}

}  // namespace
}  // namespace zel::agent
