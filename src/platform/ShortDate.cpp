#include "platform/ShortDate.h"

#include <cstdio>

namespace morvik {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Digits(int value, int width)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

}  // namespace

std::string FormatDateOnly(TDateTime value, std::string_view format, const TFormatSettings& settings)
{
    const DateTimeFields f = DecodeDateTime(value);
    std::string out;
    size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        const char lc = LowerAscii(c);
        if (c == '"' || c == '\'') {
            const size_t end = format.find(c, i + 1);
            const size_t stop = end == std::string_view::npos ? format.size() : end;
            out.append(format.substr(i + 1, stop - i - 1));
            i = end == std::string_view::npos ? format.size() : end + 1;
            continue;
        }
        if (c == '/') {
            out += settings.DateSeparator;
            ++i;
            continue;
        }
        if (lc != 'd' && lc != 'm' && lc != 'y') {
            out += c;
            ++i;
            continue;
        }
        size_t run = 1;
        while (i + run < format.size() && LowerAscii(format[i + run]) == lc)
            ++run;
        i += run;
        if (lc == 'd') {
            const int dow = (f.DayOfWeek >= 1 && f.DayOfWeek <= 7) ? f.DayOfWeek - 1 : 0;
            if (run == 1)
                out += std::to_string(f.Day);
            else if (run == 2)
                out += Digits(f.Day, 2);
            else if (run == 3)
                out += settings.ShortDayNames[static_cast<size_t>(dow)];
            else
                out += settings.LongDayNames[static_cast<size_t>(dow)];
        } else if (lc == 'm') {
            const size_t month = (f.Month >= 1 && f.Month <= 12) ? static_cast<size_t>(f.Month - 1) : 0;
            if (run == 1)
                out += std::to_string(f.Month);
            else if (run == 2)
                out += Digits(f.Month, 2);
            else if (run == 3)
                out += settings.ShortMonthNames[month];
            else
                out += settings.LongMonthNames[month];
        } else {
            if (run <= 2)
                out += Digits(f.Year % 100, 2);
            else
                out += Digits(f.Year, 4);
        }
    }
    return out;
}

std::string ShortDateText(TDateTime value)
{
    return FormatDateOnly(value, FormatSettings().ShortDateFormat, FormatSettings());
}

}  // namespace morvik
