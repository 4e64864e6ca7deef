#include "UiTestSupport.h"

#include "platform/DateMask.h"
#include "platform/DateTime.h"
#include "stamping/MadeRecord.h"
#include "support/ExifBuilder.h"
#include "support/TestJpeg.h"
#include "support/TestSupport.h"
#include "support/ViewerOracle.h"
#include "ui/EngineBridge.h"
#include "ui/PictureView.h"
#include "ui/widgets/BarGauge.h"
#include "ui/widgets/SpinEdit.h"
#include "ui/widgets/RollUpPanel.h"
#include "ui/widgets/TimeEdit.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTimeEdit>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace morvik;
using namespace morvik::test;
using morvik::ui::RollUpPanel;

namespace {

const QString NoPicture = QStringLiteral("Загрузите картинку сначала");
const QString BatchDone = QStringLiteral("Закончил добавление текста или даты в картинки");

TDateTime PickerValue(App& app)
{
    const QDate d = app.W().datePicker->date();
    const QTime t = app.W().timePicker->time();
    return *TryEncodeDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

QString LoadInto(App& app, const QString& path)
{
    app.Dialogs.OpenAnswers.push_back(path);
    app.W().loadButton->click();
    return path;
}

int CountColour(const QImage& image, QRgb colour, QRect area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.valid(x, y) && (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                ++n;
    return n;
}

}  // namespace

TEST(MainWindow, StartsWithItsPanelsControlsAndSettings)
{
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Дата в JPG картинках и фотографиях"));

    // Three panels rolled up at show, the others expanded, stacked without gaps.
    const std::vector<std::pair<RollUpPanel*, bool>> column = {{w.picturePanel, true},    {w.presetPanel, false},
                                                               {w.stampTextPanel, false}, {w.correctionPanel, true},
                                                               {w.positionPanel, true},   {w.batchPanel, false}};
    int top = 0;
    for (auto [panel, rolled] : column) {
        SCOPED_TRACE(panel->Caption().toStdString());
        EXPECT_EQ(panel->Rolled(), rolled);
        EXPECT_EQ(panel->y(), top);
        EXPECT_EQ(panel->height(), rolled ? RollUpPanel::CaptionHeight : panel->ExpandedHeight());
        top += panel->height();
    }

    // The window shows the settings' start values (StampSettingsTest.StartValues says
    // what they are).
    const StampSettings start = InitialStampSettings();
    const StampControls controls;
    const auto text = [](std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); };
    EXPECT_EQ(f.Settings().DateMode, start.DateMode);
    EXPECT_EQ(f.Settings().DateSource, start.DateSource);
    // The dialogs start at the program's own folder; nothing is counted or stopped yet.
    EXPECT_EQ(f.Window().StartFolder, ui::InitialWindowState().StartFolder);
    ASSERT_FALSE(f.Window().StartFolder.empty());
    EXPECT_EQ(f.Window().StartFolder.back(), '/');
    EXPECT_FALSE(f.Window().StopRequested);
    EXPECT_EQ(f.Window().FileCount, 0);
    EXPECT_EQ(f.Controls().Look, controls.Look);
    EXPECT_EQ(w.dateSourceList->currentText(), text(DateSourceLabels[static_cast<size_t>(start.DateSource)]));
    EXPECT_EQ(w.presetList->currentText(), text(StampPresets[static_cast<size_t>(controls.PresetIndex)].Name));
    const StampControlStates states = ControlStates(start, controls);
    EXPECT_EQ(w.ownTextEdit->isEnabled(), states.OwnTextEnabled);
    EXPECT_EQ(w.datePicker->isEnabled(), states.DatePickersEnabled);
    EXPECT_EQ(w.timePicker->isEnabled(), states.DatePickersEnabled);
    EXPECT_EQ(w.correctionDirectionList->isEnabled(), states.CorrectionEnabled);
    EXPECT_TRUE(w.correctionEdit->isEnabled());
    EXPECT_EQ(w.correctionEdit->text(), text(controls.CorrectionText));
    EXPECT_FALSE(w.stopButton->isEnabled());
    EXPECT_FALSE(w.progressGaugeAction->isVisible());
    EXPECT_EQ(w.qualitySlider->value(), controls.Quality);
    EXPECT_EQ(w.qualityLabel->text(), text(QualityLabelText(controls.Quality)));
    EXPECT_EQ(w.namingMaskEdit->text(), text(controls.NamingMask));
    EXPECT_EQ(w.renameCheck->isChecked(), controls.RenameTicked);
    EXPECT_EQ(w.exifCheck->isChecked(), controls.ExifCarryOver);
    EXPECT_EQ(w.fileCountLabel->text(), QStringLiteral("Всего файлов:"));
    EXPECT_TRUE(w.sizeStatus->text().isEmpty());
    EXPECT_EQ(w.pictureView->size(), QSize(105, 105));

    // The mosaic entries refuse without a picture, all four alike.
    w.actMosaic->trigger();
    w.actShowMosaic->trigger();
    w.mosaicToolButton->click();
    w.showMosaicToolButton->click();
    EXPECT_EQ(app.Dialogs.Messages, QStringList(4, NoPicture));
    EXPECT_FALSE(app.Form2().isVisible());
    EXPECT_EQ(app.Dialogs.ModalShown, 0);
}

TEST(MainWindow, PresetsSetTheirControls)
{
    struct Case {
        int Entry, Quality, Source;
        bool Exif;
        const char* Mask;
    };
    const Case cases[] = {{0, 75, 0, true, "yy.mm.dd  hh_nn_ss"},
                          {2, 65, 1, false, "yymmdd_hh_nn_ss"},
                          {1, 80, 1, true, "yy.mm.dd  hh_nn_ss"},
                          {4, 92, 4, true, "yy.mm.dd  hh_nn_ss"},
                          {3, 92, 4, true, "yy.mm.dd  hh_nn_ss"}};
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Entry);
        // Leave the date tick, own text and rename tick off the preset's values.
        w.dateModeCheck->setChecked(false);
        w.ownTextEdit->setText(QStringLiteral("мой текст"));
        w.renameCheck->setChecked(false);
        w.dateSourceList->setEditText(QStringLiteral("что-то"));
        EXPECT_EQ(f.Settings().DateSource, PhotoDateSource::Fallback);

        w.presetList->setCurrentIndex(c.Entry);
        EXPECT_EQ(w.qualitySlider->value(), c.Quality);
        EXPECT_EQ(w.qualityLabel->text(), QString::number(c.Quality) + QStringLiteral(" %"));
        EXPECT_EQ(w.dateSourceList->currentIndex(), c.Source);
        EXPECT_EQ(f.Settings().DateSource, PhotoDateSource(c.Source));
        EXPECT_TRUE(w.dateModeCheck->isChecked());
        EXPECT_TRUE(f.Settings().DateMode);
        EXPECT_FALSE(w.ownTextEdit->isEnabled());
        EXPECT_TRUE(w.ownTextEdit->text().isEmpty());
        EXPECT_TRUE(w.renameCheck->isChecked());
        EXPECT_TRUE(w.namingMaskEdit->isEnabled());
        EXPECT_EQ(w.exifCheck->isChecked(), c.Exif);
        EXPECT_EQ(w.namingMaskEdit->text(), QString::fromUtf8(c.Mask));
    }
    // The album preset, applied last, shows its look: bottom-right, sizes in percent,
    // outlined, transparent.
    EXPECT_EQ(w.presetList->currentText(), QStringLiteral("Для фотоальбома"));
    EXPECT_EQ(w.anchorList->currentText(), QStringLiteral("Справа снизу"));
    EXPECT_TRUE(w.relativeSizeCheck->isChecked() && w.relativeMarginCheck->isChecked() && w.outlineCheck->isChecked());
    EXPECT_EQ(w.sizePercentEdit->value(), 3);
    EXPECT_EQ(w.marginPercentEdit->value(), 2);
    EXPECT_TRUE(w.transparentCheck->isChecked());
    EXPECT_FALSE(w.backgroundColorButton->isEnabled() || w.xOffsetEdit->isEnabled());
    EXPECT_TRUE(w.sizePercentEdit->isEnabled());
    EXPECT_FALSE(w.shadowCheck->isChecked());  // the film preset's glow went with it, and its date format
    EXPECT_EQ(w.dateFormatEdit->text(), QStringLiteral("dd.mm.yyyy hh:nn:ss"));
    // An edited preset text changes nothing.
    w.qualitySlider->setValue(33);
    w.presetList->setEditText(QStringLiteral("Другое"));
    EXPECT_EQ(w.qualitySlider->value(), 33);
}

TEST(MainWindow, SwitchesKeepTheirEnabledStates)
{
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    w.dateModeCheck->click();
    EXPECT_FALSE(f.Settings().DateMode);
    EXPECT_TRUE(w.ownTextEdit->isEnabled());
    EXPECT_FALSE(w.datePicker->isEnabled());
    EXPECT_FALSE(w.timePicker->isEnabled());

    w.transparentCheck->setChecked(true);
    EXPECT_EQ(f.Controls().Look.BackgroundStyle, TBrushStyle::Cross);
    EXPECT_FALSE(w.backgroundColorButton->isEnabled());
    w.transparentCheck->setChecked(false);
    EXPECT_EQ(f.Controls().Look.BackgroundStyle, TBrushStyle::Solid);
    EXPECT_TRUE(w.backgroundColorButton->isEnabled());

    w.renameCheck->setChecked(false);
    EXPECT_FALSE(w.namingMaskEdit->isEnabled());
    w.correctionEnabled->setChecked(true);
    EXPECT_TRUE(w.correctionDirectionList->isEnabled());
    EXPECT_TRUE(w.correctionEdit->isEnabled());
    w.correctionEnabled->setChecked(false);
    EXPECT_FALSE(w.correctionDirectionList->isEnabled());
    EXPECT_FALSE(w.correctionEdit->isEnabled());

    w.dateSourceList->setCurrentIndex(2);
    EXPECT_EQ(f.Settings().DateSource, PhotoDateSource::DateTimeDigitized);
}

TEST(MainWindow, MenuAndToolbarEntriesRunTheControlsHandlers)
{
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    const QString start = QString::fromStdString(f.Window().StartFolder);
    w.loadButton->click();
    w.actLoad->trigger();
    w.loadToolButton->click();
    EXPECT_EQ(app.Dialogs.OpenStarts, QStringList(3, start));

    w.saveButton->click();
    w.actSave->trigger();
    w.saveToolButton->click();
    EXPECT_EQ(app.Dialogs.SaveExtensions, QStringList(3, QStringLiteral("jpg")));

    w.batchButton->click();
    w.actAutomatic->trigger();
    w.automaticToolButton->click();
    EXPECT_EQ(app.Dialogs.FolderTitles, QStringList(3, QStringLiteral("Select folder")));
    EXPECT_EQ(app.Dialogs.FolderStarts, QStringList(3, start));
    EXPECT_TRUE(app.Dialogs.Messages.isEmpty());  // every dialog was cancelled

    // The colour and font buttons keep what the user confirms; each colour dialog says
    // which colour it chooses.
    app.Dialogs.ColorAnswers = {QColor(1, 2, 3), std::nullopt, QColor(9, 8, 7)};
    w.textColorButton->click();
    w.backgroundColorButton->click();
    w.backgroundColorButton->click();
    EXPECT_EQ(app.Dialogs.ColorTitles, (QStringList{QStringLiteral("Цвет текста"), QStringLiteral("Цвет фона"),
                                                    QStringLiteral("Цвет фона")}));
    EXPECT_EQ(f.Controls().Look.TextColor, RgbColor(1, 2, 3));
    EXPECT_EQ(f.Controls().Look.BackgroundColor, RgbColor(9, 8, 7));
    QFont chosen(QStringLiteral("DejaVu Serif"));
    chosen.setPixelSize(20);
    app.Dialogs.FontAnswers = {chosen};
    w.fontButton->click();
    EXPECT_EQ(f.Controls().Look.Font.Name, "DejaVu Serif");
    EXPECT_EQ(f.Controls().Look.Font.Height, 20);
}

TEST(MainWindow, LoadShowsSizeFolderDateAndCorrection)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    w.correctionEnabled->setChecked(true);
    w.correctionEdit->setText(QStringLiteral("01:00:00"));
    LoadInto(app, MakeJpeg(dir / "photo.jpg", 40, 30));

    EXPECT_TRUE(app.Dialogs.Messages.isEmpty()) << app.Dialogs.Messages.join('|').toStdString();
    EXPECT_EQ(w.sizeStatus->text(), QStringLiteral("40 на 30"));
    EXPECT_EQ(w.infoStatus->text(), Q(dir.path()) + '/');
    EXPECT_EQ(w.pictureView->size(), QSize(40, 30));
    EXPECT_EQ(f.Window().PictureWidth, 40);
    EXPECT_EQ(f.Window().PictureHeight, 30);
    // No EXIF: no report, and a line of what dated the photo.
    EXPECT_EQ(w.fileLog->toPlainText(), QStringLiteral("photo.jpg  (время файла)"));

    // Label1 and the pickers hold the uncorrected date, Panel4 the corrected one.
    const TDateTime date = PickerValue(app);
    EXPECT_EQ(w.dateLabel->text().toStdString(), FormatDateTime("dd.mm.yyyy hh:nn:ss", date));
    EXPECT_EQ(w.correctedDateLabel->text().toStdString(), FormatDateTime("dd.mm.yyyy hh:nn:ss", date + 1.0 / 24));

    // Editing the time picker rewrites the stamp text.
    w.timePicker->setTime(QTime(8, 15, 0));
    EXPECT_EQ(w.dateLabel->text(), w.datePicker->date().toString("dd.MM.yyyy") + QStringLiteral(" 08:15:00"));
}

TEST(MainWindow, LoadsACameraSampleWithItsExifDate)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    App app;
    LoadInto(app, Q(CameraSamplesDir() / "Canon_40D.jpg"));
    EXPECT_EQ(app.W().dateLabel->text(), QStringLiteral("30.05.2008 15:56:01"));
    EXPECT_FALSE(app.W().fileLog->toPlainText().trimmed().isEmpty());
}

TEST(MainWindow, FailuresAreShownAndTheWindowCarriesOn)
{
    TempDir dir;
    WriteFile(dir / "broken.jpg", "this is no JPEG data");
    App app;
    auto& w = app.W();
    LoadInto(app, Q(dir / "missing.jpg"));
    LoadInto(app, Q(dir / "broken.jpg"));
    ASSERT_EQ(app.Dialogs.Messages.size(), 2);
    EXPECT_TRUE(app.Dialogs.Messages[0].startsWith(QStringLiteral("Cannot open file \""))) << app.Dialogs.Messages[0].toStdString();
    EXPECT_TRUE(app.Dialogs.Messages[1].startsWith(QStringLiteral("JPEG error #"))) << app.Dialogs.Messages[1].toStdString();
    EXPECT_TRUE(w.sizeStatus->text().isEmpty());

    // A correction text that does not convert stops picture information at Panel4.
    w.correctionEnabled->setChecked(true);
    w.correctionEdit->setText(QStringLiteral("24:00:00"));
    w.correctedDateLabel->setText(QStringLiteral("earlier"));
    LoadInto(app, MakeJpeg(dir / "ok.jpg", 8, 8));
    ASSERT_EQ(app.Dialogs.Messages.size(), 3);
    EXPECT_EQ(app.Dialogs.Messages[2], QStringLiteral("'24:00:00' is not a valid date and time"));
    EXPECT_EQ(w.correctedDateLabel->text(), QStringLiteral("earlier"));
    EXPECT_FALSE(w.dateLabel->text().isEmpty());
}

TEST(MainWindow, StampIsOpaqueOrTransparent)
{
    TempDir dir;
    App app;
    auto& w = app.W();
    LoadInto(app, MakeJpeg(dir / "red.jpg", 120, 40, Qt::red));
    const QImage before = w.pictureView->Picture().copy();
    app.Dialogs.ColorAnswers = {QColor(0, 255, 0)};
    w.backgroundColorButton->click();  // green background
    w.xOffsetEdit->setValue(5);
    w.yOffsetEdit->setValue(6);

    w.actStamp->trigger();
    const QImage opaque = w.pictureView->Picture().copy();
    EXPECT_GT(CountColour(opaque, qRgb(0, 255, 0), opaque.rect()), 20);
    EXPECT_EQ(CountColour(opaque, qRgb(0, 255, 0), QRect(0, 0, 5, 40)), 0);  // left of X
    EXPECT_EQ(opaque.copy(0, 0, 120, 6), before.copy(0, 0, 120, 6));         // above Y

    w.pictureView->SetPicture(before);
    w.transparentCheck->setChecked(true);
    w.stampToolButton->click();
    const QImage transparent = w.pictureView->Picture();
    EXPECT_EQ(CountColour(transparent, qRgb(0, 255, 0), transparent.rect()), 0);
    EXPECT_NE(transparent, before);  // the glyphs are there

    // Own text mode with an empty text leaves the picture as it is.
    w.pictureView->SetPicture(before);
    w.dateModeCheck->setChecked(false);
    w.stampButton->click();
    EXPECT_EQ(w.pictureView->Picture(), before);
}

TEST(MainWindow, StampGoesToTheChosenCornerAtTheChosenSize)
{
    // The cells' green background marks where the stamp went: 10 % of the shorter side
    // high, 5 % (15 pixels) in from the displayed bottom-right corner.
    TempDir dir;
    App app;
    auto& w = app.W();
    app.Dialogs.ColorAnswers = {QColor(0, 255, 0)};
    w.backgroundColorButton->click();
    w.anchorList->setCurrentIndex(3);
    EXPECT_EQ(w.anchorList->currentText(), QStringLiteral("Справа снизу"));
    w.relativeSizeCheck->setChecked(true);
    w.sizePercentEdit->setValue(10);
    w.relativeMarginCheck->setChecked(true);
    w.marginPercentEdit->setValue(5);
    EXPECT_FALSE(w.xOffsetEdit->isEnabled());  // the margin takes the place of X and Y
    auto greenBox = [&] {
        const QImage picture = w.pictureView->Picture();
        QRect box;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if ((picture.pixel(x, y) & 0xFFFFFF) == 0x00FF00)
                    box |= QRect(x, y, 1, 1);
        return box;
    };

    LoadInto(app, MakeJpeg(dir / "plain.jpg", 400, 300));
    w.stampButton->click();
    QRect box = greenBox();
    EXPECT_NEAR(box.right() + 1, 400 - 15, 1);
    EXPECT_NEAR(box.bottom() + 1, 300 - 15, 1);
    EXPECT_NEAR(box.height(), 30, 3);

}

TEST(MainWindow, TurnedPhotosLoadUprightAndSaveAsAViewerShowsThem)
{
    // Grey photos shown 120 × 80, stored turned by each Orientation: the window shows them
    // upright, the start values' stamp lands at the displayed top-left reading left to
    // right, and the saved plain JPEG looks the same in a viewer.
    TempDir dir;
    App app;
    auto& w = app.W();
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const bool swapped = o >= 5;
        const std::filesystem::path path = dir / ("o" + std::to_string(o) + ".jpg");
        MakeJpeg(path, swapped ? 80 : 120, swapped ? 120 : 80, QColor(128, 128, 128));
        WriteFile(path, WithOrientation(ReadFile(path), o));
        LoadInto(app, Q(path));
        EXPECT_EQ(w.sizeStatus->text(), QStringLiteral("120 на 80"));
        w.stampButton->click();
        app.Dialogs.SaveAnswers = {Q(dir / ("saved" + std::to_string(o) + ".jpg"))};
        w.saveButton->click();
        const ShownPhoto shown = AutoOriented(dir / ("saved" + std::to_string(o) + ".jpg"));
        ASSERT_EQ(shown.Width, 120);
        ASSERT_EQ(shown.Height, 80);
        const ShownBox box = StampBoxOnGrey(shown, 128);
        ASSERT_FALSE(box.Empty());
        EXPECT_LE(box.Left, 1);
        EXPECT_LE(box.Top, 1);
        EXPECT_GT(box.Right - box.Left, 3 * (box.Bottom - box.Top));

        // Saved in the lossless mode after a frame too: the file keeps its Orientation, so a
        // viewer shows the same, and the stored grey away from the edges and the stamp stays.
        w.actLossless->setChecked(true);
        w.frameToolButton->click();
        const std::string name = "lossless" + std::to_string(o) + ".jpg";
        app.Dialogs.SaveAnswers = {Q(dir / name)};
        w.saveButton->click();
        w.actLossless->setChecked(false);
        EXPECT_TRUE(w.fileLog->toPlainText().endsWith(QString::fromStdString(name) + QStringLiteral("  (без перекодирования)")));
        const ShownPhoto framed = AutoOriented(dir / name);
        ASSERT_EQ(framed.Width, 120);
        ASSERT_EQ(framed.Height, 80);
        const unsigned char* corner = framed.At(0, 79);  // the outer ring, beige
        EXPECT_NEAR(corner[0], 241, 16);
        EXPECT_NEAR(corner[2], 224, 16);
        EXPECT_EQ(StampBoxOnGrey(framed, 128).Right - StampBoxOnGrey(framed, 128).Left, 120);
    }
}

TEST(MainWindow, FrameDrawsThreeRings)
{
    TempDir dir;
    App app;
    auto& w = app.W();
    LoadInto(app, MakeJpeg(dir / "white.jpg", 20, 10));
    const QImage before = w.pictureView->Picture().copy();
    w.frameToolButton->click();
    const QImage& p = w.pictureView->Picture();
    const struct { int X, Y; QRgb Colour; } rings[] = {
        {0, 0, qRgb(241, 234, 224)}, {19, 9, qRgb(241, 234, 224)}, {10, 0, qRgb(241, 234, 224)},
        {1, 1, qRgb(188, 187, 192)}, {18, 8, qRgb(188, 187, 192)},
        {2, 2, qRgb(66, 82, 97)},    {17, 7, qRgb(66, 82, 97)},    {2, 5, qRgb(66, 82, 97)}};
    for (const auto& r : rings)
        EXPECT_EQ(p.pixel(r.X, r.Y) & 0xFFFFFF, r.Colour & 0xFFFFFF) << r.X << "," << r.Y;
    EXPECT_EQ(p.copy(3, 3, 14, 4), before.copy(3, 3, 14, 4));
}

TEST(MainWindow, StretchTwiceReturnsToThePictureSize)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    LoadInto(app, MakeJpeg(dir / "small.jpg", 30, 20));
    const QImage before = w.pictureView->Picture().copy();
    w.stretchToolButton->click();
    EXPECT_TRUE(f.Window().Stretched);
    EXPECT_EQ(w.pictureView->size(), w.pictureScroller->size() - QSize(6, 6));
    EXPECT_EQ(w.pictureView->Picture(), before);  // only the view changes

    // Stamping while stretched lands on the same picture pixels.
    w.xOffsetEdit->setValue(2);
    w.stampButton->click();
    const QImage stretchedStamp = w.pictureView->Picture().copy();
    w.actStretch->trigger();
    EXPECT_FALSE(f.Window().Stretched);
    EXPECT_EQ(w.pictureView->size(), QSize(30, 20));
    w.pictureView->SetPicture(before);
    w.stampButton->click();
    EXPECT_EQ(w.pictureView->Picture(), stretchedStamp);
}

TEST(MainWindow, TheOwnTextsFieldsAreFilledFromTheLoadedPicture)
{
    // "{name}" and a line of a field the picture lacks stamp what typing its name does; the
    // date written with "Формат даты:" (a cleared one standing for the start mask) stamps
    // what the date field with that mask does.
    struct Stamp {
        bool DateMode;
        const char* Format;
        const char* Text;
    };
    const std::pair<Stamp, Stamp> same[] = {
        {{false, "", "{name}\\n{lens}"}, {false, "", "Пляж"}},
        {{true, "yyyy", ""}, {false, "", "{date:yyyy}"}},
        {{true, "", ""}, {false, "", "{date:dd.mm.yyyy hh:nn:ss}"}},
    };
    TempDir dir;
    App app;
    auto& w = app.W();
    const QString path = MakeJpeg(dir / "Пляж.jpg", 160, 60, QColor(10, 120, 200));
    for (const auto& [a, b] : same) {
        QImage stamped[2];
        int k = 0;
        for (const Stamp& stamp : {a, b}) {
            SCOPED_TRACE(std::string(stamp.Format) + stamp.Text);
            LoadInto(app, path);
            const QImage before = w.pictureView->Picture();
            w.dateFormatEdit->setText(QString::fromUtf8(stamp.Format));
            w.dateModeCheck->setChecked(stamp.DateMode);
            w.ownTextEdit->setText(QString::fromUtf8(stamp.Text));
            w.stampButton->click();
            stamped[k] = w.pictureView->Picture();
            EXPECT_NE(stamped[k++], before);
        }
        EXPECT_EQ(stamped[0], stamped[1]) << a.Format << a.Text;
    }
}

TEST(MainWindow, SaveWritesAPlainJpegWithTheDefaultExtension)
{
    TempDir dir;
    App app;
    auto& w = app.W();
    LoadInto(app, MakeJpeg(dir / "in.jpg", 64, 48, QColor(10, 120, 200)));
    app.Dialogs.SaveAnswers = {Q(dir / "out"), Q(dir / "low.jpg")};
    w.saveButton->click();
    w.qualitySlider->setValue(0);
    w.saveToolButton->click();
    ASSERT_TRUE(std::filesystem::exists(dir / "out.jpg"));
    const std::string bytes = ReadFile(dir / "out.jpg");
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xD8", 2));
    EXPECT_EQ(bytes.find("Exif"), std::string::npos);
    EXPECT_EQ(QImage(Q(dir / "out.jpg")).size(), QSize(64, 48));
    EXPECT_LT(std::filesystem::file_size(dir / "low.jpg"), std::filesystem::file_size(dir / "out.jpg") + 1);

    // A path that cannot be created is reported.
    app.Dialogs.SaveAnswers = {Q(dir / "no-such-folder" / "x.jpg")};
    w.actSave->trigger();
    ASSERT_EQ(app.Dialogs.Messages.size(), 1);
    EXPECT_TRUE(app.Dialogs.Messages[0].startsWith(QStringLiteral("Cannot create file \"")));
}

TEST(MainWindow, BatchStoppedAfterTheFirstFile)
{
    TempDir dir;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        MakeJpeg(dir / name, 32, 24, Qt::gray);
    App app;
    auto& w = app.W();
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    struct Seen {
        bool Button4 = true, Panel3 = true, Pickers = true, Stop = false, Gauge = false;
    } seen;
    QObject::connect(w.fileLog, &QPlainTextEdit::textChanged, [&] {
        seen = {w.batchButton->isEnabled(), w.stampTextPanel->isEnabled(), w.datePicker->isEnabled(),
                w.stopButton->isEnabled(), w.progressGaugeAction->isVisible()};
        if (w.stopButton->isEnabled())
            w.stopButton->click();
    });
    w.batchButton->click();

    EXPECT_FALSE(seen.Button4);
    EXPECT_FALSE(seen.Panel3);
    EXPECT_FALSE(seen.Pickers);
    EXPECT_TRUE(seen.Stop);
    EXPECT_TRUE(seen.Gauge);
    EXPECT_EQ(app.Dialogs.Messages, QStringList{BatchDone});
    EXPECT_EQ(w.fileCountLabel->text(), QStringLiteral("Всего файлов:3"));
    EXPECT_EQ(w.progressLabel->text(), QStringLiteral("Обрабатывается:1"));
    EXPECT_TRUE(w.infoStatus->text().startsWith(QStringLiteral("Заняло 00:00:0")));
    EXPECT_EQ(w.fileLog->blockCount(), 1);
    int written = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "Dated")) {
        if (e.path().filename() == kMadeRecordName)
            continue;  // the record of what is made
        ++written;
        EXPECT_EQ(e.path().extension(), ".jpg");
    }
    EXPECT_EQ(written, 1);
    // Everything is back as before the run.
    EXPECT_TRUE(w.batchButton->isEnabled());
    EXPECT_TRUE(w.stampTextPanel->isEnabled());
    EXPECT_TRUE(w.datePicker->isEnabled());
    EXPECT_FALSE(w.stopButton->isEnabled());
    EXPECT_FALSE(w.progressGaugeAction->isVisible());
}

TEST(MainWindow, TheBatchGoesOnPastABrokenPhotoWhenAsked)
{
    TempDir dir;
    MakeJpeg(dir / "a.jpg", 16, 16);
    WriteFile(dir / "b.jpg", "not a picture");
    MakeJpeg(dir / "c.jpg", 16, 16);
    App app;
    auto& w = app.W();
    w.renameCheck->setChecked(false);
    EXPECT_FALSE(w.keepGoingCheck->isChecked());  // the run stops at a failure, as it always did
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    w.batchButton->click();
    EXPECT_FALSE(std::filesystem::exists(dir / "Dated" / "c.jpg"));
    // The run ended at the broken photo: the progress shows the one file made.
    EXPECT_EQ(w.infoStatus->text(), QStringLiteral("Обрабатывается:1 из 3"));
    w.keepGoingCheck->setChecked(true);
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    w.batchButton->click();
    EXPECT_TRUE(std::filesystem::exists(dir / "Dated" / "c.jpg"));
    EXPECT_TRUE(w.fileLog->toPlainText().contains(QStringLiteral("Ошибка: ")));
    // Gone past it, the run counts the broken photo among the files it went through.
    EXPECT_EQ(w.progressLabel->text(), QStringLiteral("Обрабатывается:3"));
    EXPECT_EQ(w.progressGauge->Progress(), 3);
}

// A photo cut short is stamped as far as its data goes, in either mode, and said to be
// damaged: on its line and in the message at the end of the run.
TEST(MainWindow, ADamagedPhotoIsStampedAndSaidToBeDamaged)
{
    TempDir dir;
    const std::string whole = EncodeTestJpeg(256, 192);
    WriteFile(dir / "cut.jpg", whole.substr(0, whole.size() * 3 / 5));
    App app;
    auto& w = app.W();
    w.renameCheck->setChecked(false);
    for (bool lossless : {false, true}) {
        w.losslessCheck->setChecked(lossless);
        app.Dialogs.Messages.clear();
        app.Dialogs.FolderAnswers = {Q(dir.path())};
        w.batchButton->click();
        EXPECT_TRUE(std::filesystem::exists(dir / "Dated" / "cut.jpg"));
        EXPECT_TRUE(w.fileLog->toPlainText().endsWith(QStringLiteral("  (повреждён: данные картинки обрываются)")))
            << w.fileLog->toPlainText().toStdString();
        const QString counted = QStringLiteral("\nПовреждённых фотографий: 1 (сделаны, насколько хватило их данных)");
        EXPECT_EQ(app.Dialogs.Messages, QStringList{BatchDone + counted});
    }
}

TEST(MainWindow, TheLosslessActionStampsTheBatchWithoutReEncoding)
{
    TempDir dir;
    QImage grain(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            grain.setPixel(x, y, qRgb(x * 4, (x * y) % 256, (x ^ y) * 4));
    for (const char* name : {"a.jpg", "b.jpg"})
        ASSERT_TRUE(grain.save(Q(dir / name), "JPG", 95));
    App app;
    auto& w = app.W();
    w.actLossless->trigger();  // the menu item; the batch panel's check box follows
    EXPECT_TRUE(w.losslessCheck->isChecked());
    EXPECT_TRUE(app.Form1().Controls().Lossless);
    w.renameCheck->setChecked(false);
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    w.batchButton->click();
    // Each line in the window's words: the way it went, and what dated the photo (no EXIF).
    EXPECT_EQ(w.fileLog->toPlainText(), QStringLiteral("a.jpg  (без перекодирования)  (время файла)\n"
                                                       "b.jpg  (без перекодирования)  (время файла)"));
    // Below the stamp's MCUs the picture decodes as its source does, which a second
    // encode at the slider's quality would not give.
    const QImage source(Q(dir / "a.jpg")), stamped(Q(dir / "Dated" / "a.jpg"));
    EXPECT_NE(stamped.copy(0, 0, 64, 16), source.copy(0, 0, 64, 16));
    EXPECT_EQ(stamped.copy(0, 32, 64, 32), source.copy(0, 32, 64, 32));
    // A rerun with "Пропускать уже сделанные" passes over what the first one made.
    w.skipExistingCheck->setChecked(true);
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    w.batchButton->click();
    EXPECT_TRUE(w.fileLog->toPlainText().contains("b.jpg  (уже сделан: " + Q(dir / "Dated" / "b.jpg") + ")"))
        << w.fileLog->toPlainText().toStdString();
    EXPECT_EQ(w.progressGauge->Progress(), 2);  // the files passed over count
    w.losslessCheck->click();
    EXPECT_FALSE(w.actLossless->isChecked());
    EXPECT_FALSE(app.Form1().Controls().Lossless);
}

TEST(MainWindow, BatchOverAnEmptyFolderAndCounting)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    w.automaticToolButton->click();
    EXPECT_EQ(w.fileCountLabel->text(), QStringLiteral("Всего файлов:0"));
    EXPECT_EQ(w.infoStatus->text(), QStringLiteral("Заняло 00:00:00"));
    EXPECT_EQ(app.Dialogs.Messages, QStringList{BatchDone});
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Dated"));

    MakeJpeg(dir / "one.jpg", 4, 4);
    MakeJpeg(dir / "two.JPG", 4, 4);
    WriteFile(dir / "three.png", "x");
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    w.countToolButton->click();
    EXPECT_EQ(w.infoStatus->text(), QStringLiteral("2"));
    EXPECT_EQ(f.Window().FileCount, 2);
}

TEST(MainWindow, OpeningTheMosaicModallyUnstretchesTheView)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    LoadInto(app, MakeJpeg(dir / "p.jpg", 50, 40));
    w.stretchToolButton->click();
    w.actMosaic->trigger();
    EXPECT_EQ(app.Dialogs.ModalShown, 1);
    EXPECT_FALSE(f.Window().Stretched);
    EXPECT_EQ(w.pictureView->size(), QSize(50, 40));
    EXPECT_EQ(app.Form2().PictureSizeLabel->text(), QStringLiteral("50 на 40"));
    app.Form2().hide();

    // The modeless entry leaves the view as it is.
    w.stretchToolButton->click();
    w.actShowMosaic->trigger();
    EXPECT_TRUE(app.Form2().isVisible());
    EXPECT_TRUE(f.Window().Stretched);
}

TEST(AboutBox, ShowsNameVersionAndMemoryFigures)
{
    App app;
    auto& about = *app.Windows->AboutBox;
    EXPECT_EQ(about.NameLabel->text(), QStringLiteral("Morvik"));
    EXPECT_EQ(about.VersionLabel->text(), QStringLiteral("Ver. 2.0"));
    EXPECT_TRUE(about.PhysicalMemoryLabel->text().endsWith(QStringLiteral(" KB")));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{1,3} %$")).match(about.FreeMemoryLabel->text()).hasMatch())
        << about.FreeMemoryLabel->text().toStdString();
    EXPECT_EQ(ui::AboutDialog::PhysicalMemoryText(uint64_t(523760) * 1024), QStringLiteral("523,760 KB"));
    EXPECT_EQ(ui::AboutDialog::PhysicalMemoryText(uint64_t(16) << 30), QStringLiteral("16,777,216 KB"));
    // "Free memory:" shows the share that is free, close to what the kernel counts as available.
    const QString meminfo = QString::fromStdString(ReadFile("/proc/meminfo"));
    auto kilobytes = [&](const char* key) {
        return QRegularExpression(QString::fromLatin1(key) + QStringLiteral(":\\s+(\\d+)")).match(meminfo).captured(1).toDouble();
    };
    const double freeShare = 100.0 * kilobytes("MemAvailable") / kilobytes("MemTotal");
    EXPECT_NEAR(about.FreeMemoryLabel->text().chopped(2).toInt(), freeShare, 10.0) << about.FreeMemoryLabel->text().toStdString();

    const QString first = about.PhysicalMemoryLabel->text();
    app.W().actAbout->trigger();
    about.OkButton->click();
    app.W().actAbout->trigger();
    EXPECT_EQ(app.Dialogs.ModalShown, 2);
    EXPECT_EQ(about.PhysicalMemoryLabel->text(), first);
    // No buttons in the title bar: OK (or Escape) closes the box.
    EXPECT_FALSE(about.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint | Qt::WindowSystemMenuHint));
}

TEST(MainWindow, ExitClosesEverythingEvenWithTheMosaicOpen)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    LoadInto(app, MakeJpeg(dir / "p.jpg", 8, 8));
    w.showMosaicToolButton->click();
    ASSERT_TRUE(app.Form2().isVisible());
    QSignalSpy closed(&f, &ui::MainWindow::Closed);
    w.actClose->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(f.isVisible());
    EXPECT_FALSE(app.Form2().isVisible());
}

TEST(MainWindow, ASecondBatchIsRefusedWhileOneRuns)
{
    TempDir dir;
    MakeJpeg(dir / "a.jpg", 8, 8);
    MakeJpeg(dir / "b.jpg", 8, 8);
    App app;
    auto& w = app.W();
    app.Dialogs.FolderAnswers = {Q(dir.path()), Q(dir.path())};
    bool asked = false;
    QObject::connect(w.fileLog, &QPlainTextEdit::textChanged, [&] {
        if (!asked) {
            asked = true;
            w.actAutomatic->trigger();  // the menu entry stays live during the run
        }
    });
    w.batchButton->click();
    EXPECT_EQ(app.Dialogs.FolderTitles.size(), 1);  // the second run never opened its chooser
    EXPECT_EQ(w.fileLog->blockCount(), 2);
    EXPECT_EQ(app.Dialogs.Messages, QStringList{BatchDone});
}

TEST(MainWindow, ABatchThatFailsShowsTheErrorAndGivesTheControlsBack)
{
    TempDir dir;
    WriteFile(dir / "broken.jpg", "no JPEG here");
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    w.batchButton->click();
    ASSERT_EQ(app.Dialogs.Messages.size(), 1);
    EXPECT_TRUE(app.Dialogs.Messages[0].startsWith(QStringLiteral("JPEG error #")))
        << app.Dialogs.Messages[0].toStdString();
    EXPECT_TRUE(w.batchButton->isEnabled());
    EXPECT_TRUE(w.stampTextPanel->isEnabled());
    EXPECT_FALSE(w.stopButton->isEnabled());
    EXPECT_FALSE(w.progressGaugeAction->isVisible());
    EXPECT_FALSE(f.BatchRunning());
}
