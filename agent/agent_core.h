#pragma once
// The hub client: identity, hub and proxy settings, the outgoing queue, sending, fetching one
// document per check and having it deleted on the hub. Plain C++ (no widgets, no timers): the
// window drives it; every call comes on one thread.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "agent/message.h"

namespace zel::agent {

// A text that should be a number is not ("'x' is not a valid integer value").
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Hub URL used when the settings name none.
inline constexpr const char* kDefaultHubUrl = "http://127.0.0.1:8080/ZelHub/HUBServlet";
inline constexpr std::size_t kMaxQueue = 10;

class TZELAgentCore {
public:
    // One outgoing document. `sourceFile` (may be empty) is the document file the message was
    // read from. The caller hands it over with the message and must not delete it: the core
    // moves it at once into its spool folder (see OpenSpool; the caller's name is free again
    // at once, as if the file were consumed) or, while it has none, aside to the same name
    // followed by ".sending". The core deletes the file once the hub took the message and
    // renames it to the original name with the extension ".err" when the hub rejects the
    // message (a leftover of an earlier run, or one whose ".err" name is taken, becomes
    // ".err" where it waited). So no handed-over document is lost when the program ends with
    // messages still queued or the hub refuses one.
    struct QueuedMessage {
        std::unique_ptr<TZELMessage> message;
        std::string sourceFile;
        std::string spoolFile;  // where the document file waits; empty when none
        // Handed over before the program last ended and taken back from the spool folder.
        // Such messages stand ahead of every message handed over in this run.
        bool leftover = false;
    };

    // Receives every document that reaches the agent (hub replies to sends, fetched mail, the
    // "EXCEPTION" document of a failed send). `Delete` starts true; a handler that leaves it
    // false keeps a fetched document on the hub. Exceptions thrown by the handler pass out of
    // the operation that called it (a fetched document is then not deleted on the hub).
    std::function<void(TZELMessage& message, bool& Delete)> OnMessage;
    // Receives every log text.
    std::function<void(const std::string& text)> OnLog;

    std::int32_t AgentId = -1;  // -1 until the hub assigned one
    bool Busy = false;          // a send is in progress
    // Head = next to send. At most kMaxQueue messages handed over in this run, behind at most
    // kMaxQueue leftovers of earlier runs.
    std::deque<QueuedMessage> Queue;
    std::string HubURL;
    std::uint8_t ProxyActive = 0;
    std::string ProxyAddress;
    std::int32_t ProxyPort = 0;

    // Reads the settings from the agent's INI file `iniPath` (Windows-form path), sections
    // "AGENT CORE" and "PROXY", writing back the defaults the agent stores.
    explicit TZELAgentCore(std::string iniPath);
    TZELAgentCore(const TZELAgentCore&) = delete;
    TZELAgentCore& operator=(const TZELAgentCore&) = delete;

    const std::string& IniPath() const { return iniPath_; }

    // Hands a message to the queue and sends the head. False (message freed, `sourceFile`
    // untouched) when 10 messages handed over in this run already wait; the caller then keeps
    // the document file as ".err". Leftovers of earlier runs do not count here: they would
    // otherwise refuse every new document until the hub is back.
    // True otherwise, also when the send failed (the head stays queued and is tried again at
    // the next send). `sourceFile`: see QueuedMessage; the caller must NOT delete it itself.
    bool EnqueueAndSend(std::unique_ptr<TZELMessage> message, std::string sourceFile = {});
    // Posts the head of the queue. False when the queue is empty.
    bool SendQueuedMessage();
    // Fetches at most one document. False when the hub could not be reached. Throws
    // EConvertError for a sign-up document whose AgentId is not a number, and passes on
    // exceptions of OnMessage. A check that reached the hub then sends the leftovers of
    // earlier runs, oldest first, until none is left or one cannot be delivered.
    bool CheckMailOnce();

    // Makes `folder` (Windows form, ending in a backslash; created when missing) the place
    // where handed-over document files wait until the hub has them, and takes back the files
    // an earlier run left there: in the order they were handed over, at most kMaxQueue at a
    // time; the others are taken as sends make room. Half-made copies of an interrupted
    // hand-over are removed (their source was never given up). Without a usable folder the
    // core keeps documents beside the caller's file as before. Call once, at start.
    void OpenSpool(const std::string& folder);
    const std::string& SpoolFolder() const { return spoolFolder_; }
    // Files of earlier runs still waiting in the spool folder behind the queue.
    std::size_t SpoolBacklog() const { return backlog_.size(); }
    // Takes a new agent id, writing it to the INI file when it differs from the current one.
    void SetAgentId(std::int32_t id);
    // Hands a text to OnLog.
    void Log(const std::string& text);

    // Payload cipher keyed by the current AgentId.
    std::string EncryptData(std::string_view text) const;
    std::string DecryptData(std::string_view text) const;

private:
    enum class SendOutcome { Empty, Failed, Taken };

    std::string Post(const std::string& body);
    void ReportSendFailure(const std::string& errorMessage);
    SendOutcome SendHead();
    void SendLeftovers();
    std::size_t LeftoversQueued() const;
    void RefillFromSpool();
    std::string TakeOverFile(const std::string& file);
    std::string MoveIntoSpool(const std::string& file);

    std::string iniPath_;
    std::string spoolFolder_;
    std::deque<std::string> backlog_;
    std::uint64_t nextSpoolNumber_ = 1;
};

// The message for a document file as the agent sends it: the file's bytes as they are, and
// the trade partner and document type of its "zelInfo" section (empty when missing). Throws
// when the file cannot be read.
std::unique_ptr<TZELMessage> ReadDocumentFile(const std::string& path, std::int32_t agentId);

// The "EXCEPTION" document text for a failed send (CR LF after every line).
std::string BuildExceptionDocument(const std::string& errorMessage);

}  // namespace zel::agent
