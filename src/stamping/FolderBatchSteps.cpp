// The batch's own pieces of work: the metadata reader, the date mask, the time correction,
// the picture work and the EXIF-preserving writer.
#include "stamping/FolderBatch.h"

#include "exif/ImgData.h"
#include "platform/Exceptions.h"

namespace morvik {

TDatedSource TBatchSteps::DatePhoto(const std::string& path, std::string_view bytes, TDateTime fallback,
                                    int dateSource)
{
    // The bytes already read for the picture serve the reader too: each source is read once.
    TDatedSource dated;
    dated.Date = fallback;
    dated.Reader = std::make_shared<TimgData>(255);
    if (dated.Reader->ReadMetadataFromMemory(path, bytes) && dated.Reader->HasExif()) {
        const TImageInfo* info = dated.Reader->ExifInfo.get();
        switch (dateSource) {
        case 0: dated.Date = info ? info->DateTimeAt(info->DateTimePos) : 0; break;
        case 1: dated.Date = info ? info->DateTimeAt(info->DateTimeOriginalPos) : 0; break;
        case 2: dated.Date = info ? info->DateTimeAt(info->DateTimeDigitizedPos) : 0; break;
        default: break;
        }
    }
    return dated;
}

std::string TBatchSteps::FormatDate(std::string_view mask, TDateTime value)
{
    throw Exception("the date mask is not built yet");
}

TDateTime TBatchSteps::CorrectDate(TDateTime date, const TBatchControls& controls)
{
    throw Exception("the time correction is not built yet");
}

TEncodedPicture TBatchSteps::StampAndEncode(const std::string& path, std::string_view bytes,
                                            const std::string& text, const TBatchControls& controls)
{
    throw Exception("the picture work is not built yet");
}

void TBatchSteps::WriteWithExif(TimgData* reader, const TEncodedPicture& picture, const std::string& path)
{
    if (reader) {
        reader->WriteJpegWithExif(picture.Jpeg, picture.Width, picture.Height, path, true);
    } else {
        TimgData empty(255);  // a source the reader never saw: the default JFIF header
        empty.WriteJpegWithExif(picture.Jpeg, picture.Width, picture.Height, path, true);
    }
}

}  // namespace morvik
