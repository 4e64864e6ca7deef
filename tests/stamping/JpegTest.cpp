#include "stamping/Jpeg.h"
#include "stamping/lossless/LosslessStamp.h"

#include "support/TestSupport.h"

#include "support/TestJpeg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

using namespace morvik;
using morvik::test::TempDir;

namespace {

// A picture with gentle gradients (one step a pixel), which JPEG keeps close.
Picture Gradient(int w, int h)
{
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.SetPixel(x, y, RgbColor(uint8_t(std::min(x, 255)), uint8_t(std::min(y, 255)), 128));
    return p;
}

double MeanDifference(const Picture& a, const Picture& b)
{
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int i = 0; i < a.Width() * 3; ++i)
            sum += std::abs(int(a.Row(y)[i]) - int(b.Row(y)[i]));
    return sum / (double(a.Width()) * a.Height() * 3);
}

// Encodes a stream in a colour space our encoder never writes (grey, CMYK) with libjpeg.
std::string EncodeRaw(int w, int h, int components, J_COLOR_SPACE space, uint8_t value)
{
    return test::EncodeWithLibjpeg(w, h, components, space, 75, false, [value](int, int, int) { return value; });
}

// Overwrites the height and width of the stream's SOF0 (or progressive SOF2) header.
std::string WithClaimedSize(std::string jpeg, int width, int height)
{
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (uint8_t(jpeg[i]) == 0xFF && (uint8_t(jpeg[i + 1]) == 0xC0 || uint8_t(jpeg[i + 1]) == 0xC2)) {
            jpeg[i + 5] = char(height >> 8);
            jpeg[i + 6] = char(height & 0xFF);
            jpeg[i + 7] = char(width >> 8);
            jpeg[i + 8] = char(width & 0xFF);
            return jpeg;
        }
    ADD_FAILURE() << "no SOF0 marker";
    return jpeg;
}

template <class F>
std::string MessageOf(F&& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "<no exception>";
}

}  // namespace

TEST(Jpeg, RoundTripKeepsSizeAndColours)
{
    const std::pair<int, int> sizes[] = {{1, 1}, {17, 9}, {8, 8}, {640, 480}, {3, 1000}};
    for (auto [w, h] : sizes) {
        const Picture source = Gradient(w, h);
        const std::string stream = EncodeJpeg(source, 95);
        ASSERT_GT(stream.size(), 4u);
        EXPECT_EQ(uint8_t(stream[0]), 0xFF);
        EXPECT_EQ(uint8_t(stream[1]), 0xD8);
        JpegDecoder decoder = JpegDecoder::FromMemory(stream);
        EXPECT_EQ(decoder.Width(), w);
        EXPECT_EQ(decoder.Height(), h);
        const Picture back = decoder.Decode();
        ASSERT_EQ(back.Width(), w);
        ASSERT_EQ(back.Height(), h);
        EXPECT_LE(MeanDifference(source, back), 4.0) << w << "x" << h;
    }
}

TEST(Jpeg, QualityIsClampedAndZeroActsAsOne)
{
    const Picture p = Gradient(64, 48);
    EXPECT_EQ(EncodeJpeg(p, 0), EncodeJpeg(p, 1));
    EXPECT_EQ(EncodeJpeg(p, -7), EncodeJpeg(p, 1));
    EXPECT_EQ(EncodeJpeg(p, 250), EncodeJpeg(p, 100));
    EXPECT_LT(EncodeJpeg(p, 1).size(), EncodeJpeg(p, 100).size());
}

TEST(Jpeg, EncoderWritesBaselineSequentialColour)
{
    const std::string s = EncodeJpeg(Gradient(16, 16), 70);
    bool sof0 = false;
    for (size_t i = 2; i + 9 < s.size(); ++i)
        if (uint8_t(s[i]) == 0xFF && uint8_t(s[i + 1]) == 0xC0) {
            sof0 = true;
            EXPECT_EQ(uint8_t(s[i + 9]), 3) << "three components";
            break;
        }
    EXPECT_TRUE(sof0);
    EXPECT_EQ(s.find("\xFF\xC2"), std::string::npos) << "not progressive";
    EXPECT_EQ(s.find("Exif"), std::string::npos);
}

TEST(Jpeg, GreySourceBecomesGreyRgb)
{
    const Picture p = DecodeJpeg(EncodeRaw(24, 16, 1, JCS_GRAYSCALE, 100));
    ASSERT_EQ(p.Width(), 24);
    for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x) {
            const TColor c = p.Pixel(x, y);
            EXPECT_EQ(ColorRed(c), ColorGreen(c));
            EXPECT_EQ(ColorGreen(c), ColorBlue(c));
            EXPECT_NEAR(ColorRed(c), 100, 2);
        }
}

TEST(Jpeg, CmykSourceIsRefusedWithTheLibrarysError)
{
    const std::string cmyk = EncodeRaw(16, 16, 4, JCS_CMYK, 40);
    JpegDecoder decoder = JpegDecoder::FromMemory(cmyk);  // its header is fine
    EXPECT_EQ(decoder.Width(), 16);
    try {
        decoder.Decode();
        FAIL() << "CMYK decoded";
    } catch (const EJPEG& e) {
        EXPECT_EQ(std::string(e.what()),
                  "JPEG error #" + std::to_string(e.Code()) + ". Unsupported color conversion request");
        EXPECT_EQ(e.Code(), JERR_CONVERSION_NOTIMPL);
    }
}

TEST(Jpeg, BrokenDataGivesJpegErrorNotAnExit)
{
    const std::string good = EncodeJpeg(Gradient(64, 64), 80);
    const std::string broken[] = {
        "",
        "hello, not a picture",
        good.substr(0, 2),
        good.substr(0, 40),                      // cut inside the tables
        std::string("\xFF\xD8\xFF\xD9", 4),       // start and end, no image
        std::string(1000, '\xFF'),
    };
    for (const auto& bytes : broken) {
        const std::string message = MessageOf([&] { DecodeJpeg(bytes); });
        EXPECT_EQ(message.rfind("JPEG error #", 0), 0u) << message << " for " << bytes.size() << " bytes";
    }
    EXPECT_THROW(DecodeJpeg("garbage"), EJPEG);
}

TEST(Jpeg, DamagedDataStillDecodesLikeTheLibraryDoesAndSaysHow)
{
    // Damage in the picture data is only a warning: the rest comes out grey, and the
    // decoder tells how the data is damaged.
    const std::string good = EncodeJpeg(Gradient(128, 128), 90);
    std::string badCodes = good;
    for (size_t i = good.size() / 2; i < good.size() / 2 + 64; i += 2)
        badCodes.replace(i, 2, "\xFF\x00", 2);  // stuffed all-ones bits: no Huffman code
    const std::pair<std::string, PictureDamage> cases[] = {
        {good, PictureDamage::None},
        {good.substr(0, good.size() / 2), PictureDamage::EndsEarly},
        {badCodes, PictureDamage::Broken},
    };
    for (const auto& [bytes, damage] : cases) {
        JpegDecoder decoder = JpegDecoder::InPlace(bytes);
        const Picture p = decoder.Decode();
        EXPECT_EQ(std::pair(p.Width(), p.Height()), std::pair(128, 128));
        EXPECT_EQ(decoder.Damage(), damage) << bytes.size();
    }
}

TEST(Jpeg, StreamsOfEndlessScansEndAsFailures)
{
    // Every coefficient of every component in scans of its own, each in two steps of
    // successive approximation: a valid stream of 379 scans, more than any writer makes.
    std::vector<jpeg_scan_info> script{{3, {0, 1, 2}, 0, 0, 0, 0}};
    for (int c = 0; c < 3; ++c)
        for (int k = 1; k < 64; ++k) {
            script.push_back({1, {c}, k, k, 0, 1});
            script.push_back({1, {c}, k, k, 1, 0});
        }
    const std::string many = test::EncodeWithLibjpeg(
        32, 32, 3, JCS_RGB, 90, true, [](int x, int y, int c) { return uint8_t(x * 7 + y * 3 + c * 50); },
        [&script](jpeg_compress_struct& info) {
            info.scan_info = script.data();
            info.num_scans = int(script.size());
        });
    EXPECT_EQ(MessageOf([&] { DecodeJpeg(many); }).find("more than 300 scans") != std::string::npos, true);
    // The lossless mode reads every scan too, with the same limit.
    EXPECT_NE(MessageOf([&] { StampLossless(many, {{0, 0, 8, 8}, [](Picture&, int, int) {}, true}); })
                  .find("more than 300 scans"),
              std::string::npos);
    // A scan sent twice is a progression no encoder makes: a failure, not a warning.
    const std::string progressive = test::EncodeWithLibjpeg(
        32, 32, 3, JCS_RGB, 90, true, [](int x, int y, int c) { return uint8_t(x * 7 + y * 3 + c * 50); });
    const size_t last = progressive.rfind("\xFF\xDA"), end = progressive.size() - 2;
    const std::string repeated = progressive.substr(0, end) + progressive.substr(last, end - last) + "\xFF\xD9";
    EXPECT_NE(MessageOf([&] { DecodeJpeg(repeated); }).find("Inconsistent progression"), std::string::npos);
}

TEST(Jpeg, HugeHeaderIsRefusedBeforeAllocating)
{
    const std::string small = EncodeJpeg(Gradient(16, 16), 50);
    for (auto [w, h] : {std::pair{65000, 65000}, {65500, 4200}, {30000, 20000}}) {
        JpegDecoder decoder = JpegDecoder::FromMemory(WithClaimedSize(small, w, h));
        EXPECT_EQ(decoder.Width(), w);
        EXPECT_EQ(decoder.Height(), h);
        try {
            decoder.Decode();
            FAIL() << "decoded " << w << "x" << h;
        } catch (const EPictureTooLarge& e) {
            EXPECT_NE(std::string(e.what()).find(std::to_string(w) + " на " + std::to_string(h)), std::string::npos)
                << e.what();
        }
    }
    // Beyond 65500 a side the library itself refuses the header.
    EXPECT_THROW(JpegDecoder::FromMemory(WithClaimedSize(small, 65535, 65535)), EJPEG);
    // A size that fits memory over far too little data for it is no photo: refused before
    // the picture is made. Huffman data takes a bit a block at least.
    const std::string progressive = test::EncodeWithLibjpeg(16, 16, 3, JCS_RGB, 50, true,
                                                            [](int x, int, int) { return uint8_t(x * 16); });
    for (const std::string& header : {WithClaimedSize(small, 2000, 1500), WithClaimedSize(progressive, 16383, 16383)}) {
        EXPECT_NE(MessageOf([&] { DecodeJpeg(header); }).find("bytes of picture data cannot hold a picture of"),
                  std::string::npos);
        // The lossless mode reads none of it either: such a file goes the decoding way.
        const LosslessOutcome lossless = StampLossless(header, {{0, 0, 8, 8}, [](Picture&, int, int) {}, true});
        EXPECT_EQ(lossless.Report(), "re-encoded: damaged data: the coded data is too short for the picture's size");
    }
    // The floor never refuses a real picture, however flat: a grey one at the lowest quality.
    for (bool progressiveFlat : {false, true}) {
        const std::string flat = test::EncodeWithLibjpeg(2048, 1536, 3, JCS_RGB, 1, progressiveFlat,
                                                         [](int, int, int) { return uint8_t(128); });
        JpegDecoder decoder = JpegDecoder::InPlace(flat);
        EXPECT_EQ(decoder.Decode().Width(), 2048) << flat.size() << " bytes";
        EXPECT_EQ(decoder.Damage(), PictureDamage::None);
    }
}

TEST(Jpeg, FileErrorsCarryTheRuntimesMessages)
{
    TempDir dir;
    const std::string missing = (dir / "none.jpg").string();
    EXPECT_EQ(MessageOf([&] { DecodeJpegFile(missing); }),
              "Cannot open file \"" + missing + "\". No such file or directory");
    EXPECT_THROW(DecodeJpegFile(missing), EInOutError);
    EXPECT_EQ(MessageOf([&] { DecodeJpegFile(dir.path().string()); }),
              "Cannot open file \"" + dir.path().string() + "\". Is a directory");

    const std::string unwritable = (dir / "no-such-folder" / "out.jpg").string();
    EXPECT_EQ(MessageOf([&] { SaveJpegFile(Gradient(8, 8), 70, unwritable); }),
              "Cannot create file \"" + unwritable + "\". No such file or directory");

    const std::string notJpeg = (dir / "text.jpg").string();
    morvik::test::WriteFile(notJpeg, "just text");
    EXPECT_EQ(MessageOf([&] { DecodeJpegFile(notJpeg); }),
              "JPEG error #" + std::to_string(JERR_NO_SOI) + ". Not a JPEG file: starts with 0x6a 0x75");
}

TEST(Jpeg, SaveReplacesWholeAndLeavesNoTemporaryFile)
{
    TempDir dir;
    const std::string path = (dir / "out.jpg").string();
    morvik::test::WriteFile(path, std::string(100000, 'x'));
    const Picture p = Gradient(40, 30);
    SaveJpegFile(p, 70, path);
    EXPECT_EQ(morvik::test::ReadFile(path), EncodeJpeg(p, 70));
    const Picture back = DecodeJpegFile(path);
    EXPECT_EQ(back.Width(), 40);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);

    // A target that is a folder cannot be replaced; the folder stays.
    const auto folder = dir / "folder.jpg";
    std::filesystem::create_directory(folder);
    EXPECT_EQ(MessageOf([&] { SaveJpegFile(p, 70, folder.string()); }).rfind("Cannot create file \"" + folder.string() + "\". ", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(Jpeg, LongTargetNameStillWrites)
{
    TempDir dir;
    const std::string path = (dir / (std::string(240, 'n') + ".jpg")).string();
    SaveJpegFile(Gradient(8, 8), 70, path);
    EXPECT_EQ(DecodeJpegFile(path).Width(), 8);
}

TEST(Jpeg, SeveralThreadsAtOnceGiveTheSameBytes)
{
    const Picture p = Gradient(300, 200);
    const std::string expected = EncodeJpeg(p, 80);
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&] {
            for (int round = 0; round < 5; ++round) {
                result = EncodeJpeg(DecodeJpeg(expected), 80);
                try {
                    DecodeJpeg("not a jpeg");
                } catch (const EJPEG&) {
                }
            }
        });
    for (auto& t : threads)
        t.join();
    const std::string again = EncodeJpeg(DecodeJpeg(expected), 80);
    for (const auto& result : results)
        EXPECT_EQ(result, again);
}

TEST(Jpeg, EmptyPictureGivesTheEncodersError)
{
    EXPECT_THROW(EncodeJpeg(Picture(), 70), EJPEG);
}

TEST(Jpeg, DecodesCameraSamples)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    const auto dir = morvik::test::CameraSamplesDir();
    int decoded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".jpg")
            continue;
        JpegDecoder decoder = JpegDecoder::FromFile(entry.path().string());
        const Picture p = decoder.Decode();
        EXPECT_EQ(p.Width(), decoder.Width()) << entry.path();
        EXPECT_GT(p.Height(), 0) << entry.path();
        ++decoded;
    }
    EXPECT_GT(decoded, 0);
}
