#pragma once
// One line of text drawn with FreeType in a face that fontconfig finds for a TFont.
//
// The character cell of a face at a size is ascender + descender pixels high; the text's
// top y is the top of the cells and its baseline lies ascender pixels below. Glyphs are
// anti-aliased: their coverage blends the text colour over what lies beneath (the picture
// or, when opaque, the background filled into the cells first). Safe on several threads
// at once: each thread keeps its own FreeType library and faces; the face lookup is
// shared under a lock.
#include "stamping/Picture.h"

#include <string>
#include <string_view>

namespace morvik {

struct TextExtent {
    int Width = 0;   // sum of the glyphs' advances
    int Height = 0;  // the character cell's height
};

// Width and height of one line of UTF-8 text in the font (0 wide for an empty text).
TextExtent MeasureText(const TFont& font, std::string_view text);

// Draws one line with the top-left of its first cell at (x, y); negative positions and
// text beyond the edges are clipped. Opaque fills the cells (x..x+width, y..y+height)
// with background first. An empty text draws nothing.
void DrawTextLine(Picture& picture, int x, int y, std::string_view text, const TFont& font,
                  TColor textColor, TColor background, bool opaque);

// Every pixel DrawTextLine may change for the same arguments lies in this box: the
// character cells when opaque, and each glyph's bitmap, which a slanted or overhanging
// glyph takes past its cell. Empty for an empty text.
PixelBox TextLineBox(int x, int y, std::string_view text, const TFont& font, bool opaque);

// The font with the largest character height (at least 1 pixel) whose cell is at most
// cellHeight pixels high; its face and style are kept.
TFont FontForCellHeight(const TFont& font, int cellHeight);

// DrawTextLine with the glyphs ringed outlineWidth pixels wide in outlineColor: the cells'
// background (when opaque) first, then the ring, then the glyphs. Drawing onto a piece of
// a picture gives there what drawing onto the whole gives. Every pixel it may change lies
// in TextLineBox widened by outlineWidth + 1 on each side.
void DrawOutlinedTextLine(Picture& picture, int x, int y, std::string_view text, const TFont& font,
                          TColor textColor, TColor background, bool opaque, TColor outlineColor, int outlineWidth);

// A soft shadow of the line's glyphs (with the ring round them when outlineWidth > 0) in
// color: their coverage softened over `blur` pixels, laid `offset` pixels down and right, at
// strength/255 of its full strength. Drawing onto a piece of a picture gives there what
// drawing onto the whole gives. Every pixel it may change lies in TextLineBox widened by
// outlineWidth + 1 (with an outline) and TextShadowReach(blur), moved by offset.
void DrawTextShadow(Picture& picture, int x, int y, std::string_view text, const TFont& font, int outlineWidth,
                    TColor color, int offset, int blur, int strength);
// How far past the glyphs (and their ring) a shadow softened over `blur` pixels spreads.
int TextShadowReach(int blur);

// The font file fontconfig chose for the font ("" when none was found), for reports and tests.
std::string ResolvedFontFile(const TFont& font);
// The family of that file ("DejaVu Sans" in place of a face that is not installed), ""
// when none was found: the face the text is really drawn in.
std::string ResolvedFontFamily(const TFont& font);

}  // namespace morvik
