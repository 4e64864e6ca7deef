#pragma once
// The folder batch (the automatic process): every *.jpg entry of a folder is dated,
// and every *.heic/*.heif one (stamped into a JPEG, see Heif.h),
// stamped, encoded and written into the subfolder "Dated", named after the photo's date
// by the naming mask (or after its source), with the source's EXIF block carried over and
// the photo's date as the new file's modification time. Sources are only ever read. In the
// lossless mode a baseline JPEG is stamped by coding only the MCUs under the stamp again,
// its sections kept as they were; any other goes the decode/encode way.
//
// The run is driven step by step through TBatchObserver, so a window can keep itself
// live (pending events twice per file, a stop flag read after each file) and show the
// totals, the running count and the corrected date. With more than one job the pixel work
// (decode, stamp, encode) of the next files runs on worker threads, while everything that
// decides a name, a collision suffix, a file's bytes around the picture or its time is done
// in file order on the calling thread, so the outputs equal those of a one-job run.
#include "platform/DateTime.h"
#include "stamping/Jpeg.h"       // PictureDamage
#include "stamping/PhotoDate.h"  // DateOrigin
#include "stamping/StampRequest.h"
#include "stamping/lossless/LosslessStamp.h"  // LosslessWay, SourceDamage

#include <optional>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

class PhotoMetadata;

constexpr std::string_view kOutputFolderName = "Dated";

// A photo's date, what dated it and its EXIF Orientation, with the metadata reader that
// read it (held for the EXIF carry-over).
struct TDatedSource {
    TDateTime Date = 0;
    DateOrigin Origin = DateOrigin::ExifTag;
    int Orientation = 1;
    std::shared_ptr<PhotoMetadata> Reader;
};

// How the lossless mode took a file: the way, the reason of a file re-encoded, and
// whether damaged data after the stamp was kept.
struct BatchWay {
    LosslessWay Way = LosslessWay::ReEncode;
    std::string Reason;  // for ReEncode: "progressive", "HEIF", "damaged data: …"
    SourceDamage Damage = SourceDamage::None;

    bool operator==(const BatchWay&) const = default;
};
// The way as a run's line tells it: "lossless", "lossless, new Huffman tables",
// "re-encoded: <reason>", … (the splice's own report of that way).
std::string WayText(const BatchWay& way);

// The stamped picture in its encoded JPEG form: encoded whole at the chosen quality, or in
// the lossless mode spliced into the source.
struct TEncodedPicture {
    std::string Jpeg;
    int Width = 0;
    int Height = 0;
    // Jpeg is the whole output file, the source's sections kept as they were (or, without
    // the EXIF carry-over, cut down to what a decoder needs): it is written as it stands.
    // A HEIF source's output is made whole too, with the HEIF's metadata.
    bool Spliced = false;
    // In the lossless mode the way the file went; unset outside it.
    std::optional<BatchWay> Way;
    // How the source's picture data is damaged: the decoder's warnings, or in the lossless
    // mode the splice's reading of the scan. A damaged photo is stamped as far as its
    // data goes and reported as damaged, never as a plain success.
    PictureDamage Damage = PictureDamage::None;
};

// The pieces of work the batch is made of. The defaults are the engine's own; tests put
// fakes in their place to provoke failures. StampAndEncode runs on worker threads and must
// not touch shared state; the others run on the calling thread.
class TBatchSteps {
public:
    virtual ~TBatchSteps() = default;
    // Date of a photo for the file's bytes, with the fallback for files without EXIF.
    virtual TDatedSource DatePhoto(const std::string& path, std::string_view bytes, TDateTime fallback,
                                   PhotoDateSource dateSource);
    virtual std::string FormatDate(std::string_view mask, TDateTime value);
    // The corrected date; throws EConvertError for a correction text that does not convert.
    virtual TDateTime CorrectDate(TDateTime date, const DateCorrection& correction);
    // Decodes the source, stamps the text as the single-picture stamp does (upright on the
    // photo as displayed by its EXIF Orientation `orientation`), encodes. In the lossless
    // mode (request.Lossless) a source the splice can take is stamped by it
    // instead, with the source's sections when the EXIF carry-over is on; another goes the
    // decode/encode way with its reason.
    // `storage` is a buffer of an earlier file that the result may take over, so that its
    // memory serves again.
    virtual TEncodedPicture StampAndEncode(const std::string& path, std::string_view bytes,
                                           const std::string& text, int orientation,
                                           const StampRequest& request, std::string storage);
    // The way the lossless mode would stamp the source, for a dry run: the splice is made in
    // memory and dropped (a corrupt scan fails as in a real run); a source it cannot take
    // is not decoded.
    virtual BatchWay LosslessWay(std::string_view bytes, const std::string& text, int orientation,
                                 const StampRequest& request);
    // For a dry run in the ordinary mode: fails as StampAndEncode would before it decodes a
    // JPEG (a header that is no JPEG's, a picture too large for memory or for its data).
    virtual void CheckPicture(const std::string& path, std::string_view bytes);
    // The EXIF-preserving writer: the output file's bytes with the source's metadata sections.
    virtual std::string WithExif(PhotoMetadata* reader, const TEncodedPicture& picture);
};

// One file the run wrote (or, dry, would write).
struct TBatchOutput {
    std::string SourceName;
    std::string OutputPath;
    TDateTime Date = 0;   // the date the name and the file time come from
    DateOrigin Origin = DateOrigin::ExifTag;  // what dated the photo
    bool TimeSet = false; // whether the file's modification time was set to Date
    std::optional<BatchWay> Way;  // TEncodedPicture::Way
    PictureDamage Damage = PictureDamage::None;  // TEncodedPicture::Damage
};

// The way a file went as its line shows it: "  (lossless)", "  (re-encoded: progressive)";
// empty outside the lossless mode.
std::string WayNote(const TBatchOutput& output);
// A damaged photo's note on its line: "  (damaged: picture data ends early)"; empty for
// a whole one.
std::string DamageNote(const TBatchOutput& output);

// What the window (or the command line) hears of a run, in the order of the file loop.
class TBatchObserver {
public:
    virtual ~TBatchObserver() = default;
    // What the next file is made by; asked once per processed file at its turn, so a
    // change in the window takes effect at the next file.
    virtual StampRequest CurrentRequest() = 0;
    // "Всего файлов:" and the gauge's maximum.
    virtual void BatchStarted(int fileCount) {}
    // Let pending window messages be processed: twice per entry, and once before the loop.
    virtual void ProcessPendingEvents() {}
    // The photo's date as shown beside the stamp: uncorrected, "dd.mm.yyyy hh:nn:ss".
    virtual void FileDated(const std::string& stampText) {}
    // The entry's name, one line per processed file in the run's log.
    virtual void FileStarted(const std::string& name) {}
    // The run counter after the file was decoded (the gauge, the count and the status line).
    virtual void FileCounted(int runCounter, int fileCount) {}
    // The corrected date, when the correction was applied to the output's name (shown in the status line).
    virtual void DateCorrected(TDateTime corrected) {}
    // The file is written (a dry run reports what it would write): its path, date and, in
    // the lossless mode, the way it went.
    virtual void FileWritten(const TBatchOutput& output) {}
    // The file failed and the run goes on past it (TBatchOptions::KeepGoing): its name and
    // the failure's message, which names the file.
    virtual void FileFailed(const std::string& name, const std::string& message) {}
    // The file is passed over, made by an earlier run as outputPath (TBatchOptions::SkipExisting).
    virtual void FileSkipped(const std::string& name, const std::string& outputPath) {}
    // Read after each entry; true ends the run like a complete one.
    virtual bool StopRequested() { return false; }
};

struct TBatchFailure {
    std::string SourceName;
    std::string Message;
};

struct TBatchResult {
    int FileCount = 0;    // *.jpg entries counted at the start
    int Processed = 0;    // the run counter at the end
    bool Stopped = false;
    std::string OutputFolder;
    std::vector<TBatchOutput> Outputs;
    std::vector<TBatchFailure> Failures;  // the files passed over after a failure (KeepGoing)
    int Damaged = 0;  // outputs made from damaged photos (TBatchOutput::Damage)
    int Skipped = 0;  // files passed over as made by an earlier run (SkipExisting)
};

struct TBatchOptions {
    // Outputs named by the naming mask, taken once at the start (the request's
    // Naming.ByMask when the run begins); each file's mask is that of its request.
    bool RenameByMask = true;
    int Jobs = 1;              // workers for the pixel work; 1 runs everything on the caller
    // Decide names without decoding or writing anything; in the lossless mode each file's
    // splice is still made in memory, so that its way is told truly.
    bool DryRun = false;
    // A file that fails is reported (FileFailed, TBatchResult::Failures) and the run goes
    // on with the next one, instead of ending at it.
    bool KeepGoing = false;
    // A source that an earlier run made an output of (the same name, size and modification
    // time, in the output folder's record) whose output is still there is passed over
    // (FileSkipped). Every run records the outputs it publishes, with or without this.
    bool SkipExisting = false;
    // When not empty, only the entries of these names are taken (the files a user picked
    // in a file manager); the others are neither counted nor touched.
    std::vector<std::string> OnlyNames;
};

// The entries of folder that match "*.jpg", "*.heic" or "*.heif" without regard to case,
// in name order.
// Every one of them is counted, folders and dot-files included.
std::vector<std::string> ListJpegEntries(const std::string& folder);
int CountPictures(const std::string& folder);

// Runs the batch over folder. A failure while a file is processed ends the run with an
// Exception carrying its message, which names the file; the files written before stay.
// The subfolder is made first; a failure to make it is ignored while it exists, and
// otherwise is the failure of the first file to be written there.
TBatchResult RunFolderBatch(const std::string& folder, const TBatchOptions& options,
                            TBatchObserver& observer, TBatchSteps& steps);
TBatchResult RunFolderBatch(const std::string& folder, const TBatchOptions& options,
                            TBatchObserver& observer);
}  // namespace morvik
