#include "engine/keyindex.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <unordered_set>
#include <vector>

#include "engine/errors.h"
#include "engine/fileio.h"
#include "engine/packing.h"
#include "platform/error.h"
#include "platform/seams.h"

namespace zel::engine {

namespace {

constexpr std::size_t kStateBytes = 32;  // KeyState bytes before the current block
constexpr std::int32_t kPlainBlock = 512;
constexpr std::uint32_t kPlainEnd = 0xFFFF;
constexpr std::uint32_t kExtendedEnd = 0xFFFFFF;
constexpr std::int32_t kPlainLevels = 7;  // per-depth slots of the KeyState

std::uint32_t Byte(std::string_view s, std::size_t at) { return static_cast<unsigned char>(s[at]); }
std::uint32_t Word(std::string_view s, std::size_t at) {
    return Byte(s, at) << 8 | Byte(s, at + 1);
}
std::int32_t Long(std::string_view s, std::size_t at) {
    return static_cast<std::int32_t>(Word(s, at) << 16 | Word(s, at + 2));
}
void PutByte(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = static_cast<char>(static_cast<unsigned char>(v & 0xFF));
}
void PutWord(std::string& s, std::size_t at, std::uint32_t v) {
    PutByte(s, at, v >> 8);
    PutByte(s, at + 1, v);
}

// Where things lie in the blocks of one index.
struct Layout {
    bool extended = false;
    std::int32_t blockSize = 0;
    std::int32_t entryLength = 0;  // E
    std::int32_t keyLength = 0;    // E - 4, or E - 6 with the duplicate bytes
    std::size_t firstEntry = 4;    // 0-based offset of entry 1 inside a block
    std::uint32_t endMark = kPlainEnd;

    void SetVariant(bool ext) {
        extended = ext;
        firstEntry = ext ? 8 : 4;
        endMark = ext ? kExtendedEnd : kPlainEnd;
    }
    // The block head and `count` entries lie inside the block.
    bool Fits(std::uint32_t count) const {
        if (entryLength < keyLength + 4 || keyLength < 0) return false;
        const auto size = static_cast<std::int64_t>(blockSize);
        return size >= static_cast<std::int64_t>(firstEntry) &&
               static_cast<std::int64_t>(firstEntry) +
                       static_cast<std::int64_t>(count) * entryLength <=
                   size;
    }
    std::size_t EntryAt(std::uint32_t i) const {
        return firstEntry + static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(entryLength);
    }
};

// One index block inside a KeyState (or scratch) text. Callers check Fits(Count()) before
// touching entries.
struct BlockView {
    std::string_view bytes;
    const Layout& layout;

    std::uint32_t Count() const { return Word(bytes, 0); }
    std::uint32_t Next() const {
        return layout.extended ? (Byte(bytes, 6) << 16 | Word(bytes, 2)) : Word(bytes, 2);
    }
    bool IsLeaf() const { return Next() != 0; }
    std::string_view Key(std::uint32_t i) const {
        return bytes.substr(layout.EntryAt(i), static_cast<std::size_t>(layout.keyLength));
    }
    std::string_view Entry(std::uint32_t i) const {
        return bytes.substr(layout.EntryAt(i), static_cast<std::size_t>(layout.entryLength));
    }
    std::int32_t Pointer(std::uint32_t i) const {
        const std::int32_t p =
            Long(bytes, layout.EntryAt(i) + static_cast<std::size_t>(layout.entryLength) - 4);
        return p == -1 ? 0 : p;
    }
};

// Blocks met during one operation; a second visit means the index loops.
class Visited {
public:
    bool Insert(std::int32_t block) {
        for (std::size_t k = 0; k < used_; ++k)
            if (small_[k] == block) return false;
        if (used_ < small_.size()) {
            small_[used_++] = block;
            return true;
        }
        return more_.insert(block).second;
    }

private:
    std::array<std::int32_t, 16> small_{};
    std::size_t used_ = 0;
    std::unordered_set<std::int32_t> more_;
};

[[noreturn]] void Damaged(const cLogicalFile& lf, const char* source) {
    throw platform::RuntimeError(kIndexDamaged, source, "Index is damaged.  File: " + lf.FileName);
}

// A number as the business programs print it: positive numbers get a leading space.
std::string NumberText(std::int32_t n) { return (n >= 0 ? " " : "") + std::to_string(n); }

void OutOfRange(const cLogicalFile& lf) {
    platform::MsgBox("Index is returning information out of Range.  File: " + lf.FileName +
                         " LastRec: " + NumberText(lf.LastRecord),
                     platform::MsgButtons::Ok, "", platform::MsgIcon::Critical);
}

// Reads block `block` into `buff` from byte 33 (`buff` already holds room for it).
void LoadBlock(const cLogicalFile& lf, std::string& buff, std::int32_t block,
               std::int32_t blockSize, const char* source) {
    const std::string bytes =
        ReadFile(lf.OpenFile.get(), blockSize, BlockOffset(lf, block, blockSize, source));
    buff.replace(kStateBytes, bytes.size(), bytes);
}

std::size_t SlotAt(std::int32_t depth) {
    return kStateBytes - 16 + 2 * static_cast<std::size_t>(depth);
}

bool InFile(const cLogicalFile& lf, std::int64_t block) {
    return block >= 1 && block <= lf.LastRecord;
}

// Layout from the header copy at the head of a KeyState.
Layout StateLayout(const cLogicalFile& lf, const std::string& buff, std::int32_t blockSize,
                   bool plainOnly, const char* source) {
    if (blockSize < 8 || buff.size() < kStateBytes + static_cast<std::size_t>(blockSize))
        RaiseClassic(err::kInvalidCall, source);
    Layout l;
    l.blockSize = blockSize;
    l.entryLength = static_cast<std::int32_t>(Word(buff, 0));
    const bool extended = !plainOnly && IsExtendedIndexHeader(buff);
    l.SetVariant(extended);
    l.keyLength = l.entryLength - ((extended && Word(buff, 12) != 0) ? 6 : 4);
    if (l.keyLength < 0) Damaged(lf, source);
    return l;
}

enum class Outcome { Done, Failed };

// KFind's search. Failed: the index is damaged or out of range (message shown); the caller
// turns that into "nothing found".
Outcome Find(const cLogicalFile* logicalFile, std::string& buff, std::string& key,
             std::int32_t& rec) {
    if (logicalFile == nullptr) RaiseClassic(err::kObjectNotSet, "KFind");
    const cLogicalFile& lf = *logicalFile;
    const std::int32_t rl = lf.RecordLength;
    // Of the header block only its first 32 bytes survive in the KeyState (the block read
    // below covers the rest), so only they are read.
    const std::string header = ReadFile(lf.OpenFile.get(), std::min<std::int32_t>(rl, kStateBytes),
                                        BlockOffset(lf, 0, rl, "KFind"));

    Layout l;
    l.SetVariant(lf.IsamPlus);
    l.blockSize = rl;
    if (header.size() < (l.extended ? 19u : 10u) || header.size() < l.firstEntry)
        return Outcome::Failed;
    l.entryLength = static_cast<std::int32_t>(Word(header, 0));
    l.keyLength = l.entryLength - ((l.extended && Word(header, 12) != 0) ? 6 : 4);
    if (l.keyLength < 0) return Outcome::Failed;

    key.resize(static_cast<std::size_t>(l.keyLength), '\0');
    if (buff.size() < static_cast<std::size_t>(rl) + kStateBytes)
        buff.resize(static_cast<std::size_t>(rl) + kStateBytes, '\0');
    buff.replace(0, header.size(), header);

    const std::uint32_t root =
        l.extended ? (Byte(header, 18) << 16 | Word(header, 8)) : Word(header, 8);
    rec = static_cast<std::int32_t>(root);
    std::int32_t depth = 0;
    std::uint32_t i = 0;
    std::string_view found;
    Visited seen;
    const BlockView block{std::string_view(buff).substr(kStateBytes, static_cast<std::size_t>(rl)),
                          l};

    for (;;) {
        if (rec > lf.LastRecord) {
            OutOfRange(lf);
            return Outcome::Failed;
        }
        if (rec < 1 || !seen.Insert(rec)) return Outcome::Failed;
        LoadBlock(lf, buff, rec, rl, "KFind");
        ++depth;
        if (!l.extended) {
            if (depth > kPlainLevels) return Outcome::Failed;
            PutWord(buff, SlotAt(depth), static_cast<std::uint32_t>(rec));
        }
        // Scan this level, moving right while every key of the block is below the search key.
        for (;;) {
            const std::uint32_t count = block.Count();
            if (!l.Fits(count)) return Outcome::Failed;
            bool stopped = false;
            for (i = 1; i <= count; ++i) {
                if (KCompare(key, block.Key(i)) <= 0) {
                    found = block.Key(i);
                    rec = block.Pointer(i);
                    stopped = true;
                    break;
                }
            }
            if (stopped) break;
            const std::uint32_t next = block.Next();
            if (next == l.endMark) {
                rec = 0;
                return Outcome::Done;
            }
            if (next > static_cast<std::uint32_t>(std::max(lf.LastRecord, 0))) {
                OutOfRange(lf);
                return Outcome::Failed;
            }
            if (!InFile(lf, next) || !seen.Insert(static_cast<std::int32_t>(next)))
                return Outcome::Failed;
            LoadBlock(lf, buff, static_cast<std::int32_t>(next), rl, "KFind");
            if (!l.extended) PutWord(buff, SlotAt(depth), next);
        }
        if (block.IsLeaf()) break;
    }
    if (KCompare(key, found) < 0) {
        key.assign(found);
        rec = -rec;
    }
    PutByte(buff, 16, i);
    PutByte(buff, 17, static_cast<std::uint32_t>(depth));
    return Outcome::Done;
}

}  // namespace

int KCompare(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    if (n) {
        const int c = std::memcmp(a.data(), b.data(), n);  // memcmp compares unsigned bytes
        if (c != 0) return c < 0 ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool IsExtendedIndexHeader(std::string_view header) {
    return header.size() >= 16 && header[14] == '0' && header[15] == '9';
}

void KFind(const cLogicalFile* logicalFile, std::string& buff, std::string& key,
           std::int32_t& rec) {
    // A search never fails to its caller; whatever stops it leaves "nothing found", never a
    // block number or an earlier record number in `rec`.
    try {
        if (Find(logicalFile, buff, key, rec) == Outcome::Failed) rec = 0;
    } catch (const platform::RuntimeError&) {
        rec = 0;
    }
}

void KNext(const cLogicalFile* logicalFile, std::string& buff, std::string& key,
           std::int32_t& rec) {
    if (logicalFile == nullptr) RaiseClassic(err::kObjectNotSet, "KNext");
    const cLogicalFile& lf = *logicalFile;
    const std::int32_t rl = lf.RecordLength;
    const Layout l = StateLayout(lf, buff, rl, false, "KNext");
    const BlockView block{std::string_view(buff).substr(kStateBytes, static_cast<std::size_t>(rl)),
                          l};

    std::uint32_t i = Byte(buff, 16);
    const std::int32_t depth = static_cast<std::int32_t>(Byte(buff, 17));
    std::uint32_t count = block.Count();
    if (!l.Fits(count) || i > count) Damaged(lf, "KNext");

    if (i == count) {
        const std::uint32_t next = block.Next();
        if (next == l.endMark) {
            rec = 0;
            return;
        }
        if (!InFile(lf, next)) Damaged(lf, "KNext");
        if (!l.extended && (depth < 1 || depth > kPlainLevels || next == Word(buff, SlotAt(depth))))
            Damaged(lf, "KNext");
        // Keys never run backwards along the leaf chain; one that does means the chain loops.
        const std::string saved = buff;
        const std::string lastKey = count ? std::string(block.Key(count)) : std::string();
        LoadBlock(lf, buff, static_cast<std::int32_t>(next), rl, "KNext");
        count = block.Count();
        if (count < 1 || !l.Fits(count) ||
            (!lastKey.empty() && KCompare(block.Key(1), lastKey) < 0)) {
            buff = saved;
            Damaged(lf, "KNext");
        }
        if (!l.extended) PutWord(buff, SlotAt(depth), next);
        i = 0;
    }
    ++i;
    key.assign(block.Key(i));
    rec = block.Pointer(i);
    PutByte(buff, 16, i);
}

void KPrev(const cLogicalFile* logicalFile, std::string& buff, std::string& key,
           std::int32_t& rec) {
    if (logicalFile == nullptr) RaiseClassic(err::kObjectNotSet, "KPrev");
    const cLogicalFile& lf = *logicalFile;
    const Layout l = StateLayout(lf, buff, kPlainBlock, true, "KPrev");
    const BlockView block{std::string_view(buff).substr(kStateBytes, kPlainBlock), l};
    const std::string saved = buff;
    auto fail = [&]() {
        buff = saved;
        Damaged(lf, "KPrev");
    };

    // Entry number (from the last, 0 when absent) of `entry` in the block in `buff`.
    auto find = [&](const std::string& entry, std::uint32_t count) -> std::uint32_t {
        for (std::uint32_t j = count; j >= 1; --j)
            if (block.Entry(j) == entry) return j;
        return 0;
    };
    // The search goes down every child whose keys can include the entry's key: with duplicate
    // keys a run of equal keys can span several subtrees, and only one of them holds the block.
    Visited searched;
    std::function<std::uint32_t(const std::string&, std::int32_t, std::int32_t, std::int32_t)>
        search = [&](const std::string& entry, std::int32_t blockNo, std::int32_t d,
                     std::int32_t level) -> std::uint32_t {
        if (!InFile(lf, blockNo) || !searched.Insert(blockNo)) return 0;
        LoadBlock(lf, buff, blockNo, kPlainBlock, "KPrev");
        PutWord(buff, SlotAt(d), static_cast<std::uint32_t>(blockNo));
        const std::uint32_t count = block.Count();
        if (!l.Fits(count)) fail();
        if (d == level) return find(entry, count);
        const std::string_view target =
            std::string_view(entry).substr(0, static_cast<std::size_t>(l.keyLength));
        std::vector<std::int32_t> children;
        for (std::uint32_t j = 1; j <= count; ++j) {
            const int c = KCompare(block.Key(j), target);
            if (c < 0) continue;
            children.push_back(block.Pointer(j));
            if (c > 0) break;
        }
        for (const std::int32_t child : children)
            if (const std::uint32_t i = search(entry, child, d + 1, level)) return i;
        return 0;
    };
    auto repath = [&](const std::string& entry, std::int32_t level) -> std::uint32_t {
        return search(entry, static_cast<std::int32_t>(Word(buff, 8)), 1, level);
    };

    std::uint32_t i = Byte(buff, 16);
    const std::int32_t depth = static_cast<std::int32_t>(Byte(buff, 17));
    if (depth < 1 || depth > kPlainLevels || !l.Fits(block.Count()) || i < 1 || i > block.Count())
        fail();
    std::int32_t level = depth;

    // Climb while on the first entry of a block, finding the parent entry that leads here.
    while (i == 1) {
        --level;
        if (level < 1) {
            rec = 0;
            buff = saved;
            PutByte(buff, 16, i);
            return;
        }
        const std::uint32_t count = block.Count();
        if (count < 1) fail();
        std::string rebuilt(block.Entry(count));
        const std::uint32_t current = Word(buff, SlotAt(level + 1));
        Pack('L', rebuilt, static_cast<std::int32_t>(current), l.entryLength - 3);
        const std::uint32_t parent = Word(buff, SlotAt(level));
        if (!InFile(lf, parent)) fail();
        LoadBlock(lf, buff, static_cast<std::int32_t>(parent), kPlainBlock, "KPrev");
        const std::uint32_t pc = block.Count();
        if (!l.Fits(pc)) fail();
        i = find(rebuilt, pc);
        // KNext keeps only the leaf's slot up to date: after it crossed into another subtree
        // the remembered parent is stale, so the path is found again from the root.
        if (i == 0) i = repath(rebuilt, level);
        if (i == 0) fail();
    }
    // Down the right edge of the subtree before entry i.
    Visited seen;
    while (level < depth) {
        const std::int32_t child = block.Pointer(i - 1);
        if (!InFile(lf, child) || !seen.Insert(child)) fail();
        LoadBlock(lf, buff, child, kPlainBlock, "KPrev");
        ++level;
        PutWord(buff, SlotAt(level), static_cast<std::uint32_t>(child));
        const std::uint32_t count = block.Count();
        if (count < 1 || !l.Fits(count)) fail();
        i = count + 1;
    }
    --i;
    key.assign(block.Key(i));
    rec = block.Pointer(i);
    PutByte(buff, 16, i);
}

void KLast(const cLogicalFile* logicalFile, std::string& buff, std::string& key,
           std::int32_t& rec) {
    if (logicalFile == nullptr) RaiseClassic(err::kObjectNotSet, "KLast");
    const cLogicalFile& lf = *logicalFile;
    const std::string header =
        ReadFile(lf.OpenFile.get(), kPlainBlock, BlockOffset(lf, 0, kPlainBlock, "KLast"));
    if (buff.size() < kStateBytes + kPlainBlock) buff.resize(kStateBytes + kPlainBlock, '\0');
    buff.replace(0, header.size(), header);

    const Layout l = StateLayout(lf, buff, kPlainBlock, true, "KLast");
    const BlockView block{std::string_view(buff).substr(kStateBytes, kPlainBlock), l};
    std::int32_t blockNo = static_cast<std::int32_t>(Word(header, 8));
    std::int32_t depth = 0;
    Visited seen;
    for (;;) {
        if (!InFile(lf, blockNo) || !seen.Insert(blockNo) || depth >= kPlainLevels)
            Damaged(lf, "KLast");
        LoadBlock(lf, buff, blockNo, kPlainBlock, "KLast");
        ++depth;
        PutWord(buff, SlotAt(depth), static_cast<std::uint32_t>(blockNo));
        const std::uint32_t count = block.Count();
        if (!l.Fits(count)) Damaged(lf, "KLast");
        if (block.IsLeaf()) break;
        if (count < 1) Damaged(lf, "KLast");
        blockNo = block.Pointer(count);
    }
    const std::uint32_t count = block.Count();
    if (count < 2) {  // only the end marker: no last key
        rec = 0;
        return;
    }
    key.assign(block.Key(count - 1));
    rec = block.Pointer(count - 1);
    PutByte(buff, 16, count - 1);
    PutByte(buff, 17, static_cast<std::uint32_t>(depth));
}

std::int32_t KCount(const cLogicalFile* logicalFile) {
    if (logicalFile == nullptr) RaiseClassic(err::kObjectNotSet, "KCount");
    const cLogicalFile& lf = *logicalFile;
    const std::int32_t rl = lf.RecordLength;
    const bool extended = rl == 2048 || (rl != kPlainBlock && lf.IsamPlus);

    std::string buff(static_cast<std::size_t>(std::max(rl, 0)) + kStateBytes, '\0');
    std::string key;
    std::int32_t rec = 0;
    if (Find(logicalFile, buff, key, rec) == Outcome::Failed) Damaged(lf, "KCount");

    Layout l = StateLayout(lf, buff, rl, false, "KCount");
    l.SetVariant(extended);
    const BlockView block{std::string_view(buff).substr(kStateBytes, static_cast<std::size_t>(rl)),
                          l};
    Visited seen;
    std::int64_t sum = 0;
    for (;;) {
        const std::uint32_t count = block.Count();
        if (!l.Fits(count)) Damaged(lf, "KCount");
        sum += count;
        const std::uint32_t next = block.Next();
        if (next == l.endMark) break;
        if (!InFile(lf, next) || !seen.Insert(static_cast<std::int32_t>(next)))
            Damaged(lf, "KCount");
        LoadBlock(lf, buff, static_cast<std::int32_t>(next), rl, "KCount");
    }
    if (sum - 1 > INT32_MAX) RaiseClassic(err::kOverflow, "KCount");
    return static_cast<std::int32_t>(sum - 1);
}

std::int32_t KLength(const cLogicalFile* logicalFile) {
    if (logicalFile == nullptr) RaiseClassic(err::kObjectNotSet, "KLength");
    const std::string header = ReadFile(logicalFile->OpenFile.get(), kPlainBlock,
                                        BlockOffset(*logicalFile, 0, kPlainBlock, "KLength"));
    return Unpack('C', header, 1) - 4;
}

void InitFile(const cLogicalFile* logicalFile, std::int32_t keyLength, bool duplicateKeys,
              std::int32_t blockingFactor) {
    if (logicalFile == nullptr)
        throw platform::RuntimeError(kUndefinedFile, "iLwriteFile",
                                     "LogicalFile parameter is undefined");
    const cLogicalFile& lf = *logicalFile;
    cOpenFile* file = lf.OpenFile.get();

    if (lf.FileType == "I") {
        const std::int64_t e = static_cast<std::int64_t>(keyLength) + 4;
        if (e == 0) RaiseClassic(err::kDivisionByZero, "InitFile");
        const auto perBlock = static_cast<std::int64_t>(std::floor(508.0 / static_cast<double>(e)));
        const auto factor =
            static_cast<std::int64_t>(std::floor(static_cast<double>(blockingFactor) / 100.0));
        std::string header(kPlainBlock, '\0');
        Pack('C', header, static_cast<std::int32_t>(e), 1);
        Pack('C', header, static_cast<std::int32_t>(perBlock), 3);
        Pack('C', header, lf.LastRecord, 5);
        Pack('C', header, 2, 7);
        Pack('C', header, 1, 9);
        Pack('C', header, static_cast<std::int32_t>(perBlock * factor), 11);
        Pack('C', header, duplicateKeys ? 0xFFFF : 0, 13);
        WriteFile(file, header, BlockOffset(lf, 0, kPlainBlock, "InitFile"));

        std::string root(kPlainBlock, '\xFF');
        Pack('C', root, 1, 1);
        WriteFile(file, root, BlockOffset(lf, 1, kPlainBlock, "InitFile"));
    } else if (lf.FileType == "L") {
        std::string zero(kPlainBlock, '\0');
        Pack('J', zero, -2, 1);
        Pack('L', zero, -1, 3);
        WriteFile(file, zero, BlockOffset(lf, 0, kPlainBlock, "InitFile"));
        const std::string empty(static_cast<std::size_t>(std::max(lf.RecordLength, 0)), '\0');
        for (std::int64_t n = 1; n <= lf.LastRecord; ++n)
            LwriteFile(&lf, static_cast<std::int32_t>(n), empty);
    }
}

}  // namespace zel::engine
