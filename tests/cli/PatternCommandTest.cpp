// morvik-cli pattern: a PDF and a preview of the asked size, refusals with a clear message
// and no file.
#include "cli/CliRunner.h"
#include "support/TestSupport.h"
#include "support/ViewerOracle.h"

#include "stamping/Jpeg.h"

#include <gtest/gtest.h>

namespace morvik {
namespace {

TEST(PatternCommand, WritesAPdfAndPreviewOrRefusesWithoutWriting)
{
    test::TempDir dir;
    Picture source(64, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            source.SetPixel(x, y, RgbColor(uint8_t(x * 4), uint8_t(y * 5), 90));
    SaveJpegFile(source, 95, (dir / "pic.jpg").string());
    test::WriteFile(dir / "notjpeg.jpg", "plain text");

    auto run = test::RunCli("pattern pic.jpg -w 40 -k 12 --clean -o p.pdf --preview p.png", dir.path(),
                            test::Stderr::Joined);
    ASSERT_EQ(run.Status, 0) << run.Out;
    EXPECT_NE(run.Out.find("40 x 30 stitches"), std::string::npos) << run.Out;
    EXPECT_EQ(test::ReadFile(dir / "p.pdf").substr(0, 5), "%PDF-");
    EXPECT_EQ(test::ReadFile(dir / "p.png").substr(1, 3), "PNG");
    run = test::RunCli("pattern pic.jpg --size 10x5 --fabric 18 --scheme anchor -o cm.pdf", dir.path(),
                       test::Stderr::Joined);
    EXPECT_NE(run.Out.find("71 x 35 stitches"), std::string::npos) << run.Out;
    // A photo stored turned is charted as a viewer shows it: 64×48 stored, 48×64 shown.
    test::WriteFile(dir / "turned.jpg", test::WithOrientation(test::ReadFile(dir / "pic.jpg"), 6));
    run = test::RunCli("pattern turned.jpg -w 30 -o turned.pdf", dir.path(), test::Stderr::Joined);
    EXPECT_NE(run.Out.find("30 x 40 stitches"), std::string::npos) << run.Out;

    struct Case { const char* args; int status; const char* says; };
    const Case refusals[] = {
        {"pattern pic.jpg -w 0 -o bad.pdf", 1, "от 1 до 1000"},
        {"pattern pic.jpg -w 1001 -o bad.pdf", 1, "от 1 до 1000"},
        {"pattern pic.jpg -k 0 -o bad.pdf", 1, "от 1 до 250"},
        {"pattern pic.jpg -k 251 -o bad.pdf", 1, "от 1 до 250"},
        {"pattern pic.jpg --size 10 -o bad.pdf", 2, "30x20"},
        {"pattern pic.jpg --scheme coats -o bad.pdf", 2, "coats"},
        {"pattern notjpeg.jpg -o bad.pdf", 1, "JPEG"},
        {"pattern pic.jpg -o missing/bad.pdf", 1, "missing/bad.pdf"},
        {"pattern pic.jpg -o bad.pdf --preview missing/bad.png", 1, "missing/bad.png"},
        {"pattern pic.jpg -o bad.pdf --preview ./bad.pdf", 1, "два имени"},
        {"pattern pic.jpg -o ./pic.jpg", 1, "сама картинка"},
    };
    for (const auto& c : refusals) {
        run = test::RunCli(c.args, dir.path(), test::Stderr::Joined);
        EXPECT_EQ(run.Status, c.status) << c.args;
        EXPECT_NE(run.Out.find(c.says), std::string::npos) << c.args << ": " << run.Out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.pdf"));
    EXPECT_EQ(test::ReadFile(dir / "pic.jpg").substr(0, 2), "\xFF\xD8");  // the picture itself untouched
}

}  // namespace
}  // namespace morvik
