#pragma once
// Day-number dates, the packed month-day-year and year-month-day dates, and system values.
//
// A day number counts whole days from 12/31/1967 (day 0, the empty date, which reads back as
// 1/1/1968). Two-digit years are read with the window 1930-2029.
#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace zel::engine {

// A date and time of day to the second, on the proleptic Gregorian calendar. The default value
// is 12/30/1899 00:00:00, the zero of the business programs' date type.
struct DateTime {
    std::int32_t year = 1899;
    std::int32_t month = 12;
    std::int32_t day = 30;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;

    auto operator<=>(const DateTime&) const = default;

    static DateTime FromDate(std::int32_t year, std::int32_t month, std::int32_t day);
    // The date `days` days after 12/31/1967 (negative: before it).
    static DateTime FromDayNumber(std::int64_t days);
    // Whole days from 12/31/1967 to the date part.
    std::int64_t DayNumber() const;
    // True when year, month and day name a real calendar day.
    bool IsValidDate() const;
};

// A calendar date from month, day and a year (0-99 through the 1930-2029 window, else as
// given); none when they form no real date.
std::optional<DateTime> MakeDate(std::int32_t month, std::int32_t day, std::int32_t year);

// Writes `dateValue` at `position` of `data`: type "C"/"J" day number (2 bytes), "D"/"K"
// mmddyy (3 bytes), "R" yymmdd (3 bytes). Any other type (types are not upper-cased) writes
// nothing. Raises the errors of Pack when the field does not fit.
void PackDate(const std::string& opCode, std::string& data, std::int32_t position,
              const DateTime& dateValue);
// Reads a date of the given type at `position`. Never raises: anything unreadable or no valid
// date gives 1/1/1968.
DateTime UnPackDate(const std::string& opCode, const std::string& data, std::int32_t position);

// Stma operation 10: replaces the first four characters of the program-wide alphabet with
// `head` when `var2` is 0 and `head` has exactly 4 characters; otherwise nothing happens.
void StmaSetAlphabetHead(std::int32_t var2, const std::string& head);
// Stma operation 11: a day number split into its date (1/1/1968 for day 0) and month, day and
// two-digit year. Outputs given as null are not returned.
void StmaDayToParts(std::int32_t dayNumber, std::int32_t* month, std::int32_t* day,
                    std::int32_t* year, DateTime* date);
// Stma operation 12: the day number of month/day/year (1, 1, 68 gives 0). Raises error 13 when
// they form no valid date.
std::int32_t StmaPartsToDay(std::int32_t month, std::int32_t day, std::int32_t year);

// System values: 1 day, 2 month, 3 four-digit year, 4 terminal number, 28 mmddyy, 128 yymmdd,
// 152 today's day number; anything else 0.
std::int32_t Sys(std::int32_t value);
// The same with "today" taken from `now`.
std::int32_t Sys(std::int32_t value, const DateTime& now);

// The local clock's current date and time.
DateTime Now();

}  // namespace zel::engine
