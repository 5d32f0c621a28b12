#include "tools/zelhub/hub.h"

#include <limits>
#include <optional>

#include "agent/cipher/cipher.h"

namespace zel::zelhub {

namespace {

std::optional<std::int32_t> ToInt(const std::string& s) {
    if (s.empty() || s.size() > 11) return std::nullopt;
    std::size_t i = 0;
    bool negative = false;
    if (s[0] == '-' || s[0] == '+') {
        negative = s[0] == '-';
        i = 1;
    }
    if (i == s.size()) return std::nullopt;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return std::nullopt;
        v = v * 10 + (s[i] - '0');
    }
    if (negative) v = -v;
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Decode(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out.push_back(' ');
        } else if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 &&
                   HexValue(s[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2])));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// A reply carrying a readable document (no encryption) for the agent to keep.
std::string PlainReply(const std::string& action, const std::string& docType, std::int32_t docId,
                       const std::string& text) {
    return "Action=" + action + "\r\nDocType=" + docType +
           "\r\nVersion=2.0\r\nDocId=" + std::to_string(docId) +
           "\r\nDataLength=" + std::to_string(text.size()) + "\r\nEncryption=NONE\r\nData=" + text;
}

std::string Error(const std::string& why) {
    return PlainReply("ERROR", "ERROR", 0,
                      "[zelInfo]\r\nDOCTYPE=ERROR\r\nERRORMSG=" + why + "\r\n");
}

const std::string* Field(const std::map<std::string, std::string>& form, const char* name) {
    const auto it = form.find(name);
    return it == form.end() ? nullptr : &it->second;
}

}  // namespace

std::map<std::string, std::string> ParseForm(const std::string& body) {
    std::map<std::string, std::string> form;
    std::size_t pos = 0;
    while (pos <= body.size()) {
        std::size_t end = body.find('&', pos);
        if (end == std::string::npos) end = body.size();
        const std::string pair = body.substr(pos, end - pos);
        const auto eq = pair.find('=');
        if (eq != std::string::npos)
            form.emplace(Decode(pair.substr(0, eq)), Decode(pair.substr(eq + 1)));
        pos = end + 1;
    }
    return form;
}

void Hub::Know(std::int32_t agentId) {
    if (agentId > 0) knownIds_.insert(agentId);
}

std::int32_t Hub::NextFreeAgentId() {
    while (knownIds_.count(nextAgentId_)) ++nextAgentId_;
    return nextAgentId_;
}

std::string Hub::Handle(const std::string& body) {
    const auto form = ParseForm(body);
    const std::string* action = Field(form, "Action");
    if (!action) return Error("No Action");

    std::lock_guard lock(mutex_);
    const std::string* agentText = Field(form, "AgentId");
    const auto agentId = agentText ? ToInt(*agentText) : std::nullopt;
    if (!agentId) return Error("Bad AgentId");

    if (*action == "SAVEMAIL" || *action == "FORWARD") {
        std::optional<std::int32_t> destination;
        if (*action == "SAVEMAIL") {
            const std::string* d = Field(form, "DestinationId");
            if (d) destination = ToInt(*d);
        } else {
            // A trade partner is reachable when its name is an agent id.
            const std::string* d = Field(form, "Destination");
            if (d) destination = ToInt(*d);
        }
        if (!destination || *destination <= 0) return Error("Unknown destination");
        const std::string* data = Field(form, "Data");
        const std::string* docType = Field(form, "DocType");
        if (!data || !docType) return Error("Missing document");
        const std::string* version = Field(form, "Version");
        return Store(*destination, *agentId, *docType, version ? *version : "2.0", *data);
    }
    if (*action == "GETMAIL") return GetMail(*agentId);
    if (*action == "DELETEMAIL") {
        const std::string* d = Field(form, "DocId");
        const auto docId = d ? ToInt(*d) : std::nullopt;
        if (!docId) return Error("Bad DocId");
        return DeleteMail(*agentId, *docId);
    }
    return Error("Unknown Action");
}

std::string Hub::Store(std::int32_t destination, std::int32_t sender, const std::string& docType,
                       const std::string& version, const std::string& encryptedData) {
    if (encryptedData.size() % 8 != 0) return Error("Bad Data");
    Know(sender);
    Know(destination);
    Document doc;
    doc.docId = nextDocId_++;
    doc.docType = docType;
    doc.version = version;
    doc.text = agent::DecryptData(encryptedData, sender);
    mailboxes_[destination].push_back(doc);
    return PlainReply("OK", "RECEIPT", doc.docId,
                      "[zelInfo]\r\nDOCTYPE=RECEIPT\r\nDOCID=" + std::to_string(doc.docId) +
                          "\r\nDESTINATIONID=" + std::to_string(destination) +
                          "\r\nSTATUS=Saved\r\n");
}

std::string Hub::GetMail(std::int32_t agentId) {
    std::int32_t keyId = agentId;
    if (agentId <= 0) {
        // A new agent: assign it an id; the sign-up document waits in the new mailbox until
        // the agent deletes it under its new id.
        const std::int32_t id = NextFreeAgentId();
        Know(id);
        Document doc;
        doc.docId = nextDocId_++;
        doc.docType = "AGENT_SIGNUP";
        doc.version = "2.0";
        doc.text = "[zelInfo]\r\nDOCTYPE=AGENT_SIGNUP\r\nAgentId=" + std::to_string(id) + "\r\n";
        mailboxes_[id].push_front(doc);
        agentId = id;
    }
    Know(agentId);
    auto& box = mailboxes_[agentId];
    if (box.empty()) return "Action=NOMAIL\r\n";
    const Document& doc = box.front();
    const std::string cipher = agent::EncryptData(doc.text, keyId);
    return "Action=RESPONSE\r\nDocType=" + doc.docType + "\r\nVersion=" + doc.version +
           "\r\nDocId=" + std::to_string(doc.docId) +
           "\r\nDataLength=" + std::to_string(cipher.size()) +
           "\r\nEncryption=DESede\r\nData=" + cipher;
}

std::string Hub::DeleteMail(std::int32_t agentId, std::int32_t docId) {
    auto it = mailboxes_.find(agentId);
    if (it != mailboxes_.end()) {
        auto& box = it->second;
        for (auto d = box.begin(); d != box.end(); ++d) {
            if (d->docId == docId) {
                box.erase(d);
                return "Action=OK\r\n";
            }
        }
    }
    return Error("No such document");
}

}  // namespace zel::zelhub
