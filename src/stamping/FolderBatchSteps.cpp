// The batch's own pieces of work: the metadata reader, the date mask, the time correction,
// the picture work (the lossless splice among it) and the EXIF-preserving writer.
#include "stamping/FolderBatch.h"

#include "metadata/file/PhotoMetadata.h"
#include "platform/DateMask.h"
#include "platform/Exceptions.h"
#include "platform/MemoryStatus.h"
#include "stamping/Heif.h"
#include "stamping/Jpeg.h"
#include "stamping/PhotoDate.h"
#include "stamping/StampDrawing.h"
#include "stamping/TimeCorrection.h"
#include "stamping/lossless/LosslessStamp.h"

#include <optional>

namespace morvik {

TDatedSource TBatchSteps::DatePhoto(const std::string& path, std::string_view bytes, TDateTime fallback,
                                    PhotoDateSource dateSource)
{
    // The bytes already read for the picture serve the reader too: each source is read once.
    // A file the reader fails on is dated by the fallback; one it runs out of memory on
    // fails, as any other failure of the file does.
    TDatedSource dated;
    dated.Reader = std::make_shared<PhotoMetadata>(ParseModeFull);
    const bool processed = ReadForDating(*dated.Reader, path, bytes);
    const PhotoDating dating = PhotoDate(*dated.Reader, processed, path, fallback, dateSource);
    dated.Date = dating.Date;
    dated.Origin = dating.Origin;
    dated.Orientation = PhotoOrientation(*dated.Reader, processed);
    return dated;
}

std::string TBatchSteps::FormatDate(std::string_view mask, TDateTime value)
{
    return FormatDateTime(mask, value);
}

TDateTime TBatchSteps::CorrectDate(TDateTime date, const DateCorrection& correction)
{
    return CorrectedDate(date, correction);
}

namespace {

// The way a HEIF source goes in the lossless mode: it has no JPEG data to splice.
BatchWay HeifWay() { return {LosslessWay::ReEncode, "HEIF", SourceDamage::None}; }

BatchWay WayOf(const LosslessOutcome& outcome) { return {outcome.Way, outcome.Reason, outcome.Damage}; }

// The lossless stamp of the source, with its sections when the EXIF carry-over is on.
LosslessOutcome Spliced(std::string_view bytes, const std::string& text, int orientation,
                        const StampRequest& request, std::string storage = {})
{
    return StampLossless(bytes, text, request.Look, orientation, request.Output.ExifCarryOver, std::move(storage));
}

// How the damage the splice kept after the stamp shows: a source without its end marker
// was cut short (or is still being copied); one that has it holds codes no encoder writes.
PictureDamage KeptDamage(std::string_view bytes)
{
    const size_t end = bytes.find_last_not_of('\0');
    const bool hasEndMarker = end != std::string_view::npos && end >= 1 &&
                              uint8_t(bytes[end - 1]) == 0xFF && uint8_t(bytes[end]) == 0xD9;
    return hasEndMarker ? PictureDamage::Broken : PictureDamage::EndsEarly;
}

}  // namespace

TEncodedPicture TBatchSteps::StampAndEncode(const std::string& path, std::string_view bytes,
                                            const std::string& text, int orientation,
                                            const StampRequest& request, std::string storage)
{
    TEncodedPicture encoded;
    if (IsHeifName(path)) {
        // Decoded upright (its Orientation is 1); the output is made whole here, with the
        // HEIF's metadata.
        HeifPhoto photo = DecodeHeif(bytes, path);
        DrawStamp(photo.Pixels, text, request.Look, orientation);
        encoded.Width = photo.Pixels.Width();
        encoded.Height = photo.Pixels.Height();
        encoded.Jpeg = HeifOutputJpeg(photo, EncodeJpeg(photo.Pixels, request.Output.Quality),
                                      request.Output.ExifCarryOver, path, std::move(storage));
        encoded.Spliced = true;
        if (request.Lossless)
            encoded.Way = HeifWay();
        return encoded;
    }
    if (request.Lossless) {
        LosslessOutcome spliced = Spliced(bytes, text, orientation, request, std::move(storage));
        encoded.Way = WayOf(spliced);
        if (spliced.Way != LosslessWay::ReEncode) {
            if (spliced.Damage == SourceDamage::AfterStamp)
                encoded.Damage = KeptDamage(bytes);
            encoded.Jpeg = std::move(spliced.Jpeg);
            encoded.Spliced = true;
            return encoded;
        }
    }
    // The picture is decoded from the bytes where they lie. Its memory (the raster, the
    // decoder's coefficients, the encoded output) is reserved across the batch's jobs
    // first: a job waits while others hold what it needs rather than oversubscribe.
    JpegDecoder decoder = JpegDecoder::InPlace(bytes);
    const uint64_t need = decoder.DecodeBytes() + uint64_t(decoder.Width()) * uint64_t(decoder.Height());
    const MemoryReservation reserved = ReservePictureMemory(decoder.Width(), decoder.Height(), need);
    Picture picture = decoder.Decode();
    encoded.Damage = decoder.Damage();
    DrawStamp(picture, text, request.Look, orientation);
    encoded.Width = picture.Width();
    encoded.Height = picture.Height();
    encoded.Jpeg = EncodeJpeg(picture, request.Output.Quality);
    return encoded;
}

BatchWay TBatchSteps::LosslessWay(std::string_view bytes, const std::string& text, int orientation,
                                  const StampRequest& request)
{
    if (LooksLikeHeif(bytes))
        return HeifWay();
    return WayOf(Spliced(bytes, text, orientation, request));
}

void TBatchSteps::CheckPicture(const std::string& path, std::string_view bytes)
{
    if (!IsHeifName(path))
        JpegDecoder::InPlace(bytes).CheckDecodable();
}

std::string WayText(const BatchWay& way)
{
    // The splice's report is the one text of each way.
    LosslessOutcome outcome;
    outcome.Way = way.Way;
    outcome.Reason = way.Reason;
    outcome.Damage = way.Damage;
    return outcome.Report();
}

std::string TBatchSteps::WithExif(PhotoMetadata* reader, const TEncodedPicture& picture)
{
    if (reader)
        return reader->JpegWithExif(picture.Jpeg, picture.Width, picture.Height, true);
    PhotoMetadata empty(ParseModeFull);  // a source the reader never saw: the default JFIF header
    return empty.JpegWithExif(picture.Jpeg, picture.Width, picture.Height, true);
}

}  // namespace morvik
