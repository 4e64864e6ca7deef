// Photo-like JPEGs for the benchmarks: sky and ground gradients, buildings with hard edges
// and windows, fine texture and sensor-like grain, encoded at quality 92 (4:2:0, no
// restart markers).
//   bench_photo_like FOLDER COUNT WIDTH HEIGHT     writes FOLDER/IMG_0001.jpg, …
#include "PhotoLike.h"
#include "platform/FileSystem.h"
#include "stamping/Jpeg.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace morvik;
using morvik::bench::PhotoLike;

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_photo_like FOLDER COUNT WIDTH HEIGHT\n");
        return 2;
    }
    const int count = std::atoi(argv[2]), width = std::atoi(argv[3]), height = std::atoi(argv[4]);
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/IMG_%04d.jpg", i + 1);
        WriteFileReplacing(argv[1] + std::string(name), EncodeJpeg(PhotoLike(width, height, i), 92));
    }
    return 0;
}
