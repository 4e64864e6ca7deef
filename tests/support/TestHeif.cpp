#include "support/TestHeif.h"

#include <libheif/heif.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

namespace morvik::test {

namespace {

void Ok(const heif_error& e)
{
    if (e.code != heif_error_Ok)
        throw std::runtime_error(std::string("libheif: ") + e.message);
}

heif_error WriteToString(heif_context*, const void* data, size_t size, void* userdata)
{
    static_cast<std::string*>(userdata)->append(static_cast<const char*>(data), size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

heif_image* RgbImage(const Picture& pixels)
{
    heif_image* image = nullptr;
    Ok(heif_image_create(pixels.Width(), pixels.Height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image));
    Ok(heif_image_add_plane(image, heif_channel_interleaved, pixels.Width(), pixels.Height(), 8));
    int stride = 0;
    uint8_t* rows = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < pixels.Height(); ++y)
        std::memcpy(rows + size_t(y) * size_t(stride), pixels.Row(y), size_t(pixels.Width()) * 3);
    return image;
}

// A 10-bit 4:2:0 image: luma rising from left to right over the whole range, neutral chroma.
heif_image* TenBitImage(int width, int height)
{
    heif_image* image = nullptr;
    Ok(heif_image_create(width, height, heif_colorspace_YCbCr, heif_chroma_420, &image));
    const int cw = (width + 1) / 2, ch = (height + 1) / 2;
    Ok(heif_image_add_plane(image, heif_channel_Y, width, height, 10));
    Ok(heif_image_add_plane(image, heif_channel_Cb, cw, ch, 10));
    Ok(heif_image_add_plane(image, heif_channel_Cr, cw, ch, 10));
    auto fill = [&](heif_channel channel, int w, int h, auto value) {
        int stride = 0;
        uint8_t* rows = heif_image_get_plane(image, channel, &stride);
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<uint16_t*>(rows + size_t(y) * size_t(stride));
            for (int x = 0; x < w; ++x)
                row[x] = static_cast<uint16_t>(value(x));
        }
    };
    fill(heif_channel_Y, width, height, [&](int x) { return 64 + x * (940 - 64) / std::max(width - 1, 1); });
    fill(heif_channel_Cb, cw, ch, [](int) { return 512; });
    fill(heif_channel_Cr, cw, ch, [](int) { return 512; });
    return image;
}

}  // namespace

Picture HeifFixture::MarkedPicture(int width, int height)
{
    Picture picture(width, height);
    picture.Fill(RgbColor(128, 128, 128));
    picture.FillRect(0, 0, width / 4, height / 4, RgbColor(230, 20, 20));
    return picture;
}

std::string ExifItemOf(const std::string& tiff) { return std::string(4, '\0') + tiff; }

std::string MakeHeif(const HeifFixture& fixture)
{
    std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
    heif_encoder* encoder = nullptr;
    Ok(heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &encoder));
    std::unique_ptr<heif_encoder, void (*)(heif_encoder*)> encoderOwner(encoder, heif_encoder_release);
    heif_encoder_set_lossy_quality(encoder, 90);
    std::unique_ptr<heif_image, void (*)(const heif_image*)> image(
        fixture.TenBit ? TenBitImage(fixture.Pixels.Width(), fixture.Pixels.Height()) : RgbImage(fixture.Pixels),
        heif_image_release);
    if (!fixture.Icc.empty())
        Ok(heif_image_set_raw_color_profile(image.get(), "prof", fixture.Icc.data(), fixture.Icc.size()));
    std::unique_ptr<heif_encoding_options, void (*)(heif_encoding_options*)> options(heif_encoding_options_alloc(),
                                                                                    heif_encoding_options_free);
    options->image_orientation = static_cast<heif_orientation>(fixture.Transform);
    heif_image_handle* handle = nullptr;
    Ok(heif_context_encode_image(context.get(), image.get(), encoder, options.get(), &handle));
    std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> handleOwner(handle,
                                                                                       heif_image_handle_release);
    if (!fixture.ExifItem.empty())
        Ok(heif_context_add_generic_metadata(context.get(), handle, fixture.ExifItem.data(),
                                             int(fixture.ExifItem.size()), "Exif", nullptr));
    if (!fixture.Xmp.empty())
        Ok(heif_context_add_XMP_metadata(context.get(), handle, fixture.Xmp.data(), int(fixture.Xmp.size())));
    std::string bytes;
    heif_writer writer{1, WriteToString};
    Ok(heif_context_write(context.get(), &writer, &bytes));
    return bytes;
}

Picture LibheifDecode(const std::string& heif)
{
    std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
    Ok(heif_context_read_from_memory_without_copy(context.get(), heif.data(), heif.size(), nullptr));
    heif_image_handle* handle = nullptr;
    Ok(heif_context_get_primary_image_handle(context.get(), &handle));
    std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> handleOwner(handle,
                                                                                       heif_image_handle_release);
    std::unique_ptr<heif_decoding_options, void (*)(heif_decoding_options*)> options(heif_decoding_options_alloc(),
                                                                                    heif_decoding_options_free);
    options->convert_hdr_to_8bit = 1;
    heif_image* decoded = nullptr;
    Ok(heif_decode_image(handle, &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGB, options.get()));
    std::unique_ptr<heif_image, void (*)(const heif_image*)> image(decoded, heif_image_release);
    const int width = heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif_image_get_height(decoded, heif_channel_interleaved);
    int stride = 0;
    const uint8_t* rows = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    Picture picture(width, height);
    for (int y = 0; y < height; ++y)
        std::memcpy(picture.Row(y), rows + size_t(y) * size_t(stride), size_t(width) * 3);
    return picture;
}

double MeanDifference(const Picture& a, const Picture& b, int left, int top, int width, int height)
{
    if (left < 0 || top < 0 || width <= 0 || height <= 0 || left + width > std::min(a.Width(), b.Width()) ||
        top + height > std::min(a.Height(), b.Height()))
        return std::numeric_limits<double>::infinity();
    double sum = 0;
    for (int y = top; y < top + height; ++y)
        for (int x = left * 3; x < (left + width) * 3; ++x)
            sum += std::abs(int(a.Row(y)[x]) - int(b.Row(y)[x]));
    return sum / (double(width) * height * 3);
}

}  // namespace morvik::test
