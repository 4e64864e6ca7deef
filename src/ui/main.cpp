#include "platform/FormatSettings.h"
#include "ui/BatchWindow.h"
#include "ui/Icons.h"
#include "ui/ProgramOptions.h"
#include "ui/Startup.h"

#include <csignal>
#include <QApplication>

#include <cstdio>
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
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // --help and --version answer before any window (and display) is asked for.
    morvik::ui::ProgramOptions options = morvik::ui::ParseProgramOptions(arguments);
    if (options.Action == morvik::ui::ProgramAction::Help) {
        std::fputs(morvik::ui::ProgramHelpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.Action == morvik::ui::ProgramAction::Version) {
        std::printf("%s\n", morvik::ui::ProgramVersionText().toLocal8Bit().constData());
        return 0;
    }
    const auto refuse = [](const morvik::ui::ProgramOptions& o) {
        std::fprintf(stderr, "morvik: %s\nRun 'morvik --help' for the usage.\n", o.Error.toLocal8Bit().constData());
        return 2;
    };
    if (options.Action == morvik::ui::ProgramAction::UsageError && !options.OnlyUnknownOptions)
        return refuse(options);
    EnsureRuntimeDir();
    // A write past the file size limit fails with "File too large" like any write error.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    // Qt takes its own options (-platform, -style…) out of the arguments; the rest are ours.
    options = morvik::ui::ParseProgramOptions(QApplication::arguments());
    if (options.Action == morvik::ui::ProgramAction::UsageError)
        return refuse(options);
    QApplication::setApplicationName(QStringLiteral("Morvik"));
    QApplication::setWindowIcon(morvik::ui::ToolbarIcon(9));
    // The program ends when the main window closes, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    morvik::FillFormatSettingsFromLocale();
    morvik::ui::InstallQtTranslations(QLocale());
    if (options.Action == morvik::ui::ProgramAction::Batch)
        return morvik::ui::RunBatchWindow(options.Paths);

    morvik::ui::QtDialogs dialogs;
    morvik::ui::Windows windows(dialogs);
    QObject::connect(windows.Form1.get(), &morvik::ui::MainWindow::Closed, &app, &QApplication::quit);
    windows.Show(QStringList{QApplication::arguments().front()} + options.Paths);
    return app.exec();
}
