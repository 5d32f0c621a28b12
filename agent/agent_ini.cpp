#include "agent/agent_ini.h"

#include <unistd.h>

#include <cctype>
#include <vector>

#include "platform/error.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace zel::agent {
namespace {

bool IsSep(char c) { return c == '\\' || c == '/'; }

bool IsDrivePrefix(const std::string& p) {
    return p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]));
}

bool IsUnc(const std::string& p) { return p.size() >= 2 && IsSep(p[0]) && IsSep(p[1]); }

struct SplitPath {
    std::string root;  // "X:\", "\\host\share\" or "/"; empty for a relative path
    char sep = '\\';
    std::vector<std::string> parts;
};

void AppendParts(const std::string& s, std::size_t from, std::vector<std::string>& parts) {
    std::string cur;
    auto flush = [&] {
        if (cur.empty() || cur == ".") {
        } else if (cur == "..") {
            if (!parts.empty()) parts.pop_back();
        } else {
            parts.push_back(cur);
        }
        cur.clear();
    };
    for (std::size_t i = from; i < s.size(); ++i) {
        if (IsSep(s[i]))
            flush();
        else
            cur += s[i];
    }
    flush();
}

SplitPath Split(const std::string& p) {
    SplitPath out;
    std::size_t from = 0;
    if (IsUnc(p)) {
        // Host and share form the root; ".." never climbs above them.
        std::vector<std::string> hostShare;
        std::size_t i = 2;
        for (int n = 0; n < 2 && i <= p.size(); ++n) {
            std::size_t j = i;
            while (j < p.size() && !IsSep(p[j])) ++j;
            if (j > i) hostShare.push_back(p.substr(i, j - i));
            i = j + 1;
        }
        out.root = "\\\\";
        for (const auto& h : hostShare) out.root += h + "\\";
        from = std::min(i, p.size());
    } else if (IsDrivePrefix(p)) {
        out.root = p.substr(0, 2) + "\\";
        from = 2;
    } else if (!p.empty() && p[0] == '/') {
        out.root = "/";
        out.sep = '/';
        from = 1;
    }
    AppendParts(p, from, out.parts);
    return out;
}

std::string Join(const SplitPath& s, bool trailing) {
    std::string out = s.root;
    for (std::size_t i = 0; i < s.parts.size(); ++i) {
        if (i) out += s.sep;
        out += s.parts[i];
    }
    if (trailing && !s.parts.empty()) out += s.sep;
    return out;
}

}  // namespace

namespace {
// Where the extension of the last component starts; the path's end when it has none.
std::size_t ExtensionStart(const std::string& path) {
    const std::size_t nameStart = path.size() - platform::FileNamePart(path).size();
    const std::size_t dot = path.find_last_of('.');
    return dot == std::string::npos || dot < nameStart ? path.size() : dot;
}
}  // namespace

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    return path.substr(0, ExtensionStart(path)) + ext;
}

std::string ExtractFileExt(const std::string& path) { return path.substr(ExtensionStart(path)); }

std::string AgentIniPath(const std::string& programPath) {
    return ChangeFileExt(programPath, ".INI");
}

bool IsAbsolutePath(const std::string& p) {
    return IsUnc(p) || (IsDrivePrefix(p) && p.size() >= 3 && IsSep(p[2])) ||
           (!p.empty() && p[0] == '/');
}

std::string ExpandFileName(const std::string& path, const std::string& base) {
    bool trailing = !path.empty() && IsSep(path.back());
    if (IsAbsolutePath(path) || IsDrivePrefix(path)) return Join(Split(path), trailing);
    SplitPath b = Split(base);
    if (!path.empty() && IsSep(path[0])) {
        b.parts.clear();  // root of base's drive or share
        AppendParts(path, 1, b.parts);
    } else {
        AppendParts(path, 0, b.parts);
    }
    return Join(b, trailing || path.empty());
}

std::string IncludeTrailingBackslash(const std::string& folder) {
    if (!folder.empty() && IsSep(folder.back())) return folder;
    return folder + "\\";
}

std::string CurrentFolder() {
    std::vector<char> buf(4096);
    if (!::getcwd(buf.data(), buf.size())) return "Z:\\";
    return platform::WindowsPath(buf.data());
}

std::string AgentIni::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
    return platform::GetProfileString(section, key, def, ini::kValueBuffer, path_);
}

void AgentIni::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) const {
    if (!platform::WriteProfileString(section, key, value, path_))
        throw platform::RuntimeError(platform::err::kPathFileAccess, "WriteString",
                                     "Unable to write to " + path_);
}

}  // namespace zel::agent
