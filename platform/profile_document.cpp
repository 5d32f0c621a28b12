#include "platform/profile_document.h"

#include <algorithm>
#include <cerrno>
#include <functional>

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

bool IsBlankLine(const ini::Line& line) { return TrimBlanks(line.text).empty(); }

bool LooksLikeHeader(const std::string& text) {
    std::string name;
    return ini::HeaderName(text, name);
}

[[noreturn]] void CannotWrite(const std::string& file, const std::string& source) {
    throw RuntimeError(err::kPathFileAccess, source, "Path/File access error: " + file);
}

// The folded name of the header line at `offset` of `bytes`.
std::string FoldedNameAt(std::string_view bytes, std::size_t offset) {
    const std::string_view rest = bytes.substr(offset);
    std::string name;
    ini::HeaderName(rest.substr(0, rest.find_first_of("\r\n")), name);
    return Fold(name);
}

}  // namespace

// --- HeaderIndex -------------------------------------------------------------------------------

namespace detail {

namespace {
constexpr int kOffsetBits = 40;
constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kOffsetBits) - 1;
// A slot holds the offset + 1 and, above it, the top bits of the name's hash, which turn most
// probes of other names away without reading them.
std::uint64_t Tag(std::size_t hash) { return static_cast<std::uint64_t>(hash) >> kOffsetBits << kOffsetBits; }
}  // namespace

void HeaderIndex::Build(std::string_view bytes) {
    slots_.clear();
    slots_.shrink_to_fit();
    used_ = 0;
    ini::ForEachLine(bytes, [&](std::string_view text, std::string_view) {
        std::string name;
        if (!ini::HeaderName(text, name)) return true;
        const std::string folded = Fold(name);
        const auto offset = static_cast<std::uint64_t>(text.data() - bytes.data());
        if ((used_ + 1) * 4 > slots_.size() * 3) Grow(bytes);
        const std::size_t mask = slots_.size() - 1;
        const std::size_t hash = std::hash<std::string>{}(folded);
        const std::uint64_t tag = Tag(hash);
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const std::uint64_t slot = slots_[i];
            if (slot == 0) {
                slots_[i] = tag | (offset + 1);
                ++used_;
                break;
            }
            // A later section of a name already held is never read: the first one answers.
            if ((slot & ~kOffsetMask) == tag && FoldedNameAt(bytes, (slot & kOffsetMask) - 1) == folded) break;
        }
        return true;
    });
}

void HeaderIndex::Grow(std::string_view bytes) {
    std::vector<std::uint64_t> old = std::move(slots_);
    slots_.assign(old.empty() ? 16 : old.size() * 2, 0);
    const std::size_t mask = slots_.size() - 1;
    for (const std::uint64_t slot : old) {
        if (slot == 0) continue;
        std::size_t i = std::hash<std::string>{}(FoldedNameAt(bytes, (slot & kOffsetMask) - 1)) & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

std::size_t HeaderIndex::Find(std::string_view bytes, std::string_view folded) const {
    if (slots_.empty()) return std::string::npos;
    const std::size_t mask = slots_.size() - 1;
    const std::size_t hash = std::hash<std::string_view>{}(folded);
    const std::uint64_t tag = Tag(hash);
    for (std::size_t i = hash & mask; slots_[i] != 0; i = (i + 1) & mask) {
        const std::uint64_t at = (slots_[i] & kOffsetMask) - 1;
        if ((slots_[i] & ~kOffsetMask) == tag && FoldedNameAt(bytes, at) == folded) return at;
    }
    return std::string::npos;
}

}  // namespace detail

// --- ProfileDocument ---------------------------------------------------------------------------

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
    base_ = std::move(bytes);
    if (!base_.empty()) pieces_.push_back(Piece{0, base_.size(), nullptr});
    baseIndex_.Build(base_);
}

void ProfileDocument::IndexKeys(Section& section) const {
    section.keys.clear();
    for (std::size_t i = 0; i < section.body.size(); ++i) {
        std::string k, v;
        if (ini::SplitKeyLine(section.body[i].text, k, v)) section.keys.emplace(Fold(k), i);
    }
}

ProfileDocument::Place ProfileDocument::Locate(const std::string& section) const {
    Load();
    const std::string folded = Fold(section);
    if (const auto it = named_.find(folded); it != named_.end()) return {it->second, std::string::npos};
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
    // Only this section's lines are taken apart, up to the next header.
    Section& s = store_.emplace_back();
    std::size_t end = pieceEnd;
    bool first = true;
    ini::ForEachLine(all.substr(at, pieceEnd - at), [&](std::string_view text, std::string_view eol) {
        if (first) {
            s.header = {std::string(text), std::string(eol)};
            first = false;
            return true;
        }
        std::string name;
        if (ini::HeaderName(text, name)) {
            end = static_cast<std::size_t>(text.data() - all.data());
            return false;
        }
        s.body.push_back({std::string(text), std::string(eol)});
        return true;
    });
    IndexKeys(s);
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

std::string ProfileDocument::GetString(const std::string& section, const std::string& key,
                                       const std::string& def, std::size_t bufferSize) const {
    if (bufferSize == 0) return {};
    std::string value;
    bool found = false;
    const Place place = Locate(section);
    if (const Section* s = place.section) {
        const auto k = s->keys.find(Fold(key));
        if (k != s->keys.end()) {
            std::string name;
            found = ini::SplitKeyLine(s->body[k->second].text, name, value);
        }
    } else if (place.raw != std::string::npos) {
        found = ini::ReadValue(std::string_view(base_).substr(place.raw), section, key, value);
    }
    return detail::ProfileValue(found ? &value : nullptr, def, bufferSize);
}

std::vector<std::string> ProfileDocument::GetSectionLines(const std::string& section) const {
    std::vector<std::string> out;
    const Place place = Locate(section);
    if (const Section* s = place.section) {
        for (const auto& line : s->body) {
            std::string entry;
            if (ini::SectionEntry(line.text, entry)) out.push_back(std::move(entry));
        }
    } else if (place.raw != std::string::npos) {
        out = ini::ReadSectionEntries(std::string_view(base_).substr(place.raw), section);
    }
    return out;
}

std::string ProfileDocument::GetSection(const std::string& section, std::size_t bufferSize) const {
    const Place place = Locate(section);
    if (!place.section && place.raw != std::string::npos) {
        return detail::ProfileSectionList(
            ini::ReadSectionEntries(std::string_view(base_).substr(place.raw), section, bufferSize),
            bufferSize);
    }
    return detail::ProfileSectionList(GetSectionLines(section), bufferSize);
}

void ProfileDocument::Changed() noexcept {
    dirty_ = true;
    written_ = true;
}

void ProfileDocument::EnsureLastLineEnded() {
    if (pieces_.empty()) return;
    Piece& last = pieces_.back();
    if (last.section) {
        Section& s = *last.section;
        ini::Line& line = s.body.empty() ? s.header : s.body.back();
        if (line.eol.empty()) line.eol = kCrLf;
        return;
    }
    // The bytes as read end the document: their last line gets its line end there.
    const char c = base_[last.end - 1];
    if (c != '\r' && c != '\n') {
        base_ += kCrLf;
        last.end = base_.size();
    }
}

ProfileDocument::Section& ProfileDocument::AppendSection(const std::string& section) {
    EnsureLastLineEnded();
    Section& s = store_.emplace_back();
    s.header = {"[" + ini::OneLine(TrimBlanks(section)) + "]", kCrLf};
    pieces_.push_back(Piece{std::string::npos, std::string::npos, &s});
    std::string name;
    ini::HeaderName(s.header.text, name);
    named_.emplace(Fold(name), &s);
    return s;
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
    const auto k = s.keys.find(Fold(key));
    if (k != s.keys.end()) {
        ini::Line& line = s.body[k->second];
        line.text = text;
        if (line.eol.empty()) line.eol = kCrLf;
    } else {
        // New keys go after the section's last non-blank line, so blank separators stay below;
        // only blank lines move, and they hold no keys.
        std::size_t at = s.body.size();
        while (at > 0 && IsBlankLine(s.body[at - 1])) --at;
        ini::Line& before = at > 0 ? s.body[at - 1] : s.header;
        if (before.eol.empty()) before.eol = kCrLf;
        s.body.insert(s.body.begin() + static_cast<std::ptrdiff_t>(at), ini::Line{text, kCrLf});
        std::string k2, v2;
        if (ini::SplitKeyLine(text, k2, v2)) s.keys.emplace(Fold(k2), at);
    }
    // A line that reads back as a section header splits the section: the document is taken
    // as its bytes again, as a reader of the file would see it.
    if (LooksLikeHeader(text)) Parse(Bytes());
}

void ProfileDocument::WriteSection(const std::string& section, const std::string& data) {
    Load();
    const std::vector<std::string> entries = detail::ProfileSectionData(data);
    Changed();
    Section* s = Editable(section);
    if (!s) {
        s = &AppendSection(section);
    } else {
        if (s->header.eol.empty()) s->header.eol = kCrLf;
        // Keep the blank lines that separate this section from the next one.
        std::size_t keepFrom = s->body.size();
        while (keepFrom > 0 && IsBlankLine(s->body[keepFrom - 1])) --keepFrom;
        s->body.erase(s->body.begin(), s->body.begin() + static_cast<std::ptrdiff_t>(keepFrom));
    }
    std::vector<ini::Line> add;
    add.reserve(entries.size());
    bool header = false;
    for (const auto& e : entries) {
        add.push_back({ini::OneLine(e), kCrLf});
        header = header || LooksLikeHeader(add.back().text);
    }
    s->body.insert(s->body.begin(), add.begin(), add.end());
    IndexKeys(*s);
    if (header) Parse(Bytes());
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
    const auto k = s.keys.find(Fold(key));
    if (k == s.keys.end()) return false;
    s.body.erase(s.body.begin() + static_cast<std::ptrdiff_t>(k->second));
    IndexKeys(s);
    Changed();
    return true;
}

bool ProfileDocument::DeleteSection(const std::string& section) {
    Load();
    const std::string want = Fold(section);
    bool any = false;
    std::string kept;
    const std::string_view all(base_);
    for (const Piece& p : pieces_) {
        if (p.section) {
            std::string name;
            ini::HeaderName(p.section->header.text, name);
            if (Fold(name) == want) {
                any = true;
                continue;
            }
            kept += p.section->header.text;
            kept += p.section->header.eol;
            for (const auto& l : p.section->body) {
                kept += l.text;
                kept += l.eol;
            }
            continue;
        }
        // A stretch begins at a header or at the top of the document, never inside a section.
        bool dropping = false;
        ini::ForEachLine(all.substr(p.begin, p.end - p.begin), [&](std::string_view text, std::string_view eol) {
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
    auto count = [&](const ini::Line& l) { n += l.text.size() + l.eol.size(); };
    for (const Piece& p : pieces_) {
        if (!p.section) {
            n += p.end - p.begin;
            continue;
        }
        count(p.section->header);
        for (const auto& l : p.section->body) count(l);
    }
    std::string out;
    out.reserve(n);
    auto put = [&](const ini::Line& l) {
        out += l.text;
        out += l.eol;
    };
    for (const Piece& p : pieces_) {
        if (!p.section) {
            out.append(base_, p.begin, p.end - p.begin);
            continue;
        }
        put(p.section->header);
        for (const auto& l : p.section->body) put(l);
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
