// Decode + stamp + encode of a generated 12-megapixel JPEG against the bare floor of
// decode + encode at the same quality, with the start settings' stamp and with the album
// preset's (3 % of the shorter side, outlined, upright on a photo of EXIF Orientation 6).
// The folder batch aims at 1.10× the floor or less.
// Usage: bench_jpeg_roundtrip [rounds] [quality]
#include "stamping/Jpeg.h"
#include "stamping/StampDrawing.h"
#include "stamping/StampSettings.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace morvik;

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int quality = argc > 2 ? std::atoi(argv[2]) : 85;

    // A photo-like 4000×3000 picture: smooth shading with some fine texture.
    Picture source(4000, 3000);
    for (int y = 0; y < source.Height(); ++y) {
        uint8_t* row = source.Row(y);
        for (int x = 0; x < source.Width(); ++x) {
            const int noise = int((unsigned(x * 7919 + y * 104729) >> 3) & 15);
            row[x * 3] = uint8_t(128 + 100 * std::sin(x / 300.0) + noise);
            row[x * 3 + 1] = uint8_t(128 + 100 * std::cos(y / 250.0) - noise);
            row[x * 3 + 2] = uint8_t((x + y) / 28 + noise);
        }
    }
    const std::string stream = EncodeJpeg(source, 92);

    StampLook look;  // the start settings: default font and colours, solid, at (10, 10)
    look.X = 10;
    look.Y = 10;
    const std::string text = "15.08.2007 23:30:00";
    StampControls album;
    StampSettings settings;
    ApplyPreset(3, album, settings);

    std::vector<double> bare, stamped, albumStamped;
    size_t sink = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        {
            Picture p = DecodeJpeg(stream);
            sink += EncodeJpeg(p, quality).size();
        }
        auto mid = std::chrono::steady_clock::now();
        {
            Picture p = DecodeJpeg(stream);
            DrawStamp(p, text, look);
            sink += EncodeJpeg(p, quality).size();
        }
        auto end = std::chrono::steady_clock::now();
        {
            Picture p = DecodeJpeg(stream);
            DrawStamp(p, text, album.Look, 6);
            sink += EncodeJpeg(p, quality).size();
        }
        auto last = std::chrono::steady_clock::now();
        bare.push_back(std::chrono::duration<double, std::milli>(mid - start).count());
        stamped.push_back(std::chrono::duration<double, std::milli>(end - mid).count());
        albumStamped.push_back(std::chrono::duration<double, std::milli>(last - end).count());
    }
    const double floor = Median(bare), full = Median(stamped), withAlbum = Median(albumStamped);
    std::printf("12 MP (%zu bytes in) at quality %d: decode+encode %.0f ms, decode+stamp+encode %.0f ms, "
                "ratio %.3f; with the album stamp %.0f ms, ratio %.3f (target <= 1.10) [%zu]\n",
                stream.size(), quality, floor, full, full / floor, withAlbum, withAlbum / floor, sink % 10);
    return 0;
}
