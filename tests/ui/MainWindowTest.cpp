#include "UiTestSupport.h"

#include "platform/DateMask.h"
#include "platform/DateTime.h"
#include "stamping/MadeRecord.h"
#include "support/ExifBuilder.h"
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
    const QDate d = app.W().DateTimePicker1->date();
    const QTime t = app.W().DateTimePicker2->time();
    return *TryEncodeDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

QString LoadInto(App& app, const QString& path)
{
    app.Dialogs.OpenAnswers.push_back(path);
    app.W().Button1->click();
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
    const std::vector<std::pair<RollUpPanel*, bool>> column = {
        {w.ExPanel2, true}, {w.ExPanel4, false}, {w.ExPanel3, false},
        {w.ExPanel5, true}, {w.ExPanel6, true},  {w.ExPanel1, false}};
    int top = 0;
    for (auto [panel, rolled] : column) {
        SCOPED_TRACE(panel->Caption().toStdString());
        EXPECT_EQ(panel->Rolled(), rolled);
        EXPECT_EQ(panel->y(), top);
        EXPECT_EQ(panel->height(), rolled ? RollUpPanel::CaptionHeight : panel->ExpandedHeight());
        top += panel->height();
    }

    EXPECT_TRUE(f.Settings().DateMode);
    EXPECT_EQ(f.Settings().DateSource, 1);
    EXPECT_EQ(w.ComboBox1->currentText(), QStringLiteral("Date Time Original"));
    EXPECT_EQ(w.cbConf->currentText(), QStringLiteral("Для Хранения"));
    EXPECT_TRUE(f.Settings().StartFolder.ends_with('/'));
    EXPECT_FALSE(w.Edit1->isEnabled());
    EXPECT_TRUE(w.DateTimePicker1->isEnabled());
    EXPECT_TRUE(w.DateTimePicker2->isEnabled());
    EXPECT_FALSE(w.cbDirect->isEnabled());
    EXPECT_TRUE(w.TimeEdit1->isEnabled());
    EXPECT_EQ(w.TimeEdit1->text(), QStringLiteral("00:00:00"));
    EXPECT_FALSE(w.SpeedButton1->isEnabled());
    EXPECT_FALSE(w.Gauge1Action->isVisible());
    EXPECT_EQ(w.TrackBar1->value(), 80);
    EXPECT_EQ(w.Label2->text(), QStringLiteral("80 %"));
    EXPECT_EQ(w.Edit2->text(), QStringLiteral("yy.mm.dd  hh_nn_ss"));
    EXPECT_TRUE(w.CheckBox3->isChecked());
    EXPECT_TRUE(w.cbEXIF->isChecked());
    EXPECT_EQ(w.Label4->text(), QStringLiteral("Всего файлов:"));
    EXPECT_TRUE(w.StatusPanel0->text().isEmpty());
    EXPECT_EQ(w.Image1->size(), QSize(105, 105));

    // The mosaic entries refuse without a picture, all four alike.
    w.N2->trigger();
    w.N11->trigger();
    w.ToolButton4->click();
    w.ToolButton5->click();
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
        w.CheckBox1->setChecked(false);
        w.Edit1->setText(QStringLiteral("мой текст"));
        w.CheckBox3->setChecked(false);
        w.ComboBox1->setEditText(QStringLiteral("что-то"));
        EXPECT_EQ(f.Settings().DateSource, -1);

        w.cbConf->setCurrentIndex(c.Entry);
        EXPECT_EQ(w.TrackBar1->value(), c.Quality);
        EXPECT_EQ(w.Label2->text(), QString::number(c.Quality) + QStringLiteral(" %"));
        EXPECT_EQ(w.ComboBox1->currentIndex(), c.Source);
        EXPECT_EQ(f.Settings().DateSource, c.Source);
        EXPECT_TRUE(w.CheckBox1->isChecked());
        EXPECT_TRUE(f.Settings().DateMode);
        EXPECT_FALSE(w.Edit1->isEnabled());
        EXPECT_TRUE(w.Edit1->text().isEmpty());
        EXPECT_TRUE(w.CheckBox3->isChecked());
        EXPECT_TRUE(w.Edit2->isEnabled());
        EXPECT_EQ(w.cbEXIF->isChecked(), c.Exif);
        EXPECT_EQ(w.Edit2->text(), QString::fromUtf8(c.Mask));
    }
    // The album preset, applied last, shows its look: bottom-right, sizes in percent,
    // outlined, transparent.
    EXPECT_EQ(w.cbConf->currentText(), QStringLiteral("Для фотоальбома"));
    EXPECT_EQ(w.cbAnchor->currentText(), QStringLiteral("Справа снизу"));
    EXPECT_TRUE(w.cbRelSize->isChecked() && w.cbRelMargin->isChecked() && w.cbOutline->isChecked());
    EXPECT_EQ(w.SizeEdit->value(), 3);
    EXPECT_EQ(w.MarginEdit->value(), 2);
    EXPECT_TRUE(w.CheckBox2->isChecked());
    EXPECT_FALSE(w.BitBtn3->isEnabled() || w.SpinEdit1->isEnabled());
    EXPECT_TRUE(w.SizeEdit->isEnabled());
    EXPECT_FALSE(w.cbShadow->isChecked());  // the film preset's glow went with it, and its date format
    EXPECT_EQ(w.DateFormatEdit->text(), QStringLiteral("dd.mm.yyyy hh:nn:ss"));
    // An edited preset text changes nothing.
    w.TrackBar1->setValue(33);
    w.cbConf->setEditText(QStringLiteral("Другое"));
    EXPECT_EQ(w.TrackBar1->value(), 33);
}

TEST(MainWindow, SwitchesKeepTheirEnabledStates)
{
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    w.CheckBox1->click();
    EXPECT_FALSE(f.Settings().DateMode);
    EXPECT_TRUE(w.Edit1->isEnabled());
    EXPECT_FALSE(w.DateTimePicker1->isEnabled());
    EXPECT_FALSE(w.DateTimePicker2->isEnabled());

    w.CheckBox2->setChecked(true);
    EXPECT_TRUE(f.Settings().Transparent);
    EXPECT_EQ(f.Controls().Look.BackgroundStyle, TBrushStyle::Cross);
    EXPECT_FALSE(w.BitBtn3->isEnabled());
    w.CheckBox2->setChecked(false);
    EXPECT_EQ(f.Controls().Look.BackgroundStyle, TBrushStyle::Solid);
    EXPECT_TRUE(w.BitBtn3->isEnabled());

    w.CheckBox3->setChecked(false);
    EXPECT_FALSE(w.Edit2->isEnabled());
    w.cbPogr->setChecked(true);
    EXPECT_TRUE(w.cbDirect->isEnabled());
    EXPECT_TRUE(w.TimeEdit1->isEnabled());
    w.cbPogr->setChecked(false);
    EXPECT_FALSE(w.cbDirect->isEnabled());
    EXPECT_FALSE(w.TimeEdit1->isEnabled());

    w.ComboBox1->setCurrentIndex(2);
    EXPECT_EQ(f.Settings().DateSource, 2);
}

TEST(MainWindow, MenuAndToolbarEntriesRunTheControlsHandlers)
{
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    const QString start = QString::fromStdString(f.Settings().StartFolder);
    w.Button1->click();
    w.N3->trigger();
    w.ToolButton7->click();
    EXPECT_EQ(app.Dialogs.OpenStarts, QStringList(3, start));

    w.Button3->click();
    w.N4->trigger();
    w.ToolButton8->click();
    EXPECT_EQ(app.Dialogs.SaveExtensions, QStringList(3, QStringLiteral("jpg")));

    w.Button4->click();
    w.N8->trigger();
    w.ToolButton11->click();
    EXPECT_EQ(app.Dialogs.FolderTitles, QStringList(3, QStringLiteral("Select folder")));
    EXPECT_EQ(app.Dialogs.FolderStarts, QStringList(3, start));
    EXPECT_TRUE(app.Dialogs.Messages.isEmpty());  // every dialog was cancelled

    // The colour and font buttons keep what the user confirms; each colour dialog says
    // which colour it chooses.
    app.Dialogs.ColorAnswers = {QColor(1, 2, 3), std::nullopt, QColor(9, 8, 7)};
    w.BitBtn1->click();
    w.BitBtn3->click();
    w.BitBtn3->click();
    EXPECT_EQ(app.Dialogs.ColorTitles, (QStringList{QStringLiteral("Цвет текста"), QStringLiteral("Цвет фона"),
                                                    QStringLiteral("Цвет фона")}));
    EXPECT_EQ(f.Controls().Look.TextColor, RgbColor(1, 2, 3));
    EXPECT_EQ(f.Controls().Look.BackgroundColor, RgbColor(9, 8, 7));
    QFont chosen(QStringLiteral("DejaVu Serif"));
    chosen.setPixelSize(20);
    app.Dialogs.FontAnswers = {chosen};
    w.BitBtn2->click();
    EXPECT_EQ(f.Controls().Look.Font.Name, "DejaVu Serif");
    EXPECT_EQ(f.Controls().Look.Font.Height, 20);
}

TEST(MainWindow, LoadShowsSizeFolderDateAndCorrection)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    w.cbPogr->setChecked(true);
    w.TimeEdit1->setText(QStringLiteral("01:00:00"));
    LoadInto(app, MakeJpeg(dir / "photo.jpg", 40, 30));

    EXPECT_TRUE(app.Dialogs.Messages.isEmpty()) << app.Dialogs.Messages.join('|').toStdString();
    EXPECT_EQ(w.StatusPanel0->text(), QStringLiteral("40 на 30"));
    EXPECT_EQ(w.StatusPanel1->text(), Q(dir.path()) + '/');
    EXPECT_EQ(w.Image1->size(), QSize(40, 30));
    EXPECT_EQ(f.Settings().PictureWidth, 40);
    EXPECT_EQ(f.Settings().PictureHeight, 30);
    // No EXIF: no report, and a line of what dated the photo.
    EXPECT_EQ(w.Memo1->toPlainText(), QStringLiteral("photo.jpg  (время файла)"));

    // Label1 and the pickers hold the uncorrected date, Panel4 the corrected one.
    const TDateTime date = PickerValue(app);
    EXPECT_EQ(w.Label1->text().toStdString(), FormatDateTime("dd.mm.yyyy hh:nn:ss", date));
    EXPECT_EQ(w.Panel4->text().toStdString(), FormatDateTime("dd.mm.yyyy hh:nn:ss", date + 1.0 / 24));

    // Editing the time picker rewrites the stamp text.
    w.DateTimePicker2->setTime(QTime(8, 15, 0));
    EXPECT_EQ(w.Label1->text(), w.DateTimePicker1->date().toString("dd.MM.yyyy") + QStringLiteral(" 08:15:00"));
}

TEST(MainWindow, LoadsACameraSampleWithItsExifDate)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    App app;
    LoadInto(app, Q(CameraSamplesDir() / "Canon_40D.jpg"));
    EXPECT_EQ(app.W().Label1->text(), QStringLiteral("30.05.2008 15:56:01"));
    EXPECT_FALSE(app.W().Memo1->toPlainText().trimmed().isEmpty());
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
    EXPECT_TRUE(w.StatusPanel0->text().isEmpty());

    // A correction text that does not convert stops picture information at Panel4.
    w.cbPogr->setChecked(true);
    w.TimeEdit1->setText(QStringLiteral("24:00:00"));
    w.Panel4->setText(QStringLiteral("earlier"));
    LoadInto(app, MakeJpeg(dir / "ok.jpg", 8, 8));
    ASSERT_EQ(app.Dialogs.Messages.size(), 3);
    EXPECT_EQ(app.Dialogs.Messages[2], QStringLiteral("'24:00:00' is not a valid date and time"));
    EXPECT_EQ(w.Panel4->text(), QStringLiteral("earlier"));
    EXPECT_FALSE(w.Label1->text().isEmpty());
}

TEST(MainWindow, StampIsOpaqueOrTransparent)
{
    TempDir dir;
    App app;
    auto& w = app.W();
    LoadInto(app, MakeJpeg(dir / "red.jpg", 120, 40, Qt::red));
    const QImage before = w.Image1->Picture().copy();
    app.Dialogs.ColorAnswers = {QColor(0, 255, 0)};
    w.BitBtn3->click();  // green background
    w.SpinEdit1->setValue(5);
    w.SpinEdit2->setValue(6);

    w.N7->trigger();
    const QImage opaque = w.Image1->Picture().copy();
    EXPECT_GT(CountColour(opaque, qRgb(0, 255, 0), opaque.rect()), 20);
    EXPECT_EQ(CountColour(opaque, qRgb(0, 255, 0), QRect(0, 0, 5, 40)), 0);  // left of X
    EXPECT_EQ(opaque.copy(0, 0, 120, 6), before.copy(0, 0, 120, 6));         // above Y

    w.Image1->SetPicture(before);
    w.CheckBox2->setChecked(true);
    w.ToolButton9->click();
    const QImage transparent = w.Image1->Picture();
    EXPECT_EQ(CountColour(transparent, qRgb(0, 255, 0), transparent.rect()), 0);
    EXPECT_NE(transparent, before);  // the glyphs are there

    // Own text mode with an empty text leaves the picture as it is.
    w.Image1->SetPicture(before);
    w.CheckBox1->setChecked(false);
    w.Button2->click();
    EXPECT_EQ(w.Image1->Picture(), before);
}

TEST(MainWindow, StampGoesToTheChosenCornerAtTheChosenSize)
{
    // The cells' green background marks where the stamp went: 10 % of the shorter side
    // high, 5 % (15 pixels) in from the displayed bottom-right corner.
    TempDir dir;
    App app;
    auto& w = app.W();
    app.Dialogs.ColorAnswers = {QColor(0, 255, 0)};
    w.BitBtn3->click();
    w.cbAnchor->setCurrentIndex(3);
    EXPECT_EQ(w.cbAnchor->currentText(), QStringLiteral("Справа снизу"));
    w.cbRelSize->setChecked(true);
    w.SizeEdit->setValue(10);
    w.cbRelMargin->setChecked(true);
    w.MarginEdit->setValue(5);
    EXPECT_FALSE(w.SpinEdit1->isEnabled());  // the margin takes the place of X and Y
    auto greenBox = [&] {
        const QImage picture = w.Image1->Picture();
        QRect box;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if ((picture.pixel(x, y) & 0xFFFFFF) == 0x00FF00)
                    box |= QRect(x, y, 1, 1);
        return box;
    };

    LoadInto(app, MakeJpeg(dir / "plain.jpg", 400, 300));
    w.Button2->click();
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
        EXPECT_EQ(w.StatusPanel0->text(), QStringLiteral("120 на 80"));
        w.Button2->click();
        app.Dialogs.SaveAnswers = {Q(dir / ("saved" + std::to_string(o) + ".jpg"))};
        w.Button3->click();
        const ShownPhoto shown = AutoOriented(dir / ("saved" + std::to_string(o) + ".jpg"));
        ASSERT_EQ(shown.Width, 120);
        ASSERT_EQ(shown.Height, 80);
        const ShownBox box = StampBoxOnGrey(shown, 128);
        ASSERT_FALSE(box.Empty());
        EXPECT_LE(box.Left, 1);
        EXPECT_LE(box.Top, 1);
        EXPECT_GT(box.Right - box.Left, 3 * (box.Bottom - box.Top));
    }
}

TEST(MainWindow, FrameDrawsThreeRings)
{
    TempDir dir;
    App app;
    auto& w = app.W();
    LoadInto(app, MakeJpeg(dir / "white.jpg", 20, 10));
    const QImage before = w.Image1->Picture().copy();
    w.ToolButton13->click();
    const QImage& p = w.Image1->Picture();
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
    const QImage before = w.Image1->Picture().copy();
    w.ToolButton1->click();
    EXPECT_TRUE(f.Settings().Stretched);
    EXPECT_EQ(w.Image1->size(), w.ScrollBox1->size() - QSize(6, 6));
    EXPECT_EQ(w.Image1->Picture(), before);  // only the view changes

    // Stamping while stretched lands on the same picture pixels.
    w.SpinEdit1->setValue(2);
    w.Button2->click();
    const QImage stretchedStamp = w.Image1->Picture().copy();
    w.N9->trigger();
    EXPECT_FALSE(f.Settings().Stretched);
    EXPECT_EQ(w.Image1->size(), QSize(30, 20));
    w.Image1->SetPicture(before);
    w.Button2->click();
    EXPECT_EQ(w.Image1->Picture(), stretchedStamp);
}

TEST(MainWindow, TheOwnTextsFieldsAreFilledFromTheLoadedPicture)
{
    // "{name}" and a line of a field the picture lacks stamp what typing its name does.
    TempDir dir;
    App app;
    auto& w = app.W();
    const QString path = MakeJpeg(dir / "Пляж.jpg", 160, 60, QColor(10, 120, 200));
    QImage stamped[2];
    int k = 0;
    for (const char* text : {"{name}\\n{lens}", "Пляж"}) {
        LoadInto(app, path);
        const QImage before = w.Image1->Picture();
        w.CheckBox1->setChecked(false);
        w.Edit1->setText(QString::fromUtf8(text));
        w.Button2->click();
        stamped[k] = w.Image1->Picture();
        EXPECT_NE(stamped[k++], before) << text;
    }
    EXPECT_EQ(stamped[0], stamped[1]);
}

TEST(MainWindow, SaveWritesAPlainJpegWithTheDefaultExtension)
{
    TempDir dir;
    App app;
    auto& w = app.W();
    LoadInto(app, MakeJpeg(dir / "in.jpg", 64, 48, QColor(10, 120, 200)));
    app.Dialogs.SaveAnswers = {Q(dir / "out"), Q(dir / "low.jpg")};
    w.Button3->click();
    w.TrackBar1->setValue(0);
    w.ToolButton8->click();
    ASSERT_TRUE(std::filesystem::exists(dir / "out.jpg"));
    const std::string bytes = ReadFile(dir / "out.jpg");
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xD8", 2));
    EXPECT_EQ(bytes.find("Exif"), std::string::npos);
    EXPECT_EQ(QImage(Q(dir / "out.jpg")).size(), QSize(64, 48));
    EXPECT_LT(std::filesystem::file_size(dir / "low.jpg"), std::filesystem::file_size(dir / "out.jpg") + 1);

    // A path that cannot be created is reported.
    app.Dialogs.SaveAnswers = {Q(dir / "no-such-folder" / "x.jpg")};
    w.N4->trigger();
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
    QObject::connect(w.Memo1, &QPlainTextEdit::textChanged, [&] {
        seen = {w.Button4->isEnabled(), w.ExPanel3->isEnabled(), w.DateTimePicker1->isEnabled(),
                w.SpeedButton1->isEnabled(), w.Gauge1Action->isVisible()};
        if (w.SpeedButton1->isEnabled())
            w.SpeedButton1->click();
    });
    w.Button4->click();

    EXPECT_FALSE(seen.Button4);
    EXPECT_FALSE(seen.Panel3);
    EXPECT_FALSE(seen.Pickers);
    EXPECT_TRUE(seen.Stop);
    EXPECT_TRUE(seen.Gauge);
    EXPECT_EQ(app.Dialogs.Messages, QStringList{BatchDone});
    EXPECT_EQ(w.Label4->text(), QStringLiteral("Всего файлов:3"));
    EXPECT_EQ(w.Label5->text(), QStringLiteral("Обрабатывается:1"));
    EXPECT_TRUE(w.StatusPanel1->text().startsWith(QStringLiteral("Заняло 00:00:0")));
    EXPECT_EQ(w.Memo1->blockCount(), 1);
    int written = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "Dated")) {
        if (e.path().filename() == kMadeRecordName)
            continue;  // the record of what is made
        ++written;
        EXPECT_EQ(e.path().extension(), ".jpg");
    }
    EXPECT_EQ(written, 1);
    // Everything is back as before the run.
    EXPECT_TRUE(w.Button4->isEnabled());
    EXPECT_TRUE(w.ExPanel3->isEnabled());
    EXPECT_TRUE(w.DateTimePicker1->isEnabled());
    EXPECT_FALSE(w.SpeedButton1->isEnabled());
    EXPECT_FALSE(w.Gauge1Action->isVisible());
}

TEST(MainWindow, TheBatchGoesOnPastABrokenPhotoWhenAsked)
{
    TempDir dir;
    MakeJpeg(dir / "a.jpg", 16, 16);
    WriteFile(dir / "b.jpg", "not a picture");
    MakeJpeg(dir / "c.jpg", 16, 16);
    App app;
    auto& w = app.W();
    w.CheckBox3->setChecked(false);
    EXPECT_FALSE(w.cbKeepGoing->isChecked());  // the run stops at a failure, as it always did
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    w.Button4->click();
    EXPECT_FALSE(std::filesystem::exists(dir / "Dated" / "c.jpg"));
    // The run ended at the broken photo: the progress shows the one file made.
    EXPECT_EQ(w.StatusPanel1->text(), QStringLiteral("Обрабатывается:1 из 3"));
    w.cbKeepGoing->setChecked(true);
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    w.Button4->click();
    EXPECT_TRUE(std::filesystem::exists(dir / "Dated" / "c.jpg"));
    EXPECT_TRUE(w.Memo1->toPlainText().contains(QStringLiteral("Ошибка: ")));
    // Gone past it, the run counts the broken photo among the files it went through.
    EXPECT_EQ(w.Label5->text(), QStringLiteral("Обрабатывается:3"));
    EXPECT_EQ(w.Gauge1->Progress(), 3);
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
    EXPECT_TRUE(w.cbLossless->isChecked());
    EXPECT_TRUE(app.Form1().Controls().Lossless);
    w.CheckBox3->setChecked(false);
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    w.Button4->click();
    // Each line in the window's words: the way it went, and what dated the photo (no EXIF).
    EXPECT_EQ(w.Memo1->toPlainText(), QStringLiteral("a.jpg  (без перекодирования)  (время файла)\n"
                                                     "b.jpg  (без перекодирования)  (время файла)"));
    // Below the stamp's MCUs the picture decodes as its source does, which a second
    // encode at the slider's quality would not give.
    const QImage source(Q(dir / "a.jpg")), stamped(Q(dir / "Dated" / "a.jpg"));
    EXPECT_NE(stamped.copy(0, 0, 64, 16), source.copy(0, 0, 64, 16));
    EXPECT_EQ(stamped.copy(0, 32, 64, 32), source.copy(0, 32, 64, 32));
    // A rerun with "Пропускать уже сделанные" passes over what the first one made.
    w.cbSkipExisting->setChecked(true);
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    w.Button4->click();
    EXPECT_TRUE(w.Memo1->toPlainText().contains("b.jpg  (уже сделан: " + Q(dir / "Dated" / "b.jpg") + ")"))
        << w.Memo1->toPlainText().toStdString();
    EXPECT_EQ(w.Gauge1->Progress(), 2);  // the files passed over count
    w.cbLossless->click();
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
    w.ToolButton11->click();
    EXPECT_EQ(w.Label4->text(), QStringLiteral("Всего файлов:0"));
    EXPECT_EQ(w.StatusPanel1->text(), QStringLiteral("Заняло 00:00:00"));
    EXPECT_EQ(app.Dialogs.Messages, QStringList{BatchDone});
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Dated"));

    MakeJpeg(dir / "one.jpg", 4, 4);
    MakeJpeg(dir / "two.JPG", 4, 4);
    WriteFile(dir / "three.png", "x");
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    w.ToolButton14->click();
    EXPECT_EQ(w.StatusPanel1->text(), QStringLiteral("2"));
    EXPECT_EQ(f.Settings().FileCount, 2);
}

TEST(MainWindow, OpeningTheMosaicModallyUnstretchesTheView)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    auto& w = app.W();
    LoadInto(app, MakeJpeg(dir / "p.jpg", 50, 40));
    w.ToolButton1->click();
    w.N2->trigger();
    EXPECT_EQ(app.Dialogs.ModalShown, 1);
    EXPECT_FALSE(f.Settings().Stretched);
    EXPECT_EQ(w.Image1->size(), QSize(50, 40));
    EXPECT_EQ(app.Form2().Label3->text(), QStringLiteral("50 на 40"));
    app.Form2().hide();

    // The modeless entry leaves the view as it is.
    w.ToolButton1->click();
    w.N11->trigger();
    EXPECT_TRUE(app.Form2().isVisible());
    EXPECT_TRUE(f.Settings().Stretched);
}

TEST(AboutBox, ShowsNameVersionAndMemoryFigures)
{
    App app;
    auto& about = *app.Windows->AboutBox;
    EXPECT_EQ(about.Label1->text(), QStringLiteral("Morvik"));
    EXPECT_EQ(about.Label2->text(), QStringLiteral("Ver. 2.0"));
    EXPECT_TRUE(about.PhysMem->text().endsWith(QStringLiteral(" KB")));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{1,3} %$")).match(about.FreeRes->text()).hasMatch())
        << about.FreeRes->text().toStdString();
    EXPECT_EQ(ui::TAboutBox::PhysicalMemoryText(uint64_t(523760) * 1024), QStringLiteral("523,760 KB"));
    EXPECT_EQ(ui::TAboutBox::PhysicalMemoryText(uint64_t(16) << 30), QStringLiteral("16,777,216 KB"));
    // "Free memory:" shows the share that is free, close to what the kernel counts as available.
    const QString meminfo = QString::fromStdString(ReadFile("/proc/meminfo"));
    auto kilobytes = [&](const char* key) {
        return QRegularExpression(QString::fromLatin1(key) + QStringLiteral(":\\s+(\\d+)")).match(meminfo).captured(1).toDouble();
    };
    const double freeShare = 100.0 * kilobytes("MemAvailable") / kilobytes("MemTotal");
    EXPECT_NEAR(about.FreeRes->text().chopped(2).toInt(), freeShare, 10.0) << about.FreeRes->text().toStdString();

    const QString first = about.PhysMem->text();
    app.W().About1->trigger();
    about.BitBtn1->click();
    app.W().About1->trigger();
    EXPECT_EQ(app.Dialogs.ModalShown, 2);
    EXPECT_EQ(about.PhysMem->text(), first);
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
    w.ToolButton5->click();
    ASSERT_TRUE(app.Form2().isVisible());
    QSignalSpy closed(&f, &ui::TForm1::Closed);
    w.Close1->trigger();
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
    QObject::connect(w.Memo1, &QPlainTextEdit::textChanged, [&] {
        if (!asked) {
            asked = true;
            w.N8->trigger();  // the menu entry stays live during the run
        }
    });
    w.Button4->click();
    EXPECT_EQ(app.Dialogs.FolderTitles.size(), 1);  // the second run never opened its chooser
    EXPECT_EQ(w.Memo1->blockCount(), 2);
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
    w.Button4->click();
    ASSERT_EQ(app.Dialogs.Messages.size(), 1);
    EXPECT_TRUE(app.Dialogs.Messages[0].startsWith(QStringLiteral("JPEG error #")))
        << app.Dialogs.Messages[0].toStdString();
    EXPECT_TRUE(w.Button4->isEnabled());
    EXPECT_TRUE(w.ExPanel3->isEnabled());
    EXPECT_FALSE(w.SpeedButton1->isEnabled());
    EXPECT_FALSE(w.Gauge1Action->isVisible());
    EXPECT_FALSE(f.BatchRunning());
}
