#include "agent/agent_ini.h"

#include "platform/error.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace zel::agent {

std::string AgentIniPath(const std::string& programPath) {
    return ChangeFileExt(programPath, ".INI");
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
