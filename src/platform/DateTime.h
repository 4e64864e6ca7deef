#pragma once
// The date-time value: days since 30 December 1899 00:00, the fraction being the
// time of day. 0 stands for a missing date. Values below zero are plain arithmetic
// (0 minus one hour is 29.12.1899 23:00:00).
#include <cstdint>
#include <ctime>
#include <optional>

namespace morvik {

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;

struct DateTimeFields {
    int Year = 0, Month = 0, Day = 0;
    int Hour = 0, Minute = 0, Second = 0, MilliSecond = 0;
    int DayOfWeek = 0;  // 1 = Sunday ... 7 = Saturday
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Whole days since 30.12.1899 for a valid Gregorian date (years 1..9999), else nullopt.
std::optional<TDateTime> TryEncodeDate(int year, int month, int day);
// Fraction of a day for hours 0..23, minutes and seconds 0..59, milliseconds 0..999.
std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int msec);
std::optional<TDateTime> TryEncodeDateTime(int year, int month, int day, int hour, int minute,
                                           int second, int msec = 0);

// Rounds to whole milliseconds first, then splits. A negative value counts back from
// 30.12.1899 00:00 with a time of day that runs forward (-1/24 is 29.12.1899 23:00).
// Values outside years 1..9999 give all fields 0.
DateTimeFields DecodeDateTime(TDateTime value);

// Local time, with the time-zone rule in force on that date (daylight saving included).
TDateTime DateTimeFromLocalTimespec(const timespec& utc);
std::optional<time_t> LocalDateTimeToUnix(const DateTimeFields& fields);
TDateTime Now();

}  // namespace morvik
