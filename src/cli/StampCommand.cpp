// morvik-cli stamp: the folder batch from a terminal. Every setting of the window is an
// option, starting from the window's start values; the run writes into FOLDER/Dated.
#include "cli/Commands.h"

#include "platform/DateMask.h"
#include "platform/DateTime.h"
#include "platform/Exceptions.h"
#include "stamping/FolderBatch.h"
#include "stamping/StampSettings.h"
#include "stamping/TimeCorrection.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
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
    std::optional<int> Quality;
    std::optional<std::string> NamingMask;
    bool KeepNames = false;
    std::optional<bool> Exif;
    std::optional<std::string> Correction;
    bool KeepGoing = false;
    int Jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    bool DryRun = false;
};

// "#RRGGBB" or "RRGGBB" as a stored colour value (0x00BBGGRR).
std::optional<TColor> ParseColor(std::string text)
{
    if (!text.empty() && text[0] == '#')
        text.erase(0, 1);
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    const unsigned long rgb = std::stoul(text, nullptr, 16);
    return RgbColor(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>((rgb >> 8) & 0xFF),
                    static_cast<uint8_t>(rgb & 0xFF));
}

const std::map<std::string, int> kPresetNames = {
    {"standard", 0}, {"storage", 1}, {"internet", 2}, {"0", 0}, {"1", 1}, {"2", 2}};
const std::map<std::string, int> kDateSourceNames = {
    {"datetime", 0}, {"original", 1}, {"digitized", 2}, {"0", 0}, {"1", 1}, {"2", 2}};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The window's start values, then the preset, then each option given.
TBatchControls ControlsFromOptions(const StampOptions& o)
{
    TBatchControls b;
    b.Settings = StampSettings{};
    if (!o.Preset.empty())
        ApplyPreset(kPresetNames.at(o.Preset), b.Controls, b.Settings);
    if (!o.DateSource.empty())
        b.Settings.DateSource = kDateSourceNames.at(o.DateSource);
    if (o.OwnText) {
        b.Settings.DateMode = false;
        b.Controls.OwnText = *o.OwnText;
    }
    StampLook& look = b.Controls.Look;
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
    if (o.TextColor) {
        auto c = ParseColor(*o.TextColor);
        if (!c)
            throw UsageError("--color: not a colour RRGGBB: " + *o.TextColor);
        look.TextColor = *c;
    }
    if (o.BackgroundColor) {
        auto c = ParseColor(*o.BackgroundColor);
        if (!c)
            throw UsageError("--background: not a colour RRGGBB: " + *o.BackgroundColor);
        look.BackgroundColor = *c;
    }
    if (o.Transparent)
        SwitchTransparent(b.Settings, look);
    if (o.Quality)
        b.Controls.Quality = *o.Quality;
    if (o.NamingMask)
        b.Controls.NamingMask = *o.NamingMask;
    if (o.Exif)
        b.Controls.ExifCarryOver = *o.Exif;
    if (o.KeepNames)
        b.Controls.RenameTicked = false;
    if (o.Correction) {
        std::string text = *o.Correction;
        b.Controls.CorrectionDirection = 0;
        if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
            b.Controls.CorrectionDirection = text[0] == '+' ? 0 : 1;
            text.erase(0, 1);
        }
        if (text.size() == 7)
            text.insert(0, "0");  // "2:00:00" as the time editor holds it
        b.Controls.CorrectionOn = true;
        b.Controls.CorrectionText = text;
        // The batch uses the correction only for the names it makes: with --keep-names it is
        // never computed, so a text that does not convert is no error there.
        if (b.Controls.RenameTicked) {
            try {
                CorrectionFromText(text);
            } catch (const EConvertError& e) {
                throw UsageError(std::string("--correct: ") + e.what());
            }
        }
    }
    return b;
}

// Progress on a terminal as one bar redrawn in place; elsewhere one line per file.
class CliObserver : public TBatchObserver {
public:
    CliObserver(TBatchControls controls, bool dryRun)
        : controls_(std::move(controls)), dryRun_(dryRun), terminal_(::isatty(STDOUT_FILENO) == 1)
    {
    }

    TBatchControls CurrentControls() override { return controls_; }
    void BatchStarted(int fileCount) override
    {
        total_ = fileCount;
        std::cout << "Всего файлов:" << fileCount << "\n" << std::flush;
    }
    void FileStarted(const std::string& name) override { name_ = name; }
    void FileCounted(int runCounter, int) override { count_ = runCounter; }
    void FileWritten(const std::string& outputPath) override
    {
        if (terminal_ && !dryRun_) {
            DrawBar();
        } else {
            std::cout << count_ << "/" << total_ << "  " << name_ << (dryRun_ ? " -> " : " => ") << outputPath
                      << "\n" << std::flush;
        }
    }
    void FileFailed(const std::string&, const std::string& message) override
    {
        EndBar();
        std::cerr << message << "\n" << std::flush;
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

    void DrawBar()
    {
        barShown_ = true;
        constexpr int width = 30;
        const int filled = total_ > 0 ? count_ * width / total_ : width;
        std::string bar(static_cast<size_t>(filled), '#');
        bar.resize(width, '.');
        std::string shown = name_.size() > 40 ? name_.substr(0, 37) + "..." : name_;
        std::cout << "\r[" << bar << "] " << count_ << "/" << total_ << "  " << shown << "\033[K" << std::flush;
    }

    TBatchControls controls_;
    bool dryRun_;
    bool terminal_;
    int total_ = 0;
    int count_ = 0;
    bool barShown_ = false;
    std::string name_;
};

int RunStamp(const StampOptions& o)
{
    TBatchControls controls;
    try {
        controls = ControlsFromOptions(o);
    } catch (const UsageError& e) {
        std::cerr << "morvik-cli stamp: " << e.what() << "\n";
        return 2;
    }
    TBatchOptions options;
    options.RenameByMask = controls.Controls.RenameTicked;
    options.Jobs = o.Jobs;
    options.DryRun = o.DryRun;
    options.KeepGoing = o.KeepGoing;
    CliObserver observer(controls, o.DryRun);
    g_interrupted = false;
    auto previous = std::signal(SIGINT, OnInterrupt);
    const TDateTime start = Now();
    TBatchResult result;
    try {
        result = RunFolderBatch(o.Folder, options, observer);
    } catch (const std::exception& e) {
        std::signal(SIGINT, previous);
        observer.Finish();
        std::cerr << e.what() << "\n";
        return 1;
    }
    std::signal(SIGINT, previous);
    observer.Finish();
    std::cout << FormatDateTime(kDurationMask, Now() - start) << "\n";
    if (!o.DryRun)
        std::cout << kFinishedMessage << "\n";
    if (!result.Failures.empty()) {
        std::cerr << result.Failures.size() << " of " << result.FileCount << " files failed\n";
        return 1;
    }
    return 0;
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
        "stamp", "Stamp every *.jpg of FOLDER with its date (or a text) into FOLDER/Dated");
    cmd->add_option("folder", o->Folder, "Folder of the photos")->required()->check(CLI::ExistingDirectory);
    cmd->add_option("--preset", o->Preset,
                    "Apply a preset first: standard (Стандартные), storage (Для Хранения), internet (Для Интернета)")
        ->check(CLI::IsMember({"standard", "storage", "internet", "0", "1", "2"}));
    cmd->add_option("--date-source", o->DateSource,
                    "EXIF date that dates a photo: datetime, original (the default) or digitized")
        ->check(CLI::IsMember({"datetime", "original", "digitized", "0", "1", "2"}));
    cmd->add_option("--text", o->OwnText, "Stamp this text instead of the date");
    cmd->add_option("-x,--x", o->X, "Left of the stamp in picture pixels (default 0)");
    cmd->add_option("-y,--y", o->Y, "Top of the stamp in picture pixels (default 0)");
    cmd->add_option("--font", o->FontName, "Font family (default \"Futura Md BT\")");
    cmd->add_option("--font-size", o->FontHeight, "Character height in pixels (default 11)")
        ->check(CLI::Range(1, 2000));
    AddSwitch(cmd, "bold", o->Bold, "Bold face (default on)");
    AddSwitch(cmd, "italic", o->Italic, "Italic face (default on)");
    cmd->add_option("--color", o->TextColor, "Text colour RRGGBB (default 8080FF)");
    cmd->add_option("--background", o->BackgroundColor, "Background colour RRGGBB (default FFFFFF)");
    cmd->add_flag("--transparent", o->Transparent, "No background behind the text");
    cmd->add_option("-q,--quality", o->Quality, "JPEG quality 0..100 (default 80)")->check(CLI::Range(0, 100));
    cmd->add_option("--mask", o->NamingMask, "Naming mask of the outputs (default \"yy.mm.dd  hh_nn_ss\")");
    cmd->add_flag("--keep-names", o->KeepNames, "Name each output after its source, replacing earlier ones");
    AddSwitch(cmd, "exif", o->Exif, "Carry the source's EXIF block over (default on; off in the internet preset)");
    cmd->add_option("--correct", o->Correction,
                    "Time correction [+|-]HH:MM:SS for the output's name and file time (the stamp keeps the "
                    "camera's date)");
    cmd->add_option("-j,--jobs", o->Jobs, "Pictures worked on at once (default: the number of cores)")
        ->check(CLI::Range(1, 256));
    cmd->add_flag("-n,--dry-run", o->DryRun, "List what would be written, write nothing");
    cmd->add_flag("-k,--keep-going", o->KeepGoing,
                  "Report a file that fails and go on with the next (exit status 1 at the end)");
    return [o] { return RunStamp(*o); };
}

}  // namespace morvik::cli
