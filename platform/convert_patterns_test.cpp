#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "platform/convert.h"
#include "platform/error.h"

namespace zel::platform {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TEST(FormatPointTwo, NoZeroBeforeThePointAndHalvesAwayFromZero) {
    // Amounts as four-decimal fixed point.
    EXPECT_EQ(FormatPointTwo(0, 10000), ".00");
    EXPECT_EQ(FormatPointTwo(5000, 10000), ".50");
    EXPECT_EQ(FormatPointTwo(125000, 10000), "12.50");
    EXPECT_EQ(FormatPointTwo(-5000, 10000), "-.50");
    EXPECT_EQ(FormatPointTwo(-125000, 10000), "-12.50");
    EXPECT_EQ(FormatPointTwo(12345678900000, 10000), "1234567890.00");  // wider than the pattern
    EXPECT_EQ(FormatPointTwo(10050, 10000), "1.01");                    // 1.005
    EXPECT_EQ(FormatPointTwo(10150, 10000), "1.02");  // 1.015: away from zero, not to even
    EXPECT_EQ(FormatPointTwo(-10050, 10000), "-1.01");
    EXPECT_EQ(FormatPointTwo(10049, 10000), "1.00");
    EXPECT_EQ(FormatPointTwo(999950, 10000), "100.00");  // the carry reaches the whole part
    EXPECT_EQ(FormatPointTwo(-49, 10000), ".00");        // rounds to zero: no sign
    EXPECT_EQ(FormatPointTwo(3, 1), "3.00");
}

TEST(FormatPointTwo, WholeRangeOfAmounts) {
    EXPECT_EQ(FormatPointTwo(kMax, 10000), "922337203685477.58");
    EXPECT_EQ(FormatPointTwo(kMin, 10000), "-922337203685477.58");
}

TEST(RoundQuotientHalfAway, ExactOnLargeValues) {
    EXPECT_EQ(RoundQuotientHalfAway(25000, 100, 100000), 25);  // (10 - 7.5) * 100 / 10
    EXPECT_EQ(RoundQuotientHalfAway(1, 100, 200), 1);          // one half, away from zero
    EXPECT_EQ(RoundQuotientHalfAway(-1, 100, 200), -1);
    EXPECT_EQ(RoundQuotientHalfAway(1, 100, -200), -1);
    EXPECT_EQ(RoundQuotientHalfAway(-1, -100, -200), -1);
    EXPECT_EQ(RoundQuotientHalfAway(1, 1, 3), 0);
    EXPECT_EQ(RoundQuotientHalfAway(2, 1, 3), 1);
    EXPECT_EQ(RoundQuotientHalfAway(kMax, 100, kMax), 100);  // no overflow inside
    EXPECT_EQ(RoundQuotientHalfAway(kMin, 1, 1), kMin);
}

TEST(RoundQuotientHalfAway, ZeroDivisorAndResultsBeyond64BitsRaise) {
    try {
        RoundQuotientHalfAway(1, 1, 0);
        FAIL() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), err::kDivisionByZero);
    }
    try {
        RoundQuotientHalfAway(kMax, 100, 1);
        FAIL() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), err::kOverflow);
    }
    EXPECT_THROW(RoundQuotientHalfAway(kMin, -1, 1), RuntimeError);
}

}  // namespace
}  // namespace zel::platform
