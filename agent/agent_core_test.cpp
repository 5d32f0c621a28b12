#include "agent/agent_core.h"

#include <gtest/gtest.h>

#include "agent/cipher/cipher.h"
#include "agent/http.h"
#include "agent/loopback_test_util.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/seams.h"
#include "platform/test_support.h"

namespace zel::agent {
namespace {

using testutil::HubProcess;
using testutil::RawServer;

struct Received {
    std::string docType;
    std::string data;
    std::int32_t docId;
};

// One agent: its INI file, its core and what its events delivered.
struct Agent {
    Agent(const std::string& folder, const std::string& name, const std::string& hubUrl)
        : ini(folder + "/" + name + ".INI") {
        platform::WriteProfileString("AGENT CORE", "HUB_URL", hubUrl, ini);
        core = std::make_unique<TZELAgentCore>(ini);
        core->OnLog = [this](const std::string& t) { logs.push_back(t); };
        core->OnMessage = [this](TZELMessage& m, bool& del) {
            received.push_back({m.DocType, m.AsString(), m.DocId});
            del = deleteFetched;
        };
    }
    std::string StoredId() const {
        return platform::GetProfileString("AGENT CORE", "Agent_Id", "?", 100, ini);
    }
    bool Send(const std::string& partner, const std::string& docType, const std::string& data,
              const std::string& file = {}) {
        auto m = std::make_unique<TZELMessage>();
        m->AgentId = core->AgentId;
        m->TradePartner = partner;
        m->DocType = docType;
        m->Data = data;
        return core->EnqueueAndSend(std::move(m), file);
    }

    std::string ini;
    std::unique_ptr<TZELAgentCore> core;
    std::vector<std::string> logs;
    std::vector<Received> received;
    bool deleteFetched = true;
};

class AgentCoreTest : public ::testing::Test {
protected:
    std::string Folder() const { return dir_.path(); }

    platform::testing::ScopedEnv noProxy_{"http_proxy", std::nullopt};
    platform::testing::TempDir dir_;
};

TEST_F(AgentCoreTest, SettingsDefaultsAreWrittenBack) {
    const std::string ini = Folder() + "/ZelAgent.INI";
    TZELAgentCore core(ini);
    EXPECT_EQ(core.HubURL, kDefaultHubUrl);
    EXPECT_EQ(core.AgentId, -1);
    EXPECT_EQ(platform::GetProfileString("AGENT CORE", "HUB_URL", "?", 100, ini), "");
    EXPECT_EQ(platform::GetProfileString("AGENT CORE", "Agent_Id", "?", 100, ini), "-1");
    EXPECT_EQ(core.ProxyActive, 0);
    EXPECT_EQ(core.ProxyPort, 0);
    EXPECT_TRUE(core.Queue.empty());
    EXPECT_FALSE(core.Busy);
}

TEST_F(AgentCoreTest, SettingsAreRead) {
    const std::string ini = Folder() + "/ZelAgent.INI";
    platform::WriteProfileString("AGENT CORE", "HUB_URL", "http://h/ZelHub/HUBServlet", ini);
    platform::WriteProfileString("AGENT CORE", "Agent_Id", "42", ini);
    platform::WriteProfileString("PROXY", "ACTIVE", "257", ini);
    platform::WriteProfileString("PROXY", "ADDRESS", "proxy.local", ini);
    platform::WriteProfileString("PROXY", "PORT", "3128", ini);
    TZELAgentCore core(ini);
    EXPECT_EQ(core.HubURL, "http://h/ZelHub/HUBServlet");
    EXPECT_EQ(core.AgentId, 42);
    EXPECT_EQ(core.ProxyActive, 1);  // low 8 bits
    EXPECT_EQ(core.ProxyAddress, "proxy.local");
    EXPECT_EQ(core.ProxyPort, 3128);

    platform::WriteProfileString("PROXY", "ACTIVE", "256", ini);
    platform::WriteProfileString("AGENT CORE", "Agent_Id", "junk", ini);
    TZELAgentCore again(ini);
    EXPECT_EQ(again.ProxyActive, 0);
    EXPECT_EQ(again.AgentId, -1);
    EXPECT_EQ(platform::GetProfileString("AGENT CORE", "Agent_Id", "?", 100, ini), "-1");
}

TEST_F(AgentCoreTest, SignUpSendToSelfFetchAndDelete) {
    HubProcess hub;
    Agent a(Folder(), "a", hub.Url());

    // First check: the hub assigns the first free id; no document reaches the window.
    EXPECT_TRUE(a.core->CheckMailOnce());
    EXPECT_EQ(a.core->AgentId, 1);
    EXPECT_EQ(a.StoredId(), "1");
    EXPECT_TRUE(a.received.empty());
    // The sign-up document was deleted on the hub under the new id.
    EXPECT_TRUE(a.core->CheckMailOnce());
    EXPECT_EQ(a.logs.back(), "No Mail");

    const std::string doc = "[zelInfo]\r\nDOCTYPE=MESSAGE\r\nTRADEPARTNER=self\r\nx=+ &%\xe9\r\n";
    EXPECT_TRUE(a.Send("Self", "MESSAGE", doc));
    EXPECT_EQ(a.logs.back(), "Message sent to HUB");
    EXPECT_TRUE(a.core->Queue.empty());
    ASSERT_EQ(a.received.size(), 1u);  // the hub's reply
    EXPECT_EQ(a.received[0].docType, "RECEIPT");

    EXPECT_TRUE(a.core->CheckMailOnce());
    ASSERT_EQ(a.received.size(), 2u);
    EXPECT_EQ(a.received[1].docType, "MESSAGE");
    EXPECT_GT(a.received[1].docId, 0);
    // The payload comes back with its padding blanks.
    ASSERT_EQ(a.received[1].data.size() % 8, 0u);
    EXPECT_EQ(a.received[1].data.substr(0, doc.size()), doc);
    EXPECT_EQ(a.received[1].data.find_first_not_of(' ', doc.size()), std::string::npos);

    EXPECT_TRUE(a.core->CheckMailOnce());
    EXPECT_EQ(a.logs.back(), "No Mail");
    EXPECT_EQ(a.received.size(), 2u);
}

// A second hub on a port in use would otherwise bind beside the first and take a share of its
// agents' connections.
TEST(StandInHub, RefusesAPortAlreadyInUse) {
    HubProcess first;
    testutil::ChildProcess second({testutil::HubBinary(), "--port", std::to_string(first.port())},
                                  true, true);
    ASSERT_EQ(second.ReadLine(),
              "zelhub: port " + std::to_string(first.port()) + " is already in use");
    EXPECT_EQ(second.Wait(), 1);
}

TEST_F(AgentCoreTest, ForwardToAnotherAgentAndKeepOnHubWhenNotDeleted) {
    HubProcess hub;
    Agent a(Folder(), "a", hub.Url());
    Agent b(Folder(), "b", hub.Url());
    a.core->CheckMailOnce();
    b.core->CheckMailOnce();
    ASSERT_EQ(a.core->AgentId, 1);
    ASSERT_EQ(b.core->AgentId, 2);

    EXPECT_TRUE(a.Send("2", "QUERY", "[zelInfo]\r\nDOCTYPE=QUERY\r\n"));
    EXPECT_EQ(a.logs.back(), "Message sent to HUB");

    b.deleteFetched = false;
    EXPECT_TRUE(b.core->CheckMailOnce());
    b.deleteFetched = true;
    EXPECT_TRUE(b.core->CheckMailOnce());  // still there, now deleted
    ASSERT_EQ(b.received.size(), 2u);
    EXPECT_EQ(b.received[0].docId, b.received[1].docId);
    EXPECT_EQ(b.received[1].docType, "QUERY");
    EXPECT_EQ(b.received[1].data.substr(0, 26), "[zelInfo]\r\nDOCTYPE=QUERY\r\n");
    EXPECT_TRUE(b.core->CheckMailOnce());
    EXPECT_EQ(b.logs.back(), "No Mail");
    // Nothing landed in the sender's own mailbox.
    EXPECT_TRUE(a.core->CheckMailOnce());
    EXPECT_EQ(a.logs.back(), "No Mail");
}

TEST_F(AgentCoreTest, RejectedSendIsDroppedAndItsFileKeptAsErr) {
    HubProcess hub;
    Agent a(Folder(), "a", hub.Url());
    a.core->CheckMailOnce();
    const std::string file = Folder() + "/123.zel";
    platform::WriteWholeFile(file, "doc");
    EXPECT_TRUE(a.Send("NOBODY", "QUERY", "doc", file));
    EXPECT_EQ(a.logs.back(), "Message rejected by HUB " + hub.Url());
    EXPECT_TRUE(a.core->Queue.empty());
    ASSERT_EQ(a.received.size(), 1u);
    EXPECT_EQ(a.received[0].docType, "ERROR");
    EXPECT_FALSE(platform::FileExists(file));
    EXPECT_EQ(platform::ReadWholeFile(Folder() + "/123.err"), "doc");
}

TEST_F(AgentCoreTest, TakenDocumentFileIsDeletedOnlyWhenTheHubHasIt) {
    const int port = testutil::FreePort();
    Agent a(Folder(), "a", HubProcess::UrlFor(port));
    a.core->AgentId = 7;
    const std::string file = Folder() + "/55.zel";
    platform::WriteWholeFile(file, "doc");

    EXPECT_TRUE(a.Send("self", "MESSAGE", "doc", file));
    // Hub down: the caller's name is free again, the document waits beside it.
    EXPECT_FALSE(platform::FileExists(file));
    const std::string spool = a.core->Queue.front().spoolFile;
    EXPECT_EQ(spool, file + ".sending");
    EXPECT_EQ(platform::ReadWholeFile(spool), "doc");

    // The caller reuses the name for its next document: it is not disturbed.
    platform::WriteWholeFile(file, "second");
    EXPECT_TRUE(a.Send("self", "MESSAGE", "second", file));
    EXPECT_EQ(a.core->Queue.back().spoolFile, file + ".1.sending");

    HubProcess hub(port);
    EXPECT_TRUE(a.core->SendQueuedMessage());
    EXPECT_FALSE(platform::FileExists(spool));
    EXPECT_TRUE(platform::FileExists(file + ".1.sending"));
    EXPECT_TRUE(a.core->SendQueuedMessage());
    EXPECT_FALSE(platform::FileExists(file + ".1.sending"));
    EXPECT_FALSE(a.core->SendQueuedMessage());  // empty queue
}

TEST_F(AgentCoreTest, FailedSendsKeepOrderAndTheQueueHoldsTen) {
    const int port = testutil::FreePort();
    const std::string url = HubProcess::UrlFor(port);
    Agent a(Folder(), "a", url);
    a.core->AgentId = 3;

    EXPECT_TRUE(a.Send("self", "T", "first"));
    EXPECT_TRUE(a.Send("self", "T", "second"));
    ASSERT_EQ(a.core->Queue.size(), 2u);
    EXPECT_EQ(a.core->Queue.front().message->AsString(), "first");
    EXPECT_EQ(a.logs.back(),
              "Send Message to HUB " + url + " failed - Could not connect to " + url);
    ASSERT_EQ(a.received.size(), 2u);
    EXPECT_EQ(a.received[0].docType, "EXCEPTION");
    EXPECT_EQ(a.received[0].data,
              "[zelInfo]\r\nDocType=EXCEPTION\r\nDocVersion=1.0\r\nDealerNumber=\r\n"
              "TradePartner=ZELAgent\r\n[ErrorInfo]\r\nErrCount=1\r\nErrorCode1=7000\r\n"
              "ErrorMsg1=Could not connect to " +
                  url + "\r\n");

    for (int i = 3; i <= 10; ++i) EXPECT_TRUE(a.Send("self", "T", "m" + std::to_string(i)));
    EXPECT_EQ(a.core->Queue.size(), 10u);
    const std::string eleventh = Folder() + "/11.zel";
    platform::WriteWholeFile(eleventh, "x");
    EXPECT_FALSE(a.Send("self", "T", "eleventh", eleventh));
    EXPECT_EQ(a.core->Queue.size(), 10u);
    EXPECT_TRUE(platform::FileExists(eleventh));  // left to the caller
    EXPECT_FALSE(a.core->Busy);

    // The hub comes up: the next send takes the head, the new message waits behind.
    HubProcess hub(port);
    a.core->Queue.pop_back();
    EXPECT_TRUE(a.Send("self", "T", "late"));
    EXPECT_EQ(a.logs.back(), "Message sent to HUB");
    EXPECT_EQ(a.core->Queue.front().message->AsString(), "second");
    EXPECT_EQ(a.core->Queue.back().message->AsString(), "late");
    while (a.core->SendQueuedMessage()) {
    }

    std::vector<std::string> fetched;
    while (a.core->CheckMailOnce() && a.logs.back() != "No Mail") {
        const std::string d = a.received.back().data;
        fetched.push_back(d.substr(0, d.find(' ')));
    }
    const std::vector<std::string> expected = {"first", "second", "m3", "m4", "m5",
                                               "m6",    "m7",     "m8", "m9", "late"};
    EXPECT_EQ(fetched, expected);
}

TEST_F(AgentCoreTest, MessageHandedOverDuringASendWaits) {
    HubProcess hub;
    Agent a(Folder(), "a", hub.Url());
    a.core->CheckMailOnce();
    bool nested = false;
    a.core->OnMessage = [&](TZELMessage&, bool&) {
        if (nested) return;
        nested = true;
        EXPECT_TRUE(a.core->Busy);
        EXPECT_TRUE(a.Send("self", "T", "nested"));
        EXPECT_EQ(a.core->Queue.size(), 1u);
    };
    EXPECT_TRUE(a.Send("self", "T", "outer"));
    EXPECT_FALSE(a.core->Busy);
    EXPECT_EQ(a.core->Queue.size(), 1u);
}

TEST_F(AgentCoreTest, UnreachableHubCheckIsLoggedAndFalse) {
    const std::string url = HubProcess::UrlFor(testutil::FreePort());
    Agent a(Folder(), "a", url);
    EXPECT_FALSE(a.core->CheckMailOnce());
    EXPECT_EQ(a.logs.back(),
              "Check Message to HUB " + url + " failed - Could not connect to " + url);
}

TEST_F(AgentCoreTest, PostsThroughTheConfiguredProxy) {
    if (access(testutil::kTinyProxy, X_OK) != 0) GTEST_SKIP() << "tinyproxy not installed";
    testutil::ProxyProcess proxy(Folder());
    HubProcess hub;
    const std::string ini = Folder() + "/p.INI";
    platform::WriteProfileString("PROXY", "ACTIVE", "1", ini);
    platform::WriteProfileString("PROXY", "ADDRESS", "127.0.0.1:" + std::to_string(proxy.port()),
                                 ini);
    Agent a(Folder(), "p", hub.Url());
    EXPECT_TRUE(a.core->CheckMailOnce());
    EXPECT_EQ(a.core->AgentId, 1);
    EXPECT_TRUE(a.Send("self", "T", "via proxy"));
    EXPECT_EQ(a.logs.back(), "Message sent to HUB");
}

// --- Scripted hub replies --------------------------------------------------------------------

std::string Response(const std::string& fields, const std::string& data) {
    return RawServer::Ok("Action=RESPONSE\r\n" + fields + "Data=" + data);
}

class ScriptedHubTest : public AgentCoreTest {
protected:
    // Runs one check against replies `script`; returns the requests' bodies.
    std::vector<std::string> Check(const std::vector<std::string>& script, std::int32_t id = 9) {
        RawServer server(script);
        agent_ = std::make_unique<Agent>(Folder(), "s" + std::to_string(runs_++), server.Url());
        agent_->core->AgentId = id;
        result_ = agent_->core->CheckMailOnce();
        return server.Bodies();
    }
    Agent& agent() { return *agent_; }

    std::unique_ptr<Agent> agent_;
    bool result_ = false;
    int runs_ = 0;
};

TEST_F(ScriptedHubTest, NoMailUnlessActionIsExactlyResponse) {
    for (const std::string reply : {"", "DocType=X\r\n", "Action=response\r\n", "Action=NOMAIL"}) {
        EXPECT_EQ(Check({RawServer::Ok(reply)}).size(), 1u);
        EXPECT_TRUE(result_);
        EXPECT_EQ(agent().logs.back(), "No Mail") << reply;
        EXPECT_TRUE(agent().received.empty());
    }
}

TEST_F(ScriptedHubTest, LowerCaseDesedeIsNotDecryptedAndDocIdZeroIsNotDeleted) {
    const auto bodies =
        Check({Response("DocType=X\r\nDataLength=8\r\nEncryption=desede\r\n", "ABCDEFGHtail")});
    EXPECT_EQ(bodies, std::vector<std::string>{"Action=GETMAIL&AgentId=9"});
    ASSERT_EQ(agent().received.size(), 1u);
    EXPECT_EQ(agent().received[0].data, "ABCDEFGH");
}

TEST_F(ScriptedHubTest, MissingOrHostileDataLength) {
    const std::string plain = "[zelInfo]\r\nDOCTYPE=Q\r\n";
    const std::string cipher = EncryptData(plain, 9);
    Check({Response("DocType=Q\r\nDocId=0\r\nEncryption=DESede\r\n", cipher)});
    EXPECT_EQ(agent().received.at(0).data, "");
    Check({Response("DocType=Q\r\nDataLength=-5\r\nEncryption=DESede\r\n", cipher)});
    EXPECT_EQ(agent().received.at(0).data, "");
    Check({Response("DocType=Q\r\nDataLength=x12\r\n", "abc")});
    EXPECT_EQ(agent().received.at(0).data, "");
    Check({Response("DocType=Q\r\nDataLength=2147483648\r\n", "abc")});
    EXPECT_EQ(agent().received.at(0).data, "");
}

// Data shorter than the reply's own length is refused: nothing stored, nothing deleted on the
// hub (the document comes again), and the refusal is logged.
TEST_F(ScriptedHubTest, DataShorterThanItsDataLengthIsAFailedCheck) {
    const std::string cipher = EncryptData("[zelInfo]\r\nDOCTYPE=Q\r\n", 9);
    const auto bodies =
        Check({Response("DocType=Q\r\nDocId=6\r\nDataLength=" + std::to_string(cipher.size() + 1) +
                            "\r\nEncryption=DESede\r\n",
                        cipher),
               RawServer::Ok("Action=OK\r\n")});
    EXPECT_FALSE(result_);
    EXPECT_TRUE(agent().received.empty());
    EXPECT_EQ(bodies, std::vector<std::string>{"Action=GETMAIL&AgentId=9"});
    EXPECT_EQ(agent().logs.back(), "Check Message to HUB " + agent().core->HubURL +
                                       " failed - the document lacks 1 bytes of its DataLength " +
                                       std::to_string(cipher.size() + 1));
    // A reply without any data but with a length, and a sign-up cut short, alike.
    Check({RawServer::Ok("Action=RESPONSE\r\nDocType=Q\r\nDocId=6\r\nDataLength=8\r\n"),
           RawServer::Ok("Action=OK\r\n")});
    EXPECT_FALSE(result_);
    EXPECT_TRUE(agent().received.empty());
    Check({Response("DocType=AGENT_SIGNUP\r\nDocId=3\r\nDataLength=40\r\n", "AgentId=5\r\n"),
           RawServer::Ok("Action=OK\r\n")},
          -1);
    EXPECT_FALSE(result_);
    EXPECT_EQ(agent().core->AgentId, -1);
    // Exactly as long as it says, or longer: taken, cut to its length.
    Check({Response("DocType=Q\r\nDocId=0\r\nDataLength=3\r\n", "abc"),
           RawServer::Ok("Action=OK\r\n")});
    EXPECT_TRUE(result_);
    EXPECT_EQ(agent().received.at(0).data, "abc");
}

// A document of 2 MB (far above what fits a small form body once encrypted and URL-encoded)
// goes through the stand-in hub and comes back whole.
TEST_F(AgentCoreTest, TwoMegabyteDocumentGoesThroughTheHubWhole) {
    HubProcess hub;
    Agent a(Folder(), "big", hub.Url());
    ASSERT_TRUE(a.core->CheckMailOnce());
    ASSERT_EQ(a.core->AgentId, 1);
    std::string doc = "[zelInfo]\r\nDOCTYPE=QUERY\r\nTRADEPARTNER=self\r\n";
    for (int item = 1; doc.size() < (2u << 20); ++item)
        doc += "[POITEMS" + std::to_string(item) +
               "]\r\nMfgCode=AB&%+=\r\nPartNumber=" + std::to_string(item * 7919) +
               "\r\nQuantity=2\r\n";
    doc.resize(2u << 20);
    ASSERT_TRUE(a.Send("self", "QUERY", doc));
    EXPECT_EQ(a.logs.back(), "Message sent to HUB");
    ASSERT_EQ(a.received.size(), 1u);
    EXPECT_EQ(a.received[0].docType, "RECEIPT");
    ASSERT_TRUE(a.core->CheckMailOnce());
    ASSERT_EQ(a.received.size(), 2u);
    EXPECT_EQ(a.received[1].docType, "QUERY");
    EXPECT_EQ(a.received[1].data, doc);  // a multiple of 8 bytes: no cipher padding added
    EXPECT_TRUE(a.core->CheckMailOnce());
    EXPECT_EQ(a.logs.back(), "No Mail");  // and it was deleted on the hub
}

TEST_F(ScriptedHubTest, CiphertextNotAMultipleOfEightLosesOnlyTheBrokenPiece) {
    const std::string cipher = EncryptData("abcdefgh12345678", 9);
    Check({Response("DocType=Q\r\nDataLength=13\r\nEncryption=DESede\r\n", cipher)});
    EXPECT_EQ(agent().received.at(0).data, "abcdefgh");
}

TEST_F(ScriptedHubTest, BinaryBytesAndNulsInData) {
    std::string plain("\0\r\n\xff=Data=\0", 11);
    plain += std::string(5, '\x01');
    const std::string cipher = EncryptData(plain, 9);
    Check({Response(
        "DocType=Q\r\nDataLength=" + std::to_string(cipher.size()) + "\r\nEncryption=DESede\r\n",
        cipher)});
    EXPECT_EQ(agent().received.at(0).data, plain);
    Check({Response("DocType=Q\r\nDataLength=11\r\n", plain)});
    EXPECT_EQ(agent().received.at(0).data, plain.substr(0, 11));
}

// A document cut short in transit is neither stored nor deleted on the hub: it comes again.
TEST_F(ScriptedHubTest, TruncatedFetchIsAFailedCheck) {
    const std::string head =
        "Action=RESPONSE\r\nDocType=Q\r\nDocId=6\r\nDataLength=40\r\nData=part";
    const auto bodies = Check(
        {"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + head, RawServer::Ok("Action=OK\r\n")});
    EXPECT_FALSE(result_);
    EXPECT_TRUE(agent().received.empty());
    EXPECT_EQ(bodies.size(), 1u);  // no delete request
    EXPECT_EQ(agent().logs.back(), "Check Message to HUB " + agent().core->HubURL +
                                       " failed - Could not connect to " + agent().core->HubURL);
    Check({"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\nAction=RESP"});
    EXPECT_FALSE(result_);
}

// The hub has a document whose receipt broke off: it is not sent a second time.
TEST_F(ScriptedHubTest, SendWhoseReplyBreaksOffCountsAsDelivered) {
    RawServer server({"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\nAction=OK\r\nDocType=R"});
    Agent a(Folder(), "x", server.Url());
    a.core->AgentId = 12;
    EXPECT_TRUE(a.Send("self", "PO", "order"));
    EXPECT_EQ(a.logs.back(), "Message sent to HUB");
    EXPECT_TRUE(a.core->Queue.empty());
    ASSERT_EQ(a.received.size(), 1u);
    EXPECT_EQ(a.received[0].docType, "R");
}

TEST_F(ScriptedHubTest, FiftyMegabyteReply) {
    const std::string data(50 * 1000 * 1000, 'z');
    const auto bodies = Check({Response("DocType=Q\r\nDocId=4\r\nDataLength=50000000\r\n", data),
                               RawServer::Ok("Action=OK\r\n")});
    EXPECT_EQ(bodies.size(), 2u);
    ASSERT_EQ(agent().received.size(), 1u);
    EXPECT_EQ(agent().received[0].data.size(), data.size());
}

TEST_F(ScriptedHubTest, SignUpOfTypeTenAssignsTheIdAndDeletesUnderIt) {
    const std::string cipher = EncryptData("[zelInfo]\r\nAgentId=57\r\n", -1);
    const auto bodies =
        Check({Response("DocType=10\r\nDocId=31\r\nDataLength=" + std::to_string(cipher.size()) +
                            "\r\nEncryption=DESede\r\n",
                        cipher),
               RawServer::Ok("Action=OK\r\n")},
              -1);
    EXPECT_EQ(agent().core->AgentId, 57);
    EXPECT_EQ(agent().StoredId(), "57");
    EXPECT_TRUE(agent().received.empty());
    EXPECT_EQ(bodies, (std::vector<std::string>{"Action=GETMAIL&AgentId=-1",
                                                "Action=DELETEMAIL&AgentId=57&DocId=31"}));
}

TEST_F(ScriptedHubTest, SignUpTypeIsCaseSensitive) {
    Check({Response("DocType=agent_signup\r\nDocId=0\r\nDataLength=10\r\n", "AgentId=57")}, -1);
    EXPECT_EQ(agent().core->AgentId, -1);
    EXPECT_EQ(agent().received.size(), 1u);
}

TEST_F(ScriptedHubTest, SignUpWithoutANumberPassesTheErrorOutAndKeepsTheDocument) {
    RawServer server(
        {Response("DocType=AGENT_SIGNUP\r\nDocId=3\r\nDataLength=12\r\n", "AgentId=abc\r\n"),
         RawServer::Ok("Action=OK\r\n")});
    Agent a(Folder(), "x", server.Url());
    try {
        a.core->CheckMailOnce();
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(a.core->AgentId, -1);
}

TEST_F(ScriptedHubTest, FailedDeleteShowsTheRepliesLines) {
    std::vector<std::string> boxes;
    platform::SetMsgBoxHandler([&](const platform::MsgBoxRequest& r) {
        boxes.push_back(r.text);
        return platform::MsgResult::Ok;
    });
    Check({Response("DocType=Q\r\nDocId=8\r\nDataLength=1\r\n", "x"),
           RawServer::Ok("Action=ERROR\nReason=gone\r\n")});
    EXPECT_TRUE(result_);
    // The delete request failing to connect ends the check silently.
    Check({Response("DocType=Q\r\nDocId=8\r\nDataLength=1\r\n", "x"), ""});
    EXPECT_TRUE(result_);
    platform::SetMsgBoxHandler({});
    EXPECT_EQ(boxes, std::vector<std::string>{"Error deleting Mail Action=ERROR\r\nReason=gone"});
}

TEST_F(ScriptedHubTest, StoreFailureLeavesTheDocumentOnTheHub) {
    RawServer server({Response("DocType=Q\r\nDocId=8\r\nDataLength=1\r\n", "x")});
    Agent a(Folder(), "x", server.Url());
    a.core->OnMessage = [](TZELMessage&, bool&) { throw std::runtime_error("Cannot create file"); };
    EXPECT_THROW(a.core->CheckMailOnce(), std::runtime_error);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(ScriptedHubTest, SendRequestFormsAndReplies) {
    RawServer server({RawServer::Ok("Action=OK\r\nDocType=R\r\nDataLength=2\r\nData=ok"),
                      RawServer::Ok("action=ERROR\r\n"), RawServer::Ok("Action=ok")});
    Agent a(Folder(), "x", server.Url());
    a.core->AgentId = 12;
    EXPECT_TRUE(a.Send("SELF", "MESSAGE", "a b"));
    EXPECT_EQ(a.logs.back(), "Message sent to HUB");
    EXPECT_EQ(a.received.at(0).docType, "R");
    EXPECT_EQ(a.received.at(0).data, "ok");
    EXPECT_TRUE(a.Send("", "PO", "x"));
    EXPECT_EQ(a.logs.back(), "Message rejected by HUB " + server.Url());
    EXPECT_TRUE(a.Send("Dealer 7", "PO", "y"));
    EXPECT_EQ(a.logs.back(), "Message sent to HUB");  // any Action but ERROR

    const auto bodies = server.Bodies();
    ASSERT_EQ(bodies.size(), 3u);
    EXPECT_EQ(bodies[0],
              "Action=SAVEMAIL&DestinationId=12&AgentId=12&Version=2.0"
              "&Encryption=DESede&DocType=MESSAGE&Data=" +
                  UrlEncodeBody(EncryptData("a b", 12)));
    EXPECT_EQ(bodies[1].rfind("Action=FORWARD&Destination=&AgentId=12&Version=2.0&", 0), 0u);
    EXPECT_EQ(bodies[2].rfind("Action=FORWARD&Destination=Dealer 7&AgentId=12&Version=", 0), 0u);
}

}  // namespace
}  // namespace zel::agent
