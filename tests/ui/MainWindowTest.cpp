#include "UiTestSupport.h"

#include "platform/DateTime.h"
#include "support/TestSupport.h"
#include "ui/EngineBridge.h"
#include "ui/PictureView.h"
#include "ui/widgets/BarGauge.h"
#include "ui/widgets/RollUpPanel.h"
#include "ui/widgets/TimeEdit.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
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

TDateTime PickerValue(const ui::TForm1& f)
{
    const QDate d = f.DateTimePicker1->date();
    const QTime t = f.DateTimePicker2->time();
    return *TryEncodeDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

QString LoadInto(App& app, const QString& path)
{
    app.Dialogs.OpenAnswers.push_back(path);
    app.Form1().Button1->click();
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
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Дата в JPG картинках и фотографиях"));

    // Three panels rolled up at show, the others expanded, stacked without gaps.
    const std::vector<std::pair<RollUpPanel*, bool>> column = {
        {f.ExPanel2, true}, {f.ExPanel4, false}, {f.ExPanel3, false},
        {f.ExPanel5, true}, {f.ExPanel6, true},  {f.ExPanel1, false}};
    int top = 0;
    for (auto [panel, rolled] : column) {
        SCOPED_TRACE(panel->Caption().toStdString());
        EXPECT_EQ(panel->Rolled(), rolled);
        EXPECT_EQ(panel->y(), top);
        EXPECT_EQ(panel->height(), rolled ? RollUpPanel::CaptionHeight : panel->ExpandedHeight());
        top += panel->height();
    }

    EXPECT_TRUE(f.Settings.DateMode);
    EXPECT_EQ(f.Settings.DateSource, 1);
    EXPECT_EQ(f.ComboBox1->currentText(), QStringLiteral("Date Time Original"));
    EXPECT_EQ(f.cbConf->currentText(), QStringLiteral("Для Хранения"));
    EXPECT_TRUE(f.Settings.StartFolder.ends_with('/'));
    EXPECT_FALSE(f.Edit1->isEnabled());
    EXPECT_TRUE(f.DateTimePicker1->isEnabled());
    EXPECT_TRUE(f.DateTimePicker2->isEnabled());
    EXPECT_FALSE(f.cbDirect->isEnabled());
    EXPECT_TRUE(f.TimeEdit1->isEnabled());
    EXPECT_EQ(f.TimeEdit1->text(), QStringLiteral("00:00:00"));
    EXPECT_FALSE(f.SpeedButton1->isEnabled());
    EXPECT_FALSE(f.Gauge1Action->isVisible());
    EXPECT_EQ(f.TrackBar1->value(), 80);
    EXPECT_EQ(f.Label2->text(), QStringLiteral("80 %"));
    EXPECT_EQ(f.Edit2->text(), QStringLiteral("yy.mm.dd  hh_nn_ss"));
    EXPECT_TRUE(f.CheckBox3->isChecked());
    EXPECT_TRUE(f.cbEXIF->isChecked());
    EXPECT_EQ(f.Label4->text(), QStringLiteral("Всего файлов:"));
    EXPECT_TRUE(f.StatusPanel0->text().isEmpty());
    EXPECT_EQ(f.Image1->size(), QSize(105, 105));

    // The mosaic entries refuse without a picture, all four alike.
    f.N2->trigger();
    f.N11->trigger();
    f.ToolButton4->click();
    f.ToolButton5->click();
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
                          {1, 80, 1, true, "yy.mm.dd  hh_nn_ss"}};
    App app;
    auto& f = app.Form1();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Entry);
        // Leave the date tick, own text and rename tick off the preset's values.
        f.CheckBox1->setChecked(false);
        f.Edit1->setText(QStringLiteral("мой текст"));
        f.CheckBox3->setChecked(false);
        f.ComboBox1->setEditText(QStringLiteral("что-то"));
        EXPECT_EQ(f.Settings.DateSource, -1);

        f.cbConf->setCurrentIndex(c.Entry);
        EXPECT_EQ(f.TrackBar1->value(), c.Quality);
        EXPECT_EQ(f.Label2->text(), QString::number(c.Quality) + QStringLiteral(" %"));
        EXPECT_EQ(f.ComboBox1->currentIndex(), c.Source);
        EXPECT_EQ(f.Settings.DateSource, c.Source);
        EXPECT_TRUE(f.CheckBox1->isChecked());
        EXPECT_TRUE(f.Settings.DateMode);
        EXPECT_FALSE(f.Edit1->isEnabled());
        EXPECT_TRUE(f.Edit1->text().isEmpty());
        EXPECT_TRUE(f.CheckBox3->isChecked());
        EXPECT_TRUE(f.Edit2->isEnabled());
        EXPECT_EQ(f.cbEXIF->isChecked(), c.Exif);
        EXPECT_EQ(f.Edit2->text(), QString::fromUtf8(c.Mask));
    }
    // An edited preset text changes nothing.
    f.TrackBar1->setValue(33);
    f.cbConf->setEditText(QStringLiteral("Другое"));
    EXPECT_EQ(f.TrackBar1->value(), 33);
}

TEST(MainWindow, SwitchesKeepTheirEnabledStates)
{
    App app;
    auto& f = app.Form1();
    f.CheckBox1->click();
    EXPECT_FALSE(f.Settings.DateMode);
    EXPECT_TRUE(f.Edit1->isEnabled());
    EXPECT_FALSE(f.DateTimePicker1->isEnabled());
    EXPECT_FALSE(f.DateTimePicker2->isEnabled());

    f.CheckBox2->setChecked(true);
    EXPECT_TRUE(f.Settings.Transparent);
    EXPECT_EQ(f.Settings.BackgroundStyle, TBrushStyle::Cross);
    EXPECT_FALSE(f.BitBtn3->isEnabled());
    f.CheckBox2->setChecked(false);
    EXPECT_EQ(f.Settings.BackgroundStyle, TBrushStyle::Solid);
    EXPECT_TRUE(f.BitBtn3->isEnabled());

    f.CheckBox3->setChecked(false);
    EXPECT_FALSE(f.Edit2->isEnabled());
    f.cbPogr->setChecked(true);
    EXPECT_TRUE(f.cbDirect->isEnabled());
    EXPECT_TRUE(f.TimeEdit1->isEnabled());
    f.cbPogr->setChecked(false);
    EXPECT_FALSE(f.cbDirect->isEnabled());
    EXPECT_FALSE(f.TimeEdit1->isEnabled());

    f.ComboBox1->setCurrentIndex(2);
    EXPECT_EQ(f.Settings.DateSource, 2);
}

TEST(MainWindow, MenuAndToolbarEntriesRunTheControlsHandlers)
{
    App app;
    auto& f = app.Form1();
    const QString start = QString::fromStdString(f.Settings.StartFolder);
    f.Button1->click();
    f.N3->trigger();
    f.ToolButton7->click();
    EXPECT_EQ(app.Dialogs.OpenStarts, QStringList(3, start));

    f.Button3->click();
    f.N4->trigger();
    f.ToolButton8->click();
    EXPECT_EQ(app.Dialogs.SaveExtensions, QStringList(3, QStringLiteral("jpg")));

    f.Button4->click();
    f.N8->trigger();
    f.ToolButton11->click();
    EXPECT_EQ(app.Dialogs.FolderTitles, QStringList(3, QStringLiteral("Select folder")));
    EXPECT_EQ(app.Dialogs.FolderStarts, QStringList(3, start));
    EXPECT_TRUE(app.Dialogs.Messages.isEmpty());  // every dialog was cancelled

    // The colour and font buttons keep what the user confirms.
    app.Dialogs.ColorAnswers = {QColor(1, 2, 3), std::nullopt, QColor(9, 8, 7)};
    f.BitBtn1->click();
    f.BitBtn3->click();
    f.BitBtn3->click();
    EXPECT_EQ(f.ColorDialog1Color, QColor(1, 2, 3));
    EXPECT_EQ(f.ColorDialog2Color, QColor(9, 8, 7));
    QFont chosen(QStringLiteral("DejaVu Serif"));
    chosen.setPixelSize(20);
    app.Dialogs.FontAnswers = {chosen};
    f.BitBtn2->click();
    EXPECT_EQ(f.CurrentStamp().Font.Family, "DejaVu Serif");
    EXPECT_EQ(f.CurrentStamp().Font.PixelHeight, 20);
}

TEST(MainWindow, LoadShowsSizeFolderDateAndCorrection)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    f.cbPogr->setChecked(true);
    f.TimeEdit1->setText(QStringLiteral("01:00:00"));
    LoadInto(app, MakeJpeg(dir / "photo.jpg", 40, 30));

    EXPECT_TRUE(app.Dialogs.Messages.isEmpty()) << app.Dialogs.Messages.join('|').toStdString();
    EXPECT_EQ(f.StatusPanel0->text(), QStringLiteral("40 на 30"));
    EXPECT_EQ(f.StatusPanel1->text(), Q(dir.path()) + '/');
    EXPECT_EQ(f.Image1->size(), QSize(40, 30));
    EXPECT_EQ(f.Settings.PictureWidth, 40);
    EXPECT_EQ(f.Settings.PictureHeight, 30);
    EXPECT_EQ(f.Memo1->blockCount(), 1);  // no EXIF: the report is an empty line

    // Label1 and the pickers hold the uncorrected date, Panel4 the corrected one.
    const TDateTime date = PickerValue(f);
    EXPECT_EQ(f.Label1->text().toStdString(), ui::FormatDate("dd.mm.yyyy hh:nn:ss", date));
    EXPECT_EQ(f.Panel4->text().toStdString(), ui::FormatDate("dd.mm.yyyy hh:nn:ss", date + 1.0 / 24));

    // Editing the time picker rewrites the stamp text.
    f.DateTimePicker2->setTime(QTime(8, 15, 0));
    EXPECT_EQ(f.Label1->text(), f.DateTimePicker1->date().toString("dd.MM.yyyy") + QStringLiteral(" 08:15:00"));
}

TEST(MainWindow, LoadsACameraSampleWithItsExifDate)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    if (!ui::EngineReadsMetadata)
        GTEST_SKIP() << "the metadata reader is not wired in yet";
    App app;
    LoadInto(app, Q(CameraSamplesDir() / "Canon_40D.jpg"));
    EXPECT_EQ(app.Form1().Label1->text(), QStringLiteral("30.05.2008 15:56:01"));
    EXPECT_FALSE(app.Form1().Memo1->toPlainText().trimmed().isEmpty());
}

TEST(MainWindow, FailuresAreShownAndTheWindowCarriesOn)
{
    TempDir dir;
    WriteFile(dir / "broken.jpg", "this is no JPEG data");
    App app;
    auto& f = app.Form1();
    LoadInto(app, Q(dir / "missing.jpg"));
    LoadInto(app, Q(dir / "broken.jpg"));
    ASSERT_EQ(app.Dialogs.Messages.size(), 2);
    EXPECT_TRUE(app.Dialogs.Messages[0].startsWith(QStringLiteral("Cannot open file \""))) << app.Dialogs.Messages[0].toStdString();
    EXPECT_TRUE(app.Dialogs.Messages[1].startsWith(QStringLiteral("JPEG error #"))) << app.Dialogs.Messages[1].toStdString();
    EXPECT_TRUE(f.StatusPanel0->text().isEmpty());

    // A correction text that does not convert stops picture information at Panel4.
    f.cbPogr->setChecked(true);
    f.TimeEdit1->setText(QStringLiteral("24:00:00"));
    f.Panel4->setText(QStringLiteral("earlier"));
    LoadInto(app, MakeJpeg(dir / "ok.jpg", 8, 8));
    ASSERT_EQ(app.Dialogs.Messages.size(), 3);
    EXPECT_EQ(app.Dialogs.Messages[2], QStringLiteral("'24:00:00' is not a valid date and time"));
    EXPECT_EQ(f.Panel4->text(), QStringLiteral("earlier"));
    EXPECT_FALSE(f.Label1->text().isEmpty());
}

TEST(MainWindow, StampIsOpaqueOrTransparent)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    LoadInto(app, MakeJpeg(dir / "red.jpg", 120, 40, Qt::red));
    const QImage before = f.CurrentPicture().copy();
    app.Dialogs.ColorAnswers = {QColor(0, 255, 0)};
    f.BitBtn3->click();  // green background
    f.SpinEdit1->setValue(5);
    f.SpinEdit2->setValue(6);

    f.N7->trigger();
    const QImage opaque = f.CurrentPicture().copy();
    EXPECT_GT(CountColour(opaque, qRgb(0, 255, 0), opaque.rect()), 20);
    EXPECT_EQ(CountColour(opaque, qRgb(0, 255, 0), QRect(0, 0, 5, 40)), 0);  // left of X
    EXPECT_EQ(opaque.copy(0, 0, 120, 6), before.copy(0, 0, 120, 6));         // above Y

    f.Image1->SetPicture(before);
    f.CheckBox2->setChecked(true);
    f.ToolButton9->click();
    const QImage transparent = f.CurrentPicture();
    EXPECT_EQ(CountColour(transparent, qRgb(0, 255, 0), transparent.rect()), 0);
    EXPECT_NE(transparent, before);  // the glyphs are there

    // Own text mode with an empty text leaves the picture as it is.
    f.Image1->SetPicture(before);
    f.CheckBox1->setChecked(false);
    f.Button2->click();
    EXPECT_EQ(f.CurrentPicture(), before);
}

TEST(MainWindow, FrameDrawsThreeRings)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    LoadInto(app, MakeJpeg(dir / "white.jpg", 20, 10));
    const QImage before = f.CurrentPicture().copy();
    f.ToolButton13->click();
    const QImage& p = f.CurrentPicture();
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
    LoadInto(app, MakeJpeg(dir / "small.jpg", 30, 20));
    const QImage before = f.CurrentPicture().copy();
    f.ToolButton1->click();
    EXPECT_TRUE(f.Settings.Stretched);
    EXPECT_EQ(f.Image1->size(), f.ScrollBox1->size() - QSize(6, 6));
    EXPECT_EQ(f.CurrentPicture(), before);  // only the view changes

    // Stamping while stretched lands on the same picture pixels.
    f.SpinEdit1->setValue(2);
    f.Button2->click();
    const QImage stretchedStamp = f.CurrentPicture().copy();
    f.N9->trigger();
    EXPECT_FALSE(f.Settings.Stretched);
    EXPECT_EQ(f.Image1->size(), QSize(30, 20));
    f.Image1->SetPicture(before);
    f.Button2->click();
    EXPECT_EQ(f.CurrentPicture(), stretchedStamp);
}

TEST(MainWindow, SaveWritesAPlainJpegWithTheDefaultExtension)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    LoadInto(app, MakeJpeg(dir / "in.jpg", 64, 48, QColor(10, 120, 200)));
    app.Dialogs.SaveAnswers = {Q(dir / "out"), Q(dir / "low.jpg")};
    f.Button3->click();
    f.TrackBar1->setValue(0);
    f.ToolButton8->click();
    ASSERT_TRUE(std::filesystem::exists(dir / "out.jpg"));
    const std::string bytes = ReadFile(dir / "out.jpg");
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xD8", 2));
    EXPECT_EQ(bytes.find("Exif"), std::string::npos);
    EXPECT_EQ(QImage(Q(dir / "out.jpg")).size(), QSize(64, 48));
    EXPECT_LT(std::filesystem::file_size(dir / "low.jpg"), std::filesystem::file_size(dir / "out.jpg") + 1);

    // A path that cannot be created is reported.
    app.Dialogs.SaveAnswers = {Q(dir / "no-such-folder" / "x.jpg")};
    f.N4->trigger();
    ASSERT_EQ(app.Dialogs.Messages.size(), 1);
    EXPECT_TRUE(app.Dialogs.Messages[0].startsWith(QStringLiteral("Cannot create file \"")));
}

TEST(MainWindow, BatchStoppedAfterTheFirstFile)
{
    TempDir dir;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        MakeJpeg(dir / name, 32, 24, Qt::gray);
    App app;
    auto& f = app.Form1();
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    struct Seen {
        bool Button4 = true, Panel3 = true, Pickers = true, Stop = false, Gauge = false;
    } seen;
    QObject::connect(f.Memo1, &QPlainTextEdit::textChanged, [&] {
        seen = {f.Button4->isEnabled(), f.ExPanel3->isEnabled(), f.DateTimePicker1->isEnabled(),
                f.SpeedButton1->isEnabled(), f.Gauge1Action->isVisible()};
        if (f.SpeedButton1->isEnabled())
            f.SpeedButton1->click();
    });
    f.Button4->click();

    EXPECT_FALSE(seen.Button4);
    EXPECT_FALSE(seen.Panel3);
    EXPECT_FALSE(seen.Pickers);
    EXPECT_TRUE(seen.Stop);
    EXPECT_TRUE(seen.Gauge);
    EXPECT_EQ(app.Dialogs.Messages, QStringList{BatchDone});
    EXPECT_EQ(f.Label4->text(), QStringLiteral("Всего файлов:3"));
    EXPECT_EQ(f.Label5->text(), QStringLiteral("Обрабатывается:1"));
    EXPECT_TRUE(f.StatusPanel1->text().startsWith(QStringLiteral("Заняло 00:00:0")));
    EXPECT_EQ(f.Memo1->blockCount(), 1);
    int written = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "Dated")) {
        ++written;
        EXPECT_EQ(e.path().extension(), ".jpg");
    }
    EXPECT_EQ(written, 1);
    // Everything is back as before the run.
    EXPECT_TRUE(f.Button4->isEnabled());
    EXPECT_TRUE(f.ExPanel3->isEnabled());
    EXPECT_TRUE(f.DateTimePicker1->isEnabled());
    EXPECT_FALSE(f.SpeedButton1->isEnabled());
    EXPECT_FALSE(f.Gauge1Action->isVisible());
}

TEST(MainWindow, BatchOverAnEmptyFolderAndCounting)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    f.ToolButton11->click();
    EXPECT_EQ(f.Label4->text(), QStringLiteral("Всего файлов:0"));
    EXPECT_EQ(f.StatusPanel1->text(), QStringLiteral("Заняло 00:00:00"));
    EXPECT_EQ(app.Dialogs.Messages, QStringList{BatchDone});
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Dated"));

    MakeJpeg(dir / "one.jpg", 4, 4);
    MakeJpeg(dir / "two.JPG", 4, 4);
    WriteFile(dir / "three.png", "x");
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    f.ToolButton14->click();
    EXPECT_EQ(f.StatusPanel1->text(), QStringLiteral("2"));
    EXPECT_EQ(f.Settings.FileCount, 2);
}

TEST(MainWindow, OpeningTheMosaicModallyUnstretchesTheView)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    LoadInto(app, MakeJpeg(dir / "p.jpg", 50, 40));
    f.ToolButton1->click();
    f.N2->trigger();
    EXPECT_EQ(app.Dialogs.ModalShown, 1);
    EXPECT_FALSE(f.Settings.Stretched);
    EXPECT_EQ(f.Image1->size(), QSize(50, 40));
    EXPECT_EQ(app.Form2().Label3->text(), QStringLiteral("50 на 40"));
    app.Form2().hide();

    // The modeless entry leaves the view as it is.
    f.ToolButton1->click();
    f.N11->trigger();
    EXPECT_TRUE(app.Form2().isVisible());
    EXPECT_TRUE(f.Settings.Stretched);
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
    EXPECT_EQ(ui::TAboutBox::MemoryLoadText(42), QStringLiteral("42 %"));

    const QString first = about.PhysMem->text();
    app.Form1().About1->trigger();
    about.BitBtn1->click();
    app.Form1().About1->trigger();
    EXPECT_EQ(app.Dialogs.ModalShown, 2);
    EXPECT_EQ(about.PhysMem->text(), first);
    EXPECT_FALSE(about.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST(MainWindow, ExitClosesEverythingEvenWithTheMosaicOpen)
{
    TempDir dir;
    App app;
    auto& f = app.Form1();
    LoadInto(app, MakeJpeg(dir / "p.jpg", 8, 8));
    f.ToolButton5->click();
    ASSERT_TRUE(app.Form2().isVisible());
    QSignalSpy closed(&f, &ui::TForm1::Closed);
    f.Close1->trigger();
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
    auto& f = app.Form1();
    app.Dialogs.FolderAnswers = {Q(dir.path()), Q(dir.path())};
    bool asked = false;
    QObject::connect(f.Memo1, &QPlainTextEdit::textChanged, [&] {
        if (!asked) {
            asked = true;
            f.N8->trigger();  // the menu entry stays live during the run
        }
    });
    f.Button4->click();
    EXPECT_EQ(app.Dialogs.FolderTitles.size(), 1);  // the second run never opened its chooser
    EXPECT_EQ(f.Memo1->blockCount(), 2);
    EXPECT_EQ(app.Dialogs.Messages, QStringList{BatchDone});
}

TEST(MainWindow, ABatchThatFailsShowsTheErrorAndGivesTheControlsBack)
{
    TempDir dir;
    WriteFile(dir / "broken.jpg", "no JPEG here");
    App app;
    auto& f = app.Form1();
    app.Dialogs.FolderAnswers = {Q(dir.path())};
    f.Button4->click();
    ASSERT_EQ(app.Dialogs.Messages.size(), 1);
    EXPECT_TRUE(app.Dialogs.Messages[0].startsWith(QStringLiteral("JPEG error #")))
        << app.Dialogs.Messages[0].toStdString();
    EXPECT_TRUE(f.Button4->isEnabled());
    EXPECT_TRUE(f.ExPanel3->isEnabled());
    EXPECT_FALSE(f.SpeedButton1->isEnabled());
    EXPECT_FALSE(f.Gauge1Action->isVisible());
    EXPECT_FALSE(f.BatchRunning());
}
