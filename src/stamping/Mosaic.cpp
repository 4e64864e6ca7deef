#include "stamping/Mosaic.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace morvik {

ChartSize CheckMosaicChartSize(int sourceWidth, int sourceHeight, int cellSize)
{
    char text[200];
    if (cellSize <= 0) {
        std::snprintf(text, sizeof text, "Размер квадрата должен быть больше нуля (задано %d)", cellSize);
        throw EMosaicSize(text);
    }
    const int64_t width = int64_t(std::max(sourceWidth, 0)) * cellSize;
    const int64_t height = int64_t(std::max(sourceHeight, 0)) * cellSize;
    if (width > kMaxChartSide || height > kMaxChartSide) {
        std::snprintf(text, sizeof text, "Мозаика %lld на %lld больше предела JPEG в %d точек по стороне",
                      static_cast<long long>(width), static_cast<long long>(height), kMaxChartSide);
        throw EMosaicSize(text);
    }
    CheckPictureFits(int(width), int(height));
    return {int(width), int(height)};
}

int MosaicPercent(int column, int width)
{
    if (width <= 0)
        return 0;
    const int64_t scaled = int64_t(column) * 100;
    int64_t quotient = scaled / width;
    const int64_t twiceRest = (scaled % width) * 2;
    if (twiceRest > width || (twiceRest == width && quotient % 2 != 0))
        ++quotient;
    return int(quotient);
}

namespace {

// Paints the cells of source columns [first, last) row by row: N−1 rows of each cell hold
// N−1 pixels of the source colour and a black one, the cell's last row is black.
void PaintColumns(Picture& chart, const Picture& source, int n, int first, int last)
{
    const size_t cellBytes = size_t(n) * 3;
    const size_t colourBytes = cellBytes - 3;
    const size_t left = size_t(first) * cellBytes;
    const size_t runBytes = size_t(last - first) * cellBytes;
    for (int y = 0; y < source.Height(); ++y) {
        const uint8_t* from = source.Row(y) + size_t(first) * 3;
        const int top = y * n;
        uint8_t* firstRow = chart.Row(top) + left;
        uint8_t* to = firstRow;
        for (int x = first; x < last; ++x, from += 3, to += cellBytes) {
            for (size_t i = 0; i < colourBytes; i += 3) {
                to[i] = from[0];
                to[i + 1] = from[1];
                to[i + 2] = from[2];
            }
            to[colourBytes] = to[colourBytes + 1] = to[colourBytes + 2] = 0;
        }
        for (int j = 1; j < n - 1; ++j)
            std::memcpy(chart.Row(top + j) + left, firstRow, runBytes);
        std::memset(chart.Row(top + n - 1) + left, 0, runBytes);
    }
}

// Columns painted at once: row by row over a block keeps the writes in few memory pages,
// where one column alone would touch a new page with every chart row.
constexpr int kColumnsPerBlock = 32;

}  // namespace

MosaicResult BuildMosaicChart(const Picture& source, int cellSize, const MosaicCallbacks& callbacks)
{
    const ChartSize size = CheckMosaicChartSize(source.Width(), source.Height(), cellSize);
    MosaicResult result;
    const int n = cellSize;
    const int width = source.Width();
    // For N ≥ 2 every pixel of a painted column is written, so only what a stop leaves
    // unpainted needs whitening; for N = 1 nothing is painted and the chart is white.
    result.Chart = n >= 2 ? Picture::Uninitialized(size.Width, size.Height) : Picture(size.Width, size.Height);
    Picture& chart = result.Chart;

    // The cells of a block of columns are painted when its first column comes up; the
    // reports still come column by column, and a stop whitens everything right of the
    // column in hand, so the chart shows exactly the columns done and the rest white.
    int paintedUpTo = 0;
    for (int x = 0; x < width; ++x) {
        if (callbacks.Progress)
            callbacks.Progress(MosaicPercent(x, width));
        if (n >= 2 && x == paintedUpTo) {
            paintedUpTo = std::min(width, x + kColumnsPerBlock);
            PaintColumns(chart, source, n, x, paintedUpTo);
        }
        ++result.ColumnsDone;
        if (callbacks.ProcessEvents)
            callbacks.ProcessEvents();
        if (callbacks.StopRequested && callbacks.StopRequested()) {
            result.Stopped = true;
            if (n >= 2)
                chart.FillRect((x + 1) * n, 0, chart.Width(), chart.Height(), clWhite);
            break;
        }
    }
    return result;
}

}  // namespace morvik
