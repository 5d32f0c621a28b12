#include "agent/message.h"

#include <limits>

#include "agent/cipher/cipher.h"
#include "platform/ini_text.h"

namespace zel::agent {

void ForEachLine(std::string_view text, const std::function<bool(std::string_view)>& visit) {
    platform::ini::ForEachLine(
        text, [&](std::string_view line, std::string_view) { return visit(line); });
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    ForEachLine(text, [&](std::string_view line) {
        lines.push_back(line);
        return true;
    });
    return lines;
}

std::optional<std::string> FindReplyValue(std::string_view text, std::string_view name) {
    std::optional<std::string> value;
    ForEachLine(text, [&](std::string_view line) {
        const auto eq = line.find('=');
        if (eq == std::string_view::npos || !SameTextNoCase(line.substr(0, eq), name)) return true;
        value = std::string(line.substr(eq + 1));
        return false;
    });
    return value;
}

std::string ReplyValue(std::string_view text, std::string_view name) {
    return FindReplyValue(text, name).value_or(std::string());
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::size_t end = text.size();
    while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == end) return std::nullopt;
    long long value = 0;
    for (; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1)
            return std::nullopt;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t def) {
    return ParseInt32(text).value_or(def);
}

std::size_t MissingDataBytes(std::string_view reply) {
    const std::int32_t length = StrToIntDef(ReplyValue(reply, "DataLength"), 0);
    if (length <= 0) return 0;
    const auto at = reply.find("Data=");
    const std::size_t there = at == std::string_view::npos ? 0 : reply.size() - (at + 5);
    const auto wanted = static_cast<std::size_t>(length);
    return there >= wanted ? 0 : wanted - there;
}

void TZELMessage::ParseReply(std::string_view reply, std::int32_t agentId) {
    DocType = ReplyValue(reply, "DocType");
    Version = ReplyValue(reply, "Version");
    const std::string encryption = ReplyValue(reply, "Encryption");
    DocId = StrToIntDef(ReplyValue(reply, "DocId"), 0);
    const std::int32_t length = StrToIntDef(ReplyValue(reply, "DataLength"), 0);

    std::string_view data;
    const auto at = reply.find("Data=");
    if (at != std::string_view::npos && length > 0)
        data = reply.substr(at + 5, static_cast<std::size_t>(length));
    if (encryption == "DESede")
        Data += DecryptData(data, agentId);
    else
        Data.append(data);
}

}  // namespace zel::agent
