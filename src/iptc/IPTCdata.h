#pragma once
// TIPTCdata: the IPTC datasets of a JPEG file's first APP13 section.
#include "exif/TagEntry.h"

#include <vector>

namespace morvik {

class TimgData;

class TIPTCdata {
public:
    explicit TIPTCdata(TimgData* owner);
    virtual ~TIPTCdata();

protected:
    TimgData* owner_;
};

}  // namespace morvik
