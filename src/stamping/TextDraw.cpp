#include "stamping/TextDraw.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

namespace morvik {

namespace {

// ---- Face lookup: fontconfig, shared by all threads under one lock ------------------

struct FaceChoice {
    std::string File;
    std::string Family;     // the family of the face found
    std::string Style;      // its style name ("Bold Oblique")
    int Index = 0;
    bool Embolden = false;  // bold asked for, the face found is not
    bool Oblique = false;   // italic asked for, the face found is upright
};

std::mutex g_lookupMutex;

const FaceChoice& LookUpFace(const TFont& font)
{
    static std::map<std::tuple<std::string, bool, bool>, FaceChoice> cache;
    std::lock_guard lock(g_lookupMutex);
    auto key = std::make_tuple(font.Name, font.Bold, font.Italic);
    if (auto it = cache.find(key); it != cache.end())
        return it->second;

    FaceChoice choice;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(font.Name.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, font.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, font.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            choice.File = reinterpret_cast<const char*>(file);
        FcChar8* family = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch && family)
            choice.Family = reinterpret_cast<const char*>(family);
        FcChar8* style = nullptr;
        if (FcPatternGetString(match, FC_STYLE, 0, &style) == FcResultMatch && style)
            choice.Style = reinterpret_cast<const char*>(style);
        int index = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch)
            choice.Index = index;
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        FcBool embolden = FcFalse;
        FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
        choice.Embolden = font.Bold && (embolden || weight < FC_WEIGHT_DEMIBOLD);
        choice.Oblique = font.Italic && slant == FC_SLANT_ROMAN;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return cache.emplace(key, choice).first->second;
}

// ---- FreeType: one library and its open faces per thread ----------------------------

struct ThreadFaces {
    FT_Library Library = nullptr;
    std::map<std::pair<std::string, int>, FT_Face> Faces;

    ~ThreadFaces()
    {
        for (auto& [key, face] : Faces)
            FT_Done_Face(face);
        if (Library)
            FT_Done_FreeType(Library);
    }

    FT_Face Open(const FaceChoice& choice)
    {
        if (choice.File.empty())
            return nullptr;
        if (!Library && FT_Init_FreeType(&Library) != 0) {
            Library = nullptr;
            return nullptr;
        }
        auto key = std::make_pair(choice.File, choice.Index);
        if (auto it = Faces.find(key); it != Faces.end())
            return it->second;
        FT_Face face = nullptr;
        if (FT_New_Face(Library, choice.File.c_str(), choice.Index, &face) != 0)
            face = nullptr;
        Faces.emplace(key, face);
        return face;
    }
};

thread_local ThreadFaces t_faces;

// Code points of UTF-8 text; a byte that does not start a valid sequence stands for U+FFFD.
std::vector<char32_t> DecodeUtf8(std::string_view text)
{
    std::vector<char32_t> out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0 && lead >= 0xC2) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0 && lead <= 0xF4) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool ok = i + extra < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (next & 0x3F);
        }
        const bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (!ok || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += size_t(extra) + 1;
    }
    return out;
}

struct SizedFace {
    FT_Face Face = nullptr;
    const FaceChoice* Choice = nullptr;
    int Ascender = 0;
    int Descender = 0;
};

SizedFace PrepareFace(const TFont& font)
{
    SizedFace sized;
    sized.Choice = &LookUpFace(font);
    sized.Face = t_faces.Open(*sized.Choice);
    if (!sized.Face)
        throw Exception("Cannot find a font for \"" + font.Name + "\"");
    const int pixels = std::max(1, std::abs(font.Height));
    if (FT_Set_Pixel_Sizes(sized.Face, 0, FT_UInt(pixels)) != 0 && sized.Face->num_fixed_sizes > 0)
        FT_Select_Size(sized.Face, 0);  // a bitmap-only face: take its first size
    const FT_Size_Metrics& m = sized.Face->size->metrics;
    sized.Ascender = int((m.ascender + 63) >> 6);
    sized.Descender = int((-m.descender + 63) >> 6);
    return sized;
}

// Loads and renders one glyph into the face's slot; false when the face has none to give.
bool LoadGlyph(const SizedFace& sized, char32_t cp, bool render)
{
    if (FT_Load_Char(sized.Face, FT_ULong(cp), FT_LOAD_DEFAULT) != 0)
        return false;
    FT_GlyphSlot slot = sized.Face->glyph;
    if (sized.Choice->Oblique)
        FT_GlyphSlot_Oblique(slot);
    if (sized.Choice->Embolden)
        FT_GlyphSlot_Embolden(slot);
    if (render && slot->format != FT_GLYPH_FORMAT_BITMAP &&
        FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    return true;
}

int Advance(const SizedFace& sized) { return int((sized.Face->glyph->advance.x + 32) >> 6); }

// The width of a line's character cells: the sum of its glyphs' advances.
int64_t CellsWidth(const SizedFace& sized, const std::vector<char32_t>& codePoints)
{
    int64_t width = 0;
    for (char32_t cp : codePoints)
        if (LoadGlyph(sized, cp, false))
            width += Advance(sized);
    return width;
}

// Fills the character cells of a line whose first cell's top-left is (x, y).
void FillCells(Picture& picture, int x, int y, const SizedFace& sized, const std::vector<char32_t>& codePoints,
               TColor background)
{
    const int64_t right = std::min<int64_t>(int64_t(x) + CellsWidth(sized, codePoints), picture.Width());
    picture.FillRect(x, y, int(std::max<int64_t>(right, x)), y + sized.Ascender + sized.Descender, background);
}

// Lays colour over the pixel's R, G, B bytes with a coverage of alpha out of 255.
inline void BlendPixel(uint8_t* p, TColor color, int alpha)
{
    if (alpha == 0)
        return;
    p[0] = uint8_t((ColorRed(color) * alpha + p[0] * (255 - alpha) + 127) / 255);
    p[1] = uint8_t((ColorGreen(color) * alpha + p[1] * (255 - alpha) + 127) / 255);
    p[2] = uint8_t((ColorBlue(color) * alpha + p[2] * (255 - alpha) + 127) / 255);
}

void BlendGlyph(Picture& picture, const FT_Bitmap& bitmap, int left, int top, TColor color)
{
    const int rows = int(bitmap.rows), cols = int(bitmap.width);
    for (int row = 0; row < rows; ++row) {
        const int y = top + row;
        if (y < 0 || y >= picture.Height())
            continue;
        const unsigned char* src = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
        uint8_t* dst = picture.Row(y);
        for (int col = 0; col < cols; ++col) {
            const int x = left + col;
            if (x < 0 || x >= picture.Width())
                continue;
            int alpha;
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                alpha = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
            else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
                alpha = bitmap.num_grays == 256 ? src[col] : src[col] * 255 / std::max(1, bitmap.num_grays - 1);
            else
                return;
            BlendPixel(dst + size_t(x) * 3, color, alpha);
        }
    }
}

}  // namespace

TextExtent MeasureText(const TFont& font, std::string_view text)
{
    const SizedFace sized = PrepareFace(font);
    TextExtent extent;
    extent.Height = sized.Ascender + sized.Descender;
    extent.Width = int(CellsWidth(sized, DecodeUtf8(text)));
    return extent;
}

void DrawTextLine(Picture& picture, int x, int y, std::string_view text, const TFont& font,
                  TColor textColor, TColor background, bool opaque)
{
    if (text.empty())
        return;
    const SizedFace sized = PrepareFace(font);
    const std::vector<char32_t> codePoints = DecodeUtf8(text);
    if (opaque)
        FillCells(picture, x, y, sized, codePoints, background);
    const int baseline = y + sized.Ascender;
    int64_t pen = x;
    for (char32_t cp : codePoints) {
        if (pen >= int64_t(picture.Width()) + std::abs(font.Height))
            break;  // everything further right is cut off (a slanted glyph may reach back a little)
        if (!LoadGlyph(sized, cp, true))
            continue;
        const FT_GlyphSlot slot = sized.Face->glyph;
        BlendGlyph(picture, slot->bitmap, int(pen) + slot->bitmap_left, baseline - slot->bitmap_top,
                   textColor);
        pen += Advance(sized);
    }
}

PixelBox TextLineBox(int x, int y, std::string_view text, const TFont& font, bool opaque)
{
    if (text.empty())
        return {};
    const SizedFace sized = PrepareFace(font);
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    auto add = [&](int64_t l, int64_t t, int64_t r, int64_t b) {
        if (r <= l || b <= t)
            return;
        left = std::min(left, l);
        top = std::min(top, t);
        right = std::max(right, r);
        bottom = std::max(bottom, b);
    };
    const std::vector<char32_t> codePoints = DecodeUtf8(text);
    if (opaque)
        add(x, y, int64_t(x) + CellsWidth(sized, codePoints), int64_t(y) + sized.Ascender + sized.Descender);
    const int64_t baseline = int64_t(y) + sized.Ascender;
    int64_t pen = x;
    for (char32_t cp : codePoints) {
        if (!LoadGlyph(sized, cp, true))
            continue;
        const FT_GlyphSlot slot = sized.Face->glyph;
        const int64_t gl = pen + slot->bitmap_left, gt = baseline - slot->bitmap_top;
        add(gl, gt, gl + slot->bitmap.width, gt + slot->bitmap.rows);
        pen += Advance(sized);
    }
    if (right == INT64_MIN)
        return {};
    auto clampInt = [](int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    return {clampInt(left), clampInt(top), clampInt(right), clampInt(bottom)};
}

std::string ResolvedFontFile(const TFont& font) { return LookUpFace(font).File; }

std::string ResolvedFontFamily(const TFont& font) { return LookUpFace(font).Family; }

std::string ResolvedFontStyle(const TFont& font)
{
    const FaceChoice& choice = LookUpFace(font);
    return choice.Embolden || choice.Oblique ? std::string() : choice.Style;
}

TFont FontForCellHeight(const TFont& font, int cellHeight)
{
    TFont sized = font;
    auto cellAt = [&sized](int pixels) {
        sized.Height = pixels;
        return MeasureText(sized, "").Height;
    };
    // The cell grows with the character height: double until it is too high, then halve
    // the step down to the largest height that fits.
    int fits = 1, tooHigh = std::max(2, cellHeight);
    while (cellAt(tooHigh) <= cellHeight && tooHigh < (1 << 20))
        fits = tooHigh, tooHigh *= 2;
    while (tooHigh - fits > 1) {
        const int middle = fits + (tooHigh - fits) / 2;
        (cellAt(middle) <= cellHeight ? fits : tooHigh) = middle;
    }
    sized.Height = fits;
    return sized;
}

void DrawOutlinedTextLine(Picture& picture, int x, int y, std::string_view text, const TFont& font,
                          TColor textColor, TColor background, bool opaque, TColor outlineColor, int outlineWidth)
{
    if (text.empty())
        return;
    if (opaque)
        FillCells(picture, x, y, PrepareFace(font), DecodeUtf8(text), background);
    // The glyphs' coverage: the line drawn white on black over the ink and the ring round
    // it, cut to the part whose ring can reach the picture. Where the cut lies does not
    // change the coverage of a pixel, so a piece of a picture gets what the whole gets there.
    const int reach = std::max(0, outlineWidth) + 1;
    const PixelBox ink = TextLineBox(x, y, text, font, false);
    const int64_t left = std::max<int64_t>(int64_t(ink.Left) - reach, -reach);
    const int64_t top = std::max<int64_t>(int64_t(ink.Top) - reach, -reach);
    const int64_t right = std::min<int64_t>(int64_t(ink.Right) + reach, int64_t(picture.Width()) + reach);
    const int64_t bottom = std::min<int64_t>(int64_t(ink.Bottom) + reach, int64_t(picture.Height()) + reach);
    if (ink.Empty() || right <= left || bottom <= top)
        return;
    const int width = int(right - left), height = int(bottom - top);
    Picture coverage = Picture::Uninitialized(width, height);
    coverage.Fill(clBlack);
    DrawTextLine(coverage, int(x - left), int(y - top), text, font, clWhite, clBlack, false);

    // The ring: each pixel takes the strongest coverage within outlineWidth of it, softened
    // over the last half pixel so that its edge is as smooth as the glyphs'.
    const int r = reach - 1;
    std::vector<uint8_t> ring(size_t(width) * size_t(height), 0);
    std::vector<int> weights(size_t(2 * r + 1) * size_t(2 * r + 1));
    for (int v = -r; v <= r; ++v)
        for (int u = -r; u <= r; ++u) {
            const double w = std::clamp(r + 0.5 - std::hypot(u, v), 0.0, 1.0);
            weights[size_t(v + r) * size_t(2 * r + 1) + size_t(u + r)] = int(w * 255 + 0.5);
        }
    // A pixel whose four neighbours are covered at least as strongly adds nothing (with a
    // ring of a pixel or more): each point of its disc lies nearer to one of them. Only the
    // glyphs' edges are spread.
    auto at = [&](int mx, int my) {
        return mx < 0 || my < 0 || mx >= width || my >= height ? 0 : int(coverage.Row(my)[size_t(mx) * 3]);
    };
    for (int my = 0; my < height; ++my) {
        const uint8_t* row = coverage.Row(my);
        for (int mx = 0; mx < width; ++mx) {
            const int c = row[size_t(mx) * 3];
            if (c == 0 ||
                (r > 0 && at(mx - 1, my) >= c && at(mx + 1, my) >= c && at(mx, my - 1) >= c && at(mx, my + 1) >= c))
                continue;
            for (int v = std::max(-r, -my); v <= std::min(r, height - 1 - my); ++v) {
                uint8_t* out = &ring[size_t(my + v) * size_t(width)];
                const int* w = &weights[size_t(v + r) * size_t(2 * r + 1) + size_t(r)];
                for (int u = std::max(-r, -mx); u <= std::min(r, width - 1 - mx); ++u)
                    out[mx + u] = std::max(out[mx + u], uint8_t((c * w[u] + 127) / 255));
            }
        }
    }

    // The ring in the outline colour, then the glyphs over it.
    for (int my = 0; my < height; ++my) {
        const int64_t py = top + my;
        if (py < 0 || py >= picture.Height())
            continue;
        const uint8_t* cov = coverage.Row(my);
        const uint8_t* out = &ring[size_t(my) * size_t(width)];
        uint8_t* dst = picture.Row(int(py));
        for (int mx = 0; mx < width; ++mx) {
            const int64_t px = left + mx;
            if (px < 0 || px >= picture.Width())
                continue;
            uint8_t* p = dst + size_t(px) * 3;
            BlendPixel(p, outlineColor, out[mx]);
            BlendPixel(p, textColor, cov[size_t(mx) * 3]);
        }
    }
}

}  // namespace morvik
