// The folder batch with its real steps over small JPEG files made here: EXIF dates, the
// EXIF carry-over, decoding failures, and parallel runs that must write the same bytes.
#include "stamping/MadeRecord.h"
#include "stamping/FolderBatch.h"

#include "metadata/file/PhotoMetadata.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "stamping/Jpeg.h"
#include "support/ExifBuilder.h"
#include "support/RecordingObserver.h"
#include "support/TestJpeg.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace morvik {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// A picture of a few colour bands, so that stamped and unstamped encodings differ.
std::string EncodedPicture(int width, int height, int seed)
{
    Picture p(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.SetPixel(x, y, RgbColor(uint8_t(x * 7 + seed), uint8_t(y * 5), uint8_t((x + y + seed) * 3)));
    return EncodeJpeg(p, 90);
}

// The JPEG with an EXIF block holding DateTimeOriginal and the picture's size.
std::string WithExif(const std::string& jpeg, const std::string& original, int width, int height)
{
    test::ExifBuilder b(false);
    const int exif = b.AddIfd();
    b.Ascii(0, 0x010F, "Morvik");
    b.Pointer(0, 0x8769, exif);
    b.Ascii(exif, 0x9003, original);
    b.Long(exif, 0xA002, {uint32_t(width)});
    b.Long(exif, 0xA003, {uint32_t(height)});
    return jpeg.substr(0, 2) + b.App1() + jpeg.substr(2);
}

std::string PhotoWithExif(const std::string& original, int width, int height, int seed)
{
    return WithExif(EncodedPicture(width, height, seed), original, width, height);
}

using FixedObserver = test::RecordingObserver;

TBatchResult RunBatch(const TempDir& dir, FixedObserver& obs, int jobs = 1, bool rename = true)
{
    TBatchOptions options;
    options.Jobs = jobs;
    options.RenameByMask = rename;
    return RunFolderBatch(dir.path().string(), options, obs);
}

TEST(FolderBatchJpegTest, NamesByExifDateAndCarriesTheBlockOver)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", PhotoWithExif("2007:08:15 12:30:45", 48, 32, 1));
    FixedObserver obs;
    RunBatch(dir, obs);
    const fs::path out = dir / "Dated" / "07.08.15  12_30_45.jpg";
    ASSERT_TRUE(fs::exists(out));
    PhotoMetadata reader;
    ASSERT_TRUE(reader.ReadMetadata(out.string()));
    ASSERT_TRUE(reader.HasExif());
    ASSERT_TRUE(reader.ExifInfo);
    EXPECT_DOUBLE_EQ(reader.ExifInfo->DateTimeAt(reader.ExifInfo->DateTimeOriginalPos),
                     *TryEncodeDateTime(2007, 8, 15, 12, 30, 45));
    EXPECT_EQ(GetFileFacts(out.string())->Modified, *TryEncodeDateTime(2007, 8, 15, 12, 30, 44));
    const Picture stamped = DecodeJpegFile(out.string());
    EXPECT_EQ(stamped.Width(), 48);
    EXPECT_EQ(stamped.Height(), 32);
}

TEST(FolderBatchJpegTest, WithoutTheExifTickTheOutputIsTheEncodersPlainStream)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", PhotoWithExif("2007:08:15 12:30:45", 40, 30, 2));
    FixedObserver obs;
    obs.Controls.ExifCarryOver = false;
    RunBatch(dir, obs);
    const std::string out = ReadFile(dir / "Dated" / "07.08.15  12_30_45.jpg");
    EXPECT_EQ(out.substr(0, 4), "\xFF\xD8\xFF\xE0");
    EXPECT_EQ(out.find("Exif"), std::string::npos);
}

TEST(FolderBatchJpegTest, SourceWithoutExifKeepsItsApp0AndIsDatedByItsFileTime)
{
    TempDir dir;
    WriteFile(dir / "plain.jpg", EncodedPicture(20, 20, 3));
    ASSERT_TRUE(SetFileModifiedTime((dir / "plain.jpg").string(), *TryEncodeDateTime(2006, 5, 10, 14, 3, 27)));
    FixedObserver obs;
    RunBatch(dir, obs);
    ASSERT_EQ(obs.Written, (std::vector<std::string>{"06.05.10  14_03_26.jpg"}));
    // The source's own JFIF section stands where an EXIF block would.
    const std::string out = ReadFile(dir / "Dated" / obs.Written[0]);
    EXPECT_EQ(out.substr(0, 20), ReadFile(dir / "plain.jpg").substr(0, 20));
    EXPECT_EQ(out.find("Exif"), std::string::npos);
}

TEST(FolderBatchJpegTest, ExifWithoutTheChosenDateIsNamedByTheZeroDate)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", PhotoWithExif("2007:08:15 12:30:45", 16, 16, 4));
    FixedObserver obs;
    obs.Settings.DateSource = PhotoDateSource::DateTimeDigitized;  // which the file lacks
    auto r = RunBatch(dir, obs);
    EXPECT_EQ(obs.Written, (std::vector<std::string>{"99.12.30  00_00_00.jpg"}));
    EXPECT_FALSE(r.Outputs[0].TimeSet);
}

TEST(FolderBatchJpegTest, ASourceThatIsNotAJpegEndsTheRunWithTheDecodersError)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", PhotoWithExif("2007:08:15 12:30:45", 16, 16, 5));
    WriteFile(dir / "b.jpg", "this is no picture");
    WriteFile(dir / "c.jpg", PhotoWithExif("2007:08:15 12:30:47", 16, 16, 6));
    for (int jobs : {1, 3}) {
        FixedObserver obs;
        try {
            RunBatch(dir, obs, jobs, false);
            ADD_FAILURE() << "no failure";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind("JPEG error #", 0), 0u) << e.what();
        }
        EXPECT_EQ(obs.Written, (std::vector<std::string>{"a.jpg"}));
        EXPECT_FALSE(fs::exists(dir / "Dated" / "c.jpg"));
    }
}

TEST(FolderBatchJpegTest, TheLosslessModeSplicesWhatItCanAndTellsEachFilesWay)
{
    TempDir dir;
    const std::string baseline = PhotoWithExif("2007:08:15 12:30:45", 48, 32, 1);
    const std::string cut = PhotoWithExif("2007:08:15 12:30:47", 64, 64, 2);
    WriteFile(dir / "a.jpg", baseline);
    WriteFile(dir / "b.jpg", WithExif(test::EncodeTestJpeg(40, 30, test::JpegKind::Progressive),
                                      "2007:08:15 12:30:46", 40, 30));
    WriteFile(dir / "c.jpg", cut.substr(0, cut.size() * 2 / 3));
    const std::vector<std::string> names = {"07.08.15  12_30_45.jpg", "07.08.15  12_30_46.jpg",
                                            "07.08.15  12_30_47.jpg"};
    // The cut photo's stamp lies before its data ends: the rest is kept as it stands.
    const std::vector<std::string> ways = {"lossless", "lossless, picture data coded again",
                                           "lossless, damaged data after the stamp kept"};
    for (bool dry : {true, false}) {
        FixedObserver obs;
        obs.Controls.Lossless = true;
        TBatchOptions options;
        options.DryRun = dry;
        options.KeepGoing = true;
        const TBatchResult r = RunFolderBatch(dir.path().string(), options, obs);
        // A dry run tells each way as the real run goes.
        EXPECT_EQ(obs.Written, names);
        EXPECT_EQ(obs.Ways, ways);
        EXPECT_TRUE(r.Failures.empty());
        EXPECT_EQ(fs::exists(dir / "Dated" / names[0]), !dry);
    }
    // Every section before the scan is the source's own; the re-encoded file gets its EXIF
    // block through the writer.
    const std::string spliced = ReadFile(dir / "Dated" / names[0]);
    const size_t scan = baseline.find("\xFF\xDA");
    EXPECT_EQ(spliced.substr(0, scan), baseline.substr(0, scan));
    EXPECT_NE(spliced, baseline);
    EXPECT_EQ(DecodeJpeg(spliced).Width(), 48);
    EXPECT_NE(ReadFile(dir / "Dated" / names[1]).find("Exif"), std::string::npos);
    // Without the EXIF carry-over the splice keeps what a decoder needs.
    FixedObserver bare;
    bare.Controls.Lossless = true;
    bare.Controls.ExifCarryOver = false;
    fs::remove(dir / "c.jpg");
    RunBatch(dir, bare, 1, false);
    EXPECT_EQ(bare.Ways, std::vector<std::string>(ways.begin(), ways.begin() + 2));
    EXPECT_EQ(ReadFile(dir / "Dated" / "a.jpg").find("Exif"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "Dated" / "b.jpg").find("Exif"), std::string::npos);
}

TEST(FolderBatchJpegTest, FourJobsWriteTheBytesAndTimesOfOneJob)
{
    auto fill = [](const TempDir& dir) {
        for (int i = 0; i < 9; ++i) {
            const std::string when = "2008:02:29 23:59:5" + std::to_string(i % 4);
            WriteFile(dir / ("IMG_" + std::to_string(10 + i) + ".JPG"), PhotoWithExif(when, 40 + i, 24, i));
        }
        WriteFile(dir / "plain.jpg", EncodedPicture(24, 24, 9));
        SetFileModifiedTime((dir / "plain.jpg").string(), *TryEncodeDateTime(2008, 2, 29, 23, 59, 51));
    };
    for (bool lossless : {false, true}) {
        std::map<std::string, std::string> outputs[2];
        for (int k = 0; k < 2; ++k) {
            TempDir dir;
            fill(dir);
            FixedObserver obs;
            obs.Controls.Lossless = lossless;
            obs.Controls.CorrectionOn = true;
            obs.Controls.CorrectionText = "00:00:05";
            RunBatch(dir, obs, k == 0 ? 1 : 4);
            RunBatch(dir, obs, k == 0 ? 1 : 4);
            for (auto& e : fs::directory_iterator(dir / "Dated"))
                if (e.path().filename() != kMadeRecordName)
                    outputs[k][e.path().filename().string()] =
                    ReadFile(e.path()) + "@" + std::to_string(GetFileFacts(e.path().string())->Modified);
        }
        // Ten outputs a run: the second run's never replace the first run's.
        EXPECT_EQ(outputs[0].size(), 20u);
        EXPECT_TRUE(outputs[0] == outputs[1]) << (lossless ? "lossless" : "re-encoded");
    }
}

}  // namespace
}  // namespace morvik
