#pragma once
// The lossless stamp of a JPEG the splice cannot take but libjpeg reads to coefficients
// without loss: progressive, arithmetic-coded, or in several scans. A progressive one is
// spliced scan by scan where it can be (ProgressiveSplice.h). Otherwise every coefficient is
// read, the stamp's MCUs are replaced by the same drawing and encoding the splice uses,
// and the coefficients are written back in the source's process (progressive stays
// progressive, arithmetic-coded stays arithmetic-coded): every block outside the stamp's
// MCUs keeps its coefficients, though the picture's data is coded again.
//
// Memory: the whole coefficient array (two bytes a sample: 36 MB for 12 MP in 4:2:0),
// refused as a decoded picture of that size would be (EPictureTooLarge).
#include "stamping/lossless/JpegStructure.h"
#include "stamping/lossless/McuPixels.h"
#include "stamping/lossless/ProgressiveSplice.h"

#include <string>
#include <string_view>

namespace morvik::lossless {

struct CoefficientStampResult {
    std::string Reason;  // why it could not be done (12-bit, CMYK, damaged data …); empty when done
    // A progressive picture spliced (ProgressiveSplice.h): the coded data outside the
    // stamp's scan stretches kept; the stamp's blocks moved to what the tables code.
    bool Spliced = false;
    bool StampFitted = false;
    bool StampAligned = false;
};

// Stamps the picture into `out` (cleared first). `keepMetadata` as for the splice: off
// keeps only the ICC profile, with the default JFIF header. Raises EJPEG for what libjpeg
// refuses.
// `walk`: how a progressive file's scans are walked when it is spliced.
CoefficientStampResult StampCoefficients(std::string_view jpeg, const PixelBox& box, const RegionPainter& paint,
                                         bool keepMetadata, std::string& out, ScanWalk walk = ScanWalk::ToTheStamp);

}  // namespace morvik::lossless
