#pragma once
// Sample business-share builder. It stands in for the business system, which owns these files:
// it writes the link table, file directories with their data files, record files with record
// zero, keyed indexes, the terminal map, FILE0 and the catalog INI, byte for byte in the
// business system's own layouts. It shares no code with the engine that reads them.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace zel::sharegen {

// A description that cannot be built (bad field, impossible layout).
class DescriptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ---- byte helpers (one char per byte, positions from 1) ----
// Writes `value` big-endian with the packed-integer code (B C D I J K L) at `at`.
void PutPacked(std::string& image, int at, char code, std::int64_t value);
// 3-in-2 compressed text over the 40-character alphabet whose first four characters are `head`.
std::string Compress(const std::string& text, const std::string& head = " ,/.");
// Byte fields ([{"at": n, "pack": code, "value": v} | {"at": n, "text"/"hex"/"crm": ...}])
// written over an image: raw bytes, for layouts no record table describes and for hostile data.
void ApplyByteFields(std::string& image, const nlohmann::json& fields);
// Unsigned byte order of two keys: <0, 0, >0.
int CompareKeys(const std::string& a, const std::string& b);

// ---- keyed index ----
struct IndexSpec {
    int keyLength = 8;              // bytes of the key proper
    bool extended = false;          // extended variant ("09" mark, 3-byte block numbers)
    int blockSize = 512;            // block size; the plain variant is always 512
    bool duplicates = false;        // header flag; extended entries then carry 2 extra bytes
    int fillPercent = 100;          // how full the bulk-built blocks are (1..100)
    int spareBlocks = 0;            // unused blocks after the tree (counted in LastRecord)
    std::uint32_t scatterSeed = 0;  // non-zero: block numbers are a shuffled permutation
};

struct IndexEntry {
    std::string key;  // up to keyLength bytes; shorter keys are padded with zeros
    std::int32_t record = 0;
};

struct BuiltIndex {
    std::string bytes;            // header block + index blocks: the whole area of the file
    std::int32_t lastRecord = 0;  // highest block number
    std::int32_t root = 0;
    int levels = 0;
    int entryLength = 0;               // E as the header holds it
    std::vector<std::int32_t> leaves;  // leaf block numbers, left to right
};

// Bulk-builds an index from the entries (sorted here, stable for equal keys) plus the end marker.
BuiltIndex BuildIndex(const IndexSpec& spec, std::vector<IndexEntry> entries);

// ---- record file ("L") ----
struct RecordFileSpec {
    int recordLength = 64;
    std::int32_t lastRecord = 0;
    // record number -> image (shorter images are padded with zero bytes).
    std::vector<std::pair<std::int32_t, std::string>> records;
    // record zero counters; -2 means "work it out from the records" (freeHead defaults to -1).
    std::int32_t freeHead = -1;
    std::int32_t highUsed = -2;
    std::int32_t activeCount = -2;
};
std::string BuildRecordFile(const RecordFileSpec& spec);

// ---- whole share ----
struct BuildResult {
    std::string shareRoot;   // native folder of ...HOST/QMRLINK
    std::string catalogIni;  // native path written, or empty
};

// Builds the share that `description` gives under `uncRoot`/HOST and the catalog INI in
// `tempFolder` (both native paths). Throws DescriptionError or std::runtime_error.
BuildResult BuildShare(const nlohmann::json& description, const std::string& uncRoot,
                       const std::string& tempFolder);
// Reads the JSON file and builds it under $ZEL_UNC_ROOT, catalog INI in $TMPDIR (else /tmp).
BuildResult BuildShareFromFile(const std::string& descriptionPath);

}  // namespace zel::sharegen
