#include "stamping/Mosaic.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace morvik;

namespace {

// The chart painted pixel by pixel the slow way, for comparison.
Picture ReferenceChart(const Picture& source, int n)
{
    Picture chart(source.Width() * n, source.Height() * n);
    for (int x = 0; x < source.Width(); ++x)
        for (int y = 0; y < source.Height(); ++y)
            for (int i = 0; i <= n - 2; ++i)
                for (int j = 0; j <= n - 2; ++j) {
                    chart.SetPixel(x * n + i, y * n + j, source.Pixel(x, y));
                    chart.SetPixel(x * n + i, y * n + n - 1, clBlack);
                    chart.SetPixel(x * n + n - 1, y * n + j, clBlack);
                    chart.SetPixel(x * n + n - 1, y * n + n - 1, clBlack);
                }
    return chart;
}

Picture Random(int w, int h, unsigned seed)
{
    std::mt19937 gen(seed);
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.SetPixel(x, y, TColor(gen() & 0xFFFFFF));
    return p;
}

}  // namespace

TEST(Mosaic, TwoByTwoAtThreeGivesFourCellsAndTheGrid)
{
    Picture source(2, 2);
    const TColor colours[2][2] = {{RgbColor(255, 0, 0), RgbColor(0, 255, 0)},
                                  {RgbColor(0, 0, 255), RgbColor(10, 20, 30)}};  // [y][x]
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            source.SetPixel(x, y, colours[y][x]);
    const MosaicResult result = BuildMosaicChart(source, 3);
    ASSERT_EQ(result.Chart.Width(), 6);
    ASSERT_EQ(result.Chart.Height(), 6);
    EXPECT_EQ(result.ColumnsDone, 2);
    EXPECT_FALSE(result.Stopped);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool grid = x == 2 || x == 5 || y == 2 || y == 5;
            EXPECT_EQ(result.Chart.Pixel(x, y), grid ? clBlack : colours[y / 3][x / 3]) << x << "," << y;
        }
}

TEST(Mosaic, MatchesThePixelByPixelChart)
{
    for (int n : {2, 3, 4, 7})
        for (auto [w, h] : {std::pair{7, 5}, {1, 1}, {1, 9}, {13, 1}}) {
            const Picture source = Random(w, h, unsigned(n * 100 + w));
            EXPECT_EQ(BuildMosaicChart(source, n).Chart, ReferenceChart(source, n)) << "N=" << n << " " << w << "x" << h;
        }
}

TEST(Mosaic, CellSizeOneGivesAWhiteChartOfThePicturesSize)
{
    const Picture source = Random(5, 4, 1);
    const MosaicResult result = BuildMosaicChart(source, 1);
    EXPECT_EQ(result.Chart, Picture(5, 4));
    EXPECT_EQ(result.ColumnsDone, 5);
}

TEST(Mosaic, CellSizeOfZeroOrLessIsRefusedAndReportsNothing)
{
    const Picture source = Random(3, 3, 2);
    for (int n : {0, -1, -3, INT32_MIN}) {
        int calls = 0;
        MosaicCallbacks callbacks;
        callbacks.Progress = [&](int) { ++calls; };
        try {
            BuildMosaicChart(source, n, callbacks);
            FAIL() << "built with N=" << n;
        } catch (const EMosaicSize& e) {
            EXPECT_NE(std::string(e.what()).find("Размер квадрата"), std::string::npos) << e.what();
        }
        EXPECT_EQ(calls, 0);
    }
}

TEST(Mosaic, ChartTooLargeIsRefusedWithAClearMessage)
{
    const Picture wide(30000, 1), tall(1, 22000);
    for (const auto& [source, n] : {std::pair{&wide, 3}, {&tall, 3}}) {
        try {
            BuildMosaicChart(*source, n);
            FAIL() << "built";
        } catch (const EMosaicSize& e) {
            EXPECT_NE(std::string(e.what()).find("65500"), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(CheckMosaicChartSize(2000, 2000, 1000000000), EMosaicSize);  // no overflow
    EXPECT_THROW(CheckMosaicChartSize(32751, 1, 2), EMosaicSize);
    EXPECT_THROW(CheckMosaicChartSize(30000, 30000, 2), EPictureTooLarge);  // 60000² is too much memory
    EXPECT_THROW(CheckMosaicChartSize(20000, 20000, 3), EPictureTooLarge);
    const ChartSize ok = CheckMosaicChartSize(21833, 1, 3);
    EXPECT_EQ(ok.Width, 65499);
}

TEST(Mosaic, ReportsEveryColumnAndStopsAfterTheColumnInHand)
{
    const Picture source = Random(8, 3, 3);
    std::vector<int> percents;
    int events = 0;
    MosaicCallbacks callbacks;
    callbacks.Progress = [&](int p) { percents.push_back(p); };
    callbacks.ProcessEvents = [&] { ++events; };
    callbacks.StopRequested = [&] { return events == 3; };
    const MosaicResult result = BuildMosaicChart(source, 2, callbacks);
    EXPECT_TRUE(result.Stopped);
    EXPECT_EQ(result.ColumnsDone, 3);
    EXPECT_EQ(percents, (std::vector<int>{0, 12, 25}));
    const Picture full = BuildMosaicChart(source, 2).Chart;
    for (int y = 0; y < result.Chart.Height(); ++y)
        for (int x = 0; x < result.Chart.Width(); ++x)
            EXPECT_EQ(result.Chart.Pixel(x, y), x < 6 ? full.Pixel(x, y) : clWhite) << x << "," << y;
}

TEST(Mosaic, PercentRoundsHalvesToEven)
{
    struct Case { int x, w, expected; };
    const Case cases[] = {{0, 8, 0}, {1, 8, 12}, {3, 8, 38}, {5, 8, 62}, {7, 8, 88}, {1, 3, 33},
                          {2, 3, 67}, {1, 200, 0}, {3, 200, 2}, {5, 200, 2}, {199, 200, 100}, {0, 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(MosaicPercent(c.x, c.w), c.expected) << c.x << "/" << c.w;
}
