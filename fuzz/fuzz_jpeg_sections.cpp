// The JPEG section reader from memory, with the EXIF walk, maker notes, IPTC and report.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    morvik::fuzz::UseFixedFormatSettings();
    morvik::fuzz::ReadAndRender("x.jpg", {reinterpret_cast<const char*>(data), size});
    return 0;
}
