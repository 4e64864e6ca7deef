#include "stamping/TimeCorrection.h"

#include "platform/DateMask.h"
#include "platform/Exceptions.h"

namespace morvik {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int TwoDigits(char tens, char units) { return (tens == ' ' ? 0 : tens - '0') * 10 + (units - '0'); }

}  // namespace

TDateTime CorrectionFromText(std::string_view text)
{
    const bool shaped = text.size() == 8 && (IsDigit(text[0]) || text[0] == ' ') && IsDigit(text[1]) &&
                        text[2] == ':' && IsDigit(text[3]) && IsDigit(text[4]) && text[5] == ':' &&
                        IsDigit(text[6]) && IsDigit(text[7]);
    if (shaped) {
        const int hours = TwoDigits(text[0], text[1]);
        const int minutes = TwoDigits(text[3], text[4]);
        const int seconds = TwoDigits(text[6], text[7]);
        if (auto time = TryEncodeTime(hours, minutes, seconds, 0))
            return *time;
    }
    throw EConvertError("'" + std::string(text) + "' is not a valid date and time");
}

TDateTime ApplyCorrection(TDateTime date, TDateTime correction, int direction)
{
    return direction == 0 ? date + correction : date - correction;
}

TDateTime CorrectedDate(TDateTime date, const DateCorrection& correction)
{
    if (!correction.On)
        return date;
    return ApplyCorrection(date, CorrectionFromText(correction.Text), correction.Direction);
}

std::string StampDateText(TDateTime date) { return FormatDateTime(StampDateMask, date); }

}  // namespace morvik
