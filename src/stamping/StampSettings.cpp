#include "stamping/StampSettings.h"

#include "platform/Convert.h"
#include "platform/FileSystem.h"

namespace morvik {

StampSettings InitialStampSettings()
{
    StampSettings settings;
    settings.DateMode = true;
    settings.DateSource = DateSourceDateTimeOriginal;
    settings.StartFolder = ExecutableFolder();
    return settings;
}

int PositionFromText(std::string_view text) { return TryStrToInt(text).value_or(0); }

std::string QualityLabelText(int quality) { return std::to_string(quality) + " %"; }

std::string EffectiveNamingMask(const StampControls& controls)
{
    return controls.NamingMask.empty() ? std::string(DefaultNamingMask) : controls.NamingMask;
}

void SwitchDateMode(StampSettings& settings) { settings.DateMode = !settings.DateMode; }

void SwitchTransparent(StampSettings& settings, StampLook& look)
{
    settings.Transparent = !settings.Transparent;
    look.BackgroundStyle = settings.Transparent ? TBrushStyle::Cross : TBrushStyle::Solid;
}

const std::string& TextToStamp(const StampSettings& settings, const StampControls& controls)
{
    return settings.DateMode ? controls.StampDateText : controls.OwnText;
}

StampControlStates ControlStates(const StampSettings& settings, const StampControls& controls)
{
    StampControlStates states;
    states.OwnTextEnabled = !settings.DateMode;
    states.DatePickersEnabled = settings.DateMode;
    states.BackgroundColorEnabled = !settings.Transparent;
    states.NamingMaskEnabled = controls.RenameTicked;
    states.CorrectionEnabled = controls.CorrectionOn;
    return states;
}

PresetFollowUps ApplyPreset(int index, StampControls& controls, StampSettings& settings)
{
    PresetFollowUps done;
    controls.PresetIndex = index;  // what cbConf shows, even when no preset has that index
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
    // The date tick is DateMode: changing it is the user's click on CheckBox1.
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
    return done;
}

}  // namespace morvik
