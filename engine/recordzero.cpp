#include "engine/recordzero.h"

#include <algorithm>

#include "engine/errors.h"
#include "engine/fileio.h"
#include "engine/packing.h"
#include "platform/error.h"

namespace zel::engine {

std::int32_t RecordZeroOffset(const cLogicalFile& logicalFile, const char* source) {
    return BlockOffset(logicalFile, 0, 0, source);
}

void DelRec(const cLogicalFile* logicalFile, std::int32_t recordNumber) {
    if (logicalFile == nullptr) RaiseClassic(err::kObjectNotSet, "DelRec");
    const std::int32_t zeroAt = RecordZeroOffset(*logicalFile, "DelRec");
    std::string zero = ReadFile(logicalFile->OpenFile.get(), kRecordZeroLength, zeroAt);
    const std::int32_t freeHead = Unpack('L', zero, kRecordZeroFreeHead);
    const std::int32_t active = Unpack('L', zero, kRecordZeroActive);

    const std::string record = LreadFile(logicalFile, recordNumber);
    if (Unpack('J', record, 1) <= 0) {
        throw platform::RuntimeError(kIllegalRecordNumber, "DelRec",
                                     "Attempt to delete a deleted record");
    }

    std::string freed(record.size(), '\0');
    Pack('L', freed, freeHead, 3);
    LwriteFile(logicalFile, recordNumber, freed);

    Pack('L', zero, recordNumber, kRecordZeroFreeHead);
    Pack('L', zero, std::max(active - 1, 0), kRecordZeroActive);
    WriteFile(logicalFile->OpenFile.get(), zero, zeroAt);
}

void GetRec(const cLogicalFile* logicalFile, std::int32_t& /*recordNumber*/) {
    if (logicalFile == nullptr) RaiseClassic(err::kObjectNotSet, "iGetRec");
    // Allocation needs record zero locked; no lock is ever obtained, so nothing is allocated.
    if (LogicalLock(logicalFile, 0) <= 0) {
        throw platform::RuntimeError(
            kRecordZeroLock, "iGetRec",
            "Could not obtain a Lock on Record Zero of " + logicalFile->FileName);
    }
}

std::int32_t LogicalLock(const cLogicalFile* logicalFile, std::int32_t recordNumber) {
    if (logicalFile == nullptr) RaiseClassic(err::kObjectNotSet, "LogicalLock");
    // The byte range is worked out (and must be addressable) even though no lock is taken.
    (void)RecordOffset(*logicalFile, recordNumber, "LogicalLock");
    return 0;
}

std::int32_t PhysicalLock(const std::string& /*fileName*/, std::int32_t /*position*/,
                          std::int32_t /*lockLength*/) {
    return 0;
}

std::int32_t ReleaseLock(std::int32_t /*lockNumber*/) { return 0; }

}  // namespace zel::engine
