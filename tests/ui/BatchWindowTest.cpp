// `morvik --batch`: the paths a file manager passes made into runs, the compact window's run
// and result, and the command line against its manual page.
#include "UiTestSupport.h"

#include "stamping/Jpeg.h"
#include "support/ManualPage.h"
#include "support/TestSupport.h"
#include "ui/BatchWindow.h"
#include "ui/ProgramOptions.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace morvik;
using namespace morvik::test;
namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

TEST(BatchWindow, FoldersRunWholeAndFilesJoinTheRunOfTheirFolder)
{
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    for (auto n : {"a/1.jpg", "a/2.jpg", "b/3.jpg"})
        WriteFile(dir / n, "x");
    QStringList missing;
    const auto jobs = ui::BatchJobs({Q(dir / "a/1.jpg"), Q(dir / "b") + "/", Q(dir / "gone"), Q(dir / "a/2.jpg"),
                                     Q(dir / "b/3.jpg")},
                                    missing);
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[0].Folder, (dir / "a").string());
    EXPECT_EQ(jobs[0].Names, (std::vector<std::string>{"1.jpg", "2.jpg"}));
    EXPECT_EQ(jobs[1].Folder, (dir / "b").string());
    EXPECT_TRUE(jobs[1].Names.empty());
    EXPECT_EQ(jobs[2].Names, (std::vector<std::string>{"3.jpg"}));
    EXPECT_EQ(missing, QStringList{Q(dir / "gone")});
}

TEST(BatchWindow, StampsThePickedFilesAndTellsTheResult)
{
    TempDir dir;
    Picture picture(64, 48);
    for (auto n : {"picked.jpg", "left.jpg"})
        SaveJpegFile(picture, 90, (dir / n).string());
    WriteFile(dir / "notes.txt", "x");
    struct Case {
        QStringList paths;
        int status;
        size_t outputs;     // files in Dated afterwards
        const char* logs;   // a line the list shows
    };
    const Case cases[] = {
        {{Q(dir / "picked.jpg"), Q(dir / "notes.txt")}, 0, 1, "notes.txt"},
        {{Q(dir.path()), Q(dir / "gone")}, 1, 3, "gone"},
    };
    for (const Case& c : cases) {
        ui::TBatchWindow window;
        EXPECT_EQ(window.Run(c.paths), c.status) << c.paths.join(' ').toStdString();
        size_t outputs = 0;
        for ([[maybe_unused]] auto& e : fs::directory_iterator(dir / "Dated"))
            ++outputs;
        EXPECT_EQ(outputs, c.outputs);
        EXPECT_TRUE(window.Log->toPlainText().contains(QString::fromUtf8(c.logs))) << window.Log->toPlainText().toStdString();
        EXPECT_EQ(window.Button->text(), QStringLiteral("Закрыть"));
        EXPECT_FALSE(window.Status->text().isEmpty());
    }
}

TEST(BatchWindow, EveryOptionOfTheHelpIsInTheManualPage)
{
    const std::string page = ManualText(ReadFile(MORVIK_SOURCE_DIR "/packaging/man/morvik.1"));
    const std::vector<std::string> options = HelpOptions(ui::ProgramHelpText().toStdString());
    EXPECT_GE(options.size(), 3u);
    for (const std::string& option : options)
        EXPECT_TRUE(Mentions(page, option)) << "option " << option
                                            << " of `morvik --help` is missing from packaging/man/morvik.1";
    struct Case { QStringList args; ui::ProgramAction action; };
    const Case cases[] = {
        {{"morvik"}, ui::ProgramAction::OpenWindow},
        {{"morvik", "a.jpg"}, ui::ProgramAction::OpenWindow},
        {{"morvik", "--batch", "a", "b.jpg"}, ui::ProgramAction::Batch},
        {{"morvik", "--batch"}, ui::ProgramAction::UsageError},
        {{"morvik", "a.jpg", "b.jpg"}, ui::ProgramAction::UsageError},
        {{"morvik", "--bogus"}, ui::ProgramAction::UsageError},
        {{"morvik", "--version"}, ui::ProgramAction::Version},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::ParseProgramOptions(c.args).Action, c.action) << c.args.join(' ').toStdString();
}

}  // namespace
