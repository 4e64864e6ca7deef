#include "platform/FormatSettings.h"
#include "ui/Icons.h"
#include "ui/Startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvik"));
    QApplication::setWindowIcon(morvik::ui::ToolbarIcon(9));
    // The program ends when the main window closes, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    morvik::FillFormatSettingsFromLocale();

    morvik::ui::QtDialogs dialogs;
    morvik::ui::Windows windows(dialogs);
    QObject::connect(windows.Form1.get(), &morvik::ui::TForm1::Closed, &app, &QApplication::quit);
    windows.Form1->show();
    return app.exec();
}
