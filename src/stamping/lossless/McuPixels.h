#pragma once
// The pixels of the MCUs under a stamp: decoded from their coefficients as libjpeg's full
// decode gives them there, drawn into, and encoded again as libjpeg encodes those pixels
// at the file's own quantization tables and sampling.
#include "stamping/Picture.h"
#include "stamping/lossless/McuCoding.h"

#include <functional>

namespace morvik {

// Draws the stamp into a piece of the picture: `region` holds the picture's pixels whose
// top-left is (originX, originY). Drawing must give the pixels that drawing on the whole
// picture gives there.
using RegionPainter = std::function<void(Picture& region, int originX, int originY)>;

namespace lossless {

// The MCUs under a stamp's box (clipped to the picture; empty when it lies outside) and
// with them the MCUs around whose samples the upsampler reads across MCU edges.
struct StampMcus {
    McuRect Touched, Margin;
};
StampMcus McusUnder(const JpegStructure& s, const PixelBox& box);

// The new coefficients of the MCUs of `touched`. `stored` holds the source coefficients of
// every MCU of `margin` (touched with the MCUs around it whose samples the upsampler reads).
McuStore RestampMcus(const JpegStructure& s, const McuRect& touched, const McuRect& margin, const McuStore& stored,
                     const RegionPainter& paint);

}  // namespace lossless
}  // namespace morvik
