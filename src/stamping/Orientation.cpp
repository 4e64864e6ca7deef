#include "stamping/Orientation.h"

#include <algorithm>
#include <cstring>

namespace morvik {

// Index 0 is no value; 1..8 as the tag numbers them.
const DisplayTurn::Turn DisplayTurn::kTurns[9] = {
    {false, false, false},
    {false, false, false},  // 1 as stored
    {false, true, false},   // 2 mirrored left to right
    {false, true, true},    // 3 turned 180°
    {false, false, true},   // 4 mirrored top to bottom
    {true, false, false},   // 5 transposed
    {true, true, false},    // 6 turned 90° clockwise
    {true, true, true},     // 7 transversed
    {true, false, true},    // 8 turned 90° anticlockwise
};

int ValidOrientation(int value) { return value >= 1 && value <= 8 ? value : 1; }

DisplayTurn::DisplayTurn(int orientation, int storedWidth, int storedHeight)
    : orientation_(ValidOrientation(orientation)), width_(std::max(0, storedWidth)),
      height_(std::max(0, storedHeight)), turn_(kTurns[orientation_])
{
}

std::pair<int, int> DisplayTurn::ToDisplay(int x, int y) const
{
    int dx = turn_.SwapAxes ? y : x, dy = turn_.SwapAxes ? x : y;
    if (turn_.MirrorX)
        dx = DisplayWidth() - 1 - dx;
    if (turn_.MirrorY)
        dy = DisplayHeight() - 1 - dy;
    return {dx, dy};
}

std::pair<int, int> DisplayTurn::ToStored(int x, int y) const
{
    if (turn_.MirrorX)
        x = DisplayWidth() - 1 - x;
    if (turn_.MirrorY)
        y = DisplayHeight() - 1 - y;
    return turn_.SwapAxes ? std::pair{y, x} : std::pair{x, y};
}

namespace {

// The box spanned by two opposite corner pixels that a turn has moved.
PixelBox Spanned(std::pair<int, int> a, std::pair<int, int> b)
{
    return {std::min(a.first, b.first), std::min(a.second, b.second), std::max(a.first, b.first) + 1,
            std::max(a.second, b.second) + 1};
}

}  // namespace

PixelBox DisplayTurn::ToDisplay(const PixelBox& stored) const
{
    if (stored.Empty())
        return {};
    return Spanned(ToDisplay(stored.Left, stored.Top), ToDisplay(stored.Right - 1, stored.Bottom - 1));
}

PixelBox DisplayTurn::ToStored(const PixelBox& displayed) const
{
    if (displayed.Empty())
        return {};
    return Spanned(ToStored(displayed.Left, displayed.Top), ToStored(displayed.Right - 1, displayed.Bottom - 1));
}

Picture DisplayTurn::TakeDisplayed(const Picture& part, int originX, int originY, const PixelBox& stored) const
{
    const PixelBox shown = ToDisplay(stored);
    Picture displayed = Picture::Uninitialized(shown.Right - shown.Left, shown.Bottom - shown.Top);
    for (int y = stored.Top; y < stored.Bottom; ++y) {
        const uint8_t* src = part.Row(y - originY);
        for (int x = stored.Left; x < stored.Right; ++x) {
            const auto [dx, dy] = ToDisplay(x, y);
            std::memcpy(displayed.Row(dy - shown.Top) + size_t(dx - shown.Left) * 3, src + size_t(x - originX) * 3, 3);
        }
    }
    return displayed;
}

void DisplayTurn::PutBack(Picture& part, int originX, int originY, const PixelBox& stored,
                          const Picture& displayed) const
{
    const PixelBox shown = ToDisplay(stored);
    for (int y = stored.Top; y < stored.Bottom; ++y) {
        uint8_t* dst = part.Row(y - originY);
        for (int x = stored.Left; x < stored.Right; ++x) {
            const auto [dx, dy] = ToDisplay(x, y);
            std::memcpy(dst + size_t(x - originX) * 3, displayed.Row(dy - shown.Top) + size_t(dx - shown.Left) * 3, 3);
        }
    }
}

Picture DisplayedPicture(Picture stored, int orientation)
{
    const DisplayTurn turn(ValidOrientation(orientation), stored.Width(), stored.Height());
    if (turn.Upright() || stored.Empty())
        return stored;
    return turn.TakeDisplayed(stored, 0, 0, {0, 0, stored.Width(), stored.Height()});
}

}  // namespace morvik
