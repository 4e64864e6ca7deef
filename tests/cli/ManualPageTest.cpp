// Every subcommand of morvik-cli, and every option its --help lists, is in the manual page.
#include "cli/CliRunner.h"
#include "support/ManualPage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace morvik {
namespace {

TEST(ManualPage, CoversEverySubcommandAndOptionOfTheHelp)
{
    const std::string page = test::ManualText(test::ReadFile(MORVIK_SOURCE_DIR "/packaging/man/morvik-cli.1"));
    const auto top = test::RunCli("--help");
    ASSERT_EQ(top.Status, 0);
    const std::vector<std::string> subcommands = test::HelpSection(top.Out, "Subcommands:");
    ASSERT_GE(subcommands.size(), 3u) << top.Out;
    for (const std::string& option : test::HelpOptions(top.Out))
        EXPECT_TRUE(test::Mentions(page, option))
            << "option " << option << " of `morvik-cli --help` is missing from packaging/man/morvik-cli.1";
    for (const std::string& sub : subcommands) {
        EXPECT_TRUE(test::Mentions(page, "morvik-cli " + sub))
            << "subcommand " << sub << " is missing from packaging/man/morvik-cli.1";
        const auto help = test::RunCli(sub + " --help");
        ASSERT_EQ(help.Status, 0) << sub;
        const std::vector<std::string> options = test::HelpOptions(help.Out);
        EXPECT_GE(options.size(), 2u) << help.Out;
        for (const std::string& option : options)
            EXPECT_TRUE(test::Mentions(page, option)) << "option " << option << " of `morvik-cli " << sub
                                                      << " --help` is missing from packaging/man/morvik-cli.1";
    }
}

TEST(Version, CliPrintsTheProjectsVersion)
{
    const auto run = test::RunCli("--version");
    EXPECT_EQ(run.Status, 0);
    const std::string cmake = test::ReadFile(MORVIK_SOURCE_DIR "/CMakeLists.txt");
    const std::smatch version = [&] {
        std::smatch m;
        std::regex_search(cmake, m, std::regex(R"(project\(Morvik VERSION ([0-9.]+))"));
        return m;
    }();
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(run.Out, "morvik-cli " + version[1].str() + "\n");
}

}  // namespace
}  // namespace morvik
