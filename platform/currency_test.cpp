#include "platform/currency.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "platform/error.h"

namespace zel::platform {
namespace {

int ErrorOf(auto&& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.Number();
    }
    return 0;
}

TEST(CurrencyTest, WholeUnitsRoundHalvesToEven) {
    EXPECT_EQ(Currency::FromDouble(1.235).ToUnits(100), 124);
    EXPECT_EQ(Currency::FromDouble(1.245).ToUnits(100), 124);
    EXPECT_EQ(Currency::FromDouble(12.35).ToUnits(10), 124);
    EXPECT_EQ(Currency::FromDouble(12.25).ToUnits(10), 122);
    EXPECT_EQ(Currency::FromDouble(-1.235).ToUnits(100), -124);
    EXPECT_EQ(Currency::FromDouble(-1.245).ToUnits(100), -124);
    EXPECT_EQ(Currency::FromDouble(-1.2451).ToUnits(100), -125);
    EXPECT_EQ(Currency::FromDouble(2.5).ToUnits(), 2);
    EXPECT_EQ(Currency::FromDouble(3.5).ToUnits(), 4);
}

TEST(CurrencyTest, FourDecimalsFromDoublesHalvesToEven) {
    EXPECT_EQ(Currency::FromDouble(1.23456).Raw(), 12346);
    EXPECT_EQ(Currency::FromDouble(-1.23454).Raw(), -12345);
    EXPECT_EQ(Currency::FromDouble(123.45).Raw(), 1234500);
    EXPECT_EQ(Currency::FromDouble(-0.0001).Raw(), -1);
}

TEST(CurrencyTest, UnitsAreExact) {
    EXPECT_EQ(Currency::FromUnits(12345, 100), Currency::FromDouble(123.45));
    EXPECT_EQ(Currency::FromUnits(-1, 100).Raw(), -100);
    EXPECT_EQ(Currency::FromUnits(125, 10).ToString(), "12.5");
    EXPECT_EQ(Currency::FromUnits(1, 3).Raw(), 3333);
    EXPECT_EQ(Currency::FromUnits(INT32_MIN, 100).ToUnits(100), INT32_MIN);
}

TEST(CurrencyTest, TextIsShortest) {
    EXPECT_EQ(Currency().ToString(), "0");
    EXPECT_EQ(Currency::FromRaw(-1).ToString(), "-0.0001");
    EXPECT_EQ(Currency::FromDouble(17.5).ToString(), "17.5");
    EXPECT_EQ(Currency::FromRaw(std::numeric_limits<std::int64_t>::min()).ToString(),
              "-922337203685477.5808");
}

TEST(CurrencyTest, ArithmeticAndDivision) {
    const Currency a = Currency::FromDouble(2.5), b = Currency::FromDouble(15);
    EXPECT_EQ((a + b).ToString(), "17.5");
    EXPECT_EQ((a - b).ToString(), "-12.5");
    EXPECT_EQ((a * 3).ToString(), "7.5");
    EXPECT_EQ((Currency::FromDouble(12) / 100).ToString(), "0.12");
    EXPECT_EQ((Currency::FromRaw(5) / 2).Raw(), 2);  // 2.5 raw units: even neighbour
    EXPECT_EQ((Currency::FromRaw(7) / 2).Raw(), 4);
    EXPECT_LT(a, b);
}

TEST(CurrencyTest, OverflowIsDetectedNeverWrapped) {
    const Currency max = Currency::FromRaw(std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(ErrorOf([&] { (void)(max + Currency::FromRaw(1)); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([&] { (void)(-max - Currency::FromRaw(2)); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([&] { (void)(max * 2); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([&] { (void)-Currency::FromRaw(std::numeric_limits<std::int64_t>::min()); }),
              err::kOverflow);
    EXPECT_EQ(ErrorOf([] { (void)Currency::FromDouble(1e15); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { (void)Currency::FromDouble(std::numeric_limits<double>::quiet_NaN()); }),
              err::kOverflow);
    EXPECT_EQ(
        ErrorOf([] { (void)Currency::FromUnits(std::numeric_limits<std::int64_t>::max(), 1); }),
        err::kOverflow);
    EXPECT_EQ(ErrorOf([&] { (void)max.ToUnits(1000000); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { (void)(Currency::FromRaw(1) / 0); }), err::kDivisionByZero);
    EXPECT_EQ(ErrorOf([] { (void)Currency::FromDouble(922337203685477.0); }), 0);
}

}  // namespace
}  // namespace zel::platform
