#pragma once
// The stand-in document hub: one mailbox per agent id, held in memory. Thread-safe.
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace zel::zelhub {

class Hub {
public:
    // Answers one form-encoded request body with the reply text.
    std::string Handle(const std::string& body);

private:
    struct Document {
        std::int32_t docId = 0;
        std::string docType;
        std::string version;
        std::string text;  // plain document bytes
    };

    std::string Store(std::int32_t destination, std::int32_t sender, const std::string& docType,
                      const std::string& version, const std::string& encryptedData);
    std::string GetMail(std::int32_t agentId);
    std::string DeleteMail(std::int32_t agentId, std::int32_t docId);
    std::int32_t NextFreeAgentId();
    void Know(std::int32_t agentId);

    std::mutex mutex_;
    std::map<std::int32_t, std::deque<Document>> mailboxes_;
    std::set<std::int32_t> knownIds_;
    std::int32_t nextAgentId_ = 1;
    std::int32_t nextDocId_ = 1;
};

// Form body fields in order of appearance, names and values percent-decoded ("+" = blank).
// The first of duplicate names wins.
std::map<std::string, std::string> ParseForm(const std::string& body);

}  // namespace zel::zelhub
