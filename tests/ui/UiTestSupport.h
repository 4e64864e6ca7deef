#pragma once
// Scripted dialogs and helpers for driving the real windows on the offscreen platform.
#include "platform/FormatSettings.h"
#include "ui/Dialogs.h"
#include "ui/Startup.h"
#include "support/TestSupport.h"

#include <QDialog>
#include <QImage>
#include <QStringList>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>

namespace morvik::test {

// Answers each dialog from a queue; an empty queue answers "cancelled".
class ScriptedDialogs : public ui::IDialogs {
public:
    std::deque<std::optional<QString>> OpenAnswers, SaveAnswers, FolderAnswers;
    std::deque<std::optional<QColor>> ColorAnswers;
    // A font answer of the family AsOffered confirms the font offered, unchanged.
    static inline const QString AsOffered = QStringLiteral("<as offered>");
    std::deque<std::optional<QFont>> FontAnswers;
    QStringList Messages, OpenStarts, SaveExtensions, FolderTitles, FolderStarts, ColorTitles;
    QList<QFont> FontsOffered;
    int ModalShown = 0;
    std::function<void(QDialog&)> OnModal;

    std::optional<QString> OpenPicture(QWidget*, const QString& start) override
    {
        OpenStarts << start;
        return Take(OpenAnswers);
    }
    std::optional<QString> SavePicture(QWidget*, const QString& ext) override
    {
        SaveExtensions << ext;
        return Take(SaveAnswers);
    }
    std::optional<QColor> ChooseColor(QWidget*, const QColor&, const QString& title) override
    {
        ColorTitles << title;
        return Take(ColorAnswers);
    }
    std::optional<QFont> ChooseFont(QWidget*, const QFont& initial) override
    {
        FontsOffered << initial;
        std::optional<QFont> answer = Take(FontAnswers);
        if (answer && answer->family() == AsOffered)
            return initial;
        return answer;
    }
    std::optional<QString> ChooseFolder(QWidget*, const QString& title, const QString& start) override
    {
        FolderTitles << title;
        FolderStarts << start;
        return Take(FolderAnswers);
    }
    void Message(QWidget*, const QString& text) override { Messages << text; }
    int ShowModal(QDialog& dialog) override
    {
        ++ModalShown;
        dialog.show();
        if (OnModal)
            OnModal(dialog);
        return QDialog::Accepted;
    }

private:
    template <typename T>
    static std::optional<T> Take(std::deque<std::optional<T>>& queue)
    {
        if (queue.empty())
            return std::nullopt;
        std::optional<T> answer;
        answer.swap(queue.front());
        queue.pop_front();
        return answer;
    }
};

// The main window's widgets and records, for the tests alone.
struct Form1Access {
    static auto& Widgets(ui::MainWindow& form) { return form.w; }
    static StampSettings& Settings(ui::MainWindow& form) { return form.settings_; }
    static ui::WindowState& Window(ui::MainWindow& form) { return form.window_; }
};

// The three windows made as start-up makes them, the main one shown with `arguments`.
struct App {
    ScopedFormatSettings English;  // the windows' regional settings, the earlier ones given back at the end
    ScriptedDialogs Dialogs;
    std::unique_ptr<ui::Windows> Windows;
    ui::MainWindow& Form1() { return *Windows->Form1; }
    auto& W() { return Form1Access::Widgets(Form1()); }
    ui::MosaicWindow& Form2() { return *Windows->Form2; }
    explicit App(const QStringList& arguments = {});
    ~App();
};

// A JPEG of `w` x `h` pixels filled with `colour`, written at quality 95.
QString MakeJpeg(const std::filesystem::path& path, int w, int h, QColor colour = Qt::white);
QString Q(const std::filesystem::path& path);

}  // namespace morvik::test
