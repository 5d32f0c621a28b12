#pragma once
// The business files on the server share: the program-wide open-file list and reads and writes
// by byte position, 512-byte block and record number of a logical file.
//
// The business system's own programs read and write the same files at the same time: files are
// opened read-write and shared, nothing is cached between calls, and nothing is ever truncated.
// Offsets are 32-bit signed like the business programs'; one outside that range raises error 6
// before any byte is touched.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/keyedlist.h"
#include "engine/state.h"

namespace zel::engine {

// One open physical file. A cOpenFile closed by CloseFile (or by the release of the list) stays
// closed: later reads through it give spaces and writes fail; it never reaches a file that is
// opened later.
class cOpenFile {
public:
    std::int32_t vbFileNumber = 0;  // number under which the file is open; never reused
    std::string Path;               // full path as opened; the key in the open-file list
    std::int32_t Position = 0;      // remembered write position (0-based)

    cOpenFile() = default;
    ~cOpenFile();
    cOpenFile(const cOpenFile&) = delete;
    cOpenFile& operator=(const cOpenFile&) = delete;

    bool IsOpen() const { return handle_ >= 0; }

private:
    friend std::shared_ptr<cOpenFile> OpenFile(std::string& fileName);
    friend class cOpenFiles;
    friend struct FileAccess;
    void Close();
    int handle_ = -1;  // native descriptor, -1 once closed
};

// The open-file list: keys compare without regard to case. Releasing the list closes every
// member's file.
class cOpenFiles : public KeyedList<cOpenFile> {
public:
    cOpenFiles() = default;
    ~cOpenFiles();
    cOpenFiles(const cOpenFiles&) = delete;
    cOpenFiles& operator=(const cOpenFiles&) = delete;

    // Adds a new member under `sKey` (without a key when empty). A key that is present already
    // raises error 457 and adds nothing.
    std::shared_ptr<cOpenFile> Add(std::int32_t vbFileNumber, const std::string& path,
                                   std::int32_t position, const std::string& sKey = "");
};

// Full path of a file name: a name without a backslash lies in the data directory
// ("\\server\QMRLINK\directory\name"); any other name is returned as it stands.
std::string FullFileName(const std::string& fileName);

// Opens a file (or finds it open in the list). A bare `fileName` is replaced by its full path.
// A missing file or a failed open gives none, without an error, except that an open that fails
// for want of file descriptors raises 67 ("Too many files").
std::shared_ptr<cOpenFile> OpenFile(std::string& fileName);

// `bytesToRead` bytes at 0-based `position`. Never fails: a missing or closed file, or any
// byte past the end of the file, reads as spaces; a negative length gives "".
std::string ReadFile(const cOpenFile* file, std::int32_t bytesToRead, std::int32_t position = 0);
// Current length in bytes of an open file (0 for none or a closed one).
std::int64_t FileLength(const cOpenFile* file);
// Writes all of `record` at `position`, or at the remembered position when `position` is
// negative. Raises -10 "iwriteFile" without a file object, 52 on a closed one.
void WriteFile(cOpenFile* file, const std::string& record, std::int32_t position);
// The 512 bytes of block `blockNumber` (at blockNumber * 512).
std::string BlockReadFile(const cOpenFile* file, std::int32_t blockNumber);
void BlockWriteFile(cOpenFile* file, std::int32_t blockNumber, const std::string& record);

// Record `recordNumber` (1 to LastRecord) of a logical file: errors -10 (no logical file), 81
// (record number), 6 (offset overflow).
std::string LreadFile(const cLogicalFile* logicalFile, std::int32_t recordNumber);
// Writes record `recordNumber`; `record` must be exactly RecordLength bytes (error 36).
void LwriteFile(const cLogicalFile* logicalFile, std::int32_t recordNumber,
                const std::string& record);

// Closes a file and removes it from the open-file list; a file no longer in the list is left
// alone. The name form opens the file first when it is not open yet, and raises 91 when the
// file does not exist.
void CloseFile(cOpenFile* file);
void CloseFile(std::string fileName);

// Byte offset of block `block` of `blockSize` bytes inside a logical file's area:
// block * blockSize + Position * 512, in 32-bit arithmetic (error 6 from `source` when out of
// range).
std::int32_t BlockOffset(const cLogicalFile& logicalFile, std::int32_t block,
                         std::int32_t blockSize, const char* source);
// Byte offset of record `recordNumber` of a logical file (its block of RecordLength bytes).
std::int32_t RecordOffset(const cLogicalFile& logicalFile, std::int32_t recordNumber,
                          const char* source);

}  // namespace zel::engine
