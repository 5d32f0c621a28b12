#include "agent/agent_core.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "agent/agent_ini.h"
#include "agent/cipher/cipher.h"
#include "agent/http.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/seams.h"

namespace zel::agent {

namespace {

constexpr std::size_t kMaxBoxText = 4096;

std::string ReadIni(const std::string& section, const std::string& key, const std::string& file) {
    return platform::GetProfileString(section, key, "", ini::kValueBuffer, file);
}

// Spool files: "<number of 10 digits>-<the caller's file name>.spool". The number gives the
// order of hand-over; the caller's name is kept so that a person can tell the documents apart.
constexpr const char* kSpoolExt = ".spool";
constexpr std::size_t kKeptNameLength = 120;
constexpr int kSpoolNumberWidth = 10;

std::string SpoolNumberText(std::uint64_t n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llu", kSpoolNumberWidth, static_cast<unsigned long long>(n));
    return buf;
}

// The hand-over number of a spool file's name; 0 for a name that does not start with one.
std::uint64_t SpoolNumber(const std::string& name) {
    std::uint64_t n = 0;
    std::size_t digits = 0;
    for (char c : name) {
        if (c < '0' || c > '9' || digits == 19) break;
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
        ++digits;
    }
    return n;
}

// Sets the flag for its lifetime; cleared also when an error passes.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

// Moves a handed-over document file aside under a name its owner will not reuse. Falls back
// to the file's own name when it cannot be moved.
std::string MoveBeside(const std::string& file) {
    for (int n = 0; n < 1000; ++n) {
        const std::string aside =
            file + (n == 0 ? std::string() : "." + std::to_string(n)) + ".sending";
        if (platform::FileExists(aside)) continue;
        try {
            platform::RenameFile(file, aside, false);
            return aside;
        } catch (const std::exception&) {
            // A file that cannot be moved is sent under its own name.
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

std::unique_ptr<TZELMessage> ReadDocumentFile(const std::string& path, std::int32_t agentId) {
    auto message = std::make_unique<TZELMessage>();
    message->Data = platform::ReadWholeFile(path);
    message->TradePartner =
        platform::GetProfileString("zelInfo", "TRADEPARTNER", "", ini::kValueBuffer, path);
    message->DocType =
        platform::GetProfileString("zelInfo", "DOCTYPE", "", ini::kValueBuffer, path);
    message->AgentId = agentId;
    return message;
}

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
    HubURL = ReadIni(ini::kAgentCore, "HUB_URL", iniPath_);
    if (HubURL.empty()) {
        platform::WriteProfileString(ini::kAgentCore, "HUB_URL", "", iniPath_);
        HubURL = kDefaultHubUrl;
    }
    AgentId = StrToIntDef(ReadIni(ini::kAgentCore, "Agent_Id", iniPath_), 0);
    if (AgentId <= 0) SetAgentId(-1);
    ProxyActive =
        static_cast<std::uint8_t>(StrToIntDef(ReadIni(ini::kProxy, "ACTIVE", iniPath_), 0) & 0xFF);
    ProxyAddress = ReadIni(ini::kProxy, "ADDRESS", iniPath_);
    ProxyPort = StrToIntDef(ReadIni(ini::kProxy, "PORT", iniPath_), 0);
}

void TZELAgentCore::SetAgentId(std::int32_t id) {
    if (id != AgentId &&
        !platform::WriteProfileString(ini::kAgentCore, "Agent_Id", std::to_string(id), iniPath_))
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

std::size_t TZELAgentCore::LeftoversQueued() const {
    return static_cast<std::size_t>(std::count_if(
        Queue.begin(), Queue.end(), [](const QueuedMessage& m) { return m.leftover; }));
}

void TZELAgentCore::OpenSpool(const std::string& folder) {
    if (!spoolFolder_.empty() || folder.empty()) return;
    if (!platform::FolderExists(folder)) {
        try {
            platform::MakeDirectory(folder);
        } catch (const std::exception&) {
            Log("Cannot create " + folder);
            return;
        }
    }
    spoolFolder_ = folder;

    // A copy cut short by the end of the program never became a spool file; its source was
    // only to be removed after the copy was complete, so it is still with the caller.
    for (const auto& name : platform::ListDirectory(folder + "*" + kSpoolExt + ".~zel*"))
        platform::TryDeleteFile(folder + name);

    std::vector<std::pair<std::uint64_t, std::string>> files;
    for (auto& name : platform::ListDirectory(folder + "*" + kSpoolExt))
        files.emplace_back(SpoolNumber(name), std::move(name));
    std::sort(files.begin(), files.end());
    for (const auto& [number, name] : files) {
        nextSpoolNumber_ = std::max(nextSpoolNumber_, number + 1);
        backlog_.push_back(folder + name);
    }
    RefillFromSpool();
}

void TZELAgentCore::RefillFromSpool() {
    std::size_t leftovers = LeftoversQueued();
    while (leftovers < kMaxQueue && !backlog_.empty()) {
        const std::string file = std::move(backlog_.front());
        backlog_.pop_front();
        std::unique_ptr<TZELMessage> message;
        try {
            message = ReadDocumentFile(file, AgentId);
        } catch (const std::exception&) {
            // Gone, or unreadable for now: an unreadable one is still there at the next start.
            continue;
        }
        // Leftovers were handed over before anything of this run: they go ahead of it.
        Queue.insert(Queue.begin() + static_cast<std::ptrdiff_t>(leftovers),
                     QueuedMessage{std::move(message), file, file, true});
        ++leftovers;
    }
}

std::string TZELAgentCore::MoveIntoSpool(const std::string& file) {
    std::string name = platform::FileNamePart(file);
    if (name.size() > kKeptNameLength) name.resize(kKeptNameLength);
    std::string target;
    for (int n = 0; n < 1000 && target.empty(); ++n) {
        target = spoolFolder_ + SpoolNumberText(nextSpoolNumber_++) + "-" + name + kSpoolExt;
        if (platform::FileExists(target)) target.clear();
    }
    if (target.empty()) return {};
    try {
        // Within one file system the document is in one place or the other, never in both
        // and never in part.
        platform::RenameFile(file, target, true);
        return target;
    } catch (const std::exception&) {
        // Most often another file system: the copy below moves it there instead.
    }
    // Another file system: the complete copy, forced to disk, takes the spool name in one
    // step, and only then is the caller's file given up.
    try {
        platform::CopyFile(file, target);
    } catch (const std::exception&) {
        return {};
    }
    if (platform::TryDeleteFile(file) && !platform::FileExists(file)) return target;
    // The caller's file cannot be taken: rather than keep the document twice, leave it there.
    platform::TryDeleteFile(target);
    return {};
}

std::string TZELAgentCore::TakeOverFile(const std::string& file) {
    if (!platform::FileExists(file)) return {};
    if (!spoolFolder_.empty()) {
        std::string spooled = MoveIntoSpool(file);
        if (!spooled.empty()) return spooled;
    }
    return MoveBeside(file);
}

bool TZELAgentCore::EnqueueAndSend(std::unique_ptr<TZELMessage> message, std::string sourceFile) {
    if (!message || Queue.size() - LeftoversQueued() >= kMaxQueue) return false;
    QueuedMessage entry{std::move(message), sourceFile, {}};
    if (!sourceFile.empty()) entry.spoolFile = TakeOverFile(sourceFile);
    Queue.push_back(std::move(entry));
    if (Busy) return true;

    BusyScope busy(Busy);
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

bool TZELAgentCore::SendQueuedMessage() { return SendHead() != SendOutcome::Empty; }

TZELAgentCore::SendOutcome TZELAgentCore::SendHead() {
    if (Queue.empty()) return SendOutcome::Empty;
    // A leftover's sender is this agent as it is now (it may have signed up since).
    if (Queue.front().leftover) Queue.front().message->AgentId = AgentId;
    const TZELMessage& head = *Queue.front().message;
    const std::string id = std::to_string(head.AgentId);
    std::string body;
    if (!SameTextNoCase(head.TradePartner, "SELF"))
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
        return SendOutcome::Failed;
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
            // Beside the caller's file when it can go there; else, and for a leftover (whose
            // caller's folder is not known), where it waited, under a name that is the waiting
            // file's own, so nobody else's file is replaced. Either way it is no longer sent.
            bool kept = false;
            if (!taken.leftover) {
                try {
                    platform::RenameFile(taken.spoolFile, ChangeFileExt(taken.sourceFile, ".err"),
                                         false);
                    kept = true;
                } catch (const std::exception&) {
                    // The caller's folder will not take it: it is kept in the spool below.
                }
            }
            const bool inSpool =
                !spoolFolder_.empty() && taken.spoolFile.rfind(spoolFolder_, 0) == 0;
            if (!kept && inSpool) {
                try {
                    platform::RenameFile(taken.spoolFile, ChangeFileExt(taken.spoolFile, ".err"),
                                         true);
                } catch (const std::exception&) {
                    // the document stays where it waited
                }
            }
        }
    }
    taken.message.reset();
    RefillFromSpool();

    auto answer = std::make_unique<TZELMessage>();
    answer->ParseReply(reply, AgentId);
    if (OnMessage) {
        bool del = true;
        OnMessage(*answer, del);
    }
    return SendOutcome::Taken;
}

void TZELAgentCore::SendLeftovers() {
    if (Busy) return;
    BusyScope busy(Busy);
    while (!Queue.empty() && Queue.front().leftover) {
        if (SendHead() != SendOutcome::Taken) break;
    }
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
        SendLeftovers();
        return true;
    }

    // A document shorter than the hub says it is would be stored cut short and deleted there:
    // it is refused, so it comes again, and logged, so a hub that counts otherwise is seen.
    if (const std::size_t missing = MissingDataBytes(reply); missing > 0) {
        Log("Check Message to HUB " + HubURL + " failed - the document lacks " +
            std::to_string(missing) + " bytes of its DataLength " +
            ReplyValue(reply, "DataLength"));
        return false;
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
    SendLeftovers();
    return true;
}

}  // namespace zel::agent
