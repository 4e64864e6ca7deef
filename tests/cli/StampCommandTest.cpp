// morvik-cli stamp as a user runs it: exit codes, outputs, the dry run, and parallel jobs
// that write what one job writes.
#include "stamping/MadeRecord.h"
#include "cli/CliRunner.h"
#include "stamping/Jpeg.h"
#include "support/TestJpeg.h"
#include "support/TestSupport.h"
#include "support/ViewerOracle.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>

namespace {

namespace fs = std::filesystem;
using morvik::test::ReadFile;
using morvik::test::TempDir;

using morvik::test::CliRun;

// Runs morvik-cli with the arguments (already quoted for the shell); stderr joins stdout.
CliRun RunCli(const std::string& args) { return morvik::test::RunCli(args, {}, morvik::test::Stderr::Joined); }

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// A copy of the bundled demo photos in a fresh folder.
void CopySamples(const TempDir& dir)
{
    // The copies keep the originals' times: a photo without EXIF is named by its file time,
    // which must not depend on the moment of copying.
    for (auto& e : fs::directory_iterator(fs::path(MORVIK_SOURCE_DIR) / "samples")) {
        const fs::path copy = dir / e.path().filename().string();
        fs::copy_file(e.path(), copy);
        fs::last_write_time(copy, fs::last_write_time(e.path()));
    }
}

std::map<std::string, std::string> Outputs(const TempDir& dir)
{
    std::map<std::string, std::string> out;
    for (auto& e : fs::directory_iterator(dir / "Dated"))
        if (e.path().filename() != morvik::kMadeRecordName)
            out[e.path().filename().string()] = ReadFile(e.path());
    return out;
}

TEST(StampCommandTest, StampsTheSamplesAndReportsEachFile)
{
    TempDir dir;
    CopySamples(dir);
    const CliRun r = RunCli("stamp " + Quoted(dir.path()));
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("Всего файлов:5"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("beach_again.jpg => "), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Заняло 00:00:"), std::string::npos) << r.Out;
    const auto out = Outputs(dir);
    EXPECT_EQ(out.size(), 5u);
    EXPECT_TRUE(out.count("07.08.15  12_30_45.jpg"));
    EXPECT_TRUE(out.count("07.08.15  12_30_45photo 2.jpg"));
    ASSERT_TRUE(out.count("19.03.02  18_04_10.jpg"));
    // The EXIF block is carried over by default, right behind the start of image.
    EXPECT_EQ(out.at("19.03.02  18_04_10.jpg").substr(0, 4), "\xFF\xD8\xFF\xE1");
}

TEST(StampCommandTest, ExifSwitchAndPresetDecideTheCarryOver)
{
    struct Case { std::string options; bool exif; };
    const Case cases[] = {
        {"", true}, {"--no-exif", false}, {"--preset internet", false}, {"--preset internet --exif", true},
    };
    for (const Case& c : cases) {
        TempDir dir;
        CopySamples(dir);
        ASSERT_EQ(RunCli("stamp --keep-names " + c.options + " " + Quoted(dir.path())).Status, 0) << c.options;
        const std::string out = ReadFile(dir / "Dated" / "forest.JPG");
        EXPECT_EQ(out.find("Exif") != std::string::npos, c.exif) << c.options;
    }
}

TEST(StampCommandTest, ExitCodes)
{
    struct Case { std::string args; int status; std::string message; };
    TempDir dir;
    CopySamples(dir);
    TempDir broken;
    morvik::test::WriteFile(broken / "a.jpg", "not a picture");
    TempDir mixed;
    CopySamples(mixed);
    morvik::test::WriteFile(mixed / "cliff.jpg", "not a picture");  // the third of six
    const std::string longMask = "'" + std::string(252, '_') + "yy'";
    TempDir blocked;  // an entry named Dated that is no folder
    CopySamples(blocked);
    morvik::test::WriteFile(blocked / "Dated", "");
    TempDir damaged;  // a photo cut short in its picture data, as a card may leave it
    const std::string whole = morvik::test::EncodeTestJpeg(256, 192);
    morvik::test::WriteFile(damaged / "cut.jpg", whole.substr(0, whole.size() * 3 / 5));
    const Case cases[] = {
        {"stamp -n " + Quoted(damaged.path()), 0, "cut.jpg -> "},
        {"stamp -n " + Quoted(blocked.path()), 1, "Cannot create folder"},
        {"stamp " + Quoted(damaged.path()), 3, "(damaged: picture data ends early)\n"},
        {"stamp " + Quoted(damaged.path()), 3, "1 of 1 photos are damaged"},
        {"stamp --lossless " + Quoted(damaged.path()), 3,
         "(lossless, damaged data after the stamp kept)  (file time)  (damaged: picture data ends early)\n"},
        {"stamp", 2, "folder is required"},
        {"stamp /no/such/folder", 2, "Directory does not exist"},
        {"stamp " + Quoted(dir.path()) + " --quality 101", 2, "--quality"},
        {"stamp " + Quoted(dir.path()) + " --correct 24:00:00", 2, "'24:00:00' is not a valid date and time"},
        {"stamp " + Quoted(dir.path()) + " --color red", 2, "not a colour"},
        {"stamp " + Quoted(broken.path()), 1, "JPEG error #"},
        {"stamp -n " + Quoted(broken.path()), 1, "JPEG error #"},  // known without writing
        // The correction is used only for names made by the mask.
        {"stamp --dry-run --keep-names --correct 24:00:00 " + Quoted(dir.path()), 0, "forest.JPG -> "},
        // A dry run meets the failure a real run would.
        {"stamp --dry-run --mask " + longMask + " " + Quoted(dir.path()), 1, "File name too long"},
        {"stamp --keep-going " + Quoted(mixed.path()), 1,
         "Not a JPEG file: starts with 0x6e 0x6f (file \"" + (mixed / "cliff.jpg").string() + "\")"},
        {"stamp " + Quoted(dir.path()) + " --mask 'yy\"/\"mm'", 1, "Cannot create file"},
        {"stamp " + Quoted(dir.path()) + " --keep-names --no-exif --text Hello --transparent -q 50", 0, ""},
    };
    for (const Case& c : cases) {
        const CliRun r = RunCli(c.args);
        EXPECT_EQ(r.Status, c.status) << c.args << "\n" << r.Out;
        EXPECT_NE(r.Out.find(c.message), std::string::npos) << c.args << "\n" << r.Out;
    }
    EXPECT_TRUE(fs::exists(dir / "Dated" / "forest.JPG"));
    EXPECT_EQ(Outputs(mixed).size(), 5u);  // every photo but the broken one
}

TEST(StampCommandTest, DryRunListsAndWritesNothing)
{
    TempDir dir;
    CopySamples(dir);
    const CliRun r = RunCli("stamp --dry-run " + Quoted(dir.path()));
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("beach_again.jpg -> " + (dir / "Dated").string() + "/07.08.15  12_30_45photo 2.jpg"),
              std::string::npos)
        << r.Out;
    EXPECT_FALSE(fs::exists(dir / "Dated"));
}

TEST(StampCommandTest, MessengerPhotosAreDatedByTheirNames)
{
    TempDir dir;
    const std::string plain = morvik::test::EncodeTestJpeg(64, 48, morvik::test::JpegKind::Baseline);
    morvik::test::WriteFile(dir / "IMG-20230514-WA0003.jpg", plain);
    morvik::test::WriteFile(dir / "PXL_20230514_123456789.jpg", plain);
    morvik::test::WriteFile(dir / "DSC_0001.jpg", plain);
    const std::string dated = (dir / "Dated").string() + "/";
    const CliRun r = RunCli("stamp --dry-run --date-source auto " + Quoted(dir.path()));
    ASSERT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("IMG-20230514-WA0003.jpg -> " + dated + "23.05.14  00_00_00.jpg  (file name)\n"),
              std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("PXL_20230514_123456789.jpg -> " + dated + "23.05.14  12_34_56.jpg  (file name)\n"),
              std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("DSC_0001.jpg -> "), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find(".jpg  (file time)\n"), std::string::npos) << r.Out;
    // The album preset dates them the same way.
    EXPECT_NE(RunCli("stamp --dry-run --preset album " + Quoted(dir.path())).Out.find("00_00_00.jpg  (file name)"),
              std::string::npos);
}

TEST(StampCommandTest, LosslessTellsEachFilesWayAlsoInADryRun)
{
    TempDir dir;
    CopySamples(dir);
    morvik::test::WriteFile(dir / "zz_progressive.jpg",
                            morvik::test::EncodeTestJpeg(64, 48, morvik::test::JpegKind::Progressive));
    for (const std::string dry : {" --dry-run", ""}) {
        const CliRun r = RunCli("stamp --lossless --keep-names" + dry + " " + Quoted(dir.path()));
        ASSERT_EQ(r.Status, 0) << r.Out;
        const std::string arrow = dry.empty() ? " => " : " -> ";
        EXPECT_NE(r.Out.find("forest.JPG" + arrow + (dir / "Dated" / "forest.JPG").string() + "  (lossless)\n"),
                  std::string::npos) << r.Out;
        // A photo without EXIF is dated by its file time, and says so after its way.
        EXPECT_NE(r.Out.find("zz_progressive.jpg  (lossless, picture data coded again)  (file time)\n"),
                  std::string::npos) << r.Out;
    }
    // The source's sections stand as they were, EXIF block included.
    const std::string source = ReadFile(dir / "forest.JPG"), out = ReadFile(dir / "Dated" / "forest.JPG");
    EXPECT_EQ(out.substr(0, source.find("\xFF\xDA")), source.substr(0, source.find("\xFF\xDA")));
}

TEST(StampCommandTest, OneJobAndFourJobsWriteTheSameFiles)
{
    std::map<std::string, std::string> outputs[2];
    int k = 0;
    for (const char* jobs : {"1", "4"}) {
        TempDir dir;
        CopySamples(dir);
        for (int run = 0; run < 2; ++run)
            ASSERT_EQ(RunCli(std::string("stamp --jobs ") + jobs + " --correct -01:00:00 --preset internet " +
                             Quoted(dir.path()))
                          .Status,
                      0);
        outputs[k++] = Outputs(dir);
    }
    EXPECT_EQ(outputs[0].size(), 10u);  // five, then "photo 1" to "photo 5" beside them
    EXPECT_TRUE(outputs[0] == outputs[1]);
    EXPECT_TRUE(outputs[0].count("070815_11_30_45.jpg"));  // the internet preset's mask, corrected
}

TEST(StampCommandTest, StartValuesStampAsBeforeByteForByte)
{
    // Pictures stamped by the program before the stamp learnt to follow the displayed photo,
    // beside the source they were stamped from.
    const fs::path data = fs::path(MORVIK_TEST_DATA_DIR) / "stamp";
    struct Case { std::string golden, options; };
    const Case cases[] = {
        {"beach.default.jpg", ""},
        {"beach.transparent.jpg", "--no-exif --transparent -x 40 -y 200 --font-size 24 --color FFFF00 --no-italic"},
        {"beach.own_text.jpg", "--no-exif --text 'Морвик 2007' -x -5 -y 100 --font 'DejaVu Serif' --font-size 30 "
                               "--background 000000 -q 95"},
        // The date format at its start value, and a text without fields under another one.
        {"beach.default.jpg", "--date-format 'dd.mm.yyyy hh:nn:ss'"},
        {"beach.default.jpg", "--date-format ''"},  // a cleared format stands for the start mask
        {"beach.own_text.jpg", "--no-exif --text 'Морвик 2007' -x -5 -y 100 --font 'DejaVu Serif' --font-size 30 "
                               "--background 000000 -q 95 --date-format yyyy"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        fs::copy_file(data / "beach.jpg", dir / "beach.jpg");
        ASSERT_EQ(RunCli("stamp --keep-names " + c.options + " " + Quoted(dir.path())).Status, 0) << c.options;
        EXPECT_TRUE(ReadFile(dir / "Dated" / "beach.jpg") == ReadFile(data / c.golden)) << c.golden;
    }
}

TEST(StampCommandTest, TurnedPhotosShowTheStampUprightInTheDisplayedCorner)
{
    // Grey photos shown 240 × 160, stored turned by each Orientation; a viewer's turn of
    // each output shows the stamp reading left to right in the displayed corner asked for.
    TempDir dir;
    for (int o = 1; o <= 8; ++o) {
        const bool swapped = o >= 5;
        const std::string jpeg = morvik::test::EncodeWithLibjpeg(swapped ? 160 : 240, swapped ? 240 : 160, 3,
                                                                 JCS_RGB, 95, false, [](int, int, int) { return 128; });
        morvik::test::WriteFile(dir / ("o" + std::to_string(o) + ".jpg"), morvik::test::WithOrientation(jpeg, o));
    }
    struct Case { std::string options; bool topLeft; };
    const Case cases[] = {{"", true}, {"--lossless", true}, {"--preset album", false}};
    for (const Case& c : cases) {
        fs::remove_all(dir / "Dated");
        const CliRun r = RunCli("stamp --keep-names " + c.options + " " + Quoted(dir.path()));
        ASSERT_EQ(r.Status, 0) << r.Out;
        for (int o = 1; o <= 8; ++o) {
            SCOPED_TRACE(c.options + " Orientation " + std::to_string(o));
            const morvik::test::ShownPhoto shown = morvik::test::AutoOriented(dir / "Dated" / ("o" + std::to_string(o) + ".jpg"));
            ASSERT_EQ(shown.Width, 240);
            ASSERT_EQ(shown.Height, 160);
            const morvik::test::ShownBox box = morvik::test::StampBoxOnGrey(shown, 128);
            ASSERT_FALSE(box.Empty());
            EXPECT_GT(box.Right - box.Left, 3 * (box.Bottom - box.Top));  // a line of text, upright
            if (c.topLeft) {
                EXPECT_LE(box.Left, 2);
                EXPECT_LE(box.Top, 2);
            } else {  // 2 % of the shorter side in from the bottom-right corner, give or take the ring
                EXPECT_NEAR(box.Right, 240 - 3, 3);
                EXPECT_NEAR(box.Bottom, 160 - 3, 3);
            }
        }
    }
}

TEST(StampCommandTest, PlacementOptionsPutTheStampInTheCorner)
{
    TempDir plain, placed;
    for (const TempDir* dir : {&plain, &placed})
        fs::copy_file(fs::path(MORVIK_SOURCE_DIR) / "samples" / "beach.jpg", dir->path() / "beach.jpg");
    ASSERT_EQ(RunCli("stamp --keep-names --no-exif --text '' " + Quoted(plain.path())).Status, 0);
    const CliRun r = RunCli("stamp --keep-names --no-exif --text Hi --anchor bottom-right --size 10% --margin 5% "
                            "--outline " + Quoted(placed.path()));
    ASSERT_EQ(r.Status, 0) << r.Out;
    // Only the blocks under the stamp differ from the unstamped picture: its right and bottom
    // edges lie 5 % of the 240-pixel side (12 pixels) in from the corner.
    const morvik::Picture a = morvik::DecodeJpeg(ReadFile(plain / "Dated" / "beach.jpg"));
    const morvik::Picture b = morvik::DecodeJpeg(ReadFile(placed / "Dated" / "beach.jpg"));
    int right = 0, bottom = 0, left = a.Width(), top = a.Height();
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y))
                left = std::min(left, x), top = std::min(top, y), right = x + 1, bottom = std::max(bottom, y + 1);
    EXPECT_GT(left, a.Width() / 2);
    EXPECT_GT(top, a.Height() / 2);
    EXPECT_GE(right, a.Width() - 12 - 16);
    EXPECT_GE(bottom, a.Height() - 12 - 16);
    EXPECT_LE(bottom, a.Height() - 12 + 16);

    const std::string bad[] = {"--size 0", "--size 3%%%", "--size 101%", "--size 2.5", "--margin x",
                               "--outline 12345G", "--anchor middle", "--shadow 12345G", "--color automatic"};
    for (const std::string& option : bad)
        EXPECT_EQ(RunCli("stamp " + option + " " + Quoted(placed.path())).Status, 2) << option;
}

TEST(StampCommandTest, TheDateFormatStampsWhatTheDateFieldFills)
{
    // The date written with a format, and the own text naming the date with that mask,
    // give the same picture; so do the two lines of a caption typed with "\n" in either.
    const std::pair<std::string, std::string> same[] = {
        {"--date-format '\"'\"'\"'\"yy mm dd' --shadow", "--text '{date:\"'\"'\"'\"yy mm dd}' --shadow"},
        {"--text '{date:yyyy}\\n{nofield}' --color auto", "--text '{date:yyyy}\\n{nofield}{lens}' --color auto"},
    };
    for (const auto& [a, b] : same) {
        std::string outputs[2];
        int k = 0;
        for (const std::string& options : {a, b}) {
            TempDir dir;
            fs::copy_file(fs::path(MORVIK_SOURCE_DIR) / "samples" / "beach.jpg", dir / "beach.jpg");
            const CliRun r = RunCli("stamp --keep-names --no-exif --size 8% " + options + " " + Quoted(dir.path()));
            ASSERT_EQ(r.Status, 0) << options << r.Out;
            outputs[k++] = ReadFile(dir / "Dated" / "beach.jpg");
        }
        EXPECT_TRUE(outputs[0] == outputs[1]) << a;
    }
}

}  // namespace
