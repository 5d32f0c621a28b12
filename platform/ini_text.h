#pragma once
// The in-memory form of one INI document that the profile services edit. Each line keeps its
// own bytes and line end, so lines an edit does not touch are written back byte for byte.
#include <string>
#include <string_view>
#include <vector>

namespace zel::platform::ini {

struct Line {
    std::string text;  // without the line end
    std::string eol;   // "\r\n", "\n", "\r" or "" (last line without one)
};

class Document {
public:
    static Document Parse(const std::string& bytes);
    std::string Serialize() const;

    // Index of the first section header named `section` (any case), or -1.
    long FindSection(const std::string& section) const;
    // [begin, end) of the body lines of the section whose header is at `header`.
    std::size_t BodyEnd(std::size_t header) const;
    // Index of the first line of the body holding `key`, or -1.
    long FindKey(std::size_t header, const std::string& key) const;

    void SetValue(const std::string& section, const std::string& key, const std::string& value);
    bool DeleteKey(const std::string& section, const std::string& key);
    // Removes every section for which `match(name)` is true; true when any went.
    template <class Pred>
    bool DeleteSections(Pred match);
    void ReplaceSection(const std::string& section, const std::vector<std::string>& entries);

    std::vector<Line> lines;

private:
    void EnsureLastLineEnded();
    std::size_t AppendSection(const std::string& section);
};

// Reads straight from the bytes of a document, holding no more than the answer: a document
// of millions of short lines (a hostile request) costs one pass and no memory per line.
bool ReadValue(std::string_view bytes, const std::string& section, const std::string& key,
               std::string& value);
// Body lines holding content, as "key=value" (blanks around both trimmed) or the trimmed line
// for lines without '='. Collecting stops once the entries hold more than `enoughChars`
// characters counting one separator each.
std::vector<std::string> ReadSectionEntries(std::string_view bytes, const std::string& section,
                                            std::size_t enoughChars = std::string::npos);
std::vector<std::string> ReadSectionNames(std::string_view bytes);
// The entry a section list holds for one body line (as ReadSectionEntries gives it); false for
// a line that gives none (a comment, a blank line, a line empty up to a NUL).
bool SectionEntry(std::string_view text, std::string& entry);
// Values and keys may come from business data; a line break inside one would inject lines
// into the document, so they are written as blanks.
std::string OneLine(const std::string& s);

// Calls fn(text, eol) for each line of `bytes`; fn returns false to stop. A line ends with
// CR LF, LF, or a CR alone (documents from systems that end lines that way); values written
// here never hold a CR or LF, so a lone CR is never part of one.
template <class Fn>
void ForEachLine(std::string_view bytes, Fn fn) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", i);
        if (end == std::string_view::npos) {
            fn(bytes.substr(i), std::string_view());
            return;
        }
        std::size_t next = end + 1;
        if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') ++next;
        if (!fn(bytes.substr(i, end - i), bytes.substr(end, next - end))) return;
        i = next;
    }
}

// Blank-trimmed header name if `text` is a section header line; the view form points into
// `text`, for readers that compare it where it stands.
bool HeaderName(std::string_view text, std::string& name);
// Inline: the document's index compares every header of a document of millions.
inline bool HeaderName(std::string_view text, std::string_view& name) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t i = 0;
    while (i < text.size() && blank(text[i])) ++i;
    if (i >= text.size() || text[i] != '[') return false;
    const auto close = text.find(']', i + 1);
    if (close == std::string_view::npos) return false;
    std::size_t b = i + 1, e = close;
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    name = text.substr(b, e - b);
    return true;
}
bool SplitKeyLine(std::string_view text, std::string& key, std::string& value);

template <class Pred>
bool Document::DeleteSections(Pred match) {
    bool any = false;
    std::size_t i = 0;
    while (i < lines.size()) {
        std::string name;
        if (HeaderName(lines[i].text, name) && match(name)) {
            std::size_t end = BodyEnd(i);
            lines.erase(lines.begin() + static_cast<long>(i),
                        lines.begin() + static_cast<long>(end));
            any = true;
        } else {
            ++i;
        }
    }
    return any;
}

}  // namespace zel::platform::ini
