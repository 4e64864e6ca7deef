#pragma once
// An EXIF block that holds a maker note at a chosen position, with the ExifDirectory
// around it set up as the directory walk leaves it when it meets the maker note.
#include "metadata/notes/MakerNote.h"
#include "support/MakerNoteBuilder.h"

#include <memory>
#include <string>

namespace morvik::test {

struct NoteImage {
    std::unique_ptr<ExifDirectory> Directory;
    ExifDirectory* Info = nullptr;
    std::string Block;

    bool Decode(bool fromTiff = false)
    {
        MakerNote ms(fromTiff, Info);
        Info->MakerDecoded = ms.DecodeMakerNote();
        return Info->MakerDecoded;
    }
    const std::string& Error() const { return Info->Diagnostic; }
};

// Position of the note in the test blocks; TIFF-relative offsets then shift by 9 - 101.
constexpr int kNotePos = 101;
constexpr int64_t kTiffShift = 9 - kNotePos;

// `after` follows the note in the block: data that lies outside the note.
inline NoteImage MakeNoteImage(const std::string& make, bool bigEndian, const std::string& note,
                               const std::string& after = {}, ParseModes parseMode = ParseModeFull)
{
    NoteImage image;
    image.Directory = std::make_unique<ExifDirectory>(parseMode, &DecodeMakerNote);
    image.Info = image.Directory.get();

    std::string block = std::string("\0\0Exif\0\0", 8) + (bigEndian ? std::string("MM\0*", 4) : std::string("II*\0", 4));
    block.resize(kNotePos - 1, '\0');
    block += note + after;
    image.Block = block;

    ExifDirectory& info = *image.Info;
    info.SetBlock(block);
    info.BigEndian = bigEndian;
    info.CameraMake = make;
    info.MakerNoteData = note;
    info.MakerNotePos = kNotePos;
    return image;
}

}  // namespace morvik::test
