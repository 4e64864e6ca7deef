// The correction text of the time editor: it converts to a time of day or raises
// EConvertError, nothing else; a converted correction applies in both directions.
#include "FuzzSupport.h"

#include "platform/Exceptions.h"
#include "stamping/TimeCorrection.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    morvik::fuzz::UseFixedFormatSettings();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    morvik::TDateTime correction = 0;
    try {
        correction = morvik::CorrectionFromText(text);
    } catch (const morvik::EConvertError&) {
        return 0;
    }
    if (size != 8 || !(correction >= 0 && correction < 1)) {
        std::fputs("a correction outside a day was accepted\n", stderr);
        std::abort();
    }
    const morvik::TDateTime date = 39309.5;  // 15.08.2007 12:00:00
    const morvik::TDateTime back =
        morvik::ApplyCorrection(morvik::ApplyCorrection(date, correction, 0), correction, 1);
    if (std::fabs(back - date) > 1e-9)
        std::abort();
    (void)morvik::StampDateText(morvik::ApplyCorrection(date, correction, 0));
    return 0;
}
