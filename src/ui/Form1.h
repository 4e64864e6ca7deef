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
class TForm2;
class TAboutBox;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(IDialogs& dialogs, QWidget* parent = nullptr);

    // The windows made after this one at start-up.
    void SetMosaicForm(TForm2* form) { Form2 = form; }
    void SetAboutBox(TAboutBox* box) { AboutBox = box; }

    const StampSettings& Settings() const { return settings_; }
    const StampControls& Controls() const { return controls_; }
    // A shared copy of the current picture (null before the first load or drawing).
    QImage PictureCopy() const;
    bool BatchRunning() const { return batchRunning_; }

    // Load picture for a file named on the command line: as if chosen in the open
    // dialog; a failure is shown in a message box.
    void OpenNamedPicture(const QString& path);

    // Operations, one handler each.
    void FormCreate();
    void FormShow();
    void Button1Click();       // load picture
    void Button3Click();       // save picture
    void Button2Click();       // stamp picture
    void ToolButton1Click();   // toggle stretch
    void ToolButton13Click();  // add frame
    void DateTimePicker1Change();
    void ToolButton4Click();   // open mosaic, modal
    void ToolButton5Click();   // show mosaic, modeless
    void Button4Click();       // folder batch
    void ToolButton14Click();  // count pictures
    void SpeedButton1Click();  // stop batch
    void cbConfChange();
    void CheckBox1Click();
    void ComboBox1Change();
    void CheckBox2Click();
    void CheckBox3Click();
    void cbPogrClick();
    void TrackBar1Change();
    void BitBtn1Click();  // text colour
    void BitBtn2Click();  // font
    void BitBtn3Click();  // background colour
    void Close1Click();
    void About1Click();

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
    // The controls, by their layout names.
    struct Widgets {
        QToolBar* ToolBar1;
        QFrame* Panel1;
        QFrame* Panel2;
        QScrollArea* ScrollBox1;
        PictureView* Image1;
        QSplitter* Splitter1;
        QFrame* Panel3;
        QScrollArea* ScrollBox2;
        QWidget* PanelColumn;
        RollUpPanel *ExPanel1, *ExPanel2, *ExPanel3, *ExPanel4, *ExPanel5, *ExPanel6;
        QPushButton *Button1, *Button2, *Button3, *Button4;
        QLabel *StaticText1, *StaticText2, *StaticText3, *StaticText4, *StaticText5;
        QSlider* TrackBar1;
        QLabel *Label1, *Label2, *Label3, *Label4, *Label5;
        QComboBox *cbConf, *ComboBox1, *cbDirect;
        QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *cbPogr, *cbEXIF, *cbLossless, *cbKeepGoing;
        QCheckBox* cbSkipExisting;  // "Пропускать уже сделанные": a rerun passes over what is made
        QDateEdit* DateTimePicker1;
        QTimeEdit* DateTimePicker2;
        QLineEdit *Edit1, *Edit2;
        TimeEdit* TimeEdit1;
        QLabel* Panel4;
        SpinEdit *SpinEdit1, *SpinEdit2;
        // Where the stamp lies on the photo as displayed and how large it is.
        QLabel* StaticText6;
        QComboBox* cbAnchor;
        QCheckBox *cbRelSize, *cbRelMargin, *cbOutline;
        // The caption: the date's format, a shadow, the text colour by the photo.
        QLabel* DateFormatLabel;
        QLineEdit* DateFormatEdit;
        QCheckBox *cbShadow, *cbAutoColor;
        QDoubleSpinBox *SizeEdit, *MarginEdit;
        QPushButton *BitBtn1, *BitBtn2, *BitBtn3;
        QToolButton* SpeedButton1;
        QPlainTextEdit* Memo1;
        BarGauge* Gauge1;
        QAction* Gauge1Action;
        QLabel *StatusPanel0, *StatusPanel1;
        // One action per operation, shared by menu item, toolbar button and control.
        QAction *actLoad, *actSave, *actStamp, *actFrame, *actAutomatic, *actStretch, *actMosaic,
            *actShowMosaic, *actCount, *actClose, *actAbout;
        // The folder batch's lossless mode, a checkable action with its state in the record.
        QAction* actLossless;
        // Menu items and toolbar buttons by their layout names.
        QAction *N3, *N4, *Close1, *N9, *N7, *N8, *N2, *N11, *About1;
        QToolButton *ToolButton7, *ToolButton8, *ToolButton9, *ToolButton13, *ToolButton11, *ToolButton1,
            *ToolButton4, *ToolButton5, *ToolButton14;
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
    StampControls controls_;
    CaptionFacts caption_;  // the loaded picture's facts for the own text's fields
    std::string loadedPath_;  // the file the picture was loaded from; empty before one is
    IDialogs& dialogs_;
    TForm2* Form2 = nullptr;
    TAboutBox* AboutBox = nullptr;
    bool batchRunning_ = false;
    bool closePending_ = false;
    // The time editor starts enabled while the correction is off; once the correction
    // tick has been switched it follows the tick.
    bool correctionSwitched_ = false;
    friend class BatchAdapter;
    friend struct test::Form1Access;
};

}  // namespace morvik::ui
