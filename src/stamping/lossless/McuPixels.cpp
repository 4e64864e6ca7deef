#include "stamping/lossless/McuPixels.h"

#include "jpeg/JpegMarkers.h"  // DefaultJfifHeader
#include "stamping/Jpeg.h"
#include "stamping/Libjpeg.h"

#include <algorithm>

namespace morvik::lossless {

namespace {

// The picture pixels an MCU rectangle covers, cut at the picture's right and bottom edge.
PixelBox PixelsOf(const JpegStructure& s, const McuRect& r)
{
    return {r.Col0 * s.McuWidth, r.Row0 * s.McuHeight, std::min((r.Col1 + 1) * s.McuWidth, s.Width),
            std::min((r.Row1 + 1) * s.McuHeight, s.Height)};
}

void PutU16(std::string& out, size_t v)
{
    out += char((v >> 8) & 0xFF);
    out += char(v & 0xFF);
}

std::vector<const ScanComponent*> InFrameOrder(const JpegStructure& s)
{
    std::vector<const ScanComponent*> order;
    for (const ScanComponent& c : s.Components)
        order.push_back(&c);
    std::sort(order.begin(), order.end(), [](auto a, auto b) { return a->FrameIndex < b->FrameIndex; });
    return order;
}

// A baseline JPEG of the MCUs of r alone, with the file's quantization tables, sampling
// and component order, coded with the standard Huffman tables. Its MCU grid lies on the
// file's, so libjpeg decodes each of its MCUs as it decodes the file there, except where
// the upsampler reads past its edges.
std::string MarginJpeg(const JpegStructure& s, const McuRect& r, const McuStore& stored)
{
    const PixelBox px = PixelsOf(s, r);
    std::string out = "\xFF\xD8";
    out += DefaultJfifHeader();
    std::array<bool, 4> written{};
    for (const ScanComponent& c : s.Components) {
        const size_t slot = size_t(c.QuantSlot);
        if (written[slot])
            continue;
        written[slot] = true;
        const auto& q = s.Quant[slot];
        const bool wide = std::any_of(q.begin(), q.end(), [](uint16_t v) { return v > 255; });
        out += "\xFF\xDB";
        PutU16(out, 3 + 64 * (wide ? 2 : 1));
        out += char((wide ? 0x10 : 0) | slot);
        for (uint8_t natural : kZigzagToNatural) {
            if (wide)
                out += char(q[natural] >> 8);
            out += char(q[natural] & 0xFF);
        }
    }
    const std::vector<const ScanComponent*> frame = InFrameOrder(s);
    out += "\xFF\xC0";
    PutU16(out, 8 + 3 * frame.size());
    out += char(8);
    PutU16(out, size_t(px.Bottom - px.Top));
    PutU16(out, size_t(px.Right - px.Left));
    out += char(frame.size());
    for (const ScanComponent* c : frame) {
        out += char(c->Id);
        out += char((c->H << 4) | c->V);
        out += char(c->QuantSlot);
    }
    const StandardTables& standard = StandardHuffmanTables();
    std::vector<DhtEntry> tables = {{0, 0, &standard.Dc[0]}, {1, 0, &standard.Ac[0]}};
    if (!s.Grey())
        tables.insert(tables.end(), {{0, 1, &standard.Dc[1]}, {1, 1, &standard.Ac[1]}});
    out += DhtSegment(tables);
    out += "\xFF\xDA";
    PutU16(out, 6 + 2 * s.Components.size());
    out += char(s.Components.size());
    std::vector<std::pair<const HuffmanTable*, const HuffmanTable*>> coding;
    for (size_t i = 0; i < s.Components.size(); ++i) {
        const size_t slot = i == 0 ? 0 : 1;
        out += char(s.Components[i].Id);
        out += char((slot << 4) | slot);
        coding.emplace_back(&standard.Dc[slot], &standard.Ac[slot]);
    }
    out += std::string("\x00\x3F\x00", 3);
    const BlockCoder coder(coding);
    BitWriter w(out);
    std::array<int, 4> pred{};
    for (int row = r.Row0; row <= r.Row1; ++row)
        for (int col = r.Col0; col <= r.Col1; ++col) {
            const Coef* blocks = stored.Find(int64_t(row) * s.McusWide + col);
            for (size_t b = 0; b < s.McuBlocks.size(); ++b) {
                const int component = s.McuBlocks[b].Component;
                coder.Code(blocks + b * kBlockSize, component, pred[size_t(component)], w);
            }
        }
    w.Finish();
    out += "\xFF\xD9";
    return out;
}

// The pixels encoded as one libjpeg encode does, at the file's quantization tables,
// sampling factors, component identifiers and colour space.
std::string EncodeAtFileTables(const JpegStructure& s, const Picture& pixels)
{
    return EncodeJpegWith(pixels, [&s](jpeg_compress_struct& info) {
        jpeg_set_defaults(&info);
        jpeg_set_colorspace(&info, s.Grey() ? JCS_GRAYSCALE : JCS_YCbCr);
        std::array<bool, 4> added{};
        for (const ScanComponent& c : s.Components) {
            jpeg_component_info& ci = info.comp_info[c.FrameIndex];
            ci.component_id = c.Id;
            ci.h_samp_factor = c.H;
            ci.v_samp_factor = c.V;
            ci.quant_tbl_no = c.QuantSlot;
            if (!added[size_t(c.QuantSlot)]) {
                std::array<unsigned int, 64> table;
                std::copy(s.Quant[size_t(c.QuantSlot)].begin(), s.Quant[size_t(c.QuantSlot)].end(), table.begin());
                jpeg_add_quant_table(&info, c.QuantSlot, table.data(), 100, FALSE);  // 100 %: as given
                added[size_t(c.QuantSlot)] = true;
            }
        }
    });
}

// The coefficients libjpeg reads from an encoded picture of the MCUs of r, by MCU.
McuStore CoefficientsOf(const JpegStructure& s, const McuRect& r, const std::string& encoded)
{
    McuStore store(s.McuBlocks.size());
    store.Reserve(size_t(r.Col1 - r.Col0 + 1) * size_t(r.Row1 - r.Row0 + 1));
    std::vector<Coef*> slots;
    for (int row = r.Row0; row <= r.Row1; ++row)
        for (int col = r.Col0; col <= r.Col1; ++col)
            slots.push_back(store.Add(int64_t(row) * s.McusWide + col));
    const int columns = r.Col1 - r.Col0 + 1;
    LibjpegErrors err{};
    InitLibjpegErrors(err);
    jpeg_decompress_struct info{};
    info.err = &err.Pub;
    jpeg_create_decompress(&info);
    const int code = LibjpegGuarded(err, [&] {
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(encoded.data()), static_cast<unsigned long>(encoded.size()));
        jpeg_read_header(&info, TRUE);
        jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
        for (size_t m = 0; m < slots.size(); ++m) {
            const int lr = int(m) / columns, lc = int(m) % columns;
            for (size_t b = 0; b < s.McuBlocks.size(); ++b) {
                const McuBlock& blk = s.McuBlocks[b];
                const ScanComponent& c = s.Components[blk.Component];
                const int blockRow = s.Grey() ? lr : lr * c.V + blk.Dy;
                const int blockCol = s.Grey() ? lc : lc * c.H + blk.Dx;
                JBLOCKARRAY row = info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info),
                                                               arrays[c.FrameIndex], JDIMENSION(blockRow), 1, FALSE);
                std::memcpy(slots[m] + b * kBlockSize, row[0][blockCol], sizeof(JBLOCK));
            }
        }
        jpeg_finish_decompress(&info);
    });
    jpeg_destroy_decompress(&info);
    ThrowIfLibjpegFailed(err, code);
    return store;
}

}  // namespace

StampMcus McusUnder(const JpegStructure& s, const PixelBox& box)
{
    StampMcus mcus;
    const int left = std::max(box.Left, 0), top = std::max(box.Top, 0);
    const int right = std::min(box.Right, s.Width), bottom = std::min(box.Bottom, s.Height);
    if (right <= left || bottom <= top)
        return mcus;
    mcus.Touched = {left / s.McuWidth, top / s.McuHeight, (right - 1) / s.McuWidth, (bottom - 1) / s.McuHeight};
    bool acrossX = false, acrossY = false;
    for (const ScanComponent& a : s.Components)
        for (const ScanComponent& b : s.Components) {
            acrossX = acrossX || a.H != b.H;
            acrossY = acrossY || a.V != b.V;
        }
    const McuRect& t = mcus.Touched;
    mcus.Margin = {std::max(t.Col0 - int(acrossX), 0), std::max(t.Row0 - int(acrossY), 0),
                   std::min(t.Col1 + int(acrossX), s.McusWide - 1), std::min(t.Row1 + int(acrossY), s.McusHigh - 1)};
    return mcus;
}

McuStore RestampMcus(const JpegStructure& s, const McuRect& touched, const McuRect& margin, const McuStore& stored,
                     const RegionPainter& paint)
{
    static_assert(sizeof(JCOEF) == sizeof(Coef));
    const Picture around = DecodeJpeg(MarginJpeg(s, margin, stored));
    const PixelBox outer = PixelsOf(s, margin), inner = PixelsOf(s, touched);
    Picture region = Picture::Uninitialized(inner.Right - inner.Left, inner.Bottom - inner.Top);
    for (int y = 0; y < region.Height(); ++y)
        std::memcpy(region.Row(y), around.Row(inner.Top - outer.Top + y) + size_t(inner.Left - outer.Left) * 3,
                    size_t(region.Width()) * 3);
    if (paint)
        paint(region, inner.Left, inner.Top);
    return CoefficientsOf(s, touched, EncodeAtFileTables(s, region));
}

}  // namespace morvik::lossless
