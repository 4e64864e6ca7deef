#include "metadata/file/PhotoMetadata.h"
#include "metadata/notes/IptcRecord.h"
#include "metadata/JpegTestSupport.h"
#include "platform/Exceptions.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace morvik {
namespace {

using test::AfterApp0;
using test::Section;
using test::SectionData;
using test::TiffBytes;

constexpr uint16_t kExifImageWidth = 0xA002;
constexpr uint16_t kExifImageLength = 0xA003;
const std::string kSoi("\xFF\xD8", 2);
const std::string kDefaultJfif("\xFF\xE0\x00\x10\x4A\x46\x49\x46\x00\x01\x02\x01\x01\x2C\x01\x2C\x00\x00", 18);

// The encoder's output the tests hand in: a small real picture.
const std::string& Encoded()
{
    static const std::string jpeg = test::EncodeJpeg(16, 8);
    return jpeg;
}

// A JPEG file whose picture data are a real encoded picture behind the given sections.
std::string JpegFile(const std::string& sections) { return kSoi + sections + AfterApp0(Encoded()); }

std::string App1(bool big, bool shortDims, uint32_t width, uint32_t height)
{
    TiffBytes t(big);
    auto dim = [&](uint16_t tag, uint32_t v) {
        return shortDims ? t.Short(tag, static_cast<uint16_t>(v)) : t.Long(tag, v);
    };
    return t.App1Data({t.Ascii(0x010F, "Maker")},
                      {t.Rational(0x829A, 1, 60), dim(kExifImageWidth, width), dim(kExifImageLength, height)});
}

struct Source {
    test::TempDir dir;
    PhotoMetadata reader;
    std::filesystem::path out = dir / "out.jpg";

    explicit Source(const std::string& fileBytes)
    {
        test::WriteFile(dir / "src.jpg", fileBytes);
        reader.ReadMetadata((dir / "src.jpg").string());
    }
    std::string Write(int width, int height, bool adjust = true, const std::string& stream = Encoded())
    {
        reader.WriteJpegWithExif(stream, width, height, out.string(), adjust);
        return test::ReadFile(out);
    }
};

TEST(JpegWriter, KeepsTheExifSectionWhenTheSizeIsUnchanged)
{
    const std::string app1 = App1(false, false, 1600, 1200);
    Source s(JpegFile(Section(0xE1, app1)));
    ASSERT_TRUE(s.reader.HasExif());
    ASSERT_EQ(s.reader.ExifInfo->Width, 1600);
    EXPECT_EQ(s.Write(1600, 1200), kSoi + Section(0xE1, app1) + AfterApp0(Encoded()));
}

// A TIFF named as a JPEG is read as the TIFF it is; its block is no JPEG section, so the
// writer puts the default JFIF header in its place and the output holds no EXIF.
TEST(JpegWriter, ATiffNamedAsAJpegIsReadAsATiffAndItsBlockIsNotCarried)
{
    TiffBytes t(false);
    Source s(t.Tiff({t.Ascii(0x010F, "Maker")}, {t.Long(kExifImageWidth, 1600)}));
    ASSERT_TRUE(s.reader.HasExif());
    EXPECT_EQ(s.reader.ReadAs, PictureFileKind::Tiff);
    EXPECT_EQ(s.reader.ExifInfo->CameraMake, "Maker");
    EXPECT_EQ(s.Write(16, 8), kSoi + kDefaultJfif + AfterApp0(Encoded()));
}

TEST(JpegWriter, CorrectsDimensionsInPlaceForEachTypeAndByteOrder)
{
    for (bool big : {false, true}) {
        for (bool shortDims : {false, true}) {
            SCOPED_TRACE(std::string(big ? "MM" : "II") + (shortDims ? " SHORT" : " LONG"));
            Source s(JpegFile(Section(0xE1, App1(big, shortDims, 1600, 1200))));
            const std::string written = s.Write(800, 600);
            // Exactly the block a camera would have written for 800 x 600: same length,
            // every other byte the same, a SHORT's last two value bytes zero.
            EXPECT_EQ(written, kSoi + Section(0xE1, App1(big, shortDims, 800, 600)) + AfterApp0(Encoded()));

            PhotoMetadata back;
            test::WriteFile(s.dir / "back.jpg", written);
            ASSERT_TRUE(back.ReadMetadata((s.dir / "back.jpg").string()));
            EXPECT_EQ(back.ExifInfo->Width, 800);
            EXPECT_EQ(back.ExifInfo->Height, 600);
            // The reader's own picture facts stay those of the source.
            EXPECT_EQ(s.reader.ExifInfo->Width, 1600);
            // The same size again writes the same bytes again.
            EXPECT_EQ(s.Write(800, 600), written);
        }
    }
}

TEST(JpegWriter, LeavesDimensionsAloneWhenAskedOrWhenThereAreNone)
{
    const std::string app1 = App1(true, false, 1600, 1200);
    Source notAdjusted(JpegFile(Section(0xE1, app1)));
    EXPECT_EQ(notAdjusted.Write(800, 600, false), kSoi + Section(0xE1, app1) + AfterApp0(Encoded()));

    TiffBytes t(false);
    const std::string noDims = t.App1Data({t.Ascii(0x010F, "Maker")}, {t.Rational(0x829A, 1, 60)});
    Source withoutDims(JpegFile(Section(0xE1, noDims)));
    EXPECT_EQ(withoutDims.Write(800, 600), kSoi + Section(0xE1, noDims) + AfterApp0(Encoded()));
}

TEST(JpegWriter, ChoosesTheHeaderSections)
{
    const std::string app0 = SectionData(std::string("JFIF\0\x01\x01\x00\x00\x48\x00\x48\x00\x00", 14));
    const std::string app1 = App1(false, false, 16, 8);
    const std::string app13 = SectionData(std::string("Photoshop 3.0\0", 14) + "\x1C\x02\x05\x00\x01x");
    const std::string com = SectionData("a comment");
    const std::string app2 = SectionData("ICC_PROFILE");
    struct Case {
        const char* what;
        std::string sections;
        std::string header;
    } cases[] = {
        {"APP0 only", Section(0xE0, app0), Section(0xE0, app0)},
        {"APP0, APP1, APP13, COM", Section(0xE0, app0) + Section(0xE1, app1) + Section(0xED, app13) + Section(0xFE, com),
         Section(0xE1, app1) + Section(0xED, app13) + Section(0xFE, com)},
        {"APP0 and COM", Section(0xE0, app0) + Section(0xFE, com), Section(0xE0, app0) + Section(0xFE, com)},
        {"COM only", Section(0xFE, com), kDefaultJfif + Section(0xFE, com)},
        {"APP13 only", Section(0xED, app13), kDefaultJfif + Section(0xED, app13)},
        {"APP2 is never carried", Section(0xE1, app1) + Section(0xE2, app2), Section(0xE1, app1)},
        {"nothing", "", kDefaultJfif},
        {"two COM: the last", Section(0xFE, com) + Section(0xFE, SectionData("second")),
         kDefaultJfif + Section(0xFE, SectionData("second"))},
    };
    for (const auto& c : cases) {
        Source s(JpegFile(c.sections));
        EXPECT_EQ(s.Write(16, 8), kSoi + c.header + AfterApp0(Encoded())) << c.what;
        std::string out;
        EXPECT_EQ(s.reader.WriteHeaderSections(out), static_cast<int64_t>(c.header.size())) << c.what;
        EXPECT_EQ(out, kSoi + c.header) << c.what;
    }
}

TEST(JpegWriter, AFileThatWasNeverReadGetsTheDefaultHeader)
{
    test::TempDir dir;
    PhotoMetadata reader;
    reader.ReadMetadata((dir / "missing.jpg").string());
    reader.WriteJpegWithExif(Encoded(), 16, 8, (dir / "out.jpg").string(), true);
    const std::string out = test::ReadFile(dir / "out.jpg");
    EXPECT_EQ(out, kSoi + kDefaultJfif + AfterApp0(Encoded()));
    EXPECT_EQ(test::DecodeJpeg(out), std::make_pair(16, 8));
}

TEST(JpegWriter, SkipsTheEncodersOwnLeadingSections)
{
    const std::string rest = AfterApp0(Encoded());
    const std::string app0 = Section(0xE0, SectionData("JFIF"));
    const std::string app1 = Section(0xE1, SectionData("Exif"));
    const std::string app13 = Section(0xED, SectionData("PS"));
    const std::string com = Section(0xFE, SectionData("c"));
    struct Case {
        const char* what;
        std::string stream;
        std::string kept;
    } cases[] = {
        {"APP0", kSoi + app0 + rest, rest},
        {"all four in order", kSoi + app0 + app1 + app13 + com + rest, rest},
        {"APP1 and COM only", kSoi + app1 + com + rest, rest},
        {"out of order: COM then APP0", kSoi + com + app0 + rest, app0 + rest},
        {"two APP0: one skipped", kSoi + app0 + app0 + rest, app0 + rest},
        {"none", kSoi + rest, rest},
        {"fewer than four bytes", kSoi + std::string("\xFF\xE0\x00", 3), std::string("\xFF\xE0\x00", 3)},
        {"length past the end", kSoi + std::string("\xFF\xE0\x40\x00", 4) + "xy", ""},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        Source s("");
        EXPECT_EQ(s.Write(16, 8, true, c.stream), kSoi + kDefaultJfif + c.kept) << c.what;
    }
}

TEST(JpegWriter, FailsWithTheCreateMessageWhenTheFolderIsMissing)
{
    Source s(JpegFile(""));
    const std::string target = (s.dir / "no-such-folder" / "out.jpg").string();
    try {
        s.reader.WriteJpegWithExif(Encoded(), 16, 8, target, true);
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + target + "\". No such file or directory");
    }
}

TEST(JpegWriter, AnExistingTargetSurvivesAFailedWrite)
{
    Source s(JpegFile(Section(0xE1, App1(false, false, 1600, 1200))));
    const std::string old = "the old file, which must not be lost";
    test::WriteFile(s.out, old);

    // A file-size limit makes the write fail part-way, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool failed = false;
    try {
        s.reader.WriteJpegWithExif(Encoded(), 16, 8, s.out.string(), true);
    } catch (const EInOutError& e) {
        failed = true;
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + s.out.string() + "\". ", 0), 0u) << e.what();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_TRUE(failed);
    EXPECT_EQ(test::ReadFile(s.out), old);
    // No temporary file is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(s.dir.path()))
        ++entries;
    EXPECT_EQ(entries, 2);  // src.jpg and out.jpg

    // A write that succeeds replaces the old file whole and leaves nothing beside it.
    const std::string written = s.Write(16, 8);
    EXPECT_EQ(test::DecodeJpeg(written), std::make_pair(16, 8));
    entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(s.dir.path()))
        ++entries;
    EXPECT_EQ(entries, 2);
}

TEST(JpegWriter, Write32AtFollowsTheByteOrder)
{
    for (bool big : {false, true}) {
        ExifDirectory info(ParseModeFull);
        info.BigEndian = big;
        std::string bytes(6, '\0');
        info.Write32At(bytes, 0x01020304, 2);
        EXPECT_EQ(bytes, big ? std::string("\0\x01\x02\x03\x04\0", 6) : std::string("\0\x04\x03\x02\x01\0", 6));
        info.Write32At(bytes, -1, 4);  // would run past the end: nothing written
        EXPECT_EQ(bytes.size(), 6u);
    }
}

// Every camera sample written with a new picture of another size: the kept sections come
// out byte for byte, except the corrected dimensions, and the file decodes.
TEST(JpegWriterCameraSamples, RoundTripKeepsTheMetadataSections)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    const std::string picture = test::EncodeJpeg(40, 24);
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::CameraSamplesDir())) {
        if (entry.path().extension() != ".jpg")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        PhotoMetadata source;
        source.ReadMetadata(entry.path().string());
        const std::string exifBefore = source.ExifSection ? source.ExifSection->Data : "";
        const int oldWidth = source.ExifInfo ? source.ExifInfo->Width : 0;
        const int oldHeight = source.ExifInfo ? source.ExifInfo->Height : 0;
        const int heightPos = source.ExifInfo ? source.ExifInfo->HeightPos : 0;
        const int widthPos = source.ExifInfo ? source.ExifInfo->WidthPos : 0;

        test::TempDir dir;
        const auto out = dir / "out.jpg";
        source.WriteJpegWithExif(picture, 40, 24, out.string(), true);
        const std::string written = test::ReadFile(out);
        EXPECT_EQ(test::DecodeJpeg(written), std::make_pair(40, 24));

        PhotoMetadata back;
        back.ReadMetadata(out.string());
        auto same = [](const JpegSection* a, const JpegSection* b) {
            if (a == nullptr || b == nullptr)
                return a == b;
            return a->Marker == b->Marker && a->Data == b->Data;
        };
        EXPECT_TRUE(same(source.IptcSection, back.IptcSection));
        EXPECT_TRUE(same(source.CommentSection, back.CommentSection));
        if (source.ExifSection == nullptr) {
            EXPECT_EQ(back.ExifSection, nullptr);
            continue;
        }
        ASSERT_NE(back.ExifSection, nullptr);
        const std::string& after = back.ExifSection->Data;
        ASSERT_EQ(after.size(), exifBefore.size());
        // Only the two value fields may differ.
        for (size_t i = 0; i < after.size(); ++i) {
            const int64_t pos = static_cast<int64_t>(i) + 1;
            const bool inDims = (pos >= heightPos && pos < heightPos + 4) || (pos >= widthPos && pos < widthPos + 4);
            if (!inDims) {
                ASSERT_EQ(after[i], exifBefore[i]) << "position " << pos;
            }
        }
        if (oldWidth > 0 && oldHeight > 0) {
            ASSERT_NE(back.ExifInfo, nullptr);
            EXPECT_EQ(back.ExifInfo->Width, 40);
            EXPECT_EQ(back.ExifInfo->Height, 24);
        }
        ++checked;
    }
    EXPECT_GT(checked, 10);
}

}  // namespace
}  // namespace morvik
