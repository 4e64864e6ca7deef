#pragma once
// The command line of `morvik`: a picture to open in the main window, or `--batch` with
// folders and files to stamp in the compact batch window; `--help` and `--version` answer on
// standard output without opening a window (and without a display).
#include <QString>
#include <QStringList>

namespace morvik::ui {

enum class ProgramAction { OpenWindow, Batch, Help, Version, UsageError };

struct ProgramOptions {
    ProgramAction Action = ProgramAction::OpenWindow;
    QStringList Paths;  // the picture to open, or the folders and files of the batch
    QString Error;      // why the command line was refused (UsageError)
    // The refusal is only about options it does not know, which may be Qt's own (-platform).
    bool OnlyUnknownOptions = false;
};

// `arguments` as main() gets them, the program's name first.
ProgramOptions ParseProgramOptions(const QStringList& arguments);
QString ProgramHelpText();
QString ProgramVersionText();

}  // namespace morvik::ui
