#pragma once
// Shared by the fuzz targets and the corpus generator.
#include <cstdint>
#include <string>
#include <string_view>

namespace morvik::fuzz {

// Fixed regional settings, so that a finding replays the same way anywhere.
void UseFixedFormatSettings();

// Reads the input through the whole metadata reader as a file of that name and renders
// everything the report shows; aborts when the reader lets an exception escape.
void ReadAndRender(const std::string& fileName, std::string_view bytes);

// The EXIF-with-maker-note input of fuzz_exif_makernotes: the first byte picks the maker
// (low four bits), the byte order (bit 4), the EXIF version (bits 5 and 6) and whether the
// block is read as a TIFF file (bit 7); the rest is the maker note. Returns the file's
// bytes and sets fileName to "x.jpg" or "x.nef".
std::string MakerNoteFile(std::string_view input, std::string& fileName);
constexpr int kMakerCount = 9;  // eight makers with tables and one without

// A small baseline JPEG picture (16 x 8) the writer fuzzer puts under the kept sections.
const std::string& SmallEncodedPicture();

}  // namespace morvik::fuzz
