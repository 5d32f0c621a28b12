#pragma once
// The agent's settings file and the path arithmetic its settings need. Paths keep the Windows
// form used everywhere in the system ("Z:\...", "\\host\share\..."); platform/ maps them.
#include <cstddef>
#include <string>

#include "platform/paths.h"

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

// Path arithmetic of the settings lives with the other Windows-form path helpers.
using platform::ChangeFileExt;
using platform::CurrentFolder;
using platform::ExpandFileName;
using platform::ExtractFileExt;
using platform::IncludeTrailingBackslash;
using platform::IsAbsolutePath;

// The settings file of a program: its own path with the extension replaced by ".INI".
std::string AgentIniPath(const std::string& programPath);

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
