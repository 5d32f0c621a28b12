#include "engine/dates.h"

#include <gtest/gtest.h>

#include "engine/packing.h"
#include "engine/state.h"
#include "engine/test_helpers.h"

namespace zel::engine {
namespace {

using testing::Bytes;
using testing::Raised;

DateTime D(int y, int m, int d) { return DateTime::FromDate(y, m, d); }

std::int32_t PackedWith(const char* type, const DateTime& date, std::size_t width) {
    std::string data(width, '\x77');
    PackDate(type, data, 1, date);
    std::string op = width == 2 ? "C" : "D";
    return Unpack(op, data, 1);
}

DateTime Unpacked(const char* type, std::int32_t stored, std::size_t width) {
    std::string data(width, '\0');
    Pack(width == 2 ? 'C' : 'D', data, stored, 1);
    return UnPackDate(type, data, 1);
}

TEST(DayNumbers, CountFromTheLastDayOf1967) {
    EXPECT_EQ(D(1967, 12, 31).DayNumber(), 0);
    EXPECT_EQ(D(1968, 1, 1).DayNumber(), 1);
    EXPECT_EQ(D(2000, 1, 1).DayNumber(), 11689);
    EXPECT_EQ(DateTime::FromDayNumber(65535), D(2147, 6, 5));
    EXPECT_EQ(DateTime::FromDayNumber(-1), D(1967, 12, 30));
    EXPECT_EQ(DateTime::FromDayNumber(60), D(1968, 2, 29));  // 1968 is a leap year
    EXPECT_EQ(D(2000, 3, 1).DayNumber() - D(2000, 2, 28).DayNumber(), 2);
    EXPECT_EQ(D(2100, 3, 1).DayNumber() - D(2100, 2, 28).DayNumber(), 1);
}

TEST(PackDate, DayNumberTreatsMidnightOfJanuaryFirst1968AsEmpty) {
    EXPECT_EQ(PackedWith("J", D(1968, 1, 1), 2), 0);
    EXPECT_EQ(PackedWith("J", D(1967, 12, 31), 2), 0);
    EXPECT_EQ(PackedWith("C", D(1968, 1, 2), 2), 2);
    DateTime tenAm = D(1968, 1, 1);
    tenAm.hour = 10;
    EXPECT_EQ(PackedWith("J", tenAm, 2), 1);
    DateTime late = D(2000, 1, 1);
    late.hour = 23;
    late.minute = 59;
    EXPECT_EQ(PackedWith("J", late, 2), 11689);  // time of day is ignored
    // Outside 0-65535 only the low 16 bits are kept.
    EXPECT_EQ(PackedWith("J", D(1967, 12, 30), 2), 65535);
    EXPECT_EQ(PackedWith("J", D(2147, 6, 6), 2), 0);
}

TEST(PackDate, SixDigitForms) {
    EXPECT_EQ(PackedWith("D", D(1999, 12, 31), 3), 123199);
    EXPECT_EQ(PackedWith("K", D(2001, 1, 5), 3), 10501);
    EXPECT_EQ(PackedWith("R", D(1999, 12, 31), 3), 991231);
    EXPECT_EQ(PackedWith("R", D(2005, 7, 4), 3), 50704);
}

TEST(PackDate, TypesAreExactAndFieldsMustFit) {
    std::string data(3, '\x77');
    PackDate("j", data, 1, D(2000, 1, 1));
    PackDate("", data, 1, D(2000, 1, 1));
    PackDate("JJ", data, 1, D(2000, 1, 1));
    EXPECT_EQ(data, std::string(3, '\x77'));
    auto e = Raised([&] { PackDate("D", data, 2, D(2000, 1, 1)); });
    EXPECT_EQ(e.Number(), 31);
    EXPECT_EQ(data, std::string(3, '\x77'));
}

TEST(UnPackDate, DayNumbers) {
    EXPECT_EQ(Unpacked("J", 0, 2), D(1968, 1, 1));
    EXPECT_EQ(Unpacked("J", 1, 2), D(1968, 1, 1));
    EXPECT_EQ(Unpacked("C", 2, 2), D(1968, 1, 2));
    EXPECT_EQ(Unpacked("J", 11689, 2), D(2000, 1, 1));
    EXPECT_EQ(Unpacked("J", 65535, 2), D(2147, 6, 5));
    // Read unsigned: 0x8000 is a date in 2057, not one before 1968.
    EXPECT_EQ(UnPackDate("J", Bytes({0x80, 0x00}), 1), DateTime::FromDayNumber(32768));
}

TEST(UnPackDate, EveryStoredDayNumberRoundTrips) {
    std::string data(2, '\0');
    for (std::int32_t n = 2; n <= 65535; ++n) {
        Pack('C', data, n, 1);
        const DateTime d = UnPackDate("J", data, 1);
        std::string back(2, '\0');
        PackDate("J", back, 1, d);
        ASSERT_EQ(back, data) << n;
    }
}

TEST(UnPackDate, SixDigitFormsThroughTheCenturyWindow) {
    EXPECT_EQ(Unpacked("D", 123199, 3), D(1999, 12, 31));
    EXPECT_EQ(Unpacked("K", 10501, 3), D(2001, 1, 5));
    EXPECT_EQ(Unpacked("D", 10129, 3), D(2029, 1, 1));
    EXPECT_EQ(Unpacked("D", 10130, 3), D(1930, 1, 1));
    EXPECT_EQ(Unpacked("D", 22900, 3), D(2000, 2, 29));
    EXPECT_EQ(Unpacked("R", 991231, 3), D(1999, 12, 31));
    EXPECT_EQ(Unpacked("R", 290101, 3), D(2029, 1, 1));
    EXPECT_EQ(Unpacked("R", 300101, 3), D(1930, 1, 1));
}

TEST(UnPackDate, AnythingUnreadableIsTheEmptyDate) {
    const DateTime empty = D(1968, 1, 1);
    for (std::int32_t bad : {0, 133199, 23099, 22999, 1000101 + 10000000, 16777215}) {
        EXPECT_EQ(Unpacked("D", bad, 3), empty) << bad;
    }
    EXPECT_EQ(Unpacked("R", 991331, 3), empty);
    EXPECT_EQ(Unpacked("j", 500, 2), empty);
    EXPECT_EQ(UnPackDate("J", "x", 1), empty);             // field past the end
    EXPECT_EQ(UnPackDate("D", "\x01\x02\x03", 0), empty);  // position below 1
    EXPECT_EQ(UnPackDate("R", "", 1), empty);
}

TEST(Stma, DayNumberToPartsAndBack) {
    std::int32_t m = 0, d = 0, y = 0;
    DateTime date;
    StmaDayToParts(0, &m, &d, &y, &date);
    EXPECT_EQ(date, D(1968, 1, 1));
    EXPECT_EQ(m * 10000 + d * 100 + y, 10168);
    StmaDayToParts(11689, &m, &d, &y, &date);
    EXPECT_EQ(date, D(2000, 1, 1));
    EXPECT_EQ(y, 0);
    StmaDayToParts(-1, &m, nullptr, nullptr, nullptr);  // parts left out are not returned
    EXPECT_EQ(m, 12);

    EXPECT_EQ(StmaPartsToDay(1, 1, 68), 0);
    EXPECT_EQ(StmaPartsToDay(1, 1, 1968), 1);
    EXPECT_EQ(StmaPartsToDay(1, 2, 68), 2);
    EXPECT_EQ(StmaPartsToDay(1, 1, 0), 11689);
    EXPECT_EQ(StmaPartsToDay(12, 31, 29), D(2029, 12, 31).DayNumber());
    EXPECT_EQ(StmaPartsToDay(1, 1, 30), D(1930, 1, 1).DayNumber());
    for (auto [mm, dd, yy] : {std::tuple{2, 29, 99}, std::tuple{13, 1, 1}, std::tuple{0, 5, 1},
                              std::tuple{4, 31, 20}, std::tuple{1, 1, -5}}) {
        auto e = Raised([&] { StmaPartsToDay(mm, dd, yy); });
        EXPECT_EQ(e.Number(), 13) << mm << "/" << dd << "/" << yy;
    }
    EXPECT_EQ(StmaPartsToDay(2, 29, 0), D(2000, 2, 29).DayNumber());
}

class SystemValues : public ::testing::Test {
protected:
    void SetUp() override { Engine().SystemInfo = std::make_shared<cSystem>(); }
    void TearDown() override { Engine().SystemInfo.reset(); }
};

TEST_F(SystemValues, TodayInItsForms) {
    const DateTime now = D(2026, 12, 7);
    EXPECT_EQ(Sys(1, now), 7);
    EXPECT_EQ(Sys(2, now), 12);
    EXPECT_EQ(Sys(3, now), 2026);
    EXPECT_EQ(Sys(28, now), 120726);
    EXPECT_EQ(Sys(128, now), 261207);
    EXPECT_EQ(Sys(152, now), D(2026, 12, 7).DayNumber());
    EXPECT_EQ(Sys(0, now), 0);
    EXPECT_EQ(Sys(5, now), 0);
    EXPECT_EQ(Sys(28, D(2005, 1, 9)), 10905);
    EXPECT_EQ(Sys(128, D(2005, 1, 9)), 50109);
}

TEST_F(SystemValues, TodaysDayNumberStaysRightFrom2030On) {
    EXPECT_EQ(Sys(152, D(2031, 3, 1)), D(2031, 3, 1).DayNumber());
    EXPECT_GT(Sys(152, D(2031, 3, 1)), Sys(152, D(2029, 12, 31)));
}

TEST_F(SystemValues, TerminalNumber) {
    EXPECT_EQ(Sys(4, D(2026, 1, 1)), 0);
    Engine().SystemInfo->TerminalID = "7";
    EXPECT_EQ(Sys(4, D(2026, 1, 1)), 7);
    Engine().SystemInfo->TerminalID = " 12 ";
    EXPECT_EQ(Sys(4, D(2026, 1, 1)), 12);
    for (const char* bad : {"", "T7", "7a", "-"}) {
        Engine().SystemInfo->TerminalID = bad;
        EXPECT_EQ(Raised([] { Sys(4, D(2026, 1, 1)); }).Number(), 13) << bad;
    }
    Engine().SystemInfo->TerminalID = "99999999999";
    EXPECT_EQ(Raised([] { Sys(4, D(2026, 1, 1)); }).Number(), 6);
    Engine().SystemInfo.reset();
    EXPECT_EQ(Raised([] { Sys(4, D(2026, 1, 1)); }).Number(), 91);
}

TEST(NowClock, IsTheLocalDateAndTime) {
    const DateTime now = Now();
    EXPECT_TRUE(now.IsValidDate());
    EXPECT_GE(now.year, 2024);
    EXPECT_LT(now.hour, 24);
    EXPECT_EQ(Sys(3), Now().year);
}

}  // namespace
}  // namespace zel::engine
