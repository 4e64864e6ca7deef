#pragma once
// The modal folder chooser: opens at a given folder, answers the folder the user
// confirmed, or nothing when the user cancelled.
#include <QString>
#include <optional>

class QWidget;

namespace morvik::ui {

// The chooser's title, "Select folder".
QString FolderChooserTitle();

std::optional<QString> ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder);

}  // namespace morvik::ui
