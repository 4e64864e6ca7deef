// The caption's fields: filled from a photo's facts, from the camera samples as the reader
// reads them, and the date written with masks of each kind.
#include "stamping/Caption.h"

#include "metadata/directory/ExifDirectory.h"
#include "metadata/file/PhotoMetadata.h"
#include "stamping/PhotoDate.h"
#include "stamping/StampSettings.h"
#include "support/ExifBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace morvik {
namespace {

CaptionFacts Facts()
{
    CaptionFacts f;
    f.Date = *TryEncodeDateTime(2023, 5, 14, 9, 7, 3, 0);
    f.Make = "Canon";
    f.Model = "Canon EOS 40D";
    f.Exposure = "1/250 s";
    f.FNumber = "f/2.8";
    f.Iso = "400";
    f.Focal = "35 mm";
    f.Name = "IMG_0001";
    f.Folder = "Отпуск";
    return f;  // no lens, no 35 mm focal length, no position
}

TEST(Caption, FieldsAreFilledAndWhatIsNoFieldStaysAsTyped)
{
    const struct {
        std::string_view Text;
        std::string_view Filled;
    } cases[] = {
        {"", ""},
        {"Мой текст", "Мой текст"},
        {"{model}", "Canon EOS 40D"},
        {"{make} {model}: {exposure} {fnumber} ISO {iso} {focal}", "Canon Canon EOS 40D: 1/250 s f/2.8 ISO 400 35 mm"},
        {"{folder}/{name}", "Отпуск/IMG_0001"},
        {"{date}", "14.05.2023 09:07:03"},
        {"{date:yyyy-mm-dd hh:nn}", "2023-05-14 09:07"},
        {"{date:\"'\"yy mm dd}", "'23 05 14"},
        {"[{lens}]", "[]"},                      // a field the photo lacks is empty
        {"{nofield} {Model} {}", "{nofield} {Model} {}"},  // no such fields: as typed
        {"{model", "{model"},                    // no closing brace
        {"{{model}}", "{Canon EOS 40D}"},
        {"{model}\\n{exposure} {fnumber} ISO {iso}", "Canon EOS 40D\n1/250 s f/2.8 ISO 400"},
        {"{model}\\n{lens}\\n{iso}", "Canon EOS 40D\n400"},  // the line left blank is dropped
        {"{lens} {gps}\\nA", "A"},
        {"A\\n\\nB", "A\n\nB"},                  // a blank line typed so stays
        {"C:\\\\photos", "C:\\\\photos"},       // a backslash before anything else stays
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillCaption(c.Text, Facts(), "dd.mm.yyyy hh:nn:ss"), c.Filled) << c.Text;
}

TEST(Caption, TheDateFormatWritesTheStampedDateAndTheDateField)
{
    const TDateTime date = *TryEncodeDateTime(2023, 5, 14, 9, 7, 3, 0);
    const struct {
        std::string_view Mask;
        std::string_view Text;
    } masks[] = {
        {"dd.mm.yyyy hh:nn:ss", "14.05.2023 09:07:03"},
        {"yyyy-mm-dd hh:nn", "2023-05-14 09:07"},
        {"\"'\"yy mm dd", "'23 05 14"},
        {"d.m.yy", "14.5.23"},
        {"", "14.05.2023 09:07:03"},  // a cleared format: the start mask
    };
    StampSettings settings = InitialStampSettings();
    settings.DateMode = false;
    StampControls controls;
    controls.OwnText = "{date}";
    CaptionFacts facts;
    facts.Date = date;
    for (const auto& m : masks) {
        controls.DateFormat = std::string(m.Mask);
        EXPECT_EQ(CaptionText(RequestFromControls(settings, controls).Date, "", facts), m.Text) << m.Mask;
    }
    // In date mode the stamp is the date text as it was made.
    settings.DateMode = true;
    EXPECT_EQ(CaptionText(RequestFromControls(settings, controls).Date, "14.05.2023", facts), "14.05.2023");
}

TEST(Caption, CameraSamplesGiveWhatTheReaderReads)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    // Each field as `morvik-cli info` shows the photo's tags; a 35 mm focal length only
    // where the camera wrote one.
    const struct {
        std::string_view File, Make, Model, Exposure, FNumber, Iso, Focal, Focal35, Gps;
    } samples[] = {
        {"Canon_40D.jpg", "Canon", "Canon EOS 40D", "1/160 s", "f/7.1", "100", "135 mm", "", ""},
        {"Nikon_D70.jpg", "NIKON CORPORATION", "NIKON D70", "1/200 s", "f/9", "200", "100 mm", "150 mm", ""},
        {"Panasonic_DMC-FZ30.jpg", "Panasonic", "DMC-FZ30", "1/30 s", "f/3.2", "100", "14.1 mm", "82 mm", ""},
        {"Kodak_CX7530.jpg", "EASTMAN KODAK COMPANY", "KODAK CX7530 ZOOM DIGITAL CAMERA", "1/250 s", "f/4.6", "",
         "16.8 mm", "102 mm", "0.3713° S, 36.0564° E"},
        {"Reconyx_HC500_Hyperfire.jpg", "", "", "1/55 s", "", "100", "", "", ""},
        {"BlueSquare.jpg", "", "", "", "", "", "", "", ""},
    };
    for (const auto& s : samples) {
        SCOPED_TRACE(std::string(s.File));
        const std::string path = (test::CameraSamplesDir() / s.File).string();
        PhotoMetadata reader(ParseModeFull);
        const bool read = ReadForDating(reader, path);
        const CaptionFacts f = ReadCaptionFacts(&reader, read, path, 1.5);
        EXPECT_EQ(f.Make, s.Make);
        EXPECT_EQ(f.Model, s.Model);
        EXPECT_EQ(f.Exposure, s.Exposure);
        EXPECT_EQ(f.FNumber, s.FNumber);
        EXPECT_EQ(f.Iso, s.Iso);
        EXPECT_EQ(f.Focal, s.Focal);
        EXPECT_EQ(f.Focal35, s.Focal35);
        EXPECT_EQ(f.Gps, s.Gps);
        EXPECT_EQ(f.Name, std::filesystem::path(s.File).stem().string());
        EXPECT_EQ(f.Folder, test::CameraSamplesDir().filename().string());
        EXPECT_EQ(f.Date, 1.5);
    }
    // Without a reader only the file's own facts are known.
    const CaptionFacts bare = ReadCaptionFacts(nullptr, false, "/photos/2023/IMG_1.JPG", 0);
    EXPECT_EQ(bare.Name, "IMG_1");
    EXPECT_EQ(bare.Folder, "2023");
    EXPECT_TRUE(bare.Make.empty() && bare.Exposure.empty() && bare.Gps.empty());
}

TEST(Caption, ValuesAsWrittenAndValuesThatSayNothing)
{
    // A lens, long and odd exposures, places on each side of the globe, and rationals that
    // divide by zero (what a camera without a position fix writes), which are no value.
    using Rationals = std::vector<std::pair<uint32_t, uint32_t>>;
    const struct {
        std::string_view Lens;
        Rationals Exposure, FNumber, Latitude, Longitude;
        std::string_view LatitudeRef, LongitudeRef;
        std::string_view Facts;  // lens | exposure | f-number | position
    } photos[] = {
        {"EF50mm f/1.8 II", {{2, 1}}, {{18, 10}}, {{55, 1}, {45, 1}, {2088, 100}}, {{37, 1}, {37, 1}, {230, 100}}, "N",
         "E", "EF50mm f/1.8 II|2 s|f/1.8|55.7558° N, 37.6173° E"},
        {"", {{10, 32}}, {{8, 1}}, {{33, 1}, {51, 1}, {54, 1}}, {{151, 1}, {12, 1}, {36, 1}}, "S", "W",
         "|0.31 s|f/8|33.8650° S, 151.2100° W"},
        {"", {{1, 0}}, {{0, 0}}, {{0, 0}, {0, 0}, {0, 0}}, {{0, 0}, {0, 0}, {0, 0}}, "N", "E", "|||"},
        {"", {{1, 8000}}, {{28, 10}}, {{0, 1}, {22, 1}, {17, 1}}, {{36, 1}, {3, 1}, {23, 1}}, "S", "E",
         "|1/8000 s|f/2.8|0.3714° S, 36.0564° E"},
    };
    test::TempDir dir;
    for (const auto& photo : photos) {
        SCOPED_TRACE(std::string(photo.Facts));
        test::ExifBuilder b;
        auto rationals = [&](const Rationals& values) {
            std::string bytes;
            for (const auto& [num, den] : values)
                bytes += b.U32(num) + b.U32(den);
            return bytes;
        };
        const int exif = b.AddIfd(), gps = b.AddIfd();
        b.Pointer(0, 0x8769, exif).Pointer(0, 0x8825, gps);
        b.Entry(exif, 0x829A, 5, uint32_t(photo.Exposure.size()), rationals(photo.Exposure));
        b.Entry(exif, 0x829D, 5, uint32_t(photo.FNumber.size()), rationals(photo.FNumber));
        if (!photo.Lens.empty())
            b.Ascii(exif, 0xA434, std::string(photo.Lens));
        b.Ascii(gps, 0x0001, std::string(photo.LatitudeRef)).Entry(gps, 0x0002, 5, 3, rationals(photo.Latitude));
        b.Ascii(gps, 0x0003, std::string(photo.LongitudeRef)).Entry(gps, 0x0004, 5, 3, rationals(photo.Longitude));
        const std::string path = (dir / "photo.jpg").string();
        test::WriteFile(path, test::MakeJpeg({b.App1()}));
        PhotoMetadata reader(ParseModeFull);
        const bool read = ReadForDating(reader, path);
        const CaptionFacts f = ReadCaptionFacts(&reader, read, path, 0);
        EXPECT_EQ(f.Lens + "|" + f.Exposure + "|" + f.FNumber + "|" + f.Gps, photo.Facts);
    }
}

}  // namespace
}  // namespace morvik
