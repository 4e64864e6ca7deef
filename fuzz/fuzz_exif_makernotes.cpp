// The EXIF walk into a maker note: the first byte picks the maker and the block's shape,
// the rest is the note (see MakerNoteFile).
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    morvik::fuzz::UseFixedFormatSettings();
    std::string name;
    const std::string file = morvik::fuzz::MakerNoteFile({reinterpret_cast<const char*>(data), size}, name);
    morvik::fuzz::ReadAndRender(name, file);
    return 0;
}
