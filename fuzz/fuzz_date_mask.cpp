// The date mask formatter: the first eight bytes are the date-time value, the rest the mask.
#include "FuzzSupport.h"

#include "platform/DateMask.h"
#include "platform/FormatSettings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

size_t CodePoints(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    double value;
    std::memcpy(&value, data, 8);
    const std::string_view mask(reinterpret_cast<const char*>(data) + 8, size - 8);
    static const morvik::TFormatSettings english = morvik::TFormatSettings::English();
    static const morvik::TFormatSettings russian = morvik::TFormatSettings::Russian();
    for (const auto* settings : {&english, &russian}) {
        const std::string text = morvik::FormatDateTime(mask, value, *settings);
        if (CodePoints(text) > morvik::DateMaskMaxLength) {
            std::fputs("date mask result longer than its limit\n", stderr);
            std::abort();
        }
    }
    return 0;
}
