#include "engine/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <new>

#include "engine/errors.h"
#include "platform/error.h"
#include "platform/paths.h"

namespace zel::engine {

struct FileAccess {
    static int Handle(const cOpenFile& f) { return f.handle_; }
    static void Close(cOpenFile& f) { f.Close(); }
};

namespace {

constexpr std::int32_t kBlockSize = 512;

// File numbers are handed out once: a stale cOpenFile can never name a later file.
std::int32_t NextFileNumber() {
    static std::int32_t last = 0;
    if (last == INT32_MAX) last = 0;
    return ++last;
}

cOpenFiles& OpenFilesList(const char* source) {
    auto& list = Engine().OpenFiles;
    if (!list) RaiseClassic(err::kObjectNotSet, source);
    return *list;
}

// The byte offset a * b + c in 32-bit signed arithmetic, error 6 when it leaves that range.
std::int32_t Offset32(std::int32_t a, std::int32_t b, std::int32_t c, const char* source) {
    std::int32_t product = 0;
    std::int32_t sum = 0;
    if (__builtin_mul_overflow(a, b, &product) || __builtin_add_overflow(product, c, &sum)) {
        RaiseClassic(err::kOverflow, source);
    }
    return sum;
}

[[noreturn]] void IllegalRecord(const char* source, const cLogicalFile& lf,
                                std::int32_t recordNumber) {
    throw platform::RuntimeError(kIllegalRecordNumber, source,
                                 "Illegal Record Number for File: " + lf.FileName +
                                     " and Record: " + std::to_string(recordNumber));
}

}  // namespace

// ---- cOpenFile / cOpenFiles ----------------------------------------------------------------

cOpenFile::~cOpenFile() { Close(); }

void cOpenFile::Close() {
    if (handle_ >= 0) {
        ::close(handle_);
        handle_ = -1;
    }
}

cOpenFiles::~cOpenFiles() {
    for (const auto& m : *this) m.item->Close();
}

std::shared_ptr<cOpenFile> cOpenFiles::Add(std::int32_t vbFileNumber, const std::string& path,
                                           std::int32_t position, const std::string& sKey) {
    auto file = std::make_shared<cOpenFile>();
    file->vbFileNumber = vbFileNumber;
    file->Path = path;
    file->Position = position;
    if (!Insert(sKey, file)) RaiseClassic(err::kDuplicateKey, "cOpenFiles");
    return file;
}

// ---- opening -------------------------------------------------------------------------------

std::string FullFileName(const std::string& fileName) {
    if (fileName.find('\\') != std::string::npos) return fileName;
    const auto& sys = Engine().SystemInfo;
    if (!sys) RaiseClassic(err::kObjectNotSet, "OpenFile");
    return sys->QMRLINK() + "\\" + fileName;
}

std::shared_ptr<cOpenFile> OpenFile(std::string& fileName) {
    fileName = FullFileName(fileName);
    cOpenFiles& list = OpenFilesList("OpenFile");
    if (auto open = list.Find(fileName)) return open;

    std::string native;
    try {
        native = platform::NativePath(fileName);
    } catch (const platform::RuntimeError& e) {
        if (e.Number() == err::kTooManyFiles) throw;
        return nullptr;
    }
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    const int fd = ::open(native.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        // Every file opened stays open, so a site with many product lines can run out of
        // descriptors; that is a failure to report, not a file that is missing.
        if (errno == EMFILE || errno == ENFILE) RaiseClassic(err::kTooManyFiles, "OpenFile");
        return nullptr;
    }

    auto file = list.Add(NextFileNumber(), fileName, 0, fileName);
    file->handle_ = fd;
    return file;
}

// ---- byte and block access -----------------------------------------------------------------

std::string ReadFile(const cOpenFile* file, std::int32_t bytesToRead, std::int32_t position) {
    if (bytesToRead < 0) return {};
    std::string result;
    try {
        result.assign(static_cast<std::size_t>(bytesToRead), ' ');
    } catch (const std::bad_alloc&) {
        return {};  // a read that cannot even be prepared gives the empty text
    }
    if (file == nullptr || position < 0) return result;
    const int fd = FileAccess::Handle(*file);
    if (fd < 0) return result;
    std::size_t got = 0;
    while (got < result.size()) {
        const ssize_t n = ::pread(fd, result.data() + got, result.size() - got,
                                  static_cast<off_t>(position) + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    // A short read (end of file, or an error part way) leaves spaces after the bytes read.
    if (got < result.size())
        std::fill(result.begin() + static_cast<std::ptrdiff_t>(got), result.end(), ' ');
    return result;
}

std::int64_t FileLength(const cOpenFile* file) {
    if (file == nullptr || FileAccess::Handle(*file) < 0) return 0;
    struct stat st {};
    if (::fstat(FileAccess::Handle(*file), &st) != 0) return 0;
    return static_cast<std::int64_t>(st.st_size);
}

void WriteFile(cOpenFile* file, const std::string& record, std::int32_t position) {
    if (file == nullptr) {
        throw platform::RuntimeError(kUndefinedFile, "iwriteFile",
                                     "OpenFile parameter is undefined");
    }
    const int fd = FileAccess::Handle(*file);
    if (fd < 0) RaiseClassic(err::kBadFileNumber, "iwriteFile");
    if (position >= 0) file->Position = position;
    const std::int64_t start = file->Position;
    if (start < 0 ||
        start + static_cast<std::int64_t>(record.size()) > std::int64_t{INT32_MAX} + 1) {
        RaiseClassic(err::kOverflow, "iwriteFile");
    }
    std::size_t done = 0;
    while (done < record.size()) {
        const ssize_t n = ::pwrite(fd, record.data() + done, record.size() - done,
                                   static_cast<off_t>(start) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            RaiseClassic(n < 0 && errno == ENOSPC ? err::kDiskFull : err::kDeviceIO, "iwriteFile");
        done += static_cast<std::size_t>(n);
    }
}

std::string BlockReadFile(const cOpenFile* file, std::int32_t blockNumber) {
    return ReadFile(file, kBlockSize, Offset32(blockNumber, kBlockSize, 0, "BlockReadFile"));
}

void BlockWriteFile(cOpenFile* file, std::int32_t blockNumber, const std::string& record) {
    const std::int32_t offset = Offset32(blockNumber, kBlockSize, 0, "BlockWriteFile");
    // A negative offset would send the write to the remembered position, a place the caller
    // never addressed.
    if (offset < 0) RaiseClassic(err::kBadRecordNumber, "BlockWriteFile");
    WriteFile(file, record, offset);
}

// ---- records of a logical file -------------------------------------------------------------

std::int32_t BlockOffset(const cLogicalFile& logicalFile, std::int32_t block,
                         std::int32_t blockSize, const char* source) {
    const std::int32_t base = Offset32(logicalFile.Position, kBlockSize, 0, source);
    return Offset32(block, blockSize, base, source);
}

std::int32_t RecordOffset(const cLogicalFile& logicalFile, std::int32_t recordNumber,
                          const char* source) {
    return BlockOffset(logicalFile, recordNumber, logicalFile.RecordLength, source);
}

std::string LreadFile(const cLogicalFile* logicalFile, std::int32_t recordNumber) {
    if (logicalFile == nullptr) {
        throw platform::RuntimeError(kUndefinedFile, "iLreadFile",
                                     "LogicalFile parameter is undefined");
    }
    if (recordNumber < 1 || recordNumber > logicalFile->LastRecord) {
        IllegalRecord("iLreadFile", *logicalFile, recordNumber);
    }
    const std::int32_t offset = RecordOffset(*logicalFile, recordNumber, "iLreadFile");
    return ReadFile(logicalFile->OpenFile.get(), logicalFile->RecordLength, offset);
}

void LwriteFile(const cLogicalFile* logicalFile, std::int32_t recordNumber,
                const std::string& record) {
    if (logicalFile == nullptr) {
        throw platform::RuntimeError(kUndefinedFile, "iLwriteFile",
                                     "LogicalFile parameter is undefined");
    }
    if (recordNumber < 1 || recordNumber > logicalFile->LastRecord) {
        IllegalRecord("iLwriteFile", *logicalFile, recordNumber);
    }
    if (static_cast<std::int64_t>(record.size()) != logicalFile->RecordLength) {
        throw platform::RuntimeError(
            kIllegalDataLength, "iLwriteFile",
            "Illegal Data length for this record.  Size is: " + std::to_string(record.size()) +
                " and should be " + std::to_string(logicalFile->RecordLength));
    }
    const std::int32_t offset = RecordOffset(*logicalFile, recordNumber, "iLwriteFile");
    if (offset < 0) RaiseClassic(err::kBadRecordNumber, "iLwriteFile");
    WriteFile(logicalFile->OpenFile.get(), record, offset);
}

// ---- closing -------------------------------------------------------------------------------

void CloseFile(cOpenFile* file) {
    if (file == nullptr) RaiseClassic(err::kObjectNotSet, "CloseFile");
    auto& list = Engine().OpenFiles;
    if (!list) return;
    // The list is keyed by path: the member under this path is closed, whichever object it is.
    if (auto member = list->Find(file->Path)) {
        FileAccess::Close(*member);
        list->Remove(file->Path);
    }
}

void CloseFile(std::string fileName) {
    auto file = OpenFile(fileName);
    if (!file) RaiseClassic(err::kObjectNotSet, "CloseFile");
    CloseFile(file.get());
}

}  // namespace zel::engine
