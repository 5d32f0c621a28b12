#pragma once
// Per-user settings store, kept as ${XDG_CONFIG_HOME:-$HOME/.config}/<Application>/settings.ini,
// one INI section per settings section (e.g. "Distributor\Settings\Connection"), keys without
// regard to case.
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"

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

// How long the store's locks wait for another program's hold before the operation fails with
// error 70 naming the lock: an instance stopped while it holds one must not stop every other
// instance on the store. A hold lasts a read and a write of the store, well below this.
inline constexpr std::chrono::milliseconds kSettingsLockWait = std::chrono::seconds(20);
// The wait in force (kSettingsLockWait unless a test shortened it); returns the one replaced.
std::chrono::milliseconds SetSettingsLockWait(std::chrono::milliseconds wait);
std::chrono::milliseconds SettingsLockWait();

// One of the locks beside the store of `appName` (its file is the store's path followed by
// `ending`), held for the life of the object across the programs sharing the store, waited for
// as the store's own lock is. Callers that read values and write what follows from them (a
// counter moved on) hold it across the read and the write.
class SettingsLock {
public:
    SettingsLock(const std::string& appName, const std::string& ending);

private:
    ScopedFileLock lock_;
};

// Native path of the store file of an application (for tests and diagnostics).
std::string SettingsFilePath(const std::string& appName);

}  // namespace zel::platform
