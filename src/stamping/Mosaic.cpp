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

MosaicResult BuildMosaicChart(const Picture& source, int cellSize, const MosaicCallbacks& callbacks)
{
    const ChartSize size = CheckMosaicChartSize(source.Width(), source.Height(), cellSize);
    MosaicResult result;
    result.Chart = Picture(size.Width, size.Height);
    Picture& chart = result.Chart;
    const int n = cellSize;
    const size_t colourBytes = size_t(n - 1) * 3;  // the cell's colour run within a row

    for (int x = 0; x < source.Width(); ++x) {
        if (callbacks.Progress)
            callbacks.Progress(MosaicPercent(x, source.Width()));
        if (n >= 2) {
            const size_t cellLeft = size_t(x) * size_t(n) * 3;
            for (int y = 0; y < source.Height(); ++y) {
                const uint8_t* from = source.Row(y) + size_t(x) * 3;
                const int top = y * n;
                // Rows 0..N−2 of the cell: N−1 pixels of the colour, then a black one.
                uint8_t* first = chart.Row(top) + cellLeft;
                for (size_t i = 0; i < colourBytes; i += 3) {
                    first[i] = from[0];
                    first[i + 1] = from[1];
                    first[i + 2] = from[2];
                }
                std::memset(first + colourBytes, 0, 3);
                for (int j = 1; j < n - 1; ++j)
                    std::memcpy(chart.Row(top + j) + cellLeft, first, colourBytes + 3);
                // Row N−1: all black.
                std::memset(chart.Row(top + n - 1) + cellLeft, 0, colourBytes + 3);
            }
        }
        ++result.ColumnsDone;
        if (callbacks.ProcessEvents)
            callbacks.ProcessEvents();
        if (callbacks.StopRequested && callbacks.StopRequested()) {
            result.Stopped = true;
            break;
        }
    }
    return result;
}

}  // namespace morvik
