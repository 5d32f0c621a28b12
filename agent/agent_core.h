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
    // moves it aside at once to `spoolFile` (same folder, the name followed by ".sending"; the
    // caller's name is free again at once, as if the file were consumed), deletes it once the
    // hub took the message, and renames it to the original name with the extension ".err"
    // when the hub rejects the message. So no handed-over document is lost when the program
    // ends with messages still queued or the hub refuses one.
    struct QueuedMessage {
        std::unique_ptr<TZELMessage> message;
        std::string sourceFile;
        std::string spoolFile;  // where the document file waits; empty when none
    };

    // Receives every document that reaches the agent (hub replies to sends, fetched mail, the
    // "EXCEPTION" document of a failed send). `Delete` starts true; a handler that leaves it
    // false keeps a fetched document on the hub. Exceptions thrown by the handler pass out of
    // the operation that called it (a fetched document is then not deleted on the hub).
    std::function<void(TZELMessage& message, bool& Delete)> OnMessage;
    // Receives every log text.
    std::function<void(const std::string& text)> OnLog;

    std::int32_t AgentId = -1;   // -1 until the hub assigned one
    bool Busy = false;           // a send is in progress
    std::deque<QueuedMessage> Queue;  // head = next to send; at most kMaxQueue
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
    // untouched) when the queue already holds 10 messages; the caller then keeps the document
    // file as ".err".
    // True otherwise, also when the send failed (the head stays queued and is tried again at
    // the next send). `sourceFile`: see QueuedMessage; the caller must NOT delete it itself.
    bool EnqueueAndSend(std::unique_ptr<TZELMessage> message, std::string sourceFile = {});
    // Posts the head of the queue. False when the queue is empty.
    bool SendQueuedMessage();
    // Fetches at most one document. False when the hub could not be reached. Throws
    // EConvertError for a sign-up document whose AgentId is not a number, and passes on
    // exceptions of OnMessage.
    bool CheckMailOnce();
    // Takes a new agent id, writing it to the INI file when it differs from the current one.
    void SetAgentId(std::int32_t id);
    // Hands a text to OnLog.
    void Log(const std::string& text);

    // Payload cipher keyed by the current AgentId.
    std::string EncryptData(std::string_view text) const;
    std::string DecryptData(std::string_view text) const;

private:
    std::string Post(const std::string& body);
    void ReportSendFailure(const std::string& errorMessage);

    std::string iniPath_;
};

// The "EXCEPTION" document text for a failed send (CR LF after every line).
std::string BuildExceptionDocument(const std::string& errorMessage);

}  // namespace zel::agent
