#include "cli/Commands.h"

#include <iostream>

namespace morvik::cli {

CommandRunner AddMosaicCommand(CLI::App& app)
{
    app.add_subcommand("mosaic", "(not built yet)");
    return [] {
        std::cerr << "morvik-cli mosaic: not built yet\n";
        return 1;
    };
}

}  // namespace morvik::cli
