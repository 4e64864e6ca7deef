#pragma once
// A photo as a viewer shows it, by ImageMagick's `convert -auto-orient` (an oracle outside
// the engine), and where a stamp lies on it.
#include "support/ExifBuilder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace morvik::test {

// A JPEG stream with an EXIF block holding only the Orientation put after its SOI.
inline std::string WithOrientation(const std::string& jpeg, int orientation)
{
    ExifBuilder exif;
    exif.Short(0, 0x0112, {uint16_t(orientation)});
    return jpeg.substr(0, 2) + exif.App1() + jpeg.substr(2);
}

struct ShownPhoto {
    int Width = 0, Height = 0;
    std::string Rgb;  // Width × Height × 3 bytes, row by row
    const unsigned char* At(int x, int y) const
    {
        return reinterpret_cast<const unsigned char*>(Rgb.data()) + (size_t(y) * Width + x) * 3;
    }
};

// The file turned upright as a viewer turns it; empty when convert fails.
inline ShownPhoto AutoOriented(const std::filesystem::path& jpeg)
{
    ShownPhoto shown;
    const std::string command = "convert '" + jpeg.string() + "' -auto-orient -depth 8 ppm:- 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return shown;
    std::string ppm;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        ppm.append(buffer, n);
    ::pclose(pipe);
    int maxValue = 0, used = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &shown.Width, &shown.Height, &maxValue, &used) != 3 ||
        maxValue != 255)
        return {};
    shown.Rgb = ppm.substr(size_t(used) + 1, size_t(shown.Width) * shown.Height * 3);
    return shown;
}

struct ShownBox {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;  // Right and Bottom exclusive
    bool Empty() const { return Right <= Left || Bottom <= Top; }
};

// The box of the pixels that differ from a plain grey ground by more than JPEG's noise.
inline ShownBox StampBoxOnGrey(const ShownPhoto& shown, int grey)
{
    ShownBox box{shown.Width, shown.Height, 0, 0};
    for (int y = 0; y < shown.Height; ++y)
        for (int x = 0; x < shown.Width; ++x) {
            const unsigned char* p = shown.At(x, y);
            if (std::abs(p[0] - grey) + std::abs(p[1] - grey) + std::abs(p[2] - grey) > 90) {
                box.Left = std::min(box.Left, x);
                box.Top = std::min(box.Top, y);
                box.Right = std::max(box.Right, x + 1);
                box.Bottom = std::max(box.Bottom, y + 1);
            }
        }
    return box;
}

}  // namespace morvik::test
