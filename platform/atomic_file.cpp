#include "platform/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/files.h"
#include "platform/seams.h"

namespace zel::platform::detail {

namespace {

// Reads the regular file open as `fd` from its start, whatever the descriptor's position; does
// not close it.
int ReadFrom(int fd, std::string& bytes, std::size_t limit) {
    bytes.clear();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (static_cast<unsigned long long>(st.st_size) > limit) return EFBIG;
    if (st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    off_t at = 0;
    for (;;) {
        ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            bytes.clear();
            return e;
        }
        if (n == 0) break;
        // A file that grows while it is read is still held to the bound.
        if (static_cast<std::size_t>(n) > limit - bytes.size()) {
            bytes.clear();
            return EFBIG;
        }
        bytes.append(buf, static_cast<std::size_t>(n));
        at += n;
    }
    return 0;
}

int Read(const std::string& nativePath, std::string& bytes, int flags, std::size_t limit) {
    bytes.clear();
    // Only a regular file is a document: opening a FIFO would wait for a writer for ever and a
    // device such as "/dev/zero" never ends. Opened without waiting, then refused.
    int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | flags);
    if (fd < 0) return errno;
    const int e = ReadFrom(fd, bytes, limit);
    ::close(fd);
    return e;
}

}  // namespace

int ReadNative(const std::string& nativePath, std::string& bytes) {
    return Read(nativePath, bytes, 0, std::string().max_size());
}

int ReadDescriptor(int fd, std::string& bytes) {
    return ReadFrom(fd, bytes, std::string().max_size());
}

int ReadOwnNative(const std::string& nativePath, std::string& bytes, std::size_t limit) {
    const int e = Read(nativePath, bytes, O_NOFOLLOW, limit);
    return e == ELOOP ? EINVAL : e;
}

std::string TemporaryTagOfThisProgram() {
    static const std::string tag = ".~zel-" + ProgramName() + "@" + ComputerName() + "-";
    return tag;
}

std::string TemporaryTail() {
    static std::atomic<unsigned> counter{0};
    return TemporaryTagOfThisProgram() + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
}

int WriteAll(int fd, std::string_view bytes) {
    std::size_t off = 0;
    while (off < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + off, bytes.size() - off);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        off += static_cast<std::size_t>(n);
    }
    return 0;
}

int SyncDescriptor(int fd) {
    while (::fsync(fd) != 0) {
        if (errno != EINTR) return errno;
    }
    return 0;
}

bool NameCarries(const std::string& nativePath, unsigned long long dev, unsigned long long ino) {
    struct stat named;
    return ::lstat(nativePath.c_str(), &named) == 0 && named.st_dev == dev && named.st_ino == ino;
}

int LockByte(int fd, short type, off_t start) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = start;
    range.l_len = 1;
    while (::fcntl(fd, F_OFD_SETLK, &range) != 0) {
        if (errno != EINTR) return errno;
    }
    return 0;
}

namespace {

// The byte of a temporary file that its writer locks: beyond any document's end.
constexpr off_t kHoldByte = off_t{1} << 30;

int LockHoldByte(int fd, short type) { return LockByte(fd, type, kHoldByte); }

bool Refused(int e) { return e == EAGAIN || e == EACCES || e == EWOULDBLOCK; }

}  // namespace

bool HoldTemporary(int fd, const std::string& nativePath) {
    const int e = LockHoldByte(fd, F_WRLCK);
    if (Refused(e)) return false;
    if (e != 0) return true;  // no locks here: leftovers are judged by their process alone
    // A start-up may have taken the file for a leftover and removed it before we locked it.
    struct stat opened;
    return ::fstat(fd, &opened) == 0 && NameCarries(nativePath, opened.st_dev, opened.st_ino);
}

int TakeLeftover(int fd) {
    // A read lock: all a descriptor open for reading can take, and it keeps the writer's
    // write lock out as well as the writer's keeps it out.
    const int e = LockHoldByte(fd, F_RDLCK);
    if (e == 0) return 1;
    return Refused(e) ? -1 : 0;
}

namespace {

// The target's name with `tail` appended, its name cut short where the whole would be longer
// than a file name may be: a document whose own name is near that length can still be written.
std::string TemporaryNameFor(const std::string& nativePath, const std::string& tail) {
    const auto slash = nativePath.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t room = NAME_MAX > tail.size() ? NAME_MAX - tail.size() : 0;
    if (nativePath.size() - nameStart <= room) return nativePath + tail;
    return nativePath.substr(0, nameStart + room) + tail;
}

}  // namespace

int ReplaceNative(const std::string& nativePath, const std::string& bytes, bool durable) {
    NoteFileChange();
    std::string tmp;
    int fd = -1;
    // A name left by an earlier run that died mid-write may carry our process number again (a
    // restarted program often gets the same one): it is passed over, not taken as a failure
    // that would stop every later write of the same document.
    for (int attempt = 0; fd < 0 && attempt < 10000; ++attempt) {
        tmp = TemporaryNameFor(nativePath, TemporaryTail());
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return errno;
        if (fd >= 0 && !HoldTemporary(fd, tmp)) {
            ::close(fd);  // a start-up took it for a leftover and removes it
            fd = -1;
        }
    }
    if (fd < 0) return EEXIST;
    // Keep the permissions of the document being replaced; a link's target is not that
    // document, and its permissions (an outside program's) are not taken over.
    struct stat st;
    if (::lstat(nativePath.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd, st.st_mode & 0777);
    int e = WriteAll(fd, bytes);
    if (e == 0 && durable) e = SyncDescriptor(fd);
    if (e != 0) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return e;
    }
    // The writer's hold lasts until the file carries the target's name: a second descriptor of
    // the same open file keeps it while the first is closed (the close reports a failed write).
    const int hold = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (::close(fd) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        if (hold >= 0) ::close(hold);
        return e;
    }
    if (::rename(tmp.c_str(), nativePath.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        if (hold >= 0) ::close(hold);
        return e;
    }
    if (hold >= 0) ::close(hold);
    if (durable) {
        auto slash = nativePath.find_last_of('/');
        std::string dir =
            slash == std::string::npos ? "." : (slash == 0 ? "/" : nativePath.substr(0, slash));
        int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dfd >= 0) {
            ::fsync(dfd);
            ::close(dfd);
        }
    }
    return 0;
}

}  // namespace zel::platform::detail
