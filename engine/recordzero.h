#pragma once
// Record zero of a plain record file ("L"): status word, free-list head, highest record used and
// live count; deleting and allocating records; and the lock operations, which obtain no lock.
//
// Record zero is the first 16 bytes at Position * 512 of the logical file:
//   1-2 "J" status word, 3-6 "L" first free record (-1: none), 7-10 "L" highest record used,
//   11-14 "L" number of live records, 15-16 reserved.
// A live record's status word (bytes 1-2, "J") is above 0. A freed record is zero bytes except
// bytes 3-6, which hold the next free record.
#include <cstdint>
#include <string>

#include "engine/state.h"

namespace zel::engine {

inline constexpr std::int32_t kRecordZeroLength = 16;
inline constexpr std::int32_t kRecordZeroFreeHead = 3;
inline constexpr std::int32_t kRecordZeroHighUsed = 7;
inline constexpr std::int32_t kRecordZeroActive = 11;

// Byte offset of record zero (Position * 512; error 6 from `source` when out of range).
std::int32_t RecordZeroOffset(const cLogicalFile& logicalFile, const char* source);

// Frees a live record: it becomes zero bytes linked to the old free-list head, record zero's
// head points at it and the live count drops by one (not below 0). Raises the errors of
// LreadFile/LwriteFile, and 81 "DelRec" for a record that is not live.
void DelRec(const cLogicalFile* logicalFile, std::int32_t recordNumber);

// Would allocate a record under a lock on record zero; since no lock is ever obtained, it
// raises 57 "iGetRec" and changes nothing.
void GetRec(const cLogicalFile* logicalFile, std::int32_t& recordNumber);

// Locks are not obtained: all three return 0, which callers read as "no lock".
std::int32_t LogicalLock(const cLogicalFile* logicalFile, std::int32_t recordNumber);
std::int32_t PhysicalLock(const std::string& fileName, std::int32_t position,
                          std::int32_t lockLength);
std::int32_t ReleaseLock(std::int32_t lockNumber);

}  // namespace zel::engine
