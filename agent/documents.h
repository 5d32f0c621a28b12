#pragma once
// Document files of the agent: sending a document file through the hub client, storing every
// received document in the folder and under the extension its type is mapped to, and the
// agent's own test message.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "agent/agent_ini.h"

namespace zel::agent {

class TZELAgentCore;
class TZELMessage;

// A random whole number in [0, n). The default is seeded from the clock.
using RandomBelow = std::function<std::int64_t(std::int64_t n)>;
RandomBelow ClockSeededRandom();

// The text up to its first NUL, split into lines at CR LF, lone CR and lone LF, with CR LF
// after every line (so a non-empty result always ends with a line break).
std::string TextAsLines(std::string_view text);

// Writes `text` as lines to `path`, replacing an existing file. The file is written under a
// name no poller matches and renamed into place. Throws "Cannot create file " + path.
void SaveTextToFile(const std::string& path, std::string_view text);

// Puts `bytes` into a new file of `folder` (ending in a backslash) named by a random number
// below 1000000 followed by `firstExt`; while that name is taken, by a random number below
// 2000000 followed by `retryExt`. The bytes are written under a name no poller matches and the
// free name is then taken atomically, so a poller never sees a part of the document and two
// writers never share a name. Returns the path. Throws "Cannot create file " + path.
std::string SaveToUniqueFile(const std::string& folder, const std::string& firstExt,
                             const std::string& retryExt, std::string_view bytes,
                             const RandomBelow& random);

// The received-document form: the same extension for every draw.
std::string MakeUniqueFileName(const std::string& folder, const std::string& extension,
                               std::string_view bytes, const RandomBelow& random);

// Value of the first line anywhere in the document whose name is "DOCTYPE" (any case), blanks
// around it removed; "" when there is none.
std::string DocumentType(std::string_view text);

// The test message the SEND TEST button sends, as lines.
std::string TestMessageText(const std::string& dateTime, const std::string& agentVersion);

// The current date and time in the system's short date and long time format.
std::string NowAsText();

// The two program-wide paths and the operations on document files.
class AgentDocuments {
public:
    AgentDocuments(const AgentIni& ini, TZELAgentCore& core,
                   RandomBelow random = ClockSeededRandom());

    // Absolute, ending in a backslash.
    std::string WorkingDir;
    // The document stored most recently since the last send.
    std::string LastReceivedFile;

    // Sends one document file through the hub client. The file is consumed at once (the hub
    // client keeps the document in its spool folder until the hub has taken it, also across
    // a restart). When 10 documents handed over in this run already wait, the file is renamed
    // to the extension ".err" and the result is false.
    bool SendMessageFile(const std::string& path);

    // Writes a received document into the folder its type is mapped to. Delete is set true.
    void StoreReceivedMessage(const TZELMessage& message, bool& Delete);

    // Saves `text` as lines to a new file in WorkingDir named by a random number followed by
    // `extension` and sends it; the result of SendMessageFile.
    bool SendNewDocument(std::string_view text, const std::string& extension);

private:
    const AgentIni& ini_;
    TZELAgentCore& core_;
    RandomBelow random_;
};

}  // namespace zel::agent
