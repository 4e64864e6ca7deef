// Every input a fuzzer ever broke a rule with, kept in tests/data/regressions/<target>/,
// replayed through the same target code; the sanitizer build catches memory faults.
// The seed corpus of each target is replayed too, as a quick pass over good input.
#include "fuzz/FuzzTargets.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace morvik {
namespace {

namespace fs = std::filesystem;

int ReplayFolder(const fs::path& root)
{
    int replayed = 0;
    if (!fs::is_directory(root))
        return 0;
    for (auto& folder : fs::directory_iterator(root)) {
        const std::string target = folder.path().filename().string();
        const fuzz::Target run = fuzz::FindTarget(target);
        EXPECT_NE(run, nullptr) << "no fuzz target named " << target;
        if (!run)
            continue;
        for (auto& file : fs::directory_iterator(folder.path())) {
            const char* broken = run(test::ReadFile(file.path()));
            EXPECT_EQ(broken, nullptr) << file.path() << ": " << broken;
            ++replayed;
        }
    }
    return replayed;
}

TEST(FuzzRegressionTest, RegressionFilesPassTheirTargets)
{
    test::ScopedFormatSettings fixed(TFormatSettings{});  // the settings the fuzz targets run with
    const int n = ReplayFolder(test::TestDataDir() / "regressions");
    RecordProperty("replayed", n);
}

TEST(FuzzRegressionTest, SeedCorpusPassesItsTargets)
{
    test::ScopedFormatSettings fixed(TFormatSettings{});
    EXPECT_GT(ReplayFolder(fs::path(MORVIK_SOURCE_DIR) / "fuzz" / "corpus"), 0);
}

}  // namespace
}  // namespace morvik
