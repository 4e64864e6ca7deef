#pragma once
// An EXIF block that holds a maker note at a chosen position, with the TimgData and
// TImageInfo around it set up as the directory walk leaves them when it meets MakerNote.
#include "exif/ImgData.h"
#include "makernotes/MakerNotes.h"
#include "support/MakerNoteBuilder.h"

#include <memory>
#include <string>

namespace morvik::test {

struct NoteImage {
    std::unique_ptr<TimgData> Owner;
    TImageInfo* Info = nullptr;
    std::string Block;

    bool Decode(bool fromTiff = false)
    {
        TmsInfo ms(fromTiff, Info);
        Info->MakerDecoded = ms.DecodeMakerNote();
        return Info->MakerDecoded;
    }
    const std::string& Error() const { return Owner->ErrorText; }
};

// Position of the note in the test blocks; TIFF-relative offsets then shift by 9 - 101.
constexpr int kNotePos = 101;
constexpr int64_t kTiffShift = 9 - kNotePos;

// `after` follows the note in the block: data that lies outside the note.
inline NoteImage MakeNoteImage(const std::string& make, bool bigEndian, const std::string& note,
                               const std::string& after = {}, int parseMode = 255)
{
    NoteImage image;
    image.Owner = std::make_unique<TimgData>(parseMode);
    image.Owner->ExifInfo = std::make_unique<TImageInfo>(image.Owner.get(), parseMode);
    image.Info = image.Owner->ExifInfo.get();

    std::string block = std::string("\0\0Exif\0\0", 8) + (bigEndian ? std::string("MM\0*", 4) : std::string("II*\0", 4));
    block.resize(kNotePos - 1, '\0');
    block += note + after;
    image.Block = block;

    image.Owner->WorkData = block;
    image.Owner->BigEndian = bigEndian;
    TImageInfo& info = *image.Info;
    info.WorkData = block;
    info.BigEndian = bigEndian;
    info.CameraMake = make;
    info.MakerNoteData = note;
    info.MakerNotePos = kNotePos;
    return image;
}

}  // namespace morvik::test
