#include "stamping/lossless/MultiPictureIndex.h"

#include "jpeg/JpegMarkers.h"

#include <cstdint>
#include <optional>

namespace morvik::lossless {

namespace {

constexpr uint8_t kAPP2 = 0xE2;
constexpr uint16_t kMpEntryTag = 0xB002;
constexpr size_t kMpEntrySize = 16;

// The index's byte-order mark (where its offsets count from) and its end.
struct IndexPlace {
    size_t Tiff = 0, End = 0;
};

// The first APP2 segment that holds an MPF index, among the segments before the scan as
// the splice walks them.
std::optional<IndexPlace> FindIndex(std::string_view jpeg)
{
    for (std::optional<JpegSegment> seg = JpegSegmentAt(jpeg, 2); seg && seg->Marker != jpeg_marker::Sos;
         seg = JpegSegmentAt(jpeg, seg->End()))
        if (seg->Marker == kAPP2 && seg->End() - seg->Body >= 4 + 8 &&
            jpeg.compare(seg->Body, 4, std::string_view("MPF\0", 4)) == 0)
            return IndexPlace{seg->Body + 4, seg->End()};
    return std::nullopt;
}

// Reads and writes the index's numbers in its byte order, within its segment.
class IndexBytes {
public:
    IndexBytes(std::string& out, IndexPlace place) : out_(out), place_(place)
    {
        little_ = out.compare(place.Tiff, 2, "II") == 0;
    }
    bool Fits(size_t at, size_t size) const { return at <= place_.End - place_.Tiff && size <= place_.End - place_.Tiff - at; }
    uint32_t Get(size_t at, int size) const
    {
        uint32_t v = 0;
        for (int i = 0; i < size; ++i) {
            const uint32_t b = uint8_t(out_[place_.Tiff + at + size_t(i)]);
            v |= little_ ? b << (8 * i) : b << (8 * (size - 1 - i));
        }
        return v;
    }
    void Put32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            out_[place_.Tiff + at + size_t(i)] = char(little_ ? v >> (8 * i) : v >> (8 * (3 - i)));
    }

private:
    std::string& out_;
    IndexPlace place_;
    bool little_ = false;
};

}  // namespace

void CorrectMultiPictureIndex(std::string_view source, std::string& out)
{
    const std::optional<IndexPlace> from = FindIndex(source), to = FindIndex(out);
    if (!from || !to)
        return;
    IndexBytes index(out, *to);
    if (!index.Fits(0, 8))
        return;
    const uint32_t ifd = index.Get(4, 4);
    if (!index.Fits(ifd, 2))
        return;
    const uint32_t count = index.Get(ifd, 2);
    const int64_t grown = int64_t(out.size()) - int64_t(source.size());
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = ifd + 2 + 12 * size_t(i);
        if (!index.Fits(entry, 12))
            return;
        if (index.Get(entry, 2) != kMpEntryTag)
            continue;
        const uint32_t bytes = index.Get(entry + 4, 4), at = index.Get(entry + 8, 4);
        if (!index.Fits(at, bytes))
            return;
        for (size_t e = 0; e + kMpEntrySize <= bytes; e += kMpEntrySize) {
            const size_t sizeField = at + e + 4, offsetField = at + e + 8;
            const uint32_t size = index.Get(sizeField, 4), offset = index.Get(offsetField, 4);
            if (offset == 0) {
                // The first picture, which starts the file.
                if (size <= source.size() && int64_t(size) + grown > 0)
                    index.Put32(sizeField, uint32_t(int64_t(size) + grown));
                continue;
            }
            // A picture after the first one: where it lies in the source, moved as the file's
            // end moved, counted from the stamped file's index.
            const int64_t place = int64_t(from->Tiff) + offset;
            if (place <= int64_t(from->End) || place >= int64_t(source.size()))
                continue;  // not after the first picture's header: not ours to move
            const int64_t moved = place + grown - int64_t(to->Tiff);
            if (moved > 0 && moved <= int64_t(UINT32_MAX))
                index.Put32(offsetField, uint32_t(moved));
        }
    }
}

}  // namespace morvik::lossless
