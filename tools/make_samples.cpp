// make_samples: writes the small demo photos of samples/ — painted scenes encoded with our
// own JPEG encoder, most with an EXIF block holding camera dates, one without any.
//   make_samples OUTPUT_FOLDER
// or one photo of a given size whose EXIF Orientation says how to turn it for display (its
// scene is stored turned so, and shows upright in a viewer that honours the tag):
//   make_samples --photo WIDTH HEIGHT ORIENTATION FILE
// WIDTH and HEIGHT are the photo's as displayed.
#include "stamping/Jpeg.h"
#include "stamping/Orientation.h"
#include "stamping/Picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace morvik;

namespace {

// A little-endian EXIF APP1 section: IFD0 (Make, Model, DateTime, pointer to the EXIF
// directory) and the EXIF directory (DateTimeOriginal, DateTimeDigitized, pixel size).
class ExifApp1 {
public:
    void Ifd0Ascii(uint16_t tag, const std::string& text) { ifd0_.push_back({tag, 2, text + '\0'}); }
    void Ifd0Short(uint16_t tag, uint16_t v) { ifd0_.push_back({tag, 3, U16(v)}); }
    void ExifAscii(uint16_t tag, const std::string& text) { exif_.push_back({tag, 2, text + '\0'}); }
    void ExifLong(uint16_t tag, uint32_t v) { exif_.push_back({tag, 4, U32(v)}); }

    std::string Build() const
    {
        // Layout: header (8), IFD0, its values, EXIF IFD, its values.
        const uint32_t ifd0At = 8;
        const uint32_t ifd0Size = DirSize(ifd0_.size() + 1);
        const uint32_t ifd0Values = ValuesSize(ifd0_);
        const uint32_t exifAt = ifd0At + ifd0Size + ifd0Values;
        std::vector<Entry> ifd0 = ifd0_;
        ifd0.push_back({0x8769, 4, U32(exifAt)});
        std::string tiff = "II" + U16(42) + U32(ifd0At);
        tiff += Directory(ifd0, ifd0At);
        tiff += Directory(exif_, exifAt);
        std::string body = std::string("Exif\0\0", 6) + tiff;
        const size_t length = body.size() + 2;
        return std::string("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + body;
    }

private:
    struct Entry {
        uint16_t Tag, Type;
        std::string Value;
    };
    static std::string U16(uint16_t v) { return {char(v & 0xFF), char(v >> 8)}; }
    static std::string U32(uint32_t v)
    {
        return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
    }
    static uint32_t DirSize(size_t entries) { return uint32_t(2 + 12 * entries + 4); }
    static uint32_t ValuesSize(const std::vector<Entry>& entries)
    {
        uint32_t n = 0;
        for (const Entry& e : entries)
            if (e.Value.size() > 4)
                n += uint32_t(e.Value.size() + (e.Value.size() & 1));
        return n;
    }
    // The directory at TIFF offset `at`, followed by the values that do not fit in an entry.
    static std::string Directory(const std::vector<Entry>& entries, uint32_t at)
    {
        std::string dir = U16(uint16_t(entries.size()));
        std::string values;
        uint32_t valuesAt = at + DirSize(entries.size());
        for (const Entry& e : entries) {
            const uint32_t count = e.Type == 2 ? uint32_t(e.Value.size()) : 1;
            dir += U16(e.Tag) + U16(e.Type) + U32(count);
            if (e.Value.size() <= 4) {
                dir += e.Value + std::string(4 - e.Value.size(), '\0');
            } else {
                dir += U32(valuesAt + uint32_t(values.size()));
                values += e.Value;
                if (e.Value.size() & 1)
                    values += '\0';
            }
        }
        dir += U32(0);
        return dir + values;
    }
    std::vector<Entry> ifd0_, exif_;
};

// A sky, a sun and hills in the scene's colours; `scale` widens the hills.
Picture Scene(int width, int height, TColor sky, TColor ground, double sunX, double scale = 1)
{
    Picture p(width, height);
    for (int y = 0; y < height; ++y) {
        const double t = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double hill =
                height * (0.62 + 0.08 * std::sin(x * 0.03 / scale) + 0.05 * std::sin(x * 0.011 / scale + 1));
            const TColor base = y > hill ? ground : sky;
            const double shade = y > hill ? 0.7 + 0.3 * (1 - t) : 0.75 + 0.25 * t;
            const double dx = x - sunX * width, dy = y - 0.25 * height;
            if (y <= hill && dx * dx + dy * dy < 0.01 * width * width) {
                p.SetPixel(x, y, RgbColor(255, 236, 150));
                continue;
            }
            p.SetPixel(x, y, RgbColor(uint8_t(ColorRed(base) * shade), uint8_t(ColorGreen(base) * shade),
                                      uint8_t(ColorBlue(base) * shade)));
        }
    }
    return p;
}

struct Sample {
    const char* Name;
    const char* Original;  // DateTimeOriginal, or nullptr for a photo without EXIF
    const char* Modified;  // DateTime
    TColor Sky, Ground;
    double SunX;
};

// A photo of width × height pixels as displayed, stored turned by its Orientation.
int WritePhoto(int width, int height, int orientation, const std::string& path)
{
    Picture shown = Scene(width, height, RgbColor(120, 170, 230), RgbColor(200, 185, 140), 0.3, width / 320.0);
    // A little grain, as a camera's sensor gives.
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y)
        for (uint8_t& v : shown.RowSpan(y)) {
            seed = seed * 1664525u + 1013904223u;
            v = uint8_t(std::clamp(int(v) + int(seed >> 29) - 4, 0, 255));
        }
    const bool quarterTurn = orientation >= 5 && orientation <= 8;  // stored with width and height swapped
    Picture stored = Picture::Uninitialized(quarterTurn ? height : width, quarterTurn ? width : height);
    const DisplayTurn turn(orientation, stored.Width(), stored.Height());
    for (int y = 0; y < stored.Height(); ++y)
        for (int x = 0; x < stored.Width(); ++x) {
            const auto [dx, dy] = turn.ToDisplay(x, y);
            stored.SetPixel(x, y, shown.Pixel(dx, dy));
        }
    ExifApp1 exif;
    exif.Ifd0Ascii(0x010F, "Morvik");
    exif.Ifd0Ascii(0x0110, "Sample camera");
    exif.Ifd0Short(0x0112, uint16_t(orientation));
    exif.Ifd0Ascii(0x0132, "2021:07:04 18:20:00");
    exif.ExifAscii(0x9003, "2021:07:04 18:20:00");
    exif.ExifLong(0xA002, uint32_t(stored.Width()));
    exif.ExifLong(0xA003, uint32_t(stored.Height()));
    const std::string jpeg = EncodeJpeg(stored, 90);
    WriteFileReplacing(path, jpeg.substr(0, 2) + exif.Build() + jpeg.substr(2));
    std::printf("%s\n", path.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && std::string(argv[1]) == "--photo")
        return WritePhoto(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: make_samples OUTPUT_FOLDER\n"
                             "       make_samples --photo WIDTH HEIGHT ORIENTATION FILE\n");
        return 2;
    }
    const std::string folder = argv[1];
    constexpr int width = 320, height = 240;
    const Sample samples[] = {
        {"beach.jpg", "2007:08:15 12:30:45", "2007:08:20 09:00:00", RgbColor(120, 180, 240), RgbColor(230, 210, 150), 0.7},
        {"beach_again.jpg", "2007:08:15 12:30:45", "2007:08:20 09:00:02", RgbColor(110, 170, 235), RgbColor(225, 205, 140), 0.72},
        {"dunes.jpg", "2007:08:15 12:31:00", "2007:08:20 09:00:04", RgbColor(140, 190, 245), RgbColor(210, 180, 120), 0.3},
        {"forest.JPG", "2019:03:02 18:04:10", "2019:03:05 21:15:00", RgbColor(250, 170, 110), RgbColor(60, 110, 60), 0.2},
        {"scan.jpg", nullptr, nullptr, RgbColor(200, 200, 210), RgbColor(90, 90, 100), 0.5},
    };
    for (const Sample& s : samples) {
        const std::string jpeg = EncodeJpeg(Scene(width, height, s.Sky, s.Ground, s.SunX), 85);
        std::string file = jpeg;
        if (s.Original) {
            ExifApp1 exif;
            exif.Ifd0Ascii(0x010F, "Morvik");
            exif.Ifd0Ascii(0x0110, "Sample camera");
            exif.Ifd0Ascii(0x0132, s.Modified);
            exif.ExifAscii(0x9003, s.Original);
            exif.ExifAscii(0x9004, s.Original);
            exif.ExifLong(0xA002, width);
            exif.ExifLong(0xA003, height);
            // SOI, the EXIF block, then the encoder's stream after its SOI.
            file = jpeg.substr(0, 2) + exif.Build() + jpeg.substr(2);
        }
        WriteFileReplacing(folder + "/" + s.Name, file);
        std::printf("%s/%s\n", folder.c_str(), s.Name);
    }
    return 0;
}
