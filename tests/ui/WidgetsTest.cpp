#include "ui/Dialogs.h"
#include "ui/widgets/BarGauge.h"
#include "ui/widgets/RollUpPanel.h"
#include "ui/widgets/TimeEdit.h"

#include <QSignalSpy>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace morvik::ui;

TEST(TimeEdit, KeysKeepATimeOfDay)
{
    struct Case {
        const char* Start;
        int Caret;
        const char* Keys;
        const char* Expected;
    };
    const Case cases[] = {
        {"00:00:00", 0, "235959", "23:59:59"},
        {"00:00:00", 0, "24", "24:00:00"},
        {"00:00:00", 0, "25", "20:00:00"},  // 25 hours refused
        {"00:00:00", 3, "6", "00:00:00"},   // 60 minutes refused
        {"00:00:00", 6, "6", "00:00:00"},   // 60 seconds refused
        {"00:00:00", 0, "1a2b", "12:00:00"},  // letters never enter
        {"24:00:00", 3, "1", "24:00:00"},   // 24 only with 00:00
        {"00:00:00", 2, "5", "00:50:00"},   // the caret skips the colon
        {" 1:00:00", 0, "2", "21:00:00"},   // a blank hour digit is read as 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Start) + " + " + c.Keys);
        TimeEdit edit;
        edit.setText(QString::fromLatin1(c.Start));
        edit.setCursorPosition(c.Caret);
        QTest::keyClicks(&edit, QString::fromLatin1(c.Keys));
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.Expected));
    }
}

TEST(TimeEdit, BackspaceLeavesABlankAndTheShape)
{
    TimeEdit edit;
    edit.setText(QStringLiteral("12:34:56"));
    edit.setCursorPosition(8);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), QStringLiteral("12:34:5 "));
    edit.setCursorPosition(3);
    QTest::keyClick(&edit, Qt::Key_Backspace);  // over the colon to the hour digit
    EXPECT_EQ(edit.text(), QStringLiteral("1 :34:5 "));
    EXPECT_FALSE(TimeEdit::Acceptable(QStringLiteral("12:34")));
    EXPECT_FALSE(TimeEdit::Acceptable(QStringLiteral("12-34-56")));
}

TEST(BarGauge, PercentIsCutToAWholeNumber)
{
    struct Case {
        int Min, Max, Progress;
        const char* Text;
    };
    const Case cases[] = {{0, 100, 0, "0%"}, {0, 100, 50, "50%"}, {0, 3, 1, "33%"},
                          {0, 3, 2, "66%"},  {5, 5, 5, "0%"},     {0, 12, 12, "100%"}};
    for (const Case& c : cases) {
        BarGauge g;
        g.SetMinValue(c.Min);
        g.SetMaxValue(c.Max);
        g.SetProgress(c.Progress);
        EXPECT_EQ(g.Text(), QString::fromLatin1(c.Text)) << c.Min << " " << c.Max << " " << c.Progress;
    }
}

TEST(BarGauge, TextIsReadableOverBothParts)
{
    BarGauge g;
    g.resize(200, 22);
    g.SetProgress(50);
    const QImage image = g.grab().toImage();
    // Left of the middle the bar is black and the text white; right of it the reverse.
    int whiteOnLeft = 0, blackOnRight = 0;
    for (int y = 4; y < 18; ++y)
        for (int x = 70; x < 130; ++x) {
            const QRgb p = image.pixel(x, y) & 0xFFFFFF;
            if (x < 99 && qGray(p) > 128)
                ++whiteOnLeft;
            if (x > 101 && qGray(p) < 128)
                ++blackOnRight;
        }
    EXPECT_GT(whiteOnLeft, 0);
    EXPECT_GT(blackOnRight, 0);
}

TEST(RollUpPanel, RollsAndRestoresItsHeight)
{
    RollUpPanel panel(QStringLiteral("Погрешность"), 84);
    QSignalSpy spy(&panel, &RollUpPanel::RolledChanged);
    panel.SetRolled(false);  // already expanded: nothing happens
    EXPECT_EQ(spy.count(), 0);
    panel.SetRolled(true);
    EXPECT_EQ(panel.height(), 21);
    EXPECT_TRUE(panel.Client()->isHidden());
    panel.SetRolled(true);
    EXPECT_EQ(spy.count(), 1);
    panel.SetRolled(false);
    EXPECT_EQ(panel.height(), 84);
    EXPECT_FALSE(panel.Client()->isHidden());
}

TEST(RollUpPanel, TheCaptionTakesTheFocusAndRollsWithTheKeyboard)
{
    QWidget window;
    auto* before = new QLineEdit(&window);
    auto* panel = new RollUpPanel(QStringLiteral("Погрешность"), 84, &window);
    panel->move(0, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    EXPECT_TRUE(panel->hasFocus());
    QTest::keyClick(panel, Qt::Key_Space);
    EXPECT_TRUE(panel->Rolled());
    QTest::keyClick(panel, Qt::Key_Return);
    EXPECT_FALSE(panel->Rolled());
}

TEST(Dialogs, DefaultExtensionOnlyWhenThereIsNone)
{
    EXPECT_EQ(WithDefaultExtension("/tmp/a", "jpg"), QStringLiteral("/tmp/a.jpg"));
    EXPECT_EQ(WithDefaultExtension("/tmp/a.png", "jpg"), QStringLiteral("/tmp/a.png"));
    EXPECT_EQ(WithDefaultExtension("", "jpg"), QString());
}
