#include "engine/link.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "engine/errors.h"
#include "engine/fileio.h"
#include "engine/keyindex.h"
#include "engine/packing.h"
#include "engine/recordzero.h"
#include "engine/text.h"
#include "platform/error.h"
#include "platform/paths.h"

namespace zel::engine {

namespace {

constexpr std::size_t kLinkRow = 160;
constexpr std::size_t kDirectoryRow = 32;
constexpr std::size_t kNameWidth = 10;

// Characters `from` (0-based) to `from + count` of `s`, as far as `s` reaches.
std::string Mid(const std::string& s, std::size_t from, std::size_t count) {
    return from < s.size() ? s.substr(from, count) : std::string();
}

const cSystem& SystemOrRaise(const char* source) {
    const auto& sys = Engine().SystemInfo;
    if (!sys) RaiseClassic(err::kObjectNotSet, source);
    return *sys;
}

// Reads a whole native file opened with create-if-missing, the way the link table is opened.
std::string ReadCreating(const std::string& windowsPath) {
    const std::string native = platform::NativePath(windowsPath);
    const int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EMFILE || errno == ENFILE) RaiseClassic(err::kTooManyFiles, "cLinks");
        throw platform::RuntimeError(
            errno == ENOENT ? platform::err::kPathNotFound : platform::err::kPathFileAccess,
            "cLinks", "Path/File access error: " + windowsPath);
    }
    std::string bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            RaiseClassic(err::kDeviceIO, "cLinks");
        }
        if (n == 0) break;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

// The row of the resolution file whose name equals `member` (letter case significant), or
// empty when there is none or the file cannot be read.
std::string FindDirectoryRow(const std::string& windowsPath, const std::string& member) {
    std::string native;
    try {
        native = platform::NativePath(windowsPath);
    } catch (const platform::RuntimeError& e) {
        if (e.Number() == err::kTooManyFiles) throw;
        return {};
    }
    const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // Out of descriptors is a failure to report, never a member that is not there.
        if (errno == EMFILE || errno == ENFILE) RaiseClassic(err::kTooManyFiles, "cLinks");
        return {};
    }
    std::string buffer;
    std::string found;
    char chunk[kDirectoryRow * 1024];
    bool end = false;
    while (found.empty() && !end) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            end = true;
            // A last, shorter row reads as if completed with zero bytes.
            if (!buffer.empty()) buffer.resize(kDirectoryRow, '\0');
        } else {
            buffer.append(chunk, static_cast<std::size_t>(n));
        }
        std::size_t at = 0;
        for (; at + kDirectoryRow <= buffer.size(); at += kDirectoryRow) {
            if (Trun(std::string_view(buffer).substr(at, kNameWidth), 1) == member) {
                found = buffer.substr(at, kDirectoryRow);
                break;
            }
        }
        buffer.erase(0, at);
    }
    ::close(fd);
    return found;
}

}  // namespace

// ---- cLinks ----

std::shared_ptr<cLink> cLinks::Add(const std::string& linkFile, const std::string& resolutionFile,
                                   const std::string& sKey) {
    auto link = std::make_shared<cLink>(cLink{linkFile, resolutionFile});
    Insert(sKey, link);  // a duplicate key keeps the earlier member
    return link;
}

void cLinks::AddRows(const std::string& image) {
    for (std::size_t start = 0; start < image.size(); start += kLinkRow) {
        const std::string row = image.substr(start, kLinkRow);
        const std::string linkFile = Trun(Mid(row, 1, 79), 1);
        if (linkFile.empty()) continue;
        Add(linkFile, Trun(Mid(row, 81, 79), 1), linkFile);
    }
}

std::shared_ptr<cLinks> cLinks::Load() {
    const cSystem& sys = SystemOrRaise("cLinks");
    auto links = std::make_shared<cLinks>();
    links->AddRows(ReadCreating(sys.ShareRoot() + "LINKSFILE"));
    return links;
}

// ---- cLogicalFiles ----

namespace {
std::shared_ptr<cLogicalFile> NewLogicalFile(const std::string& fileName,
                                             const std::string& fileType,
                                             std::shared_ptr<cOpenFile> openFile,
                                             std::int32_t position, std::int32_t flags,
                                             std::int32_t recordLength, std::int32_t lastRecord,
                                             bool isamPlus) {
    auto file = std::make_shared<cLogicalFile>();
    file->FileName = fileName;
    file->FileType = fileType;
    file->OpenFile = std::move(openFile);
    file->Position = position;
    file->Flags = flags;
    file->RecordLength = recordLength;
    file->LastRecord = lastRecord;
    file->IsamPlus = isamPlus;
    return file;
}
}  // namespace

std::shared_ptr<cLogicalFile> cLogicalFiles::Add(const std::string& fileName,
                                                 const std::string& fileType,
                                                 std::shared_ptr<cOpenFile> openFile,
                                                 std::int32_t position, std::int32_t flags,
                                                 std::int32_t recordLength, std::int32_t lastRecord,
                                                 bool isamPlus, const std::string& sKey) {
    auto file = NewLogicalFile(fileName, fileType, std::move(openFile), position, flags,
                               recordLength, lastRecord, isamPlus);
    if (!Insert(sKey, file)) RaiseClassic(err::kDuplicateKey, "cLogicalFiles");
    return file;
}

// ---- opening ----

std::shared_ptr<cLogicalFile> LogicalOpen(const std::string& fileName) {
    auto& cache = Engine().LogicalFiles;
    if (!cache) RaiseClassic(err::kObjectNotSet, "LogicalOpen");
    if (auto cached = cache->Find(fileName)) return cached;

    const cSystem& sys = SystemOrRaise("LogicalOpen");
    const std::string qualified = (!fileName.empty() && fileName[0] == ':')
                                      ? fileName
                                      : ":" + sys.mDirectory + ":" + fileName;
    const auto& links = Engine().Links;
    if (!links) RaiseClassic(err::kObjectNotSet, "LogicalOpen");
    const auto link = links->Find(qualified);
    if (!link) return nullptr;

    std::string resolution = link->ResolutionFile;
    for (char& c : resolution)
        if (c == ':') c = '\\';
    resolution = sys.ShareRoot() + resolution;
    std::string dataPath = resolution.substr(0, resolution.size() - 2) + "DB";
    const auto colon = fileName.rfind(':');
    const std::string member = colon == std::string::npos ? fileName : fileName.substr(colon + 1);

    // The business system owns its file directories: a missing one is only read as empty,
    // never created.
    const std::string row = FindDirectoryRow(resolution, member);
    if (row.empty()) return nullptr;

    const std::string fileType = row.substr(15, 1);
    const std::int32_t flags = Unpack('C', row, 7);
    const std::int32_t lastRecord = Unpack('L', row, 17);
    const std::int32_t position = Unpack('D', row, 11);
    const std::int32_t recordLength = Unpack('C', row, 14);
    auto openFile = OpenFile(dataPath);

    bool isamPlus = false;
    if (fileType == "I") {
        std::int32_t at = 0;
        if (__builtin_mul_overflow(position, 512, &at)) RaiseClassic(err::kOverflow, "LogicalOpen");
        isamPlus = IsExtendedIndexHeader(ReadFile(openFile.get(), 512, at));
    }
    return cache->Add(fileName, fileType, std::move(openFile), position, flags, recordLength,
                      lastRecord, isamPlus, fileName);
}

std::shared_ptr<cLogicalFile> PhysLogicalOpen(std::string& fileName, const std::string& fileType,
                                              std::int32_t recordLength, std::int32_t* lastRecord) {
    auto openFile = OpenFile(fileName);
    if (!openFile) return nullptr;
    std::int32_t last = lastRecord ? *lastRecord : 0;
    if (last == 0) {
        if (recordLength == 0) RaiseClassic(err::kDivisionByZero, "PhysLogicalOpen");
        const long long records = FileLength(openFile.get()) / recordLength - 1;
        if (records > INT32_MAX || records < INT32_MIN)
            RaiseClassic(err::kOverflow, "PhysLogicalOpen");
        last = static_cast<std::int32_t>(records);
        if (lastRecord) *lastRecord = last;
    }
    // Not kept in the logical-file cache: an entry without a name is never found again, and
    // one per call would grow the cache for as long as the program runs.
    return NewLogicalFile(fileName, fileType, std::move(openFile), 0, 0, recordLength, last, false);
}

namespace {
std::int32_t RecordZeroCounter(const cLogicalFile& lf, std::int32_t at, const char* source) {
    if (!lf.OpenFile || lf.FileType != "L") return 0;
    const std::string zero =
        ReadFile(lf.OpenFile.get(), kRecordZeroLength, RecordZeroOffset(lf, source));
    return Unpack('L', zero, at);
}
}  // namespace

std::int32_t ActiveCount(const cLogicalFile& logicalFile) {
    return RecordZeroCounter(logicalFile, kRecordZeroActive, "ActiveCount");
}

std::int32_t HighUsedRecord(const cLogicalFile& logicalFile) {
    return RecordZeroCounter(logicalFile, kRecordZeroHighUsed, "HighUsedRecord");
}

}  // namespace zel::engine
