// morvik-cli: the metadata report, the folder batch and the mosaic chart from a terminal.
#include <CLI/CLI.hpp>

#include "platform/FormatSettings.h"

#include <clocale>
#include <iostream>

int main(int argc, char** argv)
{
    morvik::FillFormatSettingsFromLocale();
    CLI::App app{"Morvik: dates and texts stamped into JPEG photographs", "morvik-cli"};
    app.require_subcommand(1);
    auto* info = app.add_subcommand("info", "Show the metadata of JPEG and TIFF files");
    std::vector<std::string> files;
    bool json = false;
    info->add_option("FILE", files, "Files to read")->required();
    info->add_flag("--json", json, "Write one JSON array");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    std::cerr << "not yet\n";
    return 1;
}
