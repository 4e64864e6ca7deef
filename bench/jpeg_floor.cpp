// The floor the folder batch is measured against, and the bench's input pictures.
//   bench_jpeg_floor make FOLDER COUNT WIDTH HEIGHT   writes COUNT textured JPEGs (quality 92)
//   bench_jpeg_floor floor QUALITY FILE...            decodes and re-encodes each file with
//                                                     libjpeg in-process and nothing else
#include "stamping/Jpeg.h"
#include "stamping/Picture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

using namespace morvik;

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && argc == 6) {
        const int count = std::atoi(argv[3]), width = std::atoi(argv[4]), height = std::atoi(argv[5]);
        for (int i = 0; i < count; ++i) {
            Picture p(width, height);
            uint32_t noise = 12345u + uint32_t(i);
            for (int y = 0; y < height; ++y) {
                uint8_t* row = p.Row(y);
                for (int x = 0; x < width; ++x) {
                    noise = noise * 1664525u + 1013904223u;
                    const int n = int(noise >> 28);
                    row[3 * x] = uint8_t((x / 7 + i * 40 + n) & 0xFF);
                    row[3 * x + 1] = uint8_t((y / 5 + n * 3) & 0xFF);
                    row[3 * x + 2] = uint8_t(((x + y) / 11 + n) & 0xFF);
                }
            }
            char name[64];
            std::snprintf(name, sizeof name, "/IMG_%04d.jpg", i + 1);
            WriteFileReplacing(argv[2] + std::string(name), EncodeJpeg(p, 92));
        }
        return 0;
    }
    if (mode == "floor" && argc >= 4) {
        const int quality = std::atoi(argv[2]);
        size_t total = 0;
        for (int i = 3; i < argc; ++i) {
            std::ifstream in(argv[i], std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            total += EncodeJpeg(DecodeJpeg(bytes), quality).size();
        }
        std::printf("encoded %zu bytes\n", total);
        return 0;
    }
    std::fprintf(stderr, "usage: bench_jpeg_floor make FOLDER COUNT WIDTH HEIGHT | floor QUALITY FILE...\n");
    return 2;
}
