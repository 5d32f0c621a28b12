#pragma once
// File services over Windows-form paths. The throwing forms raise RuntimeError with the classic
// numbers (53 file not found, 75 path/file access error, 76 path not found).
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::platform {

// Copies src over dst (overwriting). The copy is written under a temporary name and renamed
// into place, so a program polling for dst never sees it half-written.
void CopyFile(const std::string& src, const std::string& dst);
// Writes `bytes` over dst as CopyFile writes its copy, failing with the same numbers (76 when
// dst's folder is missing): a document published from memory is a copy to its callers.
void WriteCopy(const std::string& dst, const std::string& bytes);
// Deletes a file; throws 53 when it does not exist.
void DeleteFile(const std::string& path);
// Deletes a file if it exists; false when it existed and could not be deleted.
bool TryDeleteFile(const std::string& path);
// Renames/moves a file; throws on failure (58 when the target exists and replace is false).
void RenameFile(const std::string& from, const std::string& to, bool replace = false);
// Makes one directory level; throws 75 when it already exists or cannot be made.
void MakeDirectory(const std::string& path);

// Names (not paths) of the entries of a folder that match a wildcard pattern ("*.req",
// "file?.dat"); the pattern is the last component of `pattern`, matched without regard to
// case. Directory order. Missing folder: empty list.
std::vector<std::string> ListDirectory(const std::string& pattern, bool foldersToo = false);
// The same, telling a folder that cannot be opened (missing, say): nothing then.
std::optional<std::vector<std::string>> ListFolder(const std::string& pattern,
                                                   bool foldersToo = false);

bool FileExists(const std::string& path);
// Whether anything at all carries the name: a file, a folder, a link (dangling or not), a
// device. A link is not followed, so a name whose link points nowhere is still taken.
bool NameExists(const std::string& path);
// A regular file itself: a symbolic link (whatever it points to), a FIFO or a device is not one.
bool IsRegularFile(const std::string& path);
bool FolderExists(const std::string& path);
// Size in bytes, or -1 when the file does not exist.
long long FileSize(const std::string& path);
// What moves whenever a regular file's bytes change or another file takes its name: its device
// and inode, size, time of last change, and time of last status change (times in nanoseconds
// since 1970), which a program cannot set back as it can the time of last change.
struct FileStamp {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modified = 0;
    long long statusChanged = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamp of the regular file at `path`, or nullopt when the name holds none.
std::optional<FileStamp> StampOfFile(const std::string& path);

// Whole file as bytes; throws 53 when missing.
std::string ReadWholeFile(const std::string& path);
// A file this program wrote into a folder that others can write too, read back: only a regular
// file itself, never through a link, and of at most `limit` bytes (a larger one is refused by
// its size, unread). Throws 53 when nothing carries the name (its folder missing included), 76
// when the path runs through a file, 75 for anything else under it.
std::string ReadOwnFile(const std::string& path, std::size_t limit);
// Writes the bytes under a temporary name and renames into place; throws on failure. With
// `durable` the contents and the new name are on disk when it returns.
void WriteWholeFile(const std::string& path, const std::string& bytes, bool durable = false);

// Force a file's contents, or a folder's entries (files created, moved or deleted in it), to
// disk; throw when the file or folder cannot be opened or synced.
void SyncFile(const std::string& path);
void SyncFolder(const std::string& path);

// A text file written in pieces under its own name, for a file that carries a name its reader
// ignores while it is written. Opening makes a new, empty file under the name: whatever carried
// the name before (a leftover file, a link, a device) goes as a name and nothing is ever written
// through it; a folder of that name is a failure. Close forces the contents to disk before
// closing. Every failure throws (RuntimeError).
class TextFileWriter {
public:
    explicit TextFileWriter(const std::string& path);
    ~TextFileWriter();  // closes without forcing anything to disk
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    void Write(std::string_view bytes);
    void Close();

private:
    std::string path_;
    int fd_ = -1;
};

// Removes from `folder` (Windows form) the temporary files this program left on this host in
// a run that is over: names carrying TemporaryTagOfThisProgram() whose process is gone (or is
// this one: call at start, before the first write) and that no live writer holds (a machine
// that shares the folder may carry the same host name and process numbers). Another program's
// or host's temporary file, and one of a process still running, are never touched. Returns how
// many went.
int RemoveOwnLeftovers(const std::string& folder);

// Holds an exclusive lock on the native file `lockPath` (created, with its folders, as needed)
// for the life of the object, across processes. The lock file is a regular file of its own:
// whatever else carries the name (a link, dangling or not, a FIFO, a device) goes as a name and
// the file is made anew. A lock that cannot be had (unwritable folder, a folder of that name)
// throws RuntimeError naming the lock file; nothing runs unlocked.
//
// With `wait`, another holder is waited for that long at most: a holder that never lets go (a
// program stopped while it holds the lock) then fails this one with error 70, naming the lock
// file, instead of stopping it too.
class ScopedFileLock {
public:
    explicit ScopedFileLock(const std::string& lockPath);
    ScopedFileLock(const std::string& lockPath, std::chrono::milliseconds wait);
    ~ScopedFileLock();
    ScopedFileLock(const ScopedFileLock&) = delete;
    ScopedFileLock& operator=(const ScopedFileLock&) = delete;
    bool Held() const noexcept { return fd_ >= 0; }

private:
    void Take(const std::string& lockPath, std::optional<std::chrono::milliseconds> wait);

    int fd_ = -1;
};

// A claim on one file (Windows form) among all programs that work on its folder, on this
// machine or on others sharing it: at most one holder at a time, whatever each holder may do
// with the file (one that may only read it excludes one that may write it). The claim is an
// operating-system lock held through the object's own descriptors, so it ends with the object,
// with the process (however it ends) and, on a network share, with the client's lock state on
// the server; nothing is left to be cleared away. Another object of the same process does not
// share it, so one process can play two holders.
//
// The locks lie in a file of the folder that every claimer can write (kClaimsFile, made on
// the first claim and never removed), never on the claimed file: a server that enforces
// byte-range locks still lets every program read and copy the contents. A claim covers the file
// (it follows the file through a rename) and the name it was claimed under (a new file put
// under the name is held until the claim ends). The claim is only had when the name still
// carries the very file that was locked: a file renamed away, deleted or replaced meanwhile is
// not claimed.
class FileClaim {
public:
    static constexpr const char* kClaimsFile = ".zel-claims";

    enum class Outcome {
        None,         // no claim was tried (default-constructed, released)
        Claimed,      // this object holds the file
        Held,         // another holder has it
        Gone,         // nothing, or something other than a regular file, carries the name now
        Unavailable,  // the file is there but cannot be locked here (no lock service)
    };

    FileClaim() = default;
    // `claimsFolder` (Windows form): the folder whose claims file holds the locks, where the
    // claimed file's own folder must hold none (one that another program reads); empty: the
    // file's own folder. Every claimer of a file must name the same one.
    explicit FileClaim(const std::string& path, const std::string& claimsFolder = {});
    ~FileClaim();
    FileClaim(FileClaim&& other) noexcept;
    FileClaim& operator=(FileClaim&& other) noexcept;
    FileClaim(const FileClaim&) = delete;
    FileClaim& operator=(const FileClaim&) = delete;

    Outcome Result() const noexcept { return outcome_; }
    bool Claimed() const noexcept { return outcome_ == Outcome::Claimed; }
    // Why the claim is Unavailable (or Held): the system's error number; 0 when none.
    int Problem() const noexcept { return problem_; }
    // The claimed file's contents as they are now, read through the claim and never by name
    // (a file put under the name since is not read). Throws RuntimeError when it cannot be read
    // or nothing is claimed.
    std::string ReadClaimed() const;
    // Deletes the name while it still carries the claimed file; false, and nothing deleted,
    // when the name carries another file or none (nothing is claimed: false). A deletion that
    // fails throws as DeleteFile does.
    bool DeleteIfCarried();
    void Release() noexcept;

private:
    int fd_ = -1;      // the claimed file, read-only
    int lockFd_ = -1;  // the folder's claims file, holding the locks
    Outcome outcome_ = Outcome::None;
    int problem_ = 0;
    std::string native_;
    unsigned long long dev_ = 0;
    unsigned long long ino_ = 0;
};

// Whether both names carry the very same file (one file under two names, as a hard link
// leaves it); a link under either name is not followed.
bool SameFile(const std::string& a, const std::string& b);

// A new file (Windows form) for a reader that polls for it under another name, made only where
// nothing carries its name and claimed as FileClaim claims a file from before anything is
// written into it until it is published or given up. So no other program following this rule
// can take the name meanwhile, and whoever finds the file without a live holder may judge it
// left over. Where the share cannot lock, the file is made and written all the same.
class ClaimedNewFile {
public:
    // Taken() when anything already carries the name (a file, a folder, a link, dangling or
    // not), or another holder had the new file before it could be claimed; any other failure
    // throws RuntimeError (76 when the folder is missing, 70 when it may not be written).
    // `claimsFolder` as for FileClaim.
    explicit ClaimedNewFile(const std::string& path, const std::string& claimsFolder = {});
    // A file that was neither published nor kept goes with the object.
    ~ClaimedNewFile();
    ClaimedNewFile(const ClaimedNewFile&) = delete;
    ClaimedNewFile& operator=(const ClaimedNewFile&) = delete;

    bool Taken() const noexcept { return fd_ < 0; }
    void Write(std::string_view bytes);
    // Forces the contents to disk.
    void Sync();
    // From here on the file stays under its name when the object goes, whatever fails next.
    void Keep() noexcept { keep_ = true; }
    // Gives the file `finalPath` as its name without ever replacing what carries that name
    // (58 when something does; the file then keeps its own name) and ends the claim.
    void Publish(const std::string& finalPath);

private:
    std::string path_;
    std::string native_;
    int fd_ = -1;
    FileClaim claim_;
    bool keep_ = false;
};

// Temp folder in Windows form with a trailing backslash ($TMPDIR, else /tmp).
std::string TempFolder();
// Station name (upper case, as the platform reports computer names).
std::string ComputerName();
// Full Windows-form path of the running program, and its folder (no trailing backslash).
std::string ProgramPath();
std::string ProgramFolder();
// File name of the running program without folder and extension ("Dulvan").
std::string ProgramName();

}  // namespace zel::platform
