#pragma once
// Every dialog and message box the windows open goes through this one interface, so
// the tests can script the user's answers.
#include <QColor>
#include <QFont>
#include <QObject>
#include <QString>
#include <optional>

class QDialog;
class QWidget;

namespace morvik::ui {

class IDialogs {
public:
    virtual ~IDialogs() = default;
    virtual std::optional<QString> OpenPicture(QWidget* parent, const QString& startFolder) = 0;
    virtual std::optional<QString> SavePicture(QWidget* parent, const QString& defaultExtension) = 0;
    // `title` says which colour the dialog chooses.
    virtual std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial, const QString& title) = 0;
    virtual std::optional<QFont> ChooseFont(QWidget* parent, const QFont& initial) = 0;
    virtual std::optional<QString> ChooseFolder(QWidget* parent, const QString& title,
                                                const QString& startFolder) = 0;
    // A one-line message with an OK button; returns when the user closed it.
    virtual void Message(QWidget* parent, const QString& text) = 0;
    // Shows a window modally and returns its result.
    virtual int ShowModal(QDialog& dialog) = 0;
};

// The real dialogs of the desktop.
class QtDialogs : public IDialogs {
public:
    std::optional<QString> OpenPicture(QWidget* parent, const QString& startFolder) override;
    std::optional<QString> SavePicture(QWidget* parent, const QString& defaultExtension) override;
    std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial, const QString& title) override;
    std::optional<QFont> ChooseFont(QWidget* parent, const QFont& initial) override;
    std::optional<QString> ChooseFolder(QWidget* parent, const QString& title,
                                        const QString& startFolder) override;
    void Message(QWidget* parent, const QString& text) override;
    int ShowModal(QDialog& dialog) override;
};

// A save name typed without an extension gets the default one.
QString WithDefaultExtension(const QString& path, const QString& extension);

// Runs one event handler: an exception that reaches it is shown in a message box and
// the window carries on with its state.
template <typename F>
void RunHandler(IDialogs& dialogs, QWidget* parent, F&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        dialogs.Message(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        // The event loop is where every failure of a handler ends, whatever its type: none
        // may leave it and end the program, each is told in a message box.
        dialogs.Message(parent, QObject::tr("Unknown error"));
    }
}

}  // namespace morvik::ui
