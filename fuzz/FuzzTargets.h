#pragma once
// What each fuzz target does with one input, shared by the libFuzzer programs in fuzz/
// and by the test that replays the regression files in tests/data/regressions/<target>/.
// A target returns nullptr when the input was handled as it must be, else the broken
// rule; memory errors and undefined behaviour are left to the sanitizers.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvik::fuzz {

using Target = const char* (*)(std::string_view input);

struct NamedTarget {
    const char* Name;  // also the folder name of its corpus and regression files
    Target Run;
};

// Every target, by name.
const std::vector<NamedTarget>& Targets();
Target FindTarget(std::string_view name);

// The JPEG section reader from memory, with the EXIF walk, maker notes, IPTC and report.
const char* JpegSections(std::string_view input);
// A file named .tif read for its metadata.
const char* TiffReader(std::string_view input);
// The EXIF walk into a maker note; see MakerNoteFile.
const char* ExifMakerNotes(std::string_view input);
// The IPTC parser over an APP13 section's bytes, and the comma lists it keeps.
const char* Iptc(std::string_view input);
// The date mask: the first eight bytes are the date-time value, the rest the mask.
const char* DateMask(std::string_view input);
// The correction text: a time of day or EConvertError, and it applies both ways.
const char* CorrectionText(std::string_view input);
// Read, write over a small picture with the dimensions adjusted, read again.
const char* WriterRoundTrip(std::string_view input);

// The lossless stamp over a JPEG file: the first four bytes place a box of up to 64 × 64
// pixels (its left and top, as signed bytes times four, and its size), the fifth keeps or
// drops the metadata; the rest is the file. Where libjpeg reads the file without a
// warning it must read the output without one, unless a reason or EJPEG is given.
const char* LosslessSplice(std::string_view input);
// The picture decoder over a JPEG stream: it decodes or fails with its message, and never
// makes a picture far larger than its data can hold (a header claiming gigapixels over a
// few bytes), nor reads scans without end.
const char* PictureDecode(std::string_view input);
// The prefix LosslessSplice reads before the file.
std::string LosslessSpliceInput(int left, int top, int width, int height, bool keepMetadata, const std::string& jpeg);

// A HEIF's EXIF item as libheif hands it over: its TIFF block found, the Orientation set
// upright, read by the metadata reader, and the stamped JPEG made with it and with an ICC
// profile and XMP cut from the input. The output must decode with libjpeg and read back
// with Orientation 1; a malformed item must be refused with EHeif.
const char* HeifExif(std::string_view input);
// The thread scheme parser: a list of threads, each numbered, or EThreadScheme.
const char* ThreadSchemeText(std::string_view input);

// The input of ExifMakerNotes: the first byte picks the maker (low four bits), the byte
// order (bit 4), the EXIF version (bits 5 and 6) and whether the block is read as a TIFF
// file (bit 7); the rest is the maker note. Returns the file's bytes and sets fileName to
// "x.jpg" or "x.nef".
std::string MakerNoteFile(std::string_view input, std::string& fileName);
constexpr int kMakerCount = 9;  // eight makers with tables and one without

// A small baseline JPEG picture (16 x 8) the writer target puts under the kept sections.
const std::string& SmallEncodedPicture();

}  // namespace morvik::fuzz
