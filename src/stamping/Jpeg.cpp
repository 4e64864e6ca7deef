#include "stamping/Jpeg.h"

#include "platform/FileSystem.h"
#include "stamping/Libjpeg.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace morvik {

namespace {

// Files larger than this are not read into memory as a picture.
constexpr size_t kMaxJpegFileBytes = size_t(1) << 30;

}  // namespace

EJPEG::EJPEG(int code, std::string_view libraryText)
    : Exception("JPEG error #" + std::to_string(code) + (libraryText.empty() ? "" : ". ") + std::string(libraryText)),
      code_(code)
{
}

// ---- Decoding ------------------------------------------------------------------------

struct JpegDecoder::Impl {
    std::string Data;
    LibjpegErrors Err{};
    jpeg_decompress_struct Info{};
    bool Created = false;
    bool Decoded = false;

    ~Impl()
    {
        if (Created)
            jpeg_destroy_decompress(&Info);
    }
};

JpegDecoder::JpegDecoder(std::string bytes) : impl_(std::make_unique<Impl>())
{
    Impl& d = *impl_;
    d.Data = std::move(bytes);
    InitLibjpegErrors(d.Err);
    d.Info.err = &d.Err.Pub;
    jpeg_create_decompress(&d.Info);
    d.Created = true;
    const int code = LibjpegGuarded(d.Err, [&d] {
        jpeg_mem_src(&d.Info, reinterpret_cast<const unsigned char*>(d.Data.data()),
                     static_cast<unsigned long>(d.Data.size()));
        jpeg_read_header(&d.Info, TRUE);
    });
    ThrowIfLibjpegFailed(d.Err, code);
}

JpegDecoder::JpegDecoder(JpegDecoder&&) noexcept = default;
JpegDecoder& JpegDecoder::operator=(JpegDecoder&&) noexcept = default;
JpegDecoder::~JpegDecoder() = default;

std::string ReadJpegFile(const std::string& path) { return ReadWholeFile(path, kMaxJpegFileBytes, false); }

JpegDecoder JpegDecoder::FromFile(const std::string& path) { return JpegDecoder(ReadJpegFile(path)); }

JpegDecoder JpegDecoder::FromMemory(std::string_view bytes) { return JpegDecoder(std::string(bytes)); }

int JpegDecoder::Width() const { return int(impl_->Info.image_width); }
int JpegDecoder::Height() const { return int(impl_->Info.image_height); }

Picture JpegDecoder::Decode()
{
    Impl& d = *impl_;
    if (d.Decoded)
        throw Exception("The JPEG picture has been decoded already");
    d.Decoded = true;

    // A header may claim any size up to 65535 a side over a few bytes of data: refuse a
    // raster that would not fit before the library or we allocate it. A progressive
    // stream also keeps every coefficient (two bytes per sample) until its last scan.
    const int width = Width(), height = Height();
    uint64_t decoderBytes = 0;
    if (d.Info.progressive_mode)
        decoderBytes = uint64_t(width) * uint64_t(height) * uint64_t(std::max(d.Info.num_components, 1)) * 2;
    CheckPictureFits(width, height, decoderBytes);

    d.Info.out_color_space = JCS_RGB;  // grey becomes RGB; CMYK and YCCK are refused
    Picture picture = Picture::Uninitialized(width, height);  // the decoder writes every row
    std::vector<JSAMPROW> rows(size_t(std::max(height, 0)));
    for (int y = 0; y < height; ++y)
        rows[size_t(y)] = picture.Row(y);

    const int code = LibjpegGuarded(d.Err, [&d, &rows] {
        jpeg_start_decompress(&d.Info);
        while (d.Info.output_scanline < d.Info.output_height) {
            JSAMPARRAY at = rows.data() + d.Info.output_scanline;
            jpeg_read_scanlines(&d.Info, at, d.Info.output_height - d.Info.output_scanline);
        }
        jpeg_finish_decompress(&d.Info);
    });
    ThrowIfLibjpegFailed(d.Err, code);
    return picture;
}

Picture DecodeJpegFile(const std::string& path) { return JpegDecoder::FromFile(path).Decode(); }

Picture DecodeJpeg(std::string_view bytes) { return JpegDecoder::FromMemory(bytes).Decode(); }

// ---- Encoding ------------------------------------------------------------------------

std::string EncodeJpegWith(const Picture& picture, const std::function<void(jpeg_compress_struct&)>& configure)
{
    LibjpegErrors err{};
    InitLibjpegErrors(err);
    jpeg_compress_struct info{};
    info.err = &err.Pub;
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    // The library's state and its output buffer are released on every way out.
    struct Release {
        jpeg_compress_struct& Info;
        unsigned char*& Buffer;
        ~Release()
        {
            jpeg_destroy_compress(&Info);
            std::free(Buffer);
        }
    } release{info, buffer};
    const int code = LibjpegGuarded(err, [&] {
        jpeg_mem_dest(&info, &buffer, &size);
        info.image_width = JDIMENSION(picture.Width());
        info.image_height = JDIMENSION(picture.Height());
        info.input_components = 3;
        info.in_color_space = JCS_RGB;
        configure(info);
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(picture.Row(int(info.next_scanline)));
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
    });
    ThrowIfLibjpegFailed(err, code);
    return std::string(reinterpret_cast<const char*>(buffer), size);
}

std::string EncodeJpeg(const Picture& picture, int quality)
{
    const int q = std::clamp(quality, 0, 100);
    return EncodeJpegWith(picture, [q](jpeg_compress_struct& info) {
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, q, TRUE);
    });
}

// ---- Files ---------------------------------------------------------------------------

void SaveJpegFile(const Picture& picture, int quality, const std::string& path)
{
    WriteFileReplacing(path, EncodeJpeg(picture, quality));
}

}  // namespace morvik
