#include "stamping/lossless/JpegStructure.h"

#include "stamping/Jpeg.h"
#include "stamping/Libjpeg.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace morvik::lossless {

namespace {

// Frame markers other than baseline and extended sequential Huffman, and what they are.
struct ProcessName {
    uint8_t Marker;
    const char* Reason;
};
constexpr ProcessName kOtherProcesses[] = {
    {0xC2, "progressive"},          {0xC3, "lossless process"},    {0xC5, "hierarchical process"},
    {0xC6, "hierarchical process"}, {0xC7, "hierarchical process"}, {0xC9, "arithmetic coding"},
    {0xCA, "progressive"},          {0xCB, "lossless process"},    {0xCD, "hierarchical process"},
    {0xCE, "hierarchical process"}, {0xCF, "hierarchical process"},
};

bool IsFrameMarker(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != jpeg_marker::Dac; }

// What the marker walk saw before the scan.
struct Walk {
    bool ReachedScan = false;
    uint8_t FrameMarker = 0;
    int Precision = 8;
    int ComponentCount = 0;
    int AdobeTransform = -1;
    bool SawDac = false;
};

// Walks the marker segments from after SOI to the end of the SOS header, as a decoder
// reads them (see JpegSegmentAt): stray bytes are kept as segments of their own.
Walk WalkSegments(std::string_view jpeg, JpegStructure& s)
{
    Walk walk;
    if (!StartsWithSoi(jpeg))
        return walk;
    const auto* d = reinterpret_cast<const uint8_t*>(jpeg.data());
    for (std::optional<JpegSegment> seg = JpegSegmentAt(jpeg, 2); seg; seg = JpegSegmentAt(jpeg, seg->End())) {
        s.Segments.push_back(*seg);
        const uint8_t m = seg->Marker;
        const uint8_t* body = d + seg->Body;
        const size_t bodyLength = seg->End() - seg->Body;
        if (IsFrameMarker(m) && walk.FrameMarker == 0 && bodyLength >= 6) {
            walk.FrameMarker = m;
            walk.Precision = body[0];
            walk.ComponentCount = body[5];
        } else if (m == jpeg_marker::Dac) {
            walk.SawDac = true;
        } else if (m == jpeg_marker::App14 && bodyLength >= 12 && std::memcmp(body, "Adobe", 5) == 0) {
            walk.AdobeTransform = body[11];
        }
        if (m == jpeg_marker::Sos) {
            s.ScanStart = seg->End();
            walk.ReachedScan = true;
            return walk;
        }
    }
    return walk;
}

std::string ReasonBeforeDecoding(const Walk& walk)
{
    if (walk.FrameMarker != 0 && walk.Precision != 8)
        return std::to_string(walk.Precision) + "-bit";
    for (const ProcessName& p : kOtherProcesses)
        if (walk.FrameMarker == p.Marker)
            return p.Reason;
    if (walk.SawDac)
        return "arithmetic coding";
    if (walk.ComponentCount == 4)
        return walk.AdobeTransform == 2 ? "YCCK" : "CMYK";
    if (walk.ComponentCount == 2 || walk.ComponentCount > 4)
        return std::to_string(walk.ComponentCount) + " components";
    return {};
}

// Processes whose coefficients libjpeg reads without loss, though the splice cannot take
// their coded data.
bool ReadableAsCoefficients(const Walk& walk)
{
    return walk.Precision == 8 &&
           (walk.FrameMarker == 0xC2 || walk.FrameMarker == 0xC9 || walk.FrameMarker == 0xCA ||
            (walk.SawDac && (walk.FrameMarker == 0xC0 || walk.FrameMarker == 0xC1)));
}

HuffmanTable TableOf(const JHUFF_TBL& given)
{
    HuffmanTable table;
    size_t total = 0;
    for (int len = 1; len <= 16; ++len) {
        table.Counts[size_t(len)] = given.bits[len];
        total += given.bits[len];
    }
    total = std::min<size_t>(total, 256);
    table.Symbols.assign(given.huffval, given.huffval + total);
    return table;
}

// A Huffman table as libjpeg read it from the header; libjpeg-turbo decodes with the
// standard tables in the first two places when the file defines none there.
HuffmanTable TableFor(JHUFF_TBL* const* slots, int slot, const std::array<HuffmanTable, 2>& standard)
{
    if (slot >= 0 && slot < NUM_HUFF_TBLS && slots[slot] != nullptr)
        return TableOf(*slots[slot]);
    if (slot == 0 || slot == 1)
        return standard[size_t(slot)];
    throw ECorruptScan("the scan uses a Huffman table the file does not define");
}

struct LibjpegHeader {
    LibjpegErrors Err{};
    jpeg_decompress_struct Info{};
    explicit LibjpegHeader()
    {
        InitLibjpegErrors(Err);
        Info.err = &Err.Pub;
        jpeg_create_decompress(&Info);
    }
    ~LibjpegHeader() { jpeg_destroy_decompress(&Info); }
};

}  // namespace

const StandardTables& StandardHuffmanTables()
{
    static const StandardTables tables = [] {
        StandardTables t;
        LibjpegErrors err{};
        InitLibjpegErrors(err);
        jpeg_compress_struct info{};
        info.err = &err.Pub;
        jpeg_create_compress(&info);
        const int code = LibjpegGuarded(err, [&info] {
            info.in_color_space = JCS_YCbCr;
            info.input_components = 3;
            jpeg_set_defaults(&info);
        });
        if (code == kLibjpegOk)
            for (size_t i = 0; i < 2; ++i) {
                t.Dc[i] = TableOf(*info.dc_huff_tbl_ptrs[i]);
                t.Ac[i] = TableOf(*info.ac_huff_tbl_ptrs[i]);
            }
        jpeg_destroy_compress(&info);
        return t;
    }();
    return tables;
}

JpegStructure ReadJpegStructure(std::string_view jpeg)
{
    JpegStructure s;
    const Walk walk = WalkSegments(jpeg, s);
    s.ReEncodeReason = ReasonBeforeDecoding(walk);
    s.ViaCoefficients = !s.ReEncodeReason.empty() && ReadableAsCoefficients(walk);
    if (!s.ReEncodeReason.empty() && !s.ViaCoefficients)
        return s;

    LibjpegHeader header;
    jpeg_decompress_struct& info = header.Info;
    const int code = LibjpegGuarded(header.Err, [&info, jpeg] {
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()), static_cast<unsigned long>(jpeg.size()));
        jpeg_read_header(&info, TRUE);
    });
    ThrowIfLibjpegFailed(header.Err, code);
    s.Width = int(info.image_width);
    s.Height = int(info.image_height);
    if (s.ViaCoefficients)
        return s;
    if (!walk.ReachedScan ||
        s.ScanStart != size_t(reinterpret_cast<const char*>(info.src->next_input_byte) - jpeg.data()))
        throw ECorruptScan("the file's sections could not be told apart");

    if (info.progressive_mode)
        s.ReEncodeReason = "progressive";
    else if (info.arith_code)
        s.ReEncodeReason = "arithmetic coding";
    else if (info.num_components == 3 && info.jpeg_color_space == JCS_RGB)
        s.ReEncodeReason = "RGB colour";
    else if ((info.num_components == 3 && info.jpeg_color_space != JCS_YCbCr) ||
             (info.num_components == 1 && info.jpeg_color_space != JCS_GRAYSCALE))
        s.ReEncodeReason = "colour space";
    else if (info.comps_in_scan != info.num_components)
        s.ReEncodeReason = "more than one scan";
    else if (info.Ss != 0 || info.Se != 63 || info.Ah != 0 || info.Al != 0)
        s.ReEncodeReason = "spectral selection";
    if (!s.ReEncodeReason.empty()) {
        s.ViaCoefficients = info.progressive_mode || info.arith_code || s.ReEncodeReason == "more than one scan" ||
                            s.ReEncodeReason == "spectral selection";
        return s;
    }

    s.RestartInterval = int(info.restart_interval);
    const StandardTables& standard = StandardHuffmanTables();
    for (int i = 0; i < info.comps_in_scan; ++i) {
        const jpeg_component_info& c = *info.cur_comp_info[i];
        ScanComponent sc;
        sc.FrameIndex = c.component_index;
        sc.Id = c.component_id;
        sc.H = c.h_samp_factor;
        sc.V = c.v_samp_factor;
        sc.QuantSlot = c.quant_tbl_no;
        sc.DcSlot = c.dc_tbl_no;
        sc.AcSlot = c.ac_tbl_no;
        if (sc.H < 1 || sc.H > 4 || sc.V < 1 || sc.V > 4 || sc.QuantSlot < 0 || sc.QuantSlot >= NUM_QUANT_TBLS)
            throw ECorruptScan("a component's sampling or table is out of range");
        const JQUANT_TBL* q = info.quant_tbl_ptrs[sc.QuantSlot];
        if (q == nullptr)
            throw ECorruptScan("the frame uses a quantization table the file does not define");
        for (int k = 0; k < 64; ++k) {
            s.Quant[size_t(sc.QuantSlot)][size_t(k)] = q->quantval[k];
            if (q->quantval[k] == 0)
                s.ReEncodeReason = "a zero in a quantization table";
        }
        s.DcTables[size_t(sc.DcSlot & 3)] = TableFor(info.dc_huff_tbl_ptrs, sc.DcSlot, standard.Dc);
        s.AcTables[size_t(sc.AcSlot & 3)] = TableFor(info.ac_huff_tbl_ptrs, sc.AcSlot, standard.Ac);
        s.Components.push_back(sc);
    }
    if (!s.ReEncodeReason.empty())
        return s;
    LayOutMcus(s);
    return s;
}

bool KeptWithoutMetadata(std::string_view jpeg, const JpegSegment& seg)
{
    constexpr uint8_t kApp2 = 0xE2, kApp15 = 0xEF;
    if (seg.Marker == 0 || seg.Marker == jpeg_marker::Com)
        return false;
    if (seg.Marker < jpeg_marker::App0 || seg.Marker > kApp15)
        return true;
    static constexpr std::string_view kIcc("ICC_PROFILE\0", 12);
    return seg.Marker == kApp2 && seg.Body + kIcc.size() <= seg.End() && jpeg.substr(seg.Body, kIcc.size()) == kIcc;
}

void LayOutMcus(JpegStructure& s)
{
    int hMax = 1, vMax = 1;
    for (const ScanComponent& c : s.Components) {
        hMax = std::max(hMax, c.H);
        vMax = std::max(vMax, c.V);
    }
    s.McuBlocks.clear();
    if (s.Components.size() == 1) {
        // One component alone is coded block by block over its own size.
        const ScanComponent& c = s.Components[0];
        s.McuWidth = 8 * hMax / c.H;
        s.McuHeight = 8 * vMax / c.V;
        s.McuBlocks = {{0, 0, 0}};
    } else {
        s.McuWidth = 8 * hMax;
        s.McuHeight = 8 * vMax;
        for (size_t ci = 0; ci < s.Components.size(); ++ci)
            for (int dy = 0; dy < s.Components[ci].V; ++dy)
                for (int dx = 0; dx < s.Components[ci].H; ++dx)
                    s.McuBlocks.push_back({uint8_t(ci), uint8_t(dx), uint8_t(dy)});
        if (s.McuBlocks.size() > 10)
            throw ECorruptScan("more than ten blocks in an MCU");
    }
    if (s.Width <= 0 || s.Height <= 0)
        throw ECorruptScan("the frame has no pixels");
    s.McusWide = (s.Width + s.McuWidth - 1) / s.McuWidth;
    s.McusHigh = (s.Height + s.McuHeight - 1) / s.McuHeight;
}

}  // namespace morvik::lossless
