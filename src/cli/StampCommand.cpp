// morvik-cli stamp: the folder batch from a terminal. Every setting of the window is an
// option, starting from the window's start values; the run writes into FOLDER/Dated.
#include "cli/Commands.h"

#include "platform/Convert.h"
#include "platform/DateMask.h"
#include "platform/DateTime.h"
#include "platform/Exceptions.h"
#include "stamping/FolderBatch.h"
#include "stamping/StampSettings.h"
#include "stamping/TimeCorrection.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace morvik::cli {

namespace {

constexpr std::string_view kFinishedMessage = "Закончил добавление текста или даты в картинки";
constexpr std::string_view kDurationMask = "Заняло hh:nn:ss";

// Exit statuses beside 0 (every file done) and 2 (a usage error).
constexpr int kExitFailed = 1;         // a file failed (the run ended there, or went on with --keep-going)
constexpr int kExitDamaged = 3;        // every file done, some of them from damaged photos
constexpr int kExitInterrupted = 130;  // stopped by Ctrl-C, as a shell reports SIGINT

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int)
{
    // The first Ctrl-C acts as the stop button: the run ends after the file in hand.
    g_interrupted = true;
    std::signal(SIGINT, SIG_DFL);
}

struct StampOptions {
    std::string Folder;
    std::string Preset;
    std::string DateSource;
    std::optional<std::string> OwnText;
    int X = 0, Y = 0;
    std::optional<std::string> FontName;
    std::optional<int> FontHeight;
    std::optional<bool> Bold, Italic;
    std::optional<std::string> TextColor, BackgroundColor;
    bool Transparent = false;
    std::optional<std::string> Anchor, Size, Margin, Outline, Shadow;
    std::optional<std::string> DateFormat;
    std::optional<int> Quality;
    std::optional<std::string> NamingMask;
    bool KeepNames = false;
    std::optional<bool> Exif;
    bool Lossless = false;
    std::optional<std::string> Correction;
    bool KeepGoing = false;
    bool SkipExisting = false;
    int Jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    bool DryRun = false;
};

const std::map<std::string, int> kPresetNames = {
    {"standard", 0}, {"storage", 1}, {"internet", 2}, {"album", 3}, {"film", 4},
    {"0", 0},        {"1", 1},       {"2", 2},        {"3", 3},     {"4", 4}};
const std::map<std::string, PhotoDateSource> kDateSourceNames = {
    {"datetime", PhotoDateSource::DateTime}, {"original", PhotoDateSource::DateTimeOriginal},
    {"digitized", PhotoDateSource::DateTimeDigitized}, {"name", PhotoDateSource::FileName},
    {"auto", PhotoDateSource::Auto}, {"0", PhotoDateSource::DateTime}, {"1", PhotoDateSource::DateTimeOriginal},
    {"2", PhotoDateSource::DateTimeDigitized}, {"3", PhotoDateSource::FileName}, {"4", PhotoDateSource::Auto}};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The colour an option gives, "#RRGGBB" or "RRGGBB"; a usage error for any other text.
TColor ColorOption(std::string_view option, const std::string& text)
{
    if (auto color = ParseRgbColor(text))
        return *color;
    throw UsageError(std::string(option) + ": not a colour RRGGBB: " + text);
}

// "N" pixels or "N%" of the shorter side: the number and whether it is a percentage.
std::optional<std::pair<double, bool>> ParseLength(std::string text)
{
    const bool percent = !text.empty() && text.back() == '%';
    if (percent)
        text.pop_back();
    size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::logic_error&) {
        return std::nullopt;
    }
    if (used != text.size() || !std::isfinite(value) || (!percent && value != std::floor(value)))
        return std::nullopt;
    return std::pair{value, percent};
}

// --anchor, --size, --margin and --outline over the look.
void ApplyPlacementOptions(const StampOptions& o, StampLook& look)
{
    if (o.Anchor) {
        for (const StampAnchorName& a : StampAnchorNames)
            if (a.Key == *o.Anchor)
                look.Anchor = a.Anchor;
    }
    if (o.Size) {
        const auto size = ParseLength(*o.Size);
        if (!size || size->first <= 0 || size->first > (size->second ? 100 : 2000))
            throw UsageError("--size: not a size 1..2000 or a percentage up to 100%: " + *o.Size);
        look.RelativeSize = size->second;
        if (size->second)
            look.SizePercent = size->first;
        else
            look.Font.Height = int(size->first);
    }
    if (o.Margin) {
        const auto margin = ParseLength(*o.Margin);
        if (!margin || std::abs(margin->first) > (margin->second ? 100 : 1e9))
            throw UsageError("--margin: not a margin N or N%: " + *o.Margin);
        look.RelativeMargin = margin->second;
        if (margin->second) {
            look.MarginPercent = margin->first;
        } else {
            look.X = int(margin->first);
            look.Y = int(margin->first);
        }
    }
    if (o.Outline) {
        look.Outline = true;
        if (!o.Outline->empty()) {
            look.OutlineColor = ColorOption("--outline", *o.Outline);
        }
    }
    if (o.Shadow) {
        StampShadow shadow;
        if (!o.Shadow->empty())
            shadow.Color = ColorOption("--shadow", *o.Shadow);
        look.Shadow = shadow;
    }
}

// The window's start values, then the preset, then each option given.
StampRequest RequestFromOptions(const StampOptions& o)
{
    StampSettings settings;
    StampControls controls;
    if (!o.Preset.empty()) {
        const PresetFollowUps done = ApplyPreset(kPresetNames.at(o.Preset), controls, settings);
        if (done.FontMissing)
            std::cerr << "morvik-cli stamp: the preset's face \"" << FilmFontName
                      << "\" is not installed (Debian package fonts-dseg); the default face is used\n";
    }
    if (o.DateFormat)
        controls.DateFormat = *o.DateFormat;
    if (!o.DateSource.empty())
        settings.DateSource = kDateSourceNames.at(o.DateSource);
    if (o.OwnText) {
        settings.DateMode = false;
        controls.OwnText = *o.OwnText;
    }
    StampLook& look = controls.Look;
    look.X = o.X;
    look.Y = o.Y;
    if (o.FontName)
        look.Font.Name = *o.FontName;
    if (o.FontHeight)
        look.Font.Height = *o.FontHeight;
    if (o.Bold)
        look.Font.Bold = *o.Bold;
    if (o.Italic)
        look.Font.Italic = *o.Italic;
    if (o.TextColor && *o.TextColor == "auto") {
        look.AutoColor = true;
    } else if (o.TextColor) {
        look.AutoColor = false;
        look.TextColor = ColorOption("--color", *o.TextColor);
    }
    if (o.BackgroundColor)
        look.BackgroundColor = ColorOption("--background", *o.BackgroundColor);
    if (o.Transparent && !IsTransparent(look))
        SwitchTransparent(look);
    ApplyPlacementOptions(o, look);
    if (o.Quality)
        controls.Quality = *o.Quality;
    if (o.NamingMask)
        controls.NamingMask = *o.NamingMask;
    if (o.Exif)
        controls.ExifCarryOver = *o.Exif;
    controls.Lossless = o.Lossless;
    if (o.KeepNames)
        controls.RenameTicked = false;
    if (o.Correction) {
        std::string text = *o.Correction;
        controls.CorrectionDirection = 0;
        if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
            controls.CorrectionDirection = text[0] == '+' ? 0 : 1;
            text.erase(0, 1);
        }
        if (text.size() == 7)
            text.insert(0, "0");  // "2:00:00" as the time editor holds it
        controls.CorrectionOn = true;
        controls.CorrectionText = text;
        // The batch uses the correction only for the names it makes: with --keep-names it is
        // never computed, so a text that does not convert is no error there.
        if (controls.RenameTicked) {
            try {
                CorrectionFromText(text);
            } catch (const EConvertError& e) {
                throw UsageError(std::string("--correct: ") + e.what());
            }
        }
    }
    return RequestFromControls(settings, controls);
}

// What dated a photo when it was not the EXIF date asked for: "  (file name)", "  (file time)".
std::string OriginNote(DateOrigin origin)
{
    switch (origin) {
    case DateOrigin::FileName:
        return "  (file name)";
    case DateOrigin::FileTime:
        return "  (file time)";
    case DateOrigin::ExifTag:
        break;
    }
    return {};
}

// Progress on a terminal as one bar redrawn in place; elsewhere one line per file.
class CliObserver : public TBatchObserver {
public:
    CliObserver(StampRequest request, bool dryRun)
        : request_(std::move(request)), dryRun_(dryRun), terminal_(::isatty(STDOUT_FILENO) == 1)
    {
    }

    StampRequest CurrentRequest() override { return request_; }
    void BatchStarted(int fileCount) override
    {
        total_ = fileCount;
        std::cout << "Всего файлов:" << fileCount << "\n" << std::flush;
    }
    void FileStarted(const std::string& name) override { name_ = EscapeControlCharacters(name); }
    void FileCounted(int runCounter, int) override { count_ = runCounter; }
    void FileWritten(const TBatchOutput& output) override
    {
        const std::string notes = WayNote(output) + OriginNote(output.Origin) + DamageNote(output);
        if (terminal_ && !dryRun_) {
            DrawBar(notes);
        } else {
            std::cout << count_ << "/" << total_ << "  " << name_ << (dryRun_ ? " -> " : " => ")
                      << EscapeControlCharacters(output.OutputPath) << notes << "\n" << std::flush;
        }
    }
    void FileFailed(const std::string&, const std::string& message) override
    {
        EndBar();
        std::cerr << EscapeControlCharacters(message) << "\n" << std::flush;
    }
    void FileSkipped(const std::string& name, const std::string& outputPath) override
    {
        EndBar();
        std::cout << EscapeControlCharacters(name) << " = " << EscapeControlCharacters(outputPath)
                  << "  (made before)\n" << std::flush;
    }
    bool StopRequested() override { return g_interrupted.load(); }
    void Finish() { EndBar(); }

private:
    // Ends the bar's line, so that what comes next starts on a line of its own.
    void EndBar()
    {
        if (barShown_)
            std::cout << "\n" << std::flush;
        barShown_ = false;
    }

    void DrawBar(const std::string& way)
    {
        barShown_ = true;
        constexpr int width = 30;
        const int filled = total_ > 0 ? count_ * width / total_ : width;
        std::string bar(static_cast<size_t>(filled), '#');
        bar.resize(width, '.');
        std::string shown = name_.size() > 40 ? name_.substr(0, 37) + "..." : name_;
        std::cout << "\r[" << bar << "] " << count_ << "/" << total_ << "  " << shown << way << "\033[K" << std::flush;
    }

    StampRequest request_;
    bool dryRun_;
    bool terminal_;
    int total_ = 0;
    int count_ = 0;
    bool barShown_ = false;
    std::string name_;
};

// The exit status of a run that went to its end or was stopped; the most severe outcome
// wins. 2 is a usage error, given before any run.
int ExitStatus(const TBatchResult& result, bool interrupted)
{
    if (interrupted)
        return kExitInterrupted;
    if (!result.Failures.empty())
        return kExitFailed;
    if (result.Damaged > 0)
        return kExitDamaged;
    return 0;
}

int RunStamp(const StampOptions& o)
{
    StampRequest request;
    try {
        request = RequestFromOptions(o);
    } catch (const UsageError& e) {
        std::cerr << "morvik-cli stamp: " << e.what() << "\n";
        return 2;
    }
    TBatchOptions options;
    options.RenameByMask = request.Naming.ByMask;
    options.Jobs = o.Jobs;
    options.DryRun = o.DryRun;
    options.KeepGoing = o.KeepGoing;
    options.SkipExisting = o.SkipExisting;
    CliObserver observer(std::move(request), o.DryRun);
    g_interrupted = false;
    auto previous = std::signal(SIGINT, OnInterrupt);
    const TDateTime start = Now();
    TBatchResult result;
    try {
        result = RunFolderBatch(o.Folder, options, observer);
    } catch (const std::exception& e) {
        std::signal(SIGINT, previous);
        observer.Finish();
        std::cerr << EscapeControlCharacters(e.what()) << "\n";
        return kExitFailed;
    }
    std::signal(SIGINT, previous);
    observer.Finish();
    std::cout << FormatDateTime(kDurationMask, Now() - start) << "\n";
    const bool interrupted = result.Stopped && g_interrupted.load();
    if (interrupted)
        std::cerr << "Stopped by Ctrl-C after " << result.Processed << " of " << result.FileCount << " files\n";
    else if (!o.DryRun)
        std::cout << kFinishedMessage << "\n";
    if (result.Damaged > 0)
        std::cerr << result.Damaged << " of " << result.FileCount
                  << " photos are damaged: stamped as far as their picture data goes\n";
    if (!result.Failures.empty())
        std::cerr << result.Failures.size() << " of " << result.FileCount << " files failed\n";
    return ExitStatus(result, interrupted);
}

// --NAME and --no-NAME: set only when given, so a preset's value stays otherwise.
void AddSwitch(CLI::App* cmd, const std::string& name, std::optional<bool>& target, const std::string& help)
{
    cmd->add_flag_callback("--" + name, [&target] { target = true; }, help);
    cmd->add_flag_callback("--no-" + name, [&target] { target = false; });
}

}  // namespace

CommandRunner AddStampCommand(CLI::App& app)
{
    auto o = std::make_shared<StampOptions>();
    CLI::App* cmd = app.add_subcommand(
        "stamp", "Stamp every *.jpg, *.heic and *.heif of FOLDER with its date (or a text) into FOLDER/Dated");
    cmd->footer("Exit status: 0 every file done; 1 a file failed; 2 a usage error; 3 every file done, some "
                "from damaged photos (their lines say how); 130 stopped by Ctrl-C.");
    cmd->add_option("folder", o->Folder, "Folder of the photos")->required()->check(CLI::ExistingDirectory);
    cmd->add_option("--preset", o->Preset,
                    "Apply a preset first: standard (Стандартные), storage (Для Хранения), internet (Для Интернета), "
                    "album (Для фотоальбома), film (Плёночный)")
        ->check(CLI::IsMember({"standard", "storage", "internet", "album", "film", "0", "1", "2", "3", "4"}));
    cmd->add_option("--date-source", o->DateSource,
                    "What dates a photo: the EXIF date datetime, original (the default) or digitized; name, "
                    "the date in the file's name; auto, the first of original, digitized, datetime, the name "
                    "and the file's time that holds a date")
        ->check(CLI::IsMember({"datetime", "original", "digitized", "name", "auto", "0", "1", "2", "3", "4"}));
    cmd->add_option("--text", o->OwnText,
                    "Stamp this text instead of the date; \\n starts a new line, and {date}, {date:MASK}, {make}, "
                    "{model}, {lens}, {exposure}, {fnumber}, {iso}, {focal}, {focal35}, {gps}, {name}, {folder} "
                    "are filled from each photo");
    cmd->add_option("--date-format", o->DateFormat,
                    "Mask the stamped date is written with (default \"" + std::string(StampDateMask) + "\")");
    cmd->add_option("-x,--x", o->X, "Offset of the stamp from the anchor's side, inwards, in pixels (default 0)");
    cmd->add_option("-y,--y", o->Y, "Offset of the stamp from the anchor's top or bottom, inwards (default 0)");
    const StampControls start;
    const TFont& font = start.Look.Font;
    cmd->add_option("--font", o->FontName, "Font family (default \"" + font.Name + "\")");
    cmd->add_option("--font-size", o->FontHeight, "Character height in pixels (default " + std::to_string(font.Height) + ")")
        ->check(CLI::Range(1, 2000));
    AddSwitch(cmd, "bold", o->Bold, std::string("Bold face (default ") + (font.Bold ? "on" : "off") + ")");
    AddSwitch(cmd, "italic", o->Italic, std::string("Italic face (default ") + (font.Italic ? "on" : "off") + ")");
    cmd->add_option("--color", o->TextColor,
                    "Text colour RRGGBB, or auto: white or black by the photo under the stamp (default " +
                        RgbColorText(start.Look.TextColor) + ")");
    cmd->add_option("--background", o->BackgroundColor,
                    "Background colour RRGGBB (default " + RgbColorText(start.Look.BackgroundColor) + ")");
    cmd->add_flag("--transparent", o->Transparent, "No background behind the text");
    std::vector<std::string> anchors;
    for (const StampAnchorName& a : StampAnchorNames)
        anchors.emplace_back(a.Key);
    cmd->add_option("--anchor", o->Anchor,
                    "Corner of the photo as displayed that -x/-y count from (default " + anchors.front() + ")")
        ->check(CLI::IsMember(anchors));
    cmd->add_option("--size", o->Size,
                    "PERCENT% of the photo's shorter side as the stamp's height (e.g. 3%), or pixels as --font-size");
    cmd->add_option("--margin", o->Margin,
                    "Offset from the anchor's sides on both axes: N pixels, or N% of the shorter side");
    cmd->add_option("--outline", o->Outline,
                    "Ring the glyphs in colour RRGGBB (without one: black or white, against the text colour)")
        ->expected(0, 1);
    cmd->add_option("--shadow", o->Shadow, "A soft shadow under the glyphs in colour RRGGBB (default black)")
        ->expected(0, 1);
    cmd->add_option("-q,--quality", o->Quality, "JPEG quality 0..100 (default " + std::to_string(start.Quality) + ")")
        ->check(CLI::Range(0, 100));
    cmd->add_option("--mask", o->NamingMask, "Naming mask of the outputs (default \"" + start.NamingMask + "\")");
    cmd->add_flag("--keep-names", o->KeepNames, "Name each output after its source, replacing earlier ones");
    cmd->add_flag("--lossless", o->Lossless,
                  "Code only the MCUs under the stamp again, every other block kept bit for bit (baseline JPEGs; "
                  "any other is re-encoded at the quality)");
    AddSwitch(cmd, "exif", o->Exif, "Carry the source's EXIF block over (default on; off in the internet preset)");
    cmd->add_option("--correct", o->Correction,
                    "Time correction [+|-]HH:MM:SS for the output's name and file time (the stamp keeps the "
                    "camera's date)");
    cmd->add_option("-j,--jobs", o->Jobs, "Pictures worked on at once (default: the number of cores)")
        ->check(CLI::Range(1, 256));
    cmd->add_flag("-n,--dry-run", o->DryRun,
                  "List what would be written, write nothing (with --lossless each file's stamp is made in memory "
                  "to tell its way)");
    cmd->add_flag("-k,--keep-going", o->KeepGoing,
                  "Report a file that fails and go on with the next (exit status 1 at the end)");
    cmd->add_flag("--skip-existing", o->SkipExisting,
                  "Pass over the photos an earlier run made outputs of (same name, size and time) while those "
                  "outputs are still in Dated: a rerun after an interrupted run");
    return [o] { return RunStamp(*o); };
}

}  // namespace morvik::cli
