#pragma once
// The lossless stamp of a progressive JPEG without coding its picture again. Each scan is
// walked to its end once, keeping the coefficients only of the MCU rows down to the
// stamp's and, for the rest, which coefficients are non-zero (what the refining scans
// need to be read). Each scan's data is then coded anew up to the MCU after the stamp's
// last one, with the scan's own Huffman tables, and the rest of the scan is copied from
// the source to the exact end of its data, so no padding is carried into the middle.
// Every block outside the stamp's MCUs keeps its coefficients; the stamp's new blocks are
// moved to the nearest values the scans' tables code.
//
// Taken: 8-bit progressive Huffman-coded frames without restart markers, the stamp in the
// upper half. Anything else, and anything the walk finds odd (damage, a table without the
// codes a join needs), is declined, for libjpeg's reading of all coefficients to do it.
//
// Memory: the coefficients of the MCU rows down to the stamp's, and eight bytes a block
// for the rest when every scan is walked to its end.
#include "stamping/lossless/JpegStructure.h"
#include "stamping/lossless/McuPixels.h"

#include <string>
#include <string_view>

namespace morvik::lossless {

struct ProgressiveSpliceResult {
    bool Spliced = false;  // else declined: `out` is left for the caller to fill another way
    bool StampFitted = false;  // the stamp's blocks were moved to what the scans' tables code
    // A coefficient of the stamp was moved by a step so that a scan's rest follows byte
    // for byte.
    bool StampAligned = false;
};

// How far each scan is walked.
enum class ScanWalk {
    // Down to the stamp, each scan's codes laid out to end on the bit where the source's
    // do, so its rest follows byte for byte (every scan walked to its end where that
    // cannot be done). A stamp below the middle is declined: coding each scan anew down
    // to it costs more than libjpeg's reading and writing of every coefficient.
    ToTheStamp,
    // Every scan to its end, wherever the stamp lies.
    WholeScans,
};

// `s` holds the frame as libjpeg read its header (components, quantization tables, MCU
// layout). `keepMetadata` as for the splice of a baseline file.
ProgressiveSpliceResult SpliceProgressive(std::string_view jpeg, const JpegStructure& s, const PixelBox& box,
                                          const RegionPainter& paint, bool keepMetadata, std::string& out,
                                          ScanWalk walk = ScanWalk::ToTheStamp);

}  // namespace morvik::lossless
