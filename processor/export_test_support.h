#pragma once
// Test support: documents and export files read back line by line.
#include <string>
#include <vector>

namespace zel::processor::testing {

// The lines of a text whose lines end with CR LF. A last line without its CR LF comes back
// marked "<unended>", so a test sees a file that was cut short.
inline std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back("<unended>" + text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

}  // namespace zel::processor::testing
