#pragma once
// The picture: a 24-bit RGB raster with the drawing surface that stamping, the frame and
// the mosaic chart use (fill colour and style, pen colour, font and font colour, text,
// rectangles, pixel get and set, drawing one picture onto another).
//
// Pixels are kept as R, G, B bytes, rows top to bottom, each row padded to a multiple of
// four bytes (a Qt QImage of Format_RGB888 can wrap Bits() with Stride() directly).
// A Picture is a plain value: copying copies the pixels. Different pictures may be used
// on different threads at once; one picture is not to be shared between threads while
// it is written.
#include "platform/Exceptions.h"
#include "platform/MemoryStatus.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace morvik {

// A colour as the settings store it: 0x00BBGGRR (16744576 is red 128, green 128, blue 255).
using TColor = uint32_t;

// The fill style of the surface: text drawn while it is Solid has its character cells
// filled with the fill colour first; with any other style only the glyphs are drawn.
enum class TBrushStyle { Solid, Cross };

constexpr TColor RgbColor(uint8_t red, uint8_t green, uint8_t blue)
{
    return TColor(red) | (TColor(green) << 8) | (TColor(blue) << 16);
}
constexpr uint8_t ColorRed(TColor c) { return uint8_t(c & 0xFF); }
constexpr uint8_t ColorGreen(TColor c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t ColorBlue(TColor c) { return uint8_t((c >> 16) & 0xFF); }

// "#RRGGBB" or "RRGGBB" in hexadecimal digits of either case as a colour; nullopt for any
// other text.
std::optional<TColor> ParseRgbColor(std::string_view text);
// The colour as "RRGGBB", upper-case digits: what ParseRgbColor reads back.
std::string RgbColorText(TColor color);

constexpr TColor clBlack = RgbColor(0, 0, 0);
constexpr TColor clWhite = RgbColor(255, 255, 255);
// What Pixel gives for a point outside the picture.
constexpr TColor clInvalid = 0xFFFFFFFF;

// A font as the font dialog gives it: face name, character height in pixels, style.
// The face is looked up by name; the nearest installed face stands in for a missing one.
struct TFont {
    std::string Name = "Futura Md BT";
    int Height = 11;
    bool Bold = true;
    bool Italic = true;

    bool operator==(const TFont&) const = default;
};

// A box of picture pixels: columns Left..Right−1, rows Top..Bottom−1. It may reach past
// a picture's edges on any side.
struct PixelBox {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Empty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const PixelBox&) const = default;
};

// A picture whose raster would not fit the memory we allow for it.
class EPictureTooLarge : public Exception {
public:
    using Exception::Exception;
};

// Largest raster we make: 2^28 pixels (768 MiB of RGB), and never more than the memory
// the process may still take (AvailableMemoryBytes: the system's, within a container's limit). Throws EPictureTooLarge naming the size otherwise;
// extraBytes counts memory needed beside the raster (a decoder's buffers).
void CheckPictureFits(int width, int height, uint64_t extraBytes = 0);
// Reserves the memory a picture of that size takes in flight (ReserveMemory: the jobs of a
// batch share what the process may take), waiting while other pictures hold it. Throws
// EPictureTooLarge naming the size when it would not fit even with none of them held.
MemoryReservation ReservePictureMemory(int width, int height, uint64_t bytes);
constexpr int64_t kMaxPicturePixels = int64_t(1) << 28;

class Picture {
public:
    Picture() = default;
    // A white picture; negative sizes count as 0.
    Picture(int width, int height);
    // A picture whose pixels are left as memory gives them, for a decoder or builder
    // that writes every pixel itself (saves a pass over a large raster).
    static Picture Uninitialized(int width, int height);

    Picture(const Picture& other);
    Picture& operator=(const Picture& other);
    Picture(Picture&& other) noexcept;
    Picture& operator=(Picture&& other) noexcept;
    ~Picture() = default;

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    // Bytes from one row to the next.
    size_t Stride() const { return stride_; }
    uint8_t* Bits() { return pixels_.get(); }
    const uint8_t* Bits() const { return pixels_.get(); }
    // Row y as 3·Width bytes R, G, B; y must lie inside the picture.
    uint8_t* Row(int y) { return pixels_.get() + size_t(y) * stride_; }
    const uint8_t* Row(int y) const { return pixels_.get() + size_t(y) * stride_; }
    std::span<uint8_t> RowSpan(int y) { return {Row(y), size_t(width_) * 3}; }
    std::span<const uint8_t> RowSpan(int y) const { return {Row(y), size_t(width_) * 3}; }

    // New size; what lies inside both sizes is kept, the new area is white.
    void SetSize(int width, int height);
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    // clInvalid outside the picture.
    TColor Pixel(int x, int y) const;
    // Ignored outside the picture.
    void SetPixel(int x, int y, TColor color);
    void Fill(TColor color);
    // Fills columns left..right−1 and rows top..bottom−1, clipped to the picture.
    void FillRect(int left, int top, int right, int bottom, TColor color);
    // Draws source with its top-left corner at (x, y), clipped to this picture.
    void Draw(int x, int y, const Picture& source);

    // The drawing surface, kept between calls like a canvas keeps them.
    TColor BrushColor = clWhite;
    TBrushStyle BrushStyle = TBrushStyle::Solid;
    TColor PenColor = clBlack;
    TFont Font;
    TColor FontColor = clBlack;

    // The outline of a rectangle with a one-pixel pen of PenColor and no fill: columns
    // left and right−1, rows top and bottom−1, clipped to the picture.
    void Rectangle(int left, int top, int right, int bottom);
    // One line of UTF-8 text in Font and FontColor, the top of its character cells at y;
    // with a Solid brush each cell is first filled with BrushColor, otherwise only the
    // glyphs are drawn. Clipped to the picture.
    void TextOut(int x, int y, std::string_view text);

    bool operator==(const Picture& other) const;

private:
    // Allocates the raster for a size, its pixels not yet set.
    static std::unique_ptr<uint8_t[]> Allocate(int width, int height, size_t stride);

    int width_ = 0;
    int height_ = 0;
    size_t stride_ = 0;
    std::unique_ptr<uint8_t[]> pixels_;
};

}  // namespace morvik
