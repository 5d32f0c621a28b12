#include "platform/convert.h"

#include <charconv>
#include <cmath>
#include <limits>

#include <QLocale>
#include <QString>

#include "platform/error.h"

namespace zel::platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Length of the number at the start of `s`: an optional sign, digits with an optional decimal
// point (at least one digit), then an exponent when it has digits; 0 when `s` begins with none.
// The shape is checked here rather than left to from_chars, which would also take "inf", "nan"
// and hex forms.
std::size_t NumberLength(std::string_view s) {
    auto digit = [&](std::size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (digit(i)) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (digit(i)) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (digit(j)) {
            while (digit(j)) ++j;
            i = j;
        }
    }
    return i;
}

}  // namespace

std::string UpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = UpperCase(c);
    return out;
}

std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = LowerCase(c);
    return out;
}

bool SameTextNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerCase(a[i]) != LowerCase(b[i])) return false;
    return true;
}

std::string TrimValue(std::string_view value) {
    std::size_t end = value.size();
    while (end > 0) {
        const char c = value[end - 1];
        if (c != '\0' && c != '\t' && c != '\n' && c != '\r' && c != ' ') break;
        --end;
    }
    return std::string(value.substr(0, end));
}

std::string TrimTrailingSpaces(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && text[end - 1] == ' ') --end;
    return std::string(text.substr(0, end));
}

std::string TrimBlanks(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    return std::string(text.substr(b, e - b));
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    std::size_t pos = 0;
    while (true) {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

std::string DigitsOnly(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c >= '0' && c <= '9') out += c;
    return out;
}

std::optional<double> ParseNumber(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    std::string_view s = text.substr(begin, end - begin);
    if (s.empty() || NumberLength(s) != s.size()) return std::nullopt;

    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    double value = 0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

std::optional<double> RequestNumber(std::string_view text) {
    // The conversion ignores white space around the number itself.
    bool ok = false;
    const double value = QLocale().toDouble(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

double LeadingNumber(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin])) ++begin;
    const std::string_view rest = text.substr(begin);
    return ParseNumber(rest.substr(0, NumberLength(rest))).value_or(0.0);
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double r = std::nearbyint(value);  // default rounding mode: to nearest, ties to even
    return r == 0.0 ? 0.0 : r;
}

std::optional<std::int32_t> WholeInt32(double value) {
    const double whole = RoundHalfEven(value);
    // Written so that NaN fails it too.
    if (!(whole >= std::numeric_limits<std::int32_t>::min() &&
          whole <= std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(whole);
}

std::int32_t WholeInt32(double value, int number, const std::string& source) {
    const std::optional<std::int32_t> whole = WholeInt32(value);
    if (!whole) RaiseClassic(number, source);
    return *whole;
}

std::optional<std::int32_t> Int32Of(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t Int32Of(std::int64_t value, int number, const char* source) {
    const std::optional<std::int32_t> fits = Int32Of(value);
    if (!fits) RaiseClassic(number, source);
    return *fits;
}

std::int32_t WholeRequestNumber(std::string_view text) {
    const std::optional<double> value = RequestNumber(text);
    return value ? WholeInt32(*value).value_or(0) : 0;
}

std::int32_t ToInt32(std::string_view text, const std::string& source) {
    const std::optional<double> value = ParseNumber(text);
    if (!value) RaiseClassic(err::kTypeMismatch, source);
    return WholeInt32(*value, err::kOverflow, source);
}

std::int16_t ToInt16(std::string_view text, const std::string& source) {
    const std::int32_t value = ToInt32(text, source);
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        RaiseClassic(err::kOverflow, source);
    }
    return static_cast<std::int16_t>(value);
}

std::int16_t Int16Or(std::string_view text, std::int16_t fallback) {
    if (!IsNumeric(text)) return fallback;
    try {
        return ToInt16(text, "Int16Or");
    } catch (const RuntimeError&) {
        return fallback;
    }
}

std::int64_t RoundQuotientHalfAway(std::int64_t numerator, std::int64_t factor,
                                   std::int64_t denominator) {
    if (denominator == 0) RaiseClassic(err::kDivisionByZero, "RoundQuotientHalfAway");
    __int128 n = static_cast<__int128>(numerator) * factor;
    __int128 d = denominator;
    const bool negative = (n < 0) != (d < 0);
    if (n < 0) n = -n;
    if (d < 0) d = -d;
    __int128 q = (2 * n + d) / (2 * d);
    if (negative) q = -q;
    if (q < std::numeric_limits<std::int64_t>::min() ||
        q > std::numeric_limits<std::int64_t>::max()) {
        RaiseClassic(err::kOverflow, "RoundQuotientHalfAway");
    }
    return static_cast<std::int64_t>(q);
}

std::string FormatPointTwo(std::int64_t units, std::int64_t unitsPerOne) {
    const std::int64_t cents = RoundQuotientHalfAway(units, 100, unitsPerOne);
    const std::uint64_t magnitude =
        cents < 0 ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
    std::string text = cents < 0 ? "-" : "";
    if (magnitude >= 100) text += std::to_string(magnitude / 100);
    const std::uint64_t fraction = magnitude % 100;
    text += '.';
    text += static_cast<char>('0' + fraction / 10);
    text += static_cast<char>('0' + fraction % 10);
    return text;
}

}  // namespace zel::platform
