#pragma once
// Conversions between stored field contents and the values the rest of the program uses: part
// numbers without their dashes plus a dash code, yes/no characters, and the state and ZIP codes
// picked out of free-text address lines. None of them raises an error.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zel::records {

// Position table of the dash code: position 1 is "1", position 10 is "A", up to 21, "L".
inline constexpr std::string_view kDashPositions = "123456789ABCDEFGHIJKL";

// Trims `part` of spaces, then drops every character that cannot be stored (anything but
// comma, slash, period, digits and upper-case letters) and records its position in `code`.
// True when the code fits its stored field (at most 3 characters).
bool StripPartNumber(std::string& part, std::string& code);
// Puts a dash back at each position that `code` names ("1" to "I"; "J" to "L" never return).
void RestorePartNumber(std::string& part, const std::string& code);

// 1 for exactly "Y", else 0.
std::int16_t YNToFlag(std::string_view text);
// "Y" for any number but 0, "N" for 0.
std::string FlagToYN(std::int16_t flag);

// The state code / ZIP code found last in a block of 30-character address lines (lines that
// begin with a period are blanked in the caller's text first); "" when there is none.
std::string GetState(std::string& address);
std::string GetZip(std::string& address);
// The same with the kind "STATE" or anything else (ZIP).
std::string PickFromAddress(std::string& address, std::string_view kind);
// True for every word found in the list of the 53 state codes (so also a single letter of it).
bool IsStateCode(std::string_view word);
// 5 or 9 numeric characters, or 5 + "-" + 4 numeric characters.
bool IsZipCode(std::string_view word);

// Split without empty items (the engine's split).
std::vector<std::string> SplitNoEmpty(std::string_view text, std::string_view delimiter = " ",
                                      std::int32_t limit = -1, std::int32_t compare = 0);

}  // namespace zel::records
