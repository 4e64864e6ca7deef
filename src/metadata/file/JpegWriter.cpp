// The EXIF-preserving JPEG writer: the source's metadata sections, then the encoder's
// stream without its own leading APP0/APP1/APP13/COM sections.
#include "jpeg/JpegMarkers.h"
#include "metadata/directory/ExifDirectory.h"
#include "metadata/file/PhotoMetadata.h"
#include "platform/FileSystem.h"
#include "platform/Exceptions.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

namespace morvik {

namespace {

// Sections of the encoder's output that the kept metadata replaces, tested in this order.
constexpr std::array<uint8_t, 4> kSkippedEncoderSections = {jpeg_marker::App0, jpeg_marker::App1,
                                                            jpeg_marker::App13, jpeg_marker::Com};

int64_t AppendSection(std::string& out, const JpegSection& section)
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
        // A length past the stream's end skips the rest: nothing of such a stream is kept.
        const std::optional<JpegMarkerHeader> header = JpegMarkerHeaderAt(stream, p);
        if (header && header->Marker == code)
            p += 2 + header->Length;
    }
    return p;
}

}  // namespace

const JpegSection* PhotoMetadata::CarriedExifSection() const
{
    return ReadAs == PictureFileKind::Jpeg ? ExifSection : nullptr;
}

void PhotoMetadata::UpdateDimensions(int newHeight, int newWidth)
{
    if (ExifInfo && CarriedExifSection() != nullptr)
        ExifInfo->UpdateDimensions(ExifSection->Data, newHeight, newWidth);
}

int64_t PhotoMetadata::WriteHeaderSections(std::string& out)
{
    out += static_cast<char>(0xFF);
    out += static_cast<char>(0xD8);
    int64_t written = 0;
    if (const JpegSection* exif = CarriedExifSection()) {
        written += AppendSection(out, *exif);
    } else if (App0Section != nullptr) {
        written += AppendSection(out, *App0Section);
    } else {
        out += DefaultJfifHeader();
        written += static_cast<int64_t>(DefaultJfifHeader().size());
    }
    if (IptcSection != nullptr)
        written += AppendSection(out, *IptcSection);
    if (CommentSection != nullptr)
        written += AppendSection(out, *CommentSection);
    return written;
}

void PhotoMetadata::WriteJpegWithExif(const std::string& jpegStream, int width, int height,
                                 const std::string& outputFileName, bool adjustDimensions)
{
    // Opened first, so a file that cannot be created changes nothing.
    ReplacingFile file(outputFileName);
    file.Commit(JpegWithExif(jpegStream, width, height, adjustDimensions));
}

std::string PhotoMetadata::JpegWithExif(const std::string& jpegStream, int width, int height, bool adjustDimensions)
{
    if (adjustDimensions)
        UpdateDimensions(height, width);
    std::string out;
    out.reserve(jpegStream.size() + 65536);
    WriteHeaderSections(out);
    const size_t p = EncoderStreamStart(jpegStream);
    if (p < jpegStream.size())
        out.append(jpegStream, p, std::string::npos);
    return out;
}

}  // namespace morvik
