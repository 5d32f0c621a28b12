#pragma once
// The order journal: what makes a purchase order draw one pick ticket and reach the business
// system once, however often its request is processed (a request is processed again after any
// failure or crash before it is deleted).
//
// The journal sits beside the request under the request's name followed by ".journal", which
// no poller lists. It names its request by size, SHA-256 of the bytes and file name (not by the
// time of its last change, which a copy, a restore or a clock change moves), records the
// pick-ticket number the moment it is drawn, and is sealed once the work files and the
// complete export file are on disk. Every save replaces the whole journal and is forced to
// disk. A journal of another file of the same name is never inherited.
#include <cstdint>
#include <optional>
#include <string>

namespace zel::processor {

struct OrderJournal {
    std::string path;      // the journal file
    std::string identity;  // the request it belongs to (RequestIdentity)
    bool onDisk = false;   // read from an earlier run of the same request
    std::optional<std::int32_t> ticket;
    std::string exportFile;  // the export's temporary name; empty for a test order
    bool sealed = false;
    std::int32_t errors = 0;  // errors of the exceptions work file when sealed
};

inline constexpr const char* kJournalEnding = ".journal";

std::string JournalPath(const std::string& requestFile);

// "size sha256 name" of the request file as it is on disk now (the name lower-cased), for
// whoever has not read the request (the start-up, the set-aside record); raises the file
// service's error when it cannot be read. It is the identity OpenOrderJournal gives the same
// bytes under the same name. A journal of the earlier form "size time digest" is still
// recognised by its size and digest.
std::string RequestIdentity(const std::string& requestFile);

// The journal of this very request as an earlier run left it, or a new one (not yet saved).
// The request is named by `requestBytes`, the bytes its answer is made of, never by a second
// reading of the file. A journal that belongs to another file of the same name, or cannot be
// read as a journal, is deleted first.
OrderJournal OpenOrderJournal(const std::string& requestFile, const std::string& requestBytes);

// Whether an earlier run of this very order left work files to be finished from: the journal
// beside it is the request's own by the rules OpenOrderJournal reads it by, and sealed. Only
// reads; what is not the request's own is left to OpenOrderJournal to remove.
bool SealedJournalOnDisk(const std::string& requestFile, const std::string& requestBytes);

// Replaces the journal on disk (atomic, forced to disk).
void SaveOrderJournal(const OrderJournal& journal);

// At start-up, for every journal in the request folder: one whose request is gone belongs to a
// request that was answered and deleted, and only the end of its clean-up was lost (the time
// log's archive copy when archiving is on, the time log, the journal): that is finished. One
// whose request is another file of the same name is deleted. Then the exports left under
// their temporary names in the export folder that no live order holds are removed, but for
// those a sealed journal names (its rerun publishes them). Failures are passed over; the next
// start tries again.
void DiscardStaleJournals(const std::string& requestFolder);

}  // namespace zel::processor
