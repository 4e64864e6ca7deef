#include "stamping/StampSettings.h"

#include "platform/Convert.h"
#include "stamping/TextDraw.h"  // ResolvedFontFamily

namespace morvik {

StampSettings InitialStampSettings()
{
    StampSettings settings;
    settings.DateMode = true;
    settings.DateSource = PhotoDateSource::DateTimeOriginal;
    return settings;
}

StampRequest RequestFromControls(const StampSettings& settings, const StampControls& controls)
{
    StampRequest request;
    request.Look = controls.Look;
    request.Date.DateMode = settings.DateMode;
    request.Date.DateSource = settings.DateSource;
    request.Date.Correction = {controls.CorrectionOn, controls.CorrectionDirection, controls.CorrectionText};
    request.Date.Format = std::string(EffectiveDateFormat(controls));
    request.Date.OwnText = controls.OwnText;
    request.Naming.ByMask = controls.RenameTicked;
    request.Naming.Mask = EffectiveNamingMask(controls);
    request.Output.Quality = controls.Quality;
    request.Output.ExifCarryOver = controls.ExifCarryOver;
    request.Lossless = controls.Lossless;
    return request;
}

int PositionFromText(std::string_view text) { return TryStrToInt(text).value_or(0); }

std::string QualityLabelText(int quality) { return std::to_string(quality) + " %"; }

std::string EffectiveNamingMask(const StampControls& controls)
{
    return controls.NamingMask.empty() ? std::string(DefaultNamingMask) : controls.NamingMask;
}

std::string_view EffectiveDateFormat(const StampControls& controls)
{
    return controls.DateFormat.empty() ? StampDateMask : std::string_view(controls.DateFormat);
}

void SwitchDateMode(StampSettings& settings) { settings.DateMode = !settings.DateMode; }

void SwitchTransparent(StampLook& look)
{
    look.BackgroundStyle = IsTransparent(look) ? TBrushStyle::Solid : TBrushStyle::Cross;
}

StampControlStates ControlStates(const StampSettings& settings, const StampControls& controls)
{
    StampControlStates states;
    states.OwnTextEnabled = !settings.DateMode;
    states.DatePickersEnabled = settings.DateMode;
    states.BackgroundColorEnabled = !IsTransparent(controls.Look);
    states.NamingMaskEnabled = controls.RenameTicked;
    states.CorrectionEnabled = controls.CorrectionOn;
    states.PositionEnabled = !controls.Look.RelativeMargin;
    states.SizePercentEnabled = controls.Look.RelativeSize;
    states.MarginPercentEnabled = controls.Look.RelativeMargin;
    return states;
}

PresetFollowUps ApplyPreset(int index, StampControls& controls, StampSettings& settings)
{
    PresetFollowUps done;
    controls.PresetIndex = index;  // what the preset list shows, even when no preset has that index
    if (index < 0 || index >= static_cast<int>(StampPresets.size()))
        return done;
    const StampPreset& preset = StampPresets[static_cast<size_t>(index)];
    done.Applied = true;

    if (controls.Quality != preset.Quality) {
        controls.Quality = preset.Quality;
        done.QualityChanged = true;
    }
    if (settings.DateSource != preset.DateSource) {
        settings.DateSource = preset.DateSource;
        done.DateSourceChanged = true;
    }
    // The date tick is DateMode: changing it is the user's click on the tick.
    if (settings.DateMode != preset.DateTicked) {
        SwitchDateMode(settings);
        done.DateModeChanged = true;
    }
    if (!controls.OwnText.empty()) {
        controls.OwnText.clear();
        done.OwnTextCleared = true;
    }
    if (controls.RenameTicked != preset.RenameTicked) {
        controls.RenameTicked = preset.RenameTicked;
        done.RenameChanged = true;
    }
    if (controls.ExifCarryOver != preset.ExifCarryOver) {
        controls.ExifCarryOver = preset.ExifCarryOver;
        done.ExifChanged = true;
    }
    if (controls.NamingMask != preset.NamingMask) {
        controls.NamingMask = std::string(preset.NamingMask);
        done.NamingMaskChanged = true;
    }
    if (preset.Look) {
        const StampPresetLook& given = *preset.Look;
        StampLook& look = controls.Look;
        const StampLook before = look;
        look.Anchor = given.Anchor;
        look.RelativeSize = true;
        look.SizePercent = given.SizePercent;
        look.RelativeMargin = true;
        look.MarginPercent = given.MarginPercent;
        look.TextColor = given.TextColor;
        look.AutoColor = false;
        look.Outline = given.OutlineColor.has_value();
        look.OutlineColor = given.OutlineColor;
        look.Shadow = given.Shadow;
        if (!given.FontName.empty()) {
            // The face and its plain style; a face that is not installed falls back to the
            // default one, and the window or the command line says so.
            const TFont start;
            look.Font.Name = std::string(given.FontName);
            look.Font.Bold = false;
            look.Font.Italic = false;
            if (ResolvedFontFamily(look.Font) != given.FontName) {
                look.Font.Name = start.Name;
                look.Font.Bold = start.Bold;
                look.Font.Italic = start.Italic;
                done.FontMissing = true;
            }
        }
        done.LookChanged = look != before;
        if (controls.DateFormat != given.DateFormat) {
            controls.DateFormat = std::string(given.DateFormat);
            done.DateFormatChanged = true;
        }
        // The transparency tick: changing it is the user's click.
        if (IsTransparent(look) != given.Transparent) {
            SwitchTransparent(look);
            done.TransparentChanged = true;
        }
    }
    return done;
}

}  // namespace morvik
