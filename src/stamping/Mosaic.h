#pragma once
// The cross-stitch chart: every source pixel becomes a square cell of N by N pixels, its
// top-left (N−1)×(N−1) square in the pixel's colour and its last column and row black,
// so that black lines one pixel wide close every cell on its right and bottom. Cells are
// painted column by column, left to right, each column top to bottom; for N = 1 no
// pixel of a cell is painted and the chart stays white.
#include "platform/Exceptions.h"
#include "stamping/Picture.h"

#include <functional>

namespace morvik {

// A cell size or chart size the chart cannot be built with.
class EMosaicSize : public Exception {
public:
    using Exception::Exception;
};

// The largest side of a chart: what a JPEG file can hold.
constexpr int kMaxChartSide = 65500;

// Checks cell size and chart size before anything is made: EMosaicSize for a cell size
// of 0 or less or a side over kMaxChartSide, EPictureTooLarge for a chart that would not
// fit in memory. Gives the chart's width and height.
struct ChartSize {
    int Width = 0;
    int Height = 0;
};
ChartSize CheckMosaicChartSize(int sourceWidth, int sourceHeight, int cellSize);

// How a build reports while it runs; every member may be left empty.
struct MosaicCallbacks {
    // Before each source column x: 100·x/W rounded to the nearest whole (halves to even).
    std::function<void(int percent)> Progress;
    // After each column: let the window process pending events (repaint, stop button).
    std::function<void()> ProcessEvents;
    // After ProcessEvents: true ends the build; the columns done stay, the rest white.
    std::function<bool()> StopRequested;
};

struct MosaicResult {
    Picture Chart;        // W·N by H·N
    int ColumnsDone = 0;  // source columns painted
    bool Stopped = false;
};

// Builds the chart of source with cells of cellSize pixels (checked first, see above).
MosaicResult BuildMosaicChart(const Picture& source, int cellSize, const MosaicCallbacks& callbacks = {});

// 100·x/W rounded to the nearest whole number, halves to even (0 for W ≤ 0).
int MosaicPercent(int column, int width);

}  // namespace morvik
