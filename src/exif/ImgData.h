#pragma once
// TimgData: the per-file entry point of the metadata reader, and tSection.
#include "exif/ImageInfo.h"
#include "platform/DateTime.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace morvik {

class TIPTCdata;

// The APP0 section written in place of a source's metadata when it has none to carry
// over: 18 bytes from the marker on (JFIF 1.02, 300 dots per inch, no thumbnail).
std::string_view DefaultJfifHeader();
class SectionInput;  // where ReadJpegSections and ReadTiffFile take their bytes from

// The error text of a reading that ran out of memory.
inline constexpr const char* kOutOfMemoryText = "Out of memory";

struct tSection {
    std::string Data;  // from the two length bytes on
    int32_t Marker = 0;
    int32_t Size = 0;  // value of the length field
};

class TimgData : public tEndInd {
public:
    explicit TimgData(int parseMode = ParseModeFull);
    ~TimgData() override;
    TimgData(const TimgData&) = delete;
    TimgData& operator=(const TimgData&) = delete;

    std::array<tSection, 22> Sections;  // numbered 1..21; index 0 unused
    bool FromTiff = false;
    int32_t ParseMode = ParseModeFull;
    int32_t SectionCount = 0;
    tSection* ExifSection = nullptr;
    tSection* IptcSection = nullptr;
    tSection* CommentSection = nullptr;
    tSection* App0Section = nullptr;
    std::string FileName;
    TDateTime FileDate = 0;
    int32_t FileSize = 0;
    std::string ErrorText;
    // The last reading stopped on a fault that lies not in the file but in the reader: it
    // ran out of memory (ErrorText kOutOfMemoryText), or met a fault of the program. The
    // reading failed; callers make it the file's failure instead of a file without metadata.
    bool Faulted = false;
    std::unique_ptr<TImageInfo> ExifInfo;
    std::unique_ptr<TIPTCdata> IptcInfo;

    void ResetData();
    // Ends a reading as failed on a fault of the reader's own (see Faulted): releases what
    // it holds, keeps the file facts, and sets the error text.
    void SetFault(std::string errorText);
    // Never throws: every outcome is in the result, ErrorText and Faulted.
    bool ReadMetadata(const std::string& fileName);
    // The same reading over a file's bytes held in memory; the name decides the reader
    // by its extension and is kept as FileName. No file-system facts are taken.
    bool ReadMetadataFromMemory(const std::string& fileName, std::string_view bytes);
    bool HasExif() const { return ExifSection != nullptr; }
    bool HasMetadata() const
    {
        return ExifSection != nullptr || CommentSection != nullptr || IptcSection != nullptr;
    }

    void ReadFileFacts(const std::string& fileName);
    // The reading steps; a file that cannot be opened raises EInOutError.
    bool ReadJpegSections(const std::string& fileName);
    bool ReadTiffFile(const std::string& fileName);
    bool ReadJpegSections(SectionInput& input);
    bool ReadTiffFile(SectionInput& input);
    // Checks the EXIF and TIFF headers of WorkData and walks the first directory; a
    // failure that ends that walk is thrown on to the section reader.
    void ReadExifBlock();

    // EXIF-preserving writer: the new picture is an encoded JPEG stream of the given size.
    void WriteJpegWithExif(const std::string& jpegStream, int width, int height,
                           const std::string& outputFileName, bool adjustDimensions);
    // The same file's bytes, for a caller that writes them itself.
    std::string JpegWithExif(const std::string& jpegStream, int width, int height, bool adjustDimensions);
    // Writes what comes before the picture: SOI, then the EXIF section (or, without one,
    // the source's APP0 or a default JFIF header), the IPTC section and the comment
    // section where the source has them. Returns the bytes written after SOI.
    int64_t WriteHeaderSections(std::string& out);

private:
    bool ReadMetadataUnguarded(const std::string& fileName);
};

}  // namespace morvik
