#pragma once
// The regional settings the program formats with: filled from the user's locale at
// start (FillFromLocale), set explicitly in tests. Texts are UTF-8.
#include <array>
#include <string>

namespace morvik {

struct TFormatSettings {
    std::string DateSeparator = ".";
    std::string TimeSeparator = ":";
    std::string ShortDateFormat = "dd.MM.yyyy";
    std::string LongDateFormat = "d MMMM yyyy";
    std::string ShortTimeFormat = "h:mm";
    std::string LongTimeFormat = "h:mm:ss";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::array<std::string, 12> ShortMonthNames{};
    std::array<std::string, 12> LongMonthNames{};
    std::array<std::string, 7> ShortDayNames{};  // index 0 = Sunday
    std::array<std::string, 7> LongDayNames{};
    char DecimalSeparator = '.';
    std::string ThousandSeparator = ",";

    // Plain English names, "/" and ":" separators, "." decimals: what tests start from.
    static TFormatSettings English();
    // Russian regional settings as the program's users usually have them.
    static TFormatSettings Russian();
};

// The process-wide settings. Read on the UI thread and by batch workers; written only
// at start-up (or by tests, before anything reads them).
TFormatSettings& FormatSettings();

// The separator of a strftime date or time format: its first character that is neither a
// blank nor a '%' specifier, whole (a multi-byte UTF-8 character stays whole); fallback
// when it has none.
std::string SeparatorOf(const std::string& fmt, const std::string& fallback);

// Fills FormatSettings() from the user's locale (LANG / LC_* as setlocale sees them).
void FillFormatSettingsFromLocale();

}  // namespace morvik
