// The batch's own pieces of work: the metadata reader, the date mask, the time correction,
// the picture work and the EXIF-preserving writer.
#include "stamping/FolderBatch.h"

#include "exif/ImgData.h"
#include "platform/DateMask.h"
#include "platform/Exceptions.h"
#include "stamping/Jpeg.h"
#include "stamping/PhotoDate.h"
#include "stamping/StampDrawing.h"
#include "stamping/TimeCorrection.h"

namespace morvik {

TDatedSource TBatchSteps::DatePhoto(const std::string& path, std::string_view bytes, TDateTime fallback,
                                    int dateSource)
{
    // The bytes already read for the picture serve the reader too: each source is read once.
    TDatedSource dated;
    dated.Reader = std::make_shared<TimgData>(255);
    bool processed = false;
    try {
        processed = dated.Reader->ReadMetadataFromMemory(path, bytes);
    } catch (...) {
        processed = false;  // the reader's troubles are no failure of the batch
    }
    dated.Date = PhotoDate(*dated.Reader, processed, fallback, dateSource);
    return dated;
}

std::string TBatchSteps::FormatDate(std::string_view mask, TDateTime value)
{
    return FormatDateTime(mask, value);
}

TDateTime TBatchSteps::CorrectDate(TDateTime date, const TBatchControls& controls)
{
    return CorrectedDate(date, controls.Controls);
}

TEncodedPicture TBatchSteps::StampAndEncode(const std::string& path, std::string_view bytes,
                                            const std::string& text, const TBatchControls& controls)
{
    Picture picture = DecodeJpeg(bytes);
    DrawStamp(picture, text, controls.Controls.Look);
    TEncodedPicture encoded;
    encoded.Width = picture.Width();
    encoded.Height = picture.Height();
    encoded.Jpeg = EncodeJpeg(picture, controls.Controls.Quality);
    return encoded;
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
