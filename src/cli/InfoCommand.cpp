// morvik-cli info: what the metadata reader finds in each file, as text or as JSON.
#include "cli/Commands.h"
#include "cli/InfoJson.h"

#include "metadata/file/PhotoMetadata.h"
#include "metadata/notes/IptcRecord.h"
#include "platform/Convert.h"
#include "platform/DateTime.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/OrderedParallel.h"
#include "platform/Text1251.h"
#include "stamping/Heif.h"
#include "stamping/NameDate.h"

#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace morvik::cli {

namespace {

std::string DateText(TDateTime value)
{
    const DateTimeFields f = DecodeDateTime(value);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", f.Year, f.Month, f.Day, f.Hour, f.Minute,
                  f.Second);
    return buf;
}

// "YYYY-MM-DD HH:MM:SS" of the date at a recorded position; null when the tag was not
// met or its text is no date.
nlohmann::json DateAt(const ExifDirectory* info, int32_t pos)
{
    if (info == nullptr || pos == 0)
        return nullptr;
    // A date text that does not convert gives the value 0, 1899-12-30 00:00:00, which is
    // what dating the photo by that tag gives as well.
    return DateText(info->DateTimeAt(pos));
}

// The walk's listing: CR LF separated lines, the first one empty.
std::vector<std::string> ListingLines(const std::string& listing)
{
    std::vector<std::string> lines;
    ForEachCrLfLine(listing, [&lines](std::string_view line) { lines.push_back(Cp1251ToUtf8(line)); });
    return lines;
}

// Appends each line of a listing as UTF-8 with the given indent and a line feed; true
// when there was at least one.
bool AppendListing(std::string& out, std::string_view listing, std::string_view indent)
{
    return AppendCp1251LinesToUtf8(out, listing, indent) > 0;
}

// The IPTC datasets of the file's first APP13 section, read by a reader of our own so the
// file's reader is left as it was.
std::vector<TagEntry> IptcEntries(const PhotoMetadata& data)
{
    std::vector<TagEntry> entries;
    if (data.IptcSection == nullptr)
        return entries;
    IptcRecord iptc;
    iptc.ParseResource(data.IptcSection->Data);
    for (int i = 0; i < iptc.Count(); ++i)
        entries.push_back(iptc.EntryAt(i));
    return entries;
}

// The text block of one file, appended to out.
void AppendText(std::string& out, const std::string& fileName, bool read, const PhotoMetadata& data)
{
    out += EscapeControlCharacters(fileName);
    out += "\n  read: ";
    out += read ? "yes" : "no";
    out += "\n  error: ";
    AppendCp1251ToUtf8(out, EscapeControlCharacters(data.Outcome.Text));  // may name the file
    out += '\n';
    const ExifDirectory* info = data.ExifInfo.get();
    if (info)
        AppendListing(out, info->ListingText, "  ");
    if (info) {
        // The report's first line is the file's name, which may hold any byte but "/":
        // its control characters are shown escaped, as in the file's heading.
        std::string summary;
        ForEachCrLfLine(data.SummaryText(), [&summary](std::string_view line) {
            summary += EscapeControlCharacters(line);
            summary += "\r\n";
        });
        const size_t heading = out.size();
        out += "  report:\n";
        if (!AppendListing(out, summary, "    "))
            out.resize(heading);  // no lines, no heading
    }
    if (info) {
        const size_t heading = out.size();
        out += "  maker note";
        out += info->MakerDecoded ? "" : " (not decoded)";
        out += ":\n";
        if (!AppendListing(out, info->MakerListingText, "    "))
            out.resize(heading);
    }
    const std::vector<TagEntry> iptc = IptcEntries(data);
    if (!iptc.empty()) {
        out += "  iptc:\n";
        for (const TagEntry& e : iptc) {
            out += "    ";
            AppendCp1251ToUtf8(out, e.DisplayName);
            out += " = ";
            AppendCp1251ToUtf8(out, e.ValueText);
            out += '\n';
        }
    }
}

// What one file gives: whether it was read, and its text block or its JSON object.
struct FileResult {
    bool Read = false;
    std::string Text;
    nlohmann::json Json;
};

// One reader per thread, used for file after file (see PhotoMetadata::ResetData).
PhotoMetadata& ThreadReader()
{
    thread_local PhotoMetadata reader(ParseModeFull);
    return reader;
}

void Report(FileResult& result, const std::string& file, bool json, const PhotoMetadata& data)
{
    if (json)
        result.Json = InfoJson(file, result.Read, data);
    else
        AppendText(result.Text, file, result.Read, data);
}

// A file the reader runs out of memory on is reported as failed with its reason (the
// reader says so itself); so is one whose report does not fit in memory. Either way the
// next file is read as usual.
// Why a file could not be read when it is no file to read: a folder, a pipe or a device,
// a link in a loop or to nothing, a name that is not there. Empty for a regular file,
// whose reason is the reader's.
std::string WhyNotRead(const std::string& file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return SystemErrorText(EISDIR);
        return S_ISREG(st.st_mode) ? std::string() : CannotOpenMessage(file, kNotRegularFile);
    }
    const int error = errno;
    if (error == ENOENT && ::lstat(file.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return "A link to nothing: " + SystemErrorText(error);
    return SystemErrorText(error);
}

FileResult ReadOneFile(const std::string& file, bool json)
{
    FileResult result;
    PhotoMetadata& data = ThreadReader();
    result.Read = IsHeifName(file) ? ReadHeifForReport(data, file) : data.ReadMetadata(file);
    if (!result.Read) {
        if (std::string why = WhyNotRead(file); !why.empty())
            data.SetFault(std::move(why));
    }
    try {
        Report(result, file, json, data);
    } catch (const std::bad_alloc&) {
        result = FileResult{};
        data.SetFault(kOutOfMemoryText);
        Report(result, file, json, data);
    }
    data.ResetData();  // what was read is in the report now; the next file starts light
    return result;
}

// Reads the files on `jobs` threads, the calling one among them, and hands each result to
// emit in the order of the list, so the output is that of one job. Files are taken in runs
// of some files (a file takes some microseconds: handing each over on its own would cost
// more than it saves), at most a window of runs ahead of the next one handed out, so few
// results wait in memory however long the list is. A failure while a file is worked on,
// or in emit, ends the reading: what came before it has been handed out, and it is raised.
void ReadFilesInOrder(const std::vector<std::string>& files, bool json, int jobs,
                      const std::function<void(FileResult&)>& emit)
{
    const OrderedParallelPlan plan{.Count = files.size(), .Jobs = jobs, .Run = 16,
                                   .Ahead = static_cast<size_t>(jobs) * 4, .CallerWorks = true};
    OrderedParallelFor<FileResult>(
        plan, [](size_t, FileResult&) {},
        [&](size_t i, FileResult& result) { result = ReadOneFile(files[i], json); },
        [&](size_t, FileResult& result, const std::exception_ptr& failure) {
            if (failure)
                std::rethrow_exception(failure);
            emit(result);
            return true;
        });
}

}  // namespace

namespace {

// The kind of picture file: "heif" by its name; else what the reader read it as, by its
// first bytes, or for a file not read (missing, a folder) what its name says.
const char* FileFormat(const std::string& fileName, const PhotoMetadata& data)
{
    if (IsHeifName(fileName))
        return "heif";
    const PictureFileKind kind = data.ReadAs != PictureFileKind::None ? data.ReadAs : PictureFileKindOfName(fileName);
    return kind == PictureFileKind::Tiff ? "tiff" : "jpeg";
}

}  // namespace

nlohmann::json InfoJson(const std::string& fileName, bool read, const PhotoMetadata& data)
{
    const ExifDirectory* info = data.ExifInfo.get();
    nlohmann::json j;
    j["file"] = fileName;
    j["format"] = FileFormat(fileName, data);
    j["read"] = read;
    j["error"] = Cp1251ToUtf8(data.Outcome.Text);
    j["has_exif"] = data.HasExif();
    j["make"] = info ? Cp1251ToUtf8(info->CameraMake) : "";
    j["model"] = info ? Cp1251ToUtf8(info->CameraModel) : "";
    j["date_time_text"] = info ? Cp1251ToUtf8(info->DateTimeText) : "";
    j["width"] = info ? info->Width : 0;
    j["height"] = info ? info->Height : 0;
    j["flash"] = info ? info->FlashValue : 0;
    j["dates"] = {
        {"DateTime", DateAt(info, info ? info->DateTimePos : 0)},
        {"DateTimeOriginal", DateAt(info, info ? info->DateTimeOriginalPos : 0)},
        {"DateTimeDigitized", DateAt(info, info ? info->DateTimeDigitizedPos : 0)},
    };
    const std::optional<TDateTime> named = DateFromFileName(fileName);
    j["name_date"] = named ? nlohmann::json(DateText(*named)) : nlohmann::json(nullptr);
    nlohmann::json tags = nlohmann::json::array();
    if (info) {
        for (const TagEntry& t : info->TagList) {
            tags.push_back({
                {"name", Cp1251ToUtf8(t.TagName)},
                {"display", Cp1251ToUtf8(t.DisplayName)},
                {"tag", t.TagNo},
                {"kind", t.Kind},
                {"type", t.FieldType},
                {"value", Cp1251ToUtf8(t.ValueText)},
                {"pos", t.ValuePos},
            });
        }
    }
    j["tags"] = std::move(tags);
    nlohmann::json listing = nlohmann::json::array();
    if (info)
        for (std::string& line : ListingLines(info->ListingText))
            listing.push_back(std::move(line));
    j["listing"] = std::move(listing);

    j["summary"] = info ? Cp1251ToUtf8(data.SummaryText()) : "";
    j["maker_decoded"] = info ? info->MakerDecoded : false;
    nlohmann::json makerListing = nlohmann::json::array();
    if (info)
        for (std::string& line : ListingLines(info->MakerListingText))
            makerListing.push_back(std::move(line));
    j["maker_listing"] = std::move(makerListing);
    nlohmann::json iptc = nlohmann::json::array();
    for (const TagEntry& e : IptcEntries(data)) {
        iptc.push_back({
            {"name", Cp1251ToUtf8(e.TagName)},
            {"description", Cp1251ToUtf8(e.DisplayName)},
            {"record", e.RecordNo},
            {"dataset", e.TagNo},
            {"value", Cp1251ToUtf8(e.ValueText)},
        });
    }
    j["iptc"] = std::move(iptc);
    return j;
}

CommandRunner AddInfoCommand(CLI::App& app)
{
    struct Options {
        bool json = false;
        // Reading a file is partly waiting for the system (and for the disk when the
        // file is not cached): one thread more than the cores keeps them all busy.
        int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()) + 1);
        std::vector<std::string> files;
    };
    auto options = std::make_shared<Options>();
    CLI::App* sub = app.add_subcommand("info", "Show the metadata the reader finds in photo files");
    sub->add_flag("--json", options->json, "Write one JSON array, an object per file");
    sub->add_option("-j,--jobs", options->jobs, "Files read at once (default: one more than the cores)")
        ->check(CLI::Range(1, 256));
    sub->add_option("FILE", options->files, "JPEG or TIFF files")->required();
    return [options] {
        // Each file allocates and frees the same few blocks of up to some tens of
        // kilobytes; keeping the freed heap spares the system calls and page faults of
        // handing it back after every file.
        mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
        bool allRead = true;
        nlohmann::json all = nlohmann::json::array();
        // The text goes out in blocks of some tens of kilobytes rather than a write per line.
        constexpr size_t kFlushBytes = 64 * 1024;
        std::string text;
        text.reserve(kFlushBytes + 16 * 1024);
        auto flushIfFull = [&text] {
            if (text.size() >= kFlushBytes) {
                std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
                text.clear();
            }
        };
        auto emit = [&](FileResult& result) {
            allRead = allRead && result.Read;
            if (options->json) {
                all.push_back(std::move(result.Json));
            } else {
                text += result.Text;
                flushIfFull();
            }
        };
        try {
            ReadFilesInOrder(options->files, options->json, options->jobs, emit);
        } catch (const std::exception& e) {
            std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
            std::cout.flush();
            std::cerr << "morvik-cli info: " << e.what() << "\n";
            return 1;
        }
        std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (options->json)
            std::cout << all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        std::cout.flush();
        return allRead ? 0 : 1;
    };
}

}  // namespace morvik::cli
