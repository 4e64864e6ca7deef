#include "platform/FormatSettings.h"

#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <locale.h>

namespace morvik {

namespace {

const std::array<std::string, 12> kEnglishShortMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const std::array<std::string, 12> kEnglishLongMonths = {"January", "February", "March",     "April",
                                                         "May",     "June",     "July",      "August",
                                                         "September", "October", "November", "December"};
const std::array<std::string, 7> kEnglishShortDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const std::array<std::string, 7> kEnglishLongDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                      "Thursday", "Friday", "Saturday"};

// Turns a strftime format ("%d.%m.%Y") into the date-mask language ("dd.mm.yyyy").
std::string MaskFromStrftime(const std::string& fmt, bool isTime)
{
    std::string out;
    for (size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c != '%' || i + 1 >= fmt.size()) {
            if (c == '"' || c == '\'' || std::strchr("dmyhnsztcgeaDMYHNSZTCGEA/:", c)) {
                out += '"';
                out += c;
                out += '"';
            } else {
                out += c;
            }
            continue;
        }
        char s = fmt[++i];
        while ((s == 'E' || s == 'O' || s == '-' || s == '_' || s == '0' || s == '^' || s == '#') &&
               i + 1 < fmt.size())
            s = fmt[++i];
        switch (s) {
        case 'd': out += "dd"; break;
        case 'e': out += "d"; break;
        case 'm': out += "mm"; break;
        case 'b': case 'h': out += "mmm"; break;
        case 'B': out += "mmmm"; break;
        case 'y': out += "yy"; break;
        case 'Y': case 'C': out += "yyyy"; break;
        case 'a': out += "ddd"; break;
        case 'A': out += "dddd"; break;
        case 'H': out += "hh"; break;
        case 'k': out += "h"; break;
        case 'I': out += "hh"; break;
        case 'l': out += "h"; break;
        case 'M': out += isTime ? "nn" : "nn"; break;
        case 'S': out += "ss"; break;
        case 'p': case 'P': out += "ampm"; break;
        case 'D': out += "mm/dd/yy"; break;
        case 'F': out += "yyyy-mm-dd"; break;
        case 'T': out += "hh:nn:ss"; break;
        case 'R': out += "hh:nn"; break;
        case 'r': out += "hh:nn:ss ampm"; break;
        case '%': out += '%'; break;
        case 'n': out += ' '; break;
        case 't': out += ' '; break;
        default: break;
        }
    }
    return out;
}

}  // namespace

TFormatSettings TFormatSettings::English()
{
    TFormatSettings s;
    s.DateSeparator = "/";
    s.TimeSeparator = ":";
    s.ShortDateFormat = "m/d/yyyy";
    s.LongDateFormat = "dddd, mmmm d, yyyy";
    s.ShortTimeFormat = "h:nn ampm";
    s.LongTimeFormat = "h:nn:ss ampm";
    s.TimeAMString = "AM";
    s.TimePMString = "PM";
    s.ShortMonthNames = kEnglishShortMonths;
    s.LongMonthNames = kEnglishLongMonths;
    s.ShortDayNames = kEnglishShortDays;
    s.LongDayNames = kEnglishLongDays;
    s.DecimalSeparator = '.';
    s.ThousandSeparator = ",";
    return s;
}

TFormatSettings TFormatSettings::Russian()
{
    TFormatSettings s;
    s.DateSeparator = ".";
    s.TimeSeparator = ":";
    s.ShortDateFormat = "dd.mm.yyyy";
    s.LongDateFormat = "d mmmm yyyy \"г.\"";
    s.ShortTimeFormat = "h:nn";
    s.LongTimeFormat = "h:nn:ss";
    s.TimeAMString = "";
    s.TimePMString = "";
    s.ShortMonthNames = {"янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек"};
    s.LongMonthNames = {"Январь", "Февраль", "Март",     "Апрель",  "Май",    "Июнь",
                        "Июль",   "Август",  "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};
    s.ShortDayNames = {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"};
    s.LongDayNames = {"воскресенье", "понедельник", "вторник", "среда", "четверг", "пятница", "суббота"};
    s.DecimalSeparator = ',';
    s.ThousandSeparator = "\xC2\xA0";  // no-break space
    return s;
}

std::string SeparatorOf(const std::string& fmt, const std::string& fallback)
{
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == '%') {
            ++i;
            continue;
        }
        if (fmt[i] == ' ')
            continue;
        // The whole character: a UTF-8 lead byte with its continuation bytes.
        size_t end = i + 1;
        while (end < fmt.size() && (static_cast<unsigned char>(fmt[end]) & 0xC0) == 0x80)
            ++end;
        return fmt.substr(i, end - i);
    }
    return fallback;
}

TFormatSettings& FormatSettings()
{
    static TFormatSettings settings = TFormatSettings::English();
    return settings;
}

void FillFormatSettingsFromLocale()
{
    // Read the user's locale without disturbing the process's "C" numeric behaviour. Only
    // the two categories the settings come from are loaded: each is a file to read.
    locale_t loc = newlocale(LC_NUMERIC_MASK | LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return;
    TFormatSettings s = TFormatSettings::English();
    auto item = [&](nl_item what) { return std::string(nl_langinfo_l(what, loc)); };
    static constexpr nl_item abmon[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                          ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    static constexpr nl_item mon[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                        MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    static constexpr nl_item abday[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
    static constexpr nl_item day[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    for (int i = 0; i < 12; ++i) {
        s.ShortMonthNames[i] = item(abmon[i]);
        // Nominative month names where the locale has them ("Январь", not "января").
        std::string alt = item(ALTMON_1 + i);
        s.LongMonthNames[i] = alt.empty() ? item(mon[i]) : alt;
    }
    for (int i = 0; i < 7; ++i) {
        s.ShortDayNames[i] = item(abday[i]);
        s.LongDayNames[i] = item(day[i]);
    }
    const std::string dateFmt = item(D_FMT);
    const std::string timeFmt = item(T_FMT);
    s.ShortDateFormat = MaskFromStrftime(dateFmt, false);
    s.LongDateFormat = s.ShortDateFormat;
    s.LongTimeFormat = MaskFromStrftime(timeFmt, true);
    s.ShortTimeFormat = s.LongTimeFormat;
    // The short time is the long one without its seconds.
    for (const char* cut : {":ss", ".ss"}) {
        auto pos = s.ShortTimeFormat.find(cut);
        if (pos != std::string::npos)
            s.ShortTimeFormat.erase(pos, 3);
    }
    s.DateSeparator = SeparatorOf(dateFmt, "/");
    s.TimeSeparator = SeparatorOf(timeFmt, ":");
    s.TimeAMString = item(AM_STR);
    s.TimePMString = item(PM_STR);
    const std::string radix = item(RADIXCHAR);
    s.DecimalSeparator = radix.size() == 1 ? radix[0] : '.';
    s.ThousandSeparator = item(THOUSEP);
    freelocale(loc);
    FormatSettings() = s;
}

}  // namespace morvik
