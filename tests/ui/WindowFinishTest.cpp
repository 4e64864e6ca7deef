// What a user meets at the edges of the windows: whole texts and numbers, the font
// dialog's round trip, where the mosaic window opens, Qt's own texts in Russian, the
// keyboard, and a picture named on the command line.
#include "UiTestSupport.h"

#include "stamping/TextDraw.h"
#include "support/TestSupport.h"
#include "ui/EngineBridge.h"
#include "ui/PictureView.h"
#include "ui/widgets/RollUpPanel.h"
#include "ui/widgets/SpinEdit.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace morvik;
using namespace morvik::test;

namespace {

// Whether a control shows its whole text and lies across inside `area` (a viewport that
// scrolls up and down, or a panel).
void ExpectWhole(const QWidget* control, const QWidget* area)
{
    SCOPED_TRACE(control->objectName().toStdString());
    const int left = control->mapTo(area, QPoint(0, 0)).x();
    EXPECT_TRUE(left >= 0 && left + control->width() <= area->width()) << left + control->width() << " past " << area->width();
    if (auto* label = qobject_cast<const QLabel*>(control)) {
        EXPECT_GE(label->contentsRect().width(), label->fontMetrics().horizontalAdvance(label->text()))
            << label->text().toStdString();
    } else if (auto* spin = qobject_cast<const QAbstractSpinBox*>(control)) {
        const QLineEdit* edit = spin->findChild<QLineEdit*>();
        // A line edit keeps two pixels each side of its text.
        EXPECT_GE(edit->contentsRect().width() - 4, edit->fontMetrics().horizontalAdvance(edit->text()))
            << edit->text().toStdString();
    } else {
        // What Qt itself measures the control needs for its text (check box, list).
        EXPECT_GE(control->width(), control->sizeHint().width());
    }
}

}  // namespace

TEST(WindowFinish, TextsAndNumbersShowWholeForALargePicture)
{
    TempDir dir;
    App app;
    auto& w = app.W();
    for (ui::RollUpPanel* p :
         {w.batchPanel, w.picturePanel, w.stampTextPanel, w.presetPanel, w.correctionPanel, w.positionPanel})
        p->SetRolled(false);
    app.Dialogs.OpenAnswers = {MakeJpeg(dir / "big.jpg", 2048, 1536)};
    w.loadButton->click();
    w.dateSourceList->setCurrentIndex(2);  // "Date Time Digitized", the longest entry
    w.qualitySlider->setValue(100);
    w.xOffsetEdit->setValue(12345);
    w.yOffsetEdit->setValue(-1500);
    w.progressLabel->setText(QStringLiteral("Обрабатывается:12345"));
    QApplication::processEvents();

    EXPECT_EQ(app.Form1().Controls().Look.X, 12345);
    EXPECT_EQ(app.Form1().Controls().Look.Y, -1500);
    const QWidget* column = w.panelScroller->viewport();
    for (const QWidget* c : std::initializer_list<const QWidget*>{
             w.dateLabel, w.qualityLabel, w.fileCountLabel, w.progressLabel, w.qualityCaption, w.dateModeCheck,
             w.transparentCheck, w.renameCheck, w.correctionEnabled, w.exifCheck, w.dateSourceList, w.datePicker,
             w.timePicker, w.xOffsetEdit, w.yOffsetEdit, w.yCaption})
        ExpectWhole(c, column);
    EXPECT_LE(w.xOffsetEdit->geometry().right(), w.yCaption->geometry().left());
    const QFontMetrics captionFont(ui::RollUpPanel::CaptionFont());
    for (ui::RollUpPanel* p :
         {w.batchPanel, w.picturePanel, w.stampTextPanel, w.presetPanel, w.correctionPanel, w.positionPanel})
        EXPECT_LE(6 + captionFont.horizontalAdvance(p->Caption()) + ui::RollUpPanel::CaptionHeight, p->width())
            << p->Caption().toStdString();
    ExpectWhole(w.sizeStatus, w.sizeStatus->parentWidget());
    // In every panel each button shows its text whole, and no two buttons or check boxes
    // touch: a few pixels lie between them.
    for (ui::RollUpPanel* p :
         {w.batchPanel, w.picturePanel, w.stampTextPanel, w.presetPanel, w.correctionPanel, w.positionPanel}) {
        const QList<QAbstractButton*> buttons = p->Client()->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly);
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            const QAbstractButton* b = buttons[i];
            if (qobject_cast<const QPushButton*>(b))
                ExpectWhole(b, column);
            for (qsizetype j = i + 1; j < buttons.size(); ++j)
                EXPECT_FALSE(b->geometry().adjusted(-2, 0, 2, 0).intersects(buttons[j]->geometry()))
                    << buttons[i]->objectName().toStdString() << " and " << buttons[j]->objectName().toStdString();
        }
    }

    // The mosaic window's sizes for the picture and for its chart.
    auto& m = app.Form2();
    w.showMosaicToolButton->click();
    m.CellSizeEdit->setValue(1);
    m.ClearButton->click();  // "Clear" sizes the chart area and its label
    QApplication::processEvents();
    EXPECT_EQ(m.PictureSizeLabel->text(), QStringLiteral("2048 на 1536"));
    EXPECT_EQ(m.ChartSizeLabel->text(), QStringLiteral("2048 на 1536"));
    ExpectWhole(m.PictureSizeLabel, m.SizesBox);
    ExpectWhole(m.ChartSizeLabel, m.SizesBox);
    EXPECT_FALSE(m.SizesBox->geometry().intersects(m.ClearButton->geometry()));
    EXPECT_FALSE(m.SizesBox->geometry().intersects(m.CloseButton->geometry()));
}

TEST(WindowFinish, FontDialogOpensOnTheStampFontAndKeepsIt)
{
    App app;
    auto& f = app.Form1();
    const TFont start = f.Controls().Look.Font;
    app.Dialogs.FontAnswers = {QFont(ScriptedDialogs::AsOffered)};
    app.W().fontButton->click();
    ASSERT_EQ(app.Dialogs.FontsOffered.size(), 1);
    const QFont offered = app.Dialogs.FontsOffered[0];
    // The face the stamp is drawn in, bold italic, 8 points.
    EXPECT_EQ(offered.family().toStdString(), ResolvedFontFamily(start));
    EXPECT_TRUE(offered.bold());
    EXPECT_TRUE(offered.italic());
    EXPECT_EQ(offered.pointSize(), 8);
    EXPECT_EQ(f.Controls().Look.Font, start);  // OK without a change keeps the stamp

    // The real dialog selects that font, style included, and OK on its selection, here and
    // again after reopening, leaves the stamp bold italic.
    for (int round = 0; round < 2; ++round) {
        QFontDialog dialog(ui::ToQFont(f.Controls().Look.Font));
        EXPECT_EQ(ui::FromQFont(dialog.currentFont()), ui::FromQFont(offered));
        app.Dialogs.FontAnswers = {dialog.currentFont()};
        app.W().fontButton->click();
        EXPECT_EQ(f.Controls().Look.Font, start) << round;
    }
    // A family listed with its foundry is stamped in that family, and reopens on it.
    QFont withFoundry(QStringLiteral("DejaVu Serif [misc]"));
    withFoundry.setPointSize(12);
    app.Dialogs.FontAnswers = {withFoundry};
    app.W().fontButton->click();
    EXPECT_EQ(ResolvedFontFamily(f.Controls().Look.Font), "DejaVu Serif");
    app.Dialogs.FontAnswers = {QFont(ScriptedDialogs::AsOffered)};
    app.W().fontButton->click();
    EXPECT_EQ(app.Dialogs.FontsOffered.back().family(), QStringLiteral("DejaVu Serif"));
}

TEST(WindowFinish, ModelessMosaicLeavesTheMenuBarFree)
{
    App app;
    Form1Access::Window(app.Form1()).PictureWidth = 8;
    Form1Access::Window(app.Form1()).PictureHeight = 8;
    auto& m = app.Form2();
    const QWidget* bar = app.Form1().menuBar();
    app.W().showMosaicToolButton->click();
    EXPECT_FALSE(m.frameGeometry().intersects(QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size())));

    // Where the main window is elsewhere the mosaic window keeps its design place, as far
    // as the screen allows.
    App moved;
    Form1Access::Window(moved.Form1()).PictureWidth = 8;
    Form1Access::Window(moved.Form1()).PictureHeight = 8;
    moved.Form1().move(1000, 700);
    moved.W().showMosaicToolButton->click();
    const QRect area = moved.Form2().screen()->availableGeometry();
    EXPECT_EQ(moved.Form2().pos(), QPoint(std::min(234, area.right() + 1 - moved.Form2().frameGeometry().width()), 131));
}

TEST(WindowFinish, WindowsOpenInsideTheScreensAvailableArea)
{
    // The tests' screen (800 by 500) is smaller than both windows' design sizes, as a 1600
    // by 1000 screen is at 200 % scaling.
    App app;
    Form1Access::Window(app.Form1()).PictureWidth = 8;
    Form1Access::Window(app.Form1()).PictureHeight = 8;
    app.W().showMosaicToolButton->click();
    for (const QWidget* window : std::initializer_list<const QWidget*>{&app.Form1(), &app.Form2()}) {
        SCOPED_TRACE(window->objectName().toStdString());
        const QRect area = window->screen()->availableGeometry();
        ASSERT_LT(area.height(), 630);
        EXPECT_TRUE(area.contains(window->frameGeometry())) << window->frameGeometry().x() << "," << window->frameGeometry().y() << " " << window->frameGeometry().width() << "x" << window->frameGeometry().height() << " in " << area.width() << "x" << area.height();
    }
}

TEST(WindowFinish, QtDialogsSpeakRussianUnderRussianLocale)
{
    QTranslator* translator = ui::InstallQtTranslations(QLocale(QLocale::Russian, QLocale::Russia));
    ASSERT_NE(translator, nullptr) << "Qt's translations (qt6-translations-l10n) are not installed";
    QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Отмена"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

TEST(WindowFinish, ATranslationOfTheDurationNeverReachesTheDateMask)
{
    // "Elapsed" holds letters of the date mask ("d", "a", "p"); only the time is formatted.
    struct English : QTranslator {
        QString translate(const char*, const char* source, const char*, int) const override
        {
            return QString::fromUtf8(source) == QStringLiteral("Заняло %1") ? QStringLiteral("Elapsed %1") : QString();
        }
    } english;
    EXPECT_EQ(ui::DurationText(2.0 / 24 + 15.0 / 86400), QStringLiteral("Заняло 02:00:15"));
    QCoreApplication::installTranslator(&english);
    EXPECT_EQ(ui::DurationText(2.0 / 24 + 15.0 / 86400), QStringLiteral("Elapsed 02:00:15"));
    QCoreApplication::removeTranslator(&english);
}

TEST(WindowFinish, ShortcutsAndMenuAccelerators)
{
    App app;
    auto& f = app.Form1();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    QTest::keySequence(&f, QKeySequence(QStringLiteral("Ctrl+O")));
    QTest::keySequence(&f, QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_EQ(app.Dialogs.OpenStarts.size(), 1);
    EXPECT_EQ(app.Dialogs.SaveExtensions.size(), 1);

    // Every menu and every item of a menu has its own Alt letter.
    QList<QKeySequence> menuKeys;
    for (QAction* menu : f.menuBar()->actions()) {
        SCOPED_TRACE(menu->text().toStdString());
        menuKeys << QKeySequence::mnemonic(menu->text());
        EXPECT_FALSE(menuKeys.back().isEmpty());
        QList<QKeySequence> itemKeys;
        for (QAction* item : menu->menu()->actions())
            if (!item->isSeparator())
                itemKeys << QKeySequence::mnemonic(item->text());
        EXPECT_FALSE(itemKeys.contains(QKeySequence()));
        EXPECT_EQ(QSet<QKeySequence>(itemKeys.begin(), itemKeys.end()).size(), itemKeys.size());
    }
    EXPECT_EQ(QSet<QKeySequence>(menuKeys.begin(), menuKeys.end()).size(), menuKeys.size());

    QTest::keySequence(&f, QKeySequence(QStringLiteral("Ctrl+Q")));
    EXPECT_FALSE(f.isVisible());
}

TEST(WindowFinish, APictureNamedOnTheCommandLineIsLoadedAtStart)
{
    TempDir dir;
    const QString picture = MakeJpeg(dir / "from the file manager.jpg", 40, 30);
    App app({picture});
    EXPECT_TRUE(app.Dialogs.Messages.isEmpty()) << app.Dialogs.Messages.join('|').toStdString();
    EXPECT_TRUE(app.Dialogs.OpenStarts.isEmpty());  // no dialog was opened
    EXPECT_EQ(app.W().sizeStatus->text(), QStringLiteral("40 на 30"));
    EXPECT_EQ(app.W().infoStatus->text(), Q(dir.path()) + '/');
    EXPECT_FALSE(app.W().dateLabel->text().isEmpty());

    App missing({Q(dir / "gone.jpg")});
    ASSERT_EQ(missing.Dialogs.Messages.size(), 1);
    EXPECT_TRUE(missing.Dialogs.Messages[0].startsWith(QStringLiteral("Cannot open file \"")));
}
