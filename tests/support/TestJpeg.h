#pragma once
// JPEG streams made and checked with libjpeg directly, for tests that must not lean on
// the engine's own codec: pictures in the shapes cameras and editors write (baseline,
// progressive, grey, CMYK) and a strict decoder.
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>  // JWRN_EXTRANEOUS_DATA

namespace morvik::test {

// The sample of component c at (x, y).
using SampleFill = std::function<uint8_t(int x, int y, int c)>;

// Encodes width × height pixels of `components` samples in `space` with jpeg_set_defaults,
// the quality given (forced baseline) and, when asked, a progressive scan script; tweak
// may change the compressor's settings after that (sampling, restart interval, tables).
inline std::string EncodeWithLibjpeg(int width, int height, int components, J_COLOR_SPACE space, int quality,
                                     bool progressive, const SampleFill& fill,
                                     const std::function<void(jpeg_compress_struct&)>& tweak = {})
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    if (tweak)
        tweak(cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(width) * components);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                row[static_cast<size_t>(x) * components + c] = fill(x, y, c);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

enum class JpegKind { Baseline, Progressive, Cmyk };

// A picture with some detail in it (a pattern over x, y and the component).
inline std::string EncodeTestJpeg(int width, int height, JpegKind kind = JpegKind::Baseline, int quality = 80)
{
    const int components = kind == JpegKind::Cmyk ? 4 : 3;
    return EncodeWithLibjpeg(width, height, components, kind == JpegKind::Cmyk ? JCS_CMYK : JCS_RGB, quality,
                             kind == JpegKind::Progressive, [components](int x, int y, int c) {
                                 return static_cast<uint8_t>((x * components + c) * 5 + y * 3);
                             });
}

// What libjpeg made of a stream: whether it decoded to its last row, whether it warned on
// the way (a stream cut short or with damaged data warns), and its size.
struct LibjpegDecode {
    bool Decoded = false;
    bool Warned = false;
    bool WarnedOfExtraneousBytesOnly = false;  // every warning was of bytes before a marker
    int Width = 0;
    int Height = 0;
};

namespace detail {
struct TestJpegError {
    jpeg_error_mgr Mgr;
    std::jmp_buf Jump;
    bool Warned = false;
    bool WarnedOtherwise = false;  // of something else than extraneous bytes
};
inline void TestJpegExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<TestJpegError*>(cinfo->err)->Jump, 1); }
inline void TestJpegMessage(j_common_ptr cinfo, int level)
{
    if (level < 0) {
        auto* err = reinterpret_cast<TestJpegError*>(cinfo->err);
        err->Warned = true;
        err->WarnedOtherwise = err->WarnedOtherwise || err->Mgr.msg_code != JWRN_EXTRANEOUS_DATA;
    }
}
}  // namespace detail

inline LibjpegDecode DecodeWithLibjpeg(const std::string& bytes)
{
    LibjpegDecode result;
    jpeg_decompress_struct cinfo{};
    detail::TestJpegError err{};
    cinfo.err = jpeg_std_error(&err.Mgr);
    err.Mgr.error_exit = detail::TestJpegExit;
    err.Mgr.emit_message = detail::TestJpegMessage;
    // Made before the jump point, so that a jump back from an error still frees it.
    std::vector<unsigned char> row;
    if (setjmp(err.Jump)) {
        jpeg_destroy_decompress(&cinfo);
        result.Warned = err.Warned;
        return result;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    row.resize(static_cast<size_t>(cinfo.output_width) * cinfo.output_components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
    }
    result.Width = static_cast<int>(cinfo.output_width);
    result.Height = static_cast<int>(cinfo.output_height);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    result.Decoded = true;
    result.Warned = err.Warned;
    result.WarnedOfExtraneousBytesOnly = err.Warned && !err.WarnedOtherwise;
    return result;
}

// A whole stream's width and height, or nullopt when libjpeg refuses it.
inline std::optional<std::pair<int, int>> DecodeJpeg(const std::string& bytes)
{
    const LibjpegDecode d = DecodeWithLibjpeg(bytes);
    if (!d.Decoded)
        return std::nullopt;
    return std::make_pair(d.Width, d.Height);
}

// True when the stream decodes to its last row without an error or a warning and ends
// with EOI.
inline bool DecodesCompletely(const std::string& bytes)
{
    if (bytes.size() < 4 || bytes.compare(bytes.size() - 2, 2, "\xFF\xD9") != 0)
        return false;
    const LibjpegDecode d = DecodeWithLibjpeg(bytes);
    return d.Decoded && !d.Warned;
}

}  // namespace morvik::test
