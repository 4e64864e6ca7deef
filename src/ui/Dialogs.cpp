#include "ui/Dialogs.h"

#include "ui/widgets/FolderChooser.h"

#include <QCoreApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>

namespace morvik::ui {

std::optional<QString> QtDialogs::OpenPicture(QWidget* parent, const QString& startFolder)
{
    QFileDialog dialog(parent, QString(), startFolder,
                       QObject::tr("JPEG (*.jpg *.jpeg *.jpe *.JPG *.JPEG);;"
                                   "HEIF (*.heic *.heif *.HEIC *.HEIF);;Все файлы (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtDialogs::SavePicture(QWidget* parent, const QString& defaultExtension)
{
    const QString filter = defaultExtension == QLatin1String("pdf") ? QObject::tr("PDF (*.pdf);;Все файлы (*)")
                                                                    : QObject::tr("JPEG (*.jpg *.jpeg);;Все файлы (*)");
    QFileDialog dialog(parent, QString(), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QColor> QtDialogs::ChooseColor(QWidget* parent, const QColor& initial, const QString& title)
{
    QColor c = QColorDialog::getColor(initial, parent, title);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

std::optional<QFont> QtDialogs::ChooseFont(QWidget* parent, const QFont& initial)
{
    bool ok = false;
    QFont f = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return f;
}

std::optional<QString> QtDialogs::ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder)
{
    return ui::ChooseFolder(parent, title, startFolder);
}

void QtDialogs::Message(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}

int QtDialogs::ShowModal(QDialog& dialog) { return dialog.exec(); }

QString WithDefaultExtension(const QString& path, const QString& extension)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + '.' + extension;
}

}  // namespace morvik::ui
