#include "tools/sharegen/sharegen.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <random>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tools/sharegen/generate.h"
#include "tools/sharegen/typed.h"

namespace zel::sharegen {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr int kBlock = 512;

int WidthOf(char code) {
    switch (code) {
        case 'B':
        case 'I': return 1;
        case 'C':
        case 'J': return 2;
        case 'D':
        case 'K': return 3;
        case 'L': return 4;
        default: return 0;
    }
}

void PutBytes(std::string& image, int at, const std::string& bytes) {
    if (at < 1 || static_cast<std::size_t>(at - 1) + bytes.size() > image.size())
        throw DescriptionError("field at " + std::to_string(at) + " of " +
                               std::to_string(bytes.size()) + " bytes does not fit in " +
                               std::to_string(image.size()) + " bytes");
    image.replace(static_cast<std::size_t>(at - 1), bytes.size(), bytes);
}

std::string FromHex(const std::string& hex) {
    std::string clean;
    for (char c : hex)
        if (!std::isspace(static_cast<unsigned char>(c))) clean += c;
    if (clean.size() % 2) throw DescriptionError("odd hex text: " + hex);
    std::string out;
    for (std::size_t i = 0; i < clean.size(); i += 2) {
        std::size_t used = 0;
        int v = 0;
        try {
            v = std::stoi(clean.substr(i, 2), &used, 16);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != 2) throw DescriptionError("bad hex text: " + hex);
        out += static_cast<char>(v);
    }
    return out;
}

std::string PadTo(std::string s, std::size_t width, char pad) {
    if (s.size() < width) s.append(width - s.size(), pad);
    return s;
}

// ---- JSON helpers ----

std::string Str(const json& j, const char* key, const std::string& def = "") {
    if (!j.contains(key) || j[key].is_null()) return def;
    if (!j[key].is_string()) throw DescriptionError(std::string("\"") + key + "\" must be text");
    return j[key].get<std::string>();
}

std::int64_t Int(const json& j, const char* key, std::int64_t def) {
    if (!j.contains(key) || j[key].is_null()) return def;
    if (!j[key].is_number_integer())
        throw DescriptionError(std::string("\"") + key + "\" must be a whole number");
    return j[key].get<std::int64_t>();
}

bool Bool(const json& j, const char* key, bool def) {
    if (!j.contains(key) || j[key].is_null()) return def;
    if (!j[key].is_boolean())
        throw DescriptionError(std::string("\"") + key + "\" must be true/false");
    return j[key].get<bool>();
}

void ApplyFields(std::string& image, const json& fields);

// A byte value: plain JSON text (bytes as they stand) or an object with one of "text", "hex",
// "crm" (compressed, optional "head") or "fields" (applied to `length` zero bytes).
std::string Bytes(const json& j, std::size_t length) {
    if (j.is_string()) return j.get<std::string>();
    if (!j.is_object()) throw DescriptionError("byte value must be text or an object");
    if (j.contains("hex")) return FromHex(Str(j, "hex"));
    if (j.contains("text")) {
        std::string t = Str(j, "text");
        if (j.contains("width")) t = PadTo(t, static_cast<std::size_t>(Int(j, "width", 0)), ' ');
        return t;
    }
    if (j.contains("crm")) {
        std::string t = Str(j, "crm");
        if (j.contains("width")) {
            auto w = static_cast<std::size_t>(Int(j, "width", 0));
            t = PadTo(t, w * 3 / 2, ' ');
        }
        return Compress(t, Str(j, "head", " ,/."));
    }
    if (j.contains("fields")) {
        std::string image(
            static_cast<std::size_t>(Int(j, "length", static_cast<std::int64_t>(length))), '\0');
        ApplyFields(image, j["fields"]);
        return image;
    }
    throw DescriptionError("byte value needs \"text\", \"hex\", \"crm\" or \"fields\"");
}

// Fields: [{"at": n, "pack": "C", "value": v} | {"at": n, <byte value keys>}]
void ApplyFields(std::string& image, const json& fields) {
    if (fields.is_null()) return;
    if (!fields.is_array()) throw DescriptionError("\"fields\" must be a list");
    for (const auto& f : fields) {
        int at = static_cast<int>(Int(f, "at", 0));
        if (f.contains("pack")) {
            std::string code = Str(f, "pack");
            if (code.size() != 1) throw DescriptionError("bad pack code \"" + code + "\"");
            PutPacked(image, at, code[0], Int(f, "value", 0));
        } else {
            PutBytes(image, at, Bytes(f, 0));
        }
    }
}

std::string SharePath(const std::string& windowsish) {
    std::string p = windowsish;
    std::replace(p.begin(), p.end(), ':', '/');
    std::replace(p.begin(), p.end(), '\\', '/');
    while (!p.empty() && p.front() == '/') p.erase(p.begin());
    if (p.empty() || p.find("..") != std::string::npos)
        throw DescriptionError("bad share path \"" + windowsish + "\"");
    return p;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

// ---- byte helpers ----

void ApplyByteFields(std::string& image, const json& fields) { ApplyFields(image, fields); }

void PutPacked(std::string& image, int at, char code, std::int64_t value) {
    int width = WidthOf(static_cast<char>(std::toupper(static_cast<unsigned char>(code))));
    if (width == 0) throw DescriptionError(std::string("unknown pack code ") + code);
    auto v = static_cast<std::uint32_t>(value);
    std::string bytes(static_cast<std::size_t>(width), '\0');
    for (int i = width - 1; i >= 0; --i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(v & 0xFF);
        v >>= 8;
    }
    PutBytes(image, at, bytes);
}

std::string Compress(const std::string& text, const std::string& head) {
    if (head.size() != 4) throw DescriptionError("alphabet head must be 4 characters");
    const std::string alphabet = head + "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string t = text;
    while (t.size() % 3) t += ' ';
    std::string out;
    for (std::size_t i = 0; i < t.size(); i += 3) {
        unsigned v = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            auto pos = alphabet.find(t[i + k]);
            v = v * 40 + (pos == std::string::npos ? 0u : static_cast<unsigned>(pos));
        }
        out += static_cast<char>(v >> 8);
        out += static_cast<char>(v & 0xFF);
    }
    return out;
}

int CompareKeys(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

// ---- keyed index ----

BuiltIndex BuildIndex(const IndexSpec& spec, std::vector<IndexEntry> entries) {
    if (spec.keyLength < 1) throw DescriptionError("index key length must be at least 1");
    const int blockSize = spec.extended ? spec.blockSize : kBlock;
    if (!spec.extended && spec.blockSize != kBlock)
        throw DescriptionError("the plain index variant has 512-byte blocks");
    const int extra = (spec.extended && spec.duplicates) ? 2 : 0;
    const int E = spec.keyLength + 4 + extra;
    const int headerBytes = spec.extended ? 8 : 4;
    const int cap = (blockSize - headerBytes) / E;
    if (cap < 2) throw DescriptionError("index entries too long for the block size");
    if (spec.spareBlocks < 0) throw DescriptionError("spare blocks must not be negative");
    if (E > 0xFFFF) throw DescriptionError("index entry too long");
    int per = std::clamp(cap * std::clamp(spec.fillPercent, 1, 100) / 100, 2, cap);

    // Entries as stored: key, optional 2-byte duplicate sequence, record pointer.
    for (auto& e : entries) {
        if (e.key.size() > static_cast<std::size_t>(spec.keyLength))
            throw DescriptionError("index key longer than the key length");
        e.key = PadTo(e.key, static_cast<std::size_t>(spec.keyLength), '\0');
    }
    std::stable_sort(entries.begin(), entries.end(), [](const IndexEntry& a, const IndexEntry& b) {
        return CompareKeys(a.key, b.key) < 0;
    });
    if (!spec.duplicates) {
        for (std::size_t i = 1; i < entries.size(); ++i)
            if (entries[i].key == entries[i - 1].key)
                throw DescriptionError("duplicate index key where duplicates are not allowed");
    }

    struct Block {
        std::vector<std::string> entries;
        std::vector<std::size_t> children;  // indexes into `blocks`, non-leaf only
        bool leaf = true;
        std::int32_t number = 0;
    };
    std::vector<Block> blocks;
    std::vector<std::size_t> level;

    {
        std::vector<std::string> stored;
        stored.reserve(entries.size() + 1);
        int seq = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            seq = (i > 0 && entries[i].key == entries[i - 1].key) ? seq + 1 : 0;
            std::string s = entries[i].key;
            if (extra) {
                s += static_cast<char>((seq >> 8) & 0xFF);
                s += static_cast<char>(seq & 0xFF);
            }
            s += std::string(4, '\0');
            PutPacked(s, static_cast<int>(s.size()) - 3, 'L', entries[i].record);
            stored.push_back(std::move(s));
        }
        stored.emplace_back(static_cast<std::size_t>(E), '\xFF');  // end marker
        for (std::size_t i = 0; i < stored.size(); i += static_cast<std::size_t>(per)) {
            Block b;
            auto end = std::min(stored.size(), i + static_cast<std::size_t>(per));
            b.entries.assign(stored.begin() + static_cast<std::ptrdiff_t>(i),
                             stored.begin() + static_cast<std::ptrdiff_t>(end));
            level.push_back(blocks.size());
            blocks.push_back(std::move(b));
        }
    }
    const std::vector<std::size_t> leaves = level;
    int levels = 1;
    while (level.size() > 1) {
        std::vector<std::size_t> up;
        for (std::size_t i = 0; i < level.size(); i += static_cast<std::size_t>(per)) {
            Block b;
            b.leaf = false;
            auto end = std::min(level.size(), i + static_cast<std::size_t>(per));
            for (std::size_t k = i; k < end; ++k) {
                b.children.push_back(level[k]);
                b.entries.push_back(blocks[level[k]].entries.back());  // pointer set when numbered
            }
            up.push_back(blocks.size());
            blocks.push_back(std::move(b));
        }
        level = std::move(up);
        ++levels;
    }
    if (!spec.extended && levels > 7)
        throw DescriptionError("a plain index holds at most 7 levels");

    const auto total = static_cast<std::int64_t>(blocks.size()) + spec.spareBlocks;
    const std::int64_t maxBlock = spec.extended ? 0xFFFFFE : 0xFFFE;
    if (total > maxBlock) throw DescriptionError("too many index blocks for the variant");

    std::vector<std::int32_t> numbers(blocks.size());
    std::iota(numbers.begin(), numbers.end(), 1);
    if (spec.scatterSeed) {
        std::mt19937 rng(spec.scatterSeed);
        std::shuffle(numbers.begin(), numbers.end(), rng);
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i].number = numbers[i];

    BuiltIndex out;
    out.lastRecord = static_cast<std::int32_t>(total);
    out.root = blocks[level.front()].number;
    out.levels = levels;
    out.entryLength = E;
    out.bytes.assign(static_cast<std::size_t>(total + 1) * static_cast<std::size_t>(blockSize),
                     '\0');

    auto put3 = [&](std::string& img, int lowAt, int highAt, std::int64_t v) {
        PutPacked(img, lowAt, 'C', v & 0xFFFF);
        if (spec.extended) PutPacked(img, highAt, 'B', (v >> 16) & 0xFF);
    };

    std::string header(static_cast<std::size_t>(blockSize), '\0');
    PutPacked(header, 1, 'C', E);
    PutPacked(header, 3, 'C', cap);
    put3(header, 5, 17, out.lastRecord);
    put3(header, 7, 18, static_cast<std::int64_t>(blocks.size()) + 1);
    put3(header, 9, 19, out.root);
    PutPacked(header, 11, 'C', per);
    PutPacked(header, 13, 'C', spec.duplicates ? 0xFFFF : 0);
    if (spec.extended) PutBytes(header, 15, "09");
    out.bytes.replace(0, header.size(), header);

    const std::int64_t endMark = spec.extended ? 0xFFFFFF : 0xFFFF;
    for (std::size_t li = 0; li < leaves.size(); ++li)
        out.leaves.push_back(blocks[leaves[li]].number);
    std::map<std::size_t, std::size_t> leafPos;
    for (std::size_t li = 0; li < leaves.size(); ++li) leafPos[leaves[li]] = li;

    for (std::size_t bi = 0; bi < blocks.size(); ++bi) {
        const Block& b = blocks[bi];
        std::string img(static_cast<std::size_t>(blockSize), '\0');
        PutPacked(img, 1, 'C', static_cast<std::int64_t>(b.entries.size()));
        std::int64_t next = 0, prev = 0;
        if (b.leaf) {
            std::size_t li = leafPos[bi];
            next = li + 1 < leaves.size() ? blocks[leaves[li + 1]].number : endMark;
            prev = li > 0 ? blocks[leaves[li - 1]].number : 0;
        }
        if (spec.extended) {
            PutPacked(img, 3, 'C', next & 0xFFFF);
            PutPacked(img, 7, 'B', (next >> 16) & 0xFF);
            PutPacked(img, 5, 'C', prev & 0xFFFF);
            PutPacked(img, 8, 'B', (prev >> 16) & 0xFF);
        } else {
            PutPacked(img, 3, 'C', next);
        }
        int at = headerBytes + 1;
        for (std::size_t k = 0; k < b.entries.size(); ++k) {
            std::string e = b.entries[k];
            if (!b.leaf) PutPacked(e, E - 3, 'L', blocks[b.children[k]].number);
            PutBytes(img, at, e);
            at += E;
        }
        out.bytes.replace(static_cast<std::size_t>(b.number) * static_cast<std::size_t>(blockSize),
                          img.size(), img);
    }
    return out;
}

// ---- record file ----

std::string BuildRecordFile(const RecordFileSpec& spec) {
    if (spec.recordLength < 16) throw DescriptionError("record length must be at least 16");
    if (spec.lastRecord < 0) throw DescriptionError("last record must not be negative");
    const auto rl = static_cast<std::size_t>(spec.recordLength);
    std::string bytes((static_cast<std::size_t>(spec.lastRecord) + 1) * rl, '\0');
    std::int32_t high = 0, active = 0;
    for (const auto& [number, image] : spec.records) {
        if (number < 1 || number > spec.lastRecord)
            throw DescriptionError("record number " + std::to_string(number) + " outside 1.." +
                                   std::to_string(spec.lastRecord));
        if (image.size() > rl) throw DescriptionError("record image longer than the record length");
        bytes.replace(static_cast<std::size_t>(number) * rl, image.size(), image);
    }
    for (std::int32_t n = 1; n <= spec.lastRecord; ++n) {
        const auto* p =
            reinterpret_cast<const unsigned char*>(bytes.data()) + static_cast<std::size_t>(n) * rl;
        auto status = static_cast<std::int16_t>((p[0] << 8) | p[1]);
        if (status > 0) {
            high = n;
            ++active;
        }
    }
    std::string zero(16, '\0');
    PutPacked(zero, 1, 'J', -2);
    PutPacked(zero, 3, 'L', spec.freeHead);
    PutPacked(zero, 7, 'L', spec.highUsed == -2 ? high : spec.highUsed);
    PutPacked(zero, 11, 'L', spec.activeCount == -2 ? active : spec.activeCount);
    bytes.replace(0, zero.size(), zero);
    return bytes;
}

// ---- whole share ----

namespace {

struct Area {
    std::string name;
    char type = 'L';
    std::int32_t recordLength = 0;
    std::int32_t lastRecord = 0;
    std::int32_t flags = 0;
    std::string bytes;
};

std::vector<std::pair<std::int32_t, std::string>> Records(const json& list, int recordLength) {
    std::vector<std::pair<std::int32_t, std::string>> out;
    if (list.is_null()) return out;
    if (!list.is_array()) throw DescriptionError("\"records\" must be a list");
    for (const auto& r : list) {
        auto number = static_cast<std::int32_t>(Int(r, "number", 0));
        std::string image(static_cast<std::size_t>(recordLength), '\0');
        if (r.contains("image")) {
            std::string given = Bytes(r["image"], image.size());
            if (given.size() > image.size()) throw DescriptionError("record image too long");
            image.replace(0, given.size(), given);
        } else {
            PutPacked(image, 1, 'J', Int(r, "status", 1));
        }
        ApplyFields(image, r.value("fields", json()));
        out.emplace_back(number, std::move(image));
    }
    return out;
}

// Raw 512-byte blocks of an area, for layouts not described otherwise.
void ApplyBlocks(std::string& bytes, const json& f) {
    if (!f.contains("blocks")) return;
    for (const auto& [number, fields] : f["blocks"].items()) {
        const std::size_t at = std::stoul(number) * kBlock;
        if (bytes.size() < at + kBlock) bytes.resize(at + kBlock, '\0');
        std::string block = bytes.substr(at, kBlock);
        ApplyFields(block, fields);
        bytes.replace(at, kBlock, block);
    }
}

// One file's body: a record file ("L"), a keyed index ("I") or raw blocks. An index's entries
// are those it lists plus `derived`.
Area BuildArea(const json& f, std::vector<IndexEntry> derived = {}) {
    Area a;
    a.name = Str(f, "name");
    std::string type = Str(f, "type", "L");
    if (type.size() != 1) throw DescriptionError("file type must be one letter");
    a.type = type[0];
    a.flags = static_cast<std::int32_t>(Int(f, "flags", 0));
    if (a.type == 'I') {
        IndexSpec spec;
        spec.keyLength = static_cast<int>(Int(f, "keyLength", 8));
        spec.extended = Str(f, "variant", "plain") == "extended";
        spec.blockSize = static_cast<int>(Int(f, "blockSize", spec.extended ? 2048 : 512));
        spec.duplicates = Bool(f, "duplicates", false);
        spec.fillPercent = static_cast<int>(Int(f, "fillPercent", 100));
        spec.spareBlocks = static_cast<int>(Int(f, "spareBlocks", 0));
        spec.scatterSeed = static_cast<std::uint32_t>(Int(f, "scatterSeed", 0));
        std::vector<IndexEntry> entries = std::move(derived);
        for (const auto& e : f.value("entries", json::array())) {
            IndexEntry ie;
            ie.key = Bytes(e.at("key"), static_cast<std::size_t>(spec.keyLength));
            ie.record = static_cast<std::int32_t>(Int(e, "record", 0));
            entries.push_back(std::move(ie));
        }
        BuiltIndex idx;
        try {
            idx = BuildIndex(spec, std::move(entries));
        } catch (const DescriptionError& e) {
            throw DescriptionError("index " + a.name + Str(f, "path") + ": " + e.what());
        }
        a.recordLength = spec.extended ? spec.blockSize : kBlock;
        a.lastRecord = static_cast<std::int32_t>(Int(f, "lastRecord", idx.lastRecord));
        a.bytes = std::move(idx.bytes);
    } else if (a.type == 'L') {
        RecordFileSpec spec;
        spec.recordLength = static_cast<int>(Int(f, "recordLength", 64));
        spec.lastRecord = static_cast<std::int32_t>(Int(f, "lastRecord", 0));
        spec.records = Records(f.value("records", json()), spec.recordLength);
        if (f.contains("recordZero")) {
            const auto& z = f["recordZero"];
            spec.freeHead = static_cast<std::int32_t>(Int(z, "freeHead", -1));
            spec.highUsed = static_cast<std::int32_t>(Int(z, "highUsed", -2));
            spec.activeCount = static_cast<std::int32_t>(Int(z, "activeCount", -2));
        }
        a.recordLength = spec.recordLength;
        a.lastRecord = spec.lastRecord;
        a.bytes = BuildRecordFile(spec);
    } else {
        a.recordLength = static_cast<std::int32_t>(Int(f, "recordLength", kBlock));
        a.lastRecord = static_cast<std::int32_t>(Int(f, "lastRecord", 0));
        if (a.recordLength < 1 || a.lastRecord < 0) throw DescriptionError("bad raw file size");
        a.bytes.assign(
            static_cast<std::size_t>(a.lastRecord + 1) * static_cast<std::size_t>(a.recordLength),
            '\0');
    }
    ApplyBlocks(a.bytes, f);
    return a;
}

// A record file of a typed table (base or extension part).
Area TableArea(const json& f, const std::string& name, int recordLength, std::int32_t lastRecord,
               std::string bytes) {
    Area a;
    a.name = name;
    a.type = 'L';
    a.flags = static_cast<std::int32_t>(Int(f, "flags", 0));
    a.recordLength = recordLength;
    a.lastRecord = lastRecord;
    a.bytes = std::move(bytes);
    ApplyBlocks(a.bytes, f);
    return a;
}

// Typed tables of one file list, by the file's name (or path), built before any index so an
// index may be derived from a table listed after it.
using Tables = std::map<std::string, TypedTable>;
Tables CollectTables(const json& files, const char* nameKey) {
    Tables tables;
    for (const auto& f : files)
        if (f.contains("table")) tables.emplace(Str(f, nameKey), BuildTable(f));
    return tables;
}

std::vector<IndexEntry> Derived(const json& f, const Tables& tables) {
    if (!f.contains("derive")) return {};
    const std::string from = Str(f, "from");
    const auto it = tables.find(from);
    if (!from.empty() && it == tables.end())
        throw DescriptionError("index derived from \"" + from +
                               "\", which is no record table here");
    return DeriveEntries(f, it == tables.end() ? nullptr : &it->second);
}

std::string LinkRow(const std::string& link, const std::string& resolution) {
    if (link.size() > 79 || resolution.size() > 79)
        throw DescriptionError("link table names are at most 79 characters");
    std::string row(160, ' ');
    row.replace(1, link.size(), link);
    row.replace(81, resolution.size(), resolution);
    return row;
}

std::string DirectoryRow(const Area& a, std::int64_t position) {
    if (a.name.empty() || a.name.size() > 10)
        throw DescriptionError("file names are 1 to 10 characters");
    // Bytes 7-8 hold the flags inside the name window: a longer name would be overwritten.
    if (a.flags && a.name.size() > 6)
        throw DescriptionError("a file with flags has a name of at most 6 characters");
    std::string row(32, '\0');
    row.replace(0, a.name.size(), a.name);
    if (a.flags) PutPacked(row, 7, 'C', a.flags);
    PutPacked(row, 11, 'D', position);
    PutPacked(row, 14, 'C', a.recordLength);
    row[15] = a.type;
    PutPacked(row, 17, 'L', a.lastRecord);
    return row;
}

std::string DataFilePath(const std::string& resolutionPath) {
    if (resolutionPath.size() < 3) throw DescriptionError("resolution path too short");
    return resolutionPath.substr(0, resolutionPath.size() - 2) + "DB";
}

}  // namespace

BuildResult BuildShare(const json& given, const std::string& uncRoot,
                       const std::string& tempFolder) {
    json d = given;
    ExpandGenerated(d);
    const std::string host = Str(d, "host");
    const std::string directory = Str(d, "directory");
    if (host.empty() || host.find_first_of("/\\:") != std::string::npos)
        throw DescriptionError("\"host\" must be a server name");
    if (directory.empty()) throw DescriptionError("\"directory\" (the data directory) is required");
    const fs::path share = fs::path(uncRoot) / host / "QMRLINK";
    fs::create_directories(share / SharePath(directory));

    std::string links;
    for (const auto& r : d.value("resolutions", json::array())) {
        const std::string resolution = Str(r, "path");
        std::string dirBytes, dataBytes;
        std::int64_t nextBlock = Int(r, "firstBlock", 2);
        const json& files = r.contains("files") ? r["files"] : json::array();
        const Tables tables = CollectTables(files, "name");
        auto place = [&](const Area& a, const json& f) {
            std::int64_t position = Int(f, "position", nextBlock);
            if (position < 0 || position > 0xFFFFFF) throw DescriptionError("bad start block");
            dirBytes += DirectoryRow(a, position);
            auto at = static_cast<std::size_t>(position) * kBlock;
            if (dataBytes.size() < at + a.bytes.size()) dataBytes.resize(at + a.bytes.size(), '\0');
            dataBytes.replace(at, a.bytes.size(), a.bytes);
            nextBlock = std::max<std::int64_t>(
                nextBlock,
                position + static_cast<std::int64_t>((a.bytes.size() + kBlock - 1) / kBlock));
            json names = f.value("links", json::array({":" + directory + ":" + a.name}));
            for (const auto& n : names) links += LinkRow(n.get<std::string>(), resolution);
        };
        for (const auto& f : files) {
            if (f.contains("table")) {
                const TypedTable& t = tables.at(Str(f, "name"));
                place(TableArea(f, Str(f, "name"), t.recordLength, t.lastRecord, BaseFileBytes(t)),
                      f);
                if (t.extensionLength > 0) {
                    const json& e = f["extension"];
                    place(TableArea(e, Str(e, "name"), t.extensionLength, t.extensionLastRecord,
                                    ExtensionFileBytes(t)),
                          e);
                }
            } else {
                place(BuildArea(f, Derived(f, tables)), f);
            }
        }
        WriteFile(share / SharePath(resolution), dirBytes);
        WriteFile(share / SharePath(DataFilePath(resolution)), dataBytes);
    }
    for (const auto& l : d.value("links", json::array()))
        links += LinkRow(Str(l, "link"), Str(l, "resolution"));
    if (Bool(d, "linksFile", true)) WriteFile(share / "LINKSFILE", links);

    if (d.contains("ttymap") && !d["ttymap"].is_null()) {
        std::string map;
        for (const auto& line : d["ttymap"]) map += line.get<std::string>() + "\r\n";
        WriteFile(share / "ttymap", map);
    }

    // FILE0 in the data directory: 402 blocks, so blocks 0, 1 and 401 all exist.
    if (d.contains("file0")) {
        json f = d["file0"];
        f["type"] = "-";
        f["recordLength"] = kBlock;
        f["lastRecord"] = Int(d["file0"], "lastBlock", 401);
        Area file0 = BuildArea(f);
        if (d["file0"].contains("values")) PutFile0Values(file0.bytes, d["file0"]["values"]);
        WriteFile(share / SharePath(directory) / "FILE0", file0.bytes);
    }

    // Whole physical files under QMRLINK (parts databases and the like): the area at offset 0.
    const json& physical = d.contains("files") ? d["files"] : json::array();
    const Tables physicalTables = CollectTables(physical, "path");
    for (const auto& f : physical) {
        const std::string path = Str(f, "path");
        if (f.contains("table")) {
            const TypedTable& t = physicalTables.at(path);
            WriteFile(share / SharePath(path),
                      TableArea(f, path, t.recordLength, t.lastRecord, BaseFileBytes(t)).bytes);
        } else {
            WriteFile(share / SharePath(path), BuildArea(f, Derived(f, physicalTables)).bytes);
        }
    }

    BuildResult result;
    result.shareRoot = share.string();
    if (d.contains("catalog") && !d["catalog"].is_null()) {
        std::string ini = "[Rolvik]\r\n";
        for (const char* key :
             {"Server", "DataShare", "CatalogShare", "Directory", "TerminalID", "CustomerNumber"}) {
            if (d["catalog"].contains(key))
                ini += std::string(key) + "=" + Str(d["catalog"], key) + "\r\n";
        }
        fs::path ini_path = fs::path(tempFolder) / "QMRCatalog.ini";
        WriteFile(ini_path, ini);
        result.catalogIni = ini_path.string();
    }
    return result;
}

BuildResult BuildShareFromFile(const std::string& descriptionPath) {
    std::ifstream in(descriptionPath, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + descriptionPath);
    json d;
    try {
        d = json::parse(in);
    } catch (const json::exception& e) {
        throw DescriptionError(descriptionPath + ": " + e.what());
    }
    const char* root = std::getenv("ZEL_UNC_ROOT");
    if (!root || !*root) throw std::runtime_error("ZEL_UNC_ROOT is not set");
    const char* tmp = std::getenv("TMPDIR");
    return BuildShare(d, root, tmp && *tmp ? tmp : "/tmp");
}

}  // namespace zel::sharegen
