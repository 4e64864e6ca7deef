#include "pattern/PatternPdf.h"

#include "platform/FileSystem.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace morvik {

namespace {

constexpr double kCell = 8.0;  // points per stitch on the chart: 2.8 mm
constexpr double kMargin = 36.0;
constexpr char kFace[] = "DejaVu Sans";

struct PaperPoints {
    double Width, Height;
};
PaperPoints Points(PaperSize paper) { return paper == PaperSize::A4 ? PaperPoints{595.28, 841.89} : PaperPoints{612, 792}; }

cairo_status_t AppendTo(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// cairo keeps its first failure in the surface; it is checked once at the end.
void CheckStatus(cairo_status_t status, const char* what)
{
    if (status != CAIRO_STATUS_SUCCESS)
        throw EInOutError(std::string(what) + ": " + cairo_status_to_string(status));
}

// The picture as a cairo image, to paint scaled.
Surface ImageOf(const Picture& picture)
{
    Surface s(cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(1, picture.Width()), std::max(1, picture.Height())),
              &cairo_surface_destroy);
    CheckStatus(cairo_surface_status(s.get()), "cairo");
    cairo_surface_flush(s.get());
    unsigned char* data = cairo_image_surface_get_data(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    for (int y = 0; y < picture.Height(); ++y) {
        const uint8_t* from = picture.Row(y);
        auto* to = reinterpret_cast<uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < picture.Width(); ++x, from += 3)
            to[x] = uint32_t(from[0]) << 16 | uint32_t(from[1]) << 8 | from[2];
    }
    cairo_surface_mark_dirty(s.get());
    return s;
}

void Text(cairo_t* cr, double x, double y, const std::string& text, double size, bool bold = false)
{
    cairo_select_font_face(cr, kFace, CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

// Text centred on x.
void CentredText(cairo_t* cr, double x, double y, const std::string& text, double size)
{
    cairo_select_font_face(cr, kFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    cairo_move_to(cr, x - e.x_advance / 2, y);
    cairo_show_text(cr, text.c_str());
}

std::string Format(const char* format, double a, double b)
{
    char text[100];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string FinishedSize(const Pattern& p)
{
    return Format("%.1f × %.1f см", FinishedCm(p.Width, p.Fabric), FinishedCm(p.Height, p.Fabric)) + " на канве Aida " +
           std::to_string(p.Fabric);
}

void Cover(cairo_t* cr, const Pattern& pattern, PaperPoints page, const std::string& title)
{
    cairo_set_source_rgb(cr, 0, 0, 0);
    Text(cr, kMargin, kMargin + 18, title, 18, true);
    Text(cr, kMargin, kMargin + 42,
         std::to_string(pattern.Width) + " × " + std::to_string(pattern.Height) + " крестиков, " +
             std::to_string(pattern.Threads.size()) + " цветов мулине " + pattern.SchemeTitle,
         11);
    Text(cr, kMargin, kMargin + 58, "Готовый размер " + FinishedSize(pattern), 11);
    const double top = kMargin + 76;
    const double boxWidth = page.Width - 2 * kMargin, boxHeight = page.Height - top - kMargin;
    const double scale = std::min(boxWidth / pattern.Width, boxHeight / pattern.Height);
    const Surface image = ImageOf(PatternPreview(pattern, 1));
    cairo_save(cr);
    cairo_translate(cr, kMargin, top);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, image.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, 0, 0, pattern.Width, pattern.Height);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_show_page(cr);
}

// Symbol glyphs, made once: a chart page shows all its symbols in one call.
struct SymbolGlyphs {
    std::vector<std::vector<cairo_glyph_t>> Glyphs;  // per thread, placed around (0, 0)
};

SymbolGlyphs MakeSymbols(cairo_t* cr, size_t count, double size)
{
    SymbolGlyphs out;
    cairo_select_font_face(cr, kFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_scaled_font_t* font = cairo_get_scaled_font(cr);
    for (size_t i = 0; i < count; ++i) {
        const std::string text(PatternSymbol(int(i)));
        cairo_text_extents_t e;
        cairo_scaled_font_text_extents(font, text.c_str(), &e);
        cairo_glyph_t* glyphs = nullptr;
        int n = 0;
        cairo_scaled_font_text_to_glyphs(font, -e.x_bearing - e.width / 2, -e.y_bearing - e.height / 2, text.c_str(),
                                         int(text.size()), &glyphs, &n, nullptr, nullptr, nullptr);
        out.Glyphs.emplace_back(glyphs, glyphs + n);
        cairo_glyph_free(glyphs);
    }
    return out;
}

void Legend(cairo_t* cr, const Pattern& pattern, PaperPoints page)
{
    const std::vector<LegendRow> rows = PatternLegend(pattern);
    constexpr double kRow = 18;
    const double columns[] = {kMargin, kMargin + 48, kMargin + 100, kMargin + 300, kMargin + 340, kMargin + 390,
                              kMargin + 460};
    const char* heads[] = {"Символ", "Номер", "Название", "Цвет", "Нити", "Крестиков", "Мотков"};
    const SymbolGlyphs symbols = MakeSymbols(cr, rows.size(), 10);
    size_t next = 0;
    int sheet = 0;
    int64_t total = 0;
    int skeins = 0;
    for (const LegendRow& r : rows) {
        total += r.Stitches;
        skeins += r.Skeins;
    }
    do {
        cairo_set_source_rgb(cr, 0, 0, 0);
        double y = kMargin + 16;
        Text(cr, kMargin, y, sheet == 0 ? "Ключ: мулине " + pattern.SchemeTitle : "Ключ (продолжение)", 14, true);
        y += 24;
        for (int c = 0; c < 7; ++c)
            Text(cr, columns[c], y, heads[c], 8, true);
        y += 6;
        while (next < rows.size() && y + kRow < page.Height - kMargin - 30) {
            const LegendRow& r = rows[next++];
            const Thread& t = pattern.Threads[r.Index];
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_set_line_width(cr, 0.5);
            cairo_rectangle(cr, columns[0] + 4, y + 2, kRow - 4, kRow - 4);
            cairo_stroke(cr);
            cairo_save(cr);
            cairo_translate(cr, columns[0] + 4 + (kRow - 4) / 2, y + 2 + (kRow - 4) / 2);
            cairo_select_font_face(cr, kFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
            cairo_set_font_size(cr, 10);
            cairo_show_glyphs(cr, symbols.Glyphs[r.Index].data(), int(symbols.Glyphs[r.Index].size()));
            cairo_restore(cr);
            const double base = y + kRow - 5;
            Text(cr, columns[1], base, t.Number, 10, true);
            Text(cr, columns[2], base, t.Name, 9);
            cairo_set_source_rgb(cr, t.Red / 255.0, t.Green / 255.0, t.Blue / 255.0);
            cairo_rectangle(cr, columns[3], y + 2, 30, kRow - 4);
            cairo_fill_preserve(cr);
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_stroke(cr);
            Text(cr, columns[4] + 8, base, std::to_string(pattern.Strands), 10);
            Text(cr, columns[5], base, std::to_string(r.Stitches), 10);
            Text(cr, columns[6] + 12, base, std::to_string(r.Skeins), 10);
            y += kRow;
        }
        if (next == rows.size()) {
            y += 14;
            Text(cr, columns[2], y, "Всего", 10, true);
            Text(cr, columns[5], y, std::to_string(total), 10, true);
            Text(cr, columns[6] + 12, y, std::to_string(skeins), 10, true);
            y += 22;
            Text(cr, kMargin, y,
                 "Моток: 8 м в 6 нитей; крестик в " + std::to_string(pattern.Strands) + " нити на канве Aida " +
                     std::to_string(pattern.Fabric) + ", с запасом в половину на закрепки и переходы.",
                 8);
            Text(cr, kMargin, y + 12, "Готовый размер " + FinishedSize(pattern) + ".", 8);
        }
        cairo_show_page(cr);
        ++sheet;
    } while (next < rows.size());
}

void Arrow(cairo_t* cr, double x, double y, double dx, double dy)
{
    // A filled triangle pointing along (dx, dy) with its tip at (x, y).
    const double length = 7, half = 4;
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x - dx * length - dy * half, y - dy * length + dx * half);
    cairo_line_to(cr, x - dx * length + dy * half, y - dy * length - dx * half);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void ChartPage(cairo_t* cr, const Pattern& pattern, const SymbolGlyphs& symbols, int left, int top, int sheet,
               int sheets)
{
    const int columns = std::min(kPageColumns, pattern.Width - left);
    const int rows = std::min(kPageRows, pattern.Height - top);
    const double x0 = kMargin + 24, y0 = kMargin + 40;
    const double w = columns * kCell, h = rows * kCell;
    cairo_set_source_rgb(cr, 0, 0, 0);
    Text(cr, kMargin, kMargin + 10,
         "Схема, лист " + std::to_string(sheet) + " из " + std::to_string(sheets) + ": столбцы " +
             std::to_string(left + 1) + "–" + std::to_string(left + columns) + ", ряды " + std::to_string(top + 1) +
             "–" + std::to_string(top + rows),
         9);

    // The stitches repeated from the page before, shaded.
    cairo_set_source_rgb(cr, 0.85, 0.85, 0.85);
    if (left > 0)
        cairo_rectangle(cr, x0, y0, kPageOverlap * kCell, h);
    if (top > 0)
        cairo_rectangle(cr, x0, y0, w, kPageOverlap * kCell);
    cairo_fill(cr);

    std::vector<cairo_glyph_t> glyphs;
    glyphs.reserve(size_t(columns) * rows);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const double cx = x0 + (x + 0.5) * kCell, cy = y0 + (y + 0.5) * kCell;
            for (cairo_glyph_t g : symbols.Glyphs[pattern.At(left + x, top + y)]) {
                g.x += cx;
                g.y += cy;
                glyphs.push_back(g);
            }
        }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_select_font_face(cr, kFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kCell * 0.78);
    cairo_show_glyphs(cr, glyphs.data(), int(glyphs.size()));

    // Thin lines between stitches, then the bold tens on top of them.
    cairo_set_line_width(cr, 0.25);
    for (int x = 0; x <= columns; ++x)
        if ((left + x) % 10 != 0) {
            cairo_move_to(cr, x0 + x * kCell, y0);
            cairo_line_to(cr, x0 + x * kCell, y0 + h);
        }
    for (int y = 0; y <= rows; ++y)
        if ((top + y) % 10 != 0) {
            cairo_move_to(cr, x0, y0 + y * kCell);
            cairo_line_to(cr, x0 + w, y0 + y * kCell);
        }
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.2);
    for (int x = 0; x <= columns; ++x)
        if ((left + x) % 10 == 0 || left + x == pattern.Width) {
            cairo_move_to(cr, x0 + x * kCell, y0);
            cairo_line_to(cr, x0 + x * kCell, y0 + h);
            if ((left + x) % 10 == 0 && left + x > 0)
                CentredText(cr, x0 + x * kCell, y0 - 12, std::to_string(left + x), 6.5);
        }
    for (int y = 0; y <= rows; ++y)
        if ((top + y) % 10 == 0 || top + y == pattern.Height) {
            cairo_move_to(cr, x0, y0 + y * kCell);
            cairo_line_to(cr, x0 + w, y0 + y * kCell);
            if ((top + y) % 10 == 0 && top + y > 0) {
                const std::string n = std::to_string(top + y);
                cairo_text_extents_t e;
                cairo_text_extents(cr, n.c_str(), &e);
                Text(cr, x0 - 3 - e.x_advance, y0 + y * kCell + 2.3, n, 6.5);
            }
        }
    cairo_stroke(cr);

    // The centre of the pattern: arrows outside the grid on all four sides.
    const double centreX = pattern.Width / 2.0 - left, centreY = pattern.Height / 2.0 - top;
    if (centreX >= 0 && centreX <= columns) {
        Arrow(cr, x0 + centreX * kCell, y0 - 2, 0, 1);
        Arrow(cr, x0 + centreX * kCell, y0 + h + 2, 0, -1);
    }
    if (centreY >= 0 && centreY <= rows) {
        Arrow(cr, x0 - 16, y0 + centreY * kCell, 1, 0);
        Arrow(cr, x0 + w + 2 + 7, y0 + centreY * kCell, -1, 0);
    }
    cairo_show_page(cr);
}

}  // namespace

std::vector<int> ChartPageStarts(int stitches, int perPage)
{
    std::vector<int> starts{0};
    while (starts.back() + perPage < stitches)
        starts.push_back(starts.back() + perPage - kPageOverlap);
    return starts;
}

std::string RenderPatternPdf(const Pattern& pattern, PaperSize paper, const std::string& title)
{
    std::string bytes;
    const PaperPoints page = Points(paper);
    {
        Surface surface(cairo_pdf_surface_create_for_stream(&AppendTo, &bytes, page.Width, page.Height),
                        &cairo_surface_destroy);
        cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE, title.c_str());
        cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "Morvik");
        Context cr(cairo_create(surface.get()), &cairo_destroy);
        Cover(cr.get(), pattern, page, title);
        Legend(cr.get(), pattern, page);
        const SymbolGlyphs symbols = MakeSymbols(cr.get(), pattern.Threads.size(), kCell * 0.78);
        const std::vector<int> lefts = ChartPageStarts(pattern.Width, kPageColumns);
        const std::vector<int> tops = ChartPageStarts(pattern.Height, kPageRows);
        const int sheets = int(lefts.size() * tops.size());
        int sheet = 0;
        for (int top : tops)
            for (int left : lefts)
                ChartPage(cr.get(), pattern, symbols, left, top, ++sheet, sheets);
        CheckStatus(cairo_status(cr.get()), "PDF");
        cairo_surface_finish(surface.get());
        CheckStatus(cairo_surface_status(surface.get()), "PDF");
    }
    return bytes;
}

void WritePatternPdf(const Pattern& pattern, PaperSize paper, const std::string& title, const std::string& path)
{
    const std::string bytes = RenderPatternPdf(pattern, paper, title);
    WriteFileReplacing(path, bytes);
}

std::string EncodePng(const Picture& picture)
{
    std::string bytes;
    const Surface image = ImageOf(picture);
    CheckStatus(cairo_surface_write_to_png_stream(image.get(), &AppendTo, &bytes), "PNG");
    return bytes;
}

}  // namespace morvik
