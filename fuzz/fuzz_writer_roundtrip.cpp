// The EXIF-preserving writer: read a JPEG file's sections, write them over a fixed small
// picture with the dimensions adjusted, and read the result. The kept sections come out
// byte for byte, the EXIF block differing at most in its width and height values.
#include "FuzzSupport.h"

#include "exif/ImageInfo.h"
#include "exif/ImgData.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "writer round trip: %s\n", what);
    std::abort();
}

const std::string& OutputPath()
{
    static const std::string path = [] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(base) + "/morvik-fuzz-writer-" + std::to_string(getpid()) + ".jpg";
    }();
    return path;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::optional<std::string> Kept(const morvik::tSection* s)
{
    if (s == nullptr)
        return std::nullopt;
    return std::string(1, '\xFF') + char(s->Marker & 0xFF) + s->Data;
}

bool InDimension(int64_t pos, const morvik::TImageInfo* info)
{
    if (info == nullptr)
        return false;
    for (int64_t at : {int64_t(info->HeightPos), int64_t(info->WidthPos)})
        if (at > 0 && pos >= at && pos < at + 4)
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    morvik::fuzz::UseFixedFormatSettings();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    morvik::TimgData source(255);
    source.ReadMetadataFromMemory("x.jpg", bytes);

    const std::optional<std::string> exif = Kept(source.ExifSection);
    const std::optional<std::string> app0 = Kept(source.App0Section);
    const std::optional<std::string> iptc = Kept(source.IptcSection);
    const std::optional<std::string> comment = Kept(source.CommentSection);

    const std::string& picture = morvik::fuzz::SmallEncodedPicture();
    try {
        source.WriteJpegWithExif(picture, 16, 8, OutputPath(), true);
    } catch (...) {
        Fail("the write failed");
    }
    const std::string out = ReadFile(OutputPath());
    std::remove(OutputPath().c_str());

    // SOI, the EXIF block (else APP0, else a JFIF header), IPTC, comment, the picture
    // without its own SOI and JFIF header.
    if (out.compare(0, 2, "\xFF\xD8") != 0)
        Fail("no SOI");
    size_t p = 2;
    if (exif) {
        if (out.size() < p + exif->size())
            Fail("EXIF block cut");
        for (size_t i = 0; i < exif->size(); ++i) {
            // Positions in the block count from the length bytes, 1-based: offset i - 1.
            if (out[p + i] != (*exif)[i] && !(i >= 2 && InDimension(int64_t(i) - 1, source.ExifInfo.get())))
                Fail("EXIF block changed outside the dimensions");
        }
        p += exif->size();
    } else if (app0) {
        if (out.compare(p, app0->size(), *app0) != 0)
            Fail("APP0 not kept");
        p += app0->size();
    } else {
        if (out.compare(p, 4, std::string("\xFF\xE0\x00\x10", 4)) != 0)
            Fail("no default JFIF header");
        p += 18;
    }
    for (const auto* kept : {&iptc, &comment}) {
        if (*kept) {
            if (out.compare(p, (*kept)->size(), **kept) != 0)
                Fail("IPTC or comment not kept byte for byte");
            p += (*kept)->size();
        }
    }
    if (out.compare(p, std::string::npos, picture, 20, std::string::npos) != 0)
        Fail("picture stream not appended whole");

    // Read again: what the second reading finds of the kept sections is what was written.
    morvik::TimgData again(255);
    const bool ok = again.ReadMetadataFromMemory("x.jpg", out);
    if (exif) {
        if (!again.ExifSection)
            Fail("EXIF block lost");
        if (Kept(again.ExifSection)->size() != exif->size())
            Fail("EXIF block size changed");
    }
    if (ok && iptc && Kept(again.IptcSection) != iptc)
        Fail("IPTC lost on reading again");
    if (ok && comment && Kept(again.CommentSection) != comment)
        Fail("comment lost on reading again");
    return 0;
}
