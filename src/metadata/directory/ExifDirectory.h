#pragma once
// ExifDirectory: the walk of one EXIF block's directories and what it learns from them.
#include "metadata/directory/TagEntry.h"
#include "platform/DateTime.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

class ExifDirectory;
struct WalkCursor;

// The tags the walk itself acts on: the picture's facts, the directories it descends
// into, and the maker note it hands on.
namespace tag {
inline constexpr uint16_t ImageWidth = 0x0100;
inline constexpr uint16_t ImageLength = 0x0101;
inline constexpr uint16_t Make = 0x010F;
inline constexpr uint16_t Model = 0x0110;
inline constexpr uint16_t Orientation = 0x0112;
inline constexpr uint16_t DateTime = 0x0132;
inline constexpr uint16_t SubIfds = 0x014A;
inline constexpr uint16_t ExifIfd = 0x8769;
inline constexpr uint16_t GpsIfd = 0x8825;
inline constexpr uint16_t ExifVersion = 0x9000;
inline constexpr uint16_t DateTimeOriginal = 0x9003;
inline constexpr uint16_t DateTimeDigitized = 0x9004;
inline constexpr uint16_t Flash = 0x9209;
inline constexpr uint16_t MakerNote = 0x927C;
inline constexpr uint16_t UserComment = 0x9286;
inline constexpr uint16_t PixelXDimension = 0xA002;
inline constexpr uint16_t PixelYDimension = 0xA003;
inline constexpr uint16_t InteroperabilityIfd = 0xA005;
inline constexpr uint16_t LensModel = 0xA434;
}  // namespace tag

// The position of the TIFF header in a JPEG file's EXIF block, after its length field and
// "Exif\0\0": the block's offsets count from it.
inline constexpr int64_t kExifTiffHeaderPos = 9;

// The kinds of directory a walk reads: a main directory (IFD0, EXIF, interoperability,
// sub-IFDs) takes the rows of the main tag table, the GPS directory those of the GPS table.
enum DirectoryKind : int {
    DirectoryMain = 1,
    DirectoryGps = 2,
};

// What a reading builds: the listing text only, or the listing and the tag list (what the
// system always asks for).
enum ParseModes : int32_t {
    ParseModeListing = 2,
    ParseModeFull = 255,
};

// Decodes the maker note a walk has found (the directory's MakerNoteData and
// MakerNotePos are set): true when the maker was recognised and its note walked. The walk
// knows where a note lies, not what makers write in it; the floor above that knows the
// makers hands its decoder to the directory.
using MakerNoteDecoder = bool (*)(ExifDirectory& directory);

// The directories of one EXIF block (or the start of a TIFF file): walks them and holds
// the tag list, the listing and the facts the program uses. The block is held once: the
// directory owns a copy it was given, or views bytes its reader keeps alive.
class ExifDirectory {
public:
    explicit ExifDirectory(ParseModes parseMode, MakerNoteDecoder decodeMakerNote = nullptr);
    ~ExifDirectory();
    ExifDirectory(const ExifDirectory&) = delete;
    ExifDirectory& operator=(const ExifDirectory&) = delete;

    // The block the walk reads: a copy owned by the directory, or a view of bytes that
    // outlive it and do not move while it reads them.
    void SetBlock(std::string bytes);
    void ViewBlock(std::string_view bytes);
    std::string_view Block() const { return block_; }

    // Lookups in the tag list by name (ASCII case ignored).
    int IndexOfTag(const std::string& name) const;
    std::string TagText(const std::string& name) const;

    bool BigEndian = false;          // false for "II", true for "MM"
    std::vector<TagEntry> TagList;   // count = size()
    std::string ExifVersionText;     // up to 6 characters
    std::string CameraMake;          // up to 32
    std::string CameraModel;         // up to 40
    // The lens as the camera names it (EXIF LensModel), up to its first NUL and at most
    // 128 bytes. The tag table has no row for it, so the tag list does not hold it.
    std::string LensModel;
    std::string DateTimeText;        // up to 20
    int32_t Height = 0;
    int32_t Width = 0;
    int32_t HeightPos = 0;
    int32_t WidthPos = 0;
    // The photo's Orientation: the first entry of the tag in the first directory (IFD0), as
    // viewers read it; one in a sub-directory or the thumbnail's directory does not count.
    int32_t Orientation = 0;     // 0 when IFD0 has none
    int32_t OrientationPos = 0;  // 1-based, as the other positions; 0 when none
    int32_t FlashValue = 0;
    ParseModes ParseMode = ParseModeFull;
    std::string MakerNoteData;
    bool FromTiff = false;
    std::string UserCommentText;
    int32_t UserCommentPos = 0;
    int32_t UserCommentLength = 0;
    int32_t DateTimePos = 0;
    int32_t DateTimeOriginalPos = 0;
    int32_t DateTimeDigitizedPos = 0;
    std::string ListingText;
    std::string MakerListingText;
    bool MakerDecoded = false;
    int32_t MakerNotePos = 0;
    // The last fault a walk met and stepped over ("Illegally sized directory", "Error
    // Detected = ..."); empty when none. The reader makes it the reading's diagnostic.
    std::string Diagnostic;
    // The directories walked so far, as "[base:position]" keys ("[9:17][9:120]"): a
    // directory that an offset points back to is not walked twice.
    std::string VisitedDirectories;

    // Walks the directory at a position of the block, read in this object's byte order,
    // whose offsets count from `base`. A directory that does not fit sets the diagnostic
    // and is skipped. A failure while an entry is handled (a ReaderFailure: a
    // read outside, a value a renderer cannot convert, a walk past its limits) ends this
    // directory's walk and is thrown on; sub-directories swallow theirs. Callers inside
    // the reader catch it.
    void WalkDirectory(int64_t pos, int64_t base, DirectoryKind kind);
    // Text of a directory entry: ASCII without a final NUL, UNDEFINED in double quotes,
    // other types rendered in the given byte order with the row's value names and
    // template; then the row's renderer or the printable-text cut.
    std::string EntryValueText(const TagEntry& row, const std::string& raw, int fieldType, bool bigEndian) const;
    TDateTime DateTimeAt(int64_t pos) const;

    // A number of a value in this object's byte order (see NumericValue below).
    double NumericValue(const std::string& raw, int fieldType) const;

    // Tag list.
    int AppendTag(const TagEntry& entry);
    int AppendTag(TagEntry&& entry);
    void AddNamedTag(SharedText name, std::string_view valueText, int fieldType);
    TagEntry TagEntryByName(const std::string& name) const;
    double TagNumber(const std::string& name) const;
    int32_t TagInteger(const std::string& name) const;
    void AddEquivalentFocalLength();

    // Charges a walk's entries, and the bytes it copies and keeps, to the block's limits:
    // those of the maker notes go on the same account as the directories'. Past them it
    // raises WalkLimit or ValueBudgetSpent.
    void ChargeWalk(int64_t entries, int64_t bytes);

    // Stores new dimensions into a copy of the block (the bytes the writer carries over),
    // at the places the walk found them, in the field type each entry has there.
    void UpdateDimensions(std::string& block, int newHeight, int newWidth) const;
    void Write32At(std::string& bytes, int32_t value, int64_t pos) const;

private:
    void WalkDirectory(const WalkCursor& at, int64_t pos, DirectoryKind kind);
    // Steps of one entry at position e: its row, value, text and listing line (no special
    // tags, no store). The returned copy of the row carries FieldType, ValueText, RawBytes,
    // ValuePos and ByteCount.
    TagEntry ProcessEntry(const WalkCursor& at, int64_t e, DirectoryKind kind);

    std::string ownedBlock_;
    std::string_view block_;
    MakerNoteDecoder decodeMakerNote_ = nullptr;
    // Guards against crafted blocks: how deep sub-directories nest, how many directories
    // and entries one block may hold, and how many bytes its values may copy in total.
    int walkDepth_ = 0;
    int64_t walkedDirs_ = 0;
    int64_t walkedEntries_ = 0;
    int64_t walkedBytes_ = 0;
};

// Nearest integer, ties to even; values out of the 32-bit range (or not numbers) give 0.
int32_t RoundToInt(double value);

// Rendering of raw bytes in a byte order. The elements stop once their text is `enough`
// long: a caller that shows only the start of the text need not render the rest.
std::string RenderValue(const std::string& raw, int fieldType, bool bigEndian, std::string_view valueNames,
                        std::string_view tmpl, size_t enough = std::string::npos);
double NumericValue(const std::string& raw, int fieldType, bool bigEndian);
int32_t BytesToInt(std::string_view bytes, bool bigEndian);

// Table operations and renderers that need no ExifDirectory.
TagEntry RowForTag(int tagNo, DirectoryKind kind);
int TableIndexOfName(const std::string& name);
TagEntry MainTableRow(int index);   // index 0..250, else the empty entry
constexpr int MainTableSize = 251;     // 250 tags and the sentinel Unknown
constexpr int GpsTableSize = 31;
TagEntry GpsTableRow(int index);    // index 0..30, else the empty entry
// Fills the empty display names of both tables from their tag names, once per process.
void DeriveDisplayNames();
std::string NameForValue(std::string_view valueNames, std::string_view key);
std::string_view NameInList(std::string_view valueNames, std::string_view key);  // the same, as a view into the list
// The first PrintableLength bytes of a text, control characters shown as '.'.
constexpr size_t PrintableLength = 50;
std::string PrintableText(std::string_view text);
std::string PrintableText(std::string&& text);  // the same, made in the given string
double FractionValue(const std::string& text);
TDateTime DateTimeFromText(const std::string& text);

std::string RenderComponents(const std::string& text);
std::string RenderShutterSpeed(const std::string& text);
std::string RenderFlash(const std::string& text);
std::string RenderUserComment(const std::string& text);
std::string RenderXPText(const std::string& text);
std::string RenderGPSCoordinate(const std::string& text);
std::string RenderGPSTime(const std::string& text);

}  // namespace morvik
