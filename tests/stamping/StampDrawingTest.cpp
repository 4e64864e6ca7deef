#include "stamping/Frame.h"
#include "stamping/StampDrawing.h"
#include "stamping/TextDraw.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace morvik;

namespace {

const TColor kGround = RgbColor(0, 160, 0);
const TColor kText = RgbColor(255, 0, 0);
const TColor kBack = RgbColor(0, 0, 255);

Picture Ground(int w, int h)
{
    Picture p(w, h);
    p.Fill(kGround);
    return p;
}

// An upright face, so that no glyph reaches outside its cell.
TFont Upright(int height = 20)
{
    TFont f;
    f.Name = "DejaVu Sans";
    f.Height = height;
    f.Bold = false;
    f.Italic = false;
    return f;
}

StampLook Look(int x, int y, bool transparent, TFont font = Upright())
{
    StampLook look;
    look.Font = font;
    look.TextColor = kText;
    look.BackgroundColor = kBack;
    look.BackgroundStyle = transparent ? TBrushStyle::Cross : TBrushStyle::Solid;
    look.X = x;
    look.Y = y;
    return look;
}

bool Inside(int x, int y, int left, int top, const TextExtent& e)
{
    return x >= left && y >= top && x < left + e.Width && y < top + e.Height;
}

// Red share of a pixel that blends text over the blue background: blue falls as red rises.
bool IsTextOverBack(TColor c) { return ColorGreen(c) == 0 && ColorRed(c) + ColorBlue(c) >= 253 && ColorRed(c) + ColorBlue(c) <= 257; }

}  // namespace

TEST(TextDraw, ExtentGrowsWithTheTextAndHasTheCellHeight)
{
    const TFont font = Upright(20);
    const TextExtent none = MeasureText(font, "");
    const TextExtent one = MeasureText(font, "0");
    const TextExtent date = MeasureText(font, "10.05.2006 14:03:27");
    EXPECT_EQ(none.Width, 0);
    EXPECT_GT(one.Width, 0);
    EXPECT_GT(date.Width, one.Width * 10);
    EXPECT_EQ(one.Height, date.Height);
    EXPECT_GE(one.Height, 20);  // ascender + descender is at least the character height
    EXPECT_LE(one.Height, 30);
    EXPECT_GT(MeasureText(Upright(40), "0").Height, one.Height);
    // The default face is not installed; fontconfig gives another and text still draws.
    EXPECT_FALSE(ResolvedFontFile(TFont{}).empty());
    EXPECT_GT(MeasureText(TFont{}, "12").Width, 0);
    EXPECT_GT(MeasureText(font, "Дата").Width, 0);  // UTF-8 Cyrillic
}

TEST(TextDraw, ACharacterTheFaceLacksComesFromAFaceThatHasIt)
{
    // The seven-segment face has digits but no apostrophe: it is drawn as a short mark at
    // the top, not as the face's empty box of a missing glyph.
    TFont segments = Upright(40);
    segments.Name = "DSEG7 Classic";
    if (ResolvedFontFamily(segments) != segments.Name)
        GTEST_SKIP() << "fonts-dseg is not installed";
    const PixelBox digit = TextLineBox(0, 0, "8", segments, false);
    const PixelBox apostrophe = TextLineBox(0, 0, "'", segments, false);
    ASSERT_FALSE(apostrophe.Empty());
    EXPECT_LT(apostrophe.Bottom - apostrophe.Top, (digit.Bottom - digit.Top) / 2);
    EXPECT_LT(apostrophe.Top, digit.Top + (digit.Bottom - digit.Top) / 4);
}

TEST(Stamp, OpaqueFillsTheCellsAndTransparentOnlyTheGlyphs)
{
    const std::string text = "10.05.2006 14:03:27";
    const TextExtent extent = MeasureText(Upright(), text);
    for (bool transparent : {false, true}) {
        Picture p = Ground(300, 60);
        DrawStamp(p, text, Look(10, 12, transparent));
        int textPixels = 0, groundInside = 0;
        for (int y = 0; y < p.Height(); ++y)
            for (int x = 0; x < p.Width(); ++x) {
                const TColor c = p.Pixel(x, y);
                if (!Inside(x, y, 10, 12, extent)) {
                    ASSERT_EQ(c, kGround) << "outside the cells at " << x << "," << y;
                    continue;
                }
                if (c == kText)
                    ++textPixels;
                if (c == kGround)
                    ++groundInside;
                if (!transparent)
                    EXPECT_TRUE(IsTextOverBack(c)) << std::hex << c << " at " << std::dec << x << "," << y;
                else
                    EXPECT_NE(ColorBlue(c), 255) << "no background in transparent mode";
            }
        EXPECT_GT(textPixels, 20) << "transparent=" << transparent;
        if (transparent)
            EXPECT_GT(groundInside, extent.Width * extent.Height / 2);
        else
            EXPECT_EQ(groundInside, 0);
        // The surface keeps what the stamp set.
        EXPECT_EQ(p.BrushColor, kBack);
        EXPECT_EQ(p.FontColor, kText);
        EXPECT_EQ(p.BrushStyle, transparent ? TBrushStyle::Cross : TBrushStyle::Solid);
    }
}

TEST(Stamp, EmptyTextLeavesThePixelsAlone)
{
    Picture p = Ground(50, 30);
    const Picture before = p;
    DrawStamp(p, "", Look(0, 0, false));
    EXPECT_EQ(p, before);
    EXPECT_EQ(p.BrushColor, kBack);  // the surface is still set
}

TEST(Stamp, ClipsAtEveryEdgeExactly)
{
    // Drawing at a negative or edge-crossing place equals drawing onto a larger picture
    // and cutting the visible part out of it.
    const std::string text = "2006 14:03";
    struct Case { int x, y; };
    const Case cases[] = {{-5, 4}, {4, -5}, {-5, -5}, {-30, 0}, {60, 4}, {4, 20}, {70, 25}};
    for (bool transparent : {false, true})
        for (const auto& c : cases) {
            Picture clipped = Ground(80, 32);
            DrawStamp(clipped, text, Look(c.x, c.y, transparent));
            const int margin = 200;
            Picture big = Ground(80 + 2 * margin, 32 + 2 * margin);
            DrawStamp(big, text, Look(c.x + margin, c.y + margin, transparent));
            Picture cut(80, 32);
            cut.Draw(-margin, -margin, big);
            EXPECT_EQ(clipped, cut) << "at " << c.x << "," << c.y << " transparent=" << transparent;
        }
    // Far outside draws nothing and does not fail.
    Picture p = Ground(20, 20);
    const Picture before = p;
    DrawStamp(p, text, Look(-100000, 5, false));
    DrawStamp(p, text, Look(5, 100000, false));
    DrawStamp(p, text, Look(100000, -100000, true));
    EXPECT_EQ(p, before);
}

TEST(Stamp, OpaqueCellsReachTheRightAndBottomEdges)
{
    Picture p = Ground(40, 20);
    DrawStamp(p, "88888888", Look(30, 10, false));
    for (int y = 10; y < 20; ++y)
        EXPECT_TRUE(IsTextOverBack(p.Pixel(39, y))) << y;
    EXPECT_EQ(p.Pixel(29, 15), kGround);
    EXPECT_EQ(p.Pixel(35, 9), kGround);
}

TEST(Stamp, DefaultBoldItalicFaceDraws)
{
    Picture p = Ground(200, 30);
    StampLook look = Look(2, 2, true, TFont{});
    DrawStamp(p, "10.05.2006 14:03:27", look);
    int changed = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 200; ++x)
            changed += p.Pixel(x, y) != kGround;
    EXPECT_GT(changed, 50);
}

TEST(Stamp, SameResultOnSeveralThreadsAtOnce)
{
    const std::string text = "15.08.2007 23:30:00";
    Picture expected = Ground(260, 40);
    DrawStamp(expected, text, Look(3, 5, false, TFont{}));
    std::vector<Picture> results(6, Ground(260, 40));
    std::vector<std::thread> threads;
    for (auto& picture : results)
        threads.emplace_back([&picture, &text] {
            for (int round = 0; round < 20; ++round) {
                picture = Ground(260, 40);
                DrawStamp(picture, text, Look(3, 5, false, TFont{}));
            }
        });
    for (auto& t : threads)
        t.join();
    for (const auto& picture : results)
        EXPECT_EQ(picture, expected);
}

TEST(Frame, ThreeRingsFromTheEdgeInwards)
{
    const std::pair<int, int> sizes[] = {{10, 8}, {5, 5}, {4, 4}, {3, 3}, {1, 1}, {2, 7}, {300, 2}};
    for (auto [w, h] : sizes) {
        Picture p = Ground(w, h);
        AddFrame(p, w, h);
        AddFrame(p, w, h);  // framing twice draws the same rings
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int ring = std::min({x, y, w - 1 - x, h - 1 - y});
                const TColor expected = ring < 3 ? kFrameRingColors[ring] : kGround;
                ASSERT_EQ(p.Pixel(x, y), expected) << w << "x" << h << " at " << x << "," << y;
            }
    }
    EXPECT_EQ(kFrameRingColors[0], RgbColor(241, 234, 224));
    EXPECT_EQ(kFrameRingColors[1], RgbColor(188, 187, 192));
    EXPECT_EQ(kFrameRingColors[2], RgbColor(66, 82, 97));
}

TEST(Frame, UsesTheRememberedSizeNotThePictures)
{
    Picture p = Ground(10, 10);
    AddFrame(p, 6, 4);  // rings of a 6×4 picture in the top-left corner, clipped by nothing
    EXPECT_EQ(p.Pixel(5, 0), kFrameRingColors[0]);
    EXPECT_EQ(p.Pixel(6, 0), kGround);
    EXPECT_EQ(p.Pixel(0, 3), kFrameRingColors[0]);
    EXPECT_EQ(p.Pixel(0, 4), kGround);
    Picture q = Ground(4, 4);
    AddFrame(q, 100, 100);  // larger than the picture: the outer rings fall outside
    EXPECT_EQ(q.Pixel(0, 0), kFrameRingColors[0]);
    EXPECT_EQ(q.Pixel(3, 3), kGround);
}
