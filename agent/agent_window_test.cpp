#include "agent/agent_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QMetaMethod>
#include <QWindow>
#include <filesystem>

#include "agent/agent_core.h"
#include "agent/agent_test_util.h"
#include "agent/automation.h"
#include "agent/loopback_test_util.h"
#include "agent/message.h"
#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/test_support.h"
#include "testing/widget_bounds.h"

namespace zel::agent {
namespace {

namespace fs = std::filesystem;
using platform::WindowsPath;

std::vector<std::string> Files(const std::string& folder, const std::string& ext) {
    std::vector<std::string> out;
    if (!fs::exists(folder)) return out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file() && e.path().extension() == ext) out.push_back(e.path());
    return out;
}

const char* kQuery = "[zelInfo]\r\nTRADEPARTNER=self\r\nDOCTYPE=QUERY\r\nDEALERNUMBER=4711\r\n";

// An agent window on a sandbox, its settings file beside a program folder of its own.
class AgentWindowTest : public ::testing::Test {
protected:
    AgentWindowTest() {
        testutil::App();
        prog = sandbox.dir().MakeDirs("prog");
        iniPath = WindowsPath(prog) + "\\ZelAgent.INI";
        zeldist = sandbox.dir().MakeDirs("zeldist");
    }

    std::string Ini(const std::string& section, const std::string& key) {
        return platform::GetProfileString(section, key, "<missing>", 2048, iniPath);
    }
    void SetIni(const std::string& section, const std::string& key, const std::string& value) {
        platform::WriteProfileString(section, key, value, iniPath);
    }
    // Hub URL and the QUERY mapping into the request folder, then the window.
    void StartWithHub() {
        SetIni("AGENT CORE", "HUB_URL", hub.Url());
        SetIni("DocTypeDir", "QUERY", WindowsPath(zeldist));
        SetIni("DocTypeExt", "QUERY", ".req");
        form = std::make_unique<TForm1>(iniPath, WindowsPath(prog));
    }
    std::string Work() { return platform::NativePath(form->Controller().Documents().WorkingDir); }

    platform::testing::SandboxEnv sandbox;
    testutil::MsgBoxRecorder boxes;
    std::string prog, iniPath, zeldist;
    testutil::HubProcess hub;
    std::unique_ptr<TForm1> form;
};

TEST_F(AgentWindowTest, FirstStartWithoutSettingsFileThenSignUp) {
    {
        TForm1 first(iniPath, WindowsPath(prog));
        EXPECT_EQ(Ini("AGENT PLUG-IN", "WorkingDir"), WindowsPath(prog) + "\\zel\\");
        EXPECT_TRUE(fs::is_directory(prog + "/zel"));
        EXPECT_EQ(Ini("AGENT CORE", "Agent_Id"), "-1");
        EXPECT_EQ(Ini("AGENT CORE", "HUB_URL"), "");
        EXPECT_EQ(first.tmr_CheckMail->interval(), 300000);
        EXPECT_TRUE(first.tmr_CheckMail->isActive());
        EXPECT_FALSE(first.isVisible());
        EXPECT_TRUE(boxes.texts.empty());
    }
    SetIni("AGENT CORE", "HUB_URL", hub.Url());
    TForm1 second(iniPath, WindowsPath(prog));  // its first check signs the agent up
    EXPECT_EQ(Ini("AGENT CORE", "Agent_Id"), "1");
    EXPECT_EQ(second.Controller().Core().AgentId, 1);
}

// A start clears the temporary files an earlier run of this program on this host left where it
// writes, and nobody else's: the request folder is shared with other writers.
TEST_F(AgentWindowTest, StartRemovesOnlyItsOwnLeftoverTemporaryFiles) {
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string own =
        platform::detail::TemporaryTagOfThisProgram() + std::to_string(ended) + "-0";
    const std::string others =
        ".~zel-Dulvan@" + platform::ComputerName() + "-" + std::to_string(ended) + "-0";
    sandbox.dir().Write("zeldist/1.req" + own, "half");
    sandbox.dir().Write("zeldist/2.req.1" + others, "half");
    sandbox.dir().Write("prog/ZelAgent.INI" + own, "half");
    sandbox.dir().Write("prog/zel/5.zel" + own, "half");
    StartWithHub();
    EXPECT_FALSE(fs::exists(zeldist + "/1.req" + own));
    EXPECT_FALSE(fs::exists(prog + "/ZelAgent.INI" + own));
    EXPECT_FALSE(fs::exists(prog + "/zel/5.zel" + own));
    EXPECT_TRUE(fs::exists(zeldist + "/2.req.1" + others));
}

TEST_F(AgentWindowTest, RelativeWorkingFolderIsWrittenBackAbsolute) {
    SetIni("AGENT PLUG-IN", "WorkingDir", "rel\\..\\rel\\work");
    sandbox.dir().MakeDirs("rel");  // one level is made, not more
    std::string old = fs::current_path();
    fs::current_path(sandbox.dir().path());
    TForm1 f(iniPath, WindowsPath(prog));
    fs::current_path(old);
    EXPECT_EQ(Ini("AGENT PLUG-IN", "WorkingDir"),
              WindowsPath(sandbox.dir().path()) + "\\rel\\work");
    EXPECT_EQ(f.Controller().Documents().WorkingDir,
              WindowsPath(sandbox.dir().path()) + "\\rel\\work\\");
    EXPECT_TRUE(fs::is_directory(sandbox.dir().path() + "/rel/work"));
}

TEST_F(AgentWindowTest, WorkingFolderThatCannotBeMadeIsReportedAndTheAgentRuns) {
    SetIni("AGENT PLUG-IN", "WorkingDir", WindowsPath(sandbox.dir().path()) + "\\a\\b\\c");
    TForm1 f(iniPath, WindowsPath(prog));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "Cannot create " + WindowsPath(sandbox.dir().path()) + "\\a\\b\\c");
    EXPECT_TRUE(f.tmr_CheckMail->isActive());
}

TEST_F(AgentWindowTest, ButtonsSendTheTestMessageAndFetchItBack) {
    StartWithHub();
    form->show();
    form->cmdSendMessage->click();
    EXPECT_EQ(form->StatusPanel->text().left(16), "Message sent in ");
    form->cmdCheckMessage->click();
    EXPECT_EQ(form->StatusPanel->text(), "Messages Received 1");
    auto stored = Files(Work(), ".zel");
    std::string test;
    for (const auto& f : stored) {
        std::string bytes = platform::ReadWholeFile(f);
        if (bytes.find("DOCTYPE=MESSAGE") != std::string::npos) test = bytes;
    }
    EXPECT_NE(test.find("\r\nAgentVersion=" + AgentVersionString() + "\r\n"), std::string::npos);
    EXPECT_NE(test.find("Test Message. Your connection to the ZelHUB is working correctly"),
              std::string::npos);
    EXPECT_TRUE(form->Memo1->toPlainText().contains("DOCTYPE=MESSAGE"));
}

// Documents handed over while the hub is away, the program ended, started again with the hub
// there: its first mail check signs up and then sends them; they arrive once each, in order.
TEST_F(AgentWindowTest, DocumentsWaitingAtTheEndGoOutAfterTheNextStart) {
    SetIni("AGENT CORE", "HUB_URL", testutil::HubProcess::UrlFor(testutil::FreePort()));
    SetIni("DocTypeDir", "QUERY", WindowsPath(zeldist));
    SetIni("DocTypeExt", "QUERY", ".req");
    std::string spool;
    {
        TForm1 first(iniPath, WindowsPath(prog));
        for (int n = 1; n <= 3; ++n) {
            std::string doc =
                sandbox.dir().Write("out/" + std::to_string(n) + ".txt",
                                    std::string(kQuery) + "N=" + std::to_string(n) + "\r\n");
            first.Controller().SendFile(WindowsPath(doc));
            EXPECT_FALSE(fs::exists(doc));
        }
        spool = platform::NativePath(first.Controller().Documents().WorkingDir + "spool");
        EXPECT_EQ(Files(spool, ".spool").size(), 3u);
    }
    EXPECT_EQ(Ini("AGENT CORE", "Agent_Id"), "-1");

    SetIni("AGENT CORE", "HUB_URL", hub.Url());
    TForm1 second(iniPath, WindowsPath(prog));
    EXPECT_EQ(Ini("AGENT CORE", "Agent_Id"), "1");
    EXPECT_TRUE(Files(spool, ".spool").empty());
    std::vector<std::string> arrived;
    for (int i = 0; i < 4; ++i) {
        second.Controller().CheckMail();
        const std::string last = second.Controller().Documents().LastReceivedFile;
        if (last.empty()) continue;
        auto n = FindReplyValue(platform::ReadWholeFile(last), "N");
        arrived.push_back(n ? *n : "?");
        second.Controller().Documents().LastReceivedFile.clear();
    }
    EXPECT_EQ(arrived, (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Files(zeldist, ".req").size(), 3u);
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(AgentWindowTest, EleventhDocumentClearsTheVisibleActivityView) {
    StartWithHub();
    form->show();
    auto& c = form->Controller();
    c.MessageCount = 0;
    for (int i = 1; i <= 11; ++i) {
        TZELMessage m;
        m.Data = "[zelInfo]\r\nDOC=" + std::to_string(i) + "\r\nNAME=Andr\xE9\r\n";
        bool del = false;
        c.OnHubMessage(m, del);
    }
    QString memo = form->Memo1->toPlainText();
    EXPECT_TRUE(memo.contains("DOC=11"));
    EXPECT_FALSE(memo.contains("DOC=10"));
    EXPECT_TRUE(memo.contains(QString::fromUtf8("NAME=Andr\xC3\xA9")));  // ISO-8859-1 text
    EXPECT_EQ(c.MessageCount, 0);
}

TEST_F(AgentWindowTest, CloseHidesAndAboutShowsTheVersion) {
    StartWithHub();
    form->show();
    form->close();
    EXPECT_FALSE(form->isVisible());
    form->MnuDetail->trigger();
    EXPECT_TRUE(form->isVisible());
    form->MnuAbout->trigger();
    ASSERT_FALSE(boxes.texts.empty());
    EXPECT_EQ(boxes.texts.back(), "Zel Agent\r\rVersion " + AgentVersionString());
    EXPECT_EQ(DialogFilters(kOpenDialogFilter).value(1), "OBP (*.obp)");
}

// Nothing is cut at the window's edge: not as it opens, nor made taller, nor at the smallest size
// its layout allows.
TEST_F(AgentWindowTest, TheWindowShowsItsWidgetsWhole) {
    StartWithHub();
    form->show();
    ASSERT_TRUE(testutil::WaitFor(
        [&] { return form->windowHandle() && form->windowHandle()->isExposed(); }));
    EXPECT_THAT(qttest::CutWidgets(*form), ::testing::IsEmpty()) << "as it opens";
    for (const QSize size : {form->size() + QSize(0, 120), form->minimumSizeHint()}) {
        form->resize(size);
        ASSERT_TRUE(testutil::WaitFor([&] { return form->size() == size; }));
        EXPECT_THAT(qttest::CutWidgets(*form), ::testing::IsEmpty())
            << size.width() << "x" << size.height();
    }
}

TEST_F(AgentWindowTest, SubscriptionPageAddress) {
    StartWithHub();
    std::vector<std::string> opened;
    form->Controller().SetUrlOpener([&](const std::string& u) { opened.push_back(u); });
    form->mnuSubscriptions->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "?AgentId=1");
    EXPECT_EQ(Ini("AGENT CORE", "SubscriptionURL"), "");

    SetIni("AGENT CORE", "SubscriptionURL", "http://subs.example/page");
    std::string setup = sandbox.dir().Write(
        "setup.ini", "[SETUP.DBF]\r\nCOMPNAME=Acme Parts\r\nCITY=Dayton\r\nPHONE_1=555\r\n");
    form->Controller().Subscribe(setup);
    EXPECT_EQ(opened.back(),
              "http://subs.example/page?AgentId=1&CompanyName=Acme Parts&Address=&City=Dayton"
              "&State=&ZipCode=&Phone=555");
}

// The automation interface of a window in this process, called through gdbus.
class AutomationTest : public AgentWindowTest {
protected:
    AutomationTest() {
        StartWithHub();
        automation = std::make_unique<TZelAgent>(form->Controller());
        std::string why;
        registered = RegisterAutomation(QDBusConnection::sessionBus(), automation.get(), &why);
        EXPECT_TRUE(registered) << why;
    }
    ~AutomationTest() override {
        if (!registered) return;
        QDBusConnection::sessionBus().unregisterService(kServiceName);
        QDBusConnection::sessionBus().unregisterObject(kObjectPath);
    }

    std::unique_ptr<TZelAgent> automation;
    bool registered = false;
};

TEST_F(AutomationTest, SendFileToSelfThenCheckMailStoresByTypeFolderAndExtension) {
    std::string doc = sandbox.dir().Write("out/query.txt", kQuery);
    auto r = testutil::CallAgent("SendFile", {doc});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_FALSE(fs::exists(doc));
    EXPECT_TRUE(Files(sandbox.dir().path() + "/out", ".sending").empty());
    // The hub's receipt is the result of the send.
    std::string receipt = testutil::AgentResultFile();
    EXPECT_NE(platform::ReadWholeFile(receipt).find("DOCTYPE=RECEIPT"), std::string::npos);

    ASSERT_EQ(testutil::CallAgent("CheckMail").code, 0);
    auto reqs = Files(zeldist, ".req");
    ASSERT_EQ(reqs.size(), 1u);
    std::string stored = platform::ReadWholeFile(reqs[0]);
    EXPECT_EQ(stored.rfind(kQuery, 0), 0u) << stored;
}

TEST_F(AutomationTest, ExecuteQueryThenResultFile) {
    std::string doc = sandbox.dir().Write("out/q.txt", kQuery);
    ASSERT_EQ(testutil::CallAgent("ExecuteQuery", {doc}).code, 0);
    std::string result = testutil::AgentResultFile();
    EXPECT_EQ(WindowsPath(result), form->Controller().Documents().LastReceivedFile);
    EXPECT_NE(platform::ReadWholeFile(result).find("DOCTYPE=RECEIPT"), std::string::npos);

    form->Controller().Core().HubURL = testutil::HubProcess::UrlFor(testutil::FreePort());
    doc = sandbox.dir().Write("out/q2.txt", kQuery);
    ASSERT_EQ(testutil::CallAgent("ExecuteQuery", {doc}).code, 0);
    result = testutil::AgentResultFile();
    EXPECT_NE(platform::ReadWholeFile(result).find("DocType=EXCEPTION"), std::string::npos);
}

TEST_F(AutomationTest, SendWithReqSavesSendsAndConsumesItsFile) {
    auto r = testutil::CallAgent("Send", {kQuery, ".req"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "('',)\n");
    EXPECT_TRUE(Files(Work(), ".req").empty());
    EXPECT_TRUE(Files(Work(), ".sending").empty());
    ASSERT_EQ(testutil::CallAgent("CheckMail").code, 0);
    EXPECT_EQ(Files(zeldist, ".req").size(), 1u);

    // The bus carries Unicode; the document gets ISO-8859-1 bytes, as documents have.
    r = testutil::CallAgent("Send", {std::string(kQuery) + "NAME=M\xC3\xBCller\r\n", ".req"});
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(testutil::CallAgent("CheckMail").code, 0);
    std::string stored = platform::ReadWholeFile(form->Controller().Documents().LastReceivedFile);
    EXPECT_NE(stored.find("NAME=M\xFCller\r\n"), std::string::npos) << stored;

    // Whatever goes wrong inside, Send succeeds; an extension cannot lead out of the folder.
    r = testutil::CallAgent("Send", {kQuery, "/../../escaped"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_FALSE(fs::exists(sandbox.dir().path() + "/escaped"));
}

TEST_F(AutomationTest, ErrorsBecomeErrorRepliesAndIntrospectionShowsTheInterface) {
    auto r = testutil::CallAgent("SendFile", {sandbox.dir().path() + "/missing.zel"});
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.err.find("org.freedesktop.DBus.Error.Failed"), std::string::npos) << r.err;

    auto i = testutil::RunServing(
        "gdbus", {"introspect", "--session", "--dest", kServiceName, "--object-path", kObjectPath});
    ASSERT_EQ(i.code, 0) << i.err;
    for (const char* s : {"interface net.zel.IZelAgent", "SendFile(in  s filename)",
                          "ExecuteQuery(in  s filename)", "Subscribe(in  s filename)",
                          "Send(in  s sData,", "out s", "CheckMail()", "readonly s ResultFile"})
        EXPECT_NE(i.out.find(s), std::string::npos) << s << "\n" << i.out;
}

// ResultFile is computed at each read and never signalled: the bus must not promise
// PropertiesChanged for it, or a client that caches properties keeps the first path it read.
// The interface's description is written out by hand, so it is checked against the slots too.
TEST_F(AutomationTest, ResultFileIsDeclaredWithoutChangeSignalsAndEverySlotIsDescribed) {
    auto i = testutil::RunServing("gdbus", {"introspect", "--xml", "--session", "--dest",
                                            kServiceName, "--object-path", kObjectPath});
    ASSERT_EQ(i.code, 0) << i.err;
    const auto begin = i.out.find("<property name=\"ResultFile\" type=\"s\" access=\"read\">");
    ASSERT_NE(begin, std::string::npos) << i.out;
    const std::string property = i.out.substr(begin, i.out.find("</property>", begin) - begin);
    EXPECT_NE(property.find("<annotation name=\"org.freedesktop.DBus.Property.EmitsChangedSignal\" "
                            "value=\"false\"/>"),
              std::string::npos)
        << property;

    const QMetaObject& meta = TZelAgent::staticMetaObject;
    int exported = 0;
    for (int m = meta.methodOffset(); m < meta.methodCount(); ++m) {
        const QMetaMethod method = meta.method(m);
        if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Public)
            continue;
        ++exported;
        const std::string name = method.name().toStdString();
        EXPECT_NE(i.out.find("<method name=\"" + name + "\""), std::string::npos) << name << "\n"
                                                                                  << i.out;
    }
    EXPECT_EQ(exported, 5);

    // The property still reads what the last call left.
    std::string doc = sandbox.dir().Write("out/q.txt", kQuery);
    ASSERT_EQ(testutil::CallAgent("ExecuteQuery", {doc}).code, 0);
    EXPECT_EQ(WindowsPath(testutil::AgentResultFile()),
              form->Controller().Documents().LastReceivedFile);
}

// A bus name held by another program: the agent says who holds it instead of an empty reason,
// and leaves the object path free for a later attempt.
TEST_F(AgentWindowTest, ATakenBusNameIsReportedWithItsOwner) {
    StartWithHub();
    const QString taker = QStringLiteral("name-taker");
    {
        QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, taker);
        ASSERT_TRUE(other.registerService(kServiceName));
        const QString ownerConnection = other.baseService();

        TZelAgent automation(form->Controller());
        std::string why;
        EXPECT_FALSE(RegisterAutomation(QDBusConnection::sessionBus(), &automation, &why));
        EXPECT_NE(why.find("the name net.zel.ZelAgent is owned by another program"),
                  std::string::npos)
            << why;
        EXPECT_NE(why.find(ownerConnection.toStdString()), std::string::npos) << why;
        EXPECT_NE(why.find("process " + std::to_string(::getpid())), std::string::npos) << why;
        EXPECT_TRUE(QDBusConnection::sessionBus().objectRegisteredAt(kObjectPath) == nullptr);

        // Once the name is free the same object can be offered.
        ASSERT_TRUE(other.unregisterService(kServiceName));
        why.clear();
        EXPECT_TRUE(RegisterAutomation(QDBusConnection::sessionBus(), &automation, &why)) << why;
        QDBusConnection::sessionBus().unregisterService(kServiceName);
        QDBusConnection::sessionBus().unregisterObject(kObjectPath);
    }
    QDBusConnection::disconnectFromBus(taker);
}

}  // namespace
}  // namespace zel::agent
