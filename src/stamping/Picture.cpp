#include "stamping/Picture.h"

#include "platform/MemoryStatus.h"
#include "stamping/TextDraw.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

namespace morvik {

std::optional<TColor> ParseRgbColor(std::string_view text)
{
    if (text.starts_with('#'))
        text.remove_prefix(1);
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
        return std::nullopt;
    const unsigned long rgb = std::stoul(std::string(text), nullptr, 16);
    return RgbColor(uint8_t(rgb >> 16), uint8_t((rgb >> 8) & 0xFF), uint8_t(rgb & 0xFF));
}

std::string RgbColorText(TColor color)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", ColorRed(color), ColorGreen(color), ColorBlue(color));
    return text;
}

namespace {

size_t StrideFor(int width) { return (size_t(width) * 3 + 3) & ~size_t(3); }

void FillSpan(uint8_t* p, size_t count, TColor color)
{
    const uint8_t r = ColorRed(color), g = ColorGreen(color), b = ColorBlue(color);
    if (r == g && g == b) {
        std::memset(p, r, count * 3);
        return;
    }
    for (size_t i = 0; i < count; ++i, p += 3) {
        p[0] = r;
        p[1] = g;
        p[2] = b;
    }
}

}  // namespace

void CheckPictureFits(int width, int height, uint64_t extraBytes)
{
    const int64_t pixels = int64_t(std::max(width, 0)) * std::max(height, 0);
    const uint64_t need = uint64_t(pixels) * 3 + extraBytes;
    auto refuse = [&](const char* why) {
        char text[200];
        std::snprintf(text, sizeof text, "Картинка %d на %d слишком велика: %s", width, height, why);
        throw EPictureTooLarge(text);
    };
    if (pixels > kMaxPicturePixels)
        refuse("больше 268 миллионов точек");
    // Reading the memory status costs a file read; small pictures skip it.
    if (need < (uint64_t(64) << 20))
        return;
    const uint64_t available = AvailableMemoryBytes();
    if (available != 0 && need > available)
        refuse("не хватает памяти");
}

MemoryReservation ReservePictureMemory(int width, int height, uint64_t bytes)
{
    std::optional<MemoryReservation> reserved = ReserveMemory(bytes);
    if (!reserved)
        throw EPictureTooLarge("Картинка " + std::to_string(width) + " на " + std::to_string(height) +
                               " слишком велика: не хватает памяти");
    return std::move(*reserved);
}

std::unique_ptr<uint8_t[]> Picture::Allocate(int width, int height, size_t stride)
{
    CheckPictureFits(width, height);
    const size_t bytes = stride * size_t(height);
    if (bytes == 0)
        return nullptr;
    uint8_t* memory = new (std::nothrow) uint8_t[bytes];
    if (!memory) {
        char text[160];
        std::snprintf(text, sizeof text, "Картинка %d на %d слишком велика: не хватает памяти", width,
                      height);
        throw EPictureTooLarge(text);
    }
    return std::unique_ptr<uint8_t[]>(memory);
}

Picture::Picture(int width, int height)
{
    SetSize(width, height);
}

Picture Picture::Uninitialized(int width, int height)
{
    Picture picture;
    width = std::max(width, 0);
    height = std::max(height, 0);
    picture.stride_ = StrideFor(width);
    picture.pixels_ = Allocate(width, height, picture.stride_);
    picture.width_ = width;
    picture.height_ = height;
    return picture;
}

Picture::Picture(const Picture& other)
    : BrushColor(other.BrushColor), BrushStyle(other.BrushStyle), PenColor(other.PenColor),
      Font(other.Font), FontColor(other.FontColor), width_(other.width_), height_(other.height_),
      stride_(other.stride_), pixels_(Allocate(other.width_, other.height_, other.stride_))
{
    if (pixels_)
        std::memcpy(pixels_.get(), other.pixels_.get(), stride_ * size_t(height_));
}

Picture& Picture::operator=(const Picture& other)
{
    if (this != &other) {
        Picture copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Picture::Picture(Picture&& other) noexcept
    : BrushColor(other.BrushColor), BrushStyle(other.BrushStyle), PenColor(other.PenColor),
      Font(std::move(other.Font)), FontColor(other.FontColor), width_(other.width_),
      height_(other.height_), stride_(other.stride_), pixels_(std::move(other.pixels_))
{
    other.width_ = other.height_ = 0;
    other.stride_ = 0;
}

Picture& Picture::operator=(Picture&& other) noexcept
{
    if (this != &other) {
        BrushColor = other.BrushColor;
        BrushStyle = other.BrushStyle;
        PenColor = other.PenColor;
        Font = std::move(other.Font);
        FontColor = other.FontColor;
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        stride_ = std::exchange(other.stride_, 0);
        pixels_ = std::move(other.pixels_);
    }
    return *this;
}

void Picture::SetSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_)
        return;
    const size_t stride = StrideFor(width);
    std::unique_ptr<uint8_t[]> pixels = Allocate(width, height, stride);
    if (pixels)
        std::memset(pixels.get(), 0xFF, stride * size_t(height));
    const int keepW = std::min(width, width_), keepH = std::min(height, height_);
    for (int y = 0; keepW > 0 && y < keepH; ++y)
        std::memcpy(pixels.get() + size_t(y) * stride, Row(y), size_t(keepW) * 3);
    pixels_ = std::move(pixels);
    width_ = width;
    height_ = height;
    stride_ = stride;
}

TColor Picture::Pixel(int x, int y) const
{
    if (!Contains(x, y))
        return clInvalid;
    const uint8_t* p = Row(y) + size_t(x) * 3;
    return RgbColor(p[0], p[1], p[2]);
}

void Picture::SetPixel(int x, int y, TColor color)
{
    if (!Contains(x, y))
        return;
    uint8_t* p = Row(y) + size_t(x) * 3;
    p[0] = ColorRed(color);
    p[1] = ColorGreen(color);
    p[2] = ColorBlue(color);
}

void Picture::Fill(TColor color)
{
    FillRect(0, 0, width_, height_, color);
}

void Picture::FillRect(int left, int top, int right, int bottom, TColor color)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width_);
    bottom = std::min(bottom, height_);
    if (left >= right || top >= bottom)
        return;
    for (int y = top; y < bottom; ++y)
        FillSpan(Row(y) + size_t(left) * 3, size_t(right - left), color);
}

void Picture::Draw(int x, int y, const Picture& source)
{
    // Columns and rows of this picture that the source covers.
    const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(int64_t(x) + source.width_, width_);
    const int64_t bottom = std::min<int64_t>(int64_t(y) + source.height_, height_);
    if (left >= right || top >= bottom)
        return;
    if (&source == this) {
        const Picture copy = source;  // rows would overlap
        Draw(x, y, copy);
        return;
    }
    for (int64_t row = top; row < bottom; ++row)
        std::memcpy(Row(int(row)) + left * 3, source.Row(int(row - y)) + (left - x) * 3,
                    size_t(right - left) * 3);
}

void Picture::Rectangle(int left, int top, int right, int bottom)
{
    if (left >= right || top >= bottom)
        return;
    FillRect(left, top, right, top + 1, PenColor);
    FillRect(left, bottom - 1, right, bottom, PenColor);
    FillRect(left, top, left + 1, bottom, PenColor);
    FillRect(right - 1, top, right, bottom, PenColor);
}

void Picture::TextOut(int x, int y, std::string_view text)
{
    DrawTextLine(*this, x, y, text, Font, FontColor, BrushColor, BrushStyle == TBrushStyle::Solid);
}

bool Picture::operator==(const Picture& other) const
{
    if (width_ != other.width_ || height_ != other.height_)
        return false;
    for (int y = 0; y < height_; ++y)
        if (std::memcmp(Row(y), other.Row(y), size_t(width_) * 3) != 0)
            return false;
    return true;
}

}  // namespace morvik
