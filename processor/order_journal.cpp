#include "processor/order_journal.h"

#include <cstdio>
#include <exception>
#include <vector>

#include "platform/files.h"
#include "processor/globals.h"
#include "processor/request_cycle.h"

namespace zel::processor {

namespace fs = zel::platform;

namespace {

constexpr const char* kFormat = "ZelOrderJournal 1";

// FNV-1a, 64 bits: tells two versions of a request apart; nothing here needs more.
std::uint64_t Digest(const std::string& bytes) {
    std::uint64_t h = 14695981039346656037ULL;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

std::string Serialize(const OrderJournal& j) {
    std::string out = std::string(kFormat) + "\r\n";
    out += "Request=" + j.identity + "\r\n";
    if (j.ticket) out += "Ticket=" + std::to_string(*j.ticket) + "\r\n";
    if (!j.exportFile.empty()) out += "Export=" + j.exportFile + "\r\n";
    if (j.sealed) out += "Sealed=" + std::to_string(j.errors) + "\r\n";
    out += "End\r\n";
    return out;
}

std::optional<std::int32_t> WholeNumber(const std::string& text) {
    if (text.empty() || text.size() > 11) return std::nullopt;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return std::nullopt;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        v = v * 10 + (text[i] - '0');
    }
    if (text[0] == '-') v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

// False when the bytes are not a whole journal.
bool Parse(const std::string& bytes, OrderJournal& j) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) return false;
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    if (lines.size() < 3 || lines.front() != kFormat || lines.back() != "End") return false;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) return false;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "Request") {
            j.identity = value;
        } else if (key == "Ticket") {
            j.ticket = WholeNumber(value);
            if (!j.ticket) return false;
        } else if (key == "Export") {
            j.exportFile = value;
        } else if (key == "Sealed") {
            const auto errors = WholeNumber(value);
            if (!errors) return false;
            j.sealed = true;
            j.errors = *errors;
        } else {
            return false;
        }
    }
    return !j.identity.empty();
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string JournalPath(const std::string& requestFile) { return requestFile + kJournalEnding; }

std::string RequestIdentity(const std::string& requestFile) {
    const std::string bytes = fs::ReadWholeFile(requestFile);
    char digest[17];
    std::snprintf(digest, sizeof digest, "%016llx",
                  static_cast<unsigned long long>(Digest(bytes)));
    return std::to_string(bytes.size()) + " " + std::to_string(fs::FileModifiedTime(requestFile)) +
           " " + digest;
}

OrderJournal OpenOrderJournal(const std::string& requestFile) {
    OrderJournal fresh;
    fresh.path = JournalPath(requestFile);
    fresh.identity = RequestIdentity(requestFile);
    if (!fs::FileExists(fresh.path)) return fresh;

    OrderJournal stored;
    stored.path = fresh.path;
    if (Parse(fs::ReadWholeFile(fresh.path), stored) && stored.identity == fresh.identity) {
        stored.onDisk = true;
        return stored;
    }
    fs::DeleteFile(fresh.path);
    return fresh;
}

void SaveOrderJournal(const OrderJournal& journal) {
    fs::WriteWholeFile(journal.path, Serialize(journal), true);
}

void DiscardStaleJournals(const std::string& requestFolder) {
    std::vector<std::string> names;
    try {
        names = fs::ListDirectory(requestFolder + "\\*" + kJournalEnding);
    } catch (const std::exception&) {
        return;
    }
    for (const std::string& name : names) {
        try {
            const std::string journal = requestFolder + "\\" + name;
            if (!EndsWith(journal, kJournalEnding)) continue;
            const std::string request = journal.substr(0, journal.size() - std::string(kJournalEnding).size());
            if (fs::FileExists(request)) {
                // The request is there: processing it decides whether the journal is its own.
                OpenOrderJournal(request);
                continue;
            }
            const RequestContext ctx = MakeRequestContext(LowerCase(request));
            if (fs::FileExists(ctx.timeLog)) {
                if (gState.gArchive) fs::CopyFile(ctx.timeLog, ArchivePath(ctx.timeLog));
                fs::DeleteFile(ctx.timeLog);
            }
            fs::DeleteFile(journal);
        } catch (const std::exception&) {
            // Left for the next start.
        }
    }
}

}  // namespace zel::processor
