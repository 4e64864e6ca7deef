// morvik-cli pattern: a cross-stitch pattern of a picture as a printable PDF, and
// optionally a PNG of the stitched result, with the same engine as the mosaic window.
#include "cli/Commands.h"

#include "pattern/Pattern.h"
#include "pattern/PatternPdf.h"
#include "platform/FileSystem.h"
#include "stamping/Heif.h"
#include "stamping/Jpeg.h"
#include "stamping/Orientation.h"
#include "stamping/PhotoDate.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

namespace morvik::cli {

namespace {

struct PatternOptions {
    std::string Input;
    std::string Output;
    std::string Preview;
    std::string Size;  // "WxH" in centimetres
    std::string Paper = "a4";
    std::string Scheme = "dmc";
    PatternSettings Settings;
};

// The picture a pattern is made of: a HEIF by its name, anything else as a JPEG.
Picture ReadPicture(const std::string& path)
{
    if (IsHeifName(path))
        return DecodeHeif(ReadHeifFile(path), path).Pixels;
    // A JPEG is charted as a viewer shows it, turned upright by its EXIF Orientation.
    return DisplayedPicture(DecodeJpegFile(path), PhotoOrientation(path));
}

// "30x20", "30x20.5", "30×20" in centimetres.
bool ParseSizeCm(const std::string& text, double& width, double& height)
{
    std::string t = text;
    for (const std::string cross : {"×", "X", "*"})
        for (size_t at; (at = t.find(cross)) != std::string::npos;)
            t.replace(at, cross.size(), "x");
    char tail = 0;
    return std::sscanf(t.c_str(), "%lfx%lf%c", &width, &height, &tail) == 2 && width > 0 && height > 0;
}

// The outputs may replace files of their names, never the picture they are made of, nor
// each other.
void CheckOutputNames(const PatternOptions& options)
{
    for (const std::string* out : {&options.Output, &options.Preview})
        if (!out->empty() && SameFile(*out, options.Input))
            throw EInOutError("\"" + *out + "\" — это сама картинка: схема пишется в другой файл");
    if (!options.Preview.empty() && SameFile(options.Output, options.Preview))
        throw EInOutError("Схема и картинка вышивки в одном файле \"" + options.Output + "\": нужны два имени");
}

// The PDF and the preview are published together: both are written whole under hidden
// names first, so that a preview that cannot be written leaves no PDF behind either.
void WriteOutputs(const PatternOptions& options, const std::string& pdf, const std::string& png)
{
    ReplacingFile pdfFile(options.Output);
    std::optional<ReplacingFile> pngFile;
    if (!options.Preview.empty())
        pngFile.emplace(options.Preview);
    pdfFile.Write(pdf);
    if (pngFile)
        pngFile->Write(png);
    pdfFile.Replace();
    if (pngFile)
        pngFile->Replace();
}

int RunPattern(PatternOptions options)
{
    try {
        if (!options.Size.empty() && !ParseSizeCm(options.Size, options.Settings.WidthCm, options.Settings.HeightCm)) {
            std::cerr << "Размер \"" << options.Size << "\" не в виде ШИРИНАxВЫСОТА в сантиметрах (30x20)\n";
            return 2;
        }
        CheckOutputNames(options);
        options.Settings.Maker = *ThreadMakerFromKey(options.Scheme);
        const ThreadScheme scheme = LoadThreadScheme(options.Settings.Maker);
        const Picture picture = ReadPicture(options.Input);
        const Pattern pattern = BuildPattern(picture, options.Settings, scheme);
        const PaperSize paper = options.Paper == "letter" ? PaperSize::Letter : PaperSize::A4;
        const std::string pdf = RenderPatternPdf(pattern, paper, "Схема для вышивки");
        const std::string png =
            options.Preview.empty() ? std::string() : EncodePng(PatternPreview(pattern, PreviewStitchPixels(pattern)));
        WriteOutputs(options, pdf, png);
        char size[80];
        std::snprintf(size, sizeof size, "%.1f x %.1f", FinishedCm(pattern.Width, pattern.Fabric),
                      FinishedCm(pattern.Height, pattern.Fabric));
        std::cout << pattern.Width << " x " << pattern.Height << " stitches, " << pattern.Threads.size() << " "
                  << scheme.Title << " threads, " << size << " cm on " << pattern.Fabric << "-count Aida\n"
                  << options.Output << "\n";
        if (!options.Preview.empty())
            std::cout << options.Preview << "\n";
        return 0;
    } catch (const std::exception& e) {
        // Every failure (a setting out of range, a scheme or picture that cannot be read,
        // an output that cannot be written) ends the run with its message; the writers
        // leave no partial file.
        std::cerr << e.what() << "\n";
        return 1;
    }
}

}  // namespace

CommandRunner AddPatternCommand(CLI::App& app)
{
    auto options = std::make_shared<PatternOptions>();
    auto* cmd = app.add_subcommand("pattern", "Turn a JPEG or HEIF picture into a cross-stitch pattern (PDF)");
    cmd->add_option("input", options->Input, "JPEG or HEIF picture")->required()->check(CLI::ExistingFile);
    cmd->add_option("-o,--output", options->Output, "Pattern PDF")->required();
    cmd->add_option("--preview", options->Preview, "PNG of the stitched result");
    auto* width = cmd->add_option("-w,--width", options->Settings.Width, "Width in stitches (default 120)");
    auto* size = cmd->add_option("--size", options->Size, "Finished size WxH in cm, instead of --width");
    width->excludes(size);
    cmd->add_option("--fabric", options->Settings.Fabric, "Aida count, stitches per inch (default 14)");
    cmd->add_option("-k,--threads", options->Settings.Threads, "Most threads (colours) to use, 1..250 (default 30)");
    cmd->add_option("--scheme", options->Scheme, "Threads: dmc, anchor or madeira (default dmc)")
        ->check(CLI::IsMember({"dmc", "anchor", "madeira"}));
    cmd->add_option("--strands", options->Settings.Strands, "Strands stitched together (default 2)");
    cmd->add_option("--paper", options->Paper, "a4 or letter (default a4)")->check(CLI::IsMember({"a4", "letter"}));
    cmd->add_flag("--dither", options->Settings.Dither, "Mix threads to render shades between them");
    cmd->add_flag("--clean", options->Settings.Clean, "Merge single stitches into their neighbours");
    return [options] { return RunPattern(*options); };
}

}  // namespace morvik::cli
