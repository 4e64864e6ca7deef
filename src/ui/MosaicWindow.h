#pragma once
// The mosaic window: turns the main window's picture into a cross-stitch chart of
// square cells with a one-pixel black grid, with progress, stop, timing and saving.
#include "ui/Dialogs.h"

#include <QDialog>
#include <QImage>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;
class QToolButton;
class QFrame;

namespace morvik::ui {

class BarGauge;
class PictureView;
class SpinEdit;

class MosaicWindow : public QDialog {
    Q_OBJECT
public:
    // The main window's current picture with its width and height.
    struct Source {
        QImage Picture;
        int Width = 0;
        int Height = 0;
    };
    using SourceProvider = std::function<Source()>;

    MosaicWindow(IDialogs& dialogs, SourceProvider source, QWidget* parent = nullptr);

    bool Building() const { return building_; }
    int CellSize() const { return cellSize_; }
    bool StopFlag() const { return stop_; }

    // Show mosaic, modeless: beside the main window, never over its menu bar.
    void ShowBeside(const QWidget& mainMenuBar);

    void ShowSourceSize();  // on showing: the size of the main window's picture
    void BuildChart();
    void StopBuild();
    void ClearChart();
    void SaveChart();
    void CloseWindow();
    void OpenPattern();  // the cross-stitch pattern dialog

    QFrame *ChartArea, *ControlsArea;
    QScrollArea* ChartScroller;
    PictureView* ChartView;
    QPushButton *BuildButton, *ClearButton, *SaveButton, *CloseButton;
    QPushButton* PatternButton;
    QLabel *CellSizeCaption, *QualityCaption, *PictureSizeLabel, *DurationLabel, *ChartSizeLabel;
    SpinEdit* CellSizeEdit;
    BarGauge* ProgressGauge;
    QToolButton* StopButton;
    QSlider* QualitySlider;
    QGroupBox* SizesBox;

signals:
    // A build has ended (finished, stopped or failed).
    void BuildFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    template <typename F>
    void Guard(F&& handler) { RunHandler(dialogs_, this, std::forward<F>(handler)); }
    QString SizeText(int width, int height) const;

    IDialogs& dialogs_;
    SourceProvider source_;
    bool building_ = false;
    bool stop_ = false;
    bool closePending_ = false;
    int cellSize_ = 3;
};

}  // namespace morvik::ui
