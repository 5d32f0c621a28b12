#pragma once
// One document with its hub envelope fields, and the reading of hub replies.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/convert.h"

namespace zel::agent {

class TZELMessage {
public:
    std::int32_t AgentId = 0;  // sender agent id
    std::string TradePartner;  // destination trade partner, "self" (any case) = own mailbox
    std::int32_t DocId = 0;    // hub document id
    std::string DocType;
    std::string Data;  // the document bytes
    std::string Version = "2.0";
    std::string Encryption = "DESede";

    // The whole document as a byte string.
    const std::string& AsString() const { return Data; }

    // Fills DocType, Version, DocId and Data from a hub reply. The data after "Data=" is cut
    // to "DataLength" bytes and decrypted with `agentId`'s key when "Encryption" is exactly
    // "DESede". `Encryption` keeps its value.
    void ParseReply(std::string_view reply, std::int32_t agentId);
};

// How many bytes the data of a hub reply lacks of its own "DataLength" (0 when it is whole,
// and when the length is missing, not a number or not above 0).
std::size_t MissingDataBytes(std::string_view reply);

// The lines of a text, split at CR LF, lone CR and lone LF (a final line break ends the last
// line and starts none).
std::vector<std::string_view> SplitLines(std::string_view text);
// The same lines handed one by one to `visit` until it returns false; nothing is collected, so
// a reply of millions of short lines costs no memory of its own.
void ForEachLine(std::string_view text, const std::function<bool(std::string_view)>& visit);

// Value of the first line "name=value" of `text` whose name equals `name` without regard to
// case (lines end at CR LF, CR or LF; the value is everything after the first "="); nullopt
// when no line has that name.
std::optional<std::string> FindReplyValue(std::string_view text, std::string_view name);
// Same, "" when missing.
std::string ReplyValue(std::string_view text, std::string_view name);

// Protocol words, document types and command-line switches compare without regard to case.
using platform::SameTextNoCase;

// Whole-string decimal integer (optional sign, surrounding blanks allowed) that fits 32 bits.
std::optional<std::int32_t> ParseInt32(std::string_view text);
// ParseInt32 or `def`.
std::int32_t StrToIntDef(std::string_view text, std::int32_t def);

}  // namespace zel::agent
