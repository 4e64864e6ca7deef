#pragma once
// The window's records of the stamp: the switches and values the window (or the command
// line) keeps for stamping one picture and for the folder batch. Two records make them up:
//  - StampSettings, the switches the window keeps beside its controls;
//  - StampControls, the values that live in the window's controls and dialogs: the
//    stamp's look (font, colours, fill style, position), the texts, quality, naming mask,
//    ticks, correction and preset.
// They hold each start value once. The batch never reads them: it takes a StampRequest
// made from them by RequestFromControls, asked for afresh at each file's turn, so a change
// takes effect at the next file.
// The window (or the command line) owns one of each for the length of a run; nothing is
// kept between runs. The operations below change the records and report what the window
// has to mirror; they touch no widget themselves.
#include "platform/Translatable.h"
#include "stamping/StampRequest.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace morvik {

// Labels of the date-source list, by index.
inline constexpr std::array<std::string_view, 5> DateSourceLabels = {
    QT_TRANSLATE_NOOP("StampLabels", "Изменения"), QT_TRANSLATE_NOOP("StampLabels", "Date Time Original"),
    QT_TRANSLATE_NOOP("StampLabels", "Date Time Digitized"), QT_TRANSLATE_NOOP("StampLabels", "Имя файла"),
    QT_TRANSLATE_NOOP("StampLabels", "Авто")};

struct StampSettings {
    bool DateMode = true;          // stamp the date (true) or the own text (false): the date tick
    PhotoDateSource DateSource = PhotoDateSource::DateTimeOriginal;  // the entry chosen in the date-source list
};

// The settings a run starts from: date mode, date source 1.
StampSettings InitialStampSettings();

inline constexpr std::string_view DefaultNamingMask = "yy.mm.dd  hh_nn_ss";  // two blanks

// The anchors in the order the window lists them, with the command line's name of each.
struct StampAnchorName {
    StampAnchor Anchor;
    std::string_view Key;    // --anchor
    std::string_view Label;  // the window's list
};
inline constexpr std::array<StampAnchorName, 5> StampAnchorNames = {{
    {StampAnchor::TopLeft, "top-left", QT_TRANSLATE_NOOP("StampLabels", "Слева сверху")},
    {StampAnchor::TopRight, "top-right", QT_TRANSLATE_NOOP("StampLabels", "Справа сверху")},
    {StampAnchor::BottomLeft, "bottom-left", QT_TRANSLATE_NOOP("StampLabels", "Слева снизу")},
    {StampAnchor::BottomRight, "bottom-right", QT_TRANSLATE_NOOP("StampLabels", "Справа снизу")},
    {StampAnchor::BottomCentre, "bottom-centre", QT_TRANSLATE_NOOP("StampLabels", "Снизу по центру")},
}};

// The values held by the window's controls.
struct StampControls {
    StampLook Look;
    std::string OwnText;                               // the user's text, stamped while !DateMode
    std::string StampDateText;                         // the photo's date shown, with StampDateMask
    // The mask the stamped date is written with ("Формат даты:"), in the date mask language.
    std::string DateFormat = std::string(StampDateMask);
    int Quality = 80;                                  // JPEG quality of the output, 0..100
    std::string NamingMask = std::string(DefaultNamingMask);  // the outputs' names, a date mask
    bool RenameTicked = true;                          // outputs named by the naming mask
    bool ExifCarryOver = true;                         // the source's metadata carried over
    // The folder batch stamps a baseline JPEG by coding only the MCUs under the stamp again
    // (every other block kept bit for bit); the action "Без перекодирования".
    bool Lossless = false;
    bool CorrectionOn = false;                         // the date correction applied
    int CorrectionDirection = 0;                       // 0 adds the correction ("+"), else subtracts it
    std::string CorrectionText = "00:00:00";           // the correction, hh:nn:ss
    int PresetIndex = 1;                               // index in the preset list, "Для Хранения"
};

// The request the records make: the look, the date rule (the effective date format), the
// naming (the effective naming mask), the output and the lossless tick. The window and the
// command line make their requests here alone, so the two cannot drift apart.
StampRequest RequestFromControls(const StampSettings& settings, const StampControls& controls);

// A spin edit's text as a position: a whole number, else 0.
int PositionFromText(std::string_view text);

// The quality label's text: the decimal quality followed by " %" ("65 %").
std::string QualityLabelText(int quality);


// The naming mask in use: an empty mask stands for the default one.
std::string EffectiveNamingMask(const StampControls& controls);

// The date format in use: an empty one stands for the start mask, so that a cleared
// "Формат даты:" still stamps the date instead of nothing.
std::string_view EffectiveDateFormat(const StampControls& controls);

// switch date / own text: inverts DateMode.
void SwitchDateMode(StampSettings& settings);
// switch transparent background: the look's background turns cross-hatched while it was
// solid, solid otherwise.
void SwitchTransparent(StampLook& look);

// Which controls are enabled, as the settings decide outside a folder batch.
struct StampControlStates {
    bool OwnTextEnabled = false;          // the own text: exactly when !DateMode
    bool DatePickersEnabled = false;      // the date and time pickers: exactly when DateMode
    bool BackgroundColorEnabled = false;  // the background colour ("Цвет Фона"): exactly when !Transparent
    bool NamingMaskEnabled = false;       // the naming mask: exactly when the rename tick is set
    bool CorrectionEnabled = false;       // the correction's direction and time: follow CorrectionOn
    bool PositionEnabled = false;         // the X and Y offsets: exactly when the margin is in pixels
    bool SizePercentEnabled = false;      // the size's percent: exactly when the size is relative
    bool MarginPercentEnabled = false;    // the margin's percent: exactly when the margin is relative
};
StampControlStates ControlStates(const StampSettings& settings, const StampControls& controls);

// The look a preset gives the stamp: where it lies, its size, its colours. The font's face
// and style, the background colour and the pixel offsets stay the user's.
struct StampPresetLook {
    StampAnchor Anchor;
    double SizePercent;    // of the shorter side
    double MarginPercent;  // of the shorter side
    TColor TextColor;
    std::optional<TColor> OutlineColor;  // unset: no outline
    bool Transparent;
    std::string_view FontName = {};      // empty: the user's face and style stay
    std::string_view DateFormat = StampDateMask;
    std::optional<StampShadow> Shadow = std::nullopt;
};

// The presets of the preset list. The first three set the controls of the batch and leave the
// stamp's look as it is; the album and film presets also set the look.
struct StampPreset {
    std::string_view Name;
    int Quality;
    PhotoDateSource DateSource;
    bool DateTicked;
    bool RenameTicked;
    bool ExifCarryOver;
    std::string_view NamingMask;
    std::optional<StampPresetLook> Look;
};
// The film camera's seven-segment face (Debian's fonts-dseg).
inline constexpr std::string_view FilmFontName = "DSEG7 Classic";
inline constexpr std::array<StampPreset, 5> StampPresets = {{
    {QT_TRANSLATE_NOOP("StampLabels", "Стандартные"), 75, PhotoDateSource::DateTime, true, true, true,
     DefaultNamingMask, std::nullopt},
    {QT_TRANSLATE_NOOP("StampLabels", "Для Хранения"), 80, PhotoDateSource::DateTimeOriginal, true, true, true, DefaultNamingMask,
     std::nullopt},
    {QT_TRANSLATE_NOOP("StampLabels", "Для Интернета"), 65, PhotoDateSource::DateTimeOriginal, true, true, false, "yymmdd_hh_nn_ss",
     std::nullopt},
    {QT_TRANSLATE_NOOP("StampLabels", "Для фотоальбома"), 92, PhotoDateSource::Auto, true, true, true, DefaultNamingMask,
     StampPresetLook{StampAnchor::BottomRight, 3, 2, RgbColor(0xFF, 0x8C, 0x00), RgbColor(0x20, 0x20, 0x20), true}},
    {QT_TRANSLATE_NOOP("StampLabels", "Плёночный"), 92, PhotoDateSource::Auto, true, true, true, DefaultNamingMask,
     StampPresetLook{StampAnchor::BottomRight, 3.5, 3, RgbColor(0xFF, 0x6A, 0x1E), std::nullopt, true, FilmFontName,
                     "\"'\"yy mm dd", StampShadow{RgbColor(0xFF, 0x6A, 0x1E), true}}},
}};

// What applying a preset changed, so that the window can mirror it. A flag is set only
// when the value really changed: setting a control to the value it has does nothing.
struct PresetFollowUps {
    bool Applied = false;             // the index named a preset
    bool QualityChanged = false;      // the quality moved; its label follows (QualityLabelText)
    bool DateSourceChanged = false;   // the date source's selection and DateSource changed
    bool DateModeChanged = false;     // the date tick set: DateMode on, own text off, pickers on
    bool OwnTextCleared = false;      // the own text emptied
    bool RenameChanged = false;       // the rename tick set: the naming mask enabled
    bool ExifChanged = false;         // the metadata carry-over set or cleared
    bool NamingMaskChanged = false;   // the naming mask rewritten
    bool LookChanged = false;         // anchor, size, margin or outline controls rewritten
    bool TransparentChanged = false;  // the transparency switched: the fill style and the background colour follow
    bool DateFormatChanged = false;   // the date format rewritten
    bool FontMissing = false;         // the preset's face is not installed: the default face is used
};

// apply preset: for a preset's index sets, in this order, the quality, the date source,
// the date tick, the own text, the rename tick, the EXIF tick, the naming mask and, for a
// preset with a look, the stamp's anchor, size, margin, colours, outline, shadow, face,
// date format and transparency,
// each with the follow-up of a user's change. Any other index (-1: the list's text edited)
// changes nothing else. PresetIndex always takes the index, as the preset list shows it.
PresetFollowUps ApplyPreset(int index, StampControls& controls, StampSettings& settings);

}  // namespace morvik
