#include "jpeg/JpegMarkers.h"

#include <array>
#include <cstring>

namespace morvik {

namespace {

// APP0 marker, length 16, "JFIF" NUL, version 1.02, dots per inch, 300 x 300, no thumbnail.
constexpr std::array<uint8_t, 18> kDefaultJfifHeader = {0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00,
                                                        0x01, 0x02, 0x01, 0x01, 0x2C, 0x01, 0x2C, 0x00, 0x00};

}  // namespace

std::optional<JpegMarkerHeader> JpegMarkerHeaderAt(std::string_view stream, size_t offset)
{
    if (offset > stream.size() || stream.size() - offset < 4 || static_cast<uint8_t>(stream[offset]) != 0xFF)
        return std::nullopt;
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(stream[offset + i]); };
    return JpegMarkerHeader{byte(1), size_t{byte(2)} << 8 | byte(3)};
}

std::optional<JpegSegment> JpegSegmentAt(std::string_view stream, size_t offset)
{
    const auto* d = reinterpret_cast<const uint8_t*>(stream.data());
    const size_t n = stream.size();
    if (offset >= n)
        return std::nullopt;
    if (d[offset] != 0xFF) {
        const void* hit = std::memchr(d + offset, 0xFF, n - offset);
        const size_t next = hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - d) : n;
        return JpegSegment{offset, next - offset, 0, next};
    }
    size_t q = offset;
    while (q < n && d[q] == 0xFF)
        ++q;
    if (q >= n)
        return std::nullopt;
    const uint8_t m = d[q];
    if (m == 0x00 || jpeg_marker::StandsAlone(m))
        return JpegSegment{offset, q + 1 - offset, m, q + 1};
    if (m == jpeg_marker::Soi || m == jpeg_marker::Eoi || q + 2 >= n)
        return std::nullopt;
    const size_t length = size_t{d[q + 1]} << 8 | d[q + 2];
    if (length < 2 || length > n - q - 1)
        return std::nullopt;
    return JpegSegment{offset, q + 1 + length - offset, m, q + 3};
}

bool StartsWithSoi(std::string_view stream)
{
    return stream.size() >= 2 && static_cast<uint8_t>(stream[0]) == 0xFF &&
           static_cast<uint8_t>(stream[1]) == jpeg_marker::Soi;
}

std::string_view DefaultJfifHeader()
{
    return {reinterpret_cast<const char*>(kDefaultJfifHeader.data()), kDefaultJfifHeader.size()};
}

}  // namespace morvik
