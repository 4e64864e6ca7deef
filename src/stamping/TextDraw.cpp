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
#include <optional>
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

// What fontconfig is asked for a font: its family, weight and slant, a scalable face,
// with the configuration's substitutions applied. The caller destroys it.
FcPattern* FontPattern(const TFont& font)
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(font.Name.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, font.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, font.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

const FaceChoice& LookUpFace(const TFont& font)
{
    static std::map<std::tuple<std::string, bool, bool>, FaceChoice> cache;
    std::lock_guard lock(g_lookupMutex);
    auto key = std::make_tuple(font.Name, font.Bold, font.Italic);
    if (auto it = cache.find(key); it != cache.end())
        return it->second;

    FaceChoice choice;
    FcPattern* pattern = FontPattern(font);
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

// The face fontconfig would take next for the font that has the code point, for one the
// chosen face lacks (the seven-segment faces have no apostrophe); null when none has it.
const FaceChoice* LookUpFallbackFace(const TFont& font, char32_t cp)
{
    static std::map<std::tuple<std::string, bool, bool, char32_t>, std::optional<FaceChoice>> cache;
    std::lock_guard lock(g_lookupMutex);
    auto key = std::make_tuple(font.Name, font.Bold, font.Italic, cp);
    if (auto it = cache.find(key); it != cache.end())
        return it->second ? &*it->second : nullptr;
    std::optional<FaceChoice> choice;
    FcPattern* pattern = FontPattern(font);
    FcResult result = FcResultNoMatch;
    if (FcFontSet* set = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result)) {
        for (int i = 0; i < set->nfont && !choice; ++i) {
            FcCharSet* chars = nullptr;
            FcChar8* file = nullptr;
            if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch ||
                !FcCharSetHasChar(chars, FcChar32(cp)) ||
                FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch || !file)
                continue;
            choice.emplace();
            choice->File = reinterpret_cast<const char*>(file);
            FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &choice->Index);
        }
        FcFontSetDestroy(set);
    }
    FcPatternDestroy(pattern);
    const auto& stored = cache.emplace(key, choice).first->second;
    return stored ? &*stored : nullptr;
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
    const TFont* Font = nullptr;  // for the faces of code points this one lacks
    int Pixels = 0;
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
    sized.Font = &font;
    sized.Pixels = pixels;
    if (FT_Set_Pixel_Sizes(sized.Face, 0, FT_UInt(pixels)) != 0 && sized.Face->num_fixed_sizes > 0)
        FT_Select_Size(sized.Face, 0);  // a bitmap-only face: take its first size
    const FT_Size_Metrics& m = sized.Face->size->metrics;
    sized.Ascender = int((m.ascender + 63) >> 6);
    sized.Descender = int((-m.descender + 63) >> 6);
    return sized;
}

// Loads and renders one glyph: the slot that holds it, null when no face has one to give.
// A code point the face lacks comes from a face that has it, at the same pixel size.
FT_GlyphSlot LoadGlyph(const SizedFace& sized, char32_t cp, bool render)
{
    FT_Face face = sized.Face;
    bool ownStyle = true;
    if (FT_Get_Char_Index(face, FT_ULong(cp)) == 0 && sized.Font) {
        const FaceChoice* other = LookUpFallbackFace(*sized.Font, cp);
        FT_Face fallback = other && other->File != sized.Choice->File ? t_faces.Open(*other) : nullptr;
        if (fallback && FT_Set_Pixel_Sizes(fallback, 0, FT_UInt(sized.Pixels)) == 0) {
            face = fallback;
            ownStyle = false;
        }
    }
    if (FT_Load_Char(face, FT_ULong(cp), FT_LOAD_DEFAULT) != 0)
        return nullptr;
    FT_GlyphSlot slot = face->glyph;
    if (ownStyle && sized.Choice->Oblique)
        FT_GlyphSlot_Oblique(slot);
    if (ownStyle && sized.Choice->Embolden)
        FT_GlyphSlot_Embolden(slot);
    if (render && slot->format != FT_GLYPH_FORMAT_BITMAP &&
        FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return nullptr;
    return slot;
}

int Advance(FT_GlyphSlot slot) { return int((slot->advance.x + 32) >> 6); }

// The width of a line's character cells: the sum of its glyphs' advances.
int64_t CellsWidth(const SizedFace& sized, const std::vector<char32_t>& codePoints)
{
    int64_t width = 0;
    for (char32_t cp : codePoints)
        if (const FT_GlyphSlot slot = LoadGlyph(sized, cp, false))
            width += Advance(slot);
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

// The ring round a line's glyphs: each pixel of the coverage map (the line drawn white on
// black) takes the strongest coverage within r pixels of it, softened over the last half
// pixel so that its edge is as smooth as the glyphs'. One byte per pixel, row by row.
std::vector<uint8_t> RingOf(const Picture& coverage, int r)
{
    const int width = coverage.Width(), height = coverage.Height();
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
    return ring;
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
        const FT_GlyphSlot slot = LoadGlyph(sized, cp, true);
        if (!slot)
            continue;
        BlendGlyph(picture, slot->bitmap, int(pen) + slot->bitmap_left, baseline - slot->bitmap_top,
                   textColor);
        pen += Advance(slot);
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
        const FT_GlyphSlot slot = LoadGlyph(sized, cp, true);
        if (!slot)
            continue;
        const int64_t gl = pen + slot->bitmap_left, gt = baseline - slot->bitmap_top;
        add(gl, gt, gl + slot->bitmap.width, gt + slot->bitmap.rows);
        pen += Advance(slot);
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

    const std::vector<uint8_t> ring = RingOf(coverage, reach - 1);

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

int TextShadowReach(int blur) { return 2 * std::max(0, blur); }

void DrawTextShadow(Picture& picture, int x, int y, std::string_view text, const TFont& font, int outlineWidth,
                    TColor color, int offset, int blur, int strength)
{
    if (text.empty())
        return;
    // The shadow at a pixel is the softened coverage `offset` pixels up and left of it, and
    // the softening reads `spread` pixels round that: the coverage is made over the part
    // of the ink those reads can reach, so a piece of a picture gets what the whole gets.
    const int ring = outlineWidth > 0 ? outlineWidth + 1 : 0;
    const int spread = TextShadowReach(blur);
    const int reach = ring + spread;
    const PixelBox ink = TextLineBox(x, y, text, font, false);
    const int64_t left = std::max<int64_t>(int64_t(ink.Left) - ring, -int64_t(offset) - reach);
    const int64_t top = std::max<int64_t>(int64_t(ink.Top) - ring, -int64_t(offset) - reach);
    const int64_t right =
        std::min<int64_t>(int64_t(ink.Right) + ring, int64_t(picture.Width()) - offset + reach);
    const int64_t bottom =
        std::min<int64_t>(int64_t(ink.Bottom) + ring, int64_t(picture.Height()) - offset + reach);
    if (ink.Empty() || right <= left || bottom <= top)
        return;
    // The mask spreads `spread` pixels past the coverage on each side.
    const int cw = int(right - left), ch = int(bottom - top);
    Picture coverage = Picture::Uninitialized(cw, ch);
    coverage.Fill(clBlack);
    DrawTextLine(coverage, int(x - left), int(y - top), text, font, clWhite, clBlack, false);
    std::vector<uint8_t> shape;
    if (outlineWidth > 0) {
        shape = RingOf(coverage, outlineWidth);  // the ring holds the glyphs within it
    } else {
        shape.resize(size_t(cw) * size_t(ch));
        for (int my = 0; my < ch; ++my)
            for (int mx = 0; mx < cw; ++mx)
                shape[size_t(my) * size_t(cw) + size_t(mx)] = coverage.Row(my)[size_t(mx) * 3];
    }
    const int mw = cw + 2 * spread, mh = ch + 2 * spread;
    std::vector<int> mask(size_t(mw) * size_t(mh), 0);
    for (int my = 0; my < ch; ++my)
        for (int mx = 0; mx < cw; ++mx)
            mask[size_t(my + spread) * size_t(mw) + size_t(mx + spread)] = shape[size_t(my) * size_t(cw) + size_t(mx)];
    // Two passes of a box of 2·blur + 1 pixels along each axis: close to a Gaussian.
    if (blur > 0) {
        const int n = 2 * blur + 1;
        std::vector<int> line;
        auto pass = [&](int count, int length, size_t step, size_t lineStep) {
            line.resize(size_t(length));
            for (int k = 0; k < count; ++k) {
                int* base = mask.data() + size_t(k) * lineStep;
                for (int i = 0; i < length; ++i)
                    line[size_t(i)] = base[size_t(i) * step];
                int sum = 0;
                for (int i = -blur; i < blur; ++i)
                    sum += i >= 0 && i < length ? line[size_t(i)] : 0;
                for (int i = 0; i < length; ++i) {
                    sum += i + blur < length ? line[size_t(i + blur)] : 0;
                    base[size_t(i) * step] = (sum + n / 2) / n;
                    sum -= i - blur >= 0 ? line[size_t(i - blur)] : 0;
                }
            }
        };
        for (int round = 0; round < 2; ++round) {
            pass(mh, mw, 1, size_t(mw));
            pass(mw, mh, size_t(mw), 1);
        }
    }
    const int64_t maskLeft = left - spread + offset, maskTop = top - spread + offset;
    for (int my = 0; my < mh; ++my) {
        const int64_t py = maskTop + my;
        if (py < 0 || py >= picture.Height())
            continue;
        uint8_t* dst = picture.Row(int(py));
        for (int mx = 0; mx < mw; ++mx) {
            const int64_t px = maskLeft + mx;
            if (px < 0 || px >= picture.Width())
                continue;
            BlendPixel(dst + size_t(px) * 3, color, (mask[size_t(my) * size_t(mw) + size_t(mx)] * strength + 127) / 255);
        }
    }
}

}  // namespace morvik
