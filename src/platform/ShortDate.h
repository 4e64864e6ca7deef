#pragma once
// The date part of a date-time value in a regional date format such as "dd.mm.yyyy":
// what the metadata report needs, without the whole date-mask language of the engine.
#include "platform/DateTime.h"
#include "platform/FormatSettings.h"

#include <string>
#include <string_view>

namespace morvik {

// Letters (case ignored): d, dd day; ddd, dddd day name; m, mm month; mmm, mmmm month
// name; yy two-digit and yyyy four-digit year (y and yyy count as yy and yyyy); "/" is
// the date separator; text in double or single quotes stands as written; anything else
// is copied. The result is UTF-8, like the settings it comes from.
std::string FormatDateOnly(TDateTime value, std::string_view format, const TFormatSettings& settings);

// FormatDateOnly with the short date format of FormatSettings().
std::string ShortDateText(TDateTime value);

}  // namespace morvik
