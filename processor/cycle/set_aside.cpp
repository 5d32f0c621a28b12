#include "processor/cycle/set_aside.h"

#include <exception>
#include <filesystem>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/seams.h"
#include "platform/settings.h"
#include "processor/answers/order_journal.h"
#include "processor/globals.h"
#include "processor/request_documents.h"

namespace zel::processor {

namespace fs = zel::platform;

namespace {

constexpr const char* kFormat = "ZelSetAside 1";
// Far above kMostSetAside records of the longest paths.
constexpr std::size_t kFileLimit = 8u << 20;
// The identity of a request that cannot be read: it is taken up again once it can be.
constexpr const char* kUnreadable = "?";

using Entry = SetAsideRecord;

// Names and error texts may hold any byte; a record is one line of tab-separated fields.
std::string Escape(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f || c == '%') {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescape(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int hi = HexDigit(text[i + 1]);
        const int lo = HexDigit(text[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', pos);
        fields.push_back(
            line.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos));
        if (tab == std::string::npos) return fields;
        pos = tab + 1;
    }
}

// The record as it stands; a record that is missing or cannot be read holds nothing.
std::vector<Entry> Load() {
    std::string bytes;
    try {
        bytes = fs::ReadOwnFile(SetAsideFilePath(), kFileLimit);
    } catch (const std::exception&) {
        // At worst a request set aside is processed again, as it was before there was a record.
        return {};
    }
    std::vector<Entry> entries;
    std::size_t pos = 0;
    bool first = true;
    while (pos < bytes.size()) {
        // Lines end in CR LF as written, or in LF alone once an editor has saved the file.
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) break;  // a last line cut short is no record
        std::string line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pos = end + 1;
        if (first) {
            if (line != kFormat) return {};
            first = false;
            continue;
        }
        const std::vector<std::string> fields = Fields(line);
        if (fields.size() != 4) continue;
        Entry e;
        if (!Unescape(fields[0], e.path) || !Unescape(fields[1], e.identity) ||
            !Unescape(fields[2], e.step) || !Unescape(fields[3], e.description))
            continue;
        entries.push_back(std::move(e));
    }
    return entries;
}

void Save(const std::vector<Entry>& entries) {
    std::string out = std::string(kFormat) + "\r\n";
    for (const Entry& e : entries) {
        out += Escape(e.path) + "\t" + Escape(e.identity) + "\t" + Escape(e.step) + "\t" +
               Escape(e.description) + "\r\n";
    }
    const std::filesystem::path file = SetAsideFilePath();
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    fs::WriteWholeFile(file.string(), out, true);
}

std::string IdentityOf(const std::string& requestFile) {
    try {
        return RequestIdentity(requestFile);
    } catch (const std::exception&) {
        // One that cannot be read is known by that alone, and matches while it stays unreadable.
        return kUnreadable;
    }
}

}  // namespace

std::string SetAsideFilePath() {
    return (std::filesystem::path(fs::SettingsFilePath(kSettingsApp)).parent_path() /
            "set-aside.txt")
        .string();
}

void SetRequestAside(const std::string& requestFile, int step,
                     const std::string& description) noexcept {
    try {
        Entry entry{LowerCase(requestFile), IdentityOf(requestFile), std::to_string(step),
                    description};
        std::vector<Entry> entries = Load();
        std::erase_if(entries, [&](const Entry& e) {
            return e.path == entry.path && e.identity == entry.identity;
        });
        entries.push_back(std::move(entry));
        if (entries.size() > kMostSetAside)
            entries.erase(entries.begin(),
                          entries.end() - static_cast<std::ptrdiff_t>(kMostSetAside));
        Save(entries);
    } catch (const std::exception&) {
        // Without the record the next start processes the request again, as it always did.
    }
}

bool SetAsideRequests::PassOver(const std::string& requestFile) {
    try {
        if (!records_) records_ = Load();
        const std::string path = LowerCase(requestFile);
        const Entry* found = nullptr;
        std::string identity;
        for (const Entry& e : *records_) {
            if (e.path != path) continue;
            if (identity.empty()) identity = CurrentIdentity(requestFile, path);
            if (e.identity == identity) found = &e;
        }
        if (!found) return false;
        if (told_.insert(path + "\n" + identity).second) {
            fs::MsgBox("The request " + found->path +
                           " was set aside: it ended the program when it "
                           "was last processed (Error: " +
                           found->description + " at Line: " + found->step +
                           " in ProcessRequest). It stays in the request folder and is "
                           "passed over until it is renamed or rewritten.",
                       fs::MsgButtons::Ok, "", fs::MsgIcon::Warning);
        }
        return true;
    } catch (const std::exception&) {
        // Without the record to go by the request is processed, as it always was.
        return false;
    }
}

// A request set aside stays in the folder and is met by every pass: its digest is taken again
// only when the file's size or time of last change moved.
std::string SetAsideRequests::CurrentIdentity(const std::string& requestFile,
                                              const std::string& path) {
    const long long size = fs::FileSize(requestFile);
    const long long changed = fs::FileModifiedTime(requestFile);
    auto it = identities_.find(path);
    if (it != identities_.end() && it->second.size == size && it->second.changed == changed)
        return it->second.identity;
    std::string identity = IdentityOf(requestFile);
    identities_[path] = Seen{size, changed, identity};
    return identity;
}

}  // namespace zel::processor
