#pragma once
// Each subcommand of morvik-cli registers itself on the application and runs when chosen.
#include <CLI/CLI.hpp>

#include <functional>

namespace morvik::cli {

// The exit status of the chosen subcommand: 0 success, 1 a failure, 2 a usage error.
using CommandRunner = std::function<int()>;

CommandRunner AddInfoCommand(CLI::App& app);
CommandRunner AddStampCommand(CLI::App& app);
CommandRunner AddMosaicCommand(CLI::App& app);
CommandRunner AddPatternCommand(CLI::App& app);

}  // namespace morvik::cli
