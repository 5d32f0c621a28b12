#include "agent/agent_core.h"

#include <algorithm>

#include "agent/cipher.h"
#include "agent/http.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/seams.h"

namespace zel::agent {

namespace {

constexpr const char* kCoreSection = "AGENT CORE";
constexpr const char* kProxySection = "PROXY";
constexpr std::size_t kIniBuffer = 2048;
constexpr std::size_t kMaxBoxText = 4096;

std::string Upper(std::string s) {
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string ReadIni(const std::string& section, const std::string& key, const std::string& ini) {
    return platform::GetProfileString(section, key, "", kIniBuffer, ini);
}

std::string ReplaceExtension(const std::string& path, const std::string& ext) {
    const std::string name = platform::FileNamePart(path);
    const auto dot = name.rfind('.');
    const std::string stem = path.substr(0, path.size() - name.size()) +
                             (dot == std::string::npos ? name : name.substr(0, dot));
    return stem + ext;
}

// Moves a handed-over document file aside under a name its owner will not reuse. Falls back
// to the file's own name when it cannot be moved.
std::string MoveToSpool(const std::string& file) {
    if (!platform::FileExists(file)) return {};
    for (int n = 0; n < 1000; ++n) {
        const std::string spool =
            file + (n == 0 ? std::string() : "." + std::to_string(n)) + ".sending";
        if (platform::FileExists(spool)) continue;
        try {
            platform::RenameFile(file, spool, false);
            return spool;
        } catch (const std::exception&) {
            break;
        }
    }
    return file;
}

// The reply's lines joined with CR LF, cut to `limit` bytes: a hostile delete reply must
// neither make the message box unusable nor cost memory in proportion to its line count.
std::string JoinLinesCrLf(std::string_view text, std::size_t limit) {
    std::string out;
    bool first = true;
    ForEachLine(text, [&](std::string_view line) {
        if (!first) out += "\r\n";
        first = false;
        out.append(line.substr(0, limit - std::min(limit, out.size())));
        return out.size() < limit;
    });
    if (out.size() > limit) out.resize(limit);
    return out;
}

}  // namespace

std::string BuildExceptionDocument(const std::string& errorMessage) {
    return "[zelInfo]\r\n"
           "DocType=EXCEPTION\r\n"
           "DocVersion=1.0\r\n"
           "DealerNumber=\r\n"
           "TradePartner=ZELAgent\r\n"
           "[ErrorInfo]\r\n"
           "ErrCount=1\r\n"
           "ErrorCode1=7000\r\n"
           "ErrorMsg1=" +
           errorMessage + "\r\n";
}

TZELAgentCore::TZELAgentCore(std::string iniPath) : iniPath_(std::move(iniPath)) {
    HubURL = ReadIni(kCoreSection, "HUB_URL", iniPath_);
    if (HubURL.empty()) {
        platform::WriteProfileString(kCoreSection, "HUB_URL", "", iniPath_);
        HubURL = kDefaultHubUrl;
    }
    AgentId = StrToIntDef(ReadIni(kCoreSection, "Agent_Id", iniPath_), 0);
    if (AgentId <= 0) SetAgentId(-1);
    ProxyActive =
        static_cast<std::uint8_t>(StrToIntDef(ReadIni(kProxySection, "ACTIVE", iniPath_), 0) & 0xFF);
    ProxyAddress = ReadIni(kProxySection, "ADDRESS", iniPath_);
    ProxyPort = StrToIntDef(ReadIni(kProxySection, "PORT", iniPath_), 0);
}

void TZELAgentCore::SetAgentId(std::int32_t id) {
    if (id != AgentId &&
        !platform::WriteProfileString(kCoreSection, "Agent_Id", std::to_string(id), iniPath_))
        Log("Could not store Agent_Id " + std::to_string(id) + " in " + iniPath_);
    AgentId = id;
}

void TZELAgentCore::Log(const std::string& text) {
    if (OnLog) OnLog(text);
}

std::string TZELAgentCore::EncryptData(std::string_view text) const {
    return zel::agent::EncryptData(text, AgentId);
}

std::string TZELAgentCore::DecryptData(std::string_view text) const {
    return zel::agent::DecryptData(text, AgentId);
}

std::string TZELAgentCore::Post(const std::string& body) {
    if (ProxyActive != 0) return HttpPostViaProxy(HubURL, body, ProxyAddress, ProxyPort);
    return HttpPost(HubURL, body);
}

bool TZELAgentCore::EnqueueAndSend(std::unique_ptr<TZELMessage> message, std::string sourceFile) {
    if (!message || Queue.size() >= kMaxQueue) return false;
    QueuedMessage entry{std::move(message), sourceFile, {}};
    if (!sourceFile.empty()) entry.spoolFile = MoveToSpool(sourceFile);
    Queue.push_back(std::move(entry));
    if (Busy) return true;

    Busy = true;
    struct ClearBusy {
        bool& busy;
        ~ClearBusy() { busy = false; }
    } clear{Busy};
    return SendQueuedMessage();
}

void TZELAgentCore::ReportSendFailure(const std::string& errorMessage) {
    Log("Send Message to HUB " + HubURL + " failed - " + errorMessage);
    auto exception = std::make_unique<TZELMessage>();
    exception->DocType = "EXCEPTION";
    exception->Data = BuildExceptionDocument(errorMessage);
    if (OnMessage) {
        bool del = true;
        OnMessage(*exception, del);
    }
}

bool TZELAgentCore::SendQueuedMessage() {
    if (Queue.empty()) return false;
    const TZELMessage& head = *Queue.front().message;
    const std::string id = std::to_string(head.AgentId);
    std::string body;
    if (Upper(head.TradePartner) != "SELF")
        body = "Action=FORWARD&Destination=" + head.TradePartner + "&AgentId=" + id;
    else
        body = "Action=SAVEMAIL&DestinationId=" + id + "&AgentId=" + id;
    body += "&Version=" + head.Version + "&Encryption=" + head.Encryption +
            "&DocType=" + head.DocType + "&Data=" + UrlEncodeBody(EncryptData(head.AsString()));

    std::string reply;
    try {
        reply = Post(body);
    } catch (const HttpReplyBroken& e) {
        // The hub has the request; sending it again would deliver the document twice.
        reply = e.Partial();
    } catch (const std::exception& e) {
        ReportSendFailure(e.what());
        return true;
    }

    QueuedMessage taken = std::move(Queue.front());
    Queue.pop_front();
    const std::string action = ReplyValue(reply, "Action");
    if (!action.empty() && action != "ERROR") {
        Log("Message sent to HUB");
        if (!taken.spoolFile.empty()) platform::TryDeleteFile(taken.spoolFile);
    } else {
        Log("Message rejected by HUB " + HubURL);
        if (!taken.spoolFile.empty()) {
            try {
                platform::RenameFile(taken.spoolFile, ReplaceExtension(taken.sourceFile, ".err"),
                                     false);
            } catch (const std::exception&) {
                // the document stays under its spool name
            }
        }
    }
    taken.message.reset();

    auto answer = std::make_unique<TZELMessage>();
    answer->ParseReply(reply, AgentId);
    if (OnMessage) {
        bool del = true;
        OnMessage(*answer, del);
    }
    return true;
}

bool TZELAgentCore::CheckMailOnce() {
    std::string reply;
    try {
        // A reply that broke off is a failed check: the document stays on the hub and comes
        // again whole, rather than being stored cut short and deleted there.
        reply = Post("Action=GETMAIL&AgentId=" + std::to_string(AgentId));
    } catch (const std::exception& e) {
        Log("Check Message to HUB " + HubURL + " failed - " + e.what());
        return false;
    }
    if (ReplyValue(reply, "Action") != "RESPONSE") {
        Log("No Mail");
        return true;
    }

    auto message = std::make_unique<TZELMessage>();
    message->ParseReply(reply, AgentId);
    const std::int32_t docId = message->DocId;
    bool del = true;
    if (message->DocType == "AGENT_SIGNUP" || message->DocType == "10") {
        const std::string value = ReplyValue(message->AsString(), "AgentId");
        const auto id = ParseInt32(value);
        if (!id) throw EConvertError("'" + value + "' is not a valid integer value");
        SetAgentId(*id);
    } else if (OnMessage) {
        OnMessage(*message, del);
    }
    message.reset();

    if (docId > 0 && del) {
        std::string deleteReply;
        try {
            deleteReply = Post("Action=DELETEMAIL&AgentId=" + std::to_string(AgentId) +
                               "&DocId=" + std::to_string(docId));
        } catch (const HttpReplyBroken& e) {
            deleteReply = e.Partial();
        } catch (const std::exception&) {
            return true;
        }
        if (ReplyValue(deleteReply, "Action") != "OK") {
            platform::MsgBox("Error deleting Mail " + JoinLinesCrLf(deleteReply, kMaxBoxText));
        }
    }
    return true;
}

}  // namespace zel::agent
