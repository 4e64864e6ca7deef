#include "platform/FormatSettings.h"
#include "ui/Icons.h"
#include "ui/Startup.h"

#include <csignal>
#include <QApplication>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sessions without a login manager (a root shell, Xvfb) have no XDG_RUNTIME_DIR; give Qt
// the private folder it would fall back to anyway, so it starts without a warning.
void EnsureRuntimeDir()
{
    if (std::getenv("XDG_RUNTIME_DIR"))
        return;
    const std::string dir = "/tmp/runtime-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
        (st.st_mode & 0077) == 0)
        ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 0);
}

}  // namespace

int main(int argc, char** argv)
{
    EnsureRuntimeDir();
    // A write past the file size limit fails with "File too large" like any write error.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvik"));
    QApplication::setWindowIcon(morvik::ui::ToolbarIcon(9));
    // The program ends when the main window closes, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    morvik::FillFormatSettingsFromLocale();
    morvik::ui::InstallQtTranslations(QLocale());

    morvik::ui::QtDialogs dialogs;
    morvik::ui::Windows windows(dialogs);
    QObject::connect(windows.Form1.get(), &morvik::ui::TForm1::Closed, &app, &QApplication::quit);
    windows.Show(QApplication::arguments());
    return app.exec();
}
