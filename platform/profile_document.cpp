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

}  // namespace

// --- ProfileDocument ---------------------------------------------------------------------------

ProfileDocument::ProfileDocument(std::string file) : file_(std::move(file)) {}

ProfileDocument ProfileDocument::FromBytes(std::string bytes, std::string file) {
    ProfileDocument doc(std::move(file));
    doc.Parse(bytes);
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
    Parse(bytes);
    loaded_ = true;
}

void ProfileDocument::Parse(const std::string& bytes) const {
    prelude_.clear();
    sections_.clear();
    ini::ForEachLine(bytes, [&](std::string_view text, std::string_view eol) {
        std::string name;
        ini::Line line{std::string(text), std::string(eol)};
        if (ini::HeaderName(text, name)) {
            sections_.push_back(Section{std::move(line), {}, {}});
        } else if (sections_.empty()) {
            prelude_.push_back(std::move(line));
        } else {
            sections_.back().body.push_back(std::move(line));
        }
        return true;
    });
    for (auto& s : sections_) IndexKeys(s);
    IndexSections();
}

void ProfileDocument::IndexKeys(Section& section) const {
    section.keys.clear();
    for (std::size_t i = 0; i < section.body.size(); ++i) {
        std::string k, v;
        if (ini::SplitKeyLine(section.body[i].text, k, v)) section.keys.emplace(Fold(k), i);
    }
}

void ProfileDocument::IndexSections() const {
    sectionIndex_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        std::string name;
        ini::HeaderName(sections_[i].header.text, name);
        sectionIndex_.emplace(Fold(name), i);
    }
}

const ProfileDocument::Section* ProfileDocument::Find(const std::string& section) const {
    Load();
    const auto it = sectionIndex_.find(Fold(section));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

std::string ProfileDocument::GetString(const std::string& section, const std::string& key,
                                       const std::string& def, std::size_t bufferSize) const {
    if (bufferSize == 0) return {};
    std::string value;
    bool found = false;
    if (const Section* s = Find(section)) {
        const auto k = s->keys.find(Fold(key));
        if (k != s->keys.end()) {
            std::string name;
            found = ini::SplitKeyLine(s->body[k->second].text, name, value);
        }
    }
    return detail::ProfileValue(found ? &value : nullptr, def, bufferSize);
}

std::vector<std::string> ProfileDocument::GetSectionLines(const std::string& section) const {
    std::vector<std::string> out;
    if (const Section* s = Find(section)) {
        for (const auto& line : s->body) {
            std::string entry;
            if (ini::SectionEntry(line.text, entry)) out.push_back(std::move(entry));
        }
    }
    return out;
}

std::string ProfileDocument::GetSection(const std::string& section, std::size_t bufferSize) const {
    return detail::ProfileSectionList(GetSectionLines(section), bufferSize);
}

void ProfileDocument::Changed() noexcept {
    dirty_ = true;
    written_ = true;
}

void ProfileDocument::EnsureLastLineEnded() {
    ini::Line* last = nullptr;
    if (!sections_.empty()) {
        last = sections_.back().body.empty() ? &sections_.back().header : &sections_.back().body.back();
    } else if (!prelude_.empty()) {
        last = &prelude_.back();
    }
    if (last && last->eol.empty()) last->eol = kCrLf;
}

ProfileDocument::Section& ProfileDocument::AppendSection(const std::string& section) {
    EnsureLastLineEnded();
    sections_.push_back(Section{{"[" + ini::OneLine(TrimBlanks(section)) + "]", kCrLf}, {}, {}});
    std::string name;
    ini::HeaderName(sections_.back().header.text, name);
    sectionIndex_.emplace(Fold(name), sections_.size() - 1);
    return sections_.back();
}

template <class Edit>
void ProfileDocument::EditAsLines(Edit edit) {
    ini::Document lines = ini::Document::Parse(Bytes());
    edit(lines);
    Parse(lines.Serialize());
    Changed();
}

void ProfileDocument::WriteString(const std::string& section, const std::string& key,
                                  const std::string& value) {
    Load();
    // The value ends at its first NUL, as the services write it.
    const std::string cut = value.substr(0, value.find('\0'));
    const std::string text = ini::OneLine(TrimBlanks(key)) + "=" + ini::OneLine(cut);
    if (LooksLikeHeader(text)) {
        EditAsLines([&](ini::Document& d) { d.SetValue(section, key, cut); });
        return;
    }
    Changed();
    const auto it = sectionIndex_.find(Fold(section));
    Section& s = it == sectionIndex_.end() ? AppendSection(section) : sections_[it->second];
    const auto k = s.keys.find(Fold(key));
    if (k != s.keys.end()) {
        ini::Line& line = s.body[k->second];
        line.text = text;
        if (line.eol.empty()) line.eol = kCrLf;
        return;
    }
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

void ProfileDocument::WriteSection(const std::string& section, const std::string& data) {
    Load();
    const std::vector<std::string> entries = detail::ProfileSectionData(data);
    for (const auto& e : entries) {
        if (LooksLikeHeader(ini::OneLine(e))) {
            EditAsLines([&](ini::Document& d) { d.ReplaceSection(section, entries); });
            return;
        }
    }
    Changed();
    const auto it = sectionIndex_.find(Fold(section));
    Section* s = nullptr;
    if (it == sectionIndex_.end()) {
        s = &AppendSection(section);
    } else {
        s = &sections_[it->second];
        if (s->header.eol.empty()) s->header.eol = kCrLf;
        // Keep the blank lines that separate this section from the next one.
        std::size_t keepFrom = s->body.size();
        while (keepFrom > 0 && IsBlankLine(s->body[keepFrom - 1])) --keepFrom;
        s->body.erase(s->body.begin(), s->body.begin() + static_cast<std::ptrdiff_t>(keepFrom));
    }
    std::vector<ini::Line> add;
    add.reserve(entries.size());
    for (const auto& e : entries) add.push_back({ini::OneLine(e), kCrLf});
    s->body.insert(s->body.begin(), add.begin(), add.end());
    IndexKeys(*s);
}

bool ProfileDocument::DeleteKey(const std::string& section, const std::string& key) {
    Load();
    const auto it = sectionIndex_.find(Fold(section));
    if (it == sectionIndex_.end()) return false;
    Section& s = sections_[it->second];
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
    const auto before = sections_.size();
    std::erase_if(sections_, [&](const Section& s) {
        std::string name;
        ini::HeaderName(s.header.text, name);
        return Fold(name) == want;
    });
    if (sections_.size() == before) return false;
    IndexSections();
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
    for (const auto& l : prelude_) count(l);
    for (const auto& s : sections_) {
        count(s.header);
        for (const auto& l : s.body) count(l);
    }
    std::string out;
    out.reserve(n);
    auto put = [&](const ini::Line& l) {
        out += l.text;
        out += l.eol;
    };
    for (const auto& l : prelude_) put(l);
    for (const auto& s : sections_) {
        put(s.header);
        for (const auto& l : s.body) put(l);
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

ProfileReader::ProfileReader(std::string bytes) : bytes_(std::move(bytes)) {
    // Every header is indexed, however many a hostile request holds: a fixed-size entry per
    // header keeps the index a small multiple of the document, and no read has to scan it.
    const std::string_view all(bytes_);
    ini::ForEachLine(all, [&](std::string_view text, std::string_view) {
        std::string name;
        if (!ini::HeaderName(text, name)) return true;
        const auto at = static_cast<std::size_t>(text.data() - all.data());
        if (!sections_.empty()) sections_.back().end = at;
        sections_.push_back({std::hash<std::string>{}(Fold(name)), at, all.size()});
        return true;
    });
    std::stable_sort(sections_.begin(), sections_.end(),
                     [](const Section& a, const Section& b) { return a.hash < b.hash; });
}

std::string_view ProfileReader::SectionBytes(const std::string& section) const {
    const std::string folded = Fold(section);
    const std::size_t hash = std::hash<std::string>{}(folded);
    auto it = std::lower_bound(sections_.begin(), sections_.end(), hash,
                               [](const Section& s, std::size_t h) { return s.hash < h; });
    // Entries of one hash stay in document order, so the first whose name matches is the
    // first section of that name.
    const std::string_view all(bytes_);
    for (; it != sections_.end() && it->hash == hash; ++it) {
        const std::string_view body = all.substr(it->begin, it->end - it->begin);
        std::string name;
        ini::HeaderName(body.substr(0, body.find_first_of("\r\n")), name);
        if (Fold(name) == folded) return body;
    }
    return {};
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
