#include "stamping/StampDrawing.h"

#include "stamping/Orientation.h"
#include "stamping/TextDraw.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace morvik {

namespace {

int ClampInt(int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// A share of the photo's shorter side in whole pixels.
int PercentOf(double percent, int shorterSide) { return int(std::lround(percent / 100.0 * shorterSide)); }

// The smallest box holding both.
PixelBox Union(const PixelBox& a, const PixelBox& b)
{
    if (a.Empty())
        return b;
    if (b.Empty())
        return a;
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}

PixelBox Intersection(const PixelBox& a, const PixelBox& b)
{
    const PixelBox i{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                     std::min(a.Bottom, b.Bottom)};
    return i.Empty() ? PixelBox{} : i;
}

PixelBox Widened(const PixelBox& box, int by)
{
    return {ClampInt(int64_t(box.Left) - by), ClampInt(int64_t(box.Top) - by), ClampInt(int64_t(box.Right) + by),
            ClampInt(int64_t(box.Bottom) + by)};
}

// The cells' top-left on the displayed photo: the offset counted inwards from the anchor's
// sides.
std::pair<int64_t, int64_t> CellsOrigin(const StampLook& look, int64_t cellsWidth, int64_t cellsHeight,
                                        int displayWidth, int displayHeight)
{
    const int shorter = std::min(displayWidth, displayHeight);
    const int64_t dx = look.RelativeMargin ? PercentOf(look.MarginPercent, shorter) : look.X;
    const int64_t dy = look.RelativeMargin ? PercentOf(look.MarginPercent, shorter) : look.Y;
    const int64_t right = displayWidth - dx - cellsWidth;
    const int64_t bottom = displayHeight - dy - cellsHeight;
    switch (look.Anchor) {
    case StampAnchor::TopLeft:
        return {dx, dy};
    case StampAnchor::TopRight:
        return {right, dy};
    case StampAnchor::BottomLeft:
        return {dx, bottom};
    case StampAnchor::BottomRight:
        return {right, bottom};
    case StampAnchor::BottomCentre: {
        const int64_t free = displayWidth - cellsWidth;
        const int64_t centred = free >= 0 ? free / 2 : -((1 - free) / 2);  // rounded down
        return {centred + (look.RelativeMargin ? 0 : look.X), bottom};
    }
    }
    return {dx, dy};
}

// Draws the text with its cells' top-left at (x, y) of a picture as displayed.
void DrawUpright(Picture& picture, int x, int y, std::string_view text, const StampLook& look,
                 const StampPlacement& placement)
{
    if (placement.OutlineWidth > 0)
        DrawOutlinedTextLine(picture, x, y, text, placement.Font, look.TextColor, look.BackgroundColor,
                             look.BackgroundStyle == TBrushStyle::Solid, OutlineColorOf(look), placement.OutlineWidth);
    else
        picture.TextOut(x, y, text);
}

}  // namespace

StampPlacement PlaceStamp(std::string_view text, const StampLook& look, int width, int height, int orientation)
{
    StampPlacement placement;
    placement.PhotoWidth = width;
    placement.PhotoHeight = height;
    placement.Font = look.Font;
    placement.Orientation = ValidOrientation(orientation);
    const DisplayTurn turn(placement.Orientation, width, height);
    const int shorter = std::min(turn.DisplayWidth(), turn.DisplayHeight());
    if (look.RelativeSize)
        placement.Font = FontForCellHeight(look.Font, std::max(1, PercentOf(look.SizePercent, shorter)));
    if (text.empty())
        return placement;

    const TextExtent extent = MeasureText(placement.Font, text);
    const auto [left, top] = CellsOrigin(look, extent.Width, extent.Height, turn.DisplayWidth(), turn.DisplayHeight());
    placement.Cells = {ClampInt(left), ClampInt(top), ClampInt(left + extent.Width), ClampInt(top + extent.Height)};
    if (look.Outline)
        placement.OutlineWidth = std::max(1, int(std::lround(extent.Height / 16.0)));

    // The glyphs' ink, the cells behind it when opaque, the ring round it.
    const PixelBox ink = TextLineBox(placement.Cells.Left, placement.Cells.Top, text, placement.Font, false);
    PixelBox shown = look.BackgroundStyle == TBrushStyle::Solid ? Union(ink, placement.Cells) : ink;
    if (placement.OutlineWidth > 0)
        shown = Union(shown, Widened(ink, placement.OutlineWidth + 1));
    const PixelBox inside = Intersection(shown, {0, 0, turn.DisplayWidth(), turn.DisplayHeight()});
    placement.Bounds = turn.ToStored(inside);
    return placement;
}

void DrawPlacedStamp(Picture& picture, int originX, int originY, std::string_view text, const StampLook& look,
                     const StampPlacement& placement)
{
    auto setSurface = [&](Picture& surface) {
        surface.BrushColor = look.BackgroundColor;
        surface.Font = placement.Font;
        surface.FontColor = look.TextColor;
        surface.BrushStyle = look.BackgroundStyle;
    };
    setSurface(picture);
    if (text.empty())
        return;
    if (placement.Orientation == 1) {
        // Upright as stored: straight into the picture, where it lies within the photo.
        DrawUpright(picture, ClampInt(int64_t(placement.Cells.Left) - originX),
                    ClampInt(int64_t(placement.Cells.Top) - originY), text, look, placement);
        return;
    }
    // Turned or mirrored: the stored pixels under the stamp are turned as displayed, drawn
    // on upright as above, and turned back.
    const PixelBox part{originX, originY, ClampInt(int64_t(originX) + picture.Width()),
                        ClampInt(int64_t(originY) + picture.Height())};
    const PixelBox stored = Intersection(placement.Bounds, part);
    if (stored.Empty())
        return;
    const DisplayTurn turn(placement.Orientation, placement.PhotoWidth, placement.PhotoHeight);
    const PixelBox shownAt = turn.ToDisplay(stored);
    Picture shown = turn.TakeDisplayed(picture, originX, originY, stored);
    setSurface(shown);
    DrawUpright(shown, ClampInt(int64_t(placement.Cells.Left) - shownAt.Left),
                ClampInt(int64_t(placement.Cells.Top) - shownAt.Top), text, look, placement);
    turn.PutBack(picture, originX, originY, stored, shown);
}

void DrawStamp(Picture& picture, std::string_view text, const StampLook& look, int orientation)
{
    DrawPlacedStamp(picture, 0, 0, text, look, PlaceStamp(text, look, picture.Width(), picture.Height(), orientation));
}

}  // namespace morvik
