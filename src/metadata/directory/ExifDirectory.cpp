// ExifDirectory: the walk of EXIF/TIFF directories and the tag list it fills.
#include "metadata/directory/ExifDirectory.h"

#include "metadata/directory/ByteSource.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"

#include <algorithm>
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

}  // namespace

ExifDirectory::ExifDirectory(ParseModes parseMode, MakerNoteDecoder decodeMakerNote)
    : ParseMode(parseMode), decodeMakerNote_(decodeMakerNote)
{
    TagList.reserve(kTypicalTagCount);
    ListingText.reserve(kTypicalListingBytes);
    DeriveDisplayNames();
}

ExifDirectory::~ExifDirectory() = default;

void ExifDirectory::SetBlock(std::string bytes)
{
    ownedBlock_ = std::move(bytes);
    block_ = ownedBlock_;
}

void ExifDirectory::ViewBlock(std::string_view bytes)
{
    ownedBlock_.clear();
    block_ = bytes;
}

void ExifDirectory::ChargeWalk(int64_t entries, int64_t bytes)
{
    walkedEntries_ += entries;
    walkedBytes_ += bytes;
    if (walkedEntries_ > kMaxEntries)
        throw WalkLimit();
    if (walkedBytes_ > kMaxValueBytes)
        throw ValueBudgetSpent();
}

void ExifDirectory::WalkDirectory(int64_t pos, int64_t base, DirectoryKind kind)
{
    WalkDirectory(WalkCursor{ByteSource(block_), BigEndian, base}, pos, kind);
}

void ExifDirectory::WalkDirectory(const WalkCursor& at, int64_t pos, DirectoryKind kind)
{
    if (walkDepth_ >= kMaxDepth || walkedDirs_ >= kMaxDirectories)
        throw WalkLimit();
    ++walkedDirs_;
    const bool firstDirectory = walkedDirs_ == 1;
    VisitedDirectories += DirectoryKey(at.Base, pos);
    const int64_t n = at.U16(pos);
    if (pos + 2 + 12 * n - 1 > at.Bytes.Length()) {
        Diagnostic = "Illegally sized directory";
        return;
    }
    ++walkDepth_;
    struct DepthGuard {
        int& depth;
        ~DepthGuard() { --depth; }
    } guard{walkDepth_};

    for (int64_t i = 0; i < n; ++i) {
        const int64_t e = pos + 2 + 12 * i;
        TagEntry entry = ProcessEntry(at, e, kind);
        if (entry.FieldType == 0)
            continue;  // a value of size 0 (or a type of no size): the entry is skipped
        const int64_t v = static_cast<int64_t>(entry.ValuePos);
        const std::string& text = entry.ValueText;

        auto subDirectory = [&](DirectoryKind subKind) {
            try {
                const int64_t q = static_cast<int64_t>(at.I32(v)) + at.Base;
                if (VisitedDirectories.find(DirectoryKey(at.Base, q)) == std::string::npos)
                    WalkDirectory(at, q, subKind);
            } catch (const ReaderFailure&) {
                // A sub-directory's failure ends that directory only.
            }
        };
        auto number = [&] { return RoundToInt(morvik::NumericValue(entry.RawBytes, entry.FieldType, at.BigEndian)); };

        switch (at.U16(e)) {
        case tag::ImageWidth: case tag::PixelXDimension:
            WidthPos = ClampToInt32(e + 8);
            Width = number();
            break;
        case tag::ImageLength: case tag::PixelYDimension:
            HeightPos = ClampToInt32(e + 8);
            Height = number();
            break;
        case tag::Orientation:
            if (firstDirectory && OrientationPos == 0) {
                OrientationPos = ClampToInt32(e + 8);
                Orientation = number();
            }
            break;
        case tag::Make:
            CameraMake = text.substr(0, 32);
            break;
        case tag::Model:
            CameraModel = text.substr(0, 40);
            break;
        case tag::LensModel:
            if (kind == DirectoryMain && entry.FieldType == FieldTypeAscii)
                LensModel = entry.RawBytes.substr(0, std::min<size_t>(entry.RawBytes.find('\0'), 128));
            break;
        case tag::DateTime:
            DateTimePos = entry.ValuePos;
            DateTimeText = text.substr(0, 20);
            break;
        case tag::DateTimeOriginal:
            DateTimeOriginalPos = entry.ValuePos;
            DateTimeText = text.substr(0, 20);
            break;
        case tag::DateTimeDigitized:
            DateTimeDigitizedPos = entry.ValuePos;
            break;
        case tag::ExifVersion:
            ExifVersionText = entry.RawBytes.substr(0, 6);
            break;
        case tag::Flash:
            FlashValue = number();
            break;
        case tag::SubIfds: case tag::ExifIfd: case tag::InteroperabilityIfd:
            subDirectory(DirectoryMain);
            break;
        case tag::GpsIfd:
            subDirectory(DirectoryGps);
            break;
        case tag::MakerNote: {
            MakerNoteData = entry.RawBytes;
            MakerNotePos = entry.ValuePos;
            MakerDecoded = decodeMakerNote_ != nullptr && decodeMakerNote_(*this);
            break;
        }
        }

        if (ParseMode == ParseModeFull)
            AppendTag(std::move(entry));
    }
}

TagEntry ExifDirectory::ProcessEntry(const WalkCursor& at, int64_t e, DirectoryKind kind)
{
    const int tagNo = at.U16(e);
    const int type = at.U16(e + 2);
    const int64_t count = at.I32(e + 4);
    const int64_t size = count * FieldTypeSize(type);  // at most 2^31 * 8: no overflow
    // One entry object, returned on every path, so it is built in the caller's place.
    TagEntry entry = size == 0 ? TagEntry{} : RowForTag(tagNo, kind);
    if (size == 0)
        return entry;
    const int64_t v = size <= 4 ? e + 8 : static_cast<int64_t>(at.I32(e + 8)) + at.Base;
    std::string raw = size < 0 ? std::string() : ByteSource(block_).Clip(v, size);
    ChargeWalk(1, static_cast<int64_t>(raw.size()));

    std::string text = EntryValueText(entry, raw, type, at.BigEndian);
    if (tagNo == tag::UserComment) {
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

std::string ExifDirectory::EntryValueText(const TagEntry& row, const std::string& raw, int fieldType,
                                       bool bigEndian) const
{
    const bool rendered = row.TagNo != 0 && row.Renderer != nullptr;
    // The directory tables' renderers add no entries: their context goes nowhere.
    RenderContext context;
    if (fieldType == FieldTypeAscii) {
        // ASCII: the text is the bytes without a final NUL, cut straight from them.
        std::string_view text(raw);
        if (!text.empty() && text.back() == '\0')
            text.remove_suffix(1);
        return rendered ? row.Renderer(std::string(text), context) : PrintableText(text);
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
    return rendered ? row.Renderer(text, context) : PrintableText(std::move(text));
}

TDateTime ExifDirectory::DateTimeAt(int64_t pos) const
{
    if (pos == 0)
        return 0;
    return DateTimeFromText(ByteSource(block_).Clip(pos, 19));
}

int ExifDirectory::AppendTag(const TagEntry& entry)
{
    if (entry.TagNo != 0)
        TagList.push_back(entry);
    return static_cast<int>(TagList.size()) - 1;
}

int ExifDirectory::AppendTag(TagEntry&& entry)
{
    if (entry.TagNo != 0)
        TagList.push_back(std::move(entry));
    return static_cast<int>(TagList.size()) - 1;
}

void ExifDirectory::AddNamedTag(SharedText name, std::string_view valueText, int fieldType)
{
    if (ParseMode != ParseModeFull)
        return;
    // A maker record adds a score of these per entry: they count as entries of the walk.
    ChargeWalk(1, 2 * static_cast<int64_t>(valueText.size()));
    TagEntry entry;
    entry.Kind = TagKindMaker;
    entry.FieldType = static_cast<uint16_t>(fieldType);
    entry.TagName = std::move(name);
    entry.DisplayName = entry.TagName;
    entry.ValueText = valueText;
    entry.RawBytes = valueText;
    entry.ByteCount = static_cast<int32_t>(valueText.size());
    TagList.push_back(std::move(entry));
}

int ExifDirectory::IndexOfTag(const std::string& name) const
{
    for (size_t i = 0; i < TagList.size(); ++i)
        if (TagList[i].TagName.size() == name.size() && AsciiEqualNoCase(TagList[i].TagName, name))
            return static_cast<int>(i);
    return -1;
}

std::string ExifDirectory::TagText(const std::string& name) const
{
    const int i = IndexOfTag(name);
    return i < 0 ? std::string() : TagList[static_cast<size_t>(i)].ValueText;
}

TagEntry ExifDirectory::TagEntryByName(const std::string& name) const
{
    const int i = IndexOfTag(name);
    return i < 0 ? TagEntry{} : TagList[static_cast<size_t>(i)];
}

double ExifDirectory::TagNumber(const std::string& name) const
{
    const int i = IndexOfTag(name);
    if (i < 0)
        return 0;
    const TagEntry& entry = TagList[static_cast<size_t>(i)];
    return entry.TagNo == 0 ? 0 : NumericValue(entry.RawBytes, entry.FieldType);
}

int32_t ExifDirectory::TagInteger(const std::string& name) const { return RoundToInt(TagNumber(name)); }

void ExifDirectory::AddEquivalentFocalLength()
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
    TagEntry entry = MainTableRow(row);
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

namespace morvik {

void ExifDirectory::Write32At(std::string& bytes, int32_t value, int64_t pos) const
{
    Store32At(bytes, pos, static_cast<uint32_t>(value), BigEndian);
}

void ExifDirectory::UpdateDimensions(std::string& block, int newHeight, int newWidth) const
{
    if (Height <= 0 || Width <= 0)
        return;
    if (newWidth == Width && newHeight == Height)
        return;

    auto store = [&](int64_t valuePos, int value) {
        // The entry's field type lies six positions before its value field.
        const ByteSource src(block);
        if (!src.Holds(valuePos - 6, 10))
            return;
        const uint16_t fieldType = src.U16(valuePos - 6, BigEndian);
        if (fieldType == FieldTypeShort) {
            const uint16_t v = static_cast<uint16_t>(value);
            const auto hi = static_cast<char>(v >> 8), lo = static_cast<char>(v & 0xFF);
            const size_t at = static_cast<size_t>(valuePos - 1);
            block[at] = BigEndian ? hi : lo;
            block[at + 1] = BigEndian ? lo : hi;
            block[at + 2] = 0;
            block[at + 3] = 0;
        } else {
            Write32At(block, value, valuePos);
        }
    };
    store(HeightPos, newHeight);
    store(WidthPos, newWidth);
}

}  // namespace morvik
