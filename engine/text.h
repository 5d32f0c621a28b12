#pragma once
// Compressed text (three characters in two bytes over the 40-character alphabet) and the
// engine's small text and number utilities.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/convert.h"

namespace zel::engine {

// Compresses `source` over the program-wide alphabet (Engine().CrmAlphabet). `source` is padded
// in place with spaces to a multiple of 3; characters outside the alphabet count as spaces.
std::string Crm(std::string& source);
// Expands `source` over the program-wide alphabet. An odd-length `source` is padded in place
// with one zero byte. A group worth 64000 or more gives only two characters.
std::string Ucm(std::string& source);

// The same over an explicit alphabet of 40 characters.
std::string Crm(std::string& source, std::string_view alphabet);
std::string Ucm(std::string& source, std::string_view alphabet);

// Letters a-z raised to A-Z, every other byte as it stands: the way names, keys and codes
// compare without regard to case.
using platform::UpperCase;

// Trailing trim: spaces only (flag 0), or NUL, tab, LF, CR and space (flag not 0).
std::string Trun(std::string_view source, std::int32_t flgRemoveControlCharacters = 0);

// 1-based position of the first occurrence of `target` in `source`, 0 when absent.
void StrPos(std::int32_t& location, std::string_view source, std::string_view target);

std::int32_t Min(std::int32_t var1, std::int32_t var2);
std::int32_t Max(std::int32_t var1, std::int32_t var2);

// Split without empty items: splits at `delimiter` into at most `limit` items (-1: no limit;
// compare 1: letter case ignored, else exact) and keeps, in order, the items that are not empty
// and do not contain the delimiter text. An empty delimiter or expression gives no items.
std::vector<std::string> Split(std::string_view expression, std::string_view delimiter = " ",
                               std::int32_t limit = -1, std::int32_t compare = 0);

}  // namespace zel::engine
