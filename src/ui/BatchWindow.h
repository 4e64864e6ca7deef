#pragma once
// The compact window of `morvik --batch PATH...`, which the file managers' "Поставить дату
// на фото" starts: the folder batch with the default settings (those the main window starts
// with) over each folder named, and over the picked files of each folder, showing the file in
// hand, a gauge, a line per file and, at the end, the result; it stays open until the user
// closes it, so a run is never silent. Stop ends the run after the file in hand, as the main
// window's stop button does. A file that fails is listed and the run goes on.
#include <QDialog>
#include <QStringList>

#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace morvik::ui {

// One folder's run: the whole folder, or only the named entries of it.
struct TBatchJob {
    std::string Folder;
    std::vector<std::string> Names;  // empty: every picture of the folder
};

// The paths as a file manager passes them, made into runs in the order given: a folder is
// a run of its own; files join the run of their folder. Paths that are neither a folder nor
// a file land in `missing`.
std::vector<TBatchJob> BatchJobs(const QStringList& paths, QStringList& missing);

class TBatchWindow : public QDialog {
    Q_OBJECT
public:
    explicit TBatchWindow(QWidget* parent = nullptr);

    // Runs every job in turn with the window live; returns when all are done or stopped.
    // The result: 0 when every file was stamped, 1 when any failed or a path was unusable.
    int Run(const QStringList& paths);

    QLabel* Status = nullptr;           // the file in hand, then the result
    QProgressBar* Gauge = nullptr;
    QPlainTextEdit* Log = nullptr;      // one line per file, failures, passed-over names
    QPushButton* Button = nullptr;      // "Стоп" while running, "Закрыть" after
    // The user closed the window during the run: it is not shown again afterwards.
    bool CloseRequested() const { return closeRequested_; }

private:
    friend class TBatchWindowObserver;
    bool stopRequested_ = false;
    bool running_ = false;
    bool closeRequested_ = false;
    void closeEvent(QCloseEvent* event) override;
};

// `morvik --batch`: shows the window, runs, and waits for the user to close it. Gives the
// program's exit status.
int RunBatchWindow(const QStringList& paths);

}  // namespace morvik::ui
