#pragma once
// Synthetic EXIF blocks and JPEG files for tests.
//
//   ExifBuilder b(/*bigEndian=*/false);
//   int exif = b.AddIfd();                       // IFD 0 exists from the start
//   b.Ascii(0, 0x010F, "Canon");                 // Make, NUL added
//   b.Pointer(0, 0x8769, exif);                  // ExifOffset -> directory `exif`
//   b.Short(exif, 0xA002, {1600});
//   std::string jpeg = MakeJpeg({b.App1()});     // SOI, APP1, DQT, SOF0, DHT, SOS, data, EOI
//
// Directories are laid out one after another from TIFF offset 8, each followed by its
// 4-byte next-directory link (0) and then the values that do not fit in an entry.
// Positions in the EXIF block (1-based, from the APP1 length bytes on) are TIFF
// offset + 9; the builder answers both.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace morvik::test {

class ExifBuilder {
public:
    explicit ExifBuilder(bool bigEndian = false);

    bool BigEndian() const { return bigEndian_; }

    // A new empty directory; its index is what Pointer and the entry calls take.
    int AddIfd();

    // Any entry: value bytes as they are stored (use U16/U32 for numbers). Values of 4
    // bytes or fewer go inline, left-justified; larger ones after the directory.
    // `count` is written as given, so it may disagree with the bytes on purpose.
    ExifBuilder& Entry(int ifd, uint16_t tag, uint16_t type, uint32_t count, const std::string& value);
    // An entry whose 4-byte value/offset field is written as given (no value stored).
    ExifBuilder& RawEntry(int ifd, uint16_t tag, uint16_t type, uint32_t count, uint32_t field);
    // An entry of type LONG whose value is the TIFF offset of directory `target`.
    ExifBuilder& Pointer(int ifd, uint16_t tag, int target);

    ExifBuilder& Byte(int ifd, uint16_t tag, std::initializer_list<uint8_t> values);
    ExifBuilder& Ascii(int ifd, uint16_t tag, const std::string& text, bool addNul = true);
    ExifBuilder& Undefined(int ifd, uint16_t tag, const std::string& bytes);
    ExifBuilder& Short(int ifd, uint16_t tag, std::initializer_list<uint16_t> values, uint16_t type = 3);
    ExifBuilder& Long(int ifd, uint16_t tag, std::initializer_list<uint32_t> values, uint16_t type = 4);
    ExifBuilder& Rational(int ifd, uint16_t tag, std::initializer_list<std::pair<int64_t, int64_t>> values,
                          uint16_t type = 5);

    // Overrides the entry count written for a directory (to make it lie about its size).
    void SetEntryCount(int ifd, uint16_t count) { ifds_.at(static_cast<size_t>(ifd)).CountOverride = count; }
    // The first-directory offset written in the header (default: the offset of IFD 0).
    void SetFirstOffset(uint32_t offset) { firstOffset_ = offset; }

    // The TIFF structure: header and directories.
    std::string Tiff() const;
    // The APP1 section: FF E1, length, "Exif\0\0", Tiff().
    std::string App1() const;
    // The EXIF block as the reader keeps it: the APP1 section from its length bytes on.
    std::string Block() const { return App1().substr(2); }

    // TIFF offsets of a directory, of entry k's first byte and of its value (inline or not).
    uint32_t IfdOffset(int ifd) const;
    uint32_t EntryOffset(int ifd, int k) const { return IfdOffset(ifd) + 2 + 12 * static_cast<uint32_t>(k); }
    uint32_t ValueOffset(int ifd, int k) const;
    // Block positions of the same (TIFF offset + 9).
    static int32_t Position(uint32_t tiffOffset) { return static_cast<int32_t>(tiffOffset) + 9; }

    // Numbers in this builder's byte order.
    std::string U16(uint16_t v) const;
    std::string U32(uint32_t v) const;

private:
    struct Item {
        uint16_t Tag = 0, Type = 0;
        uint32_t Count = 0;
        std::string Value;
        std::optional<uint32_t> Field;  // written as is
        int Target = -1;                // pointer to a directory
    };
    struct Ifd {
        std::vector<Item> Items;
        std::optional<uint16_t> CountOverride;
    };
    std::vector<uint32_t> Layout() const;  // offsets of every directory
    uint32_t IfdSize(const Ifd& ifd) const;

    bool bigEndian_;
    std::vector<Ifd> ifds_;
    std::optional<uint32_t> firstOffset_;
};

// A JPEG marker section: FF, marker, two length bytes (body + 2), body.
std::string Section(uint8_t marker, const std::string& body);
// SOI, the given sections, then (when withImage) DQT, SOF0 and DHT stand-ins, SOS with a
// few bytes of scan data, and EOI.
std::string MakeJpeg(const std::vector<std::string>& sections, bool withImage = true);

}  // namespace morvik::test
