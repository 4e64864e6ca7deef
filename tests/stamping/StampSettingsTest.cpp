#include "platform/Exceptions.h"
#include "platform/FormatSettings.h"
#include "stamping/StampSettings.h"
#include "stamping/TimeCorrection.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace morvik;

namespace {

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return TryEncodeDateTime(y, mo, d, h, mi, s).value();
}

class StampSettingsTest : public ::testing::Test {
    test::ScopedFormatSettings russian_{TFormatSettings::Russian()};
};

}  // namespace

TEST_F(StampSettingsTest, StartValues)
{
    const StampSettings s = InitialStampSettings();
    EXPECT_TRUE(s.DateMode);
    EXPECT_EQ(s.DateSource, PhotoDateSource::DateTimeOriginal);
    EXPECT_EQ(DateSourceLabels[static_cast<size_t>(s.DateSource)], "Date Time Original");

    const StampControls c;
    EXPECT_EQ(c.Look.TextColor, 16744576u);
    EXPECT_EQ(ColorRed(c.Look.TextColor), 128);
    EXPECT_EQ(ColorGreen(c.Look.TextColor), 128);
    EXPECT_EQ(ColorBlue(c.Look.TextColor), 255);
    EXPECT_EQ(c.Look.BackgroundColor, 0xFFFFFFu);
    EXPECT_EQ(c.Look.BackgroundStyle, TBrushStyle::Solid);
    EXPECT_EQ(c.Look.Font.Name, "Futura Md BT");
    EXPECT_EQ(c.Look.Font.Height, 11);
    EXPECT_TRUE(c.Look.Font.Bold && c.Look.Font.Italic);
    EXPECT_EQ(c.Quality, 80);
    EXPECT_EQ(c.NamingMask, "yy.mm.dd  hh_nn_ss");
    EXPECT_TRUE(c.RenameTicked && c.ExifCarryOver);
    EXPECT_FALSE(c.CorrectionOn);
    EXPECT_EQ(c.CorrectionDirection, 0);
    EXPECT_EQ(c.CorrectionText, "00:00:00");
    EXPECT_EQ(c.PresetIndex, 1);
    EXPECT_EQ(StampPresets[static_cast<size_t>(c.PresetIndex)].Name, "Для Хранения");

    const StampControlStates states = ControlStates(s, c);
    EXPECT_FALSE(states.OwnTextEnabled);
    EXPECT_TRUE(states.DatePickersEnabled);
    EXPECT_TRUE(states.BackgroundColorEnabled);
    EXPECT_TRUE(states.NamingMaskEnabled);
    EXPECT_FALSE(states.CorrectionEnabled);
}

// The start values are what "Для Хранения" sets, so applying it changes nothing.
TEST_F(StampSettingsTest, StartValuesEqualTheStoragePreset)
{
    StampSettings s = InitialStampSettings();
    StampControls c;
    const PresetFollowUps done = ApplyPreset(1, c, s);
    EXPECT_TRUE(done.Applied);
    EXPECT_FALSE(done.QualityChanged || done.DateSourceChanged || done.DateModeChanged ||
                 done.OwnTextCleared || done.RenameChanged || done.ExifChanged || done.NamingMaskChanged);
}

TEST_F(StampSettingsTest, PresetsSetTheirValuesWithFollowUps)
{
    StampSettings s = InitialStampSettings();
    StampControls c;

    PresetFollowUps done = ApplyPreset(0, c, s);  // "Стандартные"
    EXPECT_TRUE(done.QualityChanged);
    EXPECT_EQ(c.Quality, 75);
    EXPECT_EQ(QualityLabelText(c.Quality), "75 %");
    EXPECT_TRUE(done.DateSourceChanged);
    EXPECT_EQ(s.DateSource, PhotoDateSource::DateTime);
    EXPECT_EQ(DateSourceLabels[0], "Изменения");
    EXPECT_FALSE(done.ExifChanged || done.NamingMaskChanged || done.DateModeChanged);

    done = ApplyPreset(2, c, s);  // "Для Интернета"
    EXPECT_EQ(c.Quality, 65);
    EXPECT_EQ(s.DateSource, PhotoDateSource::DateTimeOriginal);
    EXPECT_TRUE(done.ExifChanged);
    EXPECT_FALSE(c.ExifCarryOver);
    EXPECT_TRUE(done.NamingMaskChanged);
    EXPECT_EQ(c.NamingMask, "yymmdd_hh_nn_ss");

    // The own text is emptied, the date tick and the rename tick come back on.
    SwitchDateMode(s);
    c.OwnText = "Отпуск";
    c.RenameTicked = false;
    done = ApplyPreset(2, c, s);
    EXPECT_FALSE(done.QualityChanged || done.DateSourceChanged || done.ExifChanged || done.NamingMaskChanged);
    EXPECT_TRUE(done.DateModeChanged);
    EXPECT_TRUE(s.DateMode);
    EXPECT_TRUE(done.OwnTextCleared);
    EXPECT_TRUE(c.OwnText.empty());
    EXPECT_TRUE(done.RenameChanged);
    EXPECT_TRUE(c.RenameTicked);
    const StampControlStates states = ControlStates(s, c);
    EXPECT_FALSE(states.OwnTextEnabled);
    EXPECT_TRUE(states.DatePickersEnabled);
    EXPECT_TRUE(states.NamingMaskEnabled);

    done = ApplyPreset(1, c, s);
    EXPECT_TRUE(c.ExifCarryOver);
    EXPECT_EQ(c.NamingMask, "yy.mm.dd  hh_nn_ss");
    EXPECT_EQ(c.Quality, 80);
}

TEST_F(StampSettingsTest, AlbumPresetSetsTheLookAndTheOthersLeaveIt)
{
    StampSettings s = InitialStampSettings();
    StampControls c;
    c.Look.Font.Name = "DejaVu Serif";
    c.Look.X = 7;
    PresetFollowUps done = ApplyPreset(3, c, s);  // "Для фотоальбома"
    EXPECT_EQ(StampPresets[3].Name, "Для фотоальбома");
    EXPECT_TRUE(done.LookChanged && done.TransparentChanged && done.QualityChanged);
    EXPECT_EQ(c.Quality, 92);
    EXPECT_EQ(c.Look.Anchor, StampAnchor::BottomRight);
    EXPECT_TRUE(c.Look.RelativeSize && c.Look.RelativeMargin && c.Look.Outline);
    EXPECT_EQ(c.Look.SizePercent, 3);
    EXPECT_EQ(c.Look.MarginPercent, 2);
    EXPECT_EQ(c.Look.TextColor, RgbColor(0xFF, 0x8C, 0x00));
    EXPECT_LT(ColorRed(OutlineColorOf(c.Look)) + ColorGreen(OutlineColorOf(c.Look)), 100);  // dark
    EXPECT_EQ(c.Look.BackgroundStyle, TBrushStyle::Cross);
    EXPECT_EQ(c.Look.Font.Name, "DejaVu Serif");  // the face and the pixel offsets stay the user's
    EXPECT_EQ(c.Look.X, 7);
    const StampControlStates states = ControlStates(s, c);
    EXPECT_FALSE(states.PositionEnabled || states.BackgroundColorEnabled);
    EXPECT_TRUE(states.SizePercentEnabled && states.MarginPercentEnabled);

    done = ApplyPreset(3, c, s);  // once more: nothing left to change
    EXPECT_FALSE(done.LookChanged || done.TransparentChanged || done.QualityChanged);

    const StampLook album = c.Look;
    for (int index : {0, 1, 2}) {
        done = ApplyPreset(index, c, s);
        EXPECT_FALSE(done.LookChanged || done.TransparentChanged) << index;
        EXPECT_EQ(c.Look, album) << index;
    }
}

TEST_F(StampSettingsTest, FilmPresetGivesTheSevenSegmentDateAndLeavesNoTraceInTheAlbums)
{
    StampSettings s = InitialStampSettings();
    StampControls c;
    c.Look.AutoColor = true;
    const PresetFollowUps done = ApplyPreset(4, c, s);
    EXPECT_EQ(StampPresets[4].Name, "Плёночный");
    EXPECT_TRUE(done.LookChanged && done.DateFormatChanged && done.TransparentChanged);
    EXPECT_EQ(c.DateFormat, "\"'\"yy mm dd");
    EXPECT_EQ(c.Quality, 92);
    EXPECT_EQ(s.DateSource, PhotoDateSource::Auto);
    EXPECT_EQ(c.Look.TextColor, RgbColor(0xFF, 0x6A, 0x1E));
    EXPECT_FALSE(c.Look.AutoColor || c.Look.Outline);
    ASSERT_TRUE(c.Look.Shadow.has_value());
    EXPECT_TRUE(c.Look.Shadow->Glow);
    EXPECT_EQ(c.Look.Shadow->Color, c.Look.TextColor);
    EXPECT_EQ(c.Look.SizePercent, 3.5);
    EXPECT_EQ(c.Look.MarginPercent, 3);
    EXPECT_EQ(c.Look.Anchor, StampAnchor::BottomRight);
    // The face when it is installed; otherwise the default face, and the preset says so.
    if (done.FontMissing)
        EXPECT_EQ(c.Look.Font, TFont{});
    else
        EXPECT_EQ(c.Look.Font.Name, FilmFontName);

    // The album preset after it takes the glow and the film's date format away again.
    const PresetFollowUps album = ApplyPreset(3, c, s);
    EXPECT_TRUE(album.DateFormatChanged);
    EXPECT_EQ(c.DateFormat, StampDateMask);
    EXPECT_FALSE(c.Look.Shadow.has_value());
    EXPECT_TRUE(c.Look.Outline);
}

TEST_F(StampSettingsTest, OutlineContrastsWithTheTextUnlessChosen)
{
    StampLook look;
    look.TextColor = RgbColor(255, 230, 0);
    EXPECT_EQ(OutlineColorOf(look), clBlack);
    look.TextColor = RgbColor(20, 20, 120);
    EXPECT_EQ(OutlineColorOf(look), clWhite);
    look.OutlineColor = RgbColor(1, 2, 3);
    EXPECT_EQ(OutlineColorOf(look), RgbColor(1, 2, 3));
}

TEST_F(StampSettingsTest, IndexOutsideThePresetsChangesNothing)
{
    for (int index : {-1, 5, 100}) {
        StampSettings s = InitialStampSettings();
        s.DateMode = false;
        s.DateSource = PhotoDateSource::Fallback;
        StampControls c;
        c.Quality = 33;
        c.OwnText = "x";
        c.ExifCarryOver = false;
        const PresetFollowUps done = ApplyPreset(index, c, s);
        EXPECT_FALSE(done.Applied) << index;
        EXPECT_EQ(c.PresetIndex, index);
        EXPECT_EQ(c.Quality, 33);
        EXPECT_EQ(c.OwnText, "x");
        EXPECT_FALSE(c.ExifCarryOver);
        EXPECT_FALSE(s.DateMode);
        EXPECT_EQ(s.DateSource, PhotoDateSource::Fallback);
    }
}

TEST_F(StampSettingsTest, SwitchesKeepTheirCompanions)
{
    StampSettings s = InitialStampSettings();
    StampControls c;
    SwitchTransparent(c.Look);
    EXPECT_TRUE(IsTransparent(c.Look));
    EXPECT_EQ(c.Look.BackgroundStyle, TBrushStyle::Cross);
    EXPECT_FALSE(ControlStates(s, c).BackgroundColorEnabled);
    SwitchTransparent(c.Look);
    EXPECT_FALSE(IsTransparent(c.Look));
    EXPECT_EQ(c.Look.BackgroundStyle, TBrushStyle::Solid);
    EXPECT_TRUE(ControlStates(s, c).BackgroundColorEnabled);

    SwitchDateMode(s);
    EXPECT_TRUE(ControlStates(s, c).OwnTextEnabled);
    EXPECT_FALSE(ControlStates(s, c).DatePickersEnabled);

    c.RenameTicked = false;
    c.CorrectionOn = true;
    EXPECT_FALSE(ControlStates(s, c).NamingMaskEnabled);
    EXPECT_TRUE(ControlStates(s, c).CorrectionEnabled);
}

TEST_F(StampSettingsTest, PositionsAndNamingMask)
{
    EXPECT_EQ(PositionFromText("12"), 12);
    EXPECT_EQ(PositionFromText("-40"), -40);
    EXPECT_EQ(PositionFromText("12a"), 0);
    EXPECT_EQ(PositionFromText(""), 0);
    EXPECT_EQ(PositionFromText("99999999999"), 0);
    StampControls c;
    c.NamingMask.clear();
    EXPECT_EQ(EffectiveNamingMask(c), "yy.mm.dd  hh_nn_ss");
    c.NamingMask = "yyyy";
    EXPECT_EQ(EffectiveNamingMask(c), "yyyy");
}

TEST_F(StampSettingsTest, CorrectionTextConversion)
{
    struct Case {
        const char* text;
        int h, m, s;
    };
    for (const Case& c : {Case{"00:00:00", 0, 0, 0}, Case{"01:30:00", 1, 30, 0}, Case{" 1:30:00", 1, 30, 0},
                          Case{"23:59:59", 23, 59, 59}, Case{"12:05:09", 12, 5, 9}}) {
        EXPECT_EQ(CorrectionFromText(c.text), TryEncodeTime(c.h, c.m, c.s, 0).value()) << c.text;
    }
    for (const char* bad : {"24:00:00", "99:00:00", "00:60:00", "00:00:60", "01: 0:00", "01:3 :00",
                            "01:30: 0", "01:30:0 ", "0 :30:00", "  :30:00", "", "1:30:00", "01:30:00 ",
                            "01.30.00", "-1:30:00", "01:30", "ab:cd:ef"}) {
        try {
            CorrectionFromText(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' is not a valid date and time");
        }
    }
}

TEST_F(StampSettingsTest, CorrectionShiftsAcrossMidnight)
{
    DateCorrection c;
    c.On = true;
    c.Text = "01:30:00";
    const TDateTime evening = At(2006, 5, 10, 23, 0, 0);

    c.Direction = 0;
    EXPECT_EQ(StampDateText(CorrectedDate(evening, c)), "11.05.2006 00:30:00");
    c.Direction = 1;
    EXPECT_EQ(StampDateText(CorrectedDate(evening, c)), "10.05.2006 21:30:00");
    // The direction list's text edited away from both entries: subtracts.
    c.Direction = -1;
    EXPECT_EQ(StampDateText(CorrectedDate(evening, c)), "10.05.2006 21:30:00");

    c.Direction = 0;
    c.Text = "01:00:00";
    EXPECT_EQ(StampDateText(CorrectedDate(At(2006, 12, 31, 23, 30, 0), c)), "01.01.2007 00:30:00");
    c.Text = "02:00:00";
    EXPECT_EQ(StampDateText(CorrectedDate(At(2007, 8, 15, 23, 30, 0), c)), "16.08.2007 01:30:00");
    c.Direction = 1;
    c.Text = "00:30:00";
    EXPECT_EQ(StampDateText(CorrectedDate(At(2007, 1, 1, 0, 10, 0), c)), "31.12.2006 23:40:00");
    // A missing date (0) corrected backwards runs before 30.12.1899.
    c.Text = "01:00:00";
    EXPECT_EQ(StampDateText(CorrectedDate(0, c)), "29.12.1899 23:00:00");
}

TEST_F(StampSettingsTest, CorrectionOffLeavesTheDateAndIgnoresTheText)
{
    DateCorrection c;
    c.Text = "24:00:00";
    const TDateTime date = At(2006, 5, 10, 23, 0, 0);
    EXPECT_EQ(CorrectedDate(date, c), date);
    c.On = true;
    EXPECT_THROW(CorrectedDate(date, c), EConvertError);
}

TEST_F(StampSettingsTest, StampDateTextUsesTheLocaleTimeSeparator)
{
    EXPECT_EQ(StampDateText(At(2007, 8, 15, 12, 30, 45)), "15.08.2007 12:30:45");
    FormatSettings().TimeSeparator = ".";
    EXPECT_EQ(StampDateText(At(2007, 8, 15, 12, 30, 45)), "15.08.2007 12.30.45");
}
