#pragma once
// Saving a picture that was decoded from a JPEG file and then changed (a stamp, a second
// stamp, a frame: whatever was drawn) back into that file without re-encoding it: the
// picture is compared with the file's own decode MCU by MCU, and only the MCUs with a
// changed pixel are coded again, through the lossless stamp's splice, in as few
// rectangles as the changed MCUs make. Every other MCU keeps its coefficients, and the
// file's sections (its EXIF block and Orientation tag among them) stay as they were.
//
// The picture is the one shown: turned upright by the file's EXIF Orientation. It is
// turned back to the stored orientation for the comparison (an exact permutation of the
// pixels). A picture that no longer matches the file (another size), a file the splice
// cannot take, or changes scattered over more rectangles than are worth splicing one by
// one come back as ReEncode with the reason, for the caller to save as it did before.
//
// Memory: the file's decode beside the picture, and the splice's own for each rectangle.
#include "stamping/Picture.h"
#include "stamping/lossless/LosslessStamp.h"

#include <string_view>

namespace morvik {

// Stamps the changes of `shown` (the file decoded and turned by `orientation`, then drawn
// on) into the JPEG file `jpeg`. Raises EJPEG for a file libjpeg refuses.
LosslessOutcome SaveChangedMcus(std::string_view jpeg, const Picture& shown, int orientation);

}  // namespace morvik
