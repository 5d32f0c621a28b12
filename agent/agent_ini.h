#pragma once
// The agent's settings file and the path arithmetic its settings need. Paths keep the Windows
// form used everywhere in the system ("Z:\...", "\\host\share\..."); platform/ maps them.
#include <cstddef>
#include <string>

namespace zel::agent {

// Section and key names of the settings file.
namespace ini {
inline constexpr const char* kAgentCore = "AGENT CORE";
inline constexpr const char* kPlugIn = "AGENT PLUG-IN";
inline constexpr const char* kProxy = "PROXY";
inline constexpr const char* kDocTypeDir = "DocTypeDir";
inline constexpr const char* kDocTypeExt = "DocTypeExt";
inline constexpr const char* kWorkingDir = "WorkingDir";
inline constexpr const char* kSubscriptionUrl = "SubscriptionURL";
// Values of the settings file and of documents are read through a buffer of this size, as
// the settings-file class of the original program did.
inline constexpr std::size_t kValueBuffer = 2048;
}  // namespace ini

// The path with its extension (from the last dot of the last component) replaced by `ext`;
// a name without an extension gets `ext` appended.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

// The extension of the last component, from its last dot ("" when it has none).
std::string ExtractFileExt(const std::string& path);

// The settings file of a program: its own path with the extension replaced by ".INI".
std::string AgentIniPath(const std::string& programPath);

// True for "X:\...", "\\host\share\..." and native "/..." paths.
bool IsAbsolutePath(const std::string& path);

// `path` made absolute against the folder `base` (itself absolute): "." and ".." are resolved,
// a leading single backslash means the root of base's drive or share, and a trailing
// separator is kept. Absolute paths are only cleaned.
std::string ExpandFileName(const std::string& path, const std::string& base);

// `folder` with one backslash at its end.
std::string IncludeTrailingBackslash(const std::string& folder);

// The process's current folder in Windows form.
std::string CurrentFolder();

// One settings file, opened, read or written, and closed by each access.
class AgentIni {
public:
    explicit AgentIni(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const noexcept { return path_; }

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def = "") const;
    // Throws RuntimeError when the file cannot be written.
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) const;

private:
    std::string path_;
};

}  // namespace zel::agent
