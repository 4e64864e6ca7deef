#include "stamping/Jpeg.h"

#include "platform/FileSystem.h"
#include "stamping/Libjpeg.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace morvik {

std::string_view DamageText(PictureDamage damage)
{
    switch (damage) {
    case PictureDamage::EndsEarly:
        return "picture data ends early";
    case PictureDamage::Broken:
        return "picture data is broken";
    case PictureDamage::None:
        break;
    }
    return {};
}

EJPEG::EJPEG(int code, std::string_view libraryText)
    : Exception("JPEG error #" + std::to_string(code) + (libraryText.empty() ? "" : ". ") + std::string(libraryText)),
      code_(code)
{
}

// ---- Decoding ------------------------------------------------------------------------

struct JpegDecoder::Impl {
    std::string Owned;      // the bytes when the decoder holds its own copy
    std::string_view Data;  // what is decoded: Owned, or the caller's bytes
    LibjpegErrors Err{};
    jpeg_progress_mgr Progress{};
    jpeg_decompress_struct Info{};
    size_t DataAfterHeader = 0;  // the bytes from the first scan's start to the end
    bool Created = false;
    bool Decoded = false;

    ~Impl()
    {
        if (Created)
            jpeg_destroy_decompress(&Info);
    }
};

JpegDecoder::JpegDecoder(std::string bytes) : JpegDecoder(std::move(bytes), {}) {}

JpegDecoder::JpegDecoder(std::string owned, std::string_view bytes) : impl_(std::make_unique<Impl>())
{
    Impl& d = *impl_;
    d.Owned = std::move(owned);
    d.Data = bytes.data() ? bytes : std::string_view(d.Owned);
    InitLibjpegErrors(d.Err);
    d.Info.err = &d.Err.Pub;
    jpeg_create_decompress(&d.Info);
    d.Created = true;
    LimitJpegScans(d.Info, d.Progress);
    const int code = LibjpegGuarded(d.Err, [&d] {
        jpeg_mem_src(&d.Info, reinterpret_cast<const unsigned char*>(d.Data.data()),
                     static_cast<unsigned long>(d.Data.size()));
        jpeg_read_header(&d.Info, TRUE);
        d.DataAfterHeader = d.Info.src->bytes_in_buffer;
    });
    ThrowIfLibjpegFailed(d.Err, code);
}

JpegDecoder::JpegDecoder(JpegDecoder&&) noexcept = default;
JpegDecoder& JpegDecoder::operator=(JpegDecoder&&) noexcept = default;
JpegDecoder::~JpegDecoder() = default;

std::string ReadJpegFile(const std::string& path) { return ReadWholeFile(path, kMaxJpegFileBytes, false); }

JpegDecoder JpegDecoder::FromFile(const std::string& path) { return JpegDecoder(ReadJpegFile(path)); }

JpegDecoder JpegDecoder::FromMemory(std::string_view bytes) { return JpegDecoder(std::string(bytes)); }

JpegDecoder JpegDecoder::InPlace(std::string_view bytes)
{
    return JpegDecoder(std::string(), bytes.data() ? bytes : std::string_view("", 0));
}

int JpegDecoder::Width() const { return int(impl_->Info.image_width); }
int JpegDecoder::Height() const { return int(impl_->Info.image_height); }

void JpegDecoder::CheckDecodable() const
{
    // A header may claim any size up to 65535 a side over a few bytes of data: a raster
    // that would not fit is refused before the library or we allocate it.
    const int width = Width(), height = Height();
    const uint64_t pictureBytes = uint64_t(std::max(width, 0)) * uint64_t(std::max(height, 0)) * 3;
    CheckPictureFits(width, height, DecodeBytes() - pictureBytes);
    // Data far too small for the frame is no photo: refused before anything is made for
    // it. Data above that floor that still ends early is decoded as far as it goes.
    if (DataTooShortForFrame(impl_->Info, impl_->DataAfterHeader))
        throw EJPEG(JERR_INPUT_EMPTY, "Corrupt JPEG data: " + std::to_string(impl_->DataAfterHeader) +
                                          " bytes of picture data cannot hold a picture of " +
                                          std::to_string(width) + " x " + std::to_string(height));
}

Picture JpegDecoder::Decode()
{
    Impl& d = *impl_;
    if (d.Decoded)
        throw Exception("The JPEG picture has been decoded already");
    d.Decoded = true;
    CheckDecodable();
    const int width = Width(), height = Height();

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

PictureDamage JpegDecoder::Damage() const { return impl_->Err.Damage; }

uint64_t JpegDecoder::DecodeBytes() const
{
    const uint64_t samples = uint64_t(std::max(Width(), 0)) * uint64_t(std::max(Height(), 0));
    uint64_t bytes = samples * 3;
    // A progressive stream keeps every coefficient (two bytes per sample) until its last scan.
    if (impl_->Info.progressive_mode)
        bytes += samples * uint64_t(std::max(impl_->Info.num_components, 1)) * 2;
    return bytes;
}

Picture DecodeJpegFile(const std::string& path) { return JpegDecoder::FromFile(path).Decode(); }

Picture DecodeJpeg(std::string_view bytes) { return JpegDecoder::InPlace(bytes).Decode(); }

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
