#include "platform/settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/convert.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/ini_text.h"

namespace zel::platform {
namespace {

std::mutex& StoreMutex() {
    static std::mutex m;
    return m;
}

std::chrono::milliseconds& LockWait() {
    static std::chrono::milliseconds wait = kSettingsLockWait;
    return wait;
}

std::string ConfigHome() {
    const char* x = std::getenv("XDG_CONFIG_HOME");
    if (x && *x) return x;
    const char* h = std::getenv("HOME");
    return std::string(h && *h ? h : "/tmp") + "/.config";
}

bool MakeParents(const std::string& path) {
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '/') continue;
        std::string part = path.substr(0, i);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// The store is read and replaced whole under one lock, so a bump of a counter (read, add,
// save) cannot interleave with another writer inside a single call. Writes are forced to disk:
// counters and numbers handed out must not come back after a power loss.
template <class Edit>
void Modify(const std::string& app, Edit edit) {
    std::lock_guard<std::mutex> lock(StoreMutex());
    std::string path = SettingsFilePath(app);
    if (!MakeParents(path))
        throw RuntimeError(err::kPathFileAccess, "SaveSetting",
                           "Cannot create the folder of " + path);
    // Two programs (or a restarted instance overlapping the old one) rewriting the store would
    // otherwise lose each other's settings and counters.
    SettingsLock fileLock(app, ".lock");
    std::string bytes;
    int e = detail::ReadNative(path, bytes);
    if (e != 0 && e != ENOENT)
        throw RuntimeError(err::kPathFileAccess, "SaveSetting",
                           "Cannot read settings " + path + ": " + std::strerror(e));
    auto doc = ini::Document::Parse(bytes);
    if (!edit(doc)) return;
    e = detail::ReplaceNative(path, doc.Serialize(), true);
    if (e != 0)
        throw RuntimeError(err::kPathFileAccess, "SaveSetting",
                           "Cannot write settings " + path + ": " + std::strerror(e));
}

}  // namespace

std::chrono::milliseconds SettingsLockWait() { return LockWait(); }

std::chrono::milliseconds SetSettingsLockWait(std::chrono::milliseconds wait) {
    return std::exchange(LockWait(), wait);
}

SettingsLock::SettingsLock(const std::string& appName, const std::string& ending)
    : lock_(SettingsFilePath(appName) + ending, LockWait()) {}

std::string SettingsFilePath(const std::string& appName) {
    return ConfigHome() + "/" + appName + "/settings.ini";
}

std::string GetSetting(const std::string& appName, const std::string& section,
                       const std::string& key, const std::string& def) {
    std::lock_guard<std::mutex> lock(StoreMutex());
    std::string bytes;
    if (detail::ReadNative(SettingsFilePath(appName), bytes) != 0) return def;
    std::string v;
    if (ini::ReadValue(bytes, section, key, v)) return v;
    return def;
}

void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                 const std::string& value) {
    Modify(appName, [&](ini::Document& doc) {
        doc.SetValue(section, key, value);
        return true;
    });
}

std::vector<std::string> GetSettings(const std::string& appName, const std::string& section,
                                     const std::vector<std::string>& keys, const std::string& def) {
    std::vector<std::string> out(keys.size(), def);
    std::lock_guard<std::mutex> lock(StoreMutex());
    std::string bytes;
    if (detail::ReadNative(SettingsFilePath(appName), bytes) != 0) return out;
    for (std::size_t i = 0; i < keys.size(); ++i) ini::ReadValue(bytes, section, keys[i], out[i]);
    return out;
}

void SaveSettings(const std::string& appName, const std::string& section,
                  const std::vector<std::pair<std::string, std::string>>& values) {
    if (values.empty()) return;
    Modify(appName, [&](ini::Document& doc) {
        for (const auto& [key, value] : values) doc.SetValue(section, key, value);
        return true;
    });
}

void DeleteSetting(const std::string& appName, const std::string& section) {
    std::string want = TrimBlanks(section);
    while (!want.empty() && want.back() == '\\') want.pop_back();
    Modify(appName, [&](ini::Document& doc) {
        return doc.DeleteSections([&](const std::string& name) {
            if (SameTextNoCase(name, want)) return true;
            return name.size() > want.size() && name[want.size()] == '\\' &&
                   SameTextNoCase(name.substr(0, want.size()), want);
        });
    });
}

void DeleteSetting(const std::string& appName, const std::string& section, const std::string& key) {
    Modify(appName, [&](ini::Document& doc) { return doc.DeleteKey(section, key); });
}

}  // namespace zel::platform
