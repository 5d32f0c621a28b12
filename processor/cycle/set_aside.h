#pragma once
// Requests set aside: a request that ended the program twice while it stayed as it was is passed
// over by the next starts while it stays so, so that a failure that would recur at every start
// (a name planted beside the request, a folder where a file must go) stops that one request and
// not the whole folder. A request that ended the program once is taken up once more by the next
// start, as a message queue delivers a message a second time: a cause that passed (a full disk,
// a folder remounted read-only) costs the request nothing, and an order's second try goes
// through its journal as any rerun does.
//
// The record is a small file beside the settings store, outside the share that every writer of
// the request folder can write. It names each request by its lower-cased path and its identity
// (RequestIdentity: size, SHA-256, name), with the step and the error that ended the program and
// how many times it did. A request is taken up again once its identity changes (it is renamed,
// or its bytes are rewritten), or when its line or the record file is removed. A line leaves the
// record only once its request is gone, so no number of failing requests can push out one that
// is still there.
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"

namespace zel::processor {

// The record file (native path).
std::string SetAsideFilePath();

// A request is set aside once it has ended the program this many times while unchanged.
inline constexpr int kEndsToSetAside = 2;

// Records that the request at `requestFile` (lower-cased) ended the program at `step` with the
// error `description`: its first end, or its second, which sets it aside. Called by the error
// handler before the program ends; a record that cannot be written is passed over (the program
// ends all the same).
void SetRequestAside(const std::string& requestFile, int step,
                     const std::string& description) noexcept;

// One request of the record.
struct SetAsideRecord {
    std::string path;  // lower-cased
    std::string identity;
    std::string step;
    std::string description;
    int ends = kEndsToSetAside;  // a line without a count was written when one end set aside
};

// The requests one start of the program passes over (the record as the start first reads it).
class SetAsideRequests {
public:
    // Told, without waiting for anyone, which request was set aside and how to take it up again.
    using Notice = std::function<void(const std::string& text)>;
    // Without a notice of its own the text goes to the error stream.
    explicit SetAsideRequests(Notice notice = {});

    // Whether the request at `requestFile` (as the polling pass names it, in the case the
    // folder's listing gives) is set aside. The first time this start meets it, the notice
    // names it and why. A request whose identity changed since is taken up again; its old line
    // stays in the record until the request it names is gone.
    bool PassOver(const std::string& requestFile);
    // The request at `requestFile` was processed without ending the program. One that this start
    // took up once more after an end leaves the record once it is gone, so that a later request
    // of the same name and bytes starts with no end against it.
    void Processed(const std::string& requestFile) noexcept;

private:
    struct Seen {
        platform::FileStamp stamp;
        std::string identity;
    };
    std::string CurrentIdentity(const std::string& requestFile, const std::string& path);

    Notice notice_;
    std::optional<std::vector<SetAsideRecord>> records_;
    std::map<std::string, Seen> identities_;  // by lower-cased path
    std::set<std::string> told_;              // path and identity of each request told of
    std::set<std::string> retried_;           // lower-cased paths taken up once more
};

}  // namespace zel::processor
