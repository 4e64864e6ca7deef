#pragma once
// PhotoMetadata: the per-file entry point of the metadata reader, and JpegSection.
#include "metadata/directory/ExifDirectory.h"
#include "platform/DateTime.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace morvik {

class SectionInput;  // where ReadJpegSections and ReadTiffFile take their bytes from

// The error text of a reading that ran out of memory.
inline constexpr const char* kOutOfMemoryText = "Out of memory";

// How a reading ended. The diagnostic beside it is the text the report and `info` show.
enum class ReadingEnd {
    NotRead,     // nothing read: no reading yet, or the file is missing or a folder (no text)
    Read,        // the metadata was read ("<none>")
    NoMetadata,  // none the reader knows ("Not an EXIF file"), or its structure failed
                 // (the header's or the walk's diagnostic)
    NotOpened,   // the picture file could not be opened ("Illegal Exif construction")
    Faulted,     // a fault not in the file but in the reader: it ran out of memory
                 // (kOutOfMemoryText) or met a fault of the program
};

struct ReadingOutcome {
    ReadingEnd End = ReadingEnd::NotRead;
    std::string Text;

    bool Faulted() const { return End == ReadingEnd::Faulted; }
};

// What a picture file was read as: its first bytes decide, else its name (none: a name
// the reader does not take, or nothing read yet).
enum class PictureFileKind { None, Jpeg, Tiff };
// What a file's name says it is, by its extension in any case: .jpg, .jpeg and .jpe name a
// JPEG, .tif, .tiff and .nef a TIFF; any other name is not read.
PictureFileKind PictureFileKindOfName(const std::string& fileName);

struct JpegSection {
    std::string Data;  // from the two length bytes on
    int32_t Marker = 0;
    int32_t Size = 0;  // value of the length field
};

class PhotoMetadata {
public:
    explicit PhotoMetadata(ParseModes parseMode = ParseModeFull);
    ~PhotoMetadata();
    PhotoMetadata(const PhotoMetadata&) = delete;
    PhotoMetadata& operator=(const PhotoMetadata&) = delete;

    std::array<JpegSection, 22> Sections;  // numbered 1..21; index 0 unused
    PictureFileKind ReadAs = PictureFileKind::None;
    ParseModes ParseMode = ParseModeFull;
    int32_t SectionCount = 0;
    JpegSection* ExifSection = nullptr;
    JpegSection* IptcSection = nullptr;
    JpegSection* CommentSection = nullptr;
    JpegSection* App0Section = nullptr;
    std::string FileName;
    TDateTime FileDate = 0;
    int32_t FileSize = 0;
    // How the last reading ended. A faulted one failed on the reader's own account:
    // callers make it the file's failure instead of a file without metadata.
    ReadingOutcome Outcome;
    std::unique_ptr<ExifDirectory> ExifInfo;

    void ResetData();
    // Ends a reading as failed on a fault of the reader's own (see Faulted): releases what
    // it holds, keeps the file facts, and sets the error text.
    void SetFault(std::string errorText);
    // Never throws: whether the metadata was read, and the Outcome.
    bool ReadMetadata(const std::string& fileName);
    // The same reading over a file's bytes held in memory; the name decides by its
    // extension whether it is read at all, and is kept as FileName. No file-system facts
    // are taken.
    bool ReadMetadataFromMemory(const std::string& fileName, std::string_view bytes);
    bool HasExif() const { return ExifSection != nullptr; }
    bool HasMetadata() const
    {
        return ExifSection != nullptr || CommentSection != nullptr || IptcSection != nullptr;
    }

    // Takes the file-system facts of a file (name, date, size) without reading it.
    void ReadFileFacts(const std::string& fileName);
    // The reading steps over bytes in file order.
    bool ReadJpegSections(SectionInput& input);
    bool ReadTiffFile(SectionInput& input);
    // Checks the EXIF and TIFF headers of the EXIF section and walks the first directory;
    // a failure that ends that walk is thrown on to the section reader.
    void ReadExifBlock();

    // The short English report of the photo's metadata that the picture information
    // shows; empty without an EXIF block.
    std::string SummaryText() const;

    // The EXIF section the writer carries over: a JPEG's EXIF section. A block read from a
    // TIFF file is the TIFF's own directories and data, which no JPEG section holds.
    const JpegSection* CarriedExifSection() const;
    // Stores new picture dimensions into the EXIF section the writer carries over.
    void UpdateDimensions(int newHeight, int newWidth);
    // EXIF-preserving writer: the new picture is an encoded JPEG stream of the given size.
    void WriteJpegWithExif(const std::string& jpegStream, int width, int height,
                           const std::string& outputFileName, bool adjustDimensions);
    // The same file's bytes, for a caller that writes them itself.
    std::string JpegWithExif(const std::string& jpegStream, int width, int height, bool adjustDimensions);
    // Writes what comes before the picture: SOI, then the carried EXIF section (or, without one,
    // the source's APP0 or a default JFIF header), the IPTC section and the comment
    // section where the source has them. Returns the bytes written after SOI.
    int64_t WriteHeaderSections(std::string& out);

private:
    bool ReadMetadataUnguarded(const std::string& fileName);
    std::unique_ptr<ExifDirectory> NewExifDirectory() const;
    // Walks a directory of the EXIF block; what the walk stepped over becomes the
    // reading's diagnostic, even when a failure ends the walk.
    void WalkFirstDirectory(int64_t pos, int64_t base);
};

}  // namespace morvik
