#pragma once
// The multi-picture index a phone or camera writes into the first picture's header
// (APP2 "MPF"): where each further picture of the file starts, counted from the index's
// own byte-order mark, and how long each picture is. When the first picture's coded
// data changes length, every picture after it moves by as much.
#include <string>
#include <string_view>

namespace morvik::lossless {

// Corrects the index in `out`, the stamped form of `source`: the pictures after the first
// one lie at the end of both files, byte for byte the same, so each moves by the change
// of the files' lengths; the first picture's length changes by as much. Nothing is done
// when `out` has no index (or one that is broken: it is left as it is).
void CorrectMultiPictureIndex(std::string_view source, std::string& out);

}  // namespace morvik::lossless
