#pragma once
// The photo-like picture the benchmarks work on: sky and ground gradients, buildings with
// hard edges and windows, fine texture and sensor-like grain.
#include "stamping/Picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace morvik::bench {

// A picture with the mix of smooth areas, edges and grain a photo has.
inline Picture PhotoLike(int width, int height, int seed)
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

}  // namespace morvik::bench
