#pragma once
// JPEG pictures through libjpeg: decoding into a Picture at full size with the library's
// default settings, encoding a Picture at a quality of 0 to 100, and writing files.
//
// Failures are exceptions with the runtime's messages:
//   EInOutError  "Cannot open file \"<path>\". <system's reason>"
//                "Cannot create file \"<path>\". <system's reason>"
//   EJPEG        "JPEG error #<the library's message number>. <the library's text>"
//   EPictureTooLarge (Picture.h) for a header whose size would not fit in memory.
//   EJPEG        also for a header whose picture the data after it is far too small to
//                hold, refused before anything is decoded, and for a stream of more
//                scans than any camera or editor writes.
// libjpeg's warnings (a stream cut short, extra bytes) never stop a decode; the damage
// they tell of is kept (JpegDecoder::Damage). Everything here is safe to use from several
// threads on different pictures.
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"  // WriteFileReplacing
#include "stamping/Picture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace morvik {

// "JPEG error #<the library's message number>. <the library's text for it>".
class EJPEG : public Exception {
public:
    explicit EJPEG(int code, std::string_view libraryText = {});
    int Code() const { return code_; }

private:
    int code_;
};

// How a picture's data is damaged. The decoder goes on past the damage and fills what it
// could not read with grey, so the picture is whole in size but not in content.
enum class PictureDamage {
    None,
    EndsEarly,  // the data stops before the last row (a file cut short or still being copied)
    Broken,     // the data holds codes no encoder writes
};

// "picture data ends early", "picture data is broken"; empty for None.
std::string_view DamageText(PictureDamage damage);

// Files larger than this are not read into memory as a picture.
constexpr size_t kMaxJpegFileBytes = size_t(1) << 30;

// A JPEG stream whose header has been read: its size is known before its data is decoded,
// so a caller can show the size first and still meet a data error at Decode.
class JpegDecoder {
public:
    // Reads the whole file; "Cannot open file …" when it cannot be read, "JPEG error #…"
    // when its header is not a JPEG's.
    static JpegDecoder FromFile(const std::string& path);
    // Takes a copy of the bytes; "JPEG error #…" when the header is not a JPEG's.
    static JpegDecoder FromMemory(std::string_view bytes);
    // Reads the bytes where they lie, without a copy: they must outlive the decoder.
    static JpegDecoder InPlace(std::string_view bytes);

    JpegDecoder(JpegDecoder&&) noexcept;
    JpegDecoder& operator=(JpegDecoder&&) noexcept;
    ~JpegDecoder();

    int Width() const;
    int Height() const;
    // Decodes the picture data into 24-bit RGB (a grey source gives grey RGB pixels; a
    // CMYK or YCCK source is refused with the library's error). Once per decoder.
    Picture Decode();
    // What Decode refuses before it decodes: a picture that would not fit in memory, or
    // whose data is far too small for its frame. A dry run meets these without decoding.
    void CheckDecodable() const;
    // What the library's warnings told of the picture data during Decode.
    PictureDamage Damage() const;
    // The memory a decode takes beside the stream: the picture and, for a progressive
    // stream, the coefficients the decoder keeps until its last scan.
    uint64_t DecodeBytes() const;

private:
    struct Impl;
    explicit JpegDecoder(std::string bytes);
    explicit JpegDecoder(std::string owned, std::string_view bytes);
    std::unique_ptr<Impl> impl_;
};

// The whole file's bytes, read as the decoder reads them ("Cannot open file …" when it
// cannot be read, or is a folder or larger than a picture file may be).
std::string ReadJpegFile(const std::string& path);

Picture DecodeJpegFile(const std::string& path);
Picture DecodeJpeg(std::string_view bytes);

// The encoder's plain output: baseline, sequential, three components, standard tables,
// only the quality set (clamped to 0..100; the library uses 1 for 0). An empty picture
// gives the library's error.
std::string EncodeJpeg(const Picture& picture, int quality);


// "Save picture": the picture encoded at quality, written to path (no metadata).
void SaveJpegFile(const Picture& picture, int quality, const std::string& path);

}  // namespace morvik
