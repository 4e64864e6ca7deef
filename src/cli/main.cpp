// morvik-cli: the metadata report, the folder batch and the mosaic chart from a terminal.
#include "cli/Commands.h"

#include "platform/FormatSettings.h"

#include <iostream>
#include <vector>

int main(int argc, char** argv)
{
    morvik::FillFormatSettingsFromLocale();
    CLI::App app{"Morvik: dates and texts stamped into JPEG photographs", "morvik-cli"};
    app.require_subcommand(1);
    std::vector<std::pair<CLI::App*, morvik::cli::CommandRunner>> commands;
    auto add = [&](morvik::cli::CommandRunner (*adder)(CLI::App&)) {
        const size_t before = app.get_subcommands({}).size();
        auto runner = adder(app);
        auto subs = app.get_subcommands({});
        if (subs.size() > before)
            commands.emplace_back(subs.back(), std::move(runner));
    };
    add(&morvik::cli::AddInfoCommand);
    add(&morvik::cli::AddStampCommand);
    add(&morvik::cli::AddMosaicCommand);
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
