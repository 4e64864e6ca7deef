// The window takes a HEIF photo as it takes a JPEG: upright, dated by its EXIF item.
#include "UiTestSupport.h"
#include "support/ExifBuilder.h"
#include "support/TestHeif.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace morvik;
using namespace morvik::test;

TEST(MainWindow, LoadsAHeifUprightWithItsExifDate)
{
    TempDir dir;
    ExifBuilder b(false);
    const int exif = b.AddIfd();
    b.Short(0, 0x0112, {1});
    b.Pointer(0, 0x8769, exif);
    b.Ascii(exif, 0x9003, "2021:06:01 18:04:33");
    HeifFixture fixture;
    fixture.Transform = 6;
    fixture.ExifItem = ExifItemOf(b.Tiff());
    WriteFile(dir / "IMG_0001.HEIC", MakeHeif(fixture));
    WriteFile(dir / "broken.heic", "no picture");
    App app;
    app.Dialogs.OpenAnswers.push_back(Q(dir / "IMG_0001.HEIC"));
    app.W().loadButton->click();
    EXPECT_TRUE(app.Dialogs.Messages.isEmpty()) << app.Dialogs.Messages.join('|').toStdString();
    EXPECT_EQ(app.W().sizeStatus->text(), QStringLiteral("48 на 64"));
    EXPECT_EQ(app.W().dateLabel->text(), QStringLiteral("01.06.2021 18:04:33"));

    app.Dialogs.OpenAnswers.push_back(Q(dir / "broken.heic"));
    app.W().loadButton->click();
    ASSERT_EQ(app.Dialogs.Messages.size(), 1);
    EXPECT_TRUE(app.Dialogs.Messages[0].startsWith(QStringLiteral("Cannot read HEIF file \"")))
        << app.Dialogs.Messages[0].toStdString();
}
