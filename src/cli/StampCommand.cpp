#include "cli/Commands.h"

#include <iostream>

namespace morvik::cli {

CommandRunner AddStampCommand(CLI::App& app)
{
    app.add_subcommand("stamp", "(not built yet)");
    return [] {
        std::cerr << "morvik-cli stamp: not built yet\n";
        return 1;
    };
}

}  // namespace morvik::cli
