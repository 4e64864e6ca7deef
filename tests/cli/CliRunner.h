#pragma once
// Runs the built morvik-cli as a user would, through the shell, and collects what it says.
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace morvik::test {

struct CliRun {
    int Status = -1;
    std::string Out;
};

enum class Stderr { Dropped, Joined };

// Runs `morvik-cli <args>` (args already quoted for the shell) under the given locale (the
// C locale unless told), in `folder` when one is given; stderr is dropped or joined to stdout.
// `before` is a shell command run first in the same shell (a ulimit, say).
inline CliRun RunCli(const std::string& args, const std::filesystem::path& folder = {},
                     Stderr errors = Stderr::Dropped, const std::string& locale = "C",
                     const std::string& before = {})
{
    std::string command;
    if (!before.empty())
        command = before + " && ";
    if (!folder.empty())
        command += "cd '" + folder.string() + "' && ";
    command += "LC_ALL=" + locale + " '" + std::string(MORVIK_CLI_PATH) + "' " + args;
    command += errors == Stderr::Joined ? " 2>&1" : " 2>/dev/null";
    CliRun run;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0)
        run.Out.append(buf.data(), n);
    const int status = ::pclose(pipe);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace morvik::test
