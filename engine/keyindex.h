#pragma once
// Keyed index files ("I"): a tree of fixed-size index blocks that the business system keeps.
// The engine only reads them (apart from InitFile's fresh root).
//
// Block 0 of the file is the header; index block b lies at b * RecordLength + Position * 512.
// Header (first 16 bytes, "C" fields): 1-2 entry length E (key length + 4), 3-4 entries per
// block, 5-6 capacity, 7-8 block counter, 9-10 root block, 11-12 fill count, 13-14 duplicate
// keys, 15-16 "09" for the extended variant, whose 5-6/7-8/9-10 fields take a high byte at 17,
// 18 and 19.
// Index block: 1-2 entry count; plain: 3-4 next block, entries from 5; extended: next block
// low bytes at 3-4 and high byte at 7, previous block at 5-6/8, entries from 9. A leaf has a
// non-zero next block; the last leaf's next block is all ones, and its last entry (all 0xFF
// key, pointer -1) is the end marker.
// Entry: key, [2 uninterpreted bytes in an extended index with duplicates], 4-byte pointer
// ("L", -1 reads as 0): child block in a non-leaf block, data record in a leaf.
//
// The caller owns the search position, the KeyState text `buff`:
//   1-16 the header's first 16 bytes, 17 current entry ("B"), 18 depth of the current block
//   ("B", root 1), 19-32 plain variant: block visited at depth d as "C" at 17 + 2d (d 1..7),
//   33 on: the current index block.
//
// Damaged indexes (entry counts that do not fit the block, block numbers outside the file,
// chains that loop or run backwards) never read outside the block: KFind then finds nothing
// (Rec 0), the other operations raise kIndexDamaged.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/errors.h"
#include "engine/state.h"

namespace zel::engine {

// Byte order of keys: unsigned bytes over the shorter length, then the longer key is greater.
// Negative, 0 or positive.
int KCompare(std::string_view a, std::string_view b);

// True when an index header carries the extended variant's mark ("09" at bytes 15-16).
bool IsExtendedIndexHeader(std::string_view header);

// Positions on the first key at or above `key` (cut or zero-padded to the key length in the
// caller's variable). `rec` > 0: exact match; < 0: minus the record of the greater key now in
// `key`; 0: nothing at or above. Block numbers beyond LastRecord show the out-of-range message
// and give 0. Nothing reaches the caller as an error: any failure gives `rec` 0.
void KFind(const cLogicalFile* logicalFile, std::string& buff, std::string& key, std::int32_t& rec);
// One key forward / back from the KeyState in `buff`; `rec` 0 at the end (the end marker
// included) or before the first key, where `buff` keeps its value.
void KNext(const cLogicalFile* logicalFile, std::string& buff, std::string& key, std::int32_t& rec);
void KPrev(const cLogicalFile* logicalFile, std::string& buff, std::string& key, std::int32_t& rec);
// The last key before the end marker; sets up `buff` for KPrev.
void KLast(const cLogicalFile* logicalFile, std::string& buff, std::string& key, std::int32_t& rec);
// Number of keys (the end marker not counted).
std::int32_t KCount(const cLogicalFile* logicalFile);
// Key length as the header gives it (E - 4).
std::int32_t KLength(const cLogicalFile* logicalFile);

// Fresh file: "I" gets a header and an empty root leaf (end marker only), "L" an empty record
// zero and zeroed records 1 to LastRecord; any other kind is left alone.
void InitFile(const cLogicalFile* logicalFile, std::int32_t keyLength = 0,
              bool duplicateKeys = false, std::int32_t blockingFactor = 0);

}  // namespace zel::engine
