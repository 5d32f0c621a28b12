#include "platform/currency.h"

#include <cfenv>
#include <cmath>
#include <cstdlib>

#include "platform/error.h"

namespace zel::platform {

namespace {

[[noreturn]] void Overflow() { RaiseClassic(err::kOverflow, "Currency"); }

// numerator / denominator (denominator > 0) rounded to a whole number, halves to even.
std::int64_t DivideHalfEven(__int128 numerator, __int128 denominator) {
    __int128 q = numerator / denominator;
    __int128 r = numerator % denominator;
    if (r != 0) {
        const __int128 twice = (r < 0 ? -r : r) * 2;
        const int sign = numerator < 0 ? -1 : 1;
        if (twice > denominator || (twice == denominator && (q % 2 != 0))) q += sign;
    }
    if (q > INT64_MAX || q < INT64_MIN) Overflow();
    return static_cast<std::int64_t>(q);
}

std::int64_t Checked(__int128 value) {
    if (value > INT64_MAX || value < INT64_MIN) Overflow();
    return static_cast<std::int64_t>(value);
}

}  // namespace

Currency Currency::FromUnits(std::int64_t units, std::int64_t unitsPerOne) {
    if (unitsPerOne == 0) RaiseClassic(err::kDivisionByZero, "Currency");
    __int128 num = static_cast<__int128>(units) * kScale;
    __int128 den = unitsPerOne;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    return FromRaw(DivideHalfEven(num, den));
}

Currency Currency::FromDouble(double value) {
    const double scaled = value * static_cast<double>(kScale);
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0 ||
        scaled < -9223372036854775808.0)
        Overflow();
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double whole = std::nearbyint(scaled);
    std::fesetround(previous);
    if (whole >= 9223372036854775808.0 || whole < -9223372036854775808.0) Overflow();
    return FromRaw(static_cast<std::int64_t>(whole));
}

std::int64_t Currency::ToUnits(std::int64_t unitsPerOne) const {
    return DivideHalfEven(static_cast<__int128>(raw_) * unitsPerOne, kScale);
}

std::string Currency::ToString() const {
    const bool negative = raw_ < 0;
    const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(raw_)
                                                  : static_cast<unsigned long long>(raw_);
    std::string text = std::to_string(magnitude / kScale);
    unsigned long long fraction = magnitude % kScale;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction + kScale).substr(1);  // four digits
        while (!digits.empty() && digits.back() == '0') digits.pop_back();
        text += "." + digits;
    }
    return negative ? "-" + text : text;
}

Currency Currency::operator-() const { return FromRaw(Checked(-static_cast<__int128>(raw_))); }

Currency Currency::operator+(Currency other) const {
    return FromRaw(Checked(static_cast<__int128>(raw_) + other.raw_));
}

Currency Currency::operator-(Currency other) const {
    return FromRaw(Checked(static_cast<__int128>(raw_) - other.raw_));
}

Currency Currency::operator*(std::int64_t factor) const {
    return FromRaw(Checked(static_cast<__int128>(raw_) * factor));
}

Currency Currency::operator/(std::int64_t divisor) const {
    if (divisor == 0) RaiseClassic(err::kDivisionByZero, "Currency");
    __int128 num = raw_;
    __int128 den = divisor;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    return FromRaw(DivideHalfEven(num, den));
}

}  // namespace zel::platform
