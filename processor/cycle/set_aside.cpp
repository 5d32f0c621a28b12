#include "processor/cycle/set_aside.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile_document.h"
#include "platform/seams.h"
#include "platform/settings.h"
#include "processor/answers/order_journal.h"
#include "processor/globals.h"
#include "processor/request_documents.h"

namespace zel::processor {

namespace fs = zel::platform;

namespace {

constexpr const char* kFormat = "ZelSetAside 1";
// The record holds a line for each failing request still in its folder, of a few hundred bytes:
// far above the requests any request folder holds.
constexpr std::size_t kFileLimit = 64u << 20;
// The identity of a request that cannot be read: it is taken up again once it can be.
constexpr const char* kUnreadable = "?";
// A file's status-change time moves at the clock's steps (a few milliseconds, a second or two
// on some servers): a digest is trusted to its stamp only once the file is older than a step,
// so that a rewrite within the step of the last change is not taken for no change.
constexpr long long kStampStepNs = 2'000'000'000LL;

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
        if (fields.size() != 4 && fields.size() != 5) continue;
        Entry e;
        if (!Unescape(fields[0], e.path) || !Unescape(fields[1], e.identity) ||
            !Unescape(fields[2], e.step) || !Unescape(fields[3], e.description))
            continue;
        // A line without a count, as earlier versions wrote it, names a request set aside.
        if (fields.size() == 5) {
            if (fields[4] == "1") {
                e.ends = 1;
            } else if (fields[4] != std::to_string(kEndsToSetAside)) {
                continue;
            }
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

void Save(const std::vector<Entry>& entries) {
    std::string out = std::string(kFormat) + "\r\n";
    for (const Entry& e : entries) {
        out += Escape(e.path) + "\t" + Escape(e.identity) + "\t" + Escape(e.step) + "\t" +
               Escape(e.description) + "\t" + std::to_string(e.ends) + "\r\n";
    }
    const std::filesystem::path file = SetAsideFilePath();
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    fs::WriteWholeFile(file.string(), out, true);
}

// Every instance on this machine reads and rewrites the one record: without the lock, two that
// end at once would each drop the other's line.
// Beside the settings store, and waited for as its locks are: an instance stopped while it
// holds it must not keep the others' failures from ending them, nor their passes from going on.
std::string LockPath() { return SetAsideFilePath() + ".lock"; }

std::string IdentityOf(const std::string& requestFile) {
    try {
        return RequestIdentity(requestFile);
    } catch (const std::exception&) {
        // One that cannot be read is known by that alone, and matches while it stays unreadable.
        return kUnreadable;
    }
}

// Whether the request a line names may still be where it was. Only a request that is surely
// gone lets its line go: nothing under its name in a folder that is there, or another file
// under it. A folder that cannot be seen (a share that went away) or a file that cannot be read
// keeps the line.
bool MayStillBeThere(const Entry& e) {
    try {
        if (!fs::NameExists(e.path)) return !fs::FolderExists(fs::FolderPart(e.path));
        if (e.identity == kUnreadable) return true;
        const long long size = fs::FileSize(e.path);
        const std::size_t space = e.identity.find(' ');
        if (size >= 0 && space != std::string::npos &&
            e.identity.substr(0, space) != std::to_string(size))
            return false;
        return RequestIdentity(e.path) == e.identity;
    } catch (const std::exception&) {
        return true;
    }
}

bool IsPurchaseOrder(const std::string& requestFile) {
    try {
        const fs::ProfileReader request(fs::ReadWholeFile(requestFile));
        return UpperCase(ReadTrimmed(request, "ZELINFO", "DocType", "")) == "PO";
    } catch (const std::exception&) {
        // Unknown: the advice that is safe for an order is safe for every request.
        return true;
    }
}

std::string NoticeText(const std::string& requestFile, const Entry& e) {
    std::string text =
        "The request " + requestFile +
        " was set aside: it ended the program when it was processed (Error: " + e.description +
        " at Line: " + e.step +
        " in ProcessRequest). It stays in the request folder and is passed over "
        "while it is unchanged; the other requests are answered. Once the cause "
        "is mended, remove its line from " +
        SetAsideFilePath() + " to have it taken up again at the next start";
    if (IsPurchaseOrder(requestFile)) {
        return text +
               ". It is a purchase order whose export may have gone out already: do not rename "
               "or rewrite it, which would make it a new order, exported a second time.";
    }
    return text + ", or rename or rewrite the request.";
}

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
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
                    description, 1};
        const fs::ScopedFileLock lock(LockPath(), fs::SettingsLockWait());
        std::vector<Entry> entries = Load();
        std::erase_if(entries, [&](const Entry& e) {
            if (e.path == entry.path && e.identity == entry.identity) {
                entry.ends = std::min(e.ends + 1, kEndsToSetAside);
                return true;
            }
            return !MayStillBeThere(e);
        });
        entries.push_back(std::move(entry));
        Save(entries);
    } catch (const std::exception&) {
        // Without the record the next start processes the request again, as it always did.
    }
}

SetAsideRequests::SetAsideRequests(Notice notice) : notice_(std::move(notice)) {}

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
        if (found->ends < kEndsToSetAside) {
            retried_.insert(path);
            return false;
        }
        if (told_.insert(path + "\n" + identity).second) {
            const std::string text = NoticeText(requestFile, *found);
            if (notice_) {
                notice_(text);
            } else {
                fs::UnattendedBox({text, "", fs::MsgButtons::Ok, fs::MsgIcon::Warning});
            }
        }
        return true;
    } catch (const std::exception&) {
        // Without the record to go by the request is processed, as it always was.
        return false;
    }
}

void SetAsideRequests::Processed(const std::string& requestFile) noexcept {
    try {
        const std::string path = LowerCase(requestFile);
        if (!retried_.contains(path)) return;
        const fs::ScopedFileLock lock(LockPath(), fs::SettingsLockWait());
        std::vector<Entry> entries = Load();
        const std::size_t before = entries.size();
        std::erase_if(entries,
                      [&](const Entry& e) { return e.path == path && !MayStillBeThere(e); });
        if (entries.size() != before) Save(entries);
        retried_.erase(path);
    } catch (const std::exception&) {
        // The line stays; it goes with the next request that ends the program.
    }
}

// A request set aside stays in the folder and is met by every pass: its digest is taken again
// only when the file's stamp moved, or while the file is too young for its stamp to tell.
std::string SetAsideRequests::CurrentIdentity(const std::string& requestFile,
                                              const std::string& path) {
    const std::optional<fs::FileStamp> stamp = fs::StampOfFile(requestFile);
    auto it = identities_.find(path);
    if (stamp && it != identities_.end() && it->second.stamp == *stamp) return it->second.identity;
    std::string identity = IdentityOf(requestFile);
    if (stamp && stamp->statusChanged < NowNs() - kStampStepNs) {
        identities_[path] = Seen{*stamp, identity};
    } else {
        identities_.erase(path);
    }
    return identity;
}

}  // namespace zel::processor
