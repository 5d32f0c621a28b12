#pragma once
// What the lookups share: the program-wide engine object they read through, and the byte work
// on keys and record images (positions from 1, as the business layouts count them).
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/facade.h"

namespace zel::processor::lookup {

// The program-wide engine object; error 91 when it has been released.
engine::cBusinessBasic& DataEngine();
// The server name of the program-wide system-paths object; error 91 when it has been released.
std::string ServerName();

// `count` zero bytes.
inline std::string Zeros(std::size_t count) { return std::string(count, '\0'); }
// Writes `value` with the packed-integer code at `position` of `data`.
void PackAt(std::string& data, char code, std::int32_t value, std::int32_t position);
std::int32_t UnpackAt(const std::string& data, char code, std::int32_t position);
// Compressed text of `text` (padded with spaces to a multiple of 3 first).
std::string Compress(std::string text);
// `text` compressed, then cut or filled with zero bytes to `width` bytes.
std::string CompressTo(std::string text, std::size_t width);
// Characters `from` (1-based) to `from + count - 1` of `bytes` expanded from compressed text.
std::string ExpandAt(const std::string& bytes, std::size_t from, std::size_t count);
// Characters `from` (1-based), `count` of them, as far as `text` reaches.
std::string Mid(std::string_view text, std::size_t from, std::size_t count = std::string::npos);
// `text` cut or filled with spaces to `width` characters.
std::string Fixed(std::string_view text, std::size_t width);

// True when `code` can stand at the end of a file name on the share: printable characters
// only and none that separates or patterns a path (\ / : * ? " < > |). Request values name
// per-line database files; anything else must name none.
bool NamesAFile(std::string_view code);

}  // namespace zel::processor::lookup
