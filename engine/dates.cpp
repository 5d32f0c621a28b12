#include "engine/dates.h"

#include <cmath>
#include <ctime>

#include "engine/errors.h"
#include "engine/packing.h"
#include "engine/state.h"
#include "platform/convert.h"
#include "platform/error.h"

namespace zel::engine {

namespace {

// Days from 1/1/1970 of a civil date on the proleptic Gregorian calendar. A month outside 1-12
// carries into the year, a day outside the month runs on into the next ones, so any field
// values give a defined answer.
constexpr std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y += (m - 1 >= 0 ? (m - 1) / 12 : (m - 12) / 12);
    m = ((m - 1) % 12 + 12) % 12 + 1;
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, std::int32_t& y, std::int32_t& m, std::int32_t& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<std::int32_t>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<std::int32_t>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<std::int32_t>(yoe + era * 400 + (m <= 2));
}

constexpr std::int64_t kEpoch = DaysFromCivil(1967, 12, 31);  // day number 0

constexpr bool IsLeap(std::int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

constexpr std::int32_t DaysInMonth(std::int32_t y, std::int32_t m) {
    constexpr std::int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

DateTime EmptyDate() { return DateTime::FromDate(1968, 1, 1); }

// A packed mmddyy number read as month/day/two-digit year; none when it is no real date.
std::optional<DateTime> FromMdy(std::int32_t n) {
    return MakeDate(n / 10000, (n / 100) % 100, n % 100);
}

}  // namespace

// ---- DateTime ------------------------------------------------------------------------------

DateTime DateTime::FromDate(std::int32_t year, std::int32_t month, std::int32_t day) {
    DateTime d;
    d.year = year;
    d.month = month;
    d.day = day;
    return d;
}

DateTime DateTime::FromDayNumber(std::int64_t days) {
    DateTime d;
    CivilFromDays(kEpoch + days, d.year, d.month, d.day);
    return d;
}

std::int64_t DateTime::DayNumber() const { return DaysFromCivil(year, month, day) - kEpoch; }

bool DateTime::IsValidDate() const {
    return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

std::optional<DateTime> MakeDate(std::int32_t month, std::int32_t day, std::int32_t year) {
    if (year >= 0 && year <= 29) {
        year += 2000;
    } else if (year >= 30 && year <= 99) {
        year += 1900;
    } else if (year < 100 || year > 9999) {
        return std::nullopt;
    }
    const DateTime d = DateTime::FromDate(year, month, day);
    if (!d.IsValidDate()) return std::nullopt;
    return d;
}

// ---- packed dates --------------------------------------------------------------------------

void PackDate(const std::string& opCode, std::string& data, std::int32_t position,
              const DateTime& dateValue) {
    if (opCode == "C" || opCode == "J") {
        // 1/1/1968 at midnight is the empty date, stored as day 0.
        const bool empty = dateValue == EmptyDate();
        const std::int64_t days = empty ? 0 : dateValue.DayNumber();
        Pack('C', data, static_cast<std::int32_t>(static_cast<std::uint32_t>(days)), position);
    } else if (opCode == "D" || opCode == "K") {
        Pack('D', data, dateValue.month * 10000 + dateValue.day * 100 + dateValue.year % 100,
             position);
    } else if (opCode == "R") {
        Pack('D', data, (dateValue.year % 100) * 10000 + dateValue.month * 100 + dateValue.day,
             position);
    }
}

DateTime UnPackDate(const std::string& opCode, const std::string& data, std::int32_t position) {
    try {
        if (opCode == "C" || opCode == "J") {
            const std::int32_t n = Unpack('C', data, position);
            return n == 0 ? EmptyDate() : DateTime::FromDayNumber(n);
        }
        if (opCode == "D" || opCode == "K") {
            return FromMdy(Unpack('D', data, position)).value_or(EmptyDate());
        }
        if (opCode == "R") {
            const std::int32_t n = Unpack('D', data, position);
            return FromMdy((n % 10000) * 100 + n / 10000).value_or(EmptyDate());
        }
    } catch (const platform::RuntimeError&) {
        // A field outside the record reads as the empty date.
    }
    return EmptyDate();
}

// ---- Stma ----------------------------------------------------------------------------------

void StmaSetAlphabetHead(std::int32_t var2, const std::string& head) {
    if (var2 != 0 || head.size() != 4) return;
    std::string& alphabet = Engine().CrmAlphabet;
    if (alphabet.size() < 4) return;
    alphabet.replace(0, 4, head);
}

void StmaDayToParts(std::int32_t dayNumber, std::int32_t* month, std::int32_t* day,
                    std::int32_t* year, DateTime* date) {
    const DateTime d = dayNumber == 0 ? EmptyDate() : DateTime::FromDayNumber(dayNumber);
    if (date) *date = d;
    if (month) *month = d.month;
    if (day) *day = d.day;
    if (year) *year = d.year % 100;
}

std::int32_t StmaPartsToDay(std::int32_t month, std::int32_t day, std::int32_t year) {
    if (month == 1 && day == 1 && year == 68) return 0;
    const auto d = MakeDate(month, day, year);
    if (!d) RaiseClassic(err::kTypeMismatch, "Stma");
    return static_cast<std::int32_t>(d->DayNumber());
}

// ---- system values -------------------------------------------------------------------------

std::int32_t Sys(std::int32_t value, const DateTime& now) {
    switch (value) {
        case 1: return now.day;
        case 2: return now.month;
        case 3: return now.year;
        case 4: {
            const auto& sys = Engine().SystemInfo;
            if (!sys) RaiseClassic(err::kObjectNotSet, "Sys");
            return platform::ToInt32(sys->TerminalID, "Sys");
        }
        case 28: return now.month * 10000 + now.day * 100 + now.year % 100;
        case 128: return (now.year % 100) * 10000 + now.month * 100 + now.day;
        // Today's day number from the full year: a two-digit year would run through the
        // 1930-2029 window and give a wrong (negative) number from 2030 on.
        case 152: return StmaPartsToDay(now.month, now.day, now.year);
        default: return 0;
    }
}

std::int32_t Sys(std::int32_t value) { return Sys(value, Now()); }

DateTime Now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    DateTime d;
    d.year = local.tm_year + 1900;
    d.month = local.tm_mon + 1;
    d.day = local.tm_mday;
    d.hour = local.tm_hour;
    d.minute = local.tm_min;
    d.second = local.tm_sec;
    return d;
}

}  // namespace zel::engine
