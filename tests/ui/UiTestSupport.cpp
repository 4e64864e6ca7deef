#include "UiTestSupport.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace morvik::test {

App::App(const QStringList& arguments)
{
    Windows = std::make_unique<ui::Windows>(Dialogs);
    Windows->Show(QStringList{QStringLiteral("morvik")} + arguments);
    QApplication::processEvents();
}

App::~App()
{
    Windows->Form2->hide();
    Windows->Form1->hide();
}

QString Q(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

QString MakeJpeg(const std::filesystem::path& path, int w, int h, QColor colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    const QString name = Q(path);
    EXPECT_TRUE(image.save(name, "JPG", 95));
    return name;
}

}  // namespace morvik::test

// The window tests need an application object before any widget is made.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
