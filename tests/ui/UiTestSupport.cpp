#include "UiTestSupport.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <unistd.h>

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

// The window tests need an application object before any widget is made. They run on an
// offscreen screen of 800 by 500, smaller than the windows' design sizes, as a 1600 by
// 1000 screen is at 200 % scaling.
int main(int argc, char** argv)
{
    const std::filesystem::path screen =
        std::filesystem::temp_directory_path() / ("morvik-ui-tests-screen-" + std::to_string(::getpid()) + ".json");
    morvik::test::WriteFile(screen, R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 800, "height": 500,
                                        "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QByteArray::fromStdString(screen.string()));
    QApplication app(argc, argv);
    std::filesystem::remove(screen);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
