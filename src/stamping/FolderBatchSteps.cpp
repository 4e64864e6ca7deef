// The batch's own pieces of work: the metadata reader, the date mask, the time correction,
// the picture work (the lossless splice among it) and the EXIF-preserving writer.
#include "stamping/FolderBatch.h"

#include "metadata/file/PhotoMetadata.h"
#include "platform/DateMask.h"
#include "platform/Exceptions.h"
#include "stamping/Heif.h"
#include "stamping/Jpeg.h"
#include "stamping/PhotoDate.h"
#include "stamping/StampDrawing.h"
#include "stamping/TimeCorrection.h"
#include "stamping/lossless/LosslessStamp.h"

namespace morvik {

TDatedSource TBatchSteps::DatePhoto(const std::string& path, std::string_view bytes, TDateTime fallback,
                                    int dateSource)
{
    // The bytes already read for the picture serve the reader too: each source is read once.
    // A file the reader fails on is dated by the fallback; one it runs out of memory on
    // fails, as any other failure of the file does.
    TDatedSource dated;
    dated.Reader = std::make_shared<PhotoMetadata>(ParseModeFull);
    const bool processed = ReadForDating(*dated.Reader, path, bytes);
    dated.Date = PhotoDate(*dated.Reader, processed, fallback, dateSource);
    dated.Orientation = PhotoOrientation(*dated.Reader, processed);
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

namespace {

// The way a HEIF source goes in the lossless mode: it has no JPEG data to splice.
constexpr const char* kHeifWay = "re-encoded: HEIF";

// The lossless stamp of the source, with its sections when the EXIF carry-over is on.
LosslessOutcome Spliced(std::string_view bytes, const std::string& text, const TBatchControls& controls,
                        std::string storage = {})
{
    return StampLossless(bytes, text, controls.Controls.Look, controls.Settings.PictureOrientation,
                         controls.Controls.ExifCarryOver, std::move(storage));
}

}  // namespace

TEncodedPicture TBatchSteps::StampAndEncode(const std::string& path, std::string_view bytes,
                                            const std::string& text, const TBatchControls& controls,
                                            std::string storage)
{
    TEncodedPicture encoded;
    if (IsHeifName(path)) {
        // Decoded upright; the output is made whole here, with the HEIF's metadata.
        HeifPhoto photo = DecodeHeif(bytes, path);
        DrawStamp(photo.Pixels, text, controls.Controls.Look, controls.Settings.PictureOrientation);
        encoded.Width = photo.Pixels.Width();
        encoded.Height = photo.Pixels.Height();
        encoded.Jpeg = HeifOutputJpeg(photo, EncodeJpeg(photo.Pixels, controls.Controls.Quality),
                                      controls.Controls.ExifCarryOver, path);
        encoded.Spliced = true;
        if (controls.Controls.Lossless)
            encoded.Way = kHeifWay;
        return encoded;
    }
    if (controls.Controls.Lossless) {
        LosslessOutcome spliced = Spliced(bytes, text, controls, std::move(storage));
        encoded.Way = spliced.Report();
        if (spliced.Way != LosslessWay::ReEncode) {
            encoded.Jpeg = std::move(spliced.Jpeg);
            encoded.Spliced = true;
            return encoded;
        }
    }
    Picture picture = DecodeJpeg(bytes);
    DrawStamp(picture, text, controls.Controls.Look, controls.Settings.PictureOrientation);
    encoded.Width = picture.Width();
    encoded.Height = picture.Height();
    encoded.Jpeg = EncodeJpeg(picture, controls.Controls.Quality);
    return encoded;
}

std::string TBatchSteps::LosslessWay(std::string_view bytes, const std::string& text, const TBatchControls& controls)
{
    if (LooksLikeHeif(bytes))
        return kHeifWay;
    return Spliced(bytes, text, controls).Report();
}

void TBatchSteps::WriteWithExif(PhotoMetadata* reader, const TEncodedPicture& picture, const std::string& path)
{
    if (reader) {
        reader->WriteJpegWithExif(picture.Jpeg, picture.Width, picture.Height, path, true);
    } else {
        PhotoMetadata empty(ParseModeFull);  // a source the reader never saw: the default JFIF header
        empty.WriteJpegWithExif(picture.Jpeg, picture.Width, picture.Height, path, true);
    }
}

}  // namespace morvik
