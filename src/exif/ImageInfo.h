#pragma once
// tEndInd and TImageInfo: what the reader learns from one EXIF block.
#include "exif/TagEntry.h"
#include "platform/DateTime.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

class TimgData;
struct WalkCursor;

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

// Byte-order base: a byte-order flag and the byte string being parsed.
class tEndInd {
public:
    virtual ~tEndInd() = default;

    bool BigEndian = false;   // false for "II", true for "MM"
    std::string WorkData;

    // 1-based positions; a read outside WorkData raises ReadOutside (see ByteSource.h).
    uint16_t Read16At(int64_t pos) const;
    int32_t Read32At(int64_t pos) const;
};

class TImageInfo : public tEndInd {
public:
    TImageInfo(TimgData* owner, int parseMode);
    ~TImageInfo() override;

    // Lookups in the tag list by name; a derived reader may replace them.
    virtual int IndexOfTag(const std::string& name) const;
    virtual std::string TagText(const std::string& name) const;

    std::vector<TTagEntry> TagList;  // count = size()
    TimgData* Owner = nullptr;       // not owned
    std::string ExifVersionText;     // up to 6 characters
    std::string CameraMake;          // up to 32
    std::string CameraModel;         // up to 40
    std::string DateTimeText;        // up to 20
    int32_t Height = 0;
    int32_t Width = 0;
    int32_t HeightPos = 0;
    int32_t WidthPos = 0;
    int32_t FlashValue = 0;
    int32_t ParseMode = 0;           // a ParseModes value
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

    // Walks the directory at a position of WorkData, read in this object's byte order,
    // whose offsets count from `base`. A directory that does not fit sets the owner's
    // error text and is skipped. A failure while an entry is handled (a ReaderFailure: a
    // read outside, a value a renderer cannot convert, a walk past its limits) ends this
    // directory's walk and is thrown on; sub-directories swallow theirs. Callers inside
    // the reader catch it.
    void WalkDirectory(int64_t pos, int64_t base, DirectoryKind kind);
    // Text of a directory entry: ASCII without a final NUL, UNDEFINED in double quotes,
    // other types rendered in the given byte order with the row's value names and
    // template; then the row's renderer or the printable-text cut.
    std::string EntryValueText(const TTagEntry& row, const std::string& raw, int fieldType, bool bigEndian) const;
    TDateTime DateTimeAt(int64_t pos) const;
    // The owner's EXIF block (this object's WorkData when it has no owner).
    const std::string& ExifBlock() const;

    // Rendering in this object's byte order (see the functions of the same names below).
    std::string RenderValue(const std::string& raw, int fieldType, std::string_view valueNames,
                            std::string_view tmpl, size_t enough = std::string::npos) const;
    double NumericValue(const std::string& raw, int fieldType) const;
    int32_t BytesToInt(std::string_view bytes) const;

    // Tag list.
    int AppendTag(const TTagEntry& entry);
    int AppendTag(TTagEntry&& entry);
    void AddNamedTag(const std::string& name, const std::string& valueText, int fieldType);
    void AddNamedTag(SharedText name, std::string_view valueText, int fieldType);
    TTagEntry TagEntryByName(const std::string& name) const;
    double TagNumber(const std::string& name) const;
    int32_t TagInteger(const std::string& name) const;
    void AddEquivalentFocalLength();

    // Charges a walk's entries, and the bytes it copies and keeps, to the block's limits:
    // those of the maker notes go on the same account as the directories'. Past them it
    // raises WalkLimit or ValueBudgetSpent.
    void ChargeWalk(int64_t entries, int64_t bytes);

    // Metadata report; dimension correction for the writer.
    std::string SummaryText() const;
    void UpdateDimensions(int newHeight, int newWidth);
    void Write32At(std::string& bytes, int32_t value, int64_t pos) const;

private:
    void WalkDirectory(const WalkCursor& at, int64_t pos, DirectoryKind kind);
    // Steps of one entry at position e: its row, value, text and listing line (no special
    // tags, no store). The returned copy of the row carries FieldType, ValueText, RawBytes,
    // ValuePos and ByteCount.
    TTagEntry ProcessEntry(const WalkCursor& at, int64_t e, DirectoryKind kind);

    // Guards against crafted blocks: how deep sub-directories nest, how many directories
    // and entries one block may hold, and how many bytes its values may copy in total.
    int walkDepth_ = 0;
    int64_t walkedDirs_ = 0;
    int64_t walkedEntries_ = 0;
    int64_t walkedBytes_ = 0;
};

// Equal texts when ASCII letters are compared without their case.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

// Nearest integer, ties to even; values out of the 32-bit range (or not numbers) give 0.
int32_t RoundToInt(double value);

// Rendering of raw bytes in a byte order. The elements stop once their text is `enough`
// long: a caller that shows only the start of the text need not render the rest.
std::string RenderValue(const std::string& raw, int fieldType, bool bigEndian, std::string_view valueNames,
                        std::string_view tmpl, size_t enough = std::string::npos);
double NumericValue(const std::string& raw, int fieldType, bool bigEndian);
int32_t BytesToInt(std::string_view bytes, bool bigEndian);

// Table operations and renderers that need no TImageInfo.
TTagEntry RowForTag(int tagNo, int kind);  // a DirectoryKind; no row for any other
int TableIndexOfName(const std::string& name);
TTagEntry MainTableRow(int index);   // index 0..250, else the empty entry
constexpr int MainTableSize = 251;     // 250 tags and the sentinel Unknown
constexpr int GpsTableSize = 31;
TTagEntry GpsTableRow(int index);    // index 0..30, else the empty entry
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

// The directories walked since the last TImageInfo was made ("[9:17][9:120]"); one per
// thread, so batch workers reading files side by side do not see each other's walks.
std::string& VisitedDirs();

}  // namespace morvik
