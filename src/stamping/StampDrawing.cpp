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

// The lines of a text, split at its line breaks.
std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return lines;
        start = end + 1;
    }
}

// Draws the placed lines on a picture as displayed whose top-left lies at (shiftX, shiftY)
// of the photo as displayed: the cells' background when opaque, the shadow, then each
// line's ring and glyphs.
void DrawUpright(Picture& picture, int64_t shiftX, int64_t shiftY, std::string_view text, const StampLook& look,
                 const StampPlacement& placement)
{
    const std::vector<std::string_view> lines = SplitLines(text);
    const bool opaque = look.BackgroundStyle == TBrushStyle::Solid;
    auto at = [&](const PixelBox& cells) {
        return std::pair{ClampInt(cells.Left - shiftX), ClampInt(cells.Top - shiftY)};
    };
    if (lines.size() == 1 && !look.Shadow) {
        const auto [x, y] = at(placement.Cells);
        if (placement.OutlineWidth > 0)
            DrawOutlinedTextLine(picture, x, y, text, placement.Font, look.TextColor, look.BackgroundColor, opaque,
                                 OutlineColorOf(look), placement.OutlineWidth);
        else
            picture.TextOut(x, y, text);
        return;
    }
    if (opaque) {
        const auto [x, y] = at(placement.Cells);
        picture.FillRect(x, y, ClampInt(int64_t(x) + placement.Cells.Right - placement.Cells.Left),
                         ClampInt(int64_t(y) + placement.Cells.Bottom - placement.Cells.Top), look.BackgroundColor);
    }
    if (look.Shadow)
        for (size_t i = 0; i < lines.size(); ++i) {
            const auto [x, y] = at(placement.Lines[i]);
            DrawTextShadow(picture, x, y, lines[i], placement.Font, placement.OutlineWidth, look.Shadow->Color,
                           placement.ShadowOffset, placement.ShadowBlur, look.Shadow->Glow ? 160 : 200);
        }
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto [x, y] = at(placement.Lines[i]);
        if (placement.OutlineWidth > 0)
            DrawOutlinedTextLine(picture, x, y, lines[i], placement.Font, look.TextColor, look.BackgroundColor, false,
                                 OutlineColorOf(look), placement.OutlineWidth);
        else
            DrawTextLine(picture, x, y, lines[i], placement.Font, look.TextColor, look.BackgroundColor, false);
    }
}

}  // namespace

StampPlacement PlaceStamp(std::string_view text, const StampLook& look, int width, int height, int orientation)
{
    StampPlacement placement;
    placement.PhotoWidth = width;
    placement.PhotoHeight = height;
    placement.Font = look.Font;
    placement.Orientation = FollowsDisplay(look) ? ValidOrientation(orientation) : 1;
    const DisplayTurn turn(placement.Orientation, width, height);
    const int shorter = std::min(turn.DisplayWidth(), turn.DisplayHeight());
    if (look.RelativeSize)
        placement.Font = FontForCellHeight(look.Font, std::max(1, PercentOf(look.SizePercent, shorter)));
    if (text.empty())
        return placement;

    // The lines one under the other, each as wide as its glyphs' advances, aligned within
    // the block to the anchor's side.
    const std::vector<std::string_view> lines = SplitLines(text);
    const int lineHeight = MeasureText(placement.Font, "").Height;
    std::vector<int> widths;
    int64_t blockWidth = 0;
    for (std::string_view line : lines) {
        widths.push_back(MeasureText(placement.Font, line).Width);
        blockWidth = std::max<int64_t>(blockWidth, widths.back());
    }
    const int64_t blockHeight = int64_t(lineHeight) * int64_t(lines.size());
    const auto [left, top] = CellsOrigin(look, blockWidth, blockHeight, turn.DisplayWidth(), turn.DisplayHeight());
    placement.Cells = {ClampInt(left), ClampInt(top), ClampInt(left + blockWidth), ClampInt(top + blockHeight)};
    for (size_t i = 0; i < lines.size(); ++i) {
        int64_t lineLeft = left;
        if (look.Anchor == StampAnchor::TopRight || look.Anchor == StampAnchor::BottomRight)
            lineLeft = left + blockWidth - widths[i];
        else if (look.Anchor == StampAnchor::BottomCentre)
            lineLeft = left + (blockWidth - widths[i]) / 2;
        const int64_t lineTop = top + int64_t(lineHeight) * int64_t(i);
        placement.Lines.push_back({ClampInt(lineLeft), ClampInt(lineTop), ClampInt(lineLeft + widths[i]),
                                   ClampInt(lineTop + lineHeight)});
    }
    if (look.Outline)
        placement.OutlineWidth = std::max(1, int(std::lround(lineHeight / 16.0)));
    if (look.Shadow) {
        placement.ShadowOffset = look.Shadow->Glow ? 0 : std::max(1, int(std::lround(lineHeight / 16.0)));
        placement.ShadowBlur = std::max(1, int(std::lround(lineHeight / (look.Shadow->Glow ? 10.0 : 24.0))));
    }

    // The glyphs' ink, the cells behind it when opaque, the ring round it, the shadow.
    PixelBox ink;
    for (size_t i = 0; i < lines.size(); ++i)
        ink = Union(ink, TextLineBox(placement.Lines[i].Left, placement.Lines[i].Top, lines[i], placement.Font, false));
    PixelBox shown = look.BackgroundStyle == TBrushStyle::Solid ? Union(ink, placement.Cells) : ink;
    const int ring = placement.OutlineWidth > 0 ? placement.OutlineWidth + 1 : 0;
    if (placement.OutlineWidth > 0)
        shown = Union(shown, Widened(ink, ring));
    if (look.Shadow && !ink.Empty()) {
        const PixelBox shade = Widened(ink, ring + TextShadowReach(placement.ShadowBlur));
        shown = Union(shown, {ClampInt(int64_t(shade.Left) + placement.ShadowOffset),
                              ClampInt(int64_t(shade.Top) + placement.ShadowOffset),
                              ClampInt(int64_t(shade.Right) + placement.ShadowOffset),
                              ClampInt(int64_t(shade.Bottom) + placement.ShadowOffset)});
    }
    const PixelBox inside = Intersection(shown, {0, 0, turn.DisplayWidth(), turn.DisplayHeight()});
    placement.Bounds = turn.ToStored(inside);
    return placement;
}

StampLook LookOnGround(const StampLook& look, const Picture& picture, int originX, int originY, const PixelBox& box)
{
    if (!look.AutoColor)
        return look;
    // The mean lightness (Rec. 601 luma) of the ground under the stamp.
    const PixelBox part{originX, originY, ClampInt(int64_t(originX) + picture.Width()),
                        ClampInt(int64_t(originY) + picture.Height())};
    const PixelBox ground = Intersection(box, part);
    int64_t sum = 0, count = 0;
    for (int y = ground.Top; y < ground.Bottom; ++y) {
        const uint8_t* row = picture.Row(y - originY);
        for (int x = ground.Left; x < ground.Right; ++x) {
            const uint8_t* p = row + size_t(x - originX) * 3;
            sum += 299 * p[0] + 587 * p[1] + 114 * p[2];
            ++count;
        }
    }
    const bool light = count > 0 && sum >= count * 128 * 1000;
    StampLook settled = look;
    settled.AutoColor = false;
    settled.TextColor = light ? clBlack : clWhite;
    settled.OutlineColor = light ? clWhite : clBlack;
    return settled;
}

void DrawPlacedStamp(Picture& picture, int originX, int originY, std::string_view text, const StampLook& chosen,
                     const StampPlacement& placement)
{
    const StampLook look = LookOnGround(chosen, picture, originX, originY, placement.Bounds);
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
        DrawUpright(picture, originX, originY, text, look, placement);
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
    DrawUpright(shown, shownAt.Left, shownAt.Top, text, look, placement);
    turn.PutBack(picture, originX, originY, stored, shown);
}

void DrawStamp(Picture& picture, std::string_view text, const StampLook& look, int orientation)
{
    DrawPlacedStamp(picture, 0, 0, text, look, PlaceStamp(text, look, picture.Width(), picture.Height(), orientation));
}

}  // namespace morvik
