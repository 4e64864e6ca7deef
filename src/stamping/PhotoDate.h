#pragma once
// The date of a photo: the EXIF date the date source chooses, or the fallback the caller
// took from the file system (the batch: the modification time; the single picture: the
// creation time).
#include "platform/DateTime.h"

#include <string>
#include <string_view>

namespace morvik {

// Reads the file's metadata and returns:
//  - the fallback when the reader fails on the file (missing, unknown extension,
//    unreadable), when the file has no EXIF block, or when dateSource is outside 0..2
//    (a reading that runs out of memory raises instead, see ReadForDating);
//  - otherwise the chosen EXIF date (0 DateTime, 1 DateTimeOriginal, 2 DateTimeDigitized)
//    converted to a date-time value, which is 0 when the block lacks the tag, its text
//    does not parse, or the section taken as the EXIF block holds no EXIF data.
TDateTime PhotoDate(const std::string& path, TDateTime fallback, int dateSource);

class PhotoMetadata;
// The same rule over a reader that has already processed the file (processed tells
// whether that succeeded); the batch keeps the reader for writing the output.
TDateTime PhotoDate(const PhotoMetadata& reader, bool processed, TDateTime fallback, int dateSource);

// The photo's EXIF Orientation (1..8) from a reader that has processed the file; 1 when
// it failed, when the file has no EXIF block or no Orientation, or the value lies outside 1..8.
int PhotoOrientation(const PhotoMetadata& reader, bool processed);

// Reads a file's metadata for dating it: whether the reader processed the file. A file
// it fails on is dated by the fallback; a reading that stopped on a fault of its own
// (running out of memory) is the file's failure and raises Exception with the reason.
// A HEIF file is read by libheif; one it refuses, or whose EXIF item is malformed, raises
// EHeif (Heif.h), and its Orientation reads as 1, since its pixels are decoded upright.
bool ReadForDating(PhotoMetadata& reader, const std::string& path);
// The same over the file's bytes, already read; the path names it.
bool ReadForDating(PhotoMetadata& reader, const std::string& path, std::string_view bytes);

}  // namespace morvik
