#pragma once
// The main window: the picture area, the column of roll-up panels, the toolbar, the
// menu and the status bar, and the map from their events to the operations. It holds
// the engine's stamp settings and controls record; the widgets show them and every
// change of a widget is written into them at once, so an operation always reads what
// the window shows.
#include "platform/DateTime.h"
#include "stamping/Caption.h"
#include "stamping/StampSettings.h"
#include "ui/Dialogs.h"
#include "ui/WindowState.h"

#include <QImage>
#include <QMainWindow>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSlider;
class QSplitter;
class QTimeEdit;
class QToolBar;
class QToolButton;

namespace morvik::test {
struct Form1Access;
}

namespace morvik::ui {

class BarGauge;
class PictureView;
class RollUpPanel;
class SpinEdit;
class TimeEdit;
class MosaicWindow;
class AboutDialog;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(IDialogs& dialogs, QWidget* parent = nullptr);

    // The windows made after this one at start-up.
    void SetMosaicWindow(MosaicWindow* form) { mosaicWindow_ = form; }
    void SetAboutDialog(AboutDialog* box) { aboutDialog_ = box; }

    const StampSettings& Settings() const { return settings_; }
    const WindowState& Window() const { return window_; }
    const StampControls& Controls() const { return controls_; }
    // A shared copy of the current picture (null before the first load or drawing).
    QImage PictureCopy() const;
    bool BatchRunning() const { return batchRunning_; }

    // Load picture for a file named on the command line: as if chosen in the open
    // dialog; a failure is shown in a message box.
    void OpenNamedPicture(const QString& path);

    // Operations, one handler each.
    void ApplyInitialSettings();
    void RollUpStartPanels();  // the panels rolled up when the window first shows
    void ChoosePicture();      // the open dialog, then the picture chosen is loaded
    void SavePicture();
    void StampPicture();
    void ToggleStretch();
    void FramePicture();
    void PickedDateChanged();  // the date or the time picker
    void OpenMosaicModal();
    void ShowMosaicBeside();  // the mosaic window, modeless
    void StampFolder();       // the folder chooser, then the folder batch
    void CountFolderPictures();
    void StopBatch();
    void PresetChosen();
    void DateModeSwitched();
    void DateSourceChosen();
    void TransparentSwitched();
    void RenameSwitched();
    void CorrectionSwitched();
    void QualityChanged();
    void ChooseTextColor();
    void ChooseStampFont();
    void ChooseBackgroundColor();
    void CloseWindow();
    void ShowAbout();

    // Picture information for a loaded file (folder with its trailing separator).
    void PictureInformation(const std::string& folder, const std::string& name);
    // The selected index of an editable list, -1 when its text was edited away.
    static int SelectedIndex(const QComboBox* box);

signals:
    // The main window closed: the program ends.
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controls; each keeps its name in the design as its objectName().
    struct Widgets {
        QToolBar* toolBar;
        QFrame* workArea;
        QFrame* pictureArea;
        QScrollArea* pictureScroller;
        PictureView* pictureView;
        QSplitter* splitter;
        QFrame* panelArea;
        QScrollArea* panelScroller;
        QWidget* panelColumn;
        RollUpPanel *batchPanel, *picturePanel, *stampTextPanel, *presetPanel, *correctionPanel, *positionPanel;
        QPushButton *loadButton, *stampButton, *saveButton, *batchButton;
        QLabel *ownTextCaption, *xCaption, *yCaption, *qualityCaption, *hoursCaption;
        QSlider* qualitySlider;
        QLabel *dateLabel, *qualityLabel, *gaugeSpacer, *fileCountLabel, *progressLabel;
        QComboBox *presetList, *dateSourceList, *correctionDirectionList;
        QCheckBox *dateModeCheck, *transparentCheck, *renameCheck, *correctionEnabled, *exifCheck, *losslessCheck,
            *keepGoingCheck;
        QCheckBox* skipExistingCheck;  // "Пропускать уже сделанные": a rerun passes over what is made
        QDateEdit* datePicker;
        QTimeEdit* timePicker;
        QLineEdit *ownTextEdit, *namingMaskEdit;
        TimeEdit* correctionEdit;
        QLabel* correctedDateLabel;
        SpinEdit *xOffsetEdit, *yOffsetEdit;
        // Where the stamp lies on the photo as displayed and how large it is.
        QLabel* anchorCaption;
        QComboBox* anchorList;
        QCheckBox *relativeSizeCheck, *relativeMarginCheck, *outlineCheck;
        // The caption: the date's format, a shadow, the text colour by the photo.
        QLabel* dateFormatCaption;
        QLineEdit* dateFormatEdit;
        QCheckBox *shadowCheck, *autoColorCheck;
        QDoubleSpinBox *sizePercentEdit, *marginPercentEdit;
        QPushButton *textColorButton, *fontButton, *backgroundColorButton;
        QToolButton* stopButton;
        QPlainTextEdit* fileLog;
        BarGauge* progressGauge;
        QAction* progressGaugeAction;
        QLabel *sizeStatus, *infoStatus;
        // One action per operation, shared by menu item, toolbar button and control.
        QAction *actLoad, *actSave, *actStamp, *actFrame, *actAutomatic, *actStretch, *actMosaic,
            *actShowMosaic, *actCount, *actClose, *actAbout;
        // The folder batch's lossless mode, a checkable action with its state in the record.
        QAction* actLossless;
        // Toolbar buttons.
        QToolButton *loadToolButton, *saveToolButton, *stampToolButton, *frameToolButton, *automaticToolButton,
            *stretchToolButton, *mosaicToolButton, *showMosaicToolButton, *countToolButton;
    };

    void BuildActions();
    void BuildLayout();
    void BuildStatusBar();
    void BuildPanelColumn();
    void BuildPictureMenuPanel();
    void BuildPresetPanel();
    void BuildStampTextPanel();
    void BuildCorrectionPanel();
    void BuildPositionPanel();
    void BuildFolderPanel();
    void BuildMenu();
    void BuildToolbar();
    QToolButton* AddToolButton(QAction* action, const QString& name);
    void Wire();
    void WireControlsToRecord();
    template <typename F>
    void Guard(F&& handler) { RunHandler(dialogs_, this, std::forward<F>(handler)); }

    // The current picture (full size, whatever the view shows).
    QImage& CurrentPicture();
    void LoadPicture(const QString& path);
    // Enabled states of the controls from the settings and from a running batch.
    void ApplyControlStates();
    // The column of panels is as wide as its widest panel needs.
    void FitPanelColumn();
    bool MosaicAllowed();
    void RunBatch(const std::string& folder);
    void SetDateText(const QString& text);
    // The anchor, size, margin and outline controls show the look's values.
    void ShowPlacement();
    void ShowCorrectedDate(TDateTime date);

    Widgets w;
    StampSettings settings_;
    WindowState window_;
    StampControls controls_;
    CaptionFacts caption_;  // the loaded picture's facts for the own text's fields
    std::string loadedPath_;  // the file the picture was loaded from; empty before one is
    IDialogs& dialogs_;
    MosaicWindow* mosaicWindow_ = nullptr;
    AboutDialog* aboutDialog_ = nullptr;
    bool batchRunning_ = false;
    bool closePending_ = false;
    // The time editor starts enabled while the correction is off; once the correction
    // tick has been switched it follows the tick.
    bool correctionSwitched_ = false;
    friend class BatchAdapter;
    friend struct test::Form1Access;
};

}  // namespace morvik::ui
