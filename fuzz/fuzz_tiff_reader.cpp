// The TIFF reader: a file named .tif read for its metadata.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    morvik::fuzz::UseFixedFormatSettings();
    morvik::fuzz::ReadAndRender("x.tif", {reinterpret_cast<const char*>(data), size});
    return 0;
}
