#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/atomic_file.h"
#include "platform/convert.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/seams.h"

namespace zel::platform {
namespace {

struct ClassicFailure {
    int number;
    const char* text;
};

ClassicFailure ClassicFailureOf(int e) {
    if (e == ENOENT) return {err::kFileNotFound, "File not found"};
    if (e == ENOTDIR) return {err::kPathNotFound, "Path not found"};
    if (e == EACCES || e == EPERM || e == EROFS)
        return {err::kPermissionDenied, "Permission denied"};
    if (e == EEXIST) return {err::kFileAlreadyExists, "File already exists"};
    if (e == EIO || e == ENOSPC) return {err::kDeviceIO, "Device I/O error"};
    return {err::kPathFileAccess, "Path/File access error"};
}

[[noreturn]] void Fail(int e, const std::string& source, const std::string& /*path*/) {
    const ClassicFailure failure = ClassicFailureOf(e);
    // The description is the runtime's own text alone: it is what the failure boxes show.
    throw RuntimeError(failure.number, source, failure.text);
}

// Going on unlocked would let two writers interleave, so a lock that cannot be had fails the
// operation that needs it; the report names the lock file, which is what the user must fix.
[[noreturn]] void FailLock(int e, const std::string& lockPath) {
    const ClassicFailure failure = ClassicFailureOf(e);
    throw RuntimeError(failure.number, "Lock", std::string(failure.text) + ": " + lockPath);
}

// Whether the native name `native` itself (not what a link under it points to) carries the very
// file `held` was taken of.
bool NameCarries(const std::string& native, const struct stat& held) {
    return detail::NameCarries(native, held.st_dev, held.st_ino);
}

bool StatNative(const std::string& w, struct stat& st) {
    try {
        return ::stat(NativePath(w).c_str(), &st) == 0;
    } catch (const RuntimeError&) {
        return false;
    }
}

bool ParentExists(const std::string& native) {
    auto pos = native.find_last_of('/');
    if (pos == std::string::npos || pos == 0) return true;
    struct stat st;
    return ::stat(native.substr(0, pos).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WildMatch(const char* p, const char* s) {
    // Iterative '*' / '?' matcher without regard to case.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*s) {
        if (*p == '?' || (*p && *p != '*' && LowerCase(*p) == LowerCase(*s))) {
            ++p;
            ++s;
        } else if (*p == '*') {
            star = p++;
            resume = s;
        } else if (star) {
            p = star + 1;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (*p == '*') ++p;
    return *p == 0;
}

}  // namespace

void CopyFile(const std::string& src, const std::string& dst) {
    std::string from = NativePath(src);
    std::string bytes;
    int e = detail::ReadNative(from, bytes);
    if (e != 0) Fail(e, "FileCopy", src);
    WriteCopy(dst, bytes);
}

void WriteCopy(const std::string& dst, const std::string& bytes) {
    std::string to = NativePath(dst);
    if (!ParentExists(to)) Fail(ENOTDIR, "FileCopy", dst);
    // Forced to disk: callers delete the source (a request) right after publishing its copy
    // (an answer, an archive copy), and a power loss must not leave the copy empty.
    int e = detail::ReplaceNative(to, bytes, true);
    if (e != 0) Fail(e, "FileCopy", dst);
}

void DeleteFile(const std::string& path) {
    std::string p = NativePath(path);
    struct stat st;
    if (::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) Fail(ENOENT, "Kill", path);
    NoteFileChange();
    if (::unlink(p.c_str()) != 0) Fail(errno, "Kill", path);
}

bool TryDeleteFile(const std::string& path) {
    try {
        std::string p = NativePath(path);
        NoteFileChange();
        return ::unlink(p.c_str()) == 0 || errno == ENOENT;
    } catch (const RuntimeError&) {
        return false;
    }
}

void RenameFile(const std::string& from, const std::string& to, bool replace) {
    std::string a = NativePath(from);
    std::string b = NativePath(to);
    NoteFileChange();
    if (!replace) {
        // Never replaces an existing target, even against a racing writer.
        if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE) == 0) return;
        int e = errno;
        if (e != EINVAL && e != ENOSYS && e != ENOTSUP) Fail(e, "Name", e == EEXIST ? to : from);
        // The file system cannot rename exclusively: a hard link is just as exclusive.
        if (::link(a.c_str(), b.c_str()) == 0) {
            if (::unlink(a.c_str()) != 0) Fail(errno, "Name", from);
            return;
        }
        e = errno;
        if (e != EPERM && e != ENOTSUP && e != EOPNOTSUPP) Fail(e, "Name", to);
        // Neither (e.g. a FAT share): test, then rename; only a racing writer can slip between.
        struct stat st;
        if (::lstat(b.c_str(), &st) == 0) Fail(EEXIST, "Name", to);
        if (::rename(a.c_str(), b.c_str()) != 0) Fail(errno, "Name", from);
        return;
    }
    if (::rename(a.c_str(), b.c_str()) != 0) Fail(errno, "Name", from);
}

void MakeDirectory(const std::string& path) {
    std::string p = NativePath(path);
    NoteFileChange();
    if (::mkdir(p.c_str(), 0777) != 0) {
        int e = errno;
        if (e == EEXIST)
            throw RuntimeError(err::kPathFileAccess, "MkDir", "Path/File access error: " + path);
        if (e == ENOENT) Fail(ENOTDIR, "MkDir", path);
        Fail(e, "MkDir", path);
    }
}

std::vector<std::string> ListDirectory(const std::string& pattern, bool foldersToo) {
    return ListFolder(pattern, foldersToo).value_or(std::vector<std::string>{});
}

std::optional<std::vector<std::string>> ListFolder(const std::string& pattern, bool foldersToo) {
    std::vector<std::string> out;
    // Windows reads "PARTIAB " as "PARTIAB" here as everywhere.
    const std::string trimmed = DropTrailingBlanksAndPeriods(pattern);
    std::string folder = FolderPart(trimmed);
    std::string pat = FileNamePart(trimmed);
    if (pat.empty()) pat = "*";
    if (pat == "*.*") pat = "*";
    std::string native;
    try {
        native = folder.empty()
                     ? std::string(".")
                     : NativePath(folder.size() == 2 && folder[1] == ':' ? folder + "\\" : folder);
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
    DIR* d = ::opendir(native.c_str());
    if (!d) return std::nullopt;
    while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        if (!WildMatch(pat.c_str(), e->d_name)) continue;
        struct stat st;
        std::string full = native + "/" + e->d_name;
        if (::stat(full.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode) && !foldersToo) continue;
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;
        out.push_back(e->d_name);
    }
    ::closedir(d);
    return out;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return StatNative(path, st) && S_ISREG(st.st_mode);
}

bool NameExists(const std::string& path) {
    try {
        struct stat st;
        return ::lstat(NativePath(path).c_str(), &st) == 0;
    } catch (const RuntimeError&) {
        return false;
    }
}

bool IsRegularFile(const std::string& path) {
    try {
        struct stat st;
        return ::lstat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    } catch (const RuntimeError&) {
        return false;
    }
}

bool FolderExists(const std::string& path) {
    struct stat st;
    return StatNative(path, st) && S_ISDIR(st.st_mode);
}

long long FileSize(const std::string& path) {
    struct stat st;
    if (!StatNative(path, st) || !S_ISREG(st.st_mode)) return -1;
    return static_cast<long long>(st.st_size);
}

std::optional<FileStamp> StampOfFile(const std::string& path) {
    struct stat st;
    if (!StatNative(path, st) || !S_ISREG(st.st_mode)) return std::nullopt;
    auto ns = [](const struct timespec& t) {
        return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
    };
    return FileStamp{static_cast<unsigned long long>(st.st_dev),
                     static_cast<unsigned long long>(st.st_ino), static_cast<long long>(st.st_size),
                     ns(st.st_mtim), ns(st.st_ctim)};
}

std::string ReadWholeFile(const std::string& path) {
    std::string bytes;
    int e = detail::ReadNative(NativePath(path), bytes);
    if (e != 0) Fail(e, "ReadWholeFile", path);
    return bytes;
}

std::string ReadOwnFile(const std::string& path, std::size_t limit) {
    std::string bytes;
    const int e = detail::ReadOwnNative(NativePath(path), bytes, limit);
    if (e != 0) Fail(e == ENOENT || e == ENOTDIR ? e : EINVAL, "ReadOwnFile", path);
    return bytes;
}

void WriteWholeFile(const std::string& path, const std::string& bytes, bool durable) {
    std::string p = NativePath(path);
    if (!ParentExists(p)) Fail(ENOTDIR, "WriteWholeFile", path);
    int e = detail::ReplaceNative(p, bytes, durable);
    if (e != 0) Fail(e, "WriteWholeFile", path);
}

namespace {

// The process number of a temporary name of this program and host ("<tag><pid>-<n>" at the
// end of the name), or 0.
pid_t LeftoverProcess(const std::string& name) {
    const std::string& tag = detail::TemporaryTagOfThisProgram();
    const auto at = name.rfind(tag);
    if (at == std::string::npos || at == 0) return 0;
    std::size_t i = at + tag.size();
    long long pid = 0;
    std::size_t digits = 0;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9' && digits < 10) {
        pid = pid * 10 + (name[i++] - '0');
        ++digits;
    }
    if (digits == 0 || i >= name.size() || name[i] != '-' || ++i == name.size()) return 0;
    for (; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return 0;
    return pid > 0 && pid <= 0x7fffffff ? static_cast<pid_t>(pid) : 0;
}

bool ProcessGone(pid_t pid) {
    if (pid == ::getpid()) return true;  // an earlier run that had our number
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Writes all of `bytes` to `fd`, the file service's "Print" on `path`, retried when a signal
// cuts a write short.
void WriteWhole(int fd, std::string_view bytes, const std::string& path) {
    if (fd < 0) Fail(EBADF, "Print", path);
    NoteFileChange();
    if (const int e = detail::WriteAll(fd, bytes); e != 0) Fail(e, "Print", path);
}

// Removes a temporary that looks left over by its name, unless a live writer still holds it.
bool RemoveLeftover(const std::string& full) {
    const int fd = ::open(full.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat opened;
    const int taken = detail::TakeLeftover(fd);
    // Held from here until closed: its writer cannot take it up again meanwhile.
    const bool doomed = taken >= 0 && ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
                        NameCarries(full, opened);
    const bool removed = doomed && ::unlink(full.c_str()) == 0;
    ::close(fd);
    return removed;
}

}  // namespace

int RemoveOwnLeftovers(const std::string& folder) {
    std::string native;
    try {
        native = NativePath(folder);
    } catch (const RuntimeError&) {
        return 0;
    }
    DIR* d = ::opendir(native.c_str());
    if (!d) return 0;
    std::vector<std::string> doomed;
    while (dirent* e = ::readdir(d)) {
        const pid_t pid = LeftoverProcess(e->d_name);
        if (pid == 0 || !ProcessGone(pid)) continue;
        struct stat st;
        const std::string full = native + "/" + e->d_name;
        if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) doomed.push_back(full);
    }
    ::closedir(d);
    int removed = 0;
    for (const auto& full : doomed)
        if (RemoveLeftover(full)) ++removed;
    return removed;
}

void SyncFile(const std::string& path) {
    const std::string p = NativePath(path);
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail(errno, "SyncFile", path);
    const int e = detail::SyncDescriptor(fd);
    ::close(fd);
    if (e != 0) Fail(e, "SyncFile", path);
}

void SyncFolder(const std::string& path) {
    const std::string p = NativePath(path);
    const int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) Fail(errno, "SyncFolder", path);
    const int e = detail::SyncDescriptor(fd);
    ::close(fd);
    if (e != 0) Fail(e, "SyncFolder", path);
}

TextFileWriter::TextFileWriter(const std::string& path) : path_(path) {
    const std::string p = NativePath(path);
    if (!ParentExists(p)) Fail(ENOTDIR, "Open", path);
    NoteFileChange();
    // The folder may be writable by others: a name planted there as a link must never carry
    // our bytes to its target, nor a hard link into another file. So the file is always a new
    // one; what held the name before goes as a name (a link itself, never what it points to).
    // Someone racing us with new names only makes us try again, a bounded number of times.
    for (int attempt = 0; attempt < 100; ++attempt) {
        fd_ = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) return;
        if (errno != EEXIST) Fail(errno, "Open", path);
        struct stat st;
        if (::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) Fail(EISDIR, "Open", path);
        NoteFileChange();
        if (::unlink(p.c_str()) != 0 && errno != ENOENT) Fail(errno, "Open", path);
    }
    Fail(EEXIST, "Open", path);
}

TextFileWriter::~TextFileWriter() {
    if (fd_ >= 0) ::close(fd_);
}

void TextFileWriter::Write(std::string_view bytes) { WriteWhole(fd_, bytes, path_); }

void TextFileWriter::Close() {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    const int e = detail::SyncDescriptor(fd);
    if (::close(fd) != 0 && e == 0) Fail(errno, "Close", path_);
    if (e != 0) Fail(e, "Close", path_);
}

namespace {

// Takes the lock on `fd`, waiting at most until `deadline` when there is one: 0, or the errno
// of the failure (EWOULDBLOCK: the deadline passed with another holder still on it).
int TakeLock(int fd, const std::optional<std::chrono::steady_clock::time_point>& deadline) {
    if (!deadline) {
        while (::flock(fd, LOCK_EX) != 0)
            if (errno != EINTR) return errno;
        return 0;
    }
    // flock cannot wait with a limit, so it is asked again and again. Holders keep the lock for
    // a read and a write of a small file: short pauses find it soon after it is let go.
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
        if (errno != EWOULDBLOCK && errno != EINTR) return errno;
        const auto left = *deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) return EWOULDBLOCK;
        const auto nap = std::min<std::chrono::steady_clock::duration>(pause, left);
        ::usleep(static_cast<useconds_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(nap).count()));
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

std::string WaitText(std::chrono::milliseconds wait) {
    if (wait.count() % 1000 == 0) return std::to_string(wait.count() / 1000) + " s";
    return std::to_string(wait.count()) + " ms";
}

}  // namespace

ScopedFileLock::ScopedFileLock(const std::string& lockPath) { Take(lockPath, std::nullopt); }

ScopedFileLock::ScopedFileLock(const std::string& lockPath, std::chrono::milliseconds wait) {
    Take(lockPath, wait);
}

void ScopedFileLock::Take(const std::string& lockPath,
                          std::optional<std::chrono::milliseconds> wait) {
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (wait) deadline = std::chrono::steady_clock::now() + *wait;
    for (std::size_t i = 1; i < lockPath.size(); ++i)
        if (lockPath[i] == '/') ::mkdir(lockPath.substr(0, i).c_str(), 0777);
    // A lock file is never opened through a link: the lock would then be taken on, and the
    // file created at, wherever the link points. Nor is anything else that is not a regular
    // file opened (a FIFO, a device): whatever carries the name goes as a name and the lock
    // file is made anew. Someone racing us with new names only makes us try again, a bounded
    // number of times.
    for (int attempt = 0; attempt < 100; ++attempt) {
        struct stat named;
        if (::lstat(lockPath.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) {
            if (S_ISDIR(named.st_mode)) FailLock(EISDIR, lockPath);
            if (::unlink(lockPath.c_str()) != 0 && errno != ENOENT) FailLock(errno, lockPath);
            continue;
        }
        const int fd =
            ::open(lockPath.c_str(),
                   O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd < 0) {
            const int e = errno;
            if (e == EINTR || e == ELOOP || e == ENXIO || e == EISDIR)
                continue;  // the name changed
            FailLock(e, lockPath);
        }
        struct stat opened;
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            continue;
        }
        if (const int e = TakeLock(fd, deadline); e != 0) {
            ::close(fd);
            if (e != EWOULDBLOCK || !wait) FailLock(e, lockPath);
            throw RuntimeError(err::kPermissionDenied, "Lock",
                               "Permission denied: " + lockPath +
                                   " held by another program for more than " + WaitText(*wait));
        }
        // While we waited, the name may have been given to another file: a lock on the old one
        // would exclude nobody.
        if (NameCarries(lockPath, opened)) {
            fd_ = fd;
            return;
        }
        ::close(fd);
    }
    FailLock(EEXIST, lockPath);
}

ScopedFileLock::~ScopedFileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

namespace {

// Every claim of a file is taken on the claims file of its folder (FileClaim::kClaimsFile): one
// file that every claimer can open for writing, whatever its rights on the claimed file itself
// (a request that one instance may only read must be claimed against one that may write it,
// and a write lock needs a descriptor open for writing). It is never removed: a new one would
// split the claims.

// Each claim locks two bytes of the claims file: one for the claimed file itself (its inode
// number, below kNameBytes), so that a claim follows its file through a rename, and one for
// the name it was claimed under (a digest of the name, from kNameBytes on), so that a new file
// put under a name that is being answered waits until that answer is done.
constexpr off_t kNameBytes = off_t{1} << 62;

bool LockRefused(int e) { return e == EAGAIN || e == EACCES || e == EWOULDBLOCK; }

off_t NameByte(const std::string& native) {
    const auto slash = native.find_last_of('/');
    std::uint64_t h = 14695981039346656037ULL;  // FNV-1a: the same on every machine
    for (std::size_t i = slash == std::string::npos ? 0 : slash + 1; i < native.size(); ++i) {
        h ^= static_cast<unsigned char>(LowerCase(native[i]));
        h *= 1099511628211ULL;
    }
    return kNameBytes + static_cast<off_t>(h & (std::uint64_t(kNameBytes) - 1));
}

off_t FileByte(unsigned long long ino) {
    return static_cast<off_t>(ino & (std::uint64_t(kNameBytes) - 1));
}

// A new claims file under `path`, open for writing, or -1 with errno set (EEXIST: another
// claimer made it first). It is made under a name of its own and opened up to every user past
// the umask before it gets its name: made in place, another user's claimer could meet it while
// only its maker may write it, and claim nothing at all.
int MakeClaimsFile(const std::string& path) {
    constexpr int kFlags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
    const std::string own = path + detail::TemporaryTail();
    const int fd = ::open(own.c_str(), kFlags, 0666);
    if (fd < 0) return -1;
    ::fchmod(fd, 0666);
    const int linked = ::link(own.c_str(), path.c_str()) == 0 ? 0 : errno;
    ::unlink(own.c_str());
    if (linked == 0) return fd;
    ::close(fd);
    // Taken for a leftover and removed meanwhile by another machine's start-up: tried again.
    if (linked == ENOENT || linked == EEXIST) {
        errno = EEXIST;
        return -1;
    }
    if (linked != EPERM && linked != EOPNOTSUPP && linked != ENOSYS) {
        errno = linked;
        return -1;
    }
    // A file system without hard links: made in place, opened up at once.
    const int made = ::open(path.c_str(), kFlags, 0666);
    if (made >= 0) ::fchmod(made, 0666);
    return made;
}

// The claims file in the folder `nativeFolder` (that of the claimed file when empty), open for
// writing; -1 with errno set when it
// cannot be had. Whoever makes it lets every user write it. Anything but a regular file under
// its name (a link, a FIFO) was never anyone's claims file, since nobody opens one through a
// link: it goes as a name and the file is made anew.
int OpenClaimsFile(const std::string& native, const std::string& nativeFolder) {
    const auto slash = native.find_last_of('/');
    const std::string path =
        (!nativeFolder.empty()
             ? nativeFolder + "/"
             : (slash == std::string::npos ? std::string() : native.substr(0, slash + 1))) +
        FileClaim::kClaimsFile;
    constexpr int kFlags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = ::open(path.c_str(), kFlags);
        const int opening = errno;
        struct stat st;
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            // One its maker could not open up to every user (it died first, or an earlier
            // version made it) is opened up by its maker now.
            if ((st.st_mode & 0666) != 0666 && st.st_uid == ::geteuid()) ::fchmod(fd, 0666);
            return fd;
        }
        if (fd >= 0) ::close(fd);
        if (fd < 0 && opening == ENOENT) {
            fd = MakeClaimsFile(path);
            if (fd >= 0) return fd;
            if (errno == EEXIST) continue;  // made meanwhile by another claimer
            return -1;
        }
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT) continue;  // gone meanwhile
            return -1;
        }
        if (S_ISREG(st.st_mode)) {
            if (fd >= 0) continue;
            errno = opening;  // the claims file, but not ours to write
            return -1;
        }
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return -1;
        }
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

FileClaim::FileClaim(const std::string& path, const std::string& claimsFolder)
    : outcome_(Outcome::Gone) {
    std::string nativeFolder;
    try {
        native_ = NativePath(path);
        if (!claimsFolder.empty()) nativeFolder = NativePath(claimsFolder);
    } catch (const RuntimeError&) {
        return;
    }
    // Never through a link, and never waiting on a FIFO put under the name. Read-only: that is
    // all a claimer needs of the file, and all some may have.
    const int fd =
        ::open(native_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        problem_ = errno;
        outcome_ = errno == ENOENT || errno == ELOOP || errno == ENOTDIR || errno == EISDIR
                       ? Outcome::Gone
                       : Outcome::Unavailable;
        return;
    }
    fd_ = fd;
    struct stat held;
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
        Release();
        outcome_ = Outcome::Gone;
        return;
    }
    dev_ = held.st_dev;
    ino_ = held.st_ino;
    lockFd_ = OpenClaimsFile(native_, nativeFolder);
    if (lockFd_ < 0) {
        problem_ = errno;
        Release();
        outcome_ = Outcome::Unavailable;
        return;
    }
    int e = detail::LockByte(lockFd_, F_WRLCK, NameByte(native_));
    if (e == 0) e = detail::LockByte(lockFd_, F_WRLCK, FileByte(ino_));
    if (e != 0) {
        Release();
        problem_ = e;
        outcome_ = LockRefused(e) ? Outcome::Held : Outcome::Unavailable;
        return;
    }
    // Between the open and the lock the holder before us may have finished with the file and
    // taken it away; what carries the name now is another file or none.
    if (!detail::NameCarries(native_, dev_, ino_)) {
        Release();
        outcome_ = Outcome::Gone;
        return;
    }
    outcome_ = Outcome::Claimed;
}

FileClaim::~FileClaim() { Release(); }

FileClaim::FileClaim(FileClaim&& other) noexcept
    : fd_(other.fd_),
      lockFd_(other.lockFd_),
      outcome_(other.outcome_),
      problem_(other.problem_),
      native_(std::move(other.native_)),
      dev_(other.dev_),
      ino_(other.ino_) {
    other.fd_ = -1;
    other.lockFd_ = -1;
    other.outcome_ = Outcome::None;
}

FileClaim& FileClaim::operator=(FileClaim&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = other.fd_;
        lockFd_ = other.lockFd_;
        outcome_ = other.outcome_;
        problem_ = other.problem_;
        native_ = std::move(other.native_);
        dev_ = other.dev_;
        ino_ = other.ino_;
        other.fd_ = -1;
        other.lockFd_ = -1;
        other.outcome_ = Outcome::None;
    }
    return *this;
}

void FileClaim::Release() noexcept {
    if (lockFd_ >= 0) ::close(lockFd_);  // closing the only descriptor of the lock releases it
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    lockFd_ = -1;
    outcome_ = Outcome::None;
}

bool SameFile(const std::string& a, const std::string& b) {
    try {
        struct stat sa;
        return ::lstat(NativePath(a).c_str(), &sa) == 0 && NameCarries(NativePath(b), sa);
    } catch (const RuntimeError&) {
        return false;
    }
}

ClaimedNewFile::ClaimedNewFile(const std::string& path, const std::string& claimsFolder)
    : path_(path), native_(NativePath(path)) {
    if (!ParentExists(native_)) Fail(ENOTDIR, "Open", path);
    NoteFileChange();
    // Never through a link, and never over anything: the name is this order's only when it
    // was free.
    const int fd =
        ::open(native_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST) return;
        Fail(errno, "Open", path);
    }
    struct stat made;
    if (::fstat(fd, &made) != 0) {
        const int e = errno;
        ::close(fd);
        Fail(e, "Open", path);
    }
    // Until the claim is had, someone clearing leftovers may take the new, empty file for one
    // (and remove it, or hold it to look). Then the name is not ours after all.
    claim_ = FileClaim(path, claimsFolder);
    const bool held = claim_.Claimed() || claim_.Result() == FileClaim::Outcome::Unavailable;
    if (!held || !NameCarries(native_, made)) {
        claim_.Release();
        ::close(fd);
        return;
    }
    fd_ = fd;
}

ClaimedNewFile::~ClaimedNewFile() {
    if (fd_ < 0) return;
    struct stat made;
    // Only the file this object made, which nobody else removes or renames while it is held.
    if (!keep_ && ::fstat(fd_, &made) == 0 && NameCarries(native_, made)) {
        NoteFileChange();
        ::unlink(native_.c_str());
    }
    ::close(fd_);
}

void ClaimedNewFile::Write(std::string_view bytes) { WriteWhole(fd_, bytes, path_); }

void ClaimedNewFile::Sync() {
    if (fd_ < 0) Fail(EBADF, "Close", path_);
    const int e = detail::SyncDescriptor(fd_);
    if (e != 0) Fail(e, "Close", path_);
}

void ClaimedNewFile::Publish(const std::string& finalPath) {
    if (fd_ < 0) Fail(EBADF, "Name", path_);
    struct stat made;
    // Only a holder that does not follow the claims could have put another file here.
    if (::fstat(fd_, &made) != 0 || !NameCarries(native_, made)) Fail(EINVAL, "Name", path_);
    RenameFile(path_, finalPath);
    keep_ = true;
    claim_.Release();
    const int fd = fd_;
    fd_ = -1;
    ::close(fd);
}

std::string FileClaim::ReadClaimed() const {
    if (!Claimed()) Fail(EBADF, "ReadClaimed", native_);
    std::string bytes;
    if (const int e = detail::ReadDescriptor(fd_, bytes); e != 0) Fail(e, "ReadClaimed", native_);
    return bytes;
}

bool FileClaim::DeleteIfCarried() {
    if (!Claimed() || !detail::NameCarries(native_, dev_, ino_)) return false;
    NoteFileChange();
    if (::unlink(native_.c_str()) != 0) {
        if (errno == ENOENT) return false;
        Fail(errno, "Kill", native_);
    }
    return true;
}

std::string TempFolder() {
    const char* t = std::getenv("TMPDIR");
    std::string dir = (t && *t) ? t : "/tmp";
    std::string w = WindowsPath(dir);
    if (w.empty() || w.back() != '\\') w += '\\';
    return w;
}

std::string ComputerName() {
    // COMPUTERNAME lets a site (or a test) name the station as its business system knows it.
    if (const char* c = std::getenv("COMPUTERNAME"); c && *c) return c;
    char buf[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return "LOCALHOST";
    std::string name = buf;
    if (auto dot = name.find('.'); dot != std::string::npos) name.resize(dot);
    return UpperCase(name);
}

std::string ProgramPath() {
    char buf[PATH_MAX + 1] = {};
    ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return {};
    return WindowsPath(std::string(buf, static_cast<std::size_t>(n)));
}

std::string ProgramFolder() { return FolderPart(ProgramPath()); }

std::string ProgramName() {
    std::string name = FileNamePart(ProgramPath());
    if (auto dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

}  // namespace zel::platform
