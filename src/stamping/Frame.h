#pragma once
// The frame: three one-pixel rings drawn from the picture's edge inwards.
#include "stamping/Picture.h"

namespace morvik {

// Ring colours from the outside in: light beige, grey, dark slate.
constexpr TColor kFrameRingColors[3] = {
    RgbColor(241, 234, 224),
    RgbColor(188, 187, 192),
    RgbColor(66, 82, 97),
};

// Rectangles (i, i, width − i, height − i) for i = 0, 1, 2, outline only, one-pixel pen,
// with width and height the picture's remembered size. The inside is left untouched;
// framing twice draws the same rings again. The pen colour stays the last ring's.
void AddFrame(Picture& picture, int width, int height);

}  // namespace morvik
