// Writes the seed corpus of every fuzz target into <dir>/<target>/, from files of our own
// made with the EXIF and maker-note builders.
//   make_fuzz_corpus fuzz/corpus
#include "fuzz/FuzzTargets.h"

#include "support/ExifBuilder.h"
#include "support/MakerNoteBuilder.h"
#include "support/TestJpeg.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

using morvik::test::ExifBuilder;
using morvik::test::MakeJpeg;
using morvik::test::MakerNoteBuilder;
using morvik::test::Section;

namespace {

std::filesystem::path gRoot;

void Put(const std::string& target, const std::string& name, const std::string& bytes)
{
    const auto dir = gRoot / target;
    std::filesystem::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

// A camera-like EXIF structure: IFD 0 with the usual tags, the EXIF directory with the
// dates and dimensions, a GPS directory and IFD 1 with a thumbnail pointer.
ExifBuilder CameraExif(bool bigEndian)
{
    ExifBuilder b(bigEndian);
    const int exif = b.AddIfd(), gps = b.AddIfd(), interop = b.AddIfd();
    b.Ascii(0, 0x010F, "Canon").Ascii(0, 0x0110, "Canon EOS 40D").Short(0, 0x0112, {1});
    b.Rational(0, 0x011A, {{72, 1}}).Short(0, 0x0128, {2}).Ascii(0, 0x0132, "2007:08:15 12:30:45");
    b.Pointer(0, 0x8769, exif).Pointer(0, 0x8825, gps);
    b.Rational(exif, 0x829A, {{1, 125}}).Rational(exif, 0x829D, {{56, 10}}).Short(exif, 0x8827, {400});
    b.Undefined(exif, 0x9000, "0221").Ascii(exif, 0x9003, "2007:08:15 12:30:45");
    b.Ascii(exif, 0x9004, "2007:08:15 12:30:46").Undefined(exif, 0x9101, std::string("\1\2\3\0", 4));
    b.Rational(exif, 0x9201, {{7, 1}}, 10).Short(exif, 0x9209, {16}).Rational(exif, 0x920A, {{50, 1}});
    b.Undefined(exif, 0x9286, std::string("ASCII\0\0\0a comment", 17));
    b.Short(exif, 0xA002, {640}).Long(exif, 0xA003, {480}).Pointer(exif, 0xA005, interop);
    b.Byte(gps, 0x0000, {2, 2, 0, 0}).Ascii(gps, 0x0001, "N").Rational(gps, 0x0002, {{55, 1}, {45, 1}, {1234, 100}});
    b.Rational(gps, 0x0007, {{12, 1}, {30, 1}, {45, 1}});
    b.Ascii(interop, 0x0001, "R98");
    return b;
}

std::string Dataset(int record, int dataset, const std::string& value)
{
    return std::string{'\x1C', char(record), char(dataset), char(value.size() >> 8), char(value.size() & 0xFF)} + value;
}

// APP13 body after its length bytes: the Photoshop signature and one IPTC resource.
std::string PhotoshopBlock(const std::string& datasets)
{
    std::string body = std::string("Photoshop 3.0", 13) + '\0' + "8BIM" + std::string("\x04\x04\0\0", 4);
    const size_t n = datasets.size();
    body += std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    return body + datasets + (n % 2 ? std::string(1, '\0') : std::string());
}

std::string IptcDatasets()
{
    return Dataset(2, 0, std::string("\0\2", 2)) + Dataset(2, 5, "Blue square") + Dataset(2, 25, "sky") +
           Dataset(2, 25, "sea, \"sun\"") + Dataset(2, 55, "20070815") + Dataset(2, 80, "Ivan") +
           Dataset(2, 120, "A caption") + Dataset(1, 90, "\x1B%G");
}

std::vector<std::pair<std::string, std::string>> JpegSeeds()
{
    std::vector<std::pair<std::string, std::string>> seeds;
    for (bool be : {false, true}) {
        const ExifBuilder b = CameraExif(be);
        seeds.push_back({be ? "camera_mm.jpg" : "camera_ii.jpg", MakeJpeg({b.App1()})});
    }
    const std::string jfif = Section(0xE0, std::string("JFIF\0\1\2\1\0\x48\0\x48\0\0", 14));
    const std::string app13 = Section(0xED, PhotoshopBlock(IptcDatasets()));
    const std::string comment = Section(0xFE, "a comment of our own");
    seeds.push_back({"all_sections.jpg", MakeJpeg({jfif, CameraExif(false).App1(), app13, comment})});
    seeds.push_back({"iptc_only.jpg", MakeJpeg({jfif, app13})});
    seeds.push_back({"app0_comment.jpg", MakeJpeg({jfif, comment})});
    // A real picture under the EXIF block, so the writer's round trip starts from a whole file.
    const std::string& pic = morvik::fuzz::SmallEncodedPicture();
    seeds.push_back({"picture_exif.jpg", "\xFF\xD8" + CameraExif(true).App1() + pic.substr(2)});
    // A loop back to IFD 0 and a directory that says it holds more entries than it does.
    ExifBuilder loop(false);
    const int sub = loop.AddIfd();
    loop.Ascii(0, 0x010F, "NIKON").Pointer(0, 0x8769, sub).Pointer(sub, 0xA005, 0).Short(sub, 0xA002, {1});
    loop.SetEntryCount(sub, 300);
    seeds.push_back({"loop.jpg", MakeJpeg({loop.App1()})});
    return seeds;
}

// One note per maker, in the shape its layout reads.
std::vector<std::pair<std::string, std::string>> MakerSeeds()
{
    std::vector<std::pair<std::string, std::string>> seeds;
    auto common = [](MakerNoteBuilder& n) {
        n.Shorts(0x0001, {1, 2, 3, 4, 5, 6, 7, 8}).Ascii(0x0002, "FINE   ").Long(0x0003, 7);
        n.Rationals(0x0004, {{10, 3}}).Undefined(0x0005, "0100").Shorts(0x0007, {2});
        n.Trailer(std::string(16, '\0'));
    };
    struct Maker {
        int index;
        std::string header;
        int64_t shift;
    };
    const std::vector<Maker> makers = {
        {0, std::string("Nikon\0\2\x10\0\0MM\0*\0\0\0\x08", 18), 10},  // Nikon, own TIFF header
        {1, std::string("OLYMP\0\1\0", 8), 0},                           // Olympus
        {2, std::string("QVC\0\0\0", 6), 0},                             // Casio, second layout
        {3, std::string("FUJIFILM\x0C\0\0\0", 12), 0},                   // Fujifilm
        {4, "", 0},                                                      // Canon
        {5, std::string("EPSON\0\1\0", 8), 0},                           // Seiko
        {6, std::string("SANYO\0\1\0", 8), 0},                           // Sanyo
        {7, "", 0},                                                      // Minolta
        {8, "", 0},                                                      // a maker without a table
    };
    for (const Maker& m : makers) {
        for (int shape : {0x00, 0x10, 0x40, 0x90}) {
            const bool be = (shape & 0x10) != 0 || m.index == 0;
            MakerNoteBuilder n(be && m.index != 3, m.header);
            common(n);
            if (m.index == 4)
                n.Shorts(0x0001, std::vector<uint16_t>(40, 3)).Shorts(0x0004, std::vector<uint16_t>(30, 2));
            const uint8_t pick = uint8_t(m.index | shape);
            Put("fuzz_exif_makernotes", "maker" + std::to_string(m.index) + "_" + std::to_string(shape),
                std::string(1, char(pick)) + n.Build(m.shift));
        }
    }
    return seeds;
}

std::string Double(double v)
{
    std::string s(8, '\0');
    std::memcpy(s.data(), &v, 8);
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_fuzz_corpus <corpus folder>\n";
        return 2;
    }
    gRoot = argv[1];

    for (const auto& [name, bytes] : JpegSeeds()) {
        Put("fuzz_jpeg_sections", name, bytes);
        Put("fuzz_writer_roundtrip", name, bytes);
    }
    for (bool be : {false, true}) {
        Put("fuzz_tiff_reader", be ? "camera_mm.tif" : "camera_ii.tif", CameraExif(be).Tiff());
        ExifBuilder nikon(be);
        const int exif = nikon.AddIfd();
        nikon.Ascii(0, 0x010F, "NIKON CORPORATION").Ascii(0, 0x0110, "NIKON D70").Pointer(0, 0x8769, exif);
        MakerNoteBuilder note(true, std::string("Nikon\0\2\x10\0\0MM\0*\0\0\0\x08", 18));
        note.Ascii(0x0004, "FINE   ").Shorts(0x0005, {1}).Rationals(0x0084, {{18, 1}, {70, 1}, {35, 10}, {45, 10}});
        nikon.Undefined(exif, 0x927C, note.Build(10)).Short(exif, 0xA002, {3008}).Short(exif, 0xA003, {2000});
        Put("fuzz_tiff_reader", be ? "nikon_mm.tif" : "nikon_ii.tif", nikon.Tiff());
    }
    MakerSeeds();

    Put("fuzz_iptc", "datasets", std::string("\0\0", 2) + PhotoshopBlock(IptcDatasets()));
    Put("fuzz_iptc", "extended_length", std::string("\0\0", 2) +
                                            PhotoshopBlock(std::string("\x1C\x02\x78\x80\x04\0\0\0\x05hello", 14)));
    Put("fuzz_iptc", "two_resources",
        std::string("\0\0", 2) + PhotoshopBlock(Dataset(2, 5, "x")) + "8BIM" + std::string("\x04\x0C\0\0\0\0\0\x02", 8) + "ab");

    const double date = 39309.521354166667;  // 15.08.2007 12:30:45
    for (const char* mask : {"dd.mm.yyyy hh:nn:ss", "yy.mm.dd  hh_nn_ss", "c", "ddddd dddddd t tt", "dddd d mmmm yyyy",
                             "h:n:s am/pm a/p ampm", "\"quoted\" 'text' z zz zzz", "Заняло hh:nn:ss", "eee gg / :"}) {
        Put("fuzz_date_mask", std::string("mask") + std::to_string(std::hash<std::string>{}(mask) % 100000),
            Double(date) + mask);
    }
    // Small baseline pictures in the shapes cameras and editors write, a box on each.
    struct Shape {
        const char* Name;
        int Components, H, V, RestartMcus, RestartRows;
        bool Optimize;
    };
    for (const Shape& s : {Shape{"420", 3, 2, 2, 0, 0, false}, Shape{"444_restart1", 3, 1, 1, 1, 0, false},
                           Shape{"422_restart_row", 3, 2, 1, 0, 1, false}, Shape{"grey", 1, 1, 1, 0, 0, false},
                           Shape{"420_optimized", 3, 2, 2, 0, 0, true}, Shape{"440_restart3", 3, 1, 2, 3, 0, true}}) {
        const std::string jpeg = morvik::test::EncodeWithLibjpeg(
            45, 37, s.Components, s.Components == 1 ? JCS_GRAYSCALE : JCS_RGB, 70, false,
            [](int x, int y, int c) { return uint8_t(x * 5 + y * 3 + c * 50 + (x ^ y) % 9); },
            [&s](jpeg_compress_struct& info) {
                info.comp_info[0].h_samp_factor = s.H;
                info.comp_info[0].v_samp_factor = s.V;
                info.restart_interval = unsigned(s.RestartMcus);
                info.restart_in_rows = s.RestartRows;
                info.optimize_coding = s.Optimize;
            });
        Put("fuzz_lossless_splice", std::string(s.Name) + "_corner",
            morvik::fuzz::LosslessSpliceInput(-4, -4, 20, 12, true, jpeg));
        Put("fuzz_lossless_splice", std::string(s.Name) + "_middle",
            morvik::fuzz::LosslessSpliceInput(12, 16, 30, 9, false, jpeg));
    }
    // Progressive and arithmetic-coded pictures, which libjpeg reads to coefficients.
    for (const bool arithmetic : {false, true}) {
        const std::string jpeg = morvik::test::EncodeWithLibjpeg(
            45, 37, 3, JCS_RGB, 70, !arithmetic,
            [](int x, int y, int c) { return uint8_t(x * 5 + y * 3 + c * 50 + (x ^ y) % 9); },
            [arithmetic](jpeg_compress_struct& info) { info.arith_code = arithmetic; });
        Put("fuzz_lossless_splice", arithmetic ? "arithmetic_corner" : "progressive_corner",
            morvik::fuzz::LosslessSpliceInput(-4, -4, 20, 12, true, jpeg));
    }
    // Progressive pictures spliced scan by scan: the stamp in the upper half, grey and in
    // colour, the codes before each scan's rest laid out to end on the source's bits.
    for (const int components : {1, 3}) {
        const std::string jpeg = morvik::test::EncodeWithLibjpeg(
            40, 120, components, components == 1 ? JCS_GRAYSCALE : JCS_RGB, 80, true,
            [](int x, int y, int c) { return uint8_t(x * 7 + y * 2 + c * 40 + (x * y) % 11 * 3); },
            [](jpeg_compress_struct&) {});
        Put("fuzz_lossless_splice", components == 1 ? "progressive_grey_top" : "progressive_colour_top",
            morvik::fuzz::LosslessSpliceInput(4, 8, 24, 14, false, jpeg));
    }

    // A HEIF's EXIF items as phones write them: the offset to the TIFF header, then the
    // block, with the JPEG section's header skipped or none.
    for (bool big : {false, true}) {
        const std::string tiff = CameraExif(big).Tiff();
        const std::string order = big ? "mm" : "ii";
        Put("fuzz_heif_exif", "item_" + order, std::string("\0\0\0\6Exif\0\0", 10) + tiff);
        Put("fuzz_heif_exif", "item_" + order + "_no_offset", std::string(4, '\0') + tiff);
    }

    Put("fuzz_date_mask", "negative", Double(-693593.75) + "dd.mm.yyyy hh:nn:ss.zzz");
    Put("fuzz_date_mask", "huge", Double(2958465.99999999) + "c");

    for (const char* text : {"02:00:00", " 1:30:00", "23:59:59", "24:00:00", "00:60:00", "  :  :  ", "1:2:3"})
        Put("fuzz_correction_text", std::string("t") + std::to_string(std::hash<std::string>{}(text) % 100000), text);
    return 0;
}
