#pragma once
// What one stamped file is made by: the stamp's look, the rule that gives its text (the
// photo's date or the own text), how the output is named, how it is written, and whether
// it is stamped losslessly. The folder batch, its steps and the caption read this record
// and nothing of the window's.
//
// A request holds no start values of its own beyond the look's: the window and the command
// line make it from their records (RequestFromControls in StampSettings.h), which hold each
// start value once. Its other fields start empty, zero or off.
#include "stamping/Picture.h"  // TColor, TFont, TBrushStyle

#include <optional>
#include <string>
#include <string_view>

namespace morvik {

// What dates a photo: the entry of the date-source list, whose index is the value.
enum class PhotoDateSource : int {
    Fallback = -1,          // no entry selected (the list's text edited): the fallback date
    DateTime = 0,           // "Изменения"
    DateTimeOriginal = 1,   // "Date Time Original"
    DateTimeDigitized = 2,  // "Date Time Digitized"
    FileName = 3,           // "Имя файла": the date in the file's name
    Auto = 4,               // "Авто": the first valid of the EXIF dates, the name, the file's time
};

// The mask a photo's date is shown with beside the stamp, and the date format's start value.
inline constexpr std::string_view StampDateMask = "dd.mm.yyyy hh:nn:ss";

// The corner of the photo, as it is displayed, that the stamp's offset counts from.
enum class StampAnchor { TopLeft, TopRight, BottomLeft, BottomRight, BottomCentre };

// A shadow under the glyphs: offset down and right by a sixteenth of the line height, or
// as a glow, spread further round the glyphs without an offset.
struct StampShadow {
    TColor Color = clBlack;
    bool Glow = false;

    bool operator==(const StampShadow&) const = default;
};

// How the stamp looks and where it lies: the one record that the single-picture stamp,
// the folder batch and the command line draw with. The font's own colour is not part of
// it: the text colour replaces it at each use.
//
// The stamp lies on the photo as a viewer displays it (its EXIF Orientation honoured) and
// is drawn upright there: at the start values its cells' top-left at (X, Y) of the
// displayed photo, the font at its own height.
struct StampLook {
    TFont Font;                                        // the face, style and height chosen
    TColor TextColor = RgbColor(128, 128, 255);        // the text's colour
    TColor BackgroundColor = clWhite;                  // the colour behind the text
    TBrushStyle BackgroundStyle = TBrushStyle::Solid;  // Cross: transparent, no fill behind the glyphs
    // The offset of the cells from the anchor's sides, inwards, in picture pixels; may be
    // < 0. For the top-left anchor the cells' left and top. Bottom-centre centres the
    // cells, the free width halved and rounded down (towards minus infinity when the text
    // is wider than the photo), then moves them X pixels to the right; each line of the
    // block is centred in it by the same rounding.
    int X = 0;                                         // horizontal offset
    int Y = 0;                                         // vertical offset
    StampAnchor Anchor = StampAnchor::TopLeft;
    // The size: the font's own character height in pixels, or the cells' height in percent
    // of the photo's shorter side (the font scaled to it, face and style kept).
    bool RelativeSize = false;
    double SizePercent = 3;
    // The offset from the anchor's sides given on both axes in percent of the shorter side,
    // in place of X and Y (bottom-centre stays centred).
    bool RelativeMargin = false;
    double MarginPercent = 2;
    // A ring round the glyphs, its width growing with the cells' height.
    bool Outline = false;
    std::optional<TColor> OutlineColor;                // unset: black or white, against the text colour
    // A soft shadow under the glyphs (and the ring), so that a transparent stamp reads on
    // any ground; none when unset.
    std::optional<StampShadow> Shadow;
    // The text white or black (the outline the opposite) by the lightness of the photo
    // under the stamp, measured on each photo before it is stamped; TextColor is not used.
    bool AutoColor = false;

    bool operator==(const StampLook&) const = default;
};

// The outline's colour: the one chosen, else black for a light text and white for a dark one.
TColor OutlineColorOf(const StampLook& look);
// A transparent stamp: no fill behind the glyphs (the look's background cross-hatched).
bool IsTransparent(const StampLook& look);

// A fixed shift of the photo's date for a camera whose clock was wrong (TimeCorrection.h).
struct DateCorrection {
    bool On{};         // applied at all
    int Direction{};   // 0 adds the shift ("+"), any other value subtracts it
    std::string Text;  // the shift, hh:nn:ss
};

// What the stamp says: the photo's date, or the own text with the photo's facts filled in
// (Caption.h).
struct StampDateRule {
    bool DateMode{};                  // the date (true) or the own text (false)
    PhotoDateSource DateSource{};     // what dates the photo
    DateCorrection Correction;        // names the outputs and sets their time; never stamped
    std::string Format;               // the mask the stamped date is written with (made from the records: never empty)
    std::string OwnText;              // stamped while !DateMode
};

// How the outputs are named.
struct StampNaming {
    bool ByMask{};     // named by the mask (else after their sources)
    std::string Mask;  // a date mask (made from the records: never empty)
};

// How the output is written.
struct StampOutput {
    int Quality{};         // JPEG quality of an encoded output, 0..100
    bool ExifCarryOver{};  // the source's metadata carried over
};

struct StampRequest {
    StampLook Look;
    StampDateRule Date;
    StampNaming Naming;
    StampOutput Output;
    // A baseline JPEG is stamped by coding only the MCUs under the stamp again, every
    // other block kept bit for bit.
    bool Lossless{};
};

}  // namespace morvik
