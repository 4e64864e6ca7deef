#pragma once
// The stamp: one line of text drawn into a picture's pixels, the one drawing step shared
// by the single picture and the folder batch.
#include "stamping/Picture.h"
#include "stamping/StampSettings.h"  // StampLook

#include <string_view>

namespace morvik {

// Sets the picture's surface in order (fill colour := background, font, font colour,
// fill style) and draws text as one line with its top-left at (X, Y) in picture pixels.
// A Solid style fills each character cell behind the glyphs; any other draws the glyphs
// only. Nothing is wrapped or scaled; what lies outside the picture is cut off; an empty
// text draws nothing.
void DrawStamp(Picture& picture, std::string_view text, const StampLook& look);

}  // namespace morvik
