#pragma once
// HEIF fixtures made with libheif's own encoder, and libheif's own decode as the oracle
// of how a HEIF looks upright.
#include "stamping/Picture.h"

#include <string>

namespace morvik::test {

struct HeifFixture {
    // The stored pixels; the default is a grey field with a red block in its top-left
    // corner, so that any turn or mirror moves the block.
    Picture Pixels = MarkedPicture(64, 48);
    // The transformation the file declares (EXIF numbering, 1..8); libheif writes it as
    // rotation and mirror boxes.
    int Transform = 1;
    bool TenBit = false;      // stored with 10-bit samples (a grey field, no block)
    std::string ExifItem;     // the raw EXIF item (offset and TIFF block); none when empty
    std::string Icc;
    std::string Xmp;

    static Picture MarkedPicture(int width, int height);
};

// The EXIF item libheif's own writer makes of a TIFF block: 4 bytes of offset 0, the block.
std::string ExifItemOf(const std::string& tiff);

std::string MakeHeif(const HeifFixture& fixture);

// libheif's decode of the primary image to 8-bit RGB, transformations applied.
Picture LibheifDecode(const std::string& heif);

// The mean absolute difference of two pictures' samples over the box (left, top,
// width, height); infinite when the box is not inside both.
double MeanDifference(const Picture& a, const Picture& b, int left, int top, int width, int height);

}  // namespace morvik::test
