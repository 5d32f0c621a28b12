#include "platform/profile_document.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/convert.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace zel::platform {
namespace {

const char* const kCrLf = "\r\n";

// The name as the services compare it: blanks around it dropped, ASCII letters in one case.
std::string Fold(std::string_view name) {
    std::string out = TrimBlanks(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool LooksLikeHeader(const std::string& text) {
    std::string name;
    return ini::HeaderName(text, name);
}

[[noreturn]] void CannotWrite(const std::string& file, const std::string& source) {
    throw RuntimeError(err::kPathFileAccess, source, "Path/File access error: " + file);
}

// Whether the header line at `offset` of `bytes` has the folded name `folded`. The name is
// compared where it stands, without being copied: a document of millions of headers of one
// name compares every one.
bool HeaderFoldsTo(std::string_view bytes, std::size_t offset, std::string_view folded) {
    std::string_view rest = bytes.substr(offset);
    rest = rest.substr(0, rest.find_first_of("\r\n"));
    std::string_view name;
    if (!ini::HeaderName(rest, name) || name.size() != folded.size()) return false;
    // `folded` is lower case already: only the header's side needs folding.
    for (std::size_t i = 0; i < name.size(); ++i)
        if (LowerCase(name[i]) != folded[i]) return false;
    return true;
}

}  // namespace

// --- NameHash ----------------------------------------------------------------------------------

namespace detail {

namespace {
// Drawn when the program starts, so that nobody outside can choose names that meet in a table.
const unsigned char* NameKey() {
    static const auto key = [] {
        std::array<unsigned char, crypto_shorthash_KEYBYTES> k{};
        if (sodium_init() >= 0) {
            crypto_shorthash_keygen(k.data());
        } else {
            std::random_device random;
            for (unsigned char& b : k) b = static_cast<unsigned char>(random());
        }
        return k;
    }();
    return key.data();
}
}  // namespace

std::uint64_t NameHash(std::string_view folded) {
    unsigned char out[crypto_shorthash_BYTES];
    crypto_shorthash(out, reinterpret_cast<const unsigned char*>(folded.data()), folded.size(),
                     NameKey());
    std::uint64_t hash = 0;
    std::memcpy(&hash, out, sizeof hash);
    return hash;
}

}  // namespace detail

// --- HeaderIndex -------------------------------------------------------------------------------

namespace detail {

namespace {
constexpr int kOffsetBits = 40;
constexpr int kTagBits = 64 - kOffsetBits;
constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kOffsetBits) - 1;
// A slot holds the offset + 1 and, above it, the top bits of the name's hash, which turn most
// probes of other names away without reading them.
std::uint64_t Tag(std::uint64_t hash) { return hash >> kOffsetBits << kOffsetBits; }
}  // namespace

// A name's first slot comes from the hash bits its slot keeps, so the table grows without
// reading a single name back.
std::size_t HeaderIndex::Home(std::uint64_t tagged) const {
    return static_cast<std::size_t>(((tagged >> kOffsetBits) * slots_.size()) >> kTagBits);
}

void HeaderIndex::Build(std::string_view bytes) {
    slots_.clear();
    slots_.shrink_to_fit();
    used_ = 0;
    ini::ForEachLine(bytes, [&](std::string_view text, std::string_view) {
        // The header gives its name with the blanks around it dropped: only the case is left.
        std::string folded;
        if (!ini::HeaderName(text, folded)) return true;
        for (char& c : folded) c = LowerCase(c);
        const auto offset = static_cast<std::uint64_t>(text.data() - bytes.data());
        if ((used_ + 1) * 4 > slots_.size() * 3) Grow();
        const std::size_t mask = slots_.size() - 1;
        const std::uint64_t tag = Tag(NameHash(folded));
        for (std::size_t i = Home(tag);; i = (i + 1) & mask) {
            const std::uint64_t slot = slots_[i];
            if (slot == 0) {
                slots_[i] = tag | (offset + 1);
                ++used_;
                break;
            }
            // A later section of a name already held is never read: the first one answers.
            if ((slot & ~kOffsetMask) == tag &&
                HeaderFoldsTo(bytes, (slot & kOffsetMask) - 1, folded))
                break;
        }
        return true;
    });
}

void HeaderIndex::Grow() {
    std::vector<std::uint64_t> old = std::move(slots_);
    slots_.assign(old.empty() ? 16 : old.size() * 2, 0);
    const std::size_t mask = slots_.size() - 1;
    for (const std::uint64_t slot : old) {
        if (slot == 0) continue;
        std::size_t i = Home(slot);
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

std::size_t HeaderIndex::Find(std::string_view bytes, std::string_view folded) const {
    if (slots_.empty()) return std::string::npos;
    const std::size_t mask = slots_.size() - 1;
    const std::uint64_t tag = Tag(NameHash(folded));
    for (std::size_t i = Home(tag); slots_[i] != 0; i = (i + 1) & mask) {
        const std::uint64_t at = (slots_[i] & kOffsetMask) - 1;
        if ((slots_[i] & ~kOffsetMask) == tag && HeaderFoldsTo(bytes, at, folded)) return at;
    }
    return std::string::npos;
}

}  // namespace detail

// --- KeyIndex ----------------------------------------------------------------------------------

namespace detail {

namespace {
constexpr int kLineBits = 42;
constexpr int kKeyTagBits = 64 - kLineBits;
constexpr std::uint64_t kLineMask = (std::uint64_t{1} << kLineBits) - 1;
constexpr std::uint64_t kErased = 1;
std::uint64_t KeyTag(std::uint64_t hash) { return hash >> kLineBits << kLineBits; }
std::uint64_t LineOf(std::uint64_t slot) { return (slot & kLineMask) - 2; }
}  // namespace

// A key's first slot comes from the top bits of its hash, which its slot keeps: the table grows
// without reading a single key back, and by half its size at a time, so that it never holds
// more than about twice the slots its keys need.
std::size_t KeyIndex::Home(std::uint64_t tagged) const {
    return static_cast<std::size_t>(((tagged >> kLineBits) * slots_.size()) >> kKeyTagBits);
}

void KeyIndex::Clear() {
    slots_.clear();
    slots_.shrink_to_fit();
    used_ = 0;
}

template <class KeyAt>
std::uint64_t KeyIndex::Find(std::string_view folded, const KeyAt& keyAt) const {
    if (slots_.empty()) return kNone;
    const std::uint64_t tag = KeyTag(NameHash(folded));
    for (std::size_t i = Home(tag);; i = i + 1 == slots_.size() ? 0 : i + 1) {
        const std::uint64_t slot = slots_[i];
        if (slot == 0) return kNone;
        if (slot != kErased && (slot & ~kLineMask) == tag && keyAt(LineOf(slot)) == folded)
            return LineOf(slot);
    }
}

template <class KeyAt>
void KeyIndex::Put(std::string_view folded, std::uint64_t line, bool replace, const KeyAt& keyAt) {
    if ((used_ + 1) * 5 > slots_.size() * 4) Grow();
    const std::uint64_t tag = KeyTag(NameHash(folded));
    std::size_t reuse = slots_.size();
    for (std::size_t i = Home(tag);; i = i + 1 == slots_.size() ? 0 : i + 1) {
        const std::uint64_t slot = slots_[i];
        if (slot == 0) {
            if (reuse == slots_.size()) {
                reuse = i;
                ++used_;
            }
            break;
        }
        if (slot == kErased) {
            if (reuse == slots_.size()) reuse = i;
            continue;
        }
        if ((slot & ~kLineMask) == tag && keyAt(LineOf(slot)) == folded) {
            if (replace) slots_[i] = tag | (line + 2);
            return;
        }
    }
    slots_[reuse] = tag | (line + 2);
}

template <class KeyAt>
void KeyIndex::Insert(std::string_view folded, std::uint64_t line, const KeyAt& keyAt) {
    Put(folded, line, false, keyAt);
}

template <class KeyAt>
void KeyIndex::Set(std::string_view folded, std::uint64_t line, const KeyAt& keyAt) {
    Put(folded, line, true, keyAt);
}

template <class KeyAt>
void KeyIndex::Erase(std::string_view folded, const KeyAt& keyAt) {
    if (slots_.empty()) return;
    const std::uint64_t tag = KeyTag(NameHash(folded));
    for (std::size_t i = Home(tag); slots_[i] != 0; i = i + 1 == slots_.size() ? 0 : i + 1) {
        const std::uint64_t slot = slots_[i];
        if (slot != kErased && (slot & ~kLineMask) == tag && keyAt(LineOf(slot)) == folded) {
            slots_[i] = kErased;
            return;
        }
    }
}

void KeyIndex::Grow() {
    std::size_t live = 0;
    for (const std::uint64_t slot : slots_) live += slot > kErased;
    std::vector<std::uint64_t> old = std::move(slots_);
    // Erased keys are dropped, so a table that had many may even shrink.
    slots_.assign(std::max<std::size_t>(16, (live + 1) * 15 / 8), 0);
    used_ = live;
    for (const std::uint64_t slot : old) {
        if (slot <= kErased) continue;
        std::size_t i = Home(slot);
        while (slots_[i] != 0) i = i + 1 == slots_.size() ? 0 : i + 1;
        slots_[i] = slot;
    }
}

}  // namespace detail

// --- ProfileDocument ---------------------------------------------------------------------------

namespace {
// Sections, runs and edits cost about this much beside the bytes they name.
constexpr std::size_t kSectionCost = 256;
constexpr std::size_t kEditCost = 64;
// Below this much waste a document is never taken whole again: small documents (an answer of a
// few thousand keys) keep their sections apart for their whole life.
constexpr std::size_t kWasteFloor = std::size_t{1} << 20;

std::pair<std::string_view, std::string_view> SplitLineEnd(std::string_view line) {
    const std::size_t n = line.size();
    std::size_t eol = 0;
    if (n >= 2 && line[n - 2] == '\r' && line[n - 1] == '\n') {
        eol = 2;
    } else if (n >= 1 && (line[n - 1] == '\r' || line[n - 1] == '\n')) {
        eol = 1;
    }
    return {line.substr(0, n - eol), line.substr(n - eol)};
}

// The length of the first line of `bytes`, its line end included.
std::size_t FirstLineLength(std::string_view bytes) {
    const std::size_t end = bytes.find_first_of("\r\n");
    if (end == std::string_view::npos) return bytes.size();
    if (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') return end + 2;
    return end + 1;
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}
}  // namespace

ProfileDocument::ProfileDocument(std::string file) : file_(std::move(file)) {}

ProfileDocument ProfileDocument::FromBytes(std::string bytes, std::string file) {
    ProfileDocument doc(std::move(file));
    doc.Parse(std::move(bytes));
    doc.loaded_ = true;
    doc.existed_ = true;
    return doc;
}

void ProfileDocument::Load() const {
    if (loaded_) return;
    std::string bytes;
    if (!file_.empty()) {
        std::string native;
        try {
            native = NativePath(file_);
        } catch (const RuntimeError&) {
            CannotWrite(file_, "ProfileDocument");
        }
        const int e = readLimit_ ? detail::ReadOwnNative(native, bytes, readLimit_)
                                 : detail::ReadNative(native, bytes);
        if (e != 0 && e != ENOENT) CannotWrite(file_, "ProfileDocument");
        existed_ = e == 0;
    }
    Parse(std::move(bytes));
    loaded_ = true;
}

void ProfileDocument::Parse(std::string bytes) const {
    named_.clear();
    pieces_.clear();
    store_.clear();
    std::string().swap(added_);
    deadBytes_ = 0;
    structBytes_ = 0;
    base_ = std::move(bytes);
    if (!base_.empty()) pieces_.push_back(Piece{0, base_.size(), nullptr});
    baseIndex_.Build(base_);
}

std::string_view ProfileDocument::View(std::uint64_t begin, std::uint64_t end) const {
    if (begin >= kAdded) return std::string_view(added_).substr(begin - kAdded, end - begin);
    return std::string_view(base_).substr(begin, end - begin);
}

std::string_view ProfileDocument::From(std::uint64_t line) const {
    if (line >= kAdded) return std::string_view(added_).substr(line - kAdded);
    return std::string_view(base_).substr(line);
}

std::string ProfileDocument::FoldedKeyAt(std::uint64_t line) const {
    // Only lines holding a key are indexed, and their key is all before the first '='; a line
    // changed in place keeps its key, so the bytes it was first placed with tell it.
    const std::string_view rest = From(line);
    return Fold(rest.substr(0, rest.find('=')));
}

std::string_view ProfileDocument::LineText(const Section& s, std::uint64_t line) const {
    if (const auto e = s.edits.find(line); e != s.edits.end())
        return SplitLineEnd(View(e->second.at, e->second.at + e->second.size)).first;
    const std::string_view rest = From(line);
    return SplitLineEnd(rest.substr(0, FirstLineLength(rest))).first;
}

std::uint64_t ProfileDocument::Add(std::string_view bytes) {
    const std::uint64_t at = kAdded + added_.size();
    added_ += bytes;
    return at;
}

template <class Fn>
void ProfileDocument::ForEachLine(const Section& s, std::size_t from, Fn fn) const {
    for (std::size_t r = from; r < s.runs.size(); ++r) {
        const Run run = s.runs[r];
        const std::string_view bytes = View(run.begin, run.end);
        auto edit = s.edits.lower_bound(run.begin);
        bool go = true;
        ini::ForEachLine(bytes, [&](std::string_view text, std::string_view eol) {
            const std::uint64_t line =
                run.begin + static_cast<std::uint64_t>(text.data() - bytes.data());
            const std::uint64_t next = line + text.size() + eol.size();
            if (edit != s.edits.end() && edit->first == line) {
                const Edit e = (edit++)->second;
                if (e.size == 0) return true;
                const auto [t, l] = SplitLineEnd(View(e.at, e.at + e.size));
                go = fn(line, next, t, l, r);
            } else {
                go = fn(line, next, text, eol, r);
            }
            return go;
        });
        if (!go) return;
    }
}

ProfileDocument::Place ProfileDocument::Locate(const std::string& section) const {
    Load();
    const std::string folded = Fold(section);
    if (const auto it = named_.find(folded); it != named_.end())
        return {it->second, std::string::npos};
    return {nullptr, baseIndex_.Find(base_, folded)};
}

ProfileDocument::Section* ProfileDocument::Editable(const std::string& section) {
    const Place place = Locate(section);
    if (place.section) return const_cast<Section*>(place.section);
    if (place.raw == std::string::npos) return nullptr;
    const std::size_t at = place.raw;
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), at,
                               [](std::size_t o, const Piece& p) { return o < p.begin; });
    --it;  // the stretch of the bytes as read that holds the section
    const std::size_t pieceEnd = it->end;
    const std::string_view all(base_);
    // The section's lines stay where they are: it holds where its header, its lines up to the
    // last one holding something, and the blank lines after that are, and its keys.
    Section& s = store_.emplace_back();
    structBytes_ += kSectionCost;
    const auto keyAt = KeyAt();
    std::size_t end = pieceEnd, headerEnd = 0, lastFull = 0;
    bool first = true;
    ini::ForEachLine(all.substr(at, pieceEnd - at),
                     [&](std::string_view text, std::string_view eol) {
                         const auto line = static_cast<std::size_t>(text.data() - all.data());
                         const std::size_t next = line + text.size() + eol.size();
                         if (first) {
                             headerEnd = lastFull = next;
                             first = false;
                             return true;
                         }
                         std::string name;
                         if (ini::HeaderName(text, name)) {
                             end = line;
                             return false;
                         }
                         if (!IsBlank(text)) lastFull = next;
                         std::string k, v;
                         if (ini::SplitKeyLine(text, k, v)) s.keys.Insert(Fold(k), line, keyAt);
                         return true;
                     });
    s.runs.push_back(Run{at, headerEnd});
    if (lastFull > headerEnd) s.runs.push_back(Run{headerEnd, lastFull});
    s.insertAt = s.runs.size();
    if (end > lastFull) s.runs.push_back(Run{lastFull, end});
    std::vector<Piece> split;
    if (it->begin < at) split.push_back(Piece{it->begin, at, nullptr});
    split.push_back(Piece{at, end, &s});
    if (end < pieceEnd) split.push_back(Piece{end, pieceEnd, nullptr});
    const auto pos = it - pieces_.begin();
    pieces_.erase(it);
    pieces_.insert(pieces_.begin() + pos, split.begin(), split.end());
    named_.emplace(Fold(section), &s);
    return &s;
}

std::vector<std::string> ProfileDocument::Entries(const Section& s, std::size_t enoughChars) const {
    std::vector<std::string> out;
    std::size_t chars = 0;
    ForEachLine(
        s, 1,
        [&](std::uint64_t, std::uint64_t, std::string_view text, std::string_view, std::size_t) {
            std::string entry;
            if (!ini::SectionEntry(text, entry)) return true;
            out.push_back(std::move(entry));
            chars += out.back().size() + 1;
            return chars <= enoughChars;
        });
    return out;
}

std::string ProfileDocument::GetString(const std::string& section, const std::string& key,
                                       const std::string& def, std::size_t bufferSize) const {
    if (bufferSize == 0) return {};
    std::string value;
    bool found = false;
    const Place place = Locate(section);
    if (const Section* s = place.section) {
        const std::uint64_t line = s->keys.Find(Fold(key), KeyAt());
        if (line != detail::KeyIndex::kNone) {
            std::string name;
            found = ini::SplitKeyLine(LineText(*s, line), name, value);
        }
    } else if (place.raw != std::string::npos) {
        found = ini::ReadValue(std::string_view(base_).substr(place.raw), section, key, value);
    }
    return detail::ProfileValue(found ? &value : nullptr, def, bufferSize);
}

std::vector<std::string> ProfileDocument::GetSectionLines(const std::string& section) const {
    const Place place = Locate(section);
    if (const Section* s = place.section) return Entries(*s, std::string::npos);
    if (place.raw != std::string::npos)
        return ini::ReadSectionEntries(std::string_view(base_).substr(place.raw), section);
    return {};
}

std::string ProfileDocument::GetSection(const std::string& section, std::size_t bufferSize) const {
    const Place place = Locate(section);
    std::vector<std::string> entries;
    if (const Section* s = place.section) {
        entries = Entries(*s, bufferSize);
    } else if (place.raw != std::string::npos) {
        entries =
            ini::ReadSectionEntries(std::string_view(base_).substr(place.raw), section, bufferSize);
    }
    return detail::ProfileSectionList(entries, bufferSize);
}

void ProfileDocument::Changed() noexcept {
    dirty_ = true;
    written_ = true;
}

void ProfileDocument::EndLastLine() {
    // Every line but the last of the bytes as read has its line end, and written lines all
    // have one.
    if (base_.empty()) return;
    const char c = base_.back();
    if (c == '\r' || c == '\n') return;
    const std::size_t old = base_.size();
    base_ += kCrLf;
    for (Piece& p : pieces_) {
        if (!p.section) {
            if (p.end == old) p.end = base_.size();
            continue;
        }
        for (Run& run : p.section->runs)
            if (run.end == old) run.end = base_.size();
    }
}

ProfileDocument::Section& ProfileDocument::AppendSection(const std::string& section) {
    EndLastLine();
    Section& s = store_.emplace_back();
    structBytes_ += kSectionCost;
    const std::string header = "[" + ini::OneLine(TrimBlanks(section)) + "]";
    const std::uint64_t at = Add(header + kCrLf);
    s.runs.push_back(Run{at, at + header.size() + 2});
    s.insertAt = 1;
    pieces_.push_back(Piece{std::string::npos, std::string::npos, &s});
    // A name the header cannot hold (one with ']') reads back as another; the section is the
    // first of that other name only where no earlier section already is.
    std::string name;
    ini::HeaderName(header, name);
    std::string folded = Fold(name);
    if (!named_.contains(folded) && baseIndex_.Find(base_, folded) == std::string::npos)
        named_.emplace(std::move(folded), &s);
    return s;
}

void ProfileDocument::CompactIfWasteful() {
    const std::size_t waste = deadBytes_ + structBytes_;
    if (waste <= kWasteFloor || waste <= base_.size() + added_.size() - deadBytes_) return;
    Parse(Bytes());
}

void ProfileDocument::WriteString(const std::string& section, const std::string& key,
                                  const std::string& value) {
    Load();
    // The value ends at its first NUL, as the services write it.
    const std::string cut = value.substr(0, value.find('\0'));
    const std::string text = ini::OneLine(TrimBlanks(key)) + "=" + ini::OneLine(cut);
    Changed();
    Section* found = Editable(section);
    Section& s = found ? *found : AppendSection(section);
    const auto keyAt = KeyAt();
    const std::uint64_t line = s.keys.Find(Fold(key), keyAt);
    if (line != detail::KeyIndex::kNone) {
        // The line is changed where it is and keeps its line end.
        const auto e = s.edits.find(line);
        std::string_view now;
        if (e != s.edits.end()) {
            now = View(e->second.at, e->second.at + e->second.size);
        } else {
            now = From(line);
            now = now.substr(0, FirstLineLength(now));
        }
        const std::string_view eol = SplitLineEnd(now).second;
        const std::string bytes = text + (eol.empty() ? std::string(kCrLf) : std::string(eol));
        if (e != s.edits.end() || line >= kAdded) deadBytes_ += now.size();
        const Edit edit{Add(bytes), bytes.size()};
        if (e != s.edits.end()) {
            e->second = edit;
        } else {
            s.edits.emplace(line, edit);
            structBytes_ += kEditCost;
        }
    } else {
        // New keys go after the section's last line holding something, so blank separators
        // stay below; only blank lines move, and they hold no keys.
        if (s.runs[s.insertAt - 1].end == base_.size()) EndLastLine();
        const std::uint64_t at = Add(text + kCrLf);
        Run& before = s.runs[s.insertAt - 1];
        if (s.insertAt > 1 && before.begin >= kAdded && before.end == at) {
            before.end = at + text.size() + 2;
        } else {
            s.runs.insert(s.runs.begin() + static_cast<std::ptrdiff_t>(s.insertAt),
                          Run{at, at + text.size() + 2});
            ++s.insertAt;
            structBytes_ += sizeof(Run);
        }
        std::string k2, v2;
        if (ini::SplitKeyLine(text, k2, v2)) s.keys.Insert(Fold(k2), at, keyAt);
    }
    // A line that reads back as a section header splits the section: the document is taken
    // as its bytes again, as a reader of the file would see it.
    if (LooksLikeHeader(text)) {
        Parse(Bytes());
    } else {
        CompactIfWasteful();
    }
}

void ProfileDocument::WriteSection(const std::string& section, const std::string& data) {
    Load();
    const std::vector<std::string> entries = detail::ProfileSectionData(data);
    Changed();
    Section* s = Editable(section);
    if (!s) {
        s = &AppendSection(section);
    } else {
        if (s->runs[0].end == base_.size()) EndLastLine();
        // Keep the blank lines that separate this section from the next one.
        for (std::size_t r = 1; r < s->insertAt; ++r) {
            const Run run = s->runs[r];
            if (run.begin >= kAdded) deadBytes_ += run.end - run.begin;
            const auto from = s->edits.lower_bound(run.begin);
            auto to = from;
            for (; to != s->edits.end() && to->first < run.end; ++to) deadBytes_ += to->second.size;
            s->edits.erase(from, to);
        }
        s->runs.erase(s->runs.begin() + 1,
                      s->runs.begin() + static_cast<std::ptrdiff_t>(s->insertAt));
        s->insertAt = 1;
        s->keys.Clear();
    }
    std::string bytes;
    std::size_t lastFull = 0;
    bool header = false;
    for (const auto& e : entries) {
        const std::string line = ini::OneLine(e);
        bytes += line;
        bytes += kCrLf;
        if (!IsBlank(line)) lastFull = bytes.size();
        header = header || LooksLikeHeader(line);
    }
    const std::uint64_t at = Add(bytes);
    if (lastFull > 0) {
        s->runs.insert(s->runs.begin() + 1, Run{at, at + lastFull});
        s->insertAt = 2;
    }
    if (bytes.size() > lastFull)
        s->runs.insert(s->runs.begin() + static_cast<std::ptrdiff_t>(s->insertAt),
                       Run{at + lastFull, at + bytes.size()});
    structBytes_ += 2 * sizeof(Run);
    const auto keyAt = KeyAt();
    ini::ForEachLine(bytes, [&](std::string_view text, std::string_view) {
        std::string k, v;
        if (ini::SplitKeyLine(text, k, v))
            s->keys.Insert(Fold(k), at + static_cast<std::uint64_t>(text.data() - bytes.data()),
                           keyAt);
        return true;
    });
    if (header) {
        Parse(Bytes());
    } else {
        CompactIfWasteful();
    }
}

bool ProfileDocument::DeleteKey(const std::string& section, const std::string& key) {
    Load();
    const Place place = Locate(section);
    if (!place.section) {
        std::string value;
        if (place.raw == std::string::npos ||
            !ini::ReadValue(std::string_view(base_).substr(place.raw), section, key, value))
            return false;
    }
    Section& s = *Editable(section);
    const std::string folded = Fold(key);
    const auto keyAt = KeyAt();
    const std::uint64_t line = s.keys.Find(folded, keyAt);
    if (line == detail::KeyIndex::kNone) return false;
    if (const auto e = s.edits.find(line); e != s.edits.end()) {
        deadBytes_ += e->second.size;
        e->second = Edit{};
    } else {
        if (line >= kAdded) deadBytes_ += FirstLineLength(From(line));
        s.edits.emplace(line, Edit{});
        structBytes_ += kEditCost;
    }
    // A later line of the same key now answers, and new keys go after what is now the last
    // line holding something.
    std::uint64_t holder = detail::KeyIndex::kNone;
    std::size_t lastRun = 0;
    std::uint64_t lastEnd = s.runs[0].end;
    ForEachLine(s, 0,
                [&](std::uint64_t l, std::uint64_t next, std::string_view text, std::string_view,
                    std::size_t r) {
                    if (r == 0) return true;
                    if (r < s.insertAt && !IsBlank(text)) {
                        lastRun = r;
                        lastEnd = next;
                    }
                    std::string k, v;
                    if (holder == detail::KeyIndex::kNone && ini::SplitKeyLine(text, k, v) &&
                        Fold(k) == folded)
                        holder = l;
                    return true;
                });
    if (holder != detail::KeyIndex::kNone) {
        s.keys.Set(folded, holder, keyAt);
    } else {
        s.keys.Erase(folded, keyAt);
    }
    const std::uint64_t runEnd = s.runs[lastRun].end;
    if (lastEnd < runEnd) {
        s.runs[lastRun].end = lastEnd;
        s.runs.insert(s.runs.begin() + static_cast<std::ptrdiff_t>(lastRun + 1),
                      Run{lastEnd, runEnd});
        structBytes_ += sizeof(Run);
    }
    s.insertAt = lastRun + 1;
    Changed();
    CompactIfWasteful();
    return true;
}

std::size_t ProfileDocument::SectionSize(const Section& s) const {
    std::size_t n = 0;
    for (const Run& run : s.runs) {
        n += run.end - run.begin;
        for (auto e = s.edits.lower_bound(run.begin); e != s.edits.end() && e->first < run.end; ++e)
            n = n - FirstLineLength(View(e->first, run.end)) + e->second.size;
    }
    return n;
}

void ProfileDocument::AppendSectionBytes(std::string& out, const Section& s) const {
    for (const Run& run : s.runs) {
        std::uint64_t pos = run.begin;
        for (auto e = s.edits.lower_bound(run.begin); e != s.edits.end() && e->first < run.end;
             ++e) {
            out += View(pos, e->first);
            out += View(e->second.at, e->second.at + e->second.size);
            pos = e->first + FirstLineLength(View(e->first, run.end));
        }
        out += View(pos, run.end);
    }
}

bool ProfileDocument::DeleteSection(const std::string& section) {
    Load();
    const std::string want = Fold(section);
    bool any = false;
    std::string kept;
    const std::string_view all(base_);
    for (const Piece& p : pieces_) {
        if (p.section) {
            const Run header = p.section->runs[0];
            std::string name;
            ini::HeaderName(SplitLineEnd(View(header.begin, header.end)).first, name);
            if (Fold(name) == want) {
                any = true;
                continue;
            }
            AppendSectionBytes(kept, *p.section);
            continue;
        }
        // A stretch begins at a header or at the top of the document, never inside a section.
        bool dropping = false;
        ini::ForEachLine(all.substr(p.begin, p.end - p.begin),
                         [&](std::string_view text, std::string_view eol) {
                             std::string name;
                             if (ini::HeaderName(text, name)) {
                                 dropping = Fold(name) == want;
                                 any = any || dropping;
                             }
                             if (!dropping) {
                                 kept += text;
                                 kept += eol;
                             }
                             return true;
                         });
    }
    if (!any) return false;
    Parse(std::move(kept));
    Changed();
    return true;
}

bool ProfileDocument::Exists() const {
    Load();
    return existed_ || written_;
}

std::string ProfileDocument::Bytes() const {
    Load();
    std::size_t n = 0;
    for (const Piece& p : pieces_) n += p.section ? SectionSize(*p.section) : p.end - p.begin;
    std::string out;
    out.reserve(n);
    for (const Piece& p : pieces_) {
        if (!p.section) {
            out.append(base_, p.begin, p.end - p.begin);
            continue;
        }
        AppendSectionBytes(out, *p.section);
    }
    return out;
}

void ProfileDocument::Save(bool durable) {
    if (!dirty_ && !(durable && Exists())) return;
    WriteOut(file_, durable, "WriteProfileString");
    dirty_ = false;
    existed_ = true;
}

void ProfileDocument::SaveAs(const std::string& file) const { WriteCopy(file, Bytes()); }

void ProfileDocument::WriteOut(const std::string& file, bool durable, const char* source) const {
    if (file.empty()) CannotWrite(file, source);
    std::string native;
    try {
        native = NativePath(file);
    } catch (const RuntimeError&) {
        CannotWrite(file, source);
    }
    if (detail::ReplaceNative(native, Bytes(), durable) != 0) CannotWrite(file, source);
}

void ProfileDocument::Assign(const std::string& bytes) {
    Load();
    Parse(bytes);
    Changed();
}

// --- ProfileReader -----------------------------------------------------------------------------

ProfileReader::ProfileReader(std::string bytes) : bytes_(std::move(bytes)) { index_.Build(bytes_); }

std::string_view ProfileReader::SectionBytes(const std::string& section) const {
    const std::size_t at = index_.Find(bytes_, Fold(section));
    return at == std::string::npos ? std::string_view() : std::string_view(bytes_).substr(at);
}

std::string ProfileReader::GetString(const std::string& section, const std::string& key,
                                     const std::string& def, std::size_t bufferSize) const {
    if (bufferSize == 0) return {};
    std::string value;
    const bool found = ini::ReadValue(SectionBytes(section), section, key, value);
    return detail::ProfileValue(found ? &value : nullptr, def, bufferSize);
}

std::vector<std::string> ProfileReader::GetSectionLines(const std::string& section) const {
    return ini::ReadSectionEntries(SectionBytes(section), section);
}

std::string ProfileReader::GetSection(const std::string& section, std::size_t bufferSize) const {
    return detail::ProfileSectionList(
        ini::ReadSectionEntries(SectionBytes(section), section, bufferSize), bufferSize);
}

}  // namespace zel::platform
