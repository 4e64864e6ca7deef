#pragma once
// The main window: the picture area, the column of roll-up panels, the toolbar, the
// menu and the status bar, and the map from their events to the operations.
#include "stamping/StampSettings.h"
#include "ui/Dialogs.h"
#include "ui/EngineBridge.h"

#include <QFont>
#include <QMainWindow>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSlider;
class QSpinBox;
class QSplitter;
class QTimeEdit;
class QToolBar;
class QToolButton;
class QFrame;

namespace morvik::ui {

class BarGauge;
class PictureView;
class RollUpPanel;
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

    StampSettings Settings;

    // The current picture (full size, whatever the view shows).
    QImage& CurrentPicture();
    // A shared copy of the current picture (null before the first load or drawing).
    QImage PictureCopy() const;
    bool BatchRunning() const { return batchRunning_; }

    // Operations, one handler each.
    void FormCreate();
    void FormShow();
    void Button1Click();   // load picture
    void Button3Click();   // save picture
    void Button2Click();   // stamp picture
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
    // What one stamp drawing reads from the controls now.
    StampStyle CurrentStamp() const;
    // The selected index of an editable list, -1 when its text was edited away.
    static int SelectedIndex(const QComboBox* box);

    // Controls, by their layout names.
    QToolBar* ToolBar1;
    QWidget* Panel1;
    QFrame* Panel2;
    QScrollArea* ScrollBox1;
    PictureView* Image1;
    QSplitter* Splitter1;
    QFrame* Panel3;
    QScrollArea* ScrollBox2;
    RollUpPanel *ExPanel1, *ExPanel2, *ExPanel3, *ExPanel4, *ExPanel5, *ExPanel6;
    QPushButton *Button1, *Button2, *Button3, *Button4;
    QLabel *StaticText1, *StaticText2, *StaticText3, *StaticText4, *StaticText5;
    QSlider* TrackBar1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5;
    QComboBox *cbConf, *ComboBox1, *cbDirect;
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *cbPogr, *cbEXIF;
    QDateEdit* DateTimePicker1;
    QTimeEdit* DateTimePicker2;
    QLineEdit *Edit1, *Edit2;
    TimeEdit* TimeEdit1;
    QLabel* Panel4;
    QSpinBox *SpinEdit1, *SpinEdit2;
    QPushButton *BitBtn1, *BitBtn2, *BitBtn3;
    QToolButton* SpeedButton1;
    QPlainTextEdit* Memo1;
    BarGauge* Gauge1;
    QAction* Gauge1Action;
    QLabel *StatusPanel0, *StatusPanel1;

    // One action per operation, shared by menu item, toolbar button and control.
    QAction *actLoad, *actSave, *actStamp, *actFrame, *actAutomatic, *actStretch, *actMosaic,
        *actShowMosaic, *actCount, *actClose, *actAbout;
    // Menu items and toolbar buttons by their layout names.
    QAction *N3, *N4, *Close1, *N9, *N7, *N8, *N2, *N11, *About1;
    QToolButton *ToolButton7, *ToolButton8, *ToolButton9, *ToolButton13, *ToolButton11, *ToolButton1,
        *ToolButton4, *ToolButton5, *ToolButton14;

    // Dialog states: what each dialog keeps between openings.
    QColor ColorDialog1Color{128, 128, 255};
    QColor ColorDialog2Color{255, 255, 255};
    QFont FontDialog1Font;

signals:
    // The main window closed: the program ends.
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLayout();
    void BuildPanels();
    void BuildActions();
    void BuildMenu();
    void BuildToolbar();
    QToolButton* AddToolButton(QAction* action, const QString& name);
    void Wire();
    template <typename F>
    void Guard(F&& handler) { RunHandler(dialogs_, this, std::forward<F>(handler)); }
    bool MosaicAllowed();
    void CountEntries(const std::string& folder);
    void RunBatch(const std::string& folder);
    void SetDateText(const QString& text);

    IDialogs& dialogs_;
    TForm2* Form2 = nullptr;
    TAboutBox* AboutBox = nullptr;
    bool shownOnce_ = false;
    bool batchRunning_ = false;
    bool closePending_ = false;
    friend class BatchAdapter;
};

}  // namespace morvik::ui
