#include "platform/paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/convert.h"
#include "platform/error.h"
#include "platform/folder_index.h"

namespace zel::platform {
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

std::vector<std::string> SplitComponents(const std::string& s, std::size_t from) {
    std::vector<std::string> out;
    std::string cur;
    for (std::size_t i = from; i < s.size(); ++i) {
        if (IsSep(s[i])) {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
        } else {
            cur += s[i];
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

[[noreturn]] void Unmappable(const std::string& path, const std::string& why) {
    throw RuntimeError(err::kPathNotFound, "NativePath",
                       "Path not found: " + path + " (" + why + ")");
}

bool Exists(const std::string& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

// Finds `name` in folder `dir` without regard to case; the exact spelling wins.
bool MatchComponent(const std::string& dir, const std::string& name, std::string& found) {
    std::string exact = dir == "/" ? "/" + name : dir + "/" + name;
    if (Exists(exact)) {
        found = name;
        return true;
    }
    return detail::FindNameWithoutCase(dir, name, found);
}

std::string Resolve(std::string root, const std::vector<std::string>& comps) {
    // Lexical "." and "..", never above the root, so a request path cannot climb out of it.
    std::vector<std::string> clean;
    for (const auto& c : comps) {
        if (c == ".") continue;
        if (c == "..") {
            if (!clean.empty()) clean.pop_back();
            continue;
        }
        clean.push_back(c);
    }
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    std::string cur = root;
    bool existing = true;
    for (const auto& c : clean) {
        std::string name = c;
        if (existing) {
            std::string found;
            if (MatchComponent(cur, c, found))
                name = found;
            else
                existing = false;
        }
        cur = (cur == "/") ? "/" + name : cur + "/" + name;
    }
    return cur;
}

}  // namespace

// As Windows does, the last component of a path loses its trailing blanks and periods unless
// the path ends in a separator: "\\srv\QMRLINK\DB\PARTIAB " names the file "PARTIAB". "." and
// ".." keep theirs; a last component of nothing but blanks and periods goes away.
std::string DropTrailingBlanksAndPeriods(const std::string& path) {
    if (path.empty() || IsSep(path.back())) return path;
    const std::size_t start = path.find_last_of("\\/") + 1;  // npos + 1 == 0
    const std::string last = path.substr(start);
    if (last == "." || last == "..") return path;
    const std::size_t keep = last.find_last_not_of(" .");
    return path.substr(0, keep == std::string::npos ? start : start + keep + 1);
}

std::string NativePath(const std::string& windowsPath) {
    if (windowsPath.empty()) Unmappable(windowsPath, "empty path");
    if (windowsPath[0] == '/' && !(windowsPath.size() >= 2 && IsSep(windowsPath[1])))
        return Resolve("/", SplitComponents(windowsPath, 1));
    const std::string w = DropTrailingBlanksAndPeriods(windowsPath);
    if (w.empty()) Unmappable(windowsPath, "no name left");
    if (w.size() >= 2 && IsSep(w[0]) && IsSep(w[1])) {
        const char* root = std::getenv("ZEL_UNC_ROOT");
        if (!root || !*root) Unmappable(w, "ZEL_UNC_ROOT is not set");
        auto comps = SplitComponents(w, 2);
        if (comps.empty()) Unmappable(w, "no host name");
        return Resolve(root, comps);
    }
    if (w.size() >= 2 && w[1] == ':' && std::isalpha(static_cast<unsigned char>(w[0]))) {
        char letter = UpperCase(w[0]);
        std::string root;
        if (letter == 'Z') {
            root = "/";
        } else {
            std::string var = std::string("ZEL_DRIVE_") + letter;
            const char* r = std::getenv(var.c_str());
            if (!r || !*r) Unmappable(w, "drive " + std::string(1, letter) + ": is not mapped");
            root = r;
        }
        return Resolve(root, SplitComponents(w, 2));
    }
    // Relative: below the current folder, with backslashes as separators.
    std::string out;
    for (char c : w) out += (c == '\\') ? '/' : c;
    return out;
}

std::string WindowsPath(const std::string& nativePath) {
    const char* root = std::getenv("ZEL_UNC_ROOT");
    std::string p = nativePath;
    if (root && *root) {
        std::string r = root;
        while (r.size() > 1 && r.back() == '/') r.pop_back();
        if (p.size() > r.size() && p.compare(0, r.size(), r) == 0 && p[r.size()] == '/') {
            std::string rest = p.substr(r.size());
            for (char& c : rest)
                if (c == '/') c = '\\';
            return "\\" + rest;
        }
    }
    if (!p.empty() && p[0] == '/') {
        for (char& c : p)
            if (c == '/') c = '\\';
        return "Z:" + p;
    }
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (IsSep(folder.back())) return folder + name;
    return folder + "\\" + name;
}

std::string FileNamePart(const std::string& path) {
    auto pos = path.find_last_of("\\/");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string FolderPart(const std::string& path) {
    auto pos = path.find_last_of("\\/");
    return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

namespace {
// Where the extension of the last component starts; the path's end when it has none.
std::size_t ExtensionStart(const std::string& path) {
    const std::size_t nameStart = path.size() - FileNamePart(path).size();
    const std::size_t dot = path.find_last_of('.');
    return dot == std::string::npos || dot < nameStart ? path.size() : dot;
}
}  // namespace

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    return path.substr(0, ExtensionStart(path)) + ext;
}

std::string ExtractFileExt(const std::string& path) { return path.substr(ExtensionStart(path)); }

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
    return WindowsPath(buf.data());
}

}  // namespace zel::platform
