#pragma once
// The cross-stitch pattern: a picture scaled to a size in stitches and reduced to at most
// K threads of one maker's scheme, every stitch one thread. Colours are matched in CIELAB
// by the CIEDE2000 difference (ΔE 2000): the threads are chosen by a weighted k-means over
// the scheme's threads nearest to the stitches, each centre then taken by the nearest
// thread not yet chosen; every stitch gets the nearest chosen thread, optionally with
// Floyd–Steinberg dithering in Lab. An optional clean-up gives each isolated stitch (none
// of its eight neighbours the same thread) the thread most of its neighbours have.
//
// Sizes are checked before anything is built: EPatternSettings for a width or height of
// 0 or over kMaxPatternSide stitches, a thread count outside 1..kMaxPatternThreads, a
// fabric count outside 6..40 or strands outside 1..6.
#include "pattern/ThreadScheme.h"
#include "platform/Exceptions.h"
#include "stamping/Picture.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace morvik {

class EPatternSettings : public Exception {
public:
    using Exception::Exception;
};

// A build the user stopped.
class EPatternStopped : public Exception {
public:
    using Exception::Exception;
};

constexpr int kMaxPatternSide = 1000;
constexpr int kMaxPatternThreads = 250;

struct PatternSettings {
    // The width in stitches, the height following the picture's proportions; or, when
    // WidthCm and HeightCm are both above 0, both sides from that finished size on Fabric.
    int Width = 120;
    double WidthCm = 0;
    double HeightCm = 0;
    int Fabric = 14;  // stitches per inch of the Aida
    int Threads = 30;
    ThreadMaker Maker = ThreadMaker::Dmc;
    bool Dither = false;
    bool Clean = false;
    int Strands = 2;  // strands of the six in a skein stitched together
};

struct StitchSize {
    int Width = 0;
    int Height = 0;
};

// The size in stitches for a picture of pictureWidth × pictureHeight; checks the settings
// as said above.
StitchSize PatternStitchSize(const PatternSettings& settings, int pictureWidth, int pictureHeight);

struct Pattern {
    int Width = 0;
    int Height = 0;
    int Fabric = 14;
    int Strands = 2;
    std::string SchemeTitle;
    // The threads used, the most stitched first; symbols follow this order.
    std::vector<Thread> Threads;
    // Width·Height indexes into Threads, row by row.
    std::vector<uint16_t> Stitches;

    int At(int x, int y) const { return Stitches[size_t(y) * size_t(Width) + size_t(x)]; }
};

struct PatternCallbacks {
    std::function<void(int percent)> Progress;
    // True ends the build with EPatternStopped.
    std::function<bool()> StopRequested;
};

Pattern BuildPattern(const Picture& picture, const PatternSettings& settings, const ThreadScheme& scheme,
                     const PatternCallbacks& callbacks = {});

// The symbol of the thread at index i of a pattern's threads: a distinct glyph for each of
// kMaxPatternThreads threads, the clearest first.
std::string_view PatternSymbol(int index);

// Skeins for a count of full cross stitches. One stitch takes its two diagonals on the
// front and two sides of the square on the back, (2√2 + 2) sides of a square of
// 2.54/fabric cm, half as much again for starting, ending and carrying between stitches;
// that times the strands, against a skein of six strands of 8 m. At least one skein for a
// thread that is used at all.
int SkeinsNeeded(int64_t stitches, int fabric, int strands);

struct LegendRow {
    int Index = 0;  // into Pattern::Threads, and its symbol
    int64_t Stitches = 0;
    int Skeins = 0;
};
std::vector<LegendRow> PatternLegend(const Pattern& pattern);

// The finished size in centimetres of `stitches` on a fabric count.
double FinishedCm(int stitches, int fabric);

// The stitched result, each stitch a square of stitchPixels in its thread's colour.
Picture PatternPreview(const Pattern& pattern, int stitchPixels);

// A stitch size in pixels that makes a preview about `longSide` pixels on its longer side.
int PreviewStitchPixels(const Pattern& pattern, int longSide = 800);

}  // namespace morvik
