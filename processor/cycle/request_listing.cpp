#include "processor/cycle/request_listing.h"

#include <map>

#include "platform/convert.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace zel::processor {

bool IsWindowsFileName(const std::string& name) {
    if (name.empty()) return false;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f) return false;
        switch (c) {
            case '\\':
            case '/':
            case ':':
            case '*':
            case '?':
            case '"':
            case '<':
            case '>':
            case '|': return false;
            default: break;
        }
    }
    return true;
}

std::vector<std::string> RequestsOfThisPass(const std::string& folder,
                                            const std::vector<std::string>& names,
                                            std::set<std::string>& waiting) {
    std::map<std::string, int> sameName;
    for (const auto& name : names)
        if (IsWindowsFileName(name)) ++sameName[platform::LowerCase(name)];

    std::vector<std::string> out;
    std::set<std::string> taken;
    for (const auto& name : names) {
        if (!IsWindowsFileName(name)) continue;
        const std::string path = platform::JoinPath(folder, name);
        if (!platform::IsRegularFile(path)) continue;
        const std::string lower = platform::LowerCase(name);
        if (!taken.insert(lower).second) continue;  // one of the same name per pass
        const std::string answered = platform::LowerCase(path);
        if (waiting.count(lower)) {
            if (platform::FileExists(answered + ".1") || platform::FileExists(answered + ".2"))
                continue;
        }
        if (sameName[lower] > 1) {
            waiting.insert(lower);
        } else {
            waiting.erase(lower);
        }
        out.push_back(name);
    }
    return out;
}

}  // namespace zel::processor
