#pragma once
// HEIF photos (.heic, .heif) through libheif. A phone's HEIF is read like a JPEG: its
// primary image decoded upright (the file's rotation, mirror and crop applied, as every
// viewer shows it), 10-bit and deeper samples brought to 8 bits; its EXIF item read by
// our metadata reader; its ICC profile and XMP kept, so that the stamped JPEG made of it
// carries them.
//
// Because the pixels come out upright, the EXIF Orientation that goes with them is set to
// 1: a viewer must not turn them a second time. Only the report of a file (`info`) shows
// the Orientation the camera wrote.
//
// libheif is opened at the first HEIF file, so that a run over JPEGs never loads it and
// its codecs. Every failure is an EHeif: "Cannot read HEIF file \"<path>\": <libheif's
// reason>" (or ours, for an EXIF item that is malformed, or for a libheif that cannot be
// loaded). Memory stays bounded: the image's size is
// checked against the picture limit before anything is decoded, and the decode's memory
// is reserved as a batch job's picture is. Everything here is safe
// to use from several threads on different files.
#include "platform/Exceptions.h"
#include "stamping/Picture.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvik {

class PhotoMetadata;

class EHeif : public Exception {
public:
    EHeif(const std::string& path, std::string_view reason);
};

// A name ending in ".heic" or ".heif" in any case.
bool IsHeifName(std::string_view name);
// Bytes that begin as a HEIF file libheif can read.
bool LooksLikeHeif(std::string_view bytes);

// What a HEIF keeps beside its pixels.
struct HeifMetadata {
    std::string Exif;  // the TIFF block, from its byte-order mark on; empty without EXIF
    std::string Icc;   // the raw ICC profile; empty without one
    std::string Xmp;   // the XMP packet; empty without one
    int Width = 0;     // the primary image's size as shown, transformations applied
    int Height = 0;
};

struct HeifPhoto {
    Picture Pixels;  // upright, 8-bit RGB
    HeifMetadata Metadata;
};

// The memory decoding an image of that size and sample depth takes at its peak, the
// picture handed over included: what DecodeHeif reserves before it decodes.
uint64_t HeifDecodeBytes(int width, int height, int bitsPerSample);

// The container's metadata of the primary image, without decoding its pixels.
HeifMetadata ReadHeifMetadata(std::string_view bytes, const std::string& path);
// The primary image decoded, with its metadata.
HeifPhoto DecodeHeif(std::string_view bytes, const std::string& path);
// The whole file's bytes ("Cannot open file …" as for a JPEG).
std::string ReadHeifFile(const std::string& path);

// The TIFF block of an EXIF item: the item begins with a 4-byte big-endian count of bytes
// to skip (usually "Exif\0\0") before the TIFF header. Empty when the count points past
// the item or what it points at is no TIFF header.
std::optional<std::string_view> ExifItemTiffBlock(std::string_view item);

// Sets the Orientation of the TIFF block's first directory to 1 where it has one; a
// block whose directory does not lie inside it is left as it is.
void SetOrientationUpright(std::string& tiff);

// The metadata reader over a HEIF's EXIF block, as if the file were a JPEG with that
// block: dates, the report, maker notes and the writer's sections read as for one.
// With upright the Orientation is first set to 1 (the pixels are shown turned). Returns
// whether the reader processed it; false for a HEIF without EXIF. A block our reader's
// walk refuses raises EHeif; so does one too large for a JPEG's section.
bool LoadHeifExif(PhotoMetadata& reader, const std::string& path, const HeifMetadata& metadata, bool upright);

// The report's reading of a HEIF file: its EXIF block as the camera wrote it (Orientation
// kept) and the file's facts. Never throws, like the reader's own reading: a failure is
// in the result and the reader's Outcome (faulted when it ran out of memory).
bool ReadHeifForReport(PhotoMetadata& reader, const std::string& path);

// The stamped JPEG made of a HEIF: the encoder's stream with, after its start, the EXIF
// block (with exif; dimensions set to the picture's, Orientation 1), the XMP (with exif)
// and the ICC profile (always: it says what the colours mean). Made in `storage`, a buffer
// of an earlier file whose memory serves again.
std::string HeifOutputJpeg(const HeifPhoto& photo, std::string_view encodedJpeg, bool exif,
                           const std::string& path, std::string storage = {});

}  // namespace morvik
