// The IPTC parser over an APP13 section's bytes, and the comma lists it keeps.
#include "FuzzSupport.h"

#include "iptc/IPTCdata.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    morvik::TIPTCdata iptc(nullptr);
    iptc.ParseResource(bytes);
    if (iptc.Count() < 0 || iptc.Count() > iptc.Capacity())
        std::abort();
    for (int i = 0; i < iptc.Count(); ++i) {
        const morvik::TTagEntry e = iptc.EntryAt(i);
        const std::string value = iptc.GetValue(e.TagName, "");
        // A comma list read back and written again reads the same.
        const auto items = morvik::ReadCommaList(value);
        if (morvik::ReadCommaList(morvik::WriteCommaList(items)) != items) {
            std::fputs("comma list does not survive a round trip\n", stderr);
            std::abort();
        }
    }
    return 0;
}
