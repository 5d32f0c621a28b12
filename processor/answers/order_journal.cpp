#include "processor/answers/order_journal.h"

#include <openssl/evp.h>

#include <cstdio>
#include <exception>
#include <iterator>
#include <set>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "processor/answers/web_task.h"
#include "processor/globals.h"
#include "processor/request_documents.h"

namespace zel::processor {

namespace fs = zel::platform;

namespace {

constexpr const char* kFormat = "ZelOrderJournal 1";
// The longest journal this program writes holds a request name and an export path of a few
// hundred bytes each, and at most PATH_MAX (4096) bytes of host name: far below this.
constexpr std::size_t kJournalLimit = 64u << 10;

// The digest journals carried before they named their request by its SHA-256 (FNV-1a, 64
// bits): kept only to recognise such a journal as its request's own after an upgrade.
std::string EarlierDigest(const std::string& bytes) {
    std::uint64_t h = 14695981039346656037ULL;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1)
        throw fs::RuntimeError(fs::err::kDeviceIO, "RequestIdentity", "Cannot compute a digest");
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (unsigned int i = 0; i < size; ++i) {
        text.push_back(kHex[digest[i] >> 4]);
        text.push_back(kHex[digest[i] & 15]);
    }
    return text;
}

// The request's file name as every path to it spells it (the request cycle lower-cases its
// path; the start-up's listing gives the name as it is on disk).
std::string RequestName(const std::string& requestFile) {
    return LowerCase(fs::FileNamePart(requestFile));
}

// Whether a stored identity names the request of `fresh` (today's form, "size sha256 name",
// of the request's `bytes`). A journal of the earlier form, "size time digest", is the
// request's when size and digest agree: the time of a file's last change moves with a copy, a
// restore or a clock change, and must not make a sealed order look new.
bool SameRequest(const std::string& stored, const std::string& fresh, const std::string& bytes) {
    if (stored == fresh) return true;
    const std::size_t a = stored.find(' ');
    const std::size_t b = a == std::string::npos ? a : stored.find(' ', a + 1);
    if (b == std::string::npos || stored.find(' ', b + 1) != std::string::npos) return false;
    const std::string time = stored.substr(a + 1, b - a - 1);
    const std::size_t start = time.find_first_not_of('-') == 1 ? 1 : 0;
    if (time.size() == start || time.find_first_not_of("0123456789", start) != std::string::npos)
        return false;
    return stored.substr(0, a) == std::to_string(bytes.size()) &&
           stored.substr(b + 1) == EarlierDigest(bytes);
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
    return platform::Int32Of(v);
}

// False when the bytes are not a whole journal: its lines are those Serialize writes, each
// key at most once and in Serialize's order.
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
    static const char* const kKeys[] = {"Request", "Ticket", "Export", "Sealed"};
    std::size_t next = 0;  // index in kKeys of the first key still allowed
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) return false;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        std::size_t k = next;
        while (k < std::size(kKeys) && key != kKeys[k]) ++k;
        if (k == std::size(kKeys) || (i == 1) != (k == 0)) return false;
        next = k + 1;
        if (key == "Request") {
            j.identity = value;
        } else if (key == "Ticket") {
            j.ticket = WholeNumber(value);
            if (!j.ticket) return false;
        } else if (key == "Export") {
            j.exportFile = value;
        } else {
            const auto errors = WholeNumber(value);
            if (!errors) return false;
            j.sealed = true;
            j.errors = *errors;
        }
    }
    return !j.identity.empty();
}

// Whether the journal holds only what this program could have written for an order: the
// request folder is open to every writer of the share, and a planted journal must never drive
// a rename or a number. The ticket is one NextPickTicketNumber hands out (the counter refuses
// to start below 1); the export, when there is one, is that ticket's temporary export name on
// this host, compared as the file system maps names (without regard to case); a seal has
// its ticket.
bool CouldBeOurs(const OrderJournal& j) {
    if (j.ticket && *j.ticket < 1) return false;
    if (j.sealed && (!j.ticket || j.errors < 0)) return false;
    if (j.exportFile.empty()) return true;
    if (!j.sealed) return false;
    try {
        return LowerCase(fs::NativePath(j.exportFile)) ==
               LowerCase(fs::NativePath(ExportTemporaryPath(gState.gHost, *j.ticket)));
    } catch (const std::exception&) {
        // A name that cannot be mapped is not one this program wrote.
        return false;
    }
}

std::string Identity(const std::string& bytes, const std::string& name) {
    return std::to_string(bytes.size()) + " " + Sha256Hex(bytes) + " " + name;
}

// The journal under `fresh`'s name when it is the request's own, in today's form; `fresh`
// itself when nothing is under the name (or a folder, left to the first save, which fails
// before a number is drawn); nullopt for anything else under the name.
std::optional<OrderJournal> ReadOwnJournal(const OrderJournal& fresh, const std::string& bytes) {
    if (!fs::NameExists(fresh.path) || fs::FolderExists(fresh.path)) return fresh;

    // Only a regular file of a journal's size is read; a link, a device or a planted giant is
    // nobody's journal.
    std::string text;
    try {
        text = fs::ReadOwnFile(fresh.path, kJournalLimit);
    } catch (const fs::RuntimeError& e) {
        if (e.Number() == fs::err::kFileNotFound) return fresh;
        return std::nullopt;
    }
    OrderJournal stored;
    stored.path = fresh.path;
    if (!Parse(text, stored) || !SameRequest(stored.identity, fresh.identity, bytes) ||
        !CouldBeOurs(stored))
        return std::nullopt;
    stored.onDisk = true;
    // Saved from here on in today's form.
    stored.identity = fresh.identity;
    if (!stored.exportFile.empty())
        stored.exportFile = ExportTemporaryPath(gState.gHost, *stored.ticket);
    return stored;
}

OrderJournal FreshJournal(const std::string& requestFile, const std::string& bytes) {
    OrderJournal fresh;
    fresh.path = JournalPath(requestFile);
    fresh.identity = Identity(bytes, RequestName(requestFile));
    return fresh;
}

// The tickets whose exports the sealed journals of the request folder name, or none when a
// journal could not be read (it may be one of them).
std::optional<std::set<std::int32_t>> SealedExportTickets(const std::string& requestFolder) {
    if (!fs::FolderExists(requestFolder)) return std::nullopt;
    std::set<std::int32_t> tickets;
    for (const std::string& name : fs::ListDirectory(requestFolder + "\\*" + kJournalEnding)) {
        std::string text;
        try {
            text = fs::ReadOwnFile(requestFolder + "\\" + name, kJournalLimit);
        } catch (const fs::RuntimeError&) {
            // Gone, or what an order never reads as its journal (a link, a giant): it names
            // nothing, and leaves the others' leftovers to be cleared.
            continue;
        }
        OrderJournal j;
        if (Parse(text, j) && j.sealed && j.ticket && !j.exportFile.empty())
            tickets.insert(*j.ticket);
    }
    return tickets;
}

// Exports left under their temporary names by orders that ended before publishing them: each
// is claimed first, as a live order holds its own, so one being written is never touched. A
// sealed order's export is its rerun's to publish, so the journals are read once the claims
// are had (a journal sealed later names only a file its writer holds) and what one names stays.
void DiscardLeftExports(const std::string& requestFolder) {
    const std::string folder = ExportFolder(gState.gHost);
    struct Left {
        std::string path;
        std::int32_t ticket;
        fs::FileClaim claim;
    };
    std::vector<Left> left;
    for (const std::string& name : fs::ListDirectory(folder + "\\*.tmp")) {
        const std::optional<std::int32_t> ticket = ExportTicketOf(name);
        if (!ticket) continue;
        const std::string path = folder + "\\" + name;
        fs::FileClaim claim(path, ExportClaimsFolder(gState.gHost));
        if (claim.Claimed()) left.push_back({path, *ticket, std::move(claim)});
    }
    if (left.empty()) return;
    const auto named = SealedExportTickets(requestFolder);
    if (!named) return;
    for (const Left& l : left) {
        if (!named->contains(l.ticket)) fs::TryDeleteFile(l.path);
    }
}

}  // namespace

std::string JournalPath(const std::string& requestFile) { return requestFile + kJournalEnding; }

std::string RequestIdentity(const std::string& requestFile) {
    return Identity(fs::ReadWholeFile(requestFile), RequestName(requestFile));
}

bool SealedJournalOnDisk(const std::string& requestFile, const std::string& bytes) {
    const std::optional<OrderJournal> own = ReadOwnJournal(FreshJournal(requestFile, bytes), bytes);
    return own && own->sealed;
}

OrderJournal OpenOrderJournal(const std::string& requestFile, const std::string& bytes) {
    const OrderJournal fresh = FreshJournal(requestFile, bytes);
    if (std::optional<OrderJournal> own = ReadOwnJournal(fresh, bytes)) return *own;
    if (!fs::TryDeleteFile(fresh.path)) {
        throw fs::RuntimeError(fs::err::kPathFileAccess, "Kill",
                               "Path/File access error: " + fresh.path);
    }
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
        // A folder that cannot be listed now is looked at again on the next catch-up or start.
        return;
    }
    for (const std::string& name : names) {
        try {
            const std::string journal = requestFolder + "\\" + name;
            if (!journal.ends_with(kJournalEnding)) continue;
            const std::string request =
                journal.substr(0, journal.size() - std::string(kJournalEnding).size());
            // Another instance polling this folder may be answering the request, or finishing
            // the clean-up of one it has just deleted: what is held is left to its holder.
            const fs::FileClaim requestClaim(request);
            if (requestClaim.Result() == fs::FileClaim::Outcome::Held) continue;
            if (fs::FileExists(request)) {
                // The request is there: processing it decides whether the journal is its own.
                // One that turned up under the name since the claim is looked at next time.
                if (requestClaim.Result() != fs::FileClaim::Outcome::Gone)
                    OpenOrderJournal(request, fs::ReadWholeFile(request));
                continue;
            }
            fs::FileClaim journalClaim(journal);
            if (journalClaim.Result() == fs::FileClaim::Outcome::Held ||
                journalClaim.Result() == fs::FileClaim::Outcome::Gone)
                continue;
            const std::string timeLog = TimeLogPath(LowerCase(request));
            if (fs::NameExists(timeLog)) {
                // Only the time log this program wrote is archived, never what a link reaches.
                if (gState.gArchive && fs::IsRegularFile(timeLog))
                    fs::WriteCopy(ArchivePath(timeLog), fs::ReadOwnFile(timeLog, kTimeLogLimit));
                fs::DeleteFile(timeLog);
            }
            // Another instance may have taken up a new request of the name meanwhile and saved
            // its journal: only the journal claimed here goes.
            if (journalClaim.Claimed())
                journalClaim.DeleteIfCarried();
            else
                fs::DeleteFile(journal);
        } catch (const std::exception&) {
            // Left for the next start.
        }
    }
    try {
        DiscardLeftExports(requestFolder);
    } catch (const std::exception&) {
        // Left for the next start.
    }
}

}  // namespace zel::processor
