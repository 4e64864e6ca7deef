// The EXIF-preserving JPEG writer: the source's metadata sections, then the encoder's
// stream without its own leading APP0/APP1/APP13/COM sections.
#include "exif/ByteSource.h"
#include "exif/ImageInfo.h"
#include "exif/ImgData.h"
#include "platform/FileSystem.h"
#include "platform/Exceptions.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <string>

namespace morvik {

namespace {

// APP0 marker, length 16, "JFIF" NUL, version 1.02, dots per inch, 300 x 300, no thumbnail.
constexpr std::array<uint8_t, 18> kDefaultJfifHeader = {0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00,
                                                        0x01, 0x02, 0x01, 0x01, 0x2C, 0x01, 0x2C, 0x00, 0x00};

// Sections of the encoder's output that the kept metadata replaces, tested in this order.
constexpr std::array<uint8_t, 4> kSkippedEncoderSections = {0xE0, 0xE1, 0xED, 0xFE};

int64_t AppendSection(std::string& out, const tSection& section)
{
    out += static_cast<char>(0xFF);
    out += static_cast<char>(section.Marker & 0xFF);
    out += section.Data;
    return 2 + static_cast<int64_t>(section.Data.size());
}

// Where the encoder's stream continues once its SOI and the sections above are skipped
// (0-based offset into the stream).
size_t EncoderStreamStart(const std::string& stream)
{
    size_t p = 2;
    for (uint8_t code : kSkippedEncoderSections) {
        if (p > stream.size() || stream.size() - p < 4)
            continue;
        if (static_cast<uint8_t>(stream[p + 1]) != code)
            continue;
        const size_t length = static_cast<size_t>(static_cast<uint8_t>(stream[p + 2])) * 256 +
                              static_cast<uint8_t>(stream[p + 3]);
        p += 2 + length;
    }
    return p;
}

}  // namespace

std::string_view DefaultJfifHeader()
{
    return {reinterpret_cast<const char*>(kDefaultJfifHeader.data()), kDefaultJfifHeader.size()};
}

void TImageInfo::Write32At(std::string& bytes, int32_t value, int64_t pos) const
{
    Store32At(bytes, pos, static_cast<uint32_t>(value), BigEndian);
}

void TImageInfo::UpdateDimensions(int newHeight, int newWidth)
{
    if (Height <= 0 || Width <= 0)
        return;
    if (newWidth == Width && newHeight == Height)
        return;
    if (Owner == nullptr || Owner->ExifSection == nullptr)
        return;
    std::string& data = Owner->ExifSection->Data;

    auto store = [&](int64_t valuePos, int value) {
        // The entry's field type lies six positions before its value field.
        const ByteSource src(data);
        if (!src.Holds(valuePos - 6, 10))
            return;
        const uint16_t fieldType = src.U16(valuePos - 6, BigEndian);
        if (fieldType == FieldTypeShort) {
            const uint16_t v = static_cast<uint16_t>(value);
            const auto hi = static_cast<char>(v >> 8), lo = static_cast<char>(v & 0xFF);
            const size_t at = static_cast<size_t>(valuePos - 1);
            data[at] = BigEndian ? hi : lo;
            data[at + 1] = BigEndian ? lo : hi;
            data[at + 2] = 0;
            data[at + 3] = 0;
        } else {
            Write32At(data, value, valuePos);
        }
    };
    store(HeightPos, newHeight);
    store(WidthPos, newWidth);
}

int64_t TimgData::WriteHeaderSections(std::string& out)
{
    out += static_cast<char>(0xFF);
    out += static_cast<char>(0xD8);
    int64_t written = 0;
    if (ExifSection != nullptr) {
        written += AppendSection(out, *ExifSection);
    } else if (App0Section != nullptr) {
        written += AppendSection(out, *App0Section);
    } else {
        out += DefaultJfifHeader();
        written += static_cast<int64_t>(kDefaultJfifHeader.size());
    }
    if (IptcSection != nullptr)
        written += AppendSection(out, *IptcSection);
    if (CommentSection != nullptr)
        written += AppendSection(out, *CommentSection);
    return written;
}

void TimgData::WriteJpegWithExif(const std::string& jpegStream, int width, int height,
                                 const std::string& outputFileName, bool adjustDimensions)
{
    // Opened first, so a file that cannot be created changes nothing.
    ReplacingFile file(outputFileName);
    file.Commit(JpegWithExif(jpegStream, width, height, adjustDimensions));
}

std::string TimgData::JpegWithExif(const std::string& jpegStream, int width, int height, bool adjustDimensions)
{
    if (adjustDimensions && ExifInfo)
        ExifInfo->UpdateDimensions(height, width);
    std::string out;
    out.reserve(jpegStream.size() + 65536);
    WriteHeaderSections(out);
    const size_t p = EncoderStreamStart(jpegStream);
    if (p < jpegStream.size())
        out.append(jpegStream, p, std::string::npos);
    return out;
}

}  // namespace morvik
