#pragma once
// What the lossless stamp needs to know of a JPEG file: its marker segments up to the
// scan, and for a baseline sequential picture its frame, tables and MCU layout.
#include "jpeg/JpegMarkers.h"
#include "stamping/lossless/EntropyCoding.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvik::lossless {

struct ScanComponent {
    int FrameIndex = 0;  // place in the frame header (and in libjpeg's comp_info)
    int Id = 0;
    int H = 1, V = 1;  // sampling factors
    int QuantSlot = 0, DcSlot = 0, AcSlot = 0;
};

// One block of an MCU: its component (index into Components) and its place in the
// component's blocks of that MCU.
struct McuBlock {
    uint8_t Component = 0;
    uint8_t Dx = 0, Dy = 0;
};

// The way of a file whose coded data is too short for the frame it claims: a file cut
// short or a bomb, for which nothing is allocated or drawn.
inline constexpr const char* kFrameNotFilled = "damaged data: the coded data is too short for the picture's size";

struct JpegStructure {
    // Why the picture cannot be stamped without re-encoding it ("progressive"); empty for
    // a baseline sequential picture, for which the rest is filled in.
    std::string ReEncodeReason;
    // The reason is one libjpeg's reading of all coefficients overcomes (progressive,
    // arithmetic-coded, several scans); Width and Height are filled in then too.
    bool ViaCoefficients = false;

    std::vector<JpegSegment> Segments;  // from after SOI to the SOS included
    size_t ScanStart = 0;                 // first byte of the coded data

    int Width = 0, Height = 0;
    int RestartInterval = 0;  // MCUs, 0 for none
    std::vector<ScanComponent> Components;  // in scan order; every component of the frame
    int McuWidth = 8, McuHeight = 8;        // pixels
    int McusWide = 0, McusHigh = 0;
    std::vector<McuBlock> McuBlocks;  // in coding order

    std::array<std::array<uint16_t, 64>, 4> Quant{};  // natural order, by slot
    std::array<HuffmanTable, 4> DcTables, AcTables;      // by slot, as the decoder uses them

    int64_t McuCount() const { return int64_t(McusWide) * McusHigh; }
    bool Grey() const { return Components.size() == 1; }
};

// Whether a decoder needs the segment, or it is the ICC profile, which colour-managed
// viewers need to show the colours right: what a stamped file keeps without its metadata.
bool KeptWithoutMetadata(std::string_view jpeg, const JpegSegment& seg);

// Sets the MCU layout (size, count, blocks in coding order) from Width, Height and the
// components, for a scan of them all. ECorruptScan for an MCU of more than ten blocks.
void LayOutMcus(JpegStructure& s);

// Reads the structure. A header libjpeg refuses raises EJPEG with the library's message
// number (as decoding the file would); a baseline header that cannot be decoded (a table
// missing or broken) raises ECorruptScan.
JpegStructure ReadJpegStructure(std::string_view jpeg);

// The tables libjpeg writes by default (the JPEG standard's example tables): the first for
// luminance, the second for chrominance. libjpeg-turbo decodes with them when a file has
// no DHT of its own.
struct StandardTables {
    std::array<HuffmanTable, 2> Dc, Ac;
};
const StandardTables& StandardHuffmanTables();

}  // namespace morvik::lossless
