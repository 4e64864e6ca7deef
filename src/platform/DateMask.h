#pragma once
// The date mask: a pattern that turns a date-time value into text, read left to right.
//
//   d dd          day of the month, unpadded / two digits
//   ddd dddd      short / long day name
//   ddddd         the short date format; six or more d: the long date format
//   m mm          month, unpadded / two digits; minutes when the letter before was an h
//   mmm mmmm...   short / long month name
//   y yy          year modulo 100, two digits; three or more y: the year, four digits
//   e ee eee...   year of the alternative calendar (here the Gregorian one), g: its era
//                 name (here empty)
//   h hh          hour (12-hour clock when am/pm, a/p or ampm was met, or comes next)
//   n nn, s ss    minute, second;  z zz zzz  millisecond padded to the run's length
//   t tt          short / long time format;  c  short date, then the long time unless 00:00:00
//   am/pm a/p     the mask's own letters for morning / afternoon;  ampm  the locale's
//   aaa aaaa      short / long day name;  /  date separator;  :  time separator
//   "…" '…'       quoted text, copied without the quotes (an open quote runs to the end)
//
// Letters are recognised in either case; a run of the same character in the same case
// is one specifier. Anything else, non-ASCII UTF-8 text included, is copied as it is.
// Formats reached through c, ddddd, dddddd, t and tt are read with the same rules, two
// levels deep; a third level adds nothing. The result is cut at 256 characters.
#include "platform/DateTime.h"
#include "platform/FormatSettings.h"

#include <string>
#include <string_view>

namespace morvik {

// Longest result of FormatDateTime, in characters (UTF-8 code points).
constexpr size_t DateMaskMaxLength = 256;

// The value is first rounded to whole milliseconds, then split into its fields.
std::string FormatDateTime(std::string_view mask, TDateTime value, const TFormatSettings& settings);
// The same with the process-wide FormatSettings().
std::string FormatDateTime(std::string_view mask, TDateTime value);

}  // namespace morvik
