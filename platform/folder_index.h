#pragma once
// Finding a file name in a folder without regard to case, at a cost that does not grow with the
// folder. Each folder looked into is listed once into an index of its names by their case-folded
// form, and the index is kept current by change notification (inotify): the notifications the
// kernel queued for every change made before a look-up, by any program, are applied before the
// index answers, so a name another writer created is known before we would create a second name
// that differs from it only in case. A name without a capital letter is its own folded form and
// is asked of the disk directly instead of being held, so a folder that only ever grows with
// names the programs write in lower case (the archive) costs no memory however many it holds.
// Folders whose changes may come from other machines without notification (network file
// systems) and folders that cannot be watched are listed afresh at each look-up, as before.
#include <cstddef>
#include <string>

namespace zel::platform::detail {

// The name in native folder `dir` that equals `name` without regard to case (when several do:
// the first listed, a name with capitals before the all lower-case one); false when there is
// none. Raises error 67 when the folder cannot be opened for want of descriptors.
bool FindNameWithoutCase(const std::string& dir, const std::string& name, std::string& found);

// Turns the indexes off (every look-up lists the folder, as before they existed) or back on;
// for benchmarks that measure against that path.
void UseFolderIndexes(bool use);

// How many folders are indexed now, how many folder listings were made so far, and how many
// names the indexes hold (for tests).
std::size_t IndexedFolders();
std::size_t FolderListings();
std::size_t IndexedNames();

}  // namespace zel::platform::detail
