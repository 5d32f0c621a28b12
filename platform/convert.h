#pragma once
// Conversions between texts and numbers, and the small text operations every layer shares:
// letter case, trimming, replacing, whole numbers with the business programs' rounding.
//
// Letter case is ASCII only everywhere in the system: names, keys, codes and switches are
// ASCII, and a byte of another character set must compare and fold the same on every machine,
// whatever locale the program runs under.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zel::platform {

// --- Letter case -----------------------------------------------------------------------------

constexpr char UpperCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
constexpr char LowerCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
// Same length and the same letters without regard to case.
bool SameTextNoCase(std::string_view a, std::string_view b);

// --- Trimming and replacing ------------------------------------------------------------------

// Removes trailing NUL, tab, line-feed, carriage-return and space characters: what a value
// read through a fixed buffer or a padded record field carries after its text.
std::string TrimValue(std::string_view value);
// Removes trailing spaces only.
std::string TrimTrailingSpaces(std::string_view text);
// Removes spaces and tabs at both ends: the blanks around names and values of a settings line.
std::string TrimBlanks(std::string_view text);

// Every occurrence of `from` replaced by `to`, scanning from the first character, with case.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The digits 0 to 9 of `text`, in their order.
std::string DigitsOnly(std::string_view text);

// --- Numbers ---------------------------------------------------------------------------------

// The numeric value of a document or settings text: blanks (spaces, tabs) around, an optional
// sign, digits with an optional decimal point, an optional exponent. Nothing when the text is
// not numeric; "inf", "nan" and hexadecimal forms are not numbers.
std::optional<double> ParseNumber(std::string_view text);
inline bool IsNumeric(std::string_view text) { return ParseNumber(text).has_value(); }
// The numeric value of a number a request carries (an item count, a quantity, a dealer
// number), read as the locale-aware conversion of the default locale reads it (QLocale(): the
// system's unless the program sets another). Under the C and English locales "1,000", "1,234.5"
// and " 12 " are numbers; "1,0", "12abc" and "0x10" are not. Nothing when the text is not
// numeric. Infinities and NaN are not numbers, though the locale conversion takes "inf" and
// "nan": no such value may reach a whole-number conversion.
// Only request values are read this way: a number the system stores for itself (a counter, a
// key, a setting) must read the same whatever locale the program runs under (ParseNumber).
std::optional<double> RequestNumber(std::string_view text);
// The number of the same shape at the start of `text` (leading blanks skipped, anything after it
// ignored); 0 when the text does not begin with a number.
double LeadingNumber(std::string_view text);
// Rounds half to even (the business programs' rounding of numbers to whole numbers).
double RoundHalfEven(double value);
// The whole number nearest `value`, halves to the even neighbour, when it is within 32 bits;
// nothing for a number outside, an infinity or NaN.
std::optional<std::int32_t> WholeInt32(double value);
// The same, raising RuntimeError `number` naming `source` where the other gives nothing.
std::int32_t WholeInt32(double value, int number, const std::string& source);
// `value` when it is within 32 bits, else nothing; the raising form as above.
std::optional<std::int32_t> Int32Of(std::int64_t value);
// `source` is a literal, so that a caller in a hot loop pays for the error text only when it fails.
std::int32_t Int32Of(std::int64_t value, int number, const char* source);
// A number a request carries (a quantity, the dealer number as the bill-to account, an item
// count) as a whole number: its value read by RequestNumber ("1,000" is a thousand under the C
// and English locales), rounded (halves to the even neighbour) when numeric and within 32 bits,
// else 0.
std::int32_t WholeRequestNumber(std::string_view text);
// Conversion to a whole number, halves to the even neighbour. Raises RuntimeError 13 (type
// mismatch) naming `source` when the text is not numeric and 6 (overflow) when it does not fit.
std::int32_t ToInt32(std::string_view text, const std::string& source);
std::int16_t ToInt16(std::string_view text, const std::string& source);
// The text as a 16-bit whole number (halves to even), or `fallback` when it is not numeric or
// does not fit: a damaged stored setting must not stop a program from starting.
std::int16_t Int16Or(std::string_view text, std::int16_t fallback);

// --- Number patterns of answer documents -----------------------------------------------------

// numerator * factor / denominator rounded to a whole number, halves away from zero, computed
// exactly. Raises RuntimeError 11 for a zero denominator and 6 when the result leaves 64 bits.
std::int64_t RoundQuotientHalfAway(std::int64_t numerator, std::int64_t factor,
                                   std::int64_t denominator);
// Pattern "######.00" of the value units / unitsPerOne: rounded to two decimals, halves away
// from zero, every digit before the point but no zero there (0 gives ".00", one half ".50",
// minus one half "-.50", twelve and a half "12.50"). A value that rounds to zero has no sign.
std::string FormatPointTwo(std::int64_t units, std::int64_t unitsPerOne);

}  // namespace zel::platform
