// Peak memory of decoding one HEIF photo, against the goal (the file's bytes plus the
// picture's pixels, and a tenth of the pixels for the decoders' own state) and against what
// the decode reserves (HeifDecodeBytes), which must cover it: exits 1 when it does not.
//   bench_heif_memory make FILE [WIDTH HEIGHT [DEPTH]]   writes a textured HEIF (12 MP, 8-bit)
//   bench_heif_memory FILE                               decodes it and prints the peak
// The peak is the process's resident high-water mark, reset just before the file is read,
// less what was resident then.
#include "PhotoLike.h"
#include "stamping/Heif.h"

#include <libheif/heif.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

using namespace morvik;

void Ok(const heif_error& e)
{
    if (e.code != heif_error_Ok)
        throw std::runtime_error(std::string("libheif: ") + e.message);
}

heif_error WriteToFile(heif_context*, const void* data, size_t size, void* userdata)
{
    static_cast<std::ofstream*>(userdata)->write(static_cast<const char*>(data), std::streamsize(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

void Make(const std::string& path, int width, int height, int depth)
{
    const Picture picture = bench::PhotoLike(width, height, 3);
    heif_image* image = nullptr;
    const heif_chroma chroma = depth > 8 ? heif_chroma_interleaved_RRGGBB_LE : heif_chroma_interleaved_RGB;
    Ok(heif_image_create(width, height, heif_colorspace_RGB, chroma, &image));
    std::unique_ptr<heif_image, void (*)(const heif_image*)> owner(image, heif_image_release);
    Ok(heif_image_add_plane(image, heif_channel_interleaved, width, height, depth));
    int stride = 0;
    uint8_t* rows = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x) {
            const uint8_t v = picture.Row(y)[x];
            if (depth > 8) {
                const uint16_t deep = uint16_t(v << (depth - 8));
                rows[size_t(y) * size_t(stride) + size_t(x) * 2] = uint8_t(deep & 0xFF);
                rows[size_t(y) * size_t(stride) + size_t(x) * 2 + 1] = uint8_t(deep >> 8);
            } else {
                rows[size_t(y) * size_t(stride) + size_t(x)] = v;
            }
        }
    std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
    heif_encoder* encoder = nullptr;
    Ok(heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &encoder));
    std::unique_ptr<heif_encoder, void (*)(heif_encoder*)> encoderOwner(encoder, heif_encoder_release);
    heif_encoder_set_lossy_quality(encoder, 60);
    heif_encoder_set_parameter(encoder, "preset", "ultrafast");
    Ok(heif_context_encode_image(context.get(), image, encoder, nullptr, nullptr));
    std::ofstream out(path, std::ios::binary);
    heif_writer writer{1, WriteToFile};
    Ok(heif_context_write(context.get(), &writer, &out));
}

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM").
uint64_t StatusBytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stoull(line.substr(field.size() + 1)) * 1024;
    throw std::runtime_error("no " + field + " in /proc/self/status");
}

void ResetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";  // the resident high-water mark starts again from what is resident now
}

// The primary image's sample depth, as the decode sees it.
int LumaBits(const std::string& path)
{
    const std::string bytes = ReadHeifFile(path);
    std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
    Ok(heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(), nullptr));
    heif_image_handle* handle = nullptr;
    Ok(heif_context_get_primary_image_handle(context.get(), &handle));
    const int bits = heif_image_handle_get_luma_bits_per_pixel(handle);
    heif_image_handle_release(handle);
    return bits;
}

int Decode(const std::string& path)
{
    const int bits = LumaBits(path);
    ResetPeak();
    const uint64_t before = StatusBytes("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    uint64_t fileBytes = 0;
    uint64_t pixelBytes = 0;
    int width = 0, height = 0;
    {
        const std::string bytes = ReadHeifFile(path);
        fileBytes = bytes.size();
        const HeifPhoto photo = DecodeHeif(bytes, path);
        width = photo.Pixels.Width();
        height = photo.Pixels.Height();
        pixelBytes = uint64_t(photo.Pixels.Stride()) * uint64_t(height);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const uint64_t peak = StatusBytes("VmHWM") - before;
    const uint64_t goal = fileBytes + pixelBytes + pixelBytes / 10;
    const uint64_t reserved = fileBytes + HeifDecodeBytes(width, height, bits);
    auto mib = [](uint64_t b) { return double(b) / 1048576.0; };
    std::printf("%dx%d, %d-bit: file %.1f MiB, pixels %.1f MiB, decoded in %.2f s\n", width, height, bits,
                mib(fileBytes), mib(pixelBytes), seconds);
    std::printf("peak %.1f MiB = %.2f x pixels\n", mib(peak), double(peak) / double(pixelBytes));
    std::printf("goal (file + pixels + 10%%) %.1f MiB: %s\n", mib(goal), peak <= goal ? "within" : "over");
    std::printf("file + reserved for the decode %.1f MiB: %s\n", mib(reserved),
                peak <= reserved ? "covers it" : "TOO LITTLE");
    return peak <= reserved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "make" && (argc == 3 || argc == 5 || argc == 6)) {
            Make(argv[2], argc >= 5 ? std::stoi(argv[3]) : 4032, argc >= 5 ? std::stoi(argv[4]) : 3024,
                 argc == 6 ? std::stoi(argv[5]) : 8);
            return 0;
        }
        if (argc == 2)
            return Decode(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    std::fprintf(stderr, "usage: bench_heif_memory make FILE [WIDTH HEIGHT [DEPTH]] | FILE\n");
    return 2;
}
