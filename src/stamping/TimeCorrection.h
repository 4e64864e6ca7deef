#pragma once
// The time correction: a fixed shift of hours, minutes and seconds for a camera whose
// clock was wrong. The corrected date names the batch's output files, sets their time
// and shows beside the date; the stamped text always shows the uncorrected date.
#include "platform/DateTime.h"
#include "stamping/StampRequest.h"  // DateCorrection

#include <string>
#include <string_view>

namespace morvik {

// The correction text of the time editor as a time of day, in days. The text has the
// editor's shape: eight characters, two hour digits, ':', two minute digits, ':', two
// second digits; the first hour digit may be a blank, no other position may. Hours
// 0..23, minutes and seconds 0..59 (so "24:00:00" fails). Any other text throws
// EConvertError "'<text>' is not a valid date and time".
TDateTime CorrectionFromText(std::string_view text);

// date + correction for direction index 0 ("+"), date - correction for any other index
// ("-", or -1 when none is selected). Midnight is crossed as the arithmetic gives.
TDateTime ApplyCorrection(TDateTime date, TDateTime correction, int direction);

// The date corrected by the correction while it is on (its tick set), else the date
// unchanged. Throws EConvertError when the correction text does not convert.
TDateTime CorrectedDate(TDateTime date, const DateCorrection& correction);

// A date as the stamp and the corrected-date strip show it: "dd.mm.yyyy hh:nn:ss".
std::string StampDateText(TDateTime date);

}  // namespace morvik
