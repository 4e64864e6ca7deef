#include "stamping/Heif.h"

#include "metadata/directory/ExifDirectory.h"
#include "metadata/file/PhotoMetadata.h"
#include "platform/Convert.h"
#include "platform/FileSystem.h"
#include "stamping/Jpeg.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <libheif/heif.h>
#include <memory>
#include <new>
#include <vector>

namespace morvik {

namespace {

// Files larger than this are not read into memory as a picture (as for a JPEG).
constexpr size_t kMaxHeifFileBytes = size_t(1) << 30;

// A side no longer than this keeps a square image within the picture limit; libheif
// refuses larger ones before it allocates anything.
constexpr int kMaxHeifSide = 16384;

// A JPEG section's length field counts itself and at most 65533 bytes after it.
constexpr size_t kMaxSectionBody = 65533;
constexpr std::string_view kExifHeader{"Exif\0\0", 6};
constexpr std::string_view kXmpHeader{"http://ns.adobe.com/xap/1.0/\0", 29};
constexpr std::string_view kIccHeader{"ICC_PROFILE\0", 12};

// libheif is opened at the first HEIF file, not when the program starts. Loading it loads
// its codec libraries too (HEVC, AV1, each with its own start-up work), which take most
// of a short run's time, and a folder of JPEGs never needs them. Each function we call is
// named once here; its type is the header's own.
// clang-format off
#define MORVIK_LIBHEIF_FUNCTIONS(X) \
    X(heif_init) \
    X(heif_check_filetype) \
    X(heif_context_alloc) \
    X(heif_context_free) \
    X(heif_context_set_maximum_image_size_limit) \
    X(heif_context_read_from_memory_without_copy) \
    X(heif_context_get_primary_image_handle) \
    X(heif_image_handle_release) \
    X(heif_image_handle_get_width) \
    X(heif_image_handle_get_height) \
    X(heif_image_handle_get_luma_bits_per_pixel) \
    X(heif_image_handle_get_number_of_metadata_blocks) \
    X(heif_image_handle_get_list_of_metadata_block_IDs) \
    X(heif_image_handle_get_metadata_content_type) \
    X(heif_image_handle_get_metadata_size) \
    X(heif_image_handle_get_metadata) \
    X(heif_image_handle_get_color_profile_type) \
    X(heif_image_handle_get_raw_color_profile_size) \
    X(heif_image_handle_get_raw_color_profile) \
    X(heif_decoding_options_alloc) \
    X(heif_decoding_options_free) \
    X(heif_decode_image) \
    X(heif_image_release) \
    X(heif_image_get_width) \
    X(heif_image_get_height) \
    X(heif_image_get_plane_readonly) \
    X(heif_image_get_bits_per_pixel_range)
// clang-format on

struct Libheif {
#define MORVIK_LIBHEIF_POINTER(name) decltype(&::name) name = nullptr;
    MORVIK_LIBHEIF_FUNCTIONS(MORVIK_LIBHEIF_POINTER)
#undef MORVIK_LIBHEIF_POINTER
    std::string Failure;  // why it could not be loaded; empty when it was
};

// The library, opened and started once per process (libheif's own start-up registers its
// codecs; it stays initialised until the process ends). Safe from several threads.
const Libheif& LoadedLibheif()
{
    static const Libheif library = [] {
        Libheif lib;
        void* handle = dlopen(MORVIK_LIBHEIF_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            lib.Failure = why != nullptr ? why : MORVIK_LIBHEIF_SONAME " cannot be loaded";
            return lib;
        }
#define MORVIK_LIBHEIF_RESOLVE(name)                                                                                   \
    lib.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                                              \
    if (lib.name == nullptr && lib.Failure.empty())                                                                    \
        lib.Failure = MORVIK_LIBHEIF_SONAME " has no " #name;
        MORVIK_LIBHEIF_FUNCTIONS(MORVIK_LIBHEIF_RESOLVE)
#undef MORVIK_LIBHEIF_RESOLVE
        if (lib.Failure.empty())
            lib.heif_init(nullptr);
        return lib;
    }();
    return library;
}

// The loaded library for reading the file at path; EHeif when it cannot be loaded.
const Libheif& LibheifFor(const std::string& path)
{
    const Libheif& lib = LoadedLibheif();
    if (!lib.Failure.empty())
        throw EHeif(path, "libheif cannot be loaded (" + lib.Failure + ")");
    return lib;
}

// The deleters run only on what the loaded library made.
struct ContextFree {
    void operator()(heif_context* c) const { LoadedLibheif().heif_context_free(c); }
};
struct HandleFree {
    void operator()(heif_image_handle* h) const { LoadedLibheif().heif_image_handle_release(h); }
};
struct ImageFree {
    void operator()(heif_image* i) const { LoadedLibheif().heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* o) const { LoadedLibheif().heif_decoding_options_free(o); }
};

void Check(const heif_error& error, const std::string& path)
{
    if (error.code != heif_error_Ok)
        throw EHeif(path, error.message != nullptr && *error.message ? error.message : "libheif failed");
}

// The container read over bytes the caller keeps alive, and its primary image.
struct OpenHeif {
    std::unique_ptr<heif_context, ContextFree> Context;
    std::unique_ptr<heif_image_handle, HandleFree> Primary;
};

OpenHeif Open(std::string_view bytes, const std::string& path)
{
    const Libheif& lib = LibheifFor(path);
    OpenHeif heif;
    heif.Context.reset(lib.heif_context_alloc());
    if (!heif.Context)
        throw std::bad_alloc();
    lib.heif_context_set_maximum_image_size_limit(heif.Context.get(), kMaxHeifSide);
    Check(lib.heif_context_read_from_memory_without_copy(heif.Context.get(), bytes.data(), bytes.size(), nullptr),
          path);
    heif_image_handle* primary = nullptr;
    Check(lib.heif_context_get_primary_image_handle(heif.Context.get(), &primary), path);
    heif.Primary.reset(primary);
    return heif;
}

std::string MetadataBlock(heif_image_handle* handle, heif_item_id id, const std::string& path)
{
    const Libheif& lib = LoadedLibheif();
    std::string block(lib.heif_image_handle_get_metadata_size(handle, id), '\0');
    Check(lib.heif_image_handle_get_metadata(handle, id, block.data()), path);
    return block;
}

// The first metadata block of a type ("Exif", "mime") whose content type matches, if any.
std::optional<std::string> FirstBlock(heif_image_handle* handle, const char* type, std::string_view contentType,
                                      const std::string& path)
{
    const Libheif& lib = LoadedLibheif();
    const int count = lib.heif_image_handle_get_number_of_metadata_blocks(handle, type);
    if (count <= 0)
        return std::nullopt;
    std::vector<heif_item_id> ids(static_cast<size_t>(count));
    const int listed = lib.heif_image_handle_get_list_of_metadata_block_IDs(handle, type, ids.data(), count);
    for (int i = 0; i < listed; ++i) {
        const char* content = lib.heif_image_handle_get_metadata_content_type(handle, ids[size_t(i)]);
        if (contentType.empty() || (content != nullptr && contentType == content))
            return MetadataBlock(handle, ids[size_t(i)], path);
    }
    return std::nullopt;
}

HeifMetadata ReadMetadata(heif_image_handle* handle, const std::string& path)
{
    const Libheif& lib = LoadedLibheif();
    HeifMetadata metadata;
    metadata.Width = lib.heif_image_handle_get_width(handle);
    metadata.Height = lib.heif_image_handle_get_height(handle);
    if (const auto item = FirstBlock(handle, "Exif", {}, path)) {
        const auto tiff = ExifItemTiffBlock(*item);
        if (!tiff)
            throw EHeif(path, "its EXIF item is malformed (no TIFF header where its offset points)");
        metadata.Exif = std::string(*tiff);
    }
    if (auto xmp = FirstBlock(handle, "mime", "application/rdf+xml", path))
        metadata.Xmp = std::move(*xmp);
    const heif_color_profile_type profile = lib.heif_image_handle_get_color_profile_type(handle);
    if (profile == heif_color_profile_type_prof || profile == heif_color_profile_type_rICC) {
        metadata.Icc.resize(lib.heif_image_handle_get_raw_color_profile_size(handle));
        Check(lib.heif_image_handle_get_raw_color_profile(handle, metadata.Icc.data()), path);
    }
    return metadata;
}

uint32_t BigEndian32(std::string_view b, size_t at)
{
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 | uint32_t(uint8_t(b[at + 2])) << 8 |
           uint32_t(uint8_t(b[at + 3]));
}

void AppendSegment(std::string& out, uint8_t marker, std::string_view header, std::string_view body)
{
    const size_t length = 2 + header.size() + body.size();
    out += char(0xFF);
    out += char(marker);
    out += char(length >> 8);
    out += char(length & 0xFF);
    out += header;
    out += body;
}

// Where the encoder's stream goes on after its SOI and its own JFIF section.
size_t AfterEncoderHeader(std::string_view jpeg)
{
    size_t p = 2;
    if (jpeg.size() >= p + 4 && uint8_t(jpeg[p]) == 0xFF && uint8_t(jpeg[p + 1]) == 0xE0)
        p += 2 + (size_t(uint8_t(jpeg[p + 2])) << 8 | uint8_t(jpeg[p + 3]));
    return std::min(p, jpeg.size());
}

}  // namespace

EHeif::EHeif(const std::string& path, std::string_view reason)
    : Exception("Cannot read HEIF file \"" + path + "\": " + std::string(reason))
{
}

bool IsHeifName(std::string_view name)
{
    return AsciiEndsWithNoCase(name, ".heic") || AsciiEndsWithNoCase(name, ".heif");
}

bool LooksLikeHeif(std::string_view bytes)
{
    // Every HEIF begins with its file-type box: other files are told apart without loading
    // libheif. A file the library cannot be loaded for is no HEIF that could be read.
    if (bytes.size() < 12 || bytes.substr(4, 4) != "ftyp")
        return false;
    const Libheif& lib = LoadedLibheif();
    const int len = static_cast<int>(std::min<size_t>(bytes.size(), 64));
    return lib.Failure.empty() &&
           lib.heif_check_filetype(reinterpret_cast<const uint8_t*>(bytes.data()), len) == heif_filetype_yes_supported;
}

std::optional<std::string_view> ExifItemTiffBlock(std::string_view item)
{
    if (item.size() < 4)
        return std::nullopt;
    const uint32_t skip = BigEndian32(item, 0);
    if (skip > item.size() - 4)
        return std::nullopt;
    std::string_view tiff = item.substr(4 + size_t(skip));
    // Some writers count no bytes to skip yet put the JPEG section's header first.
    if (tiff.substr(0, kExifHeader.size()) == kExifHeader)
        tiff.remove_prefix(kExifHeader.size());
    const std::string_view order = tiff.substr(0, 4);
    if (order != std::string_view("II*\0", 4) && order != std::string_view("MM\0*", 4))
        return std::nullopt;
    if (tiff.size() < 8)
        return std::nullopt;
    return tiff;
}

void SetOrientationUpright(std::string& tiff)
{
    if (tiff.size() < 8)
        return;
    const bool big = tiff[0] == 'M';
    auto u16 = [&](size_t at) {
        const uint8_t a = uint8_t(tiff[at]), b = uint8_t(tiff[at + 1]);
        return big ? uint16_t(a << 8 | b) : uint16_t(b << 8 | a);
    };
    auto u32 = [&](size_t at) {
        return big ? uint32_t(u16(at)) << 16 | u16(at + 2) : uint32_t(u16(at + 2)) << 16 | u16(at);
    };
    // A first-directory offset of 0 is read as the directory right after the header, as
    // the metadata reader does.
    const size_t directory = u32(4) == 0 ? 8 : u32(4);
    if (directory > tiff.size() || tiff.size() - directory < 2)
        return;
    const size_t count = u16(directory);
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = directory + 2 + i * 12;
        if (entry > tiff.size() || tiff.size() - entry < 12)
            return;
        if (u16(entry) != tag::Orientation)
            continue;
        // Whatever type and count it had, the entry becomes one SHORT of value 1.
        auto put16 = [&](size_t at, uint16_t v) {
            tiff[at] = char(big ? v >> 8 : v & 0xFF);
            tiff[at + 1] = char(big ? v & 0xFF : v >> 8);
        };
        put16(entry + 2, 3);
        put16(entry + 4, big ? 0 : 1);
        put16(entry + 6, big ? 1 : 0);
        put16(entry + 8, 1);
        put16(entry + 10, 0);
        return;
    }
}

uint64_t HeifDecodeBytes(int width, int height, int bitsPerSample)
{
    // libheif 1.15's peak, measured by bench_heif_memory on 12 and 24 MP images, in bytes
    // per pixel: the HEVC decoder's picture and its block data, libheif's copy of the
    // planes, its RGB image and ours (8.2 for 8-bit samples); deeper samples are held in
    // two bytes and go through one more step to 8 bits (13). Rounded up.
    const uint64_t pixels = uint64_t(std::max(width, 0)) * uint64_t(std::max(height, 0));
    return pixels * (bitsPerSample > 8 ? 14 : 9);
}

HeifMetadata ReadHeifMetadata(std::string_view bytes, const std::string& path)
{
    const OpenHeif heif = Open(bytes, path);
    return ReadMetadata(heif.Primary.get(), path);
}

HeifPhoto DecodeHeif(std::string_view bytes, const std::string& path)
{
    const OpenHeif heif = Open(bytes, path);
    const Libheif& lib = LoadedLibheif();
    HeifPhoto photo;
    photo.Metadata = ReadMetadata(heif.Primary.get(), path);
    const int width = photo.Metadata.Width, height = photo.Metadata.Height;
    const uint64_t need =
        HeifDecodeBytes(width, height, lib.heif_image_handle_get_luma_bits_per_pixel(heif.Primary.get()));
    CheckPictureFits(width, height, need - uint64_t(std::max(width, 0)) * uint64_t(std::max(height, 0)) * 3);
    const MemoryReservation reserved = ReservePictureMemory(width, height, need);

    std::unique_ptr<heif_decoding_options, OptionsFree> options(lib.heif_decoding_options_alloc());
    if (!options)
        throw std::bad_alloc();
    options->convert_hdr_to_8bit = 1;  // 10- and 12-bit samples are brought to 8
    heif_image* decoded = nullptr;
    Check(lib.heif_decode_image(heif.Primary.get(), &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                                options.get()),
          path);
    const std::unique_ptr<heif_image, ImageFree> image(decoded);
    const int decodedWidth = lib.heif_image_get_width(image.get(), heif_channel_interleaved);
    const int decodedHeight = lib.heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* rows = lib.heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (rows == nullptr || decodedWidth <= 0 || decodedHeight <= 0 || stride < decodedWidth * 3 ||
        lib.heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8)
        throw EHeif(path, "its image did not decode to 8-bit RGB");
    photo.Pixels = Picture::Uninitialized(decodedWidth, decodedHeight);
    for (int y = 0; y < decodedHeight; ++y)
        std::memcpy(photo.Pixels.Row(y), rows + size_t(y) * size_t(stride), size_t(decodedWidth) * 3);
    photo.Metadata.Width = decodedWidth;
    photo.Metadata.Height = decodedHeight;
    return photo;
}

std::string ReadHeifFile(const std::string& path)
{
    return ReadWholeFile(path, kMaxHeifFileBytes, false);
}

bool LoadHeifExif(PhotoMetadata& reader, const std::string& path, const HeifMetadata& metadata, bool upright)
{
    reader.ResetData();
    reader.FileName = path;
    if (metadata.Exif.empty())
        return false;
    if (metadata.Exif.size() + kExifHeader.size() > kMaxSectionBody)
        throw EHeif(path, "its EXIF block of " + std::to_string(metadata.Exif.size()) +
                              " bytes is larger than a JPEG section holds");
    // The block as a JPEG's EXIF section, so that the reader takes it as it takes a JPEG's.
    std::string tiff = metadata.Exif;
    if (upright)
        SetOrientationUpright(tiff);
    std::string jpeg("\xFF\xD8", 2);
    AppendSegment(jpeg, 0xE1, kExifHeader, tiff);
    jpeg += std::string_view("\xFF\xD9", 2);
    const bool read = reader.ReadMetadataFromMemory(path + ".jpg", jpeg);
    reader.FileName = path;
    if (reader.Outcome.Faulted())
        throw Exception(reader.Outcome.Text);
    if (!read || !reader.ExifInfo)
        throw EHeif(path, "its EXIF block is malformed (" + reader.Outcome.Text + ")");
    return true;
}

bool ReadHeifForReport(PhotoMetadata& reader, const std::string& path)
{
    try {
        const std::string bytes = ReadHeifFile(path);
        const bool read = LoadHeifExif(reader, path, ReadHeifMetadata(bytes, path), false);
        reader.ReadFileFacts(path);
        return read;
    } catch (const std::bad_alloc&) {
        // The reader's own fault, not the file's: told apart as its readings do.
        reader.SetFault(kOutOfMemoryText);
    } catch (const Exception& e) {
        // The file's failure (unreadable, refused by libheif, a malformed EXIF item) is the
        // report's error text.
        reader.ResetData();
        reader.ReadFileFacts(path);
        reader.Outcome = ReadingOutcome{ReadingEnd::NoMetadata, e.what()};
    }
    return false;
}

std::string HeifOutputJpeg(const HeifPhoto& photo, std::string_view encodedJpeg, bool exif, const std::string& path,
                           std::string storage)
{
    PhotoMetadata reader(ParseModeFull);
    if (exif && LoadHeifExif(reader, path, photo.Metadata, true))
        reader.UpdateDimensions(photo.Pixels.Height(), photo.Pixels.Width());
    std::string out = std::move(storage);
    out.clear();
    out.reserve(encodedJpeg.size() + photo.Metadata.Exif.size() + photo.Metadata.Icc.size() +
                photo.Metadata.Xmp.size() + 1024);
    reader.WriteHeaderSections(out);  // SOI, the EXIF section or a JFIF header
    if (exif && !photo.Metadata.Xmp.empty() && photo.Metadata.Xmp.size() + kXmpHeader.size() <= kMaxSectionBody)
        AppendSegment(out, 0xE1, kXmpHeader, photo.Metadata.Xmp);
    // A profile larger than a section goes in numbered pieces, as JPEG readers join them.
    const std::string_view icc = photo.Metadata.Icc;
    constexpr size_t kIccPiece = kMaxSectionBody - kIccHeader.size() - 2;
    const size_t pieces = (icc.size() + kIccPiece - 1) / kIccPiece;
    if (pieces <= 255) {
        for (size_t i = 0; i < pieces; ++i) {
            std::string header(kIccHeader);
            header += char(i + 1);
            header += char(pieces);
            AppendSegment(out, 0xE2, header, icc.substr(i * kIccPiece, kIccPiece));
        }
    }
    out.append(encodedJpeg.substr(AfterEncoderHeader(encodedJpeg)));
    return out;
}

}  // namespace morvik
