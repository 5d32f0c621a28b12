#pragma once
// INI profile services, with the semantics the business programs rely on:
// - section and key names match without regard to case; surrounding blanks are ignored;
// - the first of duplicate sections/keys wins when reading;
// - bytes are kept as they are (no re-encoding); lines are written with CR LF and read with
//   CR LF, LF or a lone CR; every line a write does not touch is kept byte for byte;
// - a missing file reads as defaults and is created by the first write;
// - a write replaces the file atomically (new file, then rename), so a reader or a crash never
//   sees a half-written document. Writes return false when the document could not be written.
// All file arguments are Windows-form paths (see paths.h).
#include <cstddef>
#include <string>
#include <vector>

namespace zel::platform {

// Value of [section] key, or `def` when missing; cut to bufferSize-1 characters, and at the
// first NUL, like a caller's fixed buffer. bufferSize 0 gives "".
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& def, std::size_t bufferSize,
                             const std::string& file);

// Whole section as "key=value\0key=value\0\0" cut to fit bufferSize characters (the list is
// always ended by a double NUL within the buffer, as the platform service does). Empty ("\0")
// when the section or file is missing.
std::string GetProfileSection(const std::string& section, std::size_t bufferSize,
                              const std::string& file);

// Same as a list of lines (convenience for callers that do not model a buffer).
std::vector<std::string> GetProfileSectionLines(const std::string& section,
                                                const std::string& file);

// Names of all sections, in file order.
std::vector<std::string> GetProfileSectionNames(const std::string& file);

// Writes one key (creating section and file as needed). False when the file cannot be written.
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& file);

// Removes one key / one whole section. False only when the file cannot be written.
bool DeleteProfileKey(const std::string& section, const std::string& key, const std::string& file);
bool DeleteProfileSection(const std::string& section, const std::string& file);

// Replaces the whole section with the NUL-separated "key=value" strings of `data` (ended by an
// empty string or the end of `data`), creating section and file as needed.
bool WriteProfileSection(const std::string& section, const std::string& data,
                         const std::string& file);

namespace detail {
// What a caller's buffer receives for a value found in a document (`found`, as the document
// holds it after the '=') or, when none was found, for the default: one pair of matching quotes
// dropped from a found value, cut at the first NUL and to bufferSize-1 characters.
std::string ProfileValue(const std::string* found, const std::string& def, std::size_t bufferSize);
// The NUL-separated list of a section's entries as a caller's buffer receives it.
std::string ProfileSectionList(const std::vector<std::string>& entries, std::size_t bufferSize);
// The "key=value" strings of a whole-section write's data (up to the empty string).
std::vector<std::string> ProfileSectionData(const std::string& data);
}  // namespace detail

}  // namespace zel::platform
