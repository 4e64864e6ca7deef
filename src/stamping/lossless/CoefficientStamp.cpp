#include "stamping/lossless/CoefficientStamp.h"

#include "jpeg/JpegMarkers.h"  // DefaultJfifHeader
#include "stamping/Libjpeg.h"
#include "stamping/lossless/MultiPictureIndex.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace morvik::lossless {

namespace {

struct Reading {
    LibjpegErrors Err{};
    jpeg_progress_mgr Progress{};
    jpeg_decompress_struct Info{};
    Reading()
    {
        InitLibjpegErrors(Err);
        Info.err = &Err.Pub;
        jpeg_create_decompress(&Info);
        LimitJpegScans(Info, Progress);  // every scan is read, as in a decode
    }
    ~Reading() { jpeg_destroy_decompress(&Info); }
};

struct Writing {
    LibjpegErrors Err{};
    jpeg_compress_struct Info{};
    unsigned char* Buffer = nullptr;
    unsigned long Size = 0;
    Writing()
    {
        InitLibjpegErrors(Err);
        Info.err = &Err.Pub;
        jpeg_create_compress(&Info);
    }
    ~Writing()
    {
        jpeg_destroy_compress(&Info);
        std::free(Buffer);
    }
};

// The frame as the splice's drawing and encoding of MCUs needs it; a reason when libjpeg's
// coefficients cannot be drawn into (not 8-bit YCbCr or greyscale).
std::string DescribeFrame(const jpeg_decompress_struct& in, JpegStructure& s)
{
    if (in.data_precision != 8)
        return std::to_string(in.data_precision) + "-bit";
    if (in.num_components == 4)
        return in.jpeg_color_space == JCS_YCCK ? "YCCK" : "CMYK";
    if (in.num_components == 3 && in.jpeg_color_space == JCS_RGB)
        return "RGB colour";
    if (!(in.num_components == 3 && in.jpeg_color_space == JCS_YCbCr) &&
        !(in.num_components == 1 && in.jpeg_color_space == JCS_GRAYSCALE))
        return "colour space";
    s.Width = int(in.image_width);
    s.Height = int(in.image_height);
    s.Components.clear();
    for (int i = 0; i < in.num_components; ++i) {
        const jpeg_component_info& c = in.comp_info[i];
        ScanComponent sc;
        sc.FrameIndex = i;
        sc.Id = c.component_id;
        sc.H = c.h_samp_factor;
        sc.V = c.v_samp_factor;
        sc.QuantSlot = c.quant_tbl_no;
        if (sc.H < 1 || sc.H > 4 || sc.V < 1 || sc.V > 4 || sc.QuantSlot < 0 || sc.QuantSlot >= NUM_QUANT_TBLS)
            return "damaged data: a component's sampling or table is out of range";
        // The table the picture was read with (latched when its data began).
        const JQUANT_TBL* q = c.quant_table ? c.quant_table : in.quant_tbl_ptrs[sc.QuantSlot];
        if (q == nullptr)
            return "damaged data: a quantization table is missing";
        for (int k = 0; k < 64; ++k) {
            if (q->quantval[k] == 0)
                return "a zero in a quantization table";
            s.Quant[size_t(sc.QuantSlot)][size_t(k)] = q->quantval[k];
        }
        s.Components.push_back(sc);
    }
    LayOutMcus(s);
    return {};
}

// Where each block of the MCUs of r lies in libjpeg's coefficient arrays, MCU by MCU in
// the splice's block order; runs visit(array, blockRow, blockCol, block index in out).
template <class Visit>
void ForEachBlockOf(const JpegStructure& s, const McuRect& r, Visit&& visit)
{
    size_t m = 0;
    for (int row = r.Row0; row <= r.Row1; ++row)
        for (int col = r.Col0; col <= r.Col1; ++col, ++m)
            for (size_t b = 0; b < s.McuBlocks.size(); ++b) {
                const McuBlock& blk = s.McuBlocks[b];
                const ScanComponent& c = s.Components[blk.Component];
                const int blockRow = s.Grey() ? row : row * c.V + blk.Dy;
                const int blockCol = s.Grey() ? col : col * c.H + blk.Dx;
                visit(c.FrameIndex, blockRow, blockCol, m * s.McuBlocks.size() + b);
            }
}

bool IsIccProfile(const jpeg_saved_marker_ptr m)
{
    static constexpr char kIcc[] = "ICC_PROFILE";  // with its terminating zero
    return m->marker == JPEG_APP0 + 2 && m->data_length >= sizeof kIcc && std::memcmp(m->data, kIcc, sizeof kIcc) == 0;
}

}  // namespace

CoefficientStampResult StampCoefficients(std::string_view jpeg, const PixelBox& box, const RegionPainter& paint,
                                         bool keepMetadata, std::string& out, ScanWalk walk)
{
    Reading source;
    jpeg_decompress_struct& in = source.Info;
    int code = LibjpegGuarded(source.Err, [&] {
        jpeg_mem_src(&in, reinterpret_cast<const unsigned char*>(jpeg.data()), static_cast<unsigned long>(jpeg.size()));
        jpeg_save_markers(&in, JPEG_COM, 0xFFFF);
        for (int m = 0; m < 16; ++m)
            jpeg_save_markers(&in, JPEG_APP0 + m, 0xFFFF);
        jpeg_read_header(&in, TRUE);
    });
    ThrowIfLibjpegFailed(source.Err, code);
    // A frame its data cannot fill is not read: its coefficients alone would take what
    // the whole frame claims.
    if (DataTooShortForFrame(in, in.src->bytes_in_buffer))
        return {kFrameNotFilled};
    if (in.data_precision == 8)  // the coefficients take about what the decoded picture takes
        CheckPictureFits(int(std::min<JDIMENSION>(in.image_width, 65535)), int(std::min<JDIMENSION>(in.image_height, 65535)));
    JpegStructure s;
    if (std::string reason = DescribeFrame(in, s); !reason.empty())
        return {reason};
    if (in.progressive_mode && !in.arith_code && in.restart_interval == 0) {
        const ProgressiveSpliceResult spliced = SpliceProgressive(jpeg, s, box, paint, keepMetadata, out, walk);
        if (spliced.Spliced)
            return {{}, true, spliced.StampFitted, spliced.StampAligned};
    }
    jvirt_barray_ptr* arrays = nullptr;
    code = LibjpegGuarded(source.Err, [&] { arrays = jpeg_read_coefficients(&in); });
    ThrowIfLibjpegFailed(source.Err, code);
    if (source.Err.Pub.num_warnings > 0)
        return {"damaged data: libjpeg found the picture data corrupt"};
    if (std::string reason = DescribeFrame(in, s); !reason.empty())
        return {reason};  // now with the quantization tables the data was read with

    const StampMcus mcus = McusUnder(s, box);
    if (!mcus.Touched.Empty()) {
        const McuRect& margin = mcus.Margin;
        McuStore stored(s.McuBlocks.size());
        stored.Reserve(size_t(margin.Col1 - margin.Col0 + 1) * size_t(margin.Row1 - margin.Row0 + 1));
        std::vector<Coef*> slots;  // the room Add gives stays put: it was reserved
        for (int row = margin.Row0; row <= margin.Row1; ++row)
            for (int col = margin.Col0; col <= margin.Col1; ++col)
                slots.push_back(stored.Add(int64_t(row) * s.McusWide + col));
        const size_t perMcu = s.McuBlocks.size();
        code = LibjpegGuarded(source.Err, [&] {
            ForEachBlockOf(s, margin, [&](int component, int blockRow, int blockCol, size_t k) {
                JBLOCKARRAY rowOf = in.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&in), arrays[component],
                                                               JDIMENSION(blockRow), 1, FALSE);
                std::memcpy(slots[k / perMcu] + (k % perMcu) * kBlockSize, rowOf[0][blockCol], sizeof(JBLOCK));
            });
        });
        ThrowIfLibjpegFailed(source.Err, code);
        const McuStore fresh = RestampMcus(s, mcus.Touched, margin, stored, paint);
        std::vector<const Coef*> freshSlots;
        for (int row = mcus.Touched.Row0; row <= mcus.Touched.Row1; ++row)
            for (int col = mcus.Touched.Col0; col <= mcus.Touched.Col1; ++col)
                freshSlots.push_back(fresh.Find(int64_t(row) * s.McusWide + col));
        code = LibjpegGuarded(source.Err, [&] {
            ForEachBlockOf(s, mcus.Touched, [&](int component, int blockRow, int blockCol, size_t k) {
                JBLOCKARRAY rowOf = in.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&in), arrays[component],
                                                               JDIMENSION(blockRow), 1, TRUE);
                std::memcpy(rowOf[0][blockCol], freshSlots[k / perMcu] + (k % perMcu) * kBlockSize, sizeof(JBLOCK));
            });
        });
        ThrowIfLibjpegFailed(source.Err, code);
    }

    // The source's sections before the frame (or the default JFIF header and the ICC
    // profile), then the coefficients in the source's process.
    const std::string jfif(DefaultJfifHeader());
    Writing target;
    jpeg_compress_struct& dst = target.Info;
    code = LibjpegGuarded(target.Err, [&] {
        jpeg_mem_dest(&dst, &target.Buffer, &target.Size);
        jpeg_copy_critical_parameters(&in, &dst);
        dst.write_JFIF_header = FALSE;
        dst.write_Adobe_marker = FALSE;
        if (in.progressive_mode)
            jpeg_simple_progression(&dst);
        dst.arith_code = in.arith_code;
        dst.optimize_coding = !in.arith_code;
        dst.restart_interval = in.restart_interval;
        jpeg_write_coefficients(&dst, arrays);
        if (!keepMetadata && jfif.size() > 4)
            jpeg_write_marker(&dst, JPEG_APP0, reinterpret_cast<const JOCTET*>(jfif.data()) + 4,
                              unsigned(jfif.size() - 4));
        for (jpeg_saved_marker_ptr m = in.marker_list; m != nullptr; m = m->next)
            if (keepMetadata || IsIccProfile(m))
                jpeg_write_marker(&dst, int(m->marker), m->data, m->data_length);
        jpeg_finish_compress(&dst);
    });
    ThrowIfLibjpegFailed(target.Err, code);
    code = LibjpegGuarded(source.Err, [&] { jpeg_finish_decompress(&in); });
    ThrowIfLibjpegFailed(source.Err, code);
    // What follows the picture (a phone's further pictures) stays, found where its index says.
    const size_t pictureEnd = size_t(reinterpret_cast<const char*>(in.src->next_input_byte) - jpeg.data());
    out.assign(reinterpret_cast<const char*>(target.Buffer), target.Size);
    if (pictureEnd < jpeg.size())
        out.append(jpeg.substr(pictureEnd));
    CorrectMultiPictureIndex(jpeg, out);
    return {};
}

}  // namespace morvik::lossless
