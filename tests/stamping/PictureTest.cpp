#include "stamping/Picture.h"

#include <gtest/gtest.h>

using namespace morvik;

namespace {

Picture Filled(int w, int h, TColor c)
{
    Picture p(w, h);
    p.Fill(c);
    return p;
}

}  // namespace

TEST(Color, MatchesTheStoredColourValues)
{
    EXPECT_EQ(RgbColor(128, 128, 255), 16744576u);
    EXPECT_EQ(RgbColor(255, 0, 0), 0x0000FFu);
    EXPECT_EQ(RgbColor(0, 0, 255), 0xFF0000u);
    constexpr TColor c = 16744576;
    EXPECT_EQ(ColorRed(c), 128);
    EXPECT_EQ(ColorGreen(c), 128);
    EXPECT_EQ(ColorBlue(c), 255);
}

TEST(Color, ParsesAndWritesRrggbb)
{
    struct Case { std::string_view text; std::optional<TColor> color; };
    const Case cases[] = {
        {"FF8C00", RgbColor(0xFF, 0x8C, 0x00)}, {"#ff8c00", RgbColor(0xFF, 0x8C, 0x00)},
        {"000000", clBlack},                     {"#FFFFFF", clWhite},
        {"8080FF", 16744576u},                   {"", std::nullopt},
        {"#", std::nullopt},                     {"FFF", std::nullopt},
        {"FF8C000", std::nullopt},               {"##FF8C00", std::nullopt},
        {"GG0000", std::nullopt},                {" FF8C0", std::nullopt},
        {"0x1234", std::nullopt},                {"-12345", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseRgbColor(c.text), c.color) << c.text;
        if (c.color) {
            EXPECT_EQ(ParseRgbColor(RgbColorText(*c.color)), c.color) << c.text;
        }
    }
    EXPECT_EQ(RgbColorText(RgbColor(0xFF, 0x8C, 0x00)), "FF8C00");
}

TEST(Picture, NewPictureIsWhiteAndRowsHoldRgb)
{
    Picture p(5, 3);
    EXPECT_EQ(p.Width(), 5);
    EXPECT_EQ(p.Height(), 3);
    EXPECT_EQ(p.Stride() % 4, 0u);
    EXPECT_GE(p.Stride(), 15u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(p.Pixel(x, y), clWhite);
    p.SetPixel(2, 1, RgbColor(10, 20, 30));
    const uint8_t* row = p.Row(1);
    EXPECT_EQ(row[6], 10);
    EXPECT_EQ(row[7], 20);
    EXPECT_EQ(row[8], 30);
    EXPECT_EQ(p.RowSpan(1).size(), 15u);
}

TEST(Picture, PixelAccessOutsideIsHarmless)
{
    Picture p = Filled(4, 4, clBlack);
    const Picture before = p;
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {4, 0}, {0, 4}, {-100, 100}}) {
        EXPECT_EQ(p.Pixel(x, y), clInvalid);
        p.SetPixel(x, y, clWhite);
    }
    EXPECT_EQ(p, before);
    Picture empty;
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(empty.Pixel(0, 0), clInvalid);
}

TEST(Picture, ResizeKeepsContentAndMakesNewAreaWhite)
{
    const TColor red = RgbColor(255, 0, 0);
    Picture p = Filled(3, 2, red);
    p.SetSize(5, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(p.Pixel(x, y), (x < 3 && y < 2) ? red : clWhite) << x << "," << y;
    p.SetSize(2, 1);
    EXPECT_EQ(p.Width(), 2);
    EXPECT_EQ(p.Pixel(1, 0), red);
    p.SetSize(4, 1);
    EXPECT_EQ(p.Pixel(1, 0), red);
    EXPECT_EQ(p.Pixel(2, 0), clWhite);  // what shrinking cut off comes back white
    p.SetSize(-3, 7);
    EXPECT_TRUE(p.Empty());
}

TEST(Picture, DrawClipsAtEveryEdge)
{
    const TColor blue = RgbColor(0, 0, 255);
    struct Case { int x, y; };
    const Case cases[] = {{0, 0}, {-2, -1}, {3, 2}, {-10, 0}, {5, 5}, {1, -3}};
    for (const auto& c : cases) {
        Picture target(5, 4);
        Picture source(3, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                source.SetPixel(x, y, RgbColor(uint8_t(x * 50), uint8_t(y * 50), 255));
        target.Draw(c.x, c.y, source);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
                const int sx = x - c.x, sy = y - c.y;
                const TColor expected = source.Contains(sx, sy) ? source.Pixel(sx, sy) : clWhite;
                EXPECT_EQ(target.Pixel(x, y), expected) << "at " << c.x << "," << c.y << " pixel " << x << "," << y;
            }
    }
    Picture self = Filled(4, 1, blue);
    self.SetPixel(0, 0, clBlack);
    self.Draw(1, 0, self);  // overlapping rows: drawn from a copy
    EXPECT_EQ(self.Pixel(0, 0), clBlack);
    EXPECT_EQ(self.Pixel(1, 0), clBlack);
    EXPECT_EQ(self.Pixel(2, 0), blue);
}

TEST(Picture, RectangleDrawsTheOutlineOnly)
{
    const TColor inside = RgbColor(1, 2, 3), pen = RgbColor(200, 0, 0);
    Picture p = Filled(6, 5, inside);
    p.PenColor = pen;
    p.Rectangle(1, 1, 5, 4);  // columns 1 and 4, rows 1 and 3
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool onOutline = x >= 1 && x <= 4 && y >= 1 && y <= 3 && (x == 1 || x == 4 || y == 1 || y == 3);
            EXPECT_EQ(p.Pixel(x, y), onOutline ? pen : inside) << x << "," << y;
        }
    const Picture before = p;
    p.Rectangle(-3, -3, 100, 100);  // an outline wholly outside changes nothing
    p.Rectangle(4, 4, 4, 9);         // an empty rectangle draws nothing
    EXPECT_EQ(p, before);
}

TEST(Picture, TooLargeIsRefusedBeforeAllocating)
{
    EXPECT_THROW(Picture(65000, 65000), EPictureTooLarge);
    try {
        Picture p(30000, 30000);
        FAIL() << "no exception";
    } catch (const EPictureTooLarge& e) {
        EXPECT_NE(std::string(e.what()).find("30000 на 30000"), std::string::npos) << e.what();
    }
    Picture p(10, 10);
    EXPECT_THROW(p.SetSize(65000, 65000), EPictureTooLarge);
    EXPECT_EQ(p.Width(), 10);  // a refused resize changes nothing
}
