// The cross-stitch pattern: thread schemes as installed, colour matching against published
// CIEDE2000 pairs, the reduction's promises on synthetic pictures, and the PDF as poppler
// reads and renders it.
#include "support/TestSupport.h"

#include "pattern/Colour.h"
#include "pattern/Pattern.h"
#include "pattern/PatternPdf.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <set>

namespace morvik {
namespace {

const ThreadScheme& Dmc()
{
    static const ThreadScheme scheme = LoadThreadScheme(ThreadMaker::Dmc);
    return scheme;
}

const Thread& Find(const ThreadScheme& scheme, const std::string& number)
{
    for (const Thread& t : scheme.Threads)
        if (t.Number == number)
            return t;
    throw std::runtime_error("no thread " + number);
}

TEST(ThreadScheme, ReadsTheInstalledSchemes)
{
    struct Case { ThreadMaker maker; size_t count; const char* number; const char* name; std::array<int, 3> rgb; };
    const Case cases[] = {
        {ThreadMaker::Dmc, 454, "310", "Black", {0, 0, 0}},
        {ThreadMaker::Dmc, 454, "321", "Red", {199, 43, 59}},
        {ThreadMaker::Dmc, 454, "B5200", "Snow White", {255, 255, 255}},
        {ThreadMaker::Anchor, 445, "1", "Snow White", {253, 251, 255}},
        {ThreadMaker::Madeira, 369, "Ecru", "Ecru", {243, 232, 209}},
    };
    for (const Case& c : cases) {
        const ThreadScheme scheme = LoadThreadScheme(c.maker);
        EXPECT_EQ(scheme.Threads.size(), c.count) << scheme.Title;
        const Thread& t = Find(scheme, c.number);
        EXPECT_EQ(t.Name, c.name);
        EXPECT_EQ((std::array<int, 3>{t.Red, t.Green, t.Blue}), c.rgb) << c.number;
    }
}

TEST(ThreadScheme, RefusesMissingOrMalformedFiles)
{
    const std::string floss = "<floss><name>1</name><description>A &amp; B</description><color><red>1</red>"
                              "<green>2</green><blue>3</blue></color></floss>";
    EXPECT_EQ(ParseThreadScheme("<flossScheme><title>T</title>" + floss + "</flossScheme>", "t").Threads[0].Name,
              "A & B");
    const std::string bad[] = {
        "",
        "<flossScheme><title>T</title></flossScheme>",
        "<flossScheme><title>T</title><floss><name>1</name></floss></flossScheme>",
        "<flossScheme><title>T</title>" + floss.substr(0, floss.size() - 8),
        "<flossScheme><title>T</title><floss><name>1</name><description>x</description><color><red>256</red>"
        "<green>0</green><blue>0</blue></color></floss></flossScheme>",
    };
    for (const std::string& xml : bad)
        EXPECT_THROW(ParseThreadScheme(xml, "t"), EThreadScheme) << xml;
    try {
        LoadThreadScheme(ThreadMaker::Anchor, "/nonexistent");
        ADD_FAILURE() << "a missing scheme was read";
    } catch (const EThreadScheme& e) {
        EXPECT_NE(std::string(e.what()).find("kxstitch-common"), std::string::npos) << e.what();
    }
}

// Pairs from Sharma, Wu and Dalal's CIEDE2000 test data.
TEST(Colour, DeltaE2000MatchesPublishedPairs)
{
    struct Case { Lab a, b; double expected; };
    const Case cases[] = {
        {{50, 2.6772f, -79.7751f}, {50, 0, -82.7485f}, 2.0425},
        {{50, 0, 0}, {50, -1, 2}, 2.3669},
        {{50, 2.49f, -0.001f}, {50, -2.49f, 0.0009f}, 7.1792},
        {{50, 2.5f, 0}, {73, 25, -18}, 27.1492},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(DeltaE2000(c.a, c.b), c.expected, 2e-3);
        EXPECT_NEAR(DeltaE2000(c.b, c.a), c.expected, 2e-3);
    }
    const Lab white = LabFromRgb(255, 255, 255);
    EXPECT_NEAR(white.L, 100, 0.01);
    EXPECT_NEAR(white.A, 0, 0.01);
}

Picture Noisy(int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    Picture p(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.SetPixel(x, y, RgbColor(uint8_t(x * 255 / width), uint8_t(random() % 256), uint8_t(y * 255 / height)));
    return p;
}

TEST(Pattern, PictureOfKSchemeColoursComesBackUnchanged)
{
    const char* numbers[] = {"310", "321", "B5200", "3865", "699", "797", "444"};
    Picture picture(31, 17);
    std::mt19937 random(7);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const Thread& t = Find(Dmc(), numbers[random() % std::size(numbers)]);
            picture.SetPixel(x, y, RgbColor(t.Red, t.Green, t.Blue));
        }
    for (bool dither : {false, true}) {
        PatternSettings settings;
        settings.Width = picture.Width();
        settings.Threads = int(std::size(numbers));
        settings.Dither = dither;
        const Pattern pattern = BuildPattern(picture, settings, Dmc());
        ASSERT_EQ(pattern.Height, picture.Height());
        EXPECT_EQ(PatternPreview(pattern, 1), picture) << "dither " << dither;
    }
}

TEST(Pattern, UsesAtMostKSchemeThreadsAndCountsEveryStitch)
{
    const Picture picture = Noisy(160, 90, 3);
    for (int k : {1, 5, 40, 250})
        for (bool dither : {false, true})
            for (bool clean : {false, true}) {
                PatternSettings settings;
                settings.Width = 50;
                settings.Threads = k;
                settings.Dither = dither;
                settings.Clean = clean;
                const Pattern pattern = BuildPattern(picture, settings, Dmc());
                const std::string at = "K " + std::to_string(k) + " dither " + std::to_string(dither);
                EXPECT_EQ(pattern.Height, 28);
                EXPECT_LE(pattern.Threads.size(), size_t(k)) << at;
                std::set<std::string> numbers;
                for (const Thread& t : pattern.Threads)
                    numbers.insert(Find(Dmc(), t.Number).Number);
                EXPECT_EQ(numbers.size(), pattern.Threads.size()) << at;
                int64_t sum = 0;
                for (const LegendRow& r : PatternLegend(pattern)) {
                    EXPECT_GT(r.Stitches, 0) << at;
                    sum += r.Stitches;
                }
                EXPECT_EQ(sum, int64_t(pattern.Width) * pattern.Height) << at;
            }
}

TEST(Pattern, CleanUpLeavesNoIsolatedStitch)
{
    PatternSettings settings;
    settings.Width = 70;
    settings.Threads = 12;
    settings.Dither = true;  // dithering scatters single stitches everywhere
    settings.Clean = true;
    const Pattern pattern = BuildPattern(Noisy(70, 50, 11), settings, Dmc());
    int isolated = 0;
    for (int y = 0; y < pattern.Height; ++y)
        for (int x = 0; x < pattern.Width; ++x) {
            bool alone = true;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if ((dx || dy) && nx >= 0 && ny >= 0 && nx < pattern.Width && ny < pattern.Height &&
                        pattern.At(nx, ny) == pattern.At(x, y))
                        alone = false;
                }
            isolated += alone;
        }
    EXPECT_EQ(isolated, 0);
}

TEST(Pattern, StopIsWatchedThroughEveryStepOfTheBuild)
{
    // Each look at the stop, with the gauge as it stood: no step may run long unwatched,
    // so no two looks lie more than a tenth of the gauge apart, and the gauge never goes back.
    int shown = 0;
    std::vector<int> looks;
    PatternCallbacks callbacks;
    callbacks.Progress = [&](int percent) {
        EXPECT_GE(percent, shown);
        shown = percent;
    };
    callbacks.StopRequested = [&] {
        looks.push_back(shown);
        return false;
    };
    PatternSettings settings;
    settings.Width = 60;
    settings.Threads = 20;
    settings.Dither = true;
    settings.Clean = true;
    const Picture picture = Noisy(120, 80, 2);
    BuildPattern(picture, settings, Dmc(), callbacks);
    EXPECT_EQ(shown, 100);
    for (size_t i = 1; i < looks.size(); ++i)
        EXPECT_LE(looks[i] - looks[i - 1], 10) << "unwatched from " << looks[i - 1] << "%";
    // A stop asked while the stitches are matched ends the build there.
    shown = 0;
    callbacks.StopRequested = [&] { return shown >= 75; };
    EXPECT_THROW(BuildPattern(picture, settings, Dmc(), callbacks), EPatternStopped);
    EXPECT_LT(shown, 90);
}

TEST(Pattern, SizesAndRefusals)
{
    PatternSettings cm;
    cm.WidthCm = 10;
    cm.HeightCm = 5;
    cm.Fabric = 18;
    const StitchSize size = PatternStitchSize(cm, 640, 480);
    EXPECT_EQ(size.Width, 71);  // 10 cm at 18 to the inch
    EXPECT_EQ(size.Height, 35);

    struct Case { int width, threads; };
    for (const Case c : {Case{0, 10}, Case{1001, 10}, Case{100, 0}, Case{100, 251}}) {
        PatternSettings s;
        s.Width = c.width;
        s.Threads = c.threads;
        EXPECT_THROW(PatternStitchSize(s, 640, 480), EPatternSettings) << c.width << " " << c.threads;
    }
    PatternSettings tall;
    tall.Width = 900;
    EXPECT_THROW(PatternStitchSize(tall, 100, 200), EPatternSettings);  // 1800 stitches high
}

TEST(Pattern, SkeinsGrowWithStitchesAndFinerFabricNeedsLess)
{
    EXPECT_EQ(SkeinsNeeded(0, 14, 2), 0);
    EXPECT_EQ(SkeinsNeeded(1, 14, 2), 1);
    EXPECT_EQ(SkeinsNeeded(1800, 14, 2), 1);  // the usual rule: a skein covers ~1800 stitches on 14-count
    EXPECT_EQ(SkeinsNeeded(1900, 14, 2), 2);
    EXPECT_LT(SkeinsNeeded(100000, 18, 2), SkeinsNeeded(100000, 14, 2));
    EXPECT_GT(SkeinsNeeded(100000, 14, 3), SkeinsNeeded(100000, 14, 2));
}

std::string Output(const std::string& command)
{
    std::string out;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

Pattern PatternOf(const Picture& picture, int width, int threads)
{
    PatternSettings settings;
    settings.Width = width;
    settings.Threads = threads;
    return BuildPattern(picture, settings, Dmc());
}

TEST(PatternPdf, TextHoldsEveryLegendThreadNumber)
{
    test::TempDir dir;
    const Pattern pattern = PatternOf(Noisy(120, 80, 5), 130, 45);
    const std::string pdf = (dir / "p.pdf").string();
    WritePatternPdf(pattern, PaperSize::A4, "Схема", pdf);
    const std::string text = Output("pdftotext -layout '" + pdf + "' -");
    ASSERT_FALSE(text.empty());
    for (const Thread& t : pattern.Threads)
        EXPECT_NE(text.find(" " + t.Number + " "), std::string::npos) << t.Number;
    // 130 × 87 stitches: three pages across, two down.
    EXPECT_EQ(ChartPageStarts(130, kPageColumns), (std::vector<int>{0, 57, 114}));
    EXPECT_EQ(ChartPageStarts(87, kPageRows), (std::vector<int>{0, 77}));
    const std::string info = Output("pdfinfo '" + pdf + "'");
    const size_t pages = info.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << info;
    EXPECT_EQ(std::stoi(info.substr(pages + 6)), 9);  // cover, 45 threads on two legend pages, six chart pages
}

TEST(PatternPdf, ChartPageHasABoldLineEveryTenStitches)
{
    test::TempDir dir;
    Picture grey(25, 12);
    grey.Fill(RgbColor(128, 128, 128));
    const Pattern pattern = PatternOf(grey, 25, 1);  // one thread: every symbol the same
    const std::string pdf = (dir / "p.pdf").string();
    WritePatternPdf(pattern, PaperSize::A4, "Схема", pdf);
    Output("pdftoppm -f 3 -l 3 -r 216 -gray '" + pdf + "' '" + (dir / "page").string() + "'");
    std::ifstream in(dir / "page-3.pgm", std::ios::binary);
    ASSERT_TRUE(in) << "pdftoppm gave no page 3";
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    in >> magic >> width >> height >> maxValue;
    in.get();
    std::vector<unsigned char> pixels(size_t(width) * height);
    in.read(reinterpret_cast<char*>(pixels.data()), std::streamsize(pixels.size()));
    ASSERT_EQ(magic, "P5");
    // A column of pixels dark over the grid's whole height is a line; a bold line is three
    // or more such columns side by side (a thin one is drawn one pixel wide), and a symbol
    // covers only a part of its cell.
    const int cell = 24;  // 8 points at 216 dpi
    std::vector<bool> dark(width);
    for (int x = 0; x < width; ++x) {
        int count = 0;
        for (int y = 0; y < height; ++y)
            count += pixels[size_t(y) * width + x] < 128;
        dark[x] = count >= 12 * cell - 2;
    }
    std::vector<int> lines;
    for (int x = 0; x + 2 < width; ++x)
        if (dark[x] && dark[x + 1] && dark[x + 2] && (lines.empty() || x > lines.back() + 4))
            lines.push_back(x);
    ASSERT_EQ(lines.size(), 4u);  // at 0, 10 and 20 stitches, and the right edge at 25
    EXPECT_NEAR(lines[1] - lines[0], 10 * cell, 2);
    EXPECT_NEAR(lines[2] - lines[1], 10 * cell, 2);
    EXPECT_NEAR(lines[3] - lines[2], 5 * cell, 2);
}

}  // namespace
}  // namespace morvik
