#pragma once
// Logical business files. A logical name is resolved in two steps: the link table LINKSFILE (in
// the share root) maps ":" & data directory & ":" & name to a resolution file; the resolution
// file (32-byte rows) gives the file's kind, start block, record length and last record inside
// its data file (the resolution file's path with its last two characters replaced by "DB").
//
// LINKSFILE rows are 160 bytes: 2-80 the qualified name, 82-160 the resolution file (":" in
// place of "\"), both padded at the end with NUL, tab, LF, CR or space.
// Resolution rows: 1-10 name (trailing NUL/tab/LF/CR/space not part of it), 7-8 flags ("C"),
// 11-13 start block ("D"), 14-15 record length ("C"), 16 kind letter, 17-20 last record ("L").
#include <cstdint>
#include <memory>
#include <string>

#include "engine/keyedlist.h"
#include "engine/state.h"

namespace zel::engine {

// One link-table row.
struct cLink {
    std::string LinkFile;        // ":" & data directory & ":" & logical name
    std::string ResolutionFile;  // path under QMRLINK, ":" for "\"
};

// The link table (program-wide instance Links).
class cLinks : public KeyedList<cLink> {
public:
    // Creates the cLink and adds it under `sKey` when that is not empty; a key that is present
    // already leaves the earlier member in place. Returns the new cLink either way.
    std::shared_ptr<cLink> Add(const std::string& linkFile, const std::string& resolutionFile,
                               const std::string& sKey = "");

    // The link table of the share root of the program-wide SystemInfo. A missing LINKSFILE is
    // created empty; the first row of a name wins.
    static std::shared_ptr<cLinks> Load();
    // Rows of a LINKSFILE image (also a last, shorter row).
    void AddRows(const std::string& image);
};

// The logical-file cache (program-wide instance LogicalFiles).
class cLogicalFiles : public KeyedList<cLogicalFile> {
public:
    // Adds a new logical file under `sKey` (without a key when empty); a key that is present
    // already raises error 457 and adds nothing.
    std::shared_ptr<cLogicalFile> Add(const std::string& fileName, const std::string& fileType,
                                      std::shared_ptr<cOpenFile> openFile, std::int32_t position,
                                      std::int32_t flags, std::int32_t recordLength,
                                      std::int32_t lastRecord, bool isamPlus,
                                      const std::string& sKey = "");
};

// Resolves a logical name (cached under the name as given). None when the name has no link,
// the resolution file is missing or holds no row of that name. A missing data file still gives
// a logical file, without an OpenFile.
std::shared_ptr<cLogicalFile> LogicalOpen(const std::string& fileName);

// A whole physical file taken as a logical file (start block 0). A bare `fileName` is replaced
// by its full path. When `lastRecord` is null or 0 it becomes (file length / recordLength) - 1
// (written back). None when the file cannot be opened; error 11 for recordLength 0.
std::shared_ptr<cLogicalFile> PhysLogicalOpen(std::string& fileName, const std::string& fileType,
                                              std::int32_t recordLength,
                                              std::int32_t* lastRecord = nullptr);

// Record-zero counters of an "L" file with an open data file; 0 for anything else.
std::int32_t ActiveCount(const cLogicalFile& logicalFile);
std::int32_t HighUsedRecord(const cLogicalFile& logicalFile);

}  // namespace zel::engine
