// TImageInfo: the walk of EXIF/TIFF directories and the tag list it fills.
#include "exif/ImageInfo.h"

#include "exif/ByteSource.h"
#include "exif/ImgData.h"
#include "makernotes/MakerNotes.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"

#include <cmath>
#include <limits>

namespace morvik {

namespace {

// Limits of one block's walk. Real files nest three or four directories deep and hold a
// few hundred entries; a crafted block could otherwise chain thousands of directories
// (deep recursion) or let thousands of entries each copy the whole block.
constexpr int kMaxDepth = 16;
constexpr int64_t kMaxDirectories = 256;
constexpr int64_t kMaxEntries = 100000;
constexpr int64_t kMaxValueBytes = 64 * 1024 * 1024;

// Entries of a typical camera file (EXIF, GPS and maker note), reserved up front so the
// tag list is not moved while it fills.
constexpr size_t kTypicalTagCount = 128;
constexpr size_t kTypicalListingBytes = 4096;  // and the listing's text

std::string DirectoryKey(int64_t base, int64_t pos)
{
    return "[" + std::to_string(base) + ":" + std::to_string(pos) + "]";
}

int32_t ClampToInt32(int64_t v)
{
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

const std::string kEmpty;

}  // namespace

std::string& VisitedDirs()
{
    thread_local std::string visited;
    return visited;
}

uint16_t tEndInd::Read16At(int64_t pos) const { return ByteSource(WorkData).U16(pos, BigEndian); }

int32_t tEndInd::Read32At(int64_t pos) const { return ByteSource(WorkData).I32(pos, BigEndian); }

TImageInfo::TImageInfo(TimgData* owner, int parseMode) : Owner(owner), ParseMode(parseMode)
{
    TagList.reserve(kTypicalTagCount);
    ListingText.reserve(kTypicalListingBytes);
    DeriveDisplayNames();
    VisitedDirs().clear();
}

TImageInfo::~TImageInfo() = default;

const std::string& TImageInfo::ExifBlock() const { return Owner ? Owner->WorkData : WorkData; }

void TImageInfo::ChargeWalk(int64_t entries, int64_t bytes)
{
    walkedEntries_ += entries;
    walkedBytes_ += bytes;
    if (walkedEntries_ > kMaxEntries)
        throw WalkLimit();
    if (walkedBytes_ > kMaxValueBytes)
        throw ValueBudgetSpent();
}

void TImageInfo::WalkDirectory(int64_t pos, int64_t base, DirectoryKind kind)
{
    WalkDirectory(WalkCursor{ByteSource(WorkData), BigEndian, base}, pos, kind);
}

void TImageInfo::WalkDirectory(const WalkCursor& at, int64_t pos, DirectoryKind kind)
{
    if (walkDepth_ >= kMaxDepth || walkedDirs_ >= kMaxDirectories)
        throw WalkLimit();
    ++walkedDirs_;
    VisitedDirs() += DirectoryKey(at.Base, pos);
    const int64_t n = at.U16(pos);
    if (pos + 2 + 12 * n - 1 > at.Bytes.Length()) {
        if (Owner)
            Owner->ErrorText = "Illegally sized directory";
        return;
    }
    ++walkDepth_;
    struct DepthGuard {
        int& depth;
        ~DepthGuard() { --depth; }
    } guard{walkDepth_};

    for (int64_t i = 0; i < n; ++i) {
        const int64_t e = pos + 2 + 12 * i;
        TTagEntry entry = ProcessEntry(at, e, kind);
        if (entry.FieldType == 0)
            continue;  // a value of size 0 (or a type of no size): the entry is skipped
        const int64_t v = static_cast<int64_t>(entry.ValuePos);
        const std::string& text = entry.ValueText;

        auto subDirectory = [&](DirectoryKind subKind) {
            try {
                const int64_t q = static_cast<int64_t>(at.I32(v)) + at.Base;
                if (VisitedDirs().find(DirectoryKey(at.Base, q)) == std::string::npos)
                    WalkDirectory(at, q, subKind);
            } catch (const ReaderFailure&) {
                // A sub-directory's failure ends that directory only.
            }
        };
        auto number = [&] { return RoundToInt(morvik::NumericValue(entry.RawBytes, entry.FieldType, at.BigEndian)); };

        switch (at.U16(e)) {
        case 0x0100: case 0xA002:
            WidthPos = ClampToInt32(e + 8);
            Width = number();
            break;
        case 0x0101: case 0xA003:
            HeightPos = ClampToInt32(e + 8);
            Height = number();
            break;
        case 0x010F:
            CameraMake = text.substr(0, 32);
            break;
        case 0x0110:
            CameraModel = text.substr(0, 40);
            break;
        case 0x0132:
            DateTimePos = entry.ValuePos;
            DateTimeText = text.substr(0, 20);
            break;
        case 0x9003:
            DateTimeOriginalPos = entry.ValuePos;
            DateTimeText = text.substr(0, 20);
            break;
        case 0x9004:
            DateTimeDigitizedPos = entry.ValuePos;
            break;
        case 0x9000:
            ExifVersionText = entry.RawBytes.substr(0, 6);
            break;
        case 0x9209:
            FlashValue = number();
            break;
        case 0x014A: case 0x8769: case 0xA005:
            subDirectory(DirectoryMain);
            break;
        case 0x8825:
            subDirectory(DirectoryGps);
            break;
        case 0x927C: {
            MakerNoteData = entry.RawBytes;
            MakerNotePos = entry.ValuePos;
            TmsInfo note(FromTiff, this);
            MakerDecoded = note.DecodeMakerNote();
            break;
        }
        }

        if (ParseMode == ParseModeFull)
            AppendTag(std::move(entry));
    }
}

TTagEntry TImageInfo::ProcessEntry(const WalkCursor& at, int64_t e, DirectoryKind kind)
{
    const int tag = at.U16(e);
    const int type = at.U16(e + 2);
    const int64_t count = at.I32(e + 4);
    const int64_t size = count * FieldTypeSize(type);  // at most 2^31 * 8: no overflow
    // One entry object, returned on every path, so it is built in the caller's place.
    TTagEntry entry = size == 0 ? TTagEntry{} : RowForTag(tag, kind);
    if (size == 0)
        return entry;
    const int64_t v = size <= 4 ? e + 8 : static_cast<int64_t>(at.I32(e + 8)) + at.Base;
    std::string raw = size < 0 ? std::string() : ByteSource(ExifBlock()).Clip(v, size);
    ChargeWalk(1, static_cast<int64_t>(raw.size()));

    std::string text = EntryValueText(entry, raw, type, at.BigEndian);
    if (tag == 0x9286) {
        UserCommentText = std::string(Trim(raw.size() > 8 ? std::string_view(raw).substr(8, raw.size() - 9)
                                                          : std::string_view()));
        text = UserCommentText;
        UserCommentPos = ClampToInt32(v);
        UserCommentLength = ClampToInt32(size - 9);
    }
    ChargeWalk(0, static_cast<int64_t>(text.size()));
    ListingText += "\r\n";
    ListingText += entry.DisplayName;
    ListingText += " = ";
    ListingText += text;

    entry.FieldType = static_cast<uint16_t>(type);
    entry.ValueText = std::move(text);
    entry.ValuePos = static_cast<int32_t>(v);
    entry.ByteCount = static_cast<int32_t>(raw.size());
    entry.RawBytes = std::move(raw);
    return entry;
}

std::string TImageInfo::EntryValueText(const TTagEntry& row, const std::string& raw, int fieldType,
                                       bool bigEndian) const
{
    const bool rendered = row.TagNo != 0 && row.Renderer != nullptr;
    if (fieldType == FieldTypeAscii) {
        // ASCII: the text is the bytes without a final NUL, cut straight from them.
        std::string_view text(raw);
        if (!text.empty() && text.back() == '\0')
            text.remove_suffix(1);
        return rendered ? row.Renderer(std::string(text)) : PrintableText(text);
    }
    std::string text;
    if (fieldType == FieldTypeUndefined) {
        const std::string_view bytes = std::string_view(raw).substr(0, raw.find('\0'));
        text.reserve(bytes.size() + 2);
        text += '"';
        text += bytes;
        text += '"';
    } else {
        text = morvik::RenderValue(raw, fieldType, bigEndian, row.ValueNames, row.Template,
                                   rendered ? std::string::npos : PrintableLength);
    }
    return rendered ? row.Renderer(text) : PrintableText(std::move(text));
}

TDateTime TImageInfo::DateTimeAt(int64_t pos) const
{
    if (pos == 0)
        return 0;
    return DateTimeFromText(ByteSource(ExifBlock()).Clip(pos, 19));
}

int TImageInfo::AppendTag(const TTagEntry& entry)
{
    if (entry.TagNo != 0)
        TagList.push_back(entry);
    return static_cast<int>(TagList.size()) - 1;
}

int TImageInfo::AppendTag(TTagEntry&& entry)
{
    if (entry.TagNo != 0)
        TagList.push_back(std::move(entry));
    return static_cast<int>(TagList.size()) - 1;
}

void TImageInfo::AddNamedTag(const std::string& name, const std::string& valueText, int fieldType)
{
    AddNamedTag(SharedText(name), valueText, fieldType);
}

void TImageInfo::AddNamedTag(SharedText name, std::string_view valueText, int fieldType)
{
    if (ParseMode != ParseModeFull)
        return;
    // A maker record adds a score of these per entry: they count as entries of the walk.
    ChargeWalk(1, 2 * static_cast<int64_t>(valueText.size()));
    TTagEntry entry;
    entry.Kind = TagKindMaker;
    entry.FieldType = static_cast<uint16_t>(fieldType);
    entry.TagName = std::move(name);
    entry.DisplayName = entry.TagName;
    entry.ValueText = valueText;
    entry.RawBytes = valueText;
    entry.ByteCount = static_cast<int32_t>(valueText.size());
    TagList.push_back(std::move(entry));
}

int TImageInfo::IndexOfTag(const std::string& name) const
{
    for (size_t i = 0; i < TagList.size(); ++i)
        if (TagList[i].TagName.size() == name.size() && SameTextIgnoringCase(TagList[i].TagName, name))
            return static_cast<int>(i);
    return -1;
}

std::string TImageInfo::TagText(const std::string& name) const
{
    const int i = IndexOfTag(name);
    return i < 0 ? std::string() : TagList[static_cast<size_t>(i)].ValueText;
}

TTagEntry TImageInfo::TagEntryByName(const std::string& name) const
{
    const int i = IndexOfTag(name);
    return i < 0 ? TTagEntry{} : TagList[static_cast<size_t>(i)];
}

double TImageInfo::TagNumber(const std::string& name) const
{
    const int i = IndexOfTag(name);
    if (i < 0)
        return 0;
    const TTagEntry& entry = TagList[static_cast<size_t>(i)];
    return entry.TagNo == 0 ? 0 : NumericValue(entry.RawBytes, entry.FieldType);
}

int32_t TImageInfo::TagInteger(const std::string& name) const { return RoundToInt(TagNumber(name)); }

void TImageInfo::AddEquivalentFocalLength()
{
    // The names looked up, made once rather than per photo.
    static const std::string kFocalLength35 = "FocalLengthin35mmFilm", kPlaneUnit = "FocalPlaneResolutionUnit",
                             kUnit = "ResolutionUnit", kFocalLength = "FocalLength",
                             kPlaneX = "FocalPlaneXResolution", kPlaneY = "FocalPlaneYResolution";
    if (IndexOfTag(kFocalLength35) >= 0)
        return;
    int unit = TagInteger(kPlaneUnit);
    if (unit < 1)
        unit = TagInteger(kUnit);
    const double mmPerUnit = unit == 2 ? 25.4 : unit == 3 ? 10.0 : 0.0;
    const double f = TagNumber(kFocalLength);
    if (mmPerUnit == 0 || f == 0)
        return;
    const int32_t x = TagInteger(kPlaneX);
    const double sensorWidth = x > 0 ? Width * mmPerUnit / x : 0;
    const int32_t y = TagInteger(kPlaneY);
    const double sensorHeight = y > 0 ? Height * mmPerUnit / y : 0;
    if (!(sensorWidth * sensorHeight > 0))
        return;
    const double factor = 43.26661531 / std::sqrt(sensorWidth * sensorWidth + sensorHeight * sensorHeight);
    static const int row = TableIndexOfName("FocalLengthIn35mmFilm");  // the tables never change
    TTagEntry entry = MainTableRow(row);
    entry.ValueText = Format("%5.2f", f * factor);
    entry.RawBytes.clear();
    entry.Template = SharedText::Static("%s mm");
    entry.FieldType = FieldTypeSRational;
    AppendTag(entry);
    ListingText += "\r\n";
    ListingText += entry.DisplayName;
    ListingText += " = ";
    ListingText += entry.ValueText;
}

}  // namespace morvik
