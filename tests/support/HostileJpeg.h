#pragma once
// JPEG files for the hostile-input and fault tests: pictures in the shapes cameras and
// editors write (baseline, progressive, CMYK), a strict decoder that counts a warning as a
// failure, and a snapshot of a folder's files with their times.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <sys/stat.h>

namespace morvik::test {

enum class JpegKind { Baseline, Progressive, Cmyk };

inline std::string EncodeTestJpeg(int width, int height, JpegKind kind = JpegKind::Baseline, int quality = 80)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    const int components = kind == JpegKind::Cmyk ? 4 : 3;
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = kind == JpegKind::Cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (kind == JpegKind::Progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(width) * components);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<unsigned char>(i * 5 + cinfo.next_scanline * 3);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

namespace detail {
struct StrictError {
    jpeg_error_mgr Mgr;
    std::jmp_buf Jump;
    bool Warned = false;
};
inline void StrictExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<StrictError*>(cinfo->err)->Jump, 1); }
inline void StrictMessage(j_common_ptr cinfo, int level)
{
    if (level < 0)
        reinterpret_cast<StrictError*>(cinfo->err)->Warned = true;
}
}  // namespace detail

// True when the stream decodes to its last row without an error or a warning (a file cut
// short or with damaged data gives a warning) and ends with EOI.
inline bool DecodesCompletely(const std::string& bytes)
{
    if (bytes.size() < 4 || bytes.compare(bytes.size() - 2, 2, "\xFF\xD9") != 0)
        return false;
    jpeg_decompress_struct cinfo{};
    detail::StrictError err{};
    cinfo.err = jpeg_std_error(&err.Mgr);
    err.Mgr.error_exit = detail::StrictExit;
    err.Mgr.emit_message = detail::StrictMessage;
    if (setjmp(err.Jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    std::vector<unsigned char> row(static_cast<size_t>(cinfo.output_width) * cinfo.output_components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return !err.Warned;
}

// Every entry of a folder tree (relative path) with its bytes and modification time, so a
// test can show that nothing outside the output folder changed.
struct FileState {
    std::string Bytes;
    long long MTimeNs = 0;
    bool operator==(const FileState&) const = default;
};

inline std::map<std::string, FileState> Snapshot(const std::filesystem::path& root, const std::string& skip = {})
{
    std::map<std::string, FileState> files;
    for (auto it = std::filesystem::recursive_directory_iterator(root); it != std::filesystem::end(it); ++it) {
        const std::string rel = std::filesystem::relative(it->path(), root).string();
        if (!skip.empty() && rel == skip) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat st {};
        FileState state;
        if (::lstat(it->path().c_str(), &st) == 0)
            state.MTimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        if (S_ISREG(st.st_mode)) {
            std::FILE* f = std::fopen(it->path().c_str(), "rb");
            if (f) {
                char buf[65536];
                size_t n;
                while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
                    state.Bytes.append(buf, n);
                std::fclose(f);
            }
        }
        files[rel] = std::move(state);
    }
    return files;
}

}  // namespace morvik::test
