// morvik-cli mosaic: a chart of the right size, refusals with a clear message and no file.
#include "cli/CliRunner.h"
#include "support/TestSupport.h"

#include "stamping/Jpeg.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace morvik {
namespace {

TEST(MosaicCommand, WritesAChartOrRefusesWithoutWriting)
{
    test::TempDir dir;
    Picture source(5, 4);
    source.SetPixel(0, 0, RgbColor(200, 10, 10));
    SaveJpegFile(source, 95, (dir / "pic.jpg").string());

    auto run = test::RunCli("mosaic pic.jpg -n 4", dir.path(), test::Stderr::Joined);
    ASSERT_EQ(run.Status, 0) << run.Out;
    const Picture chart = DecodeJpegFile((dir / "pic_mosaic.jpg").string());
    EXPECT_EQ(chart.Width(), 20);
    EXPECT_EQ(chart.Height(), 16);

    // A header that claims far more than its data holds, and a pipe no one writes to.
    std::filesystem::copy_file(test::TestDataDir() / "regressions" / "fuzz_picture_decode" /
                                   "progressive-16383x16383-claimed-over-few-bytes.jpg",
                               dir / "bomb.jpg");
    ASSERT_EQ(::mkfifo((dir / "fifo.jpg").c_str(), 0644), 0);
    struct Case { const char* args; int status; const char* says; };
    const Case refusals[] = {
        {"mosaic pic.jpg -n 0 -o zero.jpg", 1, "больше нуля"},
        {"mosaic pic.jpg -n 20000 -o big.jpg", 1, "65500"},
        {"mosaic bomb.jpg -n 1 -o bomb_chart.jpg", 1, "cannot hold a picture of 16383 x 16383"},
        {"mosaic fifo.jpg -o fifo_chart.jpg", 1, "Not a regular file"},
        {"mosaic missing.jpg", 2, "missing.jpg"},
        {"mosaic pic.jpg -q 101", 2, "101"},
        {"mosaic pic.jpg -o ./pic.jpg", 1, "сама картинка"},
    };
    for (const auto& c : refusals) {
        run = test::RunCli(c.args, dir.path(), test::Stderr::Joined);
        EXPECT_EQ(run.Status, c.status) << c.args;
        EXPECT_NE(run.Out.find(c.says), std::string::npos) << c.args << ": " << run.Out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "zero.jpg"));
    EXPECT_FALSE(std::filesystem::exists(dir / "big.jpg"));
    EXPECT_EQ(DecodeJpegFile((dir / "pic.jpg").string()).Width(), 5);  // the picture is left as it was
}

}  // namespace
}  // namespace morvik
