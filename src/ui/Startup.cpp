#include "ui/Startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace morvik::ui {

Windows::Windows(IDialogs& dialogs)
{
    Form1 = std::make_unique<MainWindow>(dialogs);
    MainWindow* main = Form1.get();
    Form2 = std::make_unique<MosaicWindow>(dialogs, [main] {
        return MosaicWindow::Source{main->PictureCopy(), main->Window().PictureWidth, main->Window().PictureHeight};
    });
    AboutBox = std::make_unique<AboutDialog>();
    Form1->SetMosaicWindow(Form2.get());
    Form1->SetAboutDialog(AboutBox.get());
}

Windows::~Windows()
{
    Form1->SetMosaicWindow(nullptr);
    Form1->SetAboutDialog(nullptr);
}

void Windows::Show(const QStringList& arguments)
{
    Form1->show();
    if (arguments.size() > 1 && !arguments[1].isEmpty())
        Form1->OpenNamedPicture(arguments[1]);
}

QTranslator* InstallQtTranslations(const QLocale& locale)
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    // "qt" loads qtbase and the other modules' files for the locale's languages.
    if (!translator->load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

}  // namespace morvik::ui
