#pragma once
// The markers of a JPEG stream: their codes, the walk over the segments that come before
// the picture data, and the APP0 header written for a picture that carries none of its own.
// Plain bytes in, no library: the metadata reader, the writer and the lossless stamp all
// walk the same way.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace morvik {

namespace jpeg_marker {
inline constexpr uint8_t Soi = 0xD8;
inline constexpr uint8_t Eoi = 0xD9;
inline constexpr uint8_t Sos = 0xDA;
inline constexpr uint8_t Dac = 0xCC;  // arithmetic-coding conditioning
inline constexpr uint8_t App0 = 0xE0;
inline constexpr uint8_t App1 = 0xE1;  // EXIF
inline constexpr uint8_t App13 = 0xED;  // Photoshop resources: IPTC
inline constexpr uint8_t App14 = 0xEE;  // Adobe: the colour transform
inline constexpr uint8_t Com = 0xFE;

// Markers that stand alone, without a length field: TEM and the restart markers.
constexpr bool StandsAlone(uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }
}  // namespace jpeg_marker

// One piece of a stream between SOI and the picture data, as a decoder reads it.
struct JpegSegment {
    size_t Offset = 0;   // of its first 0xFF (fill bytes included)
    size_t Length = 0;   // bytes from Offset, the marker and its body included
    uint8_t Marker = 0;  // 0 for stray bytes between segments (or a stuffed 0xFF 0x00)
    size_t Body = 0;     // of the first byte after the length field; End() without one

    size_t End() const { return Offset + Length; }
};

// The marker code and length field of a segment whose 0xFF lies at an offset, fill bytes
// not allowed; none when the stream holds fewer than four bytes from there or no 0xFF.
// The length is the field's value: the body it announces may reach past the stream's end.
struct JpegMarkerHeader {
    uint8_t Marker = 0;
    size_t Length = 0;
};
std::optional<JpegMarkerHeader> JpegMarkerHeaderAt(std::string_view stream, size_t offset);

// The segment that starts at an offset of the stream: fill bytes belong to the marker they
// precede, bytes that are not a marker make a stray segment up to the next 0xFF, and a
// standalone marker has no body. None where the stream ends, where it ends inside a
// marker's length or body, at SOI or EOI, or where a length is below 2.
std::optional<JpegSegment> JpegSegmentAt(std::string_view stream, size_t offset);

// True when the stream starts with SOI.
bool StartsWithSoi(std::string_view stream);

// The APP0 segment written in place of a source's metadata when it has none to carry
// over: 18 bytes from the marker on (JFIF 1.02, 300 dots per inch, no thumbnail).
std::string_view DefaultJfifHeader();

}  // namespace morvik
