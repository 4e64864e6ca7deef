#pragma once
// The printable pattern and its preview picture, drawn with cairo.
//
// The PDF: a cover page with the stitched result in colour and the finished size; the
// legend (symbol, thread number and name, colour swatch, strands, stitches, skeins); then
// the chart, in pages of at most kPageColumns × kPageRows stitches that repeat
// kPageOverlap stitches of the page before (shaded grey), every stitch a square of the
// same size on every page: symbols in black on white, a thin line between stitches and a
// bold one every ten, the tens numbered along the top and left, arrows at the centre
// column and row. Files are written through the replacing-file writer, so a failure
// leaves an existing file as it was and no partial one.
#include "pattern/Pattern.h"

#include <string>

namespace morvik {

enum class PaperSize { A4, Letter };

constexpr int kPageColumns = 60;
constexpr int kPageRows = 80;
constexpr int kPageOverlap = 3;

// The first stitch of each chart page along a side of `stitches`, pages of `perPage`.
std::vector<int> ChartPageStarts(int stitches, int perPage);

// The PDF's bytes.
std::string RenderPatternPdf(const Pattern& pattern, PaperSize paper, const std::string& title);
void WritePatternPdf(const Pattern& pattern, PaperSize paper, const std::string& title, const std::string& path);

// A picture as PNG bytes.
std::string EncodePng(const Picture& picture);

}  // namespace morvik
