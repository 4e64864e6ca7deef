#include "ui/widgets/FolderChooser.h"

#include <QCoreApplication>
#include <QFileDialog>

namespace morvik::ui {

QString FolderChooserTitle() { return QCoreApplication::translate("FolderChooser", "Select folder"); }

std::optional<QString> ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder)
{
    QFileDialog dialog(parent, title, startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace morvik::ui
