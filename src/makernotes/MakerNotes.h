#pragma once
// Maker notes: TmsInfo decodes the MakerNote of one TImageInfo.
#include "exif/ImageInfo.h"

namespace morvik {

class TmsInfo {
public:
    TmsInfo(bool fromTiff, TImageInfo* info);
    bool DecodeMakerNote();

private:
    bool fromTiff_;
    TImageInfo* info_;
};

}  // namespace morvik
