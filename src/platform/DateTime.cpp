#include "platform/DateTime.h"

#include <cmath>

namespace morvik {

namespace {

// Day number of 30.12.1899 counted from 01.01.0001 (day 0) in the proleptic Gregorian calendar.
constexpr int64_t DateDelta = 693593;

int64_t DaysBeforeYear(int64_t year)
{
    const int64_t y = year - 1;
    return y * 365 + y / 4 - y / 100 + y / 400;
}

int DaysBeforeMonth(int year, int month)
{
    static constexpr int cumulative[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    return cumulative[month - 1] + ((month > 2 && IsLeapYear(year)) ? 1 : 0);
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month)
{
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return days[month - 1] + ((month == 2 && IsLeapYear(year)) ? 1 : 0);
}

std::optional<TDateTime> TryEncodeDate(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return std::nullopt;
    const int64_t days = DaysBeforeYear(year) + DaysBeforeMonth(year, month) + day - 1;
    return static_cast<TDateTime>(days - DateDelta);
}

std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int msec)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
        msec > 999)
        return std::nullopt;
    const double ms = ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec;
    return ms / MSecsPerDay;
}

std::optional<TDateTime> TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                                           int msec)
{
    auto date = TryEncodeDate(year, month, day);
    auto time = TryEncodeTime(hour, minute, second, msec);
    if (!date || !time)
        return std::nullopt;
    // Plain arithmetic on both sides of 30.12.1899, matching DecodeDateTime.
    return *date + *time;
}

DateTimeFields DecodeDateTime(TDateTime value)
{
    DateTimeFields f;
    // Outside years 1..9999 (and for NaN) there are no fields to give.
    if (!std::isfinite(value) || value < -693594.0 || value > 2958466.0)
        return f;
    // Whole milliseconds since 30.12.1899 00:00, then days and the time of day.
    const double totalMs = std::round(value * MSecsPerDay);
    const int64_t msPerDay = 86400000;
    int64_t ms = static_cast<int64_t>(totalMs);
    int64_t days = ms / msPerDay;
    int64_t msOfDay = ms % msPerDay;
    if (msOfDay < 0) {
        msOfDay += msPerDay;
        days -= 1;
    }
    f.Hour = static_cast<int>(msOfDay / 3600000);
    f.Minute = static_cast<int>(msOfDay / 60000 % 60);
    f.Second = static_cast<int>(msOfDay / 1000 % 60);
    f.MilliSecond = static_cast<int>(msOfDay % 1000);

    // Civil date from the day count.
    int64_t n = days + DateDelta;  // 0 = 01.01.0001
    if (n < 0 || n >= 3652059) {
        f.Year = f.Month = f.Day = 0;
        return f;
    }
    f.DayOfWeek = static_cast<int>((n + 1) % 7) + 1;  // 01.01.0001 was a Monday
    int64_t y = 1;
    int64_t d400 = n / 146097;
    n %= 146097;
    int64_t d100 = n / 36524;
    if (d100 == 4)
        d100 = 3;
    n -= d100 * 36524;
    int64_t d4 = n / 1461;
    n %= 1461;
    int64_t d1 = n / 365;
    if (d1 == 4)
        d1 = 3;
    n -= d1 * 365;
    y += d400 * 400 + d100 * 100 + d4 * 4 + d1;
    f.Year = static_cast<int>(y);
    int month = 1;
    while (n >= DaysInMonth(f.Year, month)) {
        n -= DaysInMonth(f.Year, month);
        ++month;
    }
    f.Month = month;
    f.Day = static_cast<int>(n) + 1;
    return f;
}

TDateTime DateTimeFromLocalTimespec(const timespec& utc)
{
    tm local{};
    time_t seconds = utc.tv_sec;
    if (!localtime_r(&seconds, &local))
        return 0;
    auto value = TryEncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                   local.tm_min, local.tm_sec, static_cast<int>(utc.tv_nsec / 1000000));
    return value.value_or(0);
}

std::optional<time_t> LocalDateTimeToUnix(const DateTimeFields& f)
{
    tm local{};
    local.tm_year = f.Year - 1900;
    local.tm_mon = f.Month - 1;
    local.tm_mday = f.Day;
    local.tm_hour = f.Hour;
    local.tm_min = f.Minute;
    local.tm_sec = f.Second;
    local.tm_isdst = -1;  // let the zone rule of that date decide
    time_t t = mktime(&local);
    if (t == static_cast<time_t>(-1) && !(f.Year == 1969 && f.Month == 12 && f.Day == 31))
        return std::nullopt;
    return t;
}

TDateTime Now()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return DateTimeFromLocalTimespec(ts);
}

}  // namespace morvik
