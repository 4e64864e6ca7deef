#include "ui/BatchWindow.h"

#include "platform/DateTime.h"
#include "stamping/FolderBatch.h"
#include "stamping/StampSettings.h"
#include "ui/EngineBridge.h"
#include "ui/WindowFont.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <thread>

namespace morvik::ui {

namespace {

QString U(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

std::vector<TBatchJob> BatchJobs(const QStringList& paths, QStringList& missing)
{
    std::vector<TBatchJob> jobs;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            jobs.push_back({QDir::cleanPath(info.absoluteFilePath()).toStdString(), {}});
            continue;
        }
        if (!info.isFile()) {
            missing << path;
            continue;
        }
        const std::string folder = QDir::cleanPath(info.absolutePath()).toStdString();
        auto same = std::find_if(jobs.begin(), jobs.end(),
                                 [&](const TBatchJob& j) { return j.Folder == folder && !j.Names.empty(); });
        if (same == jobs.end())
            same = jobs.insert(jobs.end(), TBatchJob{folder, {}});
        same->Names.push_back(info.fileName().toStdString());
    }
    return jobs;
}

class TBatchWindowObserver : public TBatchObserver {
public:
    explicit TBatchWindowObserver(TBatchWindow& w) : w_(w) {}

    // The start values: the list stamps as a fresh window would.
    StampRequest CurrentRequest() override { return RequestFromControls(InitialStampSettings(), StampControls{}); }
    void BatchStarted(int fileCount) override
    {
        w_.Gauge->setRange(0, std::max(fileCount, 1));
        w_.Gauge->setValue(0);
        w_.Status->setText(TBatchWindow::tr("Всего файлов:") + QString::number(fileCount));
    }
    void ProcessPendingEvents() override { QApplication::processEvents(); }
    void FileStarted(const std::string& name) override { w_.Status->setText(U(name)); }
    void FileCounted(int runCounter, int) override { w_.Gauge->setValue(runCounter); }
    void FileWritten(const TBatchOutput& output) override
    {
        w_.Log->appendPlainText(U(output.SourceName) + QStringLiteral(" => ") + U(output.OutputPath) +
                                U(WayNote(output)) + DamageNote(output.Damage));
    }
    void FileFailed(const std::string&, const std::string& message) override
    {
        w_.Log->appendPlainText(U(message));
    }
    bool StopRequested() override { return w_.stopRequested_; }

private:
    TBatchWindow& w_;
};

TBatchWindow::TBatchWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName("BatchWindow");
    setWindowTitle(tr("Поставить дату на фото") + QStringLiteral(" — Morvik"));
    setFont(WindowFont());
    auto* layout = new QVBoxLayout(this);
    Status = new QLabel(this);
    Status->setObjectName("Status");
    Gauge = new QProgressBar(this);
    Gauge->setObjectName("Gauge");
    Log = new QPlainTextEdit(this);
    Log->setObjectName("Log");
    Log->setReadOnly(true);
    Log->setLineWrapMode(QPlainTextEdit::NoWrap);
    Button = new QPushButton(tr("Стоп"), this);
    Button->setObjectName("Button");
    layout->addWidget(Status);
    layout->addWidget(Gauge);
    layout->addWidget(Log, 1);
    layout->addWidget(Button, 0, Qt::AlignRight);
    resize(520, 300);
    connect(Button, &QPushButton::clicked, this, [this] {
        if (running_)
            stopRequested_ = true;
        else
            accept();
    });
}

void TBatchWindow::closeEvent(QCloseEvent* event)
{
    // Closing during a run stops it after the file in hand; the window closes once it ends.
    if (running_) {
        stopRequested_ = true;
        closeRequested_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

int TBatchWindow::Run(const QStringList& paths)
{
    running_ = true;
    stopRequested_ = false;
    QStringList missing;
    const std::vector<TBatchJob> jobs = BatchJobs(paths, missing);
    for (const QString& path : missing)
        Log->appendPlainText(tr("Нет такой папки или файла: %1").arg(path));
    int failures = 0;
    int written = 0;
    const TDateTime start = Now();
    TBatchWindowObserver observer(*this);
    for (const TBatchJob& job : jobs) {
        if (stopRequested_)
            break;
        // Picked files the batch does not take (not pictures of a kind it stamps) are named,
        // not silently dropped.
        if (!job.Names.empty()) {
            const std::vector<std::string> taken = ListJpegEntries(job.Folder);
            for (const std::string& name : job.Names)
                if (std::find(taken.begin(), taken.end(), name) == taken.end())
                    Log->appendPlainText(tr("Пропущен (не фото): %1").arg(U(name)));
        }
        TBatchOptions options;
        options.RenameByMask = observer.CurrentRequest().Naming.ByMask;
        options.Jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        options.KeepGoing = true;
        options.OnlyNames = job.Names;
        try {
            const TBatchResult result = RunFolderBatch(job.Folder, options, observer);
            failures += static_cast<int>(result.Failures.size());
            written += static_cast<int>(result.Outputs.size());
            if (!result.Outputs.empty())
                Log->appendPlainText(tr("Готово: %1").arg(U(result.OutputFolder)));
        } catch (const std::exception& e) {
            // A run that cannot go on (its output folder cannot be made, say) ends with its
            // message in the list; the other folders still run.
            ++failures;
            Log->appendPlainText(U(e.what()));
        }
    }
    running_ = false;
    const QString took = DurationText(Now() - start);
    if (stopRequested_)
        Status->setText(tr("Остановлено: записано файлов %1. %2").arg(written).arg(took));
    else if (failures > 0 || !missing.isEmpty())
        Status->setText(tr("Записано файлов: %1, с ошибками: %2. %3").arg(written).arg(failures + missing.size()).arg(took));
    else
        Status->setText(tr("Закончил добавление текста или даты в картинки") + QStringLiteral(". ") + took);
    Button->setText(tr("Закрыть"));
    return failures > 0 || !missing.isEmpty() ? 1 : 0;
}

int RunBatchWindow(const QStringList& paths)
{
    TBatchWindow window;
    window.show();
    const int status = window.Run(paths);
    if (!window.CloseRequested())
        window.exec();
    return status;
}

}  // namespace morvik::ui
