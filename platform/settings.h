#pragma once
// Per-user settings store, kept as ${XDG_CONFIG_HOME:-$HOME/.config}/<Application>/settings.ini,
// one INI section per settings section (e.g. "Distributor\Settings\Connection"), keys without
// regard to case.
#include <string>

namespace zel::platform {

std::string GetSetting(const std::string& appName, const std::string& section,
                       const std::string& key, const std::string& def = "");
// Throws RuntimeError when the store cannot be written.
void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                 const std::string& value);
// Deletes the section and the sections below it ("A\B" also removes "A\B\C"); its siblings
// and parent stay. Deleting what is not there is not an error.
void DeleteSetting(const std::string& appName, const std::string& section);
void DeleteSetting(const std::string& appName, const std::string& section,
                   const std::string& key);

// Native path of the store file of an application (for tests and diagnostics).
std::string SettingsFilePath(const std::string& appName);

}  // namespace zel::platform
