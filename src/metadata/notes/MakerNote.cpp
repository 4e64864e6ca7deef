// Decoding of the maker note: the choice of table and layout by maker, and the walk of
// the note's directory.
#include "metadata/notes/MakerNote.h"

#include "metadata/directory/ByteSource.h"
#include "platform/Convert.h"

#include <algorithm>
#include <string>
#include <utility>

namespace morvik {

namespace {

constexpr const char* kCrLf = "\r\n";

// A value whose bytes would lie outside the data it is taken from.
class MakerValueOutside : public ReaderFailure {
public:
    explicit MakerValueOutside(const char* data) : Data(data) {}
    const char* Data;
};

int RowIndex(MakerTable table, uint16_t tag)
{
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].TagNo == tag)
            return static_cast<int>(i);
    return -1;
}

// The character of the model name just after its first blank, or its first character
// when it has none; 0 when there is no such character.
char ModelLetter(const std::string& model)
{
    const size_t blank = model.find(' ');
    const size_t at = blank == std::string::npos ? 0 : blank + 1;
    return at < model.size() ? model[at] : '\0';
}

// The byte order of a TIFF byte-order mark at a 0-based note offset: true for "MM",
// false for "II", none for anything else.
std::optional<bool> ByteOrderMark(const std::string& note, size_t at)
{
    if (note.size() < at + 2)
        return std::nullopt;
    if (note.compare(at, 2, "MM") == 0)
        return true;
    if (note.compare(at, 2, "II") == 0)
        return false;
    return std::nullopt;
}

void SetDiagnostic(ExifDirectory& info, const std::string& message)
{
    info.Diagnostic = "Error Detected = " + message;
}

}  // namespace

std::optional<MakerLayout> ChooseMakerLayout(const ExifDirectory& info, bool fromTiff)
{
    const std::string key = AsciiUpper(info.CameraMake).substr(0, 5);
    const std::string& note = info.MakerNoteData;

    if (key == "NIKON") {
        // Newer Nikon notes carry their own TIFF header at note offset 10, and are read in
        // the byte order its mark gives (a file edited elsewhere may have the other one).
        if (info.ExifVersionText > "0210" ||
            (info.ExifVersionText.empty() && ModelLetter(info.CameraModel) == 'D' && fromTiff))
            return MakerLayout{NikonTableB(), 18, true, 10, 0, ByteOrderMark(note, 10)};
        if (note.compare(0, 5, "Nikon") == 0)
            return MakerLayout{NikonTableA(), 8, false, 0, 0};
        return MakerLayout{NikonTableB(), 0, false, 0, 0};
    }
    if (key == "OLYMP")
        return MakerLayout{OlympusTable(), 8, false, 0, kExifTiffHeaderPos};
    if (key == "CASIO") {
        if (note.compare(0, 3, "QVC") == 0)
            return MakerLayout{CasioTableB(), 6, false, 0, 0};
        return MakerLayout{CasioTableA(), 0, false, 0, 0};
    }
    if (key == "FUJIF")
        return MakerLayout{FujifilmTable(), 12, true, 0, 0, false};  // little-endian in any file
    if (key == "CANON")
        return MakerLayout{CanonTable(), 0, false, 0, 0};
    if (key == "SEIKO")
        return MakerLayout{SeikoTable(), 8, false, 0, 0};
    if (key == "SANYO")
        return MakerLayout{SanyoTable(), 8, false, 0, 0};
    if (key == "MINOL")
        return MakerLayout{MinoltaTable(), 0, false, 0, 0};
    return std::nullopt;
}

MakerNote::MakerNote(bool fromTiff, ExifDirectory* info) : FromTiff(fromTiff), Info(info) {}

bool DecodeMakerNote(ExifDirectory& directory) { return MakerNote(directory.FromTiff, &directory).DecodeMakerNote(); }

bool MakerNote::DecodeMakerNote()
{
    if (!Info)
        return false;
    ExifDirectory& info = *Info;

    const std::optional<MakerLayout> layout = ChooseMakerLayout(info, FromTiff);
    if (!layout)
        return false;

    // The base turns a value offset into a position in the note. TIFF-relative offsets
    // count from the EXIF block's TIFF header; the note's first byte lies at MakerNotePos.
    const int64_t base =
        layout->NoteRelative ? layout->NoteBase + 1 : kExifTiffHeaderPos - int64_t{info.MakerNotePos} + 1;
    // A note in a byte order of its own is read in it, else in the file's.
    const WalkCursor note{ByteSource(info.MakerNoteData), layout->BigEndian.value_or(info.BigEndian), base};
    WalkMakerDirectory(info, note, layout->Table, layout->DirectoryOffset, layout->FallbackBase);
    return true;
}

void WalkMakerDirectory(ExifDirectory& info, const WalkCursor& note, MakerTable table, int64_t directoryOffset,
                        int64_t fallbackBase)
{
    const ByteSource exifBlock(info.Block());
    const int64_t noteLength = note.Bytes.Length();
    int64_t i = -1;
    int64_t n = 0;
    try {
        // From here on every place in the note is a position, as ByteSource reads it.
        const int64_t directory = directoryOffset + 1;
        n = note.U16(directory);
        for (i = 0; i < n; ++i) {
            // All four fields of the entry come from the note, the value field too when the
            // value lies elsewhere: an entry cut by the note's end ends the walk.
            const int64_t e = directory + 2 + 12 * i;
            const uint16_t tag = note.U16(e);
            const uint16_t type = note.U16(e + 2);
            const int64_t count = note.I32(e + 4);  // signed: a negative size gives no value
            const int32_t field = note.I32(e + 8);
            const int64_t size = count * FieldTypeSize(type);

            std::string bytes;
            if (size <= 4) {
                bytes = note.Bytes.Clip(e + 8, size);  // inside the entry just read
            } else {
                const int64_t p = int64_t{field} + note.Base;
                // A value that ends at the note's last byte still lies inside the note; one
                // that reaches past it is taken from the EXIF block.
                if (p + size - 1 <= noteLength) {
                    if (p < 1)
                        throw MakerValueOutside("the note");
                    bytes = note.Bytes.Clip(p, size);
                } else {
                    const int64_t pos = std::max<int64_t>(fallbackBase + field, 1);
                    if (!exifBlock.Holds(pos, size))
                        throw MakerValueOutside("the EXIF block");
                    bytes = exifBlock.Clip(pos, size);
                }
            }

            // Real notes hold a few kilobytes of values. A crafted block could let thousands
            // of entries, in as many notes, each copy the whole block: what a note keeps is
            // charged to the block's walk, whose budget every note shares.
            info.ChargeWalk(1, static_cast<int64_t>(bytes.size()));

            const int t = RowIndex(table, tag);
            const std::string_view name = t >= 0 ? table[t].DisplayName : "Unknown";
            if (AsciiEqualNoCase(name, "SKIP"))
                continue;
            if (info.ParseMode != ParseModeFull)
                continue;

            std::string valueText;
            if (type == FieldTypeAscii) {
                valueText = '"' + bytes.substr(0, bytes.find('\0')) + '"';
            } else if (type == FieldTypeUndefined) {
                valueText = '"' + bytes + '"';
            } else {
                // Rendering numbers cannot fail. Without a renderer only the printable start
                // of the text is shown.
                valueText = RenderValue(bytes, type, note.BigEndian, t >= 0 ? table[t].ValueNames : "",
                                        t >= 0 ? table[t].Template : "",
                                        t >= 0 && table[t].Renderer ? std::string::npos : PrintableLength);
            }

            // Only a renderer can make the value multi-line; without one the shown text is
            // all that is used. A record's renderer adds its fields to the directory.
            RenderContext context{&info};
            const std::string shown = t >= 0 && table[t].Renderer ? table[t].Renderer(valueText, context)
                                                                  : PrintableText(std::move(valueText));
            std::string& listing = info.MakerListingText;
            const size_t listed = listing.size();
            if (!context.MultiLine) {
                listing += kCrLf;
                listing += name;
                listing += " = ";
                listing += shown;
            } else {
                listing += shown;
                listing += kCrLf;
                listing += name;
                listing += " = ";
                listing += valueText;
            }

            info.ChargeWalk(0, static_cast<int64_t>(listing.size() - listed));

            if (t >= 0) {
                TagEntry entry = EntryFromRow(table[t]);
                entry.Kind = TagKindMaker;
                entry.FieldType = type;
                entry.RawBytes = std::move(bytes);
                entry.ValueText = context.MultiLine ? std::move(valueText) : std::move(shown);
                info.ChargeWalk(0, static_cast<int64_t>(entry.ValueText.size()));
                info.AppendTag(std::move(entry));
            }
        }
    } catch (const ReadOutside& r) {
        if (i < 0)
            SetDiagnostic(info, "maker note directory at offset " + std::to_string(directoryOffset) +
                                    " lies outside the note");
        else
            SetDiagnostic(info, "maker note entry " + std::to_string(i + 1) + " of " + std::to_string(n) +
                                    " lies outside the note");
    } catch (const MakerValueOutside& outside) {
        SetDiagnostic(info, "maker note entry " + std::to_string(i + 1) + " of " + std::to_string(n) +
                                ": its value lies outside " + outside.Data);
    } catch (const WalkLimit& limit) {
        SetDiagnostic(info, "maker note entry " + std::to_string(i + 1) + ": " + limit.what());
        throw;  // past the block's limits: the walk fails as for any limit
    } catch (const ReaderFailure& failure) {
        SetDiagnostic(info, failure.what());
    }
}

}  // namespace morvik
