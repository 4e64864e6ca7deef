#include "stamping/FolderBatch.h"

#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/OrderedParallel.h"
#include "platform/TemporaryFiles.h"
#include "stamping/Caption.h"
#include "stamping/Heif.h"
#include "stamping/Jpeg.h"
#include "stamping/MadeRecord.h"
#include "stamping/lossless/LosslessStamp.h"  // LosslessRoom

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <new>
#include <optional>
#include <set>

namespace morvik {

namespace {

bool MatchesJpg(const std::string& name)
{
    return AsciiEndsWithNoCase(name, ".jpg") || IsHeifName(name);
}

std::string WithoutTrailingSlash(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// An entry the loop processes: a regular file (or a link to one) whose name does not
// begin with ".". Folders named x.jpg, pipes and devices are passed over.
bool IsProcessedEntry(const FileFacts& facts)
{
    return !facts.Name.empty() && facts.Name[0] != '.' && facts.IsRegular;
}

// The facts of the entries of folder that match "*.jpg", in name order.
std::vector<FileFacts> JpegEntries(const std::string& folder)
{
    std::vector<FileFacts> entries = ListFolder(WithoutTrailingSlash(folder));
    std::erase_if(entries, [](const FileFacts& f) { return !MatchesJpg(f.Name); });
    std::sort(entries.begin(), entries.end(), [](const FileFacts& a, const FileFacts& b) { return a.Name < b.Name; });
    return entries;
}

// Buffers are made with room for the folder's largest file up to this size at once; a
// larger file grows its buffers when its turn comes.
constexpr size_t kRoomAhead = size_t(64) << 20;

// One entry on its way through the loop: what is decided at its turn in file order, and
// what the pixel work made of it, on the calling thread or a worker.
struct TBatchItem {
    std::string Name;
    std::string Path;
    bool Processed = false;
    StampRequest Request;
    TDatedSource Dated;
    std::string Bytes;
    std::string Storage;  // for the stamped file
    std::string Text;
    std::optional<TSourceIdentity> Identity;  // for the record of what is made
    std::string MadeAs;  // the output an earlier run made of it, when it is passed over
    std::exception_ptr Failure;  // a failure met before the pixel work
    TEncodedPicture Picture;
};

class TFileLoop {
public:
    TFileLoop(const std::string& folder, int outputFolderError, const TBatchOptions& options,
              TBatchObserver& observer, TBatchSteps& steps, TBatchResult& result)
        : folder_(folder), options_(options), observer_(observer), steps_(steps), result_(result),
          outputFolder_(JoinPath(folder, std::string(kOutputFolderName))), outputFolderError_(outputFolderError),
          maxNameLength_(MaxNameLength(folder)), record_(outputFolder_)
    {
    }

    void Run(const std::vector<FileFacts>& entries)
    {
        for (const FileFacts& f : entries)
            room_ = std::max(room_, size_t(std::clamp<int64_t>(f.Size, 0, int64_t(kRoomAhead))));
        // A dry run works each file on the calling thread at its turn: the steps it takes
        // are not made for worker threads. As many files are prepared ahead as there are
        // jobs, so each worker has one.
        const int jobs = options_.DryRun ? 1 : std::max(1, options_.Jobs);
        const OrderedParallelPlan plan{.Count = entries.size(), .Jobs = jobs, .Ahead = static_cast<size_t>(jobs)};
        OrderedParallelFor<TBatchItem>(
            plan, [&](size_t i, TBatchItem& item) { Prepare(item, entries[i]); },
            [&](size_t, TBatchItem& item) { Work(item); },
            [&](size_t, TBatchItem& item, const std::exception_ptr& workFailure) { return Commit(item, workFailure); });
        // Work on files after a stop is waited for, or not begun, and dropped.
    }

private:
    // The entry's turn: whether it is processed, its request, its date and its stamp
    // text; its pixel work may start once this is done, ahead of its commit. The entry's
    // facts are those the listing took: the file system is not asked again.
    void Prepare(TBatchItem& item, const FileFacts& facts)
    {
        item.Name = facts.Name;
        item.Path = JoinPath(folder_, facts.Name);
        item.Processed = IsProcessedEntry(facts);
        if (!item.Processed)
            return;
        item.Identity = SourceIdentity(facts);
        if (options_.SkipExisting && item.Identity) {
            if (auto made = record_.OutputOf(*item.Identity)) {
                item.MadeAs = std::move(*made);
                return;
            }
        }
        observer_.ProcessPendingEvents();
        item.Request = observer_.CurrentRequest();
        const TDateTime fallback = TwoSecondFloor(facts.Modified);
        try {
            item.Bytes = TakeSpare(spareBytes_, room_);
            if (item.Request.Lossless && !options_.DryRun)
                item.Storage = TakeSpare(spareOutputs_, LosslessRoom(room_));
            // No more than a picture file may hold: a sparse giant or an endless file fails
            // at that size instead of taking all memory.
            ReadWholeFile(item.Path, kMaxJpegFileBytes, /*noAtime=*/true, item.Bytes);
            item.Dated = steps_.DatePhoto(item.Path, item.Bytes, fallback, item.Request.Date.DateSource);
        } catch (...) {
            // The failure belongs to this file's turn in file order, which may come after
            // files still ahead of it: it is carried there whatever its type (Commit
            // decides what a file's failure is), and the file is dated by its fallback.
            item.Failure = std::current_exception();
            item.Dated.Date = fallback;
        }
        // The window's label shows the date in the fixed mask; the stamp writes it in the
        // date format. The date's text is this file's fact, not the request's.
        const StampDateRule& rule = item.Request.Date;
        const std::string shownDate = steps_.FormatDate(StampDateMask, item.Dated.Date);
        observer_.FileDated(shownDate);
        const std::string dateText =
            rule.Format == StampDateMask ? shownDate : steps_.FormatDate(rule.Format, item.Dated.Date);
        if (rule.DateMode)
            item.Text = dateText;
        else
            item.Text = CaptionText(rule, dateText,
                                    ReadCaptionFacts(item.Dated.Reader.get(), true, item.Path, item.Dated.Date));
    }

    // The entry's pixel work, on any thread: decode, stamp, encode (a dry run: what it
    // checks instead). It reads the item and fills its picture, and touches nothing shared.
    void Work(TBatchItem& item)
    {
        if (!item.Processed || !item.MadeAs.empty() || item.Failure)
            return;
        if (!options_.DryRun)
            item.Picture = steps_.StampAndEncode(item.Path, item.Bytes, item.Text, item.Dated.Orientation,
                                                 item.Request, std::move(item.Storage));
        else if (item.Request.Lossless)
            item.Picture.Way = steps_.LosslessWay(item.Bytes, item.Text, item.Dated.Orientation, item.Request);
        else
            steps_.CheckPicture(item.Path, item.Bytes);
    }

    // The entry in file order: its picture, name and output, then the pending events and
    // the stop flag. False ends the loop (stop requested). A failure of the file, before
    // or in its pixel work (workFailure), ends the run, or with KeepGoing is reported and
    // the loop goes on.
    bool Commit(TBatchItem& item, const std::exception_ptr& workFailure)
    {
        if (!item.MadeAs.empty()) {
            ++result_.Skipped;
            observer_.FileSkipped(item.Name, item.MadeAs);
        } else if (item.Processed) {
            try {
                Process(item, workFailure);
            } catch (Exception& e) {
                e.NameFile(item.Path);
                if (!options_.KeepGoing)
                    throw;
                Failed(item, e.what());
            } catch (const std::bad_alloc&) {
                // The file's picture or metadata needs more memory than there is.
                Exception failure("Out of memory");
                failure.NameFile(item.Path);
                if (!options_.KeepGoing)
                    throw failure;
                Failed(item, failure.what());
            }
        }
        item.Dated.Reader.reset();
        observer_.ProcessPendingEvents();
        if (observer_.StopRequested()) {
            result_.Stopped = true;
            return false;
        }
        return true;
    }

    void Process(TBatchItem& item, const std::exception_ptr& workFailure)
    {
        if (item.Failure)
            std::rethrow_exception(item.Failure);
        observer_.FileStarted(item.Name);
        if (workFailure)
            std::rethrow_exception(workFailure);
        TEncodedPicture& picture = item.Picture;
        Recycle(spareBytes_, std::move(item.Bytes));
        ++counter_;
        result_.Processed = counter_;
        observer_.FileCounted(counter_, result_.FileCount);
        Write(item, picture);
        // Made in the storage taken for it (lossless mode only); an encoder's own goes, and
        // so does a HEIF's output made without storage.
        if (picture.Spliced && item.Request.Lossless)
            Recycle(spareOutputs_, std::move(picture.Jpeg));
    }

    // The buffers of files done keep their memory for the next files: a source's bytes go
    // where an earlier source's went, a stamped file where an earlier one was made. Made
    // with room for the folder's largest file, they never grow, and a folder of photos is
    // read and written without fresh memory pages after the first files in hand. Room
    // never touched takes no memory.
    static std::string TakeSpare(std::vector<std::string>& spare, size_t room)
    {
        std::string buffer;
        if (!spare.empty()) {
            buffer = std::move(spare.back());
            spare.pop_back();
        }
        buffer.clear();
        ReserveForReuse(buffer, room);
        return buffer;
    }
    static void Recycle(std::vector<std::string>& spare, std::string&& buffer)
    {
        if (buffer.capacity() > 0)
            spare.push_back(std::move(buffer));
    }

    void Failed(const TBatchItem& item, const std::string& message)
    {
        result_.Failures.push_back({item.Name, message});
        observer_.FileFailed(item.Name, message);
    }

    void Write(TBatchItem& item, const TEncodedPicture& picture)
    {
        TBatchOutput out;
        out.SourceName = item.Name;
        out.Date = item.Dated.Date;
        out.Origin = item.Dated.Origin;
        out.Way = picture.Way;
        out.Damage = picture.Damage;
        std::string name;
        // The output's name: the date's name, or when that is taken "photo" and the run
        // counter; should that be taken too (the output of an earlier run over the folder,
        // or of a run going on beside this one), " (2)", " (3)", … are added until the name
        // is free, so no other output is ever replaced.
        auto candidate = [&](int k) {
            if (!options_.RenameByMask) {
                // A HEIF's output is a JPEG.
                const bool heif = IsHeifName(item.Name);
                const std::string stem = item.Name.substr(0, item.Name.size() - (heif ? 5 : 4));
                const std::string extension = heif ? ".jpg" : item.Name.substr(stem.size());
                return k == 0 ? stem + extension : stem + " (" + std::to_string(k + 1) + ")" + extension;
            }
            if (k == 0)
                return name + ".jpg";
            const std::string suffixed = name + "photo " + std::to_string(counter_);
            return k == 1 ? suffixed + ".jpg" : suffixed + " (" + std::to_string(k) + ").jpg";
        };
        int k = 0;
        if (options_.RenameByMask) {
            if (item.Request.Date.Correction.On) {
                out.Date = steps_.CorrectDate(out.Date, item.Request.Date.Correction);
                observer_.DateCorrected(out.Date);
            }
            const std::string& mask = item.Request.Naming.Mask;
            name = steps_.FormatDate(mask, out.Date);
            CheckMadeName(name, mask);
            while (Taken(candidate(k)))
                ++k;
        } else {
            // An output named after its source replaces an earlier run's; only a name this
            // run has written already (a HEIF's JPEG beside a JPEG of its name) gets " (2)", …
            while (written_.count(candidate(k)) != 0)
                ++k;
        }
        std::string fileName = candidate(k);
        out.OutputPath = JoinPath(outputFolder_, fileName);
        // Checked before anything is written, so a dry run meets what a real run would.
        if (fileName.size() > maxNameLength_)
            throw EInOutError(CannotCreateMessage(out.OutputPath, ENAMETOOLONG));
        // A dry run knows only what made the subfolder fail; a real run finds it missing.
        if (options_.DryRun ? outputFolderError_ != 0 : !DirectoryExists(outputFolder_))
            throw EInOutError(
                CannotCreateFolderMessage(outputFolder_, outputFolderError_ != 0 ? outputFolderError_ : ENOENT));
        if (!options_.DryRun) {
            ReplacingFile file(out.OutputPath);
            if (item.Request.Output.ExifCarryOver && !picture.Spliced)
                file.Write(steps_.WithExif(item.Dated.Reader.get(), picture));
            else
                file.Write(picture.Jpeg);
            // Set before the file gets its name, so that no output is ever seen (or left by a
            // kill) dated by the moment of writing. A date out of the file system's range, or
            // a failure to stamp, keeps the time of writing.
            out.TimeSet = file.SetModifiedTime(out.Date);
            if (!options_.RenameByMask) {
                file.Replace();  // an output named after its source replaces the earlier one
            } else {
                // Another run over the folder may take a name between the look and the rename.
                while (!file.PublishNew(out.OutputPath)) {
                    do
                        ++k;
                    while (Taken(candidate(k)));
                    fileName = candidate(k);
                    out.OutputPath = JoinPath(outputFolder_, fileName);
                }
            }
        }
        written_.insert(fileName);
        if (!options_.DryRun && item.Identity)
            record_.Add(*item.Identity, fileName);
        if (out.Damage != PictureDamage::None)
            ++result_.Damaged;
        observer_.FileWritten(out);
        result_.Outputs.push_back(std::move(out));
    }

    // A file of that name is in the output folder, or this run has written (or, dry, would
    // write) one.
    bool Taken(const std::string& fileName) const
    {
        return written_.count(fileName) != 0 || FileExists(JoinPath(outputFolder_, fileName));
    }

    // A name made by the mask stays inside the output folder: no path separator, not empty.
    void CheckMadeName(const std::string& name, const std::string& mask)
    {
        if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos)
            throw EInOutError(CannotCreateMessage(JoinPath(outputFolder_, name + ".jpg"),
                                                  "The naming mask \"" + mask + "\" gives a name with \"/\""));
        if (name.empty())
            throw EInOutError(CannotCreateMessage(JoinPath(outputFolder_, ".jpg"),
                                                  "The naming mask \"" + mask + "\" gives an empty name"));
    }

    const std::string& folder_;
    const TBatchOptions& options_;
    TBatchObserver& observer_;
    TBatchSteps& steps_;
    TBatchResult& result_;
    const std::string outputFolder_;
    const int outputFolderError_;  // why the output folder could not be made, or 0
    const size_t maxNameLength_;
    int counter_ = 0;
    size_t room_ = 0;  // for a source's bytes: the largest size of the folder's files, up to kRoomAhead
    std::set<std::string> written_;  // names this run has written (or, dry, would write)
    TMadeRecord record_;  // what runs over the folder have made
    // Buffers of files done: each taken at a file's turn comes back when it is done, so
    // there are never more than files in hand at once.
    std::vector<std::string> spareBytes_, spareOutputs_;
};

}  // namespace

std::vector<std::string> ListJpegEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const FileFacts& f : JpegEntries(folder))
        names.push_back(f.Name);
    return names;
}

std::string WayNote(const TBatchOutput& output)
{
    return output.Way ? "  (" + WayText(*output.Way) + ")" : std::string();
}

std::string DamageNote(const TBatchOutput& output)
{
    return output.Damage == PictureDamage::None ? std::string()
                                                 : "  (damaged: " + std::string(DamageText(output.Damage)) + ")";
}

int CountPictures(const std::string& folder)
{
    return static_cast<int>(ListJpegEntries(folder).size());
}

TBatchResult RunFolderBatch(const std::string& folderIn, const TBatchOptions& options,
                            TBatchObserver& observer, TBatchSteps& steps)
{
    const std::string folder = WithoutTrailingSlash(folderIn);
    TBatchResult result;
    std::vector<FileFacts> entries = JpegEntries(folder);
    if (!options.OnlyNames.empty())
        std::erase_if(entries, [&](const FileFacts& f) {
            return std::find(options.OnlyNames.begin(), options.OnlyNames.end(), f.Name) == options.OnlyNames.end();
        });
    result.FileCount = static_cast<int>(entries.size());
    result.OutputFolder = JoinPath(folder, std::string(kOutputFolderName));
    observer.BatchStarted(result.FileCount);
    int folderError = 0;
    if (!options.DryRun) {
        folderError = CreateFolder(result.OutputFolder);  // an existing folder is fine
        // Half-written files of an earlier run that was killed before its renames.
        RemoveStaleTemporaryFiles(result.OutputFolder);
    } else if (!DirectoryExists(result.OutputFolder)) {
        // What would keep a real run from making the subfolder: an entry of that name, or
        // a folder we may not write into.
        if (GetFileFacts(result.OutputFolder))
            folderError = EEXIST;
        else if (::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0)
            folderError = errno;
    }
    observer.ProcessPendingEvents();
    TFileLoop(folder, folderError, options, observer, steps, result).Run(entries);
    return result;
}

TBatchResult RunFolderBatch(const std::string& folder, const TBatchOptions& options, TBatchObserver& observer)
{
    TBatchSteps steps;
    return RunFolderBatch(folder, options, observer, steps);
}

}  // namespace morvik
