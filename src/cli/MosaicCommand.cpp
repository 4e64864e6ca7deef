// morvik-cli mosaic: the cross-stitch chart of a picture, saved as a plain JPEG, with the
// same engine and defaults as the mosaic window (cell size 3, quality 70).
#include "cli/Commands.h"

#include "platform/DateMask.h"
#include "platform/DateTime.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "stamping/Jpeg.h"
#include "stamping/Mosaic.h"

#include <iostream>
#include <memory>

namespace morvik::cli {

namespace {

struct MosaicOptions {
    std::string Input;
    std::string Output;
    int CellSize = 3;
    int Quality = 70;
};

// INPUT.jpg -> INPUT_mosaic.jpg beside it.
std::string DefaultOutput(const std::string& input)
{
    const size_t slash = input.find_last_of('/');
    const size_t dot = input.find_last_of('.');
    const std::string stem = (dot == std::string::npos || (slash != std::string::npos && dot < slash))
                                 ? input
                                 : input.substr(0, dot);
    return stem + "_mosaic.jpg";
}

int RunMosaic(const MosaicOptions& options)
{
    try {
        const TDateTime started = Now();
        // The chart may replace a file of its name, never the picture it is made of.
        const std::string output = options.Output.empty() ? DefaultOutput(options.Input) : options.Output;
        if (SameFile(output, options.Input))
            throw EInOutError("\"" + output + "\" — это сама картинка: схема пишется в другой файл");
        // The chart's size is known from the header: a chart that cannot be made is refused
        // before the picture is decoded, and so is a chart that would not fit beside it.
        JpegDecoder decoder = JpegDecoder::FromFile(options.Input);
        const ChartSize size = CheckMosaicChartSize(decoder.Width(), decoder.Height(), options.CellSize);
        CheckPictureFits(size.Width, size.Height, decoder.DecodeBytes());
        const Picture source = decoder.Decode();
        std::cout << source.Width() << " x " << source.Height() << " -> " << size.Width << " x " << size.Height
                  << "\n";
        const MosaicResult result = BuildMosaicChart(source, options.CellSize);
        SaveJpegFile(result.Chart, options.Quality, output);
        std::cout << output << "\n" << FormatDateTime("Заняло hh:nn:ss", Now() - started) << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}

}  // namespace

CommandRunner AddMosaicCommand(CLI::App& app)
{
    auto options = std::make_shared<MosaicOptions>();
    auto* cmd = app.add_subcommand("mosaic", "Turn a JPEG picture into a cross-stitch chart");
    cmd->add_option("input", options->Input, "JPEG picture")->required()->check(CLI::ExistingFile);
    cmd->add_option("-o,--output", options->Output, "Chart file (default: INPUT_mosaic.jpg beside the picture)");
    cmd->add_option("-n,--cell", options->CellSize, "Cell size in pixels (default 3)");
    cmd->add_option("-q,--quality", options->Quality, "JPEG quality 0..100 (default 70)")
        ->check(CLI::Range(0, 100));
    return [options] { return RunMosaic(*options); };
}

}  // namespace morvik::cli
