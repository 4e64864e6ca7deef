// morvik-cli: the metadata report, the folder batch, the mosaic chart and the cross-stitch
// pattern from a terminal.
#include "cli/Commands.h"

#include "platform/FormatSettings.h"
#include "platform/Version.h"

#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

int main(int argc, char** argv)
{
    morvik::FillFormatSettingsFromLocale();
    CLI::App app{"Morvik: dates and texts stamped into JPEG photographs", "morvik-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "morvik-cli " + std::string(morvik::kVersion));
    std::vector<std::pair<CLI::App*, morvik::cli::CommandRunner>> commands;
    auto add = [&](morvik::cli::CommandRunner (*adder)(CLI::App&)) {
        const size_t before = app.get_subcommands({}).size();
        auto runner = adder(app);
        auto subs = app.get_subcommands({});
        if (subs.size() > before)
            commands.emplace_back(subs.back(), std::move(runner));
    };
    // Only the command asked for is set up: setting up the options of all of them took as
    // long as reading some dozens of files. Without a command name first (no arguments,
    // --help, a mistyped name) all are, for the help text and the error message.
    constexpr std::pair<std::string_view, morvik::cli::CommandRunner (*)(CLI::App&)> kCommands[] = {
        {"info", &morvik::cli::AddInfoCommand},
        {"stamp", &morvik::cli::AddStampCommand},
        {"mosaic", &morvik::cli::AddMosaicCommand},
        {"pattern", &morvik::cli::AddPatternCommand},
    };
    const std::string_view first = argc > 1 ? argv[1] : "";
    for (const auto& [name, adder] : kCommands)
        if (name == first)
            add(adder);
    if (commands.empty())
        for (const auto& [name, adder] : kCommands)
            add(adder);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    for (auto& [sub, run] : commands)
        if (sub->parsed())
            return run();
    return 2;
}
