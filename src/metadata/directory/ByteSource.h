#pragma once
// The one way the metadata reader touches bytes: 1-based positions into a byte string,
// every read checked against its length. A read outside raises ReadOutside, which the
// reader catches where its rules say a walk ends; it never leaves the reader.
#include "metadata/directory/ReaderFailure.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace morvik {

class ByteSource {
public:
    explicit ByteSource(std::string_view data) : data_(data) {}

    int64_t Length() const { return static_cast<int64_t>(data_.size()); }
    // True when positions pos .. pos + count - 1 all lie inside.
    bool Holds(int64_t pos, int64_t count) const
    {
        return pos >= 1 && count >= 0 && pos <= Length() + 1 && count <= Length() - pos + 1;
    }

    uint8_t Byte(int64_t pos) const
    {
        if (!Holds(pos, 1))
            throw ReadOutside(pos);
        return static_cast<uint8_t>(data_[static_cast<size_t>(pos - 1)]);
    }

    uint16_t U16(int64_t pos, bool bigEndian) const
    {
        if (!Holds(pos, 2))
            throw ReadOutside(pos);
        const uint8_t b1 = At(pos), b2 = At(pos + 1);
        return static_cast<uint16_t>(bigEndian ? (b1 << 8) | b2 : (b2 << 8) | b1);
    }

    int32_t I32(int64_t pos, bool bigEndian) const
    {
        if (!Holds(pos, 4))
            throw ReadOutside(pos);
        const uint32_t b1 = At(pos), b2 = At(pos + 1), b3 = At(pos + 2), b4 = At(pos + 3);
        const uint32_t v = bigEndian ? (b1 << 24) | (b2 << 16) | (b3 << 8) | b4
                                     : (b4 << 24) | (b3 << 16) | (b2 << 8) | b1;
        return static_cast<int32_t>(v);
    }

    // The bytes of positions pos .. pos + count - 1 that lie inside (possibly none).
    std::string Clip(int64_t pos, int64_t count) const
    {
        if (count <= 0)
            return {};
        int64_t first = pos < 1 ? 1 : pos;
        int64_t last = pos + count - 1;  // count is at most 2^35: no overflow
        if (last > Length())
            last = Length();
        if (first > last)
            return {};
        return std::string(data_.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1)));
    }

    std::string_view View() const { return data_; }

private:
    // A byte whose position the caller has checked with Holds.
    uint8_t At(int64_t pos) const { return static_cast<uint8_t>(data_[static_cast<size_t>(pos - 1)]); }

    std::string_view data_;
};

// Where a walk reads: the bytes, their byte order, and the base that turns an offset
// stored in them into a position (9 in a JPEG file's EXIF block, -7 in a TIFF file's
// block; a maker note's own rule in its note). A walk carries it; nothing is borrowed.
struct WalkCursor {
    ByteSource Bytes;
    bool BigEndian = false;
    int64_t Base = 0;

    uint16_t U16(int64_t pos) const { return Bytes.U16(pos, BigEndian); }
    int32_t I32(int64_t pos) const { return Bytes.I32(pos, BigEndian); }
};

// Stores a 32-bit value at a 1-based position of a byte string; false when it does not fit.
inline bool Store32At(std::string& data, int64_t pos, uint32_t value, bool bigEndian)
{
    if (pos < 1 || pos + 3 > static_cast<int64_t>(data.size()))
        return false;
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        data[static_cast<size_t>(pos - 1 + i)] = static_cast<char>((value >> shift) & 0xFF);
    }
    return true;
}

}  // namespace morvik
