#pragma once
// Currency: the business programs' money type, a 64-bit fixed-point number with four decimal
// places. Conversions to a whole number of smaller units (cents, tenths) round halves to the
// even neighbour; every result outside the 64-bit range raises error 6 "Overflow" instead of
// wrapping.
#include <compare>
#include <cstdint>
#include <string>

namespace zel::platform {

class Currency {
public:
    static constexpr std::int64_t kScale = 10000;  // raw units per whole currency unit

    constexpr Currency() = default;

    // The value whose raw (scaled by 10000) form is `raw`.
    static constexpr Currency FromRaw(std::int64_t raw) {
        Currency c;
        c.raw_ = raw;
        return c;
    }
    // `units` whole units of which `unitsPerOne` make one (cents: 100, tenths: 10). A divisor
    // that does not divide 10000 rounds the quotient to four decimals, halves to even.
    static Currency FromUnits(std::int64_t units, std::int64_t unitsPerOne = 1);
    // A floating-point value rounded to four decimals, halves to even. Not-a-number and values
    // outside the range raise "Overflow".
    static Currency FromDouble(double value);

    constexpr std::int64_t Raw() const { return raw_; }
    double ToDouble() const { return static_cast<double>(raw_) / kScale; }
    // The value in whole units of which `unitsPerOne` make one, rounded halves to even
    // (1.235 in cents is 124, and so is 1.245).
    std::int64_t ToUnits(std::int64_t unitsPerOne = 1) const;
    // Shortest decimal text: "12.5", "-0.0001", "0".
    std::string ToString() const;

    Currency operator-() const;
    Currency operator+(Currency other) const;
    Currency operator-(Currency other) const;
    Currency operator*(std::int64_t factor) const;
    // Quotient rounded to four decimals, halves to even; division by zero raises error 11.
    Currency operator/(std::int64_t divisor) const;
    Currency& operator+=(Currency other) { return *this = *this + other; }
    Currency& operator-=(Currency other) { return *this = *this - other; }

    constexpr auto operator<=>(const Currency&) const = default;

private:
    std::int64_t raw_ = 0;
};

}  // namespace zel::platform
