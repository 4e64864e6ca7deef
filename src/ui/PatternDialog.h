#pragma once
// "Схема для вышивки…": the mosaic window's second way, a cross-stitch pattern of the main
// window's picture (stamp and frame included) in real threads. The pattern is built again
// off the window's thread whenever a setting changes, with a gauge and a stop button; the
// preview shows the stitched result, and "Сохранить PDF" writes the printable pattern.
#include "pattern/Pattern.h"
#include "pattern/PatternPdf.h"
#include "ui/Dialogs.h"

#include <QDialog>
#include <QImage>
#include <atomic>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QThread;
class QTimer;
class QToolButton;

namespace morvik::ui {

class BarGauge;

class PatternDialog : public QDialog {
    Q_OBJECT
public:
    PatternDialog(IDialogs& dialogs, QImage picture, QWidget* parent = nullptr);
    ~PatternDialog() override;

    // The settings as the controls give them.
    PatternSettings Settings() const;
    // The sheet the PDF is laid out on.
    PaperSize Paper() const;
    // The last pattern built for the current settings, if any.
    const std::optional<Pattern>& Current() const { return pattern_; }
    bool Building() const { return worker_ != nullptr; }

    // Builds at once (the controls' changes wait a moment for the next one first).
    void Rebuild();
    void SavePdf();
    void Stop();

    QRadioButton *ByStitches, *BySize;
    QSpinBox *StitchWidth, *Threads;
    QDoubleSpinBox *WidthCm, *HeightCm;
    QComboBox *Fabric, *Scheme, *PaperChoice;
    QCheckBox *Dither, *Clean;
    QLabel *Preview, *Facts;
    BarGauge* Gauge;
    QToolButton* StopButton;
    QPushButton *SaveButton, *CloseButton;

signals:
    // A build has ended: built, stopped or failed.
    void BuildFinished();

private:
    void Finished(int generation, std::shared_ptr<std::optional<Pattern>> result, QString failure);
    void ShowPreview();

    IDialogs& dialogs_;
    Picture picture_;
    std::optional<Pattern> pattern_;
    QTimer* delay_;
    QThread* worker_ = nullptr;
    std::shared_ptr<std::atomic<bool>> stop_;
    int generation_ = 0;
    bool again_ = false;  // settings changed while a build ran
};

}  // namespace morvik::ui
