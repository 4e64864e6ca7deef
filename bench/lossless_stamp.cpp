// The lossless stamp over JPEG files: reads each file, stamps the date text at a corner
// and writes the result, as the folder batch would in its lossless mode.
//   bench_lossless_stamp top-left|bottom-right OUTDIR FILE...
//       prints the CPU time of the stamping (the font looked up once before, as a batch
//       does), how each file went and the peak memory of the process. Files are written
//       through the program's replacing writer (flushed to the disk), or with
//       MORVIK_BENCH_PLAIN_WRITE set, plainly as cjpeg writes them
//   bench_lossless_stamp make FOLDER COUNT WIDTH HEIGHT
//       writes COUNT photo-like pictures at quality 92 (4:2:0, no restart markers): sky and
//       ground gradients, shapes with hard edges, fine texture and sensor-like noise
#include "platform/FileSystem.h"
#include "stamping/Jpeg.h"
#include "stamping/StampDrawing.h"
#include "stamping/TextDraw.h"
#include "stamping/lossless/LosslessStamp.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

using namespace morvik;

namespace {

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

// A picture with the mix of smooth areas, edges and grain a photo has.
Picture PhotoLike(int width, int height, int seed)
{
    Picture p = Picture::Uninitialized(width, height);
    uint32_t noise = 2463534242u + uint32_t(seed) * 7919u;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = p.Row(y);
        const bool sky = y < height * 2 / 5;
        for (int x = 0; x < width; ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const int grain = int(noise & 15) - 8;
            int r, g, b;
            if (sky) {
                r = 90 + y * 60 / height;
                g = 140 + y * 50 / height;
                b = 230 - y * 40 / height;
            } else {
                const int texture = int(24 * std::sin(x * 0.07 + seed) * std::cos(y * 0.05) + 12 * std::sin((x + y) * 0.31));
                r = 110 + texture;
                g = 95 + texture / 2 + (x / 250 % 3) * 20;
                b = 60 + texture / 3;
            }
            // Buildings: blocks with hard edges and windows.
            const int block = (x + seed * 97) / 420;
            const int top = height / 4 + (block * 7919 % 5) * height / 20;
            if (y > top && (x + seed * 97) % 420 < 360) {
                const bool window = (x % 40 < 18) && (y % 60 < 30);
                r = window ? 230 : 150 - block % 4 * 20;
                g = window ? 220 : 140 - block % 3 * 15;
                b = window ? 160 : 130;
            }
            row[3 * x] = uint8_t(std::clamp(r + grain, 0, 255));
            row[3 * x + 1] = uint8_t(std::clamp(g + grain, 0, 255));
            row[3 * x + 2] = uint8_t(std::clamp(b + grain, 0, 255));
        }
    }
    return p;
}

int main(int argc, char** argv)
{
    if (argc == 6 && std::strcmp(argv[1], "make") == 0) {
        const int count = std::atoi(argv[3]), width = std::atoi(argv[4]), height = std::atoi(argv[5]);
        for (int i = 0; i < count; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "/IMG_%04d.jpg", i + 1);
            WriteFileReplacing(argv[2] + std::string(name), EncodeJpeg(PhotoLike(width, height, i), 92));
        }
        return 0;
    }
    if (argc < 4 || (std::strcmp(argv[1], "top-left") != 0 && std::strcmp(argv[1], "bottom-right") != 0)) {
        std::fprintf(stderr, "usage: bench_lossless_stamp top-left|bottom-right OUTDIR FILE... | make FOLDER COUNT W H\n");
        return 2;
    }
    const bool bottomRight = std::strcmp(argv[1], "bottom-right") == 0;
    const bool plainWrite = std::getenv("MORVIK_BENCH_PLAIN_WRITE") != nullptr;
    const std::string text = "15.08.2007 12:30:44";
    StampLook look;
    MeasureText(look.Font, text);  // the font lookup, once per run
    const double start = CpuSeconds();
    size_t bytes = 0;
    double spliceCpu = 0;  // the stamp in memory, without reading and writing the files
    for (int i = 3; i < argc; ++i) {
        const std::string source = ReadJpegFile(argv[i]);
        StampLook at = look;
        if (bottomRight) {
            const JpegDecoder header = JpegDecoder::FromMemory(source.substr(0, 65536));
            const PixelBox box = PlaceStamp(text, look, 1 << 20, 1 << 20, 1).Cells;
            at.X = header.Width() - (box.Right - box.Left);
            at.Y = header.Height() - (box.Bottom - box.Top);
        }
        const double before = CpuSeconds();
        const LosslessOutcome out = StampLossless(source, text, at, 1, true);
        spliceCpu += CpuSeconds() - before;
        if (out.Way == LosslessWay::ReEncode) {
            std::fprintf(stderr, "%s: %s\n", argv[i], out.Report().c_str());
            return 1;
        }
        const std::string target = argv[2] + ("/" + std::filesystem::path(argv[i]).filename().string());
        if (plainWrite) {  // as cjpeg writes: no flush to the disk
            std::FILE* f = std::fopen(target.c_str(), "wb");
            if (f == nullptr || std::fwrite(out.Jpeg.data(), 1, out.Jpeg.size(), f) != out.Jpeg.size())
                return 1;
            std::fclose(f);
        } else {
            WriteFileReplacing(target, out.Jpeg);
        }
        bytes += out.Jpeg.size();
        std::printf("%s: %s\n", argv[i], out.Report().c_str());
    }
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("stamp cpu %.4f s (in memory %.4f s), %zu bytes written, peak %ld KiB\n", CpuSeconds() - start,
                spliceCpu, bytes, u.ru_maxrss);
    return 0;
}
