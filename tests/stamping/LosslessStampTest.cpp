// Lossless stamping, checked through libjpeg's own reading of the files: outside the
// stamp's MCUs every block keeps the source's coefficients; inside them the coefficients
// are those one libjpeg encode of the stamped picture at the file's own tables gives.
#include "stamping/lossless/LosslessStamp.h"

#include "jpeg/JpegMarkers.h"  // DefaultJfifHeader
#include "stamping/Jpeg.h"
#include "stamping/Frame.h"
#include "stamping/Orientation.h"
#include "stamping/StampDrawing.h"
#include "stamping/StampSettings.h"
#include "stamping/lossless/ChangedMcus.h"
#include "stamping/lossless/CoefficientStamp.h"
#include "stamping/lossless/TableFit.h"
#include "support/TestJpeg.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <thread>

namespace morvik {
namespace {

using test::EncodeWithLibjpeg;

// ---- libjpeg's reading of a file -------------------------------------------------------

struct ComponentBlocks {
    int H = 1, V = 1, Cols = 0, Rows = 0;
    int RealCols = 0, RealRows = 0;  // without the padding blocks of whole MCUs
    std::vector<std::array<JCOEF, 64>> Blocks;  // Rows × Cols, the padding blocks of full MCUs included
    const std::array<JCOEF, 64>& At(int row, int col) const { return Blocks[size_t(row) * size_t(Cols) + size_t(col)]; }
};

struct FileCoefficients {
    bool Read = false;
    bool Progressive = false;
    int HMax = 1, VMax = 1;
    std::vector<ComponentBlocks> Components;
    bool Interleaved() const { return Components.size() > 1; }
};

FileCoefficients ReadCoefficients(const std::string& jpeg)
{
    FileCoefficients file;
    jpeg_decompress_struct info{};
    test::detail::TestJpegError err{};
    info.err = jpeg_std_error(&err.Mgr);
    err.Mgr.error_exit = test::detail::TestJpegExit;
    if (setjmp(err.Jump)) {
        jpeg_destroy_decompress(&info);
        return file;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    jpeg_read_header(&info, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    file.Progressive = info.progressive_mode;
    file.HMax = info.max_h_samp_factor;
    file.VMax = info.max_v_samp_factor;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& ci = info.comp_info[c];
        ComponentBlocks blocks{ci.h_samp_factor, ci.v_samp_factor, int(ci.width_in_blocks), int(ci.height_in_blocks),
                               int(ci.width_in_blocks), int(ci.height_in_blocks), {}};
        if (info.num_components > 1) {  // whole MCUs
            blocks.Cols = (blocks.Cols + blocks.H - 1) / blocks.H * blocks.H;
            blocks.Rows = (blocks.Rows + blocks.V - 1) / blocks.V * blocks.V;
        }
        for (int row = 0; row < blocks.Rows; ++row) {
            JBLOCKARRAY r = info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info), arrays[c], JDIMENSION(row), 1, FALSE);
            for (int col = 0; col < blocks.Cols; ++col) {
                std::array<JCOEF, 64> block;
                std::memcpy(block.data(), r[0][col], sizeof(JBLOCK));
                blocks.Blocks.push_back(block);
            }
        }
        file.Components.push_back(std::move(blocks));
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    file.Read = true;
    return file;
}

// The picture encoded by libjpeg with the source file's quantization tables, sampling and
// component identifiers.
std::string EncodeAtTablesOf(const std::string& source, const Picture& picture)
{
    jpeg_decompress_struct src{};
    jpeg_error_mgr jerr{};
    src.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&src);
    jpeg_mem_src(&src, reinterpret_cast<const unsigned char*>(source.data()), source.size());
    jpeg_read_header(&src, TRUE);
    const std::string out = EncodeWithLibjpeg(
        picture.Width(), picture.Height(), 3, JCS_RGB, 75, false,
        [&picture](int x, int y, int c) { return picture.Row(y)[3 * x + c]; },
        [&src](jpeg_compress_struct& dst) {
            jpeg_set_colorspace(&dst, src.num_components == 1 ? JCS_GRAYSCALE : JCS_YCbCr);
            for (int c = 0; c < src.num_components; ++c) {
                dst.comp_info[c].component_id = src.comp_info[c].component_id;
                dst.comp_info[c].h_samp_factor = src.comp_info[c].h_samp_factor;
                dst.comp_info[c].v_samp_factor = src.comp_info[c].v_samp_factor;
                dst.comp_info[c].quant_tbl_no = src.comp_info[c].quant_tbl_no;
            }
            for (int t = 0; t < NUM_QUANT_TBLS; ++t)
                if (src.quant_tbl_ptrs[t]) {
                    unsigned int table[64];
                    std::copy(src.quant_tbl_ptrs[t]->quantval, src.quant_tbl_ptrs[t]->quantval + 64, table);
                    jpeg_add_quant_table(&dst, t, table, 100, FALSE);
                }
        });
    jpeg_destroy_decompress(&src);
    return out;
}

// ---- Pictures and stamps ---------------------------------------------------------------

struct Sampling {
    const char* Name;
    int Components, H, V;  // of the first component; the others are 1 × 1
};
constexpr Sampling kSamplings[] = {{"4:4:4", 3, 1, 1}, {"4:2:2", 3, 2, 1}, {"4:2:0", 3, 2, 2},
                                   {"4:4:0", 3, 1, 2}, {"grey", 1, 1, 1}};

struct Restart {
    const char* Name;
    int Mcus, Rows;
};
constexpr Restart kRestarts[] = {{"none", 0, 0}, {"every MCU", 1, 0}, {"every row", 0, 1}, {"every 5 MCUs", 5, 0}};

// A picture with smooth colour and some detail (`detail` its strength), in the sampling,
// restart markers and tables asked for.
std::string TexturedJpeg(const Sampling& s, int width, int height, int quality, int detail, const Restart& r,
                         bool optimize = false)
{
    return EncodeWithLibjpeg(
        width, height, s.Components, s.Components == 1 ? JCS_GRAYSCALE : JCS_RGB, quality, false,
        [detail](int x, int y, int c) { return uint8_t(x * 3 + y * 2 + c * 60 + (x * y % 7) * detail); },
        [&](jpeg_compress_struct& info) {
            info.comp_info[0].h_samp_factor = s.H;
            info.comp_info[0].v_samp_factor = s.V;
            info.restart_interval = unsigned(r.Mcus);
            info.restart_in_rows = r.Rows;
            info.optimize_coding = optimize;
        });
}

// A 75 × 53 picture (no side a multiple of an MCU) with smooth colour and some detail.
std::string SourceJpeg(const Sampling& s, const Restart& r, bool optimize = false, int quality = 85)
{
    return TexturedJpeg(s, 75, 53, quality, 4, r, optimize);
}

// How many bytes at the ends of a and b are the same.
size_t SameTail(const std::string& a, const std::string& b)
{
    size_t same = 0;
    while (same < a.size() && same < b.size() && a[a.size() - 1 - same] == b[b.size() - 1 - same])
        ++same;
    return same;
}

// Noise over the box, by picture coordinates, so that a piece drawn alone gets the
// pixels the whole picture gets there.
RegionPainter NoisePainter(PixelBox box)
{
    return [box](Picture& region, int originX, int originY) {
        for (int y = 0; y < region.Height(); ++y)
            for (int x = 0; x < region.Width(); ++x) {
                const int px = x + originX, py = y + originY;
                if (px >= box.Left && px < box.Right && py >= box.Top && py < box.Bottom) {
                    const uint32_t h = uint32_t(px) * 73856093u ^ uint32_t(py) * 19349663u;
                    region.SetPixel(x, y, RgbColor(uint8_t(h), uint8_t(h >> 8), uint8_t(h >> 16)));
                }
            }
    };
}

// The PSNR of a's pixels against b's over the box (infinite when they are equal).
double Psnr(const Picture& a, const Picture& b, PixelBox box)
{
    double squares = 0;
    int64_t count = 0;
    for (int y = box.Top; y < box.Bottom; ++y)
        for (int x = 3 * box.Left; x < 3 * box.Right; ++x, ++count) {
            const double d = double(a.Row(y)[x]) - b.Row(y)[x];
            squares += d * d;
        }
    return squares == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 * double(count) / squares);
}

// Checks a lossless stamp of the source block by block: outside the MCUs that box touches
// the source's coefficients, inside them those of one encode of `whole`, the source as
// stamped by the decode/encode path. Where the stamp was moved to what the file's tables
// code, the blocks inside may differ: the PSNR of their pixels against that encode is
// printed and returned.
double ExpectSplicedExactly(const std::string& source, const LosslessOutcome& out, const std::vector<PixelBox>& boxes,
                            const Picture& whole)
{
    if (out.Way == LosslessWay::ReEncode) {
        ADD_FAILURE() << out.Report();
        return 0;
    }
    const test::LibjpegDecode decoded = test::DecodeWithLibjpeg(out.Jpeg);
    EXPECT_TRUE(decoded.Decoded && !decoded.Warned) << "libjpeg warned or failed";
    const std::string wanted = EncodeAtTablesOf(source, whole);
    const FileCoefficients src = ReadCoefficients(source), got = ReadCoefficients(out.Jpeg),
                           want = ReadCoefficients(wanted);
    if (!src.Read || !got.Read || !want.Read || got.Components.size() != src.Components.size()) {
        ADD_FAILURE() << "libjpeg cannot read the coefficients";
        return 0;
    }
    // The MCUs the boxes touch, clipped to the picture.
    const int mcuW = src.Interleaved() ? 8 * src.HMax : 8, mcuH = src.Interleaved() ? 8 * src.VMax : 8;
    const int width = whole.Width(), height = whole.Height();
    auto clipped = [&](const PixelBox& box) {
        return PixelBox{std::max(box.Left, 0), std::max(box.Top, 0), std::min(box.Right, width),
                        std::min(box.Bottom, height)};
    };
    auto touches = [&](int mcuCol, int mcuRow) {
        return std::any_of(boxes.begin(), boxes.end(), [&](const PixelBox& box) {
            const PixelBox b = clipped(box);
            return !b.Empty() && mcuCol >= b.Left / mcuW && mcuCol <= (b.Right - 1) / mcuW &&
                   mcuRow >= b.Top / mcuH && mcuRow <= (b.Bottom - 1) / mcuH;
        });
    };
    int wrong = 0, changedOutside = 0;
    for (size_t c = 0; c < src.Components.size(); ++c) {
        const ComponentBlocks& s = src.Components[c];
        for (int row = 0; row < s.Rows; ++row)
            for (int col = 0; col < s.Cols; ++col) {
                const int mcuCol = src.Interleaved() ? col / s.H : col, mcuRow = src.Interleaved() ? row / s.V : row;
                const bool touched = touches(mcuCol, mcuRow);
                const auto& expected = touched ? want.Components[c].At(row, col) : s.At(row, col);
                // A scan of one component codes no padding blocks (libjpeg reads them as
                // zeros); an interleaved output codes them as libjpeg pads.
                const bool uncodedPadding = (row >= s.RealRows || col >= s.RealCols) &&
                                            std::all_of(expected.begin(), expected.end(), [](JCOEF v) { return v == 0; });
                if (expected != got.Components[c].At(row, col) && !(uncodedPadding && !touched))
                    ++(touched ? wrong : changedOutside);
            }
    }
    EXPECT_EQ(changedOutside, 0) << "blocks outside the stamp changed";
    if (!out.StampFitted) {
        // Coefficients moved to realign the data after the stamp change one or two blocks
        // (of a progressive file, one or two for each scan).
        const int aligned = out.StampAligned ? (src.Progressive ? 20 : 2) : 0;
        EXPECT_LE(wrong, aligned) << "blocks under the stamp unlike one encode of the stamped picture";
        if (!out.StampAligned)
            return INFINITY;
    }
    double psnr = INFINITY;
    for (const PixelBox& box : boxes) {
        const PixelBox b = clipped(box);
        if (b.Empty())
            continue;
        const PixelBox mcus{b.Left / mcuW * mcuW, b.Top / mcuH * mcuH, std::min((b.Right - 1) / mcuW * mcuW + mcuW, width),
                            std::min((b.Bottom - 1) / mcuH * mcuH + mcuH, height)};
        psnr = std::min(psnr, Psnr(DecodeJpeg(out.Jpeg), DecodeJpeg(wanted), mcus));
    }
    std::printf("    the stamp's MCUs against the unconstrained encode: PSNR %.1f dB\n", psnr);
    return psnr;
}

double ExpectSplicedExactly(const std::string& source, const LosslessOutcome& out, PixelBox box, const Picture& whole)
{
    return ExpectSplicedExactly(source, out, std::vector<PixelBox>{box}, whole);
}

// Stamps the source with the painter and checks the output block by block.
LosslessOutcome ExpectStampedExactly(const std::string& source, PixelBox box, const RegionPainter& paint,
                                     double* psnr = nullptr)
{
    const LosslessOutcome out = StampLossless(source, {box, paint, true});
    Picture whole = DecodeJpeg(source);
    paint(whole, 0, 0);
    const double p = ExpectSplicedExactly(source, out, box, whole);
    if (psnr)
        *psnr = p;
    return out;
}

// The window's save: a photo decoded, turned upright, stamped twice and framed, written
// back with only the MCUs holding a changed pixel coded again, whatever the turn.
TEST(LosslessStamp, ASavedPictureCodesAgainOnlyTheMcusItChanged)
{
    const PixelBox stamps[] = {{40, 30, 60, 41}, {5, 12, 14, 20}};
    for (const Sampling& sampling : {kSamplings[0], kSamplings[2], kSamplings[4]})
        for (const int orientation : {1, 3, 6, 8}) {
            SCOPED_TRACE(std::string(sampling.Name) + ", Orientation " + std::to_string(orientation));
            const std::string source = SourceJpeg(sampling, kRestarts[0]);
            Picture stored = DecodeJpeg(source);
            for (const PixelBox& box : stamps)
                NoisePainter(box)(stored, 0, 0);
            AddFrame(stored, stored.Width(), stored.Height());  // rings at the edges, whatever the turn
            // Every stored pixel that changed, as a box of its own.
            const Picture decoded = DecodeJpeg(source);
            std::vector<PixelBox> changed;
            for (int y = 0; y < stored.Height(); ++y)
                for (int x = 0; x < stored.Width(); ++x)
                    if (std::memcmp(stored.Row(y) + 3 * x, decoded.Row(y) + 3 * x, 3) != 0)
                        changed.push_back({x, y, x + 1, y + 1});
            const LosslessOutcome out = SaveChangedMcus(source, DisplayedPicture(stored, orientation), orientation);
            EXPECT_EQ(out.Report(), "lossless");
            ExpectSplicedExactly(source, out, changed, stored);
        }
    // Nothing changed: the file as it is; another size: saved by encoding, with the reason.
    const std::string source = SourceJpeg(kSamplings[2], kRestarts[0]);
    EXPECT_EQ(SaveChangedMcus(source, DecodeJpeg(source), 1).Jpeg, source);
    const LosslessOutcome resized = SaveChangedMcus(source, Picture(53, 75), 1);
    EXPECT_EQ(resized.Way, LosslessWay::ReEncode);
    EXPECT_EQ(resized.Reason, "the picture's size is not the file's");
}

// Boxes over the 75 × 53 picture: corners, middle, across MCU and restart boundaries,
// partly and wholly outside, whole rows, everything.
constexpr PixelBox kBoxes[] = {
    {-3, -2, 10, 9},   {68, -5, 90, 7},  {-10, 45, 5, 60},   {60, 40, 75, 53},   {30, 20, 45, 31},
    {14, 14, 19, 19},  {7, 30, 9, 34},   {-5, 20, 200, 22}, {-1, -1, 100, 100}, {0, 8, 75, 9},
};

TEST(LosslessStamp, EveryBlockOutsideTheStampKeepsItsCoefficients)
{
    for (const Sampling& sampling : kSamplings)
        for (const Restart& restart : kRestarts) {
            const std::string source = SourceJpeg(sampling, restart);
            for (const PixelBox& box : kBoxes) {
                SCOPED_TRACE(std::string(sampling.Name) + ", restart " + restart.Name + ", box " +
                             std::to_string(box.Left) + "," + std::to_string(box.Top) + "," +
                             std::to_string(box.Right) + "," + std::to_string(box.Bottom));
                EXPECT_EQ(ExpectStampedExactly(source, box, NoisePainter(box)).Report(), "lossless");
            }
        }
}

// Runs the work on a thread of its own; false when it has not ended within the limit (a
// hang: the thread is left behind and the test goes on).
bool EndsWithin(std::chrono::seconds limit, std::function<void()> work)
{
    auto ended = std::make_shared<std::promise<void>>();
    std::future<void> future = ended->get_future();
    std::thread([work = std::move(work), ended] {
        try {
            work();
            ended->set_value();
        } catch (...) {
            ended->set_exception(std::current_exception());
        }
    }).detach();
    if (future.wait_for(limit) != std::future_status::ready)
        return false;
    future.get();  // an exception of the work fails the test
    return true;
}

TEST(LosslessStamp, APartialLastRestartIntervalIsStampedAtEveryCorner)
{
    // 5 × 5 MCUs: none of the intervals divides 25, so the last interval is cut short.
    for (const Sampling& sampling : kSamplings) {
        const int mcuW = sampling.Components == 1 ? 8 : 8 * sampling.H;
        const int mcuH = sampling.Components == 1 ? 8 : 8 * sampling.V;
        const int width = 5 * mcuW - 3, height = 5 * mcuH - 2;
        for (const int interval : {2, 3, 7}) {
            const std::string source = TexturedJpeg(sampling, width, height, 85, 4, Restart{"", interval, 0});
            for (const PixelBox& box : {PixelBox{0, 0, 6, 6}, PixelBox{width - 6, 0, width, 6},
                                        PixelBox{0, height - 6, 6, height}, PixelBox{width - 6, height - 6, width, height},
                                        PixelBox{0, 0, width, height}}) {
                SCOPED_TRACE(std::string(sampling.Name) + ", every " + std::to_string(interval) + " MCUs, box " +
                             std::to_string(box.Left) + "," + std::to_string(box.Top));
                EXPECT_TRUE(EndsWithin(std::chrono::seconds(30), [source, box] {
                    EXPECT_EQ(ExpectStampedExactly(source, box, NoisePainter(box)).Report(), "lossless");
                })) << "the stamp did not end";
            }
        }
    }
}

TEST(LosslessStamp, TheScanEndsWithoutExtraneousBytesWhereverTheStampEnds)
{
    // A stamp moved pixel by pixel over pictures without restart markers whose coded data
    // ends with every count of padding bits, its noise coded at quality 100 with no room
    // for zero-run codes to realign the data after it: that data moves by every bit offset,
    // and the source's padding bits must not come out as a whole byte of padding before the
    // end marker (ExpectSplicedExactly counts libjpeg's warnings).
    for (const Sampling& sampling : {kSamplings[2], kSamplings[4]})
        for (int height = 60; height < 72; ++height) {
            const std::string source = EncodeWithLibjpeg(
                100, height, sampling.Components, sampling.Components == 1 ? JCS_GRAYSCALE : JCS_RGB, 100, false,
                [](int x, int y, int c) { return uint8_t(x * 2 + y * 3 + c * 50 + (x * y % 13) * 6); },
                [&](jpeg_compress_struct& info) {
                    info.comp_info[0].h_samp_factor = sampling.H;
                    info.comp_info[0].v_samp_factor = sampling.V;
                });
            for (int left = 0; left < 84; left += 9) {
                SCOPED_TRACE(std::string(sampling.Name) + " " + std::to_string(left) + "," + std::to_string(height));
                const PixelBox box{left, 30, left + 17, 39};
                ExpectStampedExactly(source, box, NoisePainter(box));
            }
        }
}

TEST(LosslessStamp, AStampOutsideThePictureGivesACopy)
{
    const std::string source = SourceJpeg(kSamplings[2], kRestarts[0]);
    for (const PixelBox& box : {PixelBox{80, 0, 100, 10}, PixelBox{-20, -20, 0, 0}, PixelBox{10, 10, 10, 30}}) {
        const LosslessOutcome out = StampLossless(source, {box, NoisePainter(box), true});
        EXPECT_EQ(out.Way, LosslessWay::Lossless);
        EXPECT_EQ(out.Jpeg, source);
    }
}

TEST(LosslessStamp, AfterTheStampTheSourcesBytesFollowAsTheyWere)
{
    // Smooth blocks (a plain stamp on a smooth picture) leave room for the sixteen-zero codes
    // that end the recoded run where the source's next MCU starts within its byte: the rest
    // of the scan is the source's bytes.
    for (const Sampling& sampling : kSamplings) {
        SCOPED_TRACE(sampling.Name);
        const std::string source = EncodeWithLibjpeg(
            120, 64, sampling.Components, sampling.Components == 1 ? JCS_GRAYSCALE : JCS_RGB, 92, false,
            [](int x, int y, int c) { return uint8_t(x + y * 2 + c * 40); },
            [&](jpeg_compress_struct& info) {
                info.comp_info[0].h_samp_factor = sampling.H;
                info.comp_info[0].v_samp_factor = sampling.V;
            });
        for (const PixelBox& box : {PixelBox{0, 0, 30, 9}, PixelBox{50, 20, 70, 30}}) {
            const LosslessOutcome out = ExpectStampedExactly(source, box, [box](Picture& region, int x, int y) {
                region.FillRect(box.Left - x, box.Top - y, box.Right - x, box.Bottom - y, clWhite);
            });
            EXPECT_GT(SameTail(source, out.Jpeg), (source.size() - source.find("\xFF\xDA")) / 3) << box.Left;
            // The sixteen-zero codes read as the zeros they stand for, also when stamped again.
            const PixelBox wider{box.Left + 20, box.Top, box.Right + 40, box.Bottom + 20};
            ExpectStampedExactly(out.Jpeg, wider, NoisePainter(wider));
        }
    }
}

TEST(LosslessStamp, ALongScanAfterTheStampFollowsByteForByteAlsoWhereZeroRunsCannotRealignIt)
{
    // Noise leaves the blocks under the stamp no room for sixteen-zero codes, and tables
    // fitted to a picture may have none: one or two coefficients under the stamp moved by one step
    // realigns the thousands of MCUs after it, and the scan after the stamp stays the
    // source's bytes.
    int aligned = 0;
    for (const Sampling& sampling : {kSamplings[2], kSamplings[4]})
        for (const bool optimize : {false, true}) {
            const int width = 1024, height = sampling.Components == 1 ? 1040 : 768;  // over 16384 blocks
            const std::string source = TexturedJpeg(sampling, width, height, 92, 9, kRestarts[0], optimize);
            for (int left = 0; left < 48; left += 12) {
                SCOPED_TRACE(std::string(sampling.Name) + (optimize ? ", optimised" : "") + ", left " +
                             std::to_string(left));
                const PixelBox box{left, 3, left + 37, 14};
                const LosslessOutcome out = ExpectStampedExactly(source, box, NoisePainter(box));
                EXPECT_EQ(out.Report(), "lossless");
                aligned += out.StampAligned;
                EXPECT_GT(SameTail(source, out.Jpeg), source.size() * 9 / 10);
            }
        }
    EXPECT_GT(aligned, 4);
}

// A grey picture whose every block has all its coefficients non-zero, coded with tables
// fitted to it: its AC table has no end-of-block code.
std::string WithoutEndOfBlockCode(int blocksWide, int blocksHigh)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(8 * blocksWide);
    info.image_height = JDIMENSION(8 * blocksHigh);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    info.optimize_coding = TRUE;
    jvirt_barray_ptr arrays[1] = {info.mem->request_virt_barray(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                                TRUE, JDIMENSION(blocksWide), JDIMENSION(blocksHigh), 1)};
    jpeg_write_coefficients(&info, arrays);
    for (int row = 0; row < blocksHigh; ++row) {
        JBLOCKARRAY r = info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info), arrays[0], JDIMENSION(row), 1,
                                                     TRUE);
        for (int col = 0; col < blocksWide; ++col)
            for (int k = 0; k < 64; ++k)
                r[0][col][k] = JCOEF(k == 0 ? 8 : 1 + (row + col + k) % 2);
    }
    jpeg_finish_compress(&info);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    jpeg_destroy_compress(&info);
    return out;
}

TEST(LosslessStamp, TablesWithoutAnEndOfBlockCodeAreMadeAnewOverTheNewData)
{
    const std::string source = WithoutEndOfBlockCode(6, 5);
    const PixelBox box{10, 10, 30, 25};
    EXPECT_EQ(ExpectStampedExactly(source, box, NoisePainter(box)).Report(), "lossless, new Huffman tables");
}

TEST(LosslessStamp, OptimisedTablesCodeTheStampMovedToTheirNearestCodes)
{
    // libjpeg's optimised tables for a smooth picture have no codes for the noise's symbols
    // (jpegtran -optimize and cjpeg -optimize make the same ones).
    int fitted = 0;
    for (const int quality : {50, 75, 90, 100})
        for (const Restart& restart : {kRestarts[0], kRestarts[2]})
            for (const Sampling& sampling : {kSamplings[2], kSamplings[4]}) {
                SCOPED_TRACE(std::string(sampling.Name) + ", restart " + restart.Name + ", quality " +
                             std::to_string(quality));
                const std::string source = SourceJpeg(sampling, restart, true, quality);
                const PixelBox box{20, 10, 50, 30};
                double psnr = 0;
                const LosslessOutcome out = ExpectStampedExactly(source, box, NoisePainter(box), &psnr);
                EXPECT_EQ(out.Report(), "lossless");
                fitted += out.StampFitted;
                EXPECT_GT(psnr, 25.0);  // noise moved to the nearest codes, not to flat grey
            }
    EXPECT_GT(fitted, 8);

    // The tables of a smooth photo code next to no AC values: sharp stripes moved to them
    // would turn to blocks, so the scan takes new tables and the stripes go in as drawn.
    const std::string smooth = EncodeWithLibjpeg(
        75, 53, 3, JCS_RGB, 90, false, [](int x, int y, int c) { return uint8_t(40 + x / 4 + y / 4 + c * 20); },
        [](jpeg_compress_struct& info) { info.optimize_coding = TRUE; });
    const PixelBox box{20, 10, 50, 30};
    const RegionPainter stripes = [box](Picture& region, int originX, int originY) {
        for (int y = 0; y < region.Height(); ++y)
            for (int x = 0; x < region.Width(); ++x)
                if (x + originX >= box.Left && x + originX < box.Right && y + originY >= box.Top &&
                    y + originY < box.Bottom)
                    region.SetPixel(x, y, (x + originX) % 3 == 0 ? clWhite : clBlack);
    };
    double psnr = 0;
    EXPECT_EQ(ExpectStampedExactly(smooth, box, stripes, &psnr).Report(), "lossless, new Huffman tables");
    EXPECT_EQ(psnr, INFINITY);
}

// Of the sequences a table codes, a block takes the one nearest to it, even where that
// means a value where a zero was wanted.
TEST(LosslessStamp, TableFitTakesTheNearestCodableBlock)
{
    lossless::HuffmanEncoder ac;
    ac.Length[0x00] = ac.Length[0x01] = ac.Length[0x03] = 2;  // end of block; run 0, categories 1 and 3
    std::array<uint16_t, 64> quant;
    quant.fill(1);
    const auto at = [](int zigzag) { return lossless::kZigzagToNatural[size_t(zigzag)]; };
    lossless::Coef block[64] = {};
    block[at(2)] = 7;  // after a zero: run 1, category 3, which has no code
    EXPECT_EQ(lossless::FitAcToTable(block, ac, quant), 1.0);  // a 1 before it: run 0 for the 7
    EXPECT_EQ(block[at(1)], 1);
    EXPECT_EQ(block[at(2)], 7);
    lossless::Coef coded[64] = {};
    coded[at(1)] = -5;
    EXPECT_EQ(lossless::FitAcToTable(coded, ac, quant), 0.0);  // codable as it is
    EXPECT_EQ(coded[at(1)], -5);
    coded[at(1)] = 3;  // category 2 has no code: 1 (two away) or 4 (one away, category 3)
    EXPECT_EQ(lossless::FitAcToTable(coded, ac, quant), 1.0);
    EXPECT_EQ(coded[at(1)], 4);
}

TEST(LosslessStamp, WhatCannotBeDoneLosslesslyIsReportedWithTheReason)
{
    const auto rgb = [](int x, int y, int c) { return uint8_t(x + y + c); };
    std::string twelveBit = SourceJpeg(kSamplings[2], kRestarts[0]);
    twelveBit[twelveBit.find("\xFF\xC0") + 4] = 12;  // the frame's sample precision
    std::string progressiveTwelveBit = EncodeWithLibjpeg(40, 30, 3, JCS_RGB, 80, true, rgb);
    progressiveTwelveBit[progressiveTwelveBit.find("\xFF\xC2") + 4] = 12;
    const struct {
        std::string Jpeg;
        const char* Report;
    } cases[] = {
        {test::EncodeTestJpeg(40, 30, test::JpegKind::Cmyk), "re-encoded: CMYK"},
        {twelveBit, "re-encoded: 12-bit"},
        {progressiveTwelveBit, "re-encoded: 12-bit"},
    };
    for (const auto& c : cases) {
        const LosslessOutcome out = StampLossless(c.Jpeg, {{0, 0, 20, 20}, NoisePainter({0, 0, 20, 20}), true});
        EXPECT_EQ(out.Report(), c.Report);
        EXPECT_TRUE(out.Jpeg.empty());
    }
}

TEST(LosslessStamp, DamageWhereTheStampReadsReEncodesAndDamageAfterItIsKept)
{
    for (const Restart& restart : {kRestarts[0], kRestarts[2]}) {
        SCOPED_TRACE(restart.Name);
        const std::string source = SourceJpeg(kSamplings[2], restart);
        const size_t scan = source.find("\xFF\xDA");
        const std::string cut = source.substr(0, scan + (source.size() - scan) * 7 / 8);
        std::string corrupt = source;
        for (size_t i = scan + 200; i < scan + 260; i += 2)
            corrupt.replace(i, 2, "\xFF\x00", 2);  // all one bits: no code
        const PixelBox before{0, 0, 10, 10}, after{60, 40, 75, 53};
        const LosslessOutcome kept = StampLossless(cut, {before, NoisePainter(before), true});
        EXPECT_EQ(kept.Way, LosslessWay::Lossless);
        EXPECT_EQ(kept.Damage, SourceDamage::AfterStamp);
        EXPECT_EQ(kept.Report(), "lossless, damaged data after the stamp kept");
        // Past the stamp's MCUs the source's own data is kept byte for byte, up to where it breaks off.
        const size_t tail = (cut.size() - scan) / 2;
        EXPECT_EQ(kept.Jpeg.substr(kept.Jpeg.size() - tail), cut.substr(cut.size() - tail));
        for (const std::string& damaged : {cut, corrupt}) {
            if (damaged == corrupt && restart.Rows > 0)
                continue;  // its intervals before the stamp's are copied unread
            const LosslessOutcome out = StampLossless(damaged, {after, NoisePainter(after), true});
            EXPECT_EQ(out.Report().rfind("re-encoded: damaged data: ", 0), 0u) << out.Report();
            EXPECT_TRUE(out.Jpeg.empty());
        }
    }
}

// A file of several pictures whose first one's header holds a multi-picture index
// (big-endian) naming them all: the byte-order mark 10 bytes into the file, the entries
// 26 bytes after it.
constexpr size_t kIndexTiff = 10, kIndexEntries = 26;
uint32_t Big32(const std::string& s, size_t at)
{
    return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8 |
           uint8_t(s[at + 3]);
}
std::string MultiPictureFile(const std::vector<std::string>& pictures)
{
    auto big = [](uint32_t v, int bytes) {
        std::string b;
        for (int i = bytes - 1; i >= 0; --i)
            b += char(v >> (8 * i));
        return b;
    };
    const uint32_t n = uint32_t(pictures.size());
    const size_t segment = 4 + 4 + kIndexEntries + 16 * n;
    std::string tiff = std::string("MM\0\x2A", 4) + big(8, 4) + big(1, 2) + big(0xB002, 2) + big(7, 2) +
                       big(16 * n, 4) + big(uint32_t(kIndexEntries), 4) + big(0, 4);
    size_t at = 2 + segment + pictures[0].size() - 2;  // where the second picture starts
    for (uint32_t k = 0; k < n; ++k) {
        const size_t size = k == 0 ? at : pictures[k].size();
        tiff += big(k == 0 ? 0x20030000 : 0x00020000, 4) + big(uint32_t(size), 4) +
                big(k == 0 ? 0 : uint32_t(at - kIndexTiff), 4) + big(0, 4);
        if (k > 0)
            at += size;
    }
    std::string file = "\xFF\xD8\xFF\xE2" + big(uint32_t(segment - 2), 2) + std::string("MPF\0", 4) + tiff;
    file += pictures[0].substr(2);
    for (size_t k = 1; k < n; ++k)
        file += pictures[k];
    return file;
}

TEST(LosslessStamp, TheMultiPictureIndexFindsEveryPictureAfterTheStamp)
{
    const std::string first = SourceJpeg(kSamplings[2], kRestarts[0]);
    const std::vector<std::string> others = {SourceJpeg(kSamplings[4], kRestarts[0]),
                                             SourceJpeg(kSamplings[0], kRestarts[1])};
    for (size_t count : {2u, 3u}) {
        std::vector<std::string> pictures = {first};
        pictures.insert(pictures.end(), others.begin(), others.begin() + long(count - 1));
        const std::string source = MultiPictureFile(pictures);
        const PixelBox box{30, 20, 75, 53};
        const LosslessOutcome out = ExpectStampedExactly(source, box, NoisePainter(box));
        ASSERT_NE(out.Jpeg.size(), source.size());  // the first picture's length changed
        size_t next = Big32(out.Jpeg, kIndexTiff + kIndexEntries + 4);  // the first picture's length
        for (size_t k = 1; k < count; ++k) {
            const size_t entry = kIndexTiff + kIndexEntries + 16 * k;
            const size_t at = kIndexTiff + Big32(out.Jpeg, entry + 8), size = Big32(out.Jpeg, entry + 4);
            EXPECT_EQ(at, next) << k;
            EXPECT_EQ(out.Jpeg.substr(at, size), pictures[k]) << k;
            EXPECT_TRUE(test::DecodesCompletely(out.Jpeg.substr(at, size))) << k;
            next = at + size;
        }
        EXPECT_EQ(next, out.Jpeg.size());
    }
}

TEST(LosslessStamp, ProgressiveArithmeticAndMultiScanFilesKeepTheirProcessAndEveryOtherBlock)
{
    const auto picture = [](int x, int y, int c) { return uint8_t(x * 3 + y * 2 + c * 60 + (x * y % 7) * 4); };
    static jpeg_scan_info scans[3] = {{1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0}, {1, {2}, 0, 63, 0, 0}};
    const struct {
        const char* Name;
        bool Progressive, Arithmetic, Scans;
    } processes[] = {{"progressive", true, false, false},
                     {"arithmetic", false, true, false},
                     {"progressive arithmetic", true, true, false},
                     {"three scans", false, false, true}};
    for (const auto& process : processes)
        for (const Sampling& sampling : {kSamplings[2], kSamplings[4]})
            for (const Restart& restart : {kRestarts[0], kRestarts[2]}) {
                if (process.Scans && sampling.Components == 1)
                    continue;
                SCOPED_TRACE(std::string(process.Name) + ", " + sampling.Name + ", restart " + restart.Name);
                const std::string source = EncodeWithLibjpeg(
                    75, 53, sampling.Components, sampling.Components == 1 ? JCS_GRAYSCALE : JCS_RGB, 85,
                    process.Progressive, picture, [&](jpeg_compress_struct& info) {
                        info.comp_info[0].h_samp_factor = sampling.H;
                        info.comp_info[0].v_samp_factor = sampling.V;
                        info.restart_in_rows = restart.Rows;
                        info.arith_code = process.Arithmetic;
                        if (process.Scans) {
                            info.scan_info = scans;
                            info.num_scans = 3;
                        }
                    });
                const PixelBox box{20, 10, 50, 30};
                const LosslessOutcome out = ExpectStampedExactly(source, box, NoisePainter(box));
                EXPECT_EQ(out.Report(), "lossless, picture data coded again");
                jpeg_decompress_struct info{};
                jpeg_error_mgr err{};
                info.err = jpeg_std_error(&err);
                jpeg_create_decompress(&info);
                jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(out.Jpeg.data()), out.Jpeg.size());
                jpeg_read_header(&info, TRUE);
                EXPECT_EQ(bool(info.progressive_mode), process.Progressive);
                EXPECT_EQ(bool(info.arith_code), process.Arithmetic);
                jpeg_destroy_decompress(&info);
            }
}

// A progressive file is spliced scan by scan, walked down to the stamp or every scan to its
// end: every block outside the stamp's MCUs keeps its coefficients, libjpeg reads the
// output without a warning.
TEST(LosslessStamp, ProgressiveFilesAreSplicedScanByScan)
{
    const auto picture = [](int x, int y, int c) { return uint8_t(x * 3 + y * 2 + c * 60 + (x * y % 7) * 4); };
    int spliced = 0, tried = 0;
    for (const Sampling& sampling : kSamplings)
        for (const int quality : {50, 92}) {
            const std::string source = EncodeWithLibjpeg(
                75, 150, sampling.Components, sampling.Components == 1 ? JCS_GRAYSCALE : JCS_RGB, quality, true,
                picture, [&](jpeg_compress_struct& info) {
                    info.comp_info[0].h_samp_factor = sampling.H;
                    info.comp_info[0].v_samp_factor = sampling.V;
                });
            std::vector<PixelBox> boxes(std::begin(kBoxes), std::end(kBoxes));
            boxes.push_back({80, 160, 90, 170});  // outside: the file as it was
            for (const PixelBox& box : boxes)
                for (const lossless::ScanWalk walk : {lossless::ScanWalk::ToTheStamp, lossless::ScanWalk::WholeScans}) {
                    SCOPED_TRACE(std::string(sampling.Name) + ", quality " + std::to_string(quality) + ", box " +
                                 std::to_string(box.Left) + "," + std::to_string(box.Top) + "," +
                                 std::to_string(box.Right) + "," + std::to_string(box.Bottom) +
                                 (walk == lossless::ScanWalk::WholeScans ? ", whole scans" : ""));
                    LosslessOutcome out;
                    const lossless::CoefficientStampResult done =
                        lossless::StampCoefficients(source, box, NoisePainter(box), true, out.Jpeg, walk);
                    ++tried;
                    if (!done.Spliced)
                        continue;  // below the middle, or a run of blocks the tables have no code for
                    ++spliced;
                    out.Way = LosslessWay::Lossless;
                    out.StampFitted = done.StampFitted;
                    out.StampAligned = done.StampAligned;
                    Picture whole = DecodeJpeg(source);
                    NoisePainter(box)(whole, 0, 0);
                    ExpectSplicedExactly(source, out, box, whole);
                }
        }
    EXPECT_GT(spliced, tried * 3 / 4);
    // The batch's stamp: at the top spliced, at the bottom read and written by libjpeg.
    const std::string source = EncodeWithLibjpeg(75, 150, 3, JCS_RGB, 85, true, picture, [](jpeg_compress_struct&) {});
    for (const auto& [box, report] : {std::pair{PixelBox{5, 5, 40, 20}, "lossless"},
                                      std::pair{PixelBox{5, 130, 40, 145}, "lossless, picture data coded again"}})
        EXPECT_EQ(StampLossless(source, {box, NoisePainter(box), true}).Report(), report);
}

// The markers of a file up to its scan.
std::vector<std::string> SectionsOf(const std::string& jpeg)
{
    std::vector<std::string> sections;
    for (size_t p = 2; p + 4 <= jpeg.size();) {
        const size_t length = size_t(uint8_t(jpeg[p + 2])) << 8 | uint8_t(jpeg[p + 3]);
        sections.push_back(jpeg.substr(p, 2 + length));
        if (uint8_t(jpeg[p + 1]) == 0xDA)
            break;
        p += 2 + length;
    }
    return sections;
}

TEST(LosslessStamp, MetadataIsKeptOrReplacedByTheDefaultHeaderButTheIccProfileStays)
{
    const std::string plain = SourceJpeg(kSamplings[2], kRestarts[0]);
    auto section = [](uint8_t marker, const std::string& body) {
        return std::string{'\xFF', char(marker), char((body.size() + 2) >> 8), char((body.size() + 2) & 0xFF)} + body;
    };
    const std::string exif = section(0xE1, std::string("Exif\0\0MM\0\x2A\0\0\0\x08\0\0", 16));
    const std::string icc = section(0xE2, std::string("ICC_PROFILE\0\1\1profile", 21));
    const std::string xmp = section(0xE1, "http://ns.adobe.com/xap/1.0/\0<x/>");
    const std::string comment = section(0xFE, "a comment");
    const std::vector<std::string> own = SectionsOf(plain);  // JFIF APP0, DQT, …, SOS
    std::string source = "\xFF\xD8" + exif + xmp + icc + comment;
    for (size_t i = 1; i < own.size(); ++i)
        source += own[i];
    source += plain.substr(plain.find("\xFF\xDA") + own.back().size());
    const PixelBox box{40, 20, 60, 40};

    const LosslessOutcome kept = StampLossless(source, {box, NoisePainter(box), true});
    const size_t scan = source.find("\xFF\xDA");
    EXPECT_EQ(kept.Jpeg.substr(0, scan), source.substr(0, scan));

    const LosslessOutcome bare = StampLossless(source, {box, NoisePainter(box), false});
    std::vector<std::string> expected = {std::string(DefaultJfifHeader()), icc};
    expected.insert(expected.end(), own.begin() + 1, own.end());
    EXPECT_EQ(SectionsOf(bare.Jpeg), expected);
    EXPECT_EQ(bare.Jpeg.substr(bare.Jpeg.find("\xFF\xDA")), kept.Jpeg.substr(scan));
}

TEST(LosslessStamp, ThePlacedStampOfTheAlbumPresetOnATurnedPhoto)
{
    // Stored 320 × 240 and shown turned a quarter clockwise (Orientation 6): the date goes
    // to the displayed bottom-right corner, upright there, which is the stored top-right.
    StampControls controls;
    StampSettings settings;
    ApplyPreset(3, controls, settings);
    const std::string text = "15.08.2007 12:30:45";
    const Sampling& sampling = kSamplings[2];
    const std::string source = EncodeWithLibjpeg(
        320, 240, sampling.Components, JCS_RGB, 92, false,
        [](int x, int y, int c) { return uint8_t(x * 2 + y * 3 + c * 50 + (x * y % 11) * 5); },
        [&](jpeg_compress_struct& info) {
            info.comp_info[0].h_samp_factor = sampling.H;
            info.comp_info[0].v_samp_factor = sampling.V;
        });
    const StampPlacement placement = PlaceStamp(text, controls.Look, 320, 240, 6);
    ASSERT_FALSE(placement.Bounds.Empty());
    EXPECT_GT(placement.Bounds.Left, 160);
    EXPECT_LT(placement.Bounds.Bottom, 120);
    Picture whole = DecodeJpeg(source);
    DrawStamp(whole, text, controls.Look, 6);
    const LosslessOutcome out = StampLossless(source, text, controls.Look, 6, true);
    ExpectSplicedExactly(source, out, placement.Bounds, whole);
}

TEST(LosslessStamp, ASeveralLineShadowedCaptionInAutomaticColour)
{
    // The colour is chosen from the MCUs the splice decodes: the same choice as on the
    // decoded photo, white on the dark one, black on the light one.
    StampLook look;
    look.Font = {"DejaVu Sans", 11, false, false};
    look.Anchor = StampAnchor::BottomLeft;
    look.RelativeSize = look.RelativeMargin = true;
    look.SizePercent = 6;
    look.BackgroundStyle = TBrushStyle::Cross;
    look.Outline = true;
    look.Shadow = StampShadow{};
    look.AutoColor = true;
    const std::string text = "Canon EOS 40D\n1/250 s f/2.8 ISO 400";
    for (const auto& [level, ink] : {std::pair{40, clWhite}, std::pair{215, clBlack}}) {
        SCOPED_TRACE(level);
        const std::string source = EncodeWithLibjpeg(
            320, 240, kSamplings[2].Components, JCS_RGB, 90, false,
            [level = level](int x, int y, int c) { return uint8_t(level + (x * 3 + y * 5 + c * 7) % 23); },
            [](jpeg_compress_struct& info) {
                info.comp_info[0].h_samp_factor = kSamplings[2].H;
                info.comp_info[0].v_samp_factor = kSamplings[2].V;
            });
        const StampPlacement placement = PlaceStamp(text, look, 320, 240, 1);
        Picture whole = DecodeJpeg(source);
        DrawStamp(whole, text, look, 1);
        const LosslessOutcome out = StampLossless(source, text, look, 1, true);
        ExpectSplicedExactly(source, out, placement.Bounds, whole);
        bool inked = false;
        for (int y = placement.Cells.Top; y < placement.Cells.Bottom && !inked; ++y)
            for (int x = placement.Cells.Left; x < placement.Cells.Right && !inked; ++x)
                inked = whole.Pixel(x, y) == ink;
        EXPECT_TRUE(inked);
    }
}

TEST(LosslessStamp, CameraPhotosKeepEveryBlockOutsideTheStamp)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    int stamped = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::CameraSamplesDir())) {
        if (entry.path().extension() != ".jpg")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string source = test::ReadFile(entry.path());
        const Picture picture = DecodeJpeg(source);
        for (const PixelBox box : {PixelBox{-2, -2, 70, 20}, PixelBox{picture.Width() - 90, picture.Height() - 17,
                                                                       picture.Width() + 5, picture.Height() + 5}}) {
            const LosslessOutcome probe = StampLossless(source, {box, NoisePainter(box), true});
            if (probe.Way == LosslessWay::ReEncode)
                continue;
            ExpectStampedExactly(source, box, NoisePainter(box));
            ++stamped;
        }
    }
    EXPECT_GT(stamped, 20);
}

// The file re-saved with Huffman tables fitted to its data, as `jpegtran -optimize` does,
// or made progressive, as `jpegtran -progressive` does.
std::string WithOptimisedTables(const std::string& jpeg, bool progressive = false)
{
    jpeg_decompress_struct src{};
    jpeg_compress_struct dst{};
    jpeg_error_mgr srcErr{}, dstErr{};
    src.err = jpeg_std_error(&srcErr);
    dst.err = jpeg_std_error(&dstErr);
    jpeg_create_decompress(&src);
    jpeg_create_compress(&dst);
    jpeg_mem_src(&src, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    jpeg_read_header(&src, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&src);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&dst, &buffer, &size);
    jpeg_copy_critical_parameters(&src, &dst);
    dst.optimize_coding = TRUE;
    if (progressive)
        jpeg_simple_progression(&dst);
    jpeg_write_coefficients(&dst, arrays);
    jpeg_finish_compress(&dst);
    jpeg_finish_decompress(&src);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    jpeg_destroy_compress(&dst);
    jpeg_destroy_decompress(&src);
    return out;
}

TEST(LosslessStamp, CameraPhotosWithOptimisedTablesTakeTheDateStampInTheirOwnTables)
{
    // The album preset's date at the bottom-right of each camera photo, also re-saved with
    // optimised tables, and at the top-left of the photo made progressive: lossless with
    // the photo's own tables, the stamp's MCUs near one encode of the stamped photo (PSNR
    // printed).
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    StampControls controls;
    StampSettings settings;
    ApplyPreset(3, controls, settings);
    StampLook topLeft = controls.Look;
    topLeft.Anchor = StampAnchor::TopLeft;
    const std::string text = "15.08.2007 12:30:45";
    int fitted = 0, progressive = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::CameraSamplesDir())) {
        if (entry.path().extension() != ".jpg")
            continue;
        const std::string camera = test::ReadFile(entry.path());
        const struct {
            std::string Source;
            const char* Name;
            const StampLook& Look;
        } sources[] = {{camera, "", controls.Look},
                       {WithOptimisedTables(camera), ", optimised", controls.Look},
                       {WithOptimisedTables(camera, true), ", progressive", topLeft}};
        for (const auto& [source, name, look] : sources) {
            SCOPED_TRACE(entry.path().filename().string() + name);
            const LosslessOutcome out = StampLossless(source, text, look, 1, true);
            if (out.Way == LosslessWay::ReEncode)
                continue;
            EXPECT_NE(out.Way, LosslessWay::LosslessNewTables);
            Picture whole = DecodeJpeg(source);
            DrawStamp(whole, text, look, 1);
            ExpectSplicedExactly(source, out, PlaceStamp(text, look, whole.Width(), whole.Height(), 1).Bounds, whole);
            fitted += out.StampFitted;
            progressive += &look == &topLeft && out.Way == LosslessWay::Lossless;
        }
    }
    EXPECT_GT(fitted, 0);
    EXPECT_GT(progressive, 0) << "no progressive photo was spliced";
}

}  // namespace
}  // namespace morvik
