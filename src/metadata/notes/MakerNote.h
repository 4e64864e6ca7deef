#pragma once
// Maker notes: the private directory a camera keeps in the EXIF tag MakerNote (0x927C).
// MakerNote recognises the maker from the Make text, picks its table and layout, walks the
// note's directory and appends the entries to the ExifDirectory's tag list and maker listing.
// The directory walk finds the note; DecodeMakerNote is the decoder a reader hands to it.
#include "metadata/directory/ByteSource.h"
#include "metadata/directory/ExifDirectory.h"
#include "metadata/directory/TagEntry.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace morvik {

using MakerTable = std::span<const TagRow>;

// The ten built-in maker tables.
MakerTable NikonTableA();
MakerTable NikonTableB();
MakerTable OlympusTable();
MakerTable CasioTableA();
MakerTable CasioTableB();
MakerTable FujifilmTable();
MakerTable CanonTable();
MakerTable SeikoTable();
MakerTable SanyoTable();
MakerTable MinoltaTable();

// How one maker lays out its note.
struct MakerLayout {
    MakerTable Table;
    int64_t DirectoryOffset = 0;  // 0-based offset of the directory inside the note
    bool NoteRelative = false;    // value offsets count from NoteBase inside the note...
    int64_t NoteBase = 0;         // ...else from the TIFF header of the EXIF block
    int64_t FallbackBase = 0;     // position base for values that do not fit in the note
    // The note's own byte order where it is not the file's: true for big-endian.
    std::optional<bool> BigEndian{};
};

// The table and layout for the image's maker, or none for a maker without a table.
std::optional<MakerLayout> ChooseMakerLayout(const ExifDirectory& info, bool fromTiff);

// The directory's maker note decoded as the walk found it (see MakerNoteDecoder).
bool DecodeMakerNote(ExifDirectory& directory);

class MakerNote {
public:
    MakerNote(bool fromTiff, ExifDirectory* info);
    // True when the maker was recognised and its note walked.
    bool DecodeMakerNote();

private:
    bool FromTiff;
    ExifDirectory* Info;  // not owned
};

// Walks the maker directory at a 0-based offset of the note (as a maker's layout gives
// it): the cursor holds the note's bytes, the byte order they are read in, and the base
// that turns a value offset into a position in the note. `fallbackBase` plus the offset is
// the EXIF-block position of a value that does not lie inside the note. A walk that fails
// sets the directory's diagnostic to "Error Detected = " and the reason; one that goes past
// the block's limits (which it shares with the directory walk) raises WalkLimit on.
void WalkMakerDirectory(ExifDirectory& info, const WalkCursor& note, MakerTable table, int64_t directoryOffset,
                        int64_t fallbackBase);

// Renderers of the maker tables: value text in, shown text out.
std::string RenderLensRange(const std::string& text);
std::string RenderColorMode(const std::string& text);
std::string RenderCanonSettings(const std::string& text, RenderContext& context);
std::string RenderCanonShotInfo(const std::string& text, RenderContext& context);
std::string RenderCanonCustom(const std::string& text, RenderContext& context);

}  // namespace morvik
