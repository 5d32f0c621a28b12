#include "platform/ini_text.h"

#include "platform/convert.h"

namespace zel::platform::ini {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::string OneLine(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

bool HeaderName(std::string_view text, std::string& name) {
    std::string_view view;
    if (!HeaderName(text, view)) return false;
    name = view;
    return true;
}

bool SplitKeyLine(std::string_view text, std::string& key, std::string& value) {
    auto eq = text.find('=');
    if (eq == std::string_view::npos) return false;
    key = TrimBlanks(text.substr(0, eq));
    if (!key.empty() && key[0] == ';') return false;
    value = TrimBlanks(text.substr(eq + 1));
    return true;
}

namespace {

// Calls fn(text) for each body line of the first section named `section`.
template <class Fn>
void ForEachBodyLine(std::string_view bytes, const std::string& section, Fn fn) {
    const std::string want = TrimBlanks(section);
    enum { Before, Inside } state = Before;
    ForEachLine(bytes, [&](std::string_view text, std::string_view) {
        std::string name;
        if (HeaderName(text, name)) {
            if (state == Inside) return false;
            if (SameTextNoCase(name, want)) state = Inside;
            return true;
        }
        return state == Before || fn(text);
    });
}

}  // namespace

bool ReadValue(std::string_view bytes, const std::string& section, const std::string& key,
               std::string& value) {
    const std::string want = TrimBlanks(key);
    bool found = false;
    ForEachBodyLine(bytes, section, [&](std::string_view text) {
        std::string k, v;
        if (SplitKeyLine(text, k, v) && SameTextNoCase(k, want)) {
            value = std::move(v);
            found = true;
        }
        return !found;
    });
    return found;
}

bool SectionEntry(std::string_view text, std::string& entry) {
    std::string k, v;
    if (SplitKeyLine(text, k, v)) {
        entry = k + "=" + v;
    } else {
        entry = TrimBlanks(text);
        if (!entry.empty() && entry[0] == ';') return false;
    }
    // The list separates its strings with NULs and ends at an empty one: a NUL inside a line
    // ends that string, and a line that is empty up to it is left out, so no later key of the
    // section is lost.
    if (auto nul = entry.find('\0'); nul != std::string::npos) entry.resize(nul);
    return !entry.empty();
}

std::vector<std::string> ReadSectionEntries(std::string_view bytes, const std::string& section,
                                            std::size_t enoughChars) {
    std::vector<std::string> out;
    std::size_t chars = 0;
    ForEachBodyLine(bytes, section, [&](std::string_view text) {
        std::string entry;
        if (!SectionEntry(text, entry)) return true;
        out.push_back(std::move(entry));
        chars += out.back().size() + 1;
        return chars <= enoughChars;
    });
    return out;
}

std::vector<std::string> ReadSectionNames(std::string_view bytes) {
    std::vector<std::string> out;
    ForEachLine(bytes, [&](std::string_view text, std::string_view) {
        std::string name;
        if (HeaderName(text, name)) out.push_back(std::move(name));
        return true;
    });
    return out;
}

Document Document::Parse(const std::string& bytes) {
    Document d;
    ForEachLine(bytes, [&](std::string_view text, std::string_view eol) {
        d.lines.push_back({std::string(text), std::string(eol)});
        return true;
    });
    return d;
}

std::string Document::Serialize() const {
    std::string out;
    std::size_t n = 0;
    for (const auto& l : lines) n += l.text.size() + l.eol.size();
    out.reserve(n);
    for (const auto& l : lines) {
        out += l.text;
        out += l.eol;
    }
    return out;
}

long Document::FindSection(const std::string& section) const {
    std::string want = TrimBlanks(section);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (HeaderName(lines[i].text, name) && SameTextNoCase(name, want))
            return static_cast<long>(i);
    }
    return -1;
}

std::size_t Document::BodyEnd(std::size_t header) const {
    std::size_t i = header + 1;
    std::string name;
    while (i < lines.size() && !HeaderName(lines[i].text, name)) ++i;
    return i;
}

long Document::FindKey(std::size_t header, const std::string& key) const {
    std::string want = TrimBlanks(key);
    std::size_t end = BodyEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        std::string k, v;
        if (SplitKeyLine(lines[i].text, k, v) && SameTextNoCase(k, want))
            return static_cast<long>(i);
    }
    return -1;
}

void Document::EnsureLastLineEnded() {
    if (!lines.empty() && lines.back().eol.empty()) lines.back().eol = "\r\n";
}

std::size_t Document::AppendSection(const std::string& section) {
    EnsureLastLineEnded();
    lines.push_back({"[" + OneLine(TrimBlanks(section)) + "]", "\r\n"});
    return lines.size() - 1;
}

void Document::SetValue(const std::string& section, const std::string& key,
                        const std::string& value) {
    std::string text = OneLine(TrimBlanks(key)) + "=" + OneLine(value);
    long h = FindSection(section);
    if (h < 0) {
        AppendSection(section);
        lines.push_back({text, "\r\n"});
        return;
    }
    long k = FindKey(static_cast<std::size_t>(h), key);
    if (k >= 0) {
        auto& l = lines[static_cast<std::size_t>(k)];
        l.text = text;
        if (l.eol.empty()) l.eol = "\r\n";
        return;
    }
    // New keys go after the section's last non-blank line, so blank separators stay below.
    std::size_t end = BodyEnd(static_cast<std::size_t>(h));
    std::size_t at = end;
    while (at > static_cast<std::size_t>(h) + 1 && TrimBlanks(lines[at - 1].text).empty()) --at;
    if (at > 0 && lines[at - 1].eol.empty()) lines[at - 1].eol = "\r\n";
    lines.insert(lines.begin() + static_cast<long>(at), Line{text, "\r\n"});
}

bool Document::DeleteKey(const std::string& section, const std::string& key) {
    long h = FindSection(section);
    if (h < 0) return false;
    long k = FindKey(static_cast<std::size_t>(h), key);
    if (k < 0) return false;
    lines.erase(lines.begin() + k);
    return true;
}

void Document::ReplaceSection(const std::string& section, const std::vector<std::string>& entries) {
    long h = FindSection(section);
    std::size_t header;
    if (h < 0) {
        header = AppendSection(section);
    } else {
        header = static_cast<std::size_t>(h);
        if (lines[header].eol.empty()) lines[header].eol = "\r\n";
        std::size_t end = BodyEnd(header);
        // Keep the blank lines that separate this section from the next one.
        std::size_t keepFrom = end;
        while (keepFrom > header + 1 && TrimBlanks(lines[keepFrom - 1].text).empty()) --keepFrom;
        lines.erase(lines.begin() + static_cast<long>(header + 1),
                    lines.begin() + static_cast<long>(keepFrom));
    }
    std::vector<Line> add;
    for (const auto& e : entries) add.push_back({OneLine(e), "\r\n"});
    lines.insert(lines.begin() + static_cast<long>(header + 1), add.begin(), add.end());
}

}  // namespace zel::platform::ini
