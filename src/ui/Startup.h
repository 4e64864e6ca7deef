#pragma once
// The program's windows, made in start-up order: the main window, the mosaic window
// (hidden) and the About box (hidden, memory figures taken now).
#include "ui/AboutDialog.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"
#include "ui/MosaicWindow.h"

#include <QLocale>
#include <QStringList>
#include <memory>

class QTranslator;

namespace morvik::ui {

struct Windows {
    explicit Windows(IDialogs& dialogs);
    ~Windows();
    // Shows the main window; a picture named on the command line (the arguments after
    // the program's name, as a file manager passes them) is loaded as if chosen with
    // "Load Picture".
    void Show(const QStringList& arguments);

    std::unique_ptr<MainWindow> Form1;
    std::unique_ptr<MosaicWindow> Form2;
    std::unique_ptr<AboutDialog> AboutBox;
};

// Installs Qt's own translations (the buttons of message boxes, the file, colour and
// font dialogs) for `locale` into the application, from Qt's translations folder. Gives
// the translator, owned by the application, or nullptr where none is installed for the
// locale's language.
QTranslator* InstallQtTranslations(const QLocale& locale);

}  // namespace morvik::ui
