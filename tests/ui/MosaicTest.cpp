#include "UiTestSupport.h"

#include "support/TestSupport.h"
#include "ui/PatternDialog.h"
#include "ui/PictureView.h"
#include "ui/widgets/BarGauge.h"
#include "ui/widgets/SpinEdit.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace morvik;
using namespace morvik::test;

namespace {

// Gives the main window a picture of known pixels, as a load would.
void SetSource(App& app, const QImage& picture)
{
    app.W().pictureView->SetPicture(picture);
    app.W().pictureView->resize(picture.size());
    Form1Access::Window(app.Form1()).PictureWidth = picture.width();
    Form1Access::Window(app.Form1()).PictureHeight = picture.height();
}

QImage Colours(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(20 + x * 10, 40 + y * 10, 200));
    return image;
}

QRgb At(const ui::MosaicWindow& f, int x, int y) { return f.ChartView->Picture().pixel(x, y) & 0xFFFFFF; }

}  // namespace

TEST(Mosaic, TwoByTwoAtThreeGivesCellsAndAGrid)
{
    App app;
    SetSource(app, Colours(2, 2));
    auto& m = app.Form2();
    app.W().showMosaicToolButton->click();
    EXPECT_EQ(m.PictureSizeLabel->text(), QStringLiteral("2 на 2"));
    m.BuildButton->click();
    const QImage& chart = m.ChartView->Picture();
    ASSERT_EQ(chart.size(), QSize(6, 6));
    EXPECT_EQ(m.ChartView->size(), QSize(6, 6));
    EXPECT_EQ(m.ChartSizeLabel->text(), QStringLiteral("6 на 6"));
    EXPECT_TRUE(m.DurationLabel->text().startsWith(QStringLiteral("Заняло 00:00:0")));
    EXPECT_EQ(m.ProgressGauge->Progress(), 0);
    const QImage source = Colours(2, 2);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool grid = x % 3 == 2 || y % 3 == 2;
            const QRgb expected = grid ? 0 : source.pixel(x / 3, y / 3) & 0xFFFFFF;
            EXPECT_EQ(At(m, x, y), expected) << x << "," << y;
        }
}

TEST(Mosaic, CellSizeOneGivesAWhiteChartAndZeroIsRefused)
{
    App app;
    SetSource(app, Colours(5, 4));
    auto& m = app.Form2();
    m.CellSizeEdit->setValue(1);
    m.BuildButton->click();
    ASSERT_EQ(m.ChartView->Picture().size(), QSize(5, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(At(m, x, y), 0xFFFFFFu);

    const QImage kept = m.ChartView->Picture();
    for (int bad : {0, -3}) {
        m.CellSizeEdit->setValue(bad);
        m.BuildButton->click();
        m.ClearButton->click();
    }
    EXPECT_EQ(app.Dialogs.Messages.size(), 4);
    EXPECT_EQ(m.ChartView->Picture(), kept);
    EXPECT_FALSE(m.Building());
}

TEST(Mosaic, StopEndsAfterTheColumnInHandAndOtherRequestsWait)
{
    App app;
    SetSource(app, Colours(10, 4));
    auto& m = app.Form2();
    m.CellSizeEdit->setValue(2);
    m.show();
    // Pressed while the first column's events run: a second build and a clear are
    // refused, a close waits for the build to end.
    QTimer::singleShot(0, &m, [&] {
        EXPECT_TRUE(m.Building());
        m.CellSizeEdit->setValue(7);
        m.BuildButton->click();
        m.ClearButton->click();
        m.StopButton->click();
        m.CloseButton->click();
        EXPECT_TRUE(m.isVisible());
    });
    m.BuildButton->click();
    EXPECT_FALSE(m.Building());
    EXPECT_EQ(m.CellSize(), 2);
    const QImage& chart = m.ChartView->Picture();
    ASSERT_EQ(chart.size(), QSize(20, 8));
    EXPECT_EQ(At(m, 0, 0), Colours(10, 4).pixel(0, 0) & 0xFFFFFF);  // first column painted
    EXPECT_EQ(At(m, 1, 0), 0u);                                      // its grid line
    for (int x = 2; x < 20; ++x)
        EXPECT_EQ(At(m, x, 0), 0xFFFFFFu) << x;  // the rest white
    EXPECT_TRUE(m.DurationLabel->text().startsWith(QStringLiteral("Заняло ")));
    EXPECT_EQ(m.ProgressGauge->Progress(), 0);
    QApplication::processEvents();
    EXPECT_FALSE(m.isVisible());  // the close asked for during the build
}

TEST(Mosaic, ClearAndSave)
{
    TempDir dir;
    App app;
    SetSource(app, Colours(3, 2));
    auto& m = app.Form2();
    m.BuildButton->click();
    m.CellSizeEdit->setValue(4);
    m.ClearButton->click();
    EXPECT_EQ(m.ChartSizeLabel->text(), QStringLiteral("12 на 8"));
    ASSERT_EQ(m.ChartView->Picture().size(), QSize(12, 8));
    EXPECT_EQ(At(m, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(At(m, 11, 7), 0xFFFFFFu);

    m.BuildButton->click();
    app.Dialogs.SaveAnswers = {Q(dir / "chart")};
    m.SaveButton->click();
    ASSERT_TRUE(std::filesystem::exists(dir / "chart.jpg"));
    EXPECT_EQ(QImage(Q(dir / "chart.jpg")).size(), QSize(12, 8));
    app.Dialogs.SaveAnswers = {std::nullopt};
    m.SaveButton->click();  // cancelled: nothing written
    EXPECT_TRUE(app.Dialogs.Messages.isEmpty());
}

TEST(Mosaic, PatternDialogBuildsOffTheWindowThreadAndSavesAPdf)
{
    App app;
    SetSource(app, Colours(40, 30));
    app.W().showMosaicToolButton->click();
    TempDir dir;
    const QString pdf = QString::fromStdString((dir / "pattern").string());
    app.Dialogs.SaveAnswers.push_back(pdf);
    app.Dialogs.OnModal = [&](QDialog& d) {
        auto& p = dynamic_cast<ui::PatternDialog&>(d);
        p.StitchWidth->setValue(20);
        p.Threads->setValue(5);
        p.Rebuild();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !p.Building() && p.Current(); }, 20000));
        EXPECT_EQ(p.Current()->Width, 20);
        EXPECT_EQ(p.Current()->Height, 15);
        EXPECT_LE(p.Current()->Threads.size(), 5u);
        EXPECT_FALSE(p.Preview->pixmap().isNull());
        p.PaperChoice->setCurrentIndex(p.PaperChoice->findText("Letter"));
        p.SaveButton->click();
    };
    app.Form2().PatternButton->click();
    EXPECT_EQ(app.Dialogs.ModalShown, 1);
    EXPECT_TRUE(app.Dialogs.Messages.isEmpty()) << app.Dialogs.Messages.join("; ").toStdString();
    const std::string saved = ReadFile(dir / "pattern.pdf");
    EXPECT_EQ(saved.substr(0, 5), "%PDF-");
    EXPECT_NE(saved.find("/MediaBox [ 0 0 612 792 ]"), std::string::npos) << "not on Letter sheets";
}
