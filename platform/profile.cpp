#include "platform/profile.h"

#include <cerrno>
#include <mutex>

#include "platform/atomic_file.h"
#include "platform/convert.h"
#include "platform/error.h"
#include "platform/ini_text.h"
#include "platform/paths.h"

namespace zel::platform {
namespace {

std::mutex& ProfileMutex() {
    static std::mutex m;
    return m;
}

// The bytes of the document at the Windows-form path `file`. A missing file reads as an empty
// document; one that exists but cannot be read is a failure, so that a write never replaces it
// with a document that has lost its contents.
bool LoadBytes(const std::string& file, std::string& bytes, std::string* native = nullptr) {
    std::string path;
    try {
        path = NativePath(file);
    } catch (const RuntimeError&) {
        return false;
    }
    if (native) *native = path;
    int e = detail::ReadNative(path, bytes);
    if (e != 0 && e != ENOENT) return false;
    return true;
}

template <class Edit>
bool Modify(const std::string& file, Edit edit) {
    std::lock_guard<std::mutex> lock(ProfileMutex());
    std::string bytes, native;
    if (!LoadBytes(file, bytes, &native)) return false;
    ini::Document doc = ini::Document::Parse(bytes);
    if (!edit(doc)) return true;  // nothing to change
    return detail::ReplaceNative(native, doc.Serialize()) == 0;
}

std::string CutAtNul(std::string s) {
    auto nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    return s;
}

}  // namespace

namespace detail {

std::string ProfileValue(const std::string* found, const std::string& def, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    std::string value = def;
    if (found) {
        value = *found;
        // One pair of matching quotes around a value is not part of it, as documents
        // written for the platform's profile reader expect.
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
    }
    value = CutAtNul(value);
    if (value.size() > bufferSize - 1) value.resize(bufferSize - 1);
    return value;
}

std::string ProfileSectionList(const std::vector<std::string>& entries, std::size_t bufferSize) {
    std::string all;
    for (const auto& e : entries) {
        all += e;
        all += '\0';
    }
    all += '\0';
    if (all.size() == 1) all += '\0';  // an empty list is two NULs in the buffer
    if (bufferSize < 2) return std::string(bufferSize, '\0');
    if (all.size() > bufferSize) {
        // Cut like the platform service: the last string is cut and the list still ends with
        // a double NUL inside the buffer.
        all.resize(bufferSize - 2);
        all += std::string(2, '\0');
    }
    return all;
}

std::vector<std::string> ProfileSectionData(const std::string& data) {
    std::vector<std::string> entries;
    std::size_t i = 0;
    while (i < data.size()) {
        auto nul = data.find('\0', i);
        std::string item = data.substr(i, nul == std::string::npos ? std::string::npos : nul - i);
        if (item.empty()) break;
        entries.push_back(item);
        if (nul == std::string::npos) break;
        i = nul + 1;
    }
    return entries;
}

}  // namespace detail

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& def, std::size_t bufferSize,
                             const std::string& file) {
    if (bufferSize == 0) return {};
    std::string v;
    bool found = false;
    {
        std::lock_guard<std::mutex> lock(ProfileMutex());
        std::string bytes;
        if (LoadBytes(file, bytes)) found = ini::ReadValue(bytes, section, key, v);
    }
    return detail::ProfileValue(found ? &v : nullptr, def, bufferSize);
}

namespace {
std::vector<std::string> SectionEntries(const std::string& section, const std::string& file,
                                        std::size_t enoughChars) {
    std::lock_guard<std::mutex> lock(ProfileMutex());
    std::string bytes;
    if (!LoadBytes(file, bytes)) return {};
    return ini::ReadSectionEntries(bytes, section, enoughChars);
}
}  // namespace

std::vector<std::string> GetProfileSectionLines(const std::string& section,
                                                const std::string& file) {
    return SectionEntries(section, file, std::string::npos);
}

std::string GetProfileSection(const std::string& section, std::size_t bufferSize,
                              const std::string& file) {
    return detail::ProfileSectionList(SectionEntries(section, file, bufferSize), bufferSize);
}

std::vector<std::string> GetProfileSectionNames(const std::string& file) {
    std::lock_guard<std::mutex> lock(ProfileMutex());
    std::string bytes;
    if (!LoadBytes(file, bytes)) return {};
    return ini::ReadSectionNames(bytes);
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& file) {
    // The value ends at its first NUL, as the caller's text would end in a string buffer: a
    // value copied out of a binary block must not put raw NUL bytes into a document.
    const std::string text = CutAtNul(value);
    return Modify(file, [&](ini::Document& doc) {
        doc.SetValue(section, key, text);
        return true;
    });
}

bool DeleteProfileKey(const std::string& section, const std::string& key, const std::string& file) {
    return Modify(file, [&](ini::Document& doc) { return doc.DeleteKey(section, key); });
}

bool DeleteProfileSection(const std::string& section, const std::string& file) {
    std::string want = TrimBlanks(section);
    return Modify(file, [&](ini::Document& doc) {
        return doc.DeleteSections(
            [&](const std::string& name) { return SameTextNoCase(name, want); });
    });
}

bool WriteProfileSection(const std::string& section, const std::string& data,
                         const std::string& file) {
    const std::vector<std::string> entries = detail::ProfileSectionData(data);
    return Modify(file, [&](ini::Document& doc) {
        doc.ReplaceSection(section, entries);
        return true;
    });
}

}  // namespace zel::platform
