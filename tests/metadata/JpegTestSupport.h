#pragma once
// Helpers for the writer's tests: pictures encoded and decoded with libjpeg, and small
// EXIF blocks built entry by entry.
#include <cstdint>
#include <cstdio>
#include <csetjmp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/TestJpeg.h"

namespace morvik::test {

// A baseline JPEG of the given size (a colour gradient) as libjpeg writes it: SOI, APP0
// JFIF, DQT, SOF0, DHT, SOS, scan, EOI.
inline std::string EncodeJpeg(int width, int height, int quality = 75)
{
    return EncodeWithLibjpeg(width, height, 3, JCS_RGB, quality, false, [width](int x, int y, int c) {
        return static_cast<uint8_t>(c == 0 ? x * 255 / (width > 1 ? width - 1 : 1) : c == 1 ? y * 7 : 128);
    });
}

// One TIFF directory entry; Value holds the raw bytes in the block's byte order.
struct TiffEntry {
    uint16_t Tag;
    uint16_t Type;
    uint32_t Count;
    std::string Value;
};

class TiffBytes {
public:
    explicit TiffBytes(bool bigEndian) : big_(bigEndian) {}
    std::string U16(uint32_t v) const { return Number(v, 2); }
    std::string U32(uint32_t v) const { return Number(v, 4); }
    std::string Number(uint32_t v, int width) const
    {
        std::string s;
        for (int i = 0; i < width; ++i) {
            const int shift = big_ ? 8 * (width - 1 - i) : 8 * i;
            s += static_cast<char>((v >> shift) & 0xFF);
        }
        return s;
    }
    TiffEntry Short(uint16_t tag, uint16_t v) const { return {tag, 3, 1, U16(v)}; }
    TiffEntry Long(uint16_t tag, uint32_t v) const { return {tag, 4, 1, U32(v)}; }
    TiffEntry Rational(uint16_t tag, uint32_t n, uint32_t d) const { return {tag, 5, 1, U32(n) + U32(d)}; }
    TiffEntry SRational(uint16_t tag, int32_t n, int32_t d) const
    {
        return {tag, 10, 1, U32(static_cast<uint32_t>(n)) + U32(static_cast<uint32_t>(d))};
    }
    TiffEntry Ascii(uint16_t tag, const std::string& text) const
    {
        return {tag, 2, static_cast<uint32_t>(text.size() + 1), text + '\0'};
    }

    // A directory at TIFF offset `offset`, its larger values right behind it.
    std::string Directory(uint32_t offset, const std::vector<TiffEntry>& entries) const
    {
        std::string head = U16(static_cast<uint32_t>(entries.size()));
        std::string data;
        const uint32_t dataStart = offset + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
        for (const auto& e : entries) {
            head += U16(e.Tag) + U16(e.Type) + U32(e.Count);
            if (e.Value.size() <= 4) {
                head += e.Value + std::string(4 - e.Value.size(), '\0');
            } else {
                head += U32(dataStart + static_cast<uint32_t>(data.size()));
                data += e.Value;
                if (data.size() % 2)
                    data += '\0';
            }
        }
        return head + U32(0) + data;
    }

    // TIFF header, IFD0 and, when given, the EXIF sub-directory it points to.
    std::string Tiff(std::vector<TiffEntry> ifd0, const std::vector<TiffEntry>& exif) const
    {
        std::string header = big_ ? "MM" : "II";
        header += U16(42) + U32(8);
        if (exif.empty())
            return header + Directory(8, ifd0);
        ifd0.push_back(Long(0x8769, 0));
        const uint32_t exifOffset = 8 + static_cast<uint32_t>(Directory(8, ifd0).size());
        ifd0.back() = Long(0x8769, exifOffset);
        return header + Directory(8, ifd0) + Directory(exifOffset, exif);
    }

    // The APP1 section's Data: the length field, "Exif" NUL NUL and the TIFF structure.
    std::string App1Data(const std::vector<TiffEntry>& ifd0, const std::vector<TiffEntry>& exif) const
    {
        const std::string body = std::string("Exif\0\0", 6) + Tiff(ifd0, exif);
        const size_t len = body.size() + 2;
        return std::string{static_cast<char>(len >> 8), static_cast<char>(len & 0xFF)} + body;
    }

private:
    bool big_;
};

// A section as it stands in a file: 0xFF, the marker, the Data.
inline std::string Section(int marker, const std::string& data)
{
    return std::string{'\xFF', static_cast<char>(marker)} + data;
}

// Data of a section with the given content (the length field put in front).
inline std::string SectionData(const std::string& content)
{
    const size_t len = content.size() + 2;
    return std::string{static_cast<char>(len >> 8), static_cast<char>(len & 0xFF)} + content;
}

// The encoder's stream after its SOI and APP0: from its DQT on.
inline std::string AfterApp0(const std::string& jpeg)
{
    const size_t app0 = (static_cast<uint8_t>(jpeg[4]) << 8) | static_cast<uint8_t>(jpeg[5]);
    return jpeg.substr(4 + app0);
}

}  // namespace morvik::test
