#pragma once
// Requests set aside: a request on which the program ended is passed over by the next starts
// while it stays as it was, so that a failure that would recur at every start (a name planted
// beside the request, a folder where a file must go) stops that one request and not the whole
// folder, and no start ends twice on it.
//
// The record is a small file beside the settings store, outside the share that every writer of
// the request folder can write. It names each request by its lower-cased path and its identity
// (RequestIdentity: size, SHA-256, name), with the step and the error that ended the program.
// A request is taken up again once its identity changes (it is renamed, or its bytes are
// rewritten), or when the record file is removed.
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zel::processor {

// The record file (native path).
std::string SetAsideFilePath();

// At most this many requests are kept in the record; the oldest go first.
inline constexpr std::size_t kMostSetAside = 200;

// Records that the request at `requestFile` (lower-cased) ended the program at `step` with the
// error `description`. Called by the error handler before the program ends; a record that
// cannot be written is passed over (the program ends all the same).
void SetRequestAside(const std::string& requestFile, int step,
                     const std::string& description) noexcept;

// One request of the record.
struct SetAsideRecord {
    std::string path;  // lower-cased
    std::string identity;
    std::string step;
    std::string description;
};

// The requests one start of the program passes over (the record as the start first reads it).
class SetAsideRequests {
public:
    // Whether the request at `requestFile` (as the polling pass names it) is set aside. The
    // first time this start meets it, the user is told which request and why. A request whose
    // identity changed since is taken up again; its old line stays in the record until newer
    // ones push it out.
    bool PassOver(const std::string& requestFile);

private:
    struct Seen {
        long long size;
        long long changed;
        std::string identity;
    };
    std::string CurrentIdentity(const std::string& requestFile, const std::string& path);

    std::optional<std::vector<SetAsideRecord>> records_;
    std::map<std::string, Seen> identities_;  // by lower-cased path
    std::set<std::string> told_;              // path and identity of each request told of
};

}  // namespace zel::processor
