#pragma once
// EXIF Orientation: how a viewer turns a photo's stored pixels to display it. The values
// 1 to 8 are the tag's: 1 as stored, 3 turned half round, 6 a quarter clockwise, 8 a
// quarter anticlockwise, and 2, 4, 5, 7 the mirrored forms of 1, 3, 6, 8.
#include "stamping/Picture.h"

#include <utility>

namespace morvik {

// The Orientation a value stands for: itself for 1..8, 1 (as stored) for anything else.
int ValidOrientation(int value);

// The turn of one photo of storedWidth × storedHeight pixels: pixel positions and boxes
// between the stored picture and the picture as displayed, and the pixels of a box moved
// between the two (an exact permutation, nothing resampled).
class DisplayTurn {
public:
    DisplayTurn(int orientation, int storedWidth, int storedHeight);

    int Orientation() const { return orientation_; }
    bool Upright() const { return orientation_ == 1; }
    int DisplayWidth() const { return turn_.SwapAxes ? height_ : width_; }
    int DisplayHeight() const { return turn_.SwapAxes ? width_ : height_; }

    // Where the stored pixel (x, y) is shown, and which stored pixel shows at (x, y).
    std::pair<int, int> ToDisplay(int x, int y) const;
    std::pair<int, int> ToStored(int x, int y) const;
    // The box that the pixels of a box cover on the other side.
    PixelBox ToDisplay(const PixelBox& stored) const;
    PixelBox ToStored(const PixelBox& displayed) const;

    // The pixels of the stored box `stored` as displayed. `part` holds stored pixels of the
    // photo with its top-left at (originX, originY); the box must lie inside it.
    Picture TakeDisplayed(const Picture& part, int originX, int originY, const PixelBox& stored) const;
    // Writes a picture taken by TakeDisplayed (and drawn on) back into `part`.
    void PutBack(Picture& part, int originX, int originY, const PixelBox& stored, const Picture& displayed) const;

private:
    // What a viewer does to the stored pixels: swap the axes (a transpose), then mirror
    // the displayed columns and rows.
    struct Turn {
        bool SwapAxes, MirrorX, MirrorY;
    };
    static const Turn kTurns[9];

    int orientation_;
    int width_, height_;
    Turn turn_;
};

// The whole photo as a viewer displays it: its stored pixels turned by the Orientation
// (1..8; any other value is 1). An upright photo comes back as it is.
Picture DisplayedPicture(Picture stored, int orientation);

}  // namespace morvik
