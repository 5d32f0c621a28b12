#pragma once
// The in-memory form of one INI document that the profile services edit. Each line keeps its
// own bytes and line end, so lines an edit does not touch are written back byte for byte.
#include <string>
#include <vector>

namespace zel::platform::ini {

struct Line {
    std::string text;  // without the line end
    std::string eol;   // "\r\n", "\n" or "" (last line without one)
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

    std::vector<std::string> SectionNames() const;
    // Body lines holding content, as "key=value" (blanks around both trimmed) or the trimmed
    // line for lines without '='.
    std::vector<std::string> SectionEntries(const std::string& section) const;
    bool GetValue(const std::string& section, const std::string& key, std::string& value) const;

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

// Blank-trimmed header name if `text` is a section header line.
bool HeaderName(const std::string& text, std::string& name);
bool SplitKeyLine(const std::string& text, std::string& key, std::string& value);
std::string Trim(const std::string& s);
bool EqualNoCase(const std::string& a, const std::string& b);

template <class Pred>
bool Document::DeleteSections(Pred match) {
    bool any = false;
    std::size_t i = 0;
    while (i < lines.size()) {
        std::string name;
        if (HeaderName(lines[i].text, name) && match(name)) {
            std::size_t end = BodyEnd(i);
            lines.erase(lines.begin() + static_cast<long>(i), lines.begin() + static_cast<long>(end));
            any = true;
        } else {
            ++i;
        }
    }
    return any;
}

}  // namespace zel::platform::ini
