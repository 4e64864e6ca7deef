#include "cli/Commands.h"

#include <iostream>

namespace morvik::cli {

CommandRunner AddInfoCommand(CLI::App& app)
{
    app.add_subcommand("info", "(not built yet)");
    return [] {
        std::cerr << "morvik-cli info: not built yet\n";
        return 1;
    };
}

}  // namespace morvik::cli
