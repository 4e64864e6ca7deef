#pragma once
// The date of a photo: the EXIF date the date source chooses, the date in its file name,
// or the fallback the caller took from the file system (the batch: the modification time;
// the single picture: the creation time).
#include "platform/DateTime.h"
#include "stamping/StampRequest.h"  // PhotoDateSource

#include <string>
#include <string_view>

namespace morvik {

// What dated a photo: the EXIF date the source chose, the date in the file's name or the
// file's time (the fallback).
enum class DateOrigin { ExifTag, FileName, FileTime };

struct PhotoDating {
    TDateTime Date = 0;
    DateOrigin Origin = DateOrigin::ExifTag;
};

// The date of the photo at `path` by the date source:
//  - DateTime, DateTimeOriginal, DateTimeDigitized: the chosen EXIF date converted
//    to a date-time value, which is 0 when the block lacks the tag, its text does not
//    parse, or the section taken as the EXIF block holds no EXIF data; the fallback when
//    the reader failed on the file (missing, unknown extension, unreadable) or the file
//    has no EXIF block;
//  - the file name: the date in the name (DateFromFileName), else the fallback;
//  - automatic: the first valid date of DateTimeOriginal, DateTimeDigitized, DateTime,
//    the file's name and the fallback, so never 0 for lack of a tag;
//  - Fallback (or a value outside the list): the fallback.
// `reader` has already read the file; `processed` tells whether that succeeded.
class PhotoMetadata;
PhotoDating PhotoDate(const PhotoMetadata& reader, bool processed, const std::string& path, TDateTime fallback,
                      PhotoDateSource dateSource);
// The same, reading the file's metadata first (a reading that runs out of memory raises
// instead, see ReadForDating); the date alone.
TDateTime PhotoDate(const std::string& path, TDateTime fallback, PhotoDateSource dateSource);

// The photo's EXIF Orientation (1..8) from a reader that has processed the file; 1 when
// it failed, when the file has no EXIF block or no Orientation, or the value lies outside 1..8.
int PhotoOrientation(const PhotoMetadata& reader, bool processed);
// The same for a file, read for it; 1 for a file the reader fails on.
int PhotoOrientation(const std::string& path);

// Reads a file's metadata for dating it: whether the reader processed the file. A file
// it fails on is dated by the fallback; a reading that stopped on a fault of its own
// (running out of memory) is the file's failure and raises Exception with the reason.
// A HEIF file is read by libheif; one it refuses, or whose EXIF item is malformed, raises
// EHeif (Heif.h), and its Orientation reads as 1, since its pixels are decoded upright.
bool ReadForDating(PhotoMetadata& reader, const std::string& path);
// The same over the file's bytes, already read; the path names it.
bool ReadForDating(PhotoMetadata& reader, const std::string& path, std::string_view bytes);

}  // namespace morvik
