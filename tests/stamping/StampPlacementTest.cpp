// Where the stamp lands on photos of today's sizes, upright on turned photos, and drawn
// piece by piece as on the whole.
#include "stamping/StampDrawing.h"
#include "stamping/StampSettings.h"
#include "stamping/TextDraw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace morvik;

namespace {

const TColor kGround = RgbColor(40, 90, 40);
const std::string kDate = "15.08.2007 12:30:45";
const std::string kCaption = "Canon EOS 40D\n1/250 s f/2.8 ISO 400\nx";

// A picture whose every pixel differs from its neighbours, so that a pixel put in the
// wrong place shows.
Picture Gradient(int w, int h)
{
    Picture p = Picture::Uninitialized(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.SetPixel(x, y, RgbColor(uint8_t(x * 7 + y), uint8_t(y * 5 + x / 3), uint8_t(x ^ y)));
    return p;
}

// The box of the pixels that differ from the ground colour.
PixelBox ChangedBox(const Picture& p)
{
    std::vector<uint8_t> ground;
    for (int x = 0; x < p.Width(); ++x)
        ground.insert(ground.end(), {ColorRed(kGround), ColorGreen(kGround), ColorBlue(kGround)});
    PixelBox box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int y = 0; y < p.Height(); ++y) {
        const uint8_t* row = p.Row(y);
        if (std::memcmp(row, ground.data(), ground.size()) == 0)
            continue;
        box.Top = std::min(box.Top, y);
        box.Bottom = y + 1;
        for (int x = 0; x < p.Width(); ++x)
            if (std::memcmp(row + size_t(x) * 3, ground.data(), 3) != 0) {
                box.Left = std::min(box.Left, x);
                box.Right = std::max(box.Right, x + 1);
            }
    }
    return box;
}

Picture TurnedClockwise(const Picture& p)
{
    Picture out = Picture::Uninitialized(p.Height(), p.Width());
    for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x)
            out.SetPixel(p.Height() - 1 - y, x, p.Pixel(x, y));
    return out;
}

Picture MirroredLeftRight(const Picture& p)
{
    Picture out = Picture::Uninitialized(p.Width(), p.Height());
    for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x)
            out.SetPixel(p.Width() - 1 - x, y, p.Pixel(x, y));
    return out;
}

// What a viewer does for each Orientation: mirror left to right or not, then turn
// clockwise by so many quarters.
struct ViewerTurn {
    bool Mirror;
    int Quarters;
};
const ViewerTurn kViewer[9] = {{}, {false, 0}, {true, 0}, {false, 2}, {true, 2},
                               {true, 3}, {false, 1}, {true, 1}, {false, 3}};

Picture Displayed(Picture p, int orientation)
{
    if (kViewer[orientation].Mirror)
        p = MirroredLeftRight(p);
    for (int q = 0; q < kViewer[orientation].Quarters; ++q)
        p = TurnedClockwise(p);
    return p;
}

// The stored picture that a viewer shows as `shown`.
Picture Stored(Picture p, int orientation)
{
    for (int q = kViewer[orientation].Quarters; q % 4 != 0; ++q)
        p = TurnedClockwise(p);
    return kViewer[orientation].Mirror ? MirroredLeftRight(p) : p;
}

// An upright face on an opaque background: the changed pixels are the cells.
StampLook RelativeLook(StampAnchor anchor)
{
    StampLook look;
    look.Font = {"DejaVu Sans", 11, false, false};
    look.TextColor = clWhite;
    look.BackgroundColor = clBlack;
    look.Anchor = anchor;
    look.RelativeSize = true;
    look.SizePercent = 3;
    look.RelativeMargin = true;
    look.MarginPercent = 2;
    return look;
}

// The album preset's look on the start font (bold italic, overhanging its cells).
StampLook AlbumLook()
{
    StampLook look = RelativeLook(StampAnchor::BottomRight);
    look.Font = TFont{};
    look.TextColor = RgbColor(0xFF, 0x8C, 0x00);
    look.BackgroundStyle = TBrushStyle::Cross;
    look.Outline = true;
    return look;
}

}  // namespace

TEST(StampPlacement, CornerMarginAndSizeOnEveryPictureSize)
{
    const std::pair<int, int> sizes[] = {{640, 480}, {4000, 3000}, {6000, 4000}, {3000, 4000}};
    for (auto [w, h] : sizes) {
        Picture p(w, h);
        const int shorter = std::min(w, h);
        const int margin = int(std::lround(0.02 * shorter));
        const double height = 0.03 * shorter;
        for (const StampAnchorName& a : StampAnchorNames) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " " + std::string(a.Key));
            p.Fill(kGround);
            DrawStamp(p, kDate, RelativeLook(a.Anchor));
            const PixelBox box = ChangedBox(p);
            EXPECT_NEAR(box.Bottom - box.Top, height, 0.1 * height);
            const bool top = a.Anchor == StampAnchor::TopLeft || a.Anchor == StampAnchor::TopRight;
            const bool left = a.Anchor == StampAnchor::TopLeft || a.Anchor == StampAnchor::BottomLeft;
            const bool right = a.Anchor == StampAnchor::TopRight || a.Anchor == StampAnchor::BottomRight;
            EXPECT_NEAR(top ? box.Top : h - box.Bottom, margin, 1);
            if (left)
                EXPECT_NEAR(box.Left, margin, 1);
            else if (right)
                EXPECT_NEAR(w - box.Right, margin, 1);
            else
                EXPECT_EQ(box.Left, (w - (box.Right - box.Left)) / 2);  // centred, rounded down
        }
    }
}

// The cells lie exactly where the anchor's rule puts them: the offset counted inwards from
// the anchor's sides; bottom-centre's free width halved and rounded down (towards minus
// infinity when the text is wider than the photo), then moved X to the right. Each line of
// a centred block is centred in it by the same rounding.
TEST(StampPlacement, CellsLieExactlyWhereTheAnchorsRuleSays)
{
    const TFont font{"DejaVu Sans", 13, false, false};
    const int textWidth = MeasureText(font, kDate).Width;
    const int height = 240;
    for (const StampAnchorName& a : StampAnchorNames)
        for (int width : {textWidth + 101, textWidth + 100, textWidth - 3, textWidth - 4})
            for (bool relative : {false, true}) {
                SCOPED_TRACE(std::string(a.Key) + " " + std::to_string(width) + (relative ? " %" : " px"));
                StampLook look;
                look.Font = font;
                look.Anchor = a.Anchor;
                look.X = -7;
                look.Y = 5;
                look.RelativeMargin = relative;
                look.MarginPercent = 2.5;  // of the shorter side
                const int percent = int(std::lround(0.025 * std::min(width, height)));
                const int dx = relative ? percent : look.X, dy = relative ? percent : look.Y;
                const PixelBox cells = PlaceStamp(kDate, look, width, height, 1).Cells;
                const int w = cells.Right - cells.Left, h = cells.Bottom - cells.Top;
                ASSERT_EQ(w, textWidth);
                const int free = width - w;
                const int centred = int(std::floor(free / 2.0)) + (relative ? 0 : look.X);
                const bool top = a.Anchor == StampAnchor::TopLeft || a.Anchor == StampAnchor::TopRight;
                const bool leftSide = a.Anchor == StampAnchor::TopLeft || a.Anchor == StampAnchor::BottomLeft;
                const int left = leftSide ? dx : a.Anchor == StampAnchor::BottomCentre ? centred : width - dx - w;
                EXPECT_EQ(cells.Left, left);
                EXPECT_EQ(cells.Top, top ? dy : height - dy - h);
            }
    StampLook look;
    look.Font = font;
    look.Anchor = StampAnchor::BottomCentre;
    int oddSpares = 0;  // lines where rounding up and down differ
    for (const char* last : {"x", "xy", "x1", "xyz", "1"}) {
        const StampPlacement block = PlaceStamp(kDate + "\n" + last, look, 500, 300, 1);
        ASSERT_EQ(block.Lines.size(), 2u);
        for (const PixelBox& line : block.Lines) {
            const int spare = (block.Cells.Right - block.Cells.Left) - (line.Right - line.Left);
            EXPECT_EQ(line.Left, block.Cells.Left + spare / 2) << last;
            oddSpares += spare % 2;
        }
    }
    EXPECT_GT(oddSpares, 0);
}

TEST(StampPlacement, TurnedPhotosGetTheStampUprightInTheDisplayedCorner)
{
    // A viewer turning the stamped photo sees what stamping the upright photo gives.
    StampLook centred = RelativeLook(StampAnchor::BottomCentre);
    centred.RelativeMargin = false;
    centred.X = -7;
    centred.Y = 5;
    StampLook outlined;  // the start values with one placement control: the outline
    outlined.Outline = true;
    outlined.X = 9;
    const Picture shown = Gradient(320, 200);
    for (const StampLook& look : {AlbumLook(), centred, StampLook{}, outlined})
        for (int orientation = 2; orientation <= 8; ++orientation) {
            SCOPED_TRACE(orientation);
            Picture expected = shown;
            DrawStamp(expected, kDate, look, 1);
            Picture stored = Stored(shown, orientation);
            DrawStamp(stored, kDate, look, orientation);
            EXPECT_EQ(Displayed(stored, orientation), expected);
        }
}

TEST(StampPlacement, APieceOfThePhotoGetsWhatTheWholeGetsThere)
{
    StampLook opaque = RelativeLook(StampAnchor::TopRight);
    opaque.Font = TFont{};  // italic: the glyphs reach past the cells
    opaque.Outline = true;
    opaque.SizePercent = 12;
    StampLook shadowed = opaque;  // several lines, outlined, on their cells, with a shadow
    shadowed.Shadow = StampShadow{};
    shadowed.SizePercent = 6;
    StampLook glowing = AlbumLook();  // the film preset's glow round bare glyphs
    glowing.Outline = false;
    glowing.Shadow = StampShadow{RgbColor(0xFF, 0x6A, 0x1E), true};
    glowing.SizePercent = 8;
    const std::pair<StampLook, std::string> stamps[] = {{StampLook{}, kDate}, {AlbumLook(), kDate}, {opaque, kDate},
                                                        {shadowed, kCaption}, {glowing, kCaption}};
    const Picture photo = Gradient(300, 200);
    for (const auto& [look, text] : stamps)
        for (int orientation : {1, 3, 6, 7}) {
            SCOPED_TRACE(orientation);
            const StampPlacement placement = PlaceStamp(text, look, photo.Width(), photo.Height(), orientation);
            Picture whole = photo;
            DrawPlacedStamp(whole, 0, 0, text, look, placement);
            ASSERT_NE(whole, photo);
            // Pieces of odd sizes, some reaching past the photo's edges.
            for (int top = -10; top < photo.Height(); top += 29)
                for (int left = -13; left < photo.Width(); left += 37) {
                    Picture piece(37, 29), expected(37, 29);
                    piece.Draw(-left, -top, photo);
                    expected.Draw(-left, -top, whole);
                    DrawPlacedStamp(piece, left, top, text, look, placement);
                    ASSERT_EQ(piece, expected) << left << "," << top;
                }
            // Every pixel the drawing changed lies inside the placement's bounds.
            const PixelBox b = placement.Bounds;
            for (int y = 0; y < photo.Height(); ++y)
                for (int x = 0; x < photo.Width(); ++x)
                    if (whole.Pixel(x, y) != photo.Pixel(x, y)) {
                        ASSERT_TRUE(x >= b.Left && x < b.Right && y >= b.Top && y < b.Bottom) << x << "," << y;
                    }
        }
}

TEST(StampPlacement, RelativeSizeScalesTheCellsAndTheOutline)
{
    StampLook look = RelativeLook(StampAnchor::TopLeft);
    look.Outline = true;
    const StampPlacement small = PlaceStamp(kDate, look, 640, 480, 1);
    const StampPlacement large = PlaceStamp(kDate, look, 6000, 4000, 8);
    EXPECT_NEAR(small.Cells.Bottom - small.Cells.Top, 14.4, 1.5);
    EXPECT_NEAR(large.Cells.Bottom - large.Cells.Top, 120, 2);
    EXPECT_EQ(large.Font.Name, look.Font.Name);
    EXPECT_GT(large.OutlineWidth, small.OutlineWidth);
    EXPECT_GE(small.OutlineWidth, 1);
    // Far outside the photo: nothing to change, nothing drawn.
    look.RelativeMargin = false;
    look.X = -100000;
    Picture p(50, 40), before = p;
    const StampPlacement outside = PlaceStamp(kDate, look, 50, 40, 6);
    EXPECT_TRUE(outside.Bounds.Empty());
    DrawPlacedStamp(p, 0, 0, kDate, look, outside);
    EXPECT_EQ(p, before);
}

TEST(StampPlacement, SeveralLinesLieInTheAnchorsCornerAlignedToItsSide)
{
    // 1200 × 900: lines of 27 pixels, a margin of 18.
    const int width = 1200, height = 900, margin = 18;
    for (const StampAnchorName& a : StampAnchorNames) {
        SCOPED_TRACE(std::string(a.Key));
        StampLook look = RelativeLook(a.Anchor);
        Picture block(width, height);
        block.Fill(kGround);
        DrawStamp(block, kCaption, look, 1);
        const PixelBox box = ChangedBox(block);  // opaque: the lines' cells
        const int line = MeasureText(FontForCellHeight(look.Font, 27), "").Height;
        EXPECT_EQ(box.Bottom - box.Top, 3 * line);
        const bool left = a.Anchor == StampAnchor::TopLeft || a.Anchor == StampAnchor::BottomLeft;
        const bool right = a.Anchor == StampAnchor::TopRight || a.Anchor == StampAnchor::BottomRight;
        const bool top = a.Anchor == StampAnchor::TopLeft || a.Anchor == StampAnchor::TopRight;
        if (left)
            EXPECT_NEAR(box.Left, margin, 1);
        else if (right)
            EXPECT_NEAR(box.Right, width - margin, 1);
        else
            EXPECT_EQ(box.Left, (width - (box.Right - box.Left)) / 2);
        EXPECT_NEAR(top ? box.Top : box.Bottom, top ? margin : height - margin, 1);

        // The short last line ("x") keeps to the anchor's side of the block.
        look.BackgroundStyle = TBrushStyle::Cross;
        Picture glyphs(width, height);
        glyphs.Fill(kGround);
        DrawStamp(glyphs, kCaption, look, 1);
        Picture lastLine(width, line);
        lastLine.Draw(0, -(box.Top + 2 * line), glyphs);
        const PixelBox x = ChangedBox(lastLine);
        ASSERT_FALSE(x.Empty());
        EXPECT_LT(x.Right - x.Left, line);
        if (left)
            EXPECT_LT(x.Left - box.Left, line / 3);
        else if (right)
            EXPECT_LT(box.Right - x.Right, line / 3);
        else
            EXPECT_NEAR(x.Left + x.Right, box.Left + box.Right, line / 3);
    }
}

TEST(StampPlacement, ShadowFallsDownRightAndGlowAllRound)
{
    StampLook look = AlbumLook();
    look.Outline = false;
    look.SizePercent = 10;
    look.Anchor = StampAnchor::TopLeft;
    look.MarginPercent = 20;
    auto changed = [&](const StampLook& l) {
        Picture p(400, 300);
        p.Fill(kGround);
        DrawStamp(p, kCaption, l, 1);
        return ChangedBox(p);
    };
    const PixelBox bare = changed(look);
    const PixelBox first = PlaceStamp(kCaption, look, 400, 300, 1).Lines[0];
    const int line = first.Bottom - first.Top;
    look.Shadow = StampShadow{};
    const PixelBox shadow = changed(look);
    EXPECT_GE(shadow.Right - bare.Right, line / 16);
    EXPECT_GE(shadow.Bottom - bare.Bottom, line / 16);
    EXPECT_LE(bare.Left - shadow.Left, 2 * line / 24);  // soft edges, no offset up or left
    look.Shadow = StampShadow{clBlack, true};
    const PixelBox glow = changed(look);
    for (int spread : {bare.Left - glow.Left, bare.Top - glow.Top, glow.Right - bare.Right, glow.Bottom - bare.Bottom})
        EXPECT_GE(spread, line / 10);
}

TEST(StampPlacement, AutomaticColourIsWhiteOnDarkAndBlackOnLight)
{
    StampLook look = AlbumLook();
    look.AutoColor = true;
    look.Outline = false;
    for (const auto& [ground, text] : {std::pair{RgbColor(30, 40, 50), clWhite}, std::pair{RgbColor(220, 230, 200), clBlack},
                                       std::pair{RgbColor(0, 0, 255), clWhite}, std::pair{RgbColor(255, 255, 0), clBlack}}) {
        Picture p(400, 300);
        p.Fill(ground);
        DrawStamp(p, kCaption, look, 1);
        // The glyphs' full ink is the chosen colour.
        bool found = false;
        for (int y = 0; y < p.Height() && !found; ++y)
            for (int x = 0; x < p.Width() && !found; ++x)
                found = p.Pixel(x, y) == text;
        EXPECT_TRUE(found) << std::hex << ground;
    }
}
