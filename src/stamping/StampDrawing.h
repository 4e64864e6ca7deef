#pragma once
// The stamp: text drawn into a picture's pixels, the one drawing step shared by the single
// picture, the folder batch and the command line. A text of several lines ("\n" between
// them) is set one line under the other, each aligned to the anchor's side (centred for
// bottom-centre); the size counts one line's height.
//
// Drawing goes in two steps. PlaceStamp decides, for a photo's stored size and EXIF
// Orientation, the font's size, where the cells lie on the photo as displayed and which
// stored pixels the drawing may change. DrawPlacedStamp then draws into the whole photo
// or into any piece of it (a region picture and its origin), each pixel as drawing on the
// whole photo gives it. DrawStamp does both on a whole picture.
#include "stamping/Picture.h"
#include "stamping/StampRequest.h"  // StampLook

#include <string_view>
#include <vector>

namespace morvik {

struct StampPlacement {
    int PhotoWidth = 0;     // the photo's stored size
    int PhotoHeight = 0;
    TFont Font;             // the look's font at the height the stamp is drawn in
    int Orientation = 1;    // the turn from stored to displayed pixels the stamp follows (1: none)
    PixelBox Cells;         // the text's character cells on the photo as displayed (all lines)
    std::vector<PixelBox> Lines;  // each line's cells on the photo as displayed, top to bottom
    int OutlineWidth = 0;   // the ring round the glyphs in pixels; 0 without an outline
    int ShadowOffset = 0;   // the shadow's offset down and right in pixels
    int ShadowBlur = 0;     // the shadow's softening radius in pixels; 0 without a shadow
    // In stored pixels and inside the photo: every pixel the drawing may change (the cells
    // when opaque, the glyphs' ink with what a slanted glyph takes past its cell, the
    // ring, the shadow). Empty when nothing is drawn.
    PixelBox Bounds;
};

// Places text with the look on a photo of width × height stored pixels whose EXIF
// Orientation is `orientation` (1..8; any other value is 1): the stamp is placed and drawn
// upright on the photo as a viewer displays it, whatever the look.
StampPlacement PlaceStamp(std::string_view text, const StampLook& look, int width, int height, int orientation);

// Sets the picture's surface (fill colour := background, font, font colour, fill style)
// and draws the placed text into it. `picture` holds the photo's stored pixels whose
// top-left is (originX, originY): the whole photo at (0, 0), or a piece of it. A Solid
// style fills the cells behind the glyphs; any other draws the glyphs only. Nothing is
// wrapped; what lies outside the picture is cut off; an empty text draws nothing. With the
// automatic colour the text's colour is chosen by the lightness of the picture within the
// placement's bounds before drawing: `picture` must hold all of them.
void DrawPlacedStamp(Picture& picture, int originX, int originY, std::string_view text, const StampLook& look,
                     const StampPlacement& placement);

// The look with the automatic colour settled for the ground: white text (black outline) on a
// dark ground, black text (white outline) on a light one, by the mean lightness of the
// picture's pixels within `box` (stored pixels; the picture's top-left at origin). Any
// other look is returned as it is.
StampLook LookOnGround(const StampLook& look, const Picture& picture, int originX, int originY, const PixelBox& box);

// PlaceStamp for the whole picture, then DrawPlacedStamp.
void DrawStamp(Picture& picture, std::string_view text, const StampLook& look, int orientation = 1);

}  // namespace morvik
