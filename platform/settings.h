#pragma once
// Per-user settings store, kept as ${XDG_CONFIG_HOME:-$HOME/.config}/<Application>/settings.ini,
// one INI section per settings section (e.g. "Distributor\Settings\Connection"), keys without
// regard to case.
#include <string>
#include <utility>
#include <vector>

namespace zel::platform {

std::string GetSetting(const std::string& appName, const std::string& section,
                       const std::string& key, const std::string& def = "");
// Throws RuntimeError when the store cannot be written.
void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                 const std::string& value);
// Several values of one section, each as GetSetting would give it, from one read of the store.
std::vector<std::string> GetSettings(const std::string& appName, const std::string& section,
                                     const std::vector<std::string>& keys, const std::string& def);
// Several keys of one section saved in one forced write of the store.
void SaveSettings(const std::string& appName, const std::string& section,
                  const std::vector<std::pair<std::string, std::string>>& values);
// Deletes the section and the sections below it ("A\B" also removes "A\B\C"); its siblings
// and parent stay. Deleting what is not there is not an error.
void DeleteSetting(const std::string& appName, const std::string& section);
void DeleteSetting(const std::string& appName, const std::string& section, const std::string& key);

// Native path of the store file of an application (for tests and diagnostics).
std::string SettingsFilePath(const std::string& appName);

}  // namespace zel::platform
