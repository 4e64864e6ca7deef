#include "ui/MainWindow.h"

#include "platform/DateMask.h"
#include "platform/FileSystem.h"
#include "stamping/Caption.h"
#include "stamping/FolderBatch.h"
#include "stamping/TimeCorrection.h"
#include "ui/AboutDialog.h"
#include "ui/EngineBridge.h"
#include "ui/MosaicWindow.h"
#include "ui/Icons.h"
#include "ui/PictureView.h"
#include "ui/ScreenFit.h"
#include "ui/WindowFont.h"
#include "ui/widgets/BarGauge.h"
#include "ui/widgets/FolderChooser.h"
#include "ui/widgets/RollUpPanel.h"
#include "ui/widgets/SpinEdit.h"
#include "ui/widgets/TimeEdit.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimeEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <climits>

namespace morvik::ui {
namespace {

using Fit = DesignLayout::Sizing;

QString U(const std::string& text) { return QString::fromUtf8(text); }
// A label of the engine's tables (presets, date sources, corners), as the window's
// translation gives it.
QString Label(std::string_view text) { return QCoreApplication::translate(kLabelScope, std::string(text).c_str()); }
std::string S(const QString& text) { return text.toUtf8().toStdString(); }

template <typename W, typename... Args>
W* Named(const char* name, Args&&... args)
{
    auto* widget = new W(std::forward<Args>(args)...);
    widget->setObjectName(name);
    return widget;
}

// A hint kept with its control; only some containers show theirs on hover.
void SetHint(QWidget* w, const QString& hint, bool shown)
{
    w->setProperty("hint", hint);
    if (shown)
        w->setToolTip(hint);
}

// A push button with its hint (kept, not shown on hover), placed on a panel; it grows to
// show its caption whole.
QPushButton* PlaceButton(RollUpPanel* panel, const char* name, const QString& caption, const QString& hint,
                         const QRect& design)
{
    auto* button = Named<QPushButton>(name, caption);
    SetHint(button, hint, false);
    panel->Place(button, design.left(), design.top(), design.width(), design.height(), Fit::FitText);
    return button;
}

QComboBox* MakeList(const char* name, const QStringList& items, int selected)
{
    auto* box = Named<QComboBox>(name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setCurrentIndex(selected);
    // A narrow list shows the start of its entry, not its tail.
    auto showStart = [box] {
        if (auto* edit = box->lineEdit(); edit && !edit->hasFocus())
            edit->setCursorPosition(0);
    };
    QObject::connect(box, &QComboBox::currentIndexChanged, box, showStart);
    showStart();
    return box;
}

QFrame* LoweredPanel(const char* name)
{
    auto* f = Named<QFrame>(name);
    f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return f;
}

QFont BoldFont()
{
    QFont bold = WindowFont(13);
    bold.setBold(true);
    return bold;
}

TDateTime PickerDate(const QDate& d) { return TryEncodeDate(d.year(), d.month(), d.day()).value_or(0); }

TDateTime PickerTime(const QTime& t) { return TryEncodeTime(t.hour(), t.minute(), t.second(), 0).value_or(0); }

// The way a file went in the lossless mode, in the window's words: "  (без перекодирования)",
// "  (перекодировано: progressive)".
QString WayText(const std::optional<BatchWay>& way)
{
    if (!way)
        return {};
    if (way->Way == LosslessWay::ReEncode)  // then the reason, as it stands
        return QStringLiteral("  (") + MainWindow::tr("перекодировано: ") + U(way->Reason) + ')';
    QString said = MainWindow::tr("без перекодирования");
    if (way->Way == LosslessWay::LosslessRecoded)
        return QStringLiteral("  (") + said + MainWindow::tr(", данные сжаты заново") + ')';
    if (way->Way == LosslessWay::LosslessNewTables)
        said += MainWindow::tr(", новые таблицы Хаффмана");
    if (way->Damage == SourceDamage::AfterStamp)
        said += MainWindow::tr(", повреждённые данные после даты сохранены");
    return QStringLiteral("  (") + said + ')';
}

// What dated a photo when it was not the EXIF date chosen: "  (имя файла)", "  (время файла)".
QString OriginText(DateOrigin origin)
{
    switch (origin) {
    case DateOrigin::FileName:
        return MainWindow::tr("  (имя файла)");
    case DateOrigin::FileTime:
        return MainWindow::tr("  (время файла)");
    case DateOrigin::ExifTag:
        break;
    }
    return {};
}

}  // namespace

// The window's side of the folder batch: the engine reports, the window shows.
class BatchAdapter : public TBatchObserver {
public:
    explicit BatchAdapter(MainWindow& form) : f(form) {}
    StampRequest CurrentRequest() override { return RequestFromControls(f.settings_, f.controls_); }
    void BatchStarted(int fileCount) override
    {
        f.window_.FileCount = fileCount;
        f.w.fileCountLabel->setText(MainWindow::tr("Всего файлов:") + QString::number(fileCount));
        f.w.progressGauge->SetMaxValue(fileCount);
        f.w.progressGauge->SetProgress(0);
    }
    void ProcessPendingEvents() override { QApplication::processEvents(QEventLoop::AllEvents); }
    void FileDated(const std::string& stampText) override { f.SetDateText(U(stampText)); }
    void FileStarted(const std::string& name) override { f.w.fileLog->appendPlainText(U(name)); }
    void FileCounted(int runCounter, int) override
    {
        runCounter_ = runCounter;
        fileCounted_ = true;
        ShowProgress();
    }
    void DateCorrected(TDateTime corrected) override { f.ShowCorrectedDate(corrected); }
    void FileWritten(const TBatchOutput& output) override
    {
        fileCounted_ = false;
        // The file's line tells the way it went in the lossless mode, what dated the photo
        // when it was not the EXIF date chosen, and, for a damaged photo, how it is damaged.
        const QString note = WayText(output.Way) + OriginText(output.Origin) + ui::DamageNote(output.Damage);
        if (note.isEmpty())
            return;
        QTextCursor end(f.w.fileLog->document());
        end.movePosition(QTextCursor::End);
        end.insertText(note);
    }
    // Only while "Продолжать после ошибки" is ticked: the failure's message names the file.
    void FileFailed(const std::string&, const std::string& message) override
    {
        f.w.fileLog->appendPlainText(MainWindow::tr("Ошибка: ") + U(message));
        if (!fileCounted_)
            ++passedOver_;
        fileCounted_ = false;
        ShowProgress();
    }
    void FileSkipped(const std::string& name, const std::string& outputPath) override
    {
        f.w.fileLog->appendPlainText(U(name) + MainWindow::tr("  (уже сделан: ") + U(outputPath) + ")");
        ++passedOver_;
        ShowProgress();
    }
    bool StopRequested() override { return f.window_.StopRequested; }

private:
    // The gauge, the progress label and the status panel count every file the run has
    // gone through: those it decoded (the run counter) and those it passed over, failed
    // before they were decoded or made by an earlier run; so a run that goes on past a
    // broken photo ends on its real end, not short of it.
    void ShowProgress()
    {
        const int done = runCounter_ + passedOver_;
        f.w.progressGauge->SetProgress(done);
        f.w.progressLabel->setText(MainWindow::tr("Обрабатывается:") + QString::number(done));
        f.w.infoStatus->setText(MainWindow::tr("Обрабатывается:") + QString::number(done) + MainWindow::tr(" из ") +
                                QString::number(f.window_.FileCount));
    }

    MainWindow& f;
    int runCounter_ = 0;
    int passedOver_ = 0;
    bool fileCounted_ = false;  // the file in hand is in the run counter
};

MainWindow::MainWindow(IDialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs)
{
    setObjectName("Form1");
    setWindowTitle(tr("Дата в JPG картинках и фотографиях"));
    setFont(WindowFont());

    BuildActions();
    BuildLayout();
    BuildStatusBar();
    BuildMenu();
    BuildToolbar();
    Wire();
    resize(765, 630);
    move(230, 112);
    FitToAvailableArea(*this, ScreenFit::MovesIn);
    Guard([this] { ApplyInitialSettings(); });
}

QImage& MainWindow::CurrentPicture()
{
    // Before the first load the view holds no picture: drawing goes on an empty one of
    // the view's size.
    QImage& picture = w.pictureView->Picture();
    if (picture.isNull()) {
        picture =
            QImage(std::max(1, w.pictureView->width()), std::max(1, w.pictureView->height()), QImage::Format_RGB32);
        picture.fill(Qt::white);
    }
    return picture;
}

QImage MainWindow::PictureCopy() const
{
    return w.pictureView->Picture();
}

// ---- Building the window ----

void MainWindow::BuildActions()
{
    auto make = [this](const QString& text, const QString& tip, int icon, const char* name) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        a->setToolTip(tip);
        if (icon >= 0) {
            a->setIcon(ToolbarIcon(icon));
            a->setIconVisibleInMenu(false);
        }
        return a;
    };
    w.actLoad = make(tr("&Открыть"), tr("Load"), 4, "actLoad");
    w.actSave = make(tr("&Сохранить"), tr("Save"), 6, "actSave");
    w.actStamp = make(tr("&Вставить текст в картинку"), tr("Add Text in Picture"), 3, "actStamp");
    w.actFrame = make(tr("Добавить рамку в картинку"), tr("Добавить рамку в картинку"), 9, "actFrame");
    w.actAutomatic = make(tr("&Автоматический процесс"), tr("Automatic"), 5, "actAutomatic");
    w.actStretch = make(tr("&Растягивание"), tr("Stretch"), 0, "actStretch");
    w.actMosaic = make(tr("&Сделать"), tr("Mozaik"), 1, "actMosaic");
    w.actShowMosaic = make(tr("&Показать"), tr("Show Mozaik Form"), 2, "actShowMosaic");
    w.actCount = make(QString(), QString(), 3, "actCount");
    w.actClose = make(tr("&Выход"), QString(), -1, "actClose");
    w.actAbout = make(tr("&About"), QString(), -1, "actAbout");
    w.actLossless = make(tr("&Без перекодирования"),
                         tr("Группа в папке: заново кодируются только блоки под надписью, остальные остаются как были"),
                         -1, "actLossless");
    w.actLossless->setCheckable(true);
    w.actLoad->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    w.actSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    w.actClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void MainWindow::BuildLayout()
{
    w.workArea = LoweredPanel("Panel1");
    auto* workLayout = new QHBoxLayout(w.workArea);
    workLayout->setContentsMargins(1, 1, 1, 1);
    w.splitter = Named<QSplitter>("Splitter1", Qt::Horizontal);
    w.splitter->setChildrenCollapsible(false);
    workLayout->addWidget(w.splitter);

    // Left: the picture area.
    w.pictureArea = LoweredPanel("Panel2");
    auto* leftLayout = new QVBoxLayout(w.pictureArea);
    leftLayout->setContentsMargins(1, 1, 1, 1);
    w.pictureScroller = Named<QScrollArea>("ScrollBox1");
    w.pictureScroller->setFrameShape(QFrame::NoFrame);
    w.pictureScroller->setWidgetResizable(false);
    w.pictureScroller->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    w.pictureView = Named<PictureView>("Image1");
    w.pictureView->resize(105, 105);
    w.pictureScroller->setWidget(w.pictureView);
    SetHint(w.pictureScroller, tr("Ну типа картинка"), true);
    SetHint(w.pictureView, tr("Ну типа картинка"), true);
    leftLayout->addWidget(w.pictureScroller);
    w.splitter->addWidget(w.pictureArea);

    // Right: the column of roll-up panels.
    w.panelArea = LoweredPanel("Panel3");
    auto* rightLayout = new QVBoxLayout(w.panelArea);
    rightLayout->setContentsMargins(1, 1, 1, 1);
    w.panelScroller = Named<QScrollArea>("ScrollBox2");
    w.panelScroller->setFrameShape(QFrame::NoFrame);
    w.panelScroller->setWidgetResizable(true);
    w.panelScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    w.panelScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    rightLayout->addWidget(w.panelScroller);
    w.splitter->addWidget(w.panelArea);
    w.splitter->setStretchFactor(0, 1);
    w.splitter->setStretchFactor(1, 0);
    BuildPanelColumn();
    w.splitter->setSizes({765 - 197 - 10, 197});

    setCentralWidget(w.workArea);
}

void MainWindow::BuildStatusBar()
{
    // The size panel is 100 pixels wide and grows for a longer size.
    w.sizeStatus = Named<QLabel>("StatusPanel0");
    w.sizeStatus->setMinimumWidth(100);
    w.infoStatus = Named<QLabel>("StatusPanel1");
    w.infoStatus->setMinimumWidth(50);
    statusBar()->setObjectName("StatusBar1");
    statusBar()->setSizeGripEnabled(true);
    statusBar()->addWidget(w.sizeStatus);
    statusBar()->addWidget(w.infoStatus, 1);
    statusBar()->setFixedHeight(19);
}

void MainWindow::BuildPanelColumn()
{
    w.panelColumn = Named<QWidget>("PanelColumn");
    auto* stack = new QVBoxLayout(w.panelColumn);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    BuildPictureMenuPanel();
    BuildPresetPanel();
    BuildStampTextPanel();
    BuildCorrectionPanel();
    BuildPositionPanel();
    BuildFolderPanel();
    for (RollUpPanel* p :
         {w.picturePanel, w.presetPanel, w.stampTextPanel, w.correctionPanel, w.positionPanel, w.batchPanel})
        stack->addWidget(p);
    stack->addStretch(1);
    w.panelScroller->setWidget(w.panelColumn);
    w.panelColumn->installEventFilter(this);
    FitPanelColumn();
}

void MainWindow::BuildPictureMenuPanel()
{
    RollUpPanel* p = w.picturePanel = Named<RollUpPanel>("ExPanel2", tr("Меню 1 картинки"), 87);
    w.loadButton = PlaceButton(p, "Button1", tr("Load Picture"), tr("Загрузить картинку"), QRect(16, 24, 73, 25));
    w.saveButton = PlaceButton(p, "Button3", tr("Save Picture"), tr("Сохранить"), QRect(16, 54, 73, 25));
    w.qualityCaption = Named<QLabel>("StaticText4", tr("Качество JPG"));
    p->Place(w.qualityCaption, 96, 24, 74, 17, Fit::FitText);
    w.qualitySlider = Named<QSlider>("TrackBar1", Qt::Horizontal);
    w.qualitySlider->setRange(0, 100);
    w.qualitySlider->setValue(controls_.Quality);
    w.qualitySlider->setSingleStep(1);
    w.qualitySlider->setPageStep(10);
    w.qualitySlider->setTickPosition(QSlider::NoTicks);
    SetHint(w.qualitySlider, tr("Качество сжатия JPEG"), false);
    p->Place(w.qualitySlider, 92, 40, 77, 17);
    w.qualityLabel = Named<QLabel>("Label2", U(QualityLabelText(controls_.Quality)));
    p->Place(w.qualityLabel, 120, 56, 23, 13, Fit::FitText);
}

void MainWindow::BuildPresetPanel()
{
    RollUpPanel* p = w.presetPanel = Named<RollUpPanel>("ExPanel4", tr("Предустановки"), 48);
    QStringList names;
    for (const StampPreset& preset : StampPresets)
        names << Label(preset.Name);
    w.presetList = MakeList("cbConf", names, controls_.PresetIndex);
    p->Place(w.presetList, 8, 24, 161, 21, Fit::FitText);
}

void MainWindow::BuildStampTextPanel()
{
    RollUpPanel* p = w.stampTextPanel = Named<RollUpPanel>("ExPanel3", tr("Запись текста в JPG"), 205);
    w.dateModeCheck = Named<QCheckBox>("CheckBox1", tr("Дату"));
    w.dateModeCheck->setChecked(settings_.DateMode);
    SetHint(w.dateModeCheck, tr("Добавлять в картинку дату изменения или ВАШ текст"), false);
    p->Place(w.dateModeCheck, 8, 24, 48, 17, Fit::FitText);
    QStringList sources;
    for (std::string_view label : DateSourceLabels)
        sources << Label(label);
    w.dateSourceList = MakeList("ComboBox1", sources, int(settings_.DateSource));
    // A little right of its design place, so the wider desktop font leaves "Дату" whole.
    p->Place(w.dateSourceList, 62, 24, 107, 21, Fit::FitText);
    w.dateLabel = Named<QLabel>("Label1");
    w.dateLabel->setFont(BoldFont());
    p->Place(w.dateLabel, 8, 48, 161, 16, Fit::FitText);
    w.datePicker = Named<QDateEdit>("DateTimePicker1", QDate(2007, 8, 15));
    w.datePicker->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    w.datePicker->setMinimumDate(QDate(100, 1, 1));
    w.datePicker->setCalendarPopup(true);
    w.datePicker->setFont(WindowFont(10));
    SetHint(w.datePicker, tr("Изменить дату "), false);
    p->Place(w.datePicker, 8, 64, 81, 21, Fit::FitText);
    w.timePicker = Named<QTimeEdit>("DateTimePicker2", QTime(12, 0, 0));
    w.timePicker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    w.timePicker->setFont(WindowFont(10));
    SetHint(w.timePicker, tr("Изменить время"), false);
    p->Place(w.timePicker, 88, 64, 82, 21, Fit::FitText);
    w.ownTextCaption = Named<QLabel>("StaticText1", tr("Текст:"));
    p->Place(w.ownTextCaption, 8, 88, 37, 17, Fit::FitText);
    w.ownTextEdit = Named<QLineEdit>("Edit1");
    SetHint(w.ownTextEdit, tr("Сюда можете ввести свой текст"), true);
    // The fields the own text may name, listed in its hint and inserted from its menu.
    QStringList fields;
    for (std::string_view field : CaptionFieldNames)
        fields << QStringLiteral("{%1}").arg(U(std::string(field)));
    w.ownTextEdit->setToolTip(w.ownTextEdit->toolTip() + tr("\nПоля снимка: ") + fields.join(QStringLiteral(" ")) +
                              tr("\n\\n — новая строка"));
    w.ownTextEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w.ownTextEdit, &QLineEdit::customContextMenuRequested, this, [this, fields](const QPoint& at) {
        std::unique_ptr<QMenu> menu(w.ownTextEdit->createStandardContextMenu());
        QMenu* insert = menu->addMenu(tr("Вставить поле"));
        for (const QString& field : fields)
            insert->addAction(field, this, [this, field] { w.ownTextEdit->insert(field); });
        insert->addAction(QStringLiteral("\\n"), this, [this] { w.ownTextEdit->insert(QStringLiteral("\\n")); });
        menu->exec(w.ownTextEdit->mapToGlobal(at));
    });
    p->Place(w.ownTextEdit, 8, 105, 161, 21);
    w.dateFormatCaption = Named<QLabel>("DateFormatLabel", tr("Формат даты:"));
    p->Place(w.dateFormatCaption, 8, 129, 100, 17, Fit::FitText);
    w.dateFormatEdit = Named<QLineEdit>("DateFormatEdit", U(controls_.DateFormat));
    SetHint(w.dateFormatEdit, tr("Как записывать дату: dd.mm.yyyy hh:nn:ss, d mmmm yyyy, \"'\"yy mm dd"), false);
    p->Place(w.dateFormatEdit, 8, 146, 161, 21);
    w.stampButton =
        PlaceButton(p, "Button2", tr("Ввести текст"), tr("Совершить добавление текста"), QRect(8, 172, 160, 25));
    w.stampButton->setFont(BoldFont());
}

void MainWindow::BuildCorrectionPanel()
{
    RollUpPanel* p = w.correctionPanel = Named<RollUpPanel>("ExPanel5", tr("Погрешность"), 84);
    w.correctionEnabled = Named<QCheckBox>("cbPogr", tr("Есть погрешность"));
    w.correctionEnabled->setChecked(controls_.CorrectionOn);
    p->Place(w.correctionEnabled, 8, 24, 137, 17, Fit::FitText);
    w.correctionDirectionList =
        MakeList("cbDirect", {QStringLiteral("+"), QStringLiteral("-")}, controls_.CorrectionDirection);
    p->Place(w.correctionDirectionList, 8, 40, 38, 21);
    w.hoursCaption = Named<QLabel>("StaticText5", tr("Часы"));
    p->Place(w.hoursCaption, 48, 44, 32, 17, Fit::FitText);
    w.correctionEdit = Named<TimeEdit>("TimeEdit1");
    w.correctionEdit->setText(U(controls_.CorrectionText));
    p->Place(w.correctionEdit, 84, 42, 82, 20);
    w.correctedDateLabel = Named<QLabel>("Panel4");
    w.correctedDateLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    w.correctedDateLabel->setAlignment(Qt::AlignCenter);
    p->Place(w.correctedDateLabel, 8, 64, 159, 17);
}

void MainWindow::BuildPositionPanel()
{
    RollUpPanel* p = w.positionPanel = Named<RollUpPanel>("ExPanel6", tr("Координаты:"), 224);
    auto spin = [](const char* name, int value, const QString& hint) {
        auto* s = Named<SpinEdit>(name);
        s->setRange(INT_MIN, INT_MAX);
        s->setValue(value);
        SetHint(s, hint, false);
        return s;
    };
    w.xCaption = Named<QLabel>("StaticText2", tr("X:"));
    p->Place(w.xCaption, 8, 27, 14, 17, Fit::FitText);
    w.xOffsetEdit = spin("SpinEdit1", controls_.Look.X, tr("Координата по горизонтали появления текста"));
    p->Place(w.xOffsetEdit, 24, 22, 41, 22, Fit::FitText);
    w.yCaption = Named<QLabel>("StaticText3", tr("Y:"));
    p->Place(w.yCaption, 72, 27, 14, 17, Fit::FitText);
    w.yOffsetEdit = spin("SpinEdit2", controls_.Look.Y, tr("Координата по вертикали появления текста"));
    p->Place(w.yOffsetEdit, 88, 22, 41, 22, Fit::FitText);
    // The right-hand controls of these two rows stand a few pixels clear of the buttons to
    // their left, which grow with their captions.
    w.backgroundColorButton =
        PlaceButton(p, "BitBtn3", tr("Цвет Фона"), tr("Изменить цвет фона"), QRect(8, 48, 73, 25));
    w.fontButton = PlaceButton(p, "BitBtn2", tr("Шрифт"), tr("Изменить шрифт и размеры"), QRect(85, 48, 73, 25));
    w.textColorButton = PlaceButton(p, "BitBtn1", tr("Цвет Текста"), tr("Изменить цвет текста"), QRect(8, 76, 73, 25));
    w.transparentCheck = Named<QCheckBox>("CheckBox2", tr("Прозрачный"));
    w.transparentCheck->setChecked(IsTransparent(controls_.Look));
    SetHint(w.transparentCheck, tr("Выводить на прозрачном фоне или нет"), false);
    p->Place(w.transparentCheck, 85, 80, 81, 17, Fit::FitText);

    // Below the design's controls: the corner the offset counts from, the size and the
    // margin relative to the photo, the outline.
    w.anchorCaption = Named<QLabel>("StaticText6", tr("Угол:"));
    p->Place(w.anchorCaption, 8, 109, 30, 17, Fit::FitText);
    w.anchorList = Named<QComboBox>("cbAnchor");
    for (const StampAnchorName& anchor : StampAnchorNames)
        w.anchorList->addItem(Label(anchor.Label));
    SetHint(w.anchorList, tr("Угол снимка, от которого отсчитываются X и Y"), false);
    p->Place(w.anchorList, 42, 104, 127, 21, Fit::FitText);
    auto percent = [](const char* name, double maximum, const QString& hint) {
        auto* edit = Named<QDoubleSpinBox>(name);
        edit->setRange(0.1, maximum);
        edit->setDecimals(1);
        edit->setSingleStep(0.5);
        SetHint(edit, hint, false);
        return edit;
    };
    w.relativeSizeCheck = Named<QCheckBox>("cbRelSize", tr("Размер, %:"));
    SetHint(w.relativeSizeCheck, tr("Высота надписи в процентах от меньшей стороны снимка"), false);
    p->Place(w.relativeSizeCheck, 8, 131, 90, 17, Fit::FitText);
    w.sizePercentEdit = percent("SizeEdit", 50, tr("Высота надписи, % меньшей стороны"));
    p->Place(w.sizePercentEdit, 104, 128, 57, 22, Fit::FitText);
    w.relativeMarginCheck = Named<QCheckBox>("cbRelMargin", tr("Отступ, %:"));
    SetHint(w.relativeMarginCheck, tr("Отступ от краёв в процентах от меньшей стороны снимка вместо X и Y"), false);
    p->Place(w.relativeMarginCheck, 8, 155, 90, 17, Fit::FitText);
    w.marginPercentEdit = percent("MarginEdit", 50, tr("Отступ от краёв, % меньшей стороны"));
    p->Place(w.marginPercentEdit, 104, 152, 57, 22, Fit::FitText);
    w.outlineCheck = Named<QCheckBox>("cbOutline", tr("Контур"));
    SetHint(w.outlineCheck, tr("Обвести буквы контрастным цветом"), false);
    p->Place(w.outlineCheck, 8, 178, 90, 17, Fit::FitText);
    w.shadowCheck = Named<QCheckBox>("cbShadow", tr("Тень"));
    SetHint(w.shadowCheck, tr("Мягкая тень под буквами, чтобы надпись читалась на любом фоне"), false);
    p->Place(w.shadowCheck, 100, 178, 68, 17, Fit::FitText);
    w.autoColorCheck = Named<QCheckBox>("cbAutoColor", tr("Цвет: Авто"));
    SetHint(w.autoColorCheck, tr("Белый или чёрный текст по яркости снимка под надписью"), false);
    p->Place(w.autoColorCheck, 8, 202, 120, 17, Fit::FitText);
    ShowPlacement();
}

void MainWindow::ShowPlacement()
{
    const StampLook& look = controls_.Look;
    const QSignalBlocker b1(w.anchorList), b2(w.relativeSizeCheck), b3(w.sizePercentEdit), b4(w.relativeMarginCheck),
        b5(w.marginPercentEdit), b6(w.outlineCheck), b7(w.shadowCheck), b8(w.autoColorCheck), b9(w.dateFormatEdit);
    for (size_t i = 0; i < StampAnchorNames.size(); ++i)
        if (StampAnchorNames[i].Anchor == look.Anchor)
            w.anchorList->setCurrentIndex(int(i));
    w.relativeSizeCheck->setChecked(look.RelativeSize);
    w.sizePercentEdit->setValue(look.SizePercent);
    w.relativeMarginCheck->setChecked(look.RelativeMargin);
    w.marginPercentEdit->setValue(look.MarginPercent);
    w.outlineCheck->setChecked(look.Outline);
    w.shadowCheck->setChecked(look.Shadow.has_value());
    w.autoColorCheck->setChecked(look.AutoColor);
    w.textColorButton->setEnabled(!look.AutoColor);
    if (w.dateFormatEdit->text() != U(controls_.DateFormat))
        w.dateFormatEdit->setText(U(controls_.DateFormat));
}

void MainWindow::BuildFolderPanel()
{
    RollUpPanel* p = w.batchPanel = Named<RollUpPanel>("ExPanel1", tr("Для всей группы в папке"), 266);
    w.batchButton =
        PlaceButton(p, "Button4", tr("Автоматически"),
                    tr("Сделать добавление текста ко всем файлам в папке автоматически"), QRect(8, 27, 113, 25));
    w.stopButton = Named<QToolButton>("SpeedButton1");
    w.stopButton->setIcon(StopIcon(29));
    w.stopButton->setIconSize(QSize(29, 29));
    w.stopButton->setAutoRaise(true);
    p->Place(w.stopButton, 134, 22, 33, 33);
    w.renameCheck = Named<QCheckBox>("CheckBox3", tr("Имя = Дате по маске:"));
    w.renameCheck->setChecked(controls_.RenameTicked);
    p->Place(w.renameCheck, 8, 56, 145, 17, Fit::FitText);
    w.namingMaskEdit = Named<QLineEdit>("Edit2", U(controls_.NamingMask));
    p->Place(w.namingMaskEdit, 8, 73, 157, 21);
    w.fileLog = Named<QPlainTextEdit>("Memo1");
    w.fileLog->setReadOnly(true);
    // A file's line (its name, its way and what dated it) wraps, so that it reads whole
    // in the panel's width.
    w.fileLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    w.fileLog->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    w.fileLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SetHint(w.fileLog, tr("Список файлов"), false);
    p->Place(w.fileLog, 8, 96, 161, 73);
    w.fileCountLabel = Named<QLabel>("Label4", tr("Всего файлов:"));
    p->Place(w.fileCountLabel, 8, 176, 74, 13, Fit::FitText);
    w.exifCheck = Named<QCheckBox>("cbEXIF", tr("EXIF"));
    w.exifCheck->setChecked(controls_.ExifCarryOver);
    p->Place(w.exifCheck, 112, 176, 57, 17, Fit::FitText);
    w.progressLabel = Named<QLabel>("Label5");
    p->Place(w.progressLabel, 8, 192, 69, 13, Fit::FitText);
    // The lossless action's state, below the panel's own controls.
    w.losslessCheck = Named<QCheckBox>("cbLossless", tr("Без перекодирования"));
    w.losslessCheck->setChecked(controls_.Lossless);
    p->Place(w.losslessCheck, 8, 208, 161, 17, Fit::FitText);
    // Off at start: a photo that fails ends the run. On, it is told in the file log and passed over.
    w.keepGoingCheck = Named<QCheckBox>("cbKeepGoing", tr("Продолжать после ошибки"));
    p->Place(w.keepGoingCheck, 8, 226, 161, 17, Fit::FitText);
    w.skipExistingCheck = Named<QCheckBox>("cbSkipExisting", tr("Пропускать уже сделанные"));
    SetHint(w.skipExistingCheck, tr("Не делать заново фотографии, которые уже есть в Dated от прошлого запуска"), true);
    p->Place(w.skipExistingCheck, 8, 244, 161, 17, Fit::FitText);
}

void MainWindow::FitPanelColumn()
{
    const int scrollBar = w.panelScroller->verticalScrollBar()->sizeHint().width();
    w.panelScroller->setMinimumWidth(w.panelColumn->minimumSizeHint().width() + scrollBar +
                                     2 * w.panelScroller->frameWidth());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A control of the column grew (a longer text): the column widens to show it whole.
    if (watched == w.panelColumn && event->type() == QEvent::LayoutRequest)
        FitPanelColumn();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::BuildMenu()
{
    menuBar()->setObjectName("MainMenu1");
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(w.actLoad);
    file->addAction(w.actSave);
    file->addSeparator();
    file->addAction(w.actClose);
    QMenu* actions = menuBar()->addMenu(tr("&Действия"));
    actions->addAction(w.actStretch);
    actions->addSeparator();
    actions->addAction(w.actStamp);
    actions->addAction(w.actAutomatic);
    actions->addAction(w.actLossless);
    QMenu* mosaic = menuBar()->addMenu(tr("&Мозаика"));
    mosaic->addAction(w.actMosaic);
    mosaic->addSeparator();
    mosaic->addAction(w.actShowMosaic);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(w.actAbout);
}

QToolButton* MainWindow::AddToolButton(QAction* action, const QString& name)
{
    w.toolBar->addAction(action);
    auto* button = qobject_cast<QToolButton*>(w.toolBar->widgetForAction(action));
    button->setObjectName(name);
    return button;
}

void MainWindow::BuildToolbar()
{
    w.toolBar = addToolBar(QStringLiteral("ToolBar1"));
    w.toolBar->setObjectName("ToolBar1");
    w.toolBar->setMovable(false);
    w.toolBar->setFloatable(false);
    w.toolBar->setIconSize(QSize(16, 16));
    w.toolBar->setFixedHeight(29);
    w.toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto gap = [this](int width) {
        auto* spacer = new QWidget;
        spacer->setFixedWidth(width);
        w.toolBar->addWidget(spacer);
    };
    gap(8);
    w.loadToolButton = AddToolButton(w.actLoad, "ToolButton7");
    w.saveToolButton = AddToolButton(w.actSave, "ToolButton8");
    gap(8);
    w.stampToolButton = AddToolButton(w.actStamp, "ToolButton9");
    w.frameToolButton = AddToolButton(w.actFrame, "ToolButton13");
    gap(8);
    w.automaticToolButton = AddToolButton(w.actAutomatic, "ToolButton11");
    gap(19);
    w.stretchToolButton = AddToolButton(w.actStretch, "ToolButton1");
    gap(18);
    w.mosaicToolButton = AddToolButton(w.actMosaic, "ToolButton4");
    w.showMosaicToolButton = AddToolButton(w.actShowMosaic, "ToolButton5");
    w.countToolButton = AddToolButton(w.actCount, "ToolButton14");
    w.gaugeSpacer = Named<QLabel>("Label3");
    w.gaugeSpacer->setFixedWidth(3);
    w.toolBar->addWidget(w.gaugeSpacer);
    w.progressGauge = Named<BarGauge>("Gauge1");
    w.progressGauge->setFixedSize(394, 22);
    w.progressGaugeAction = w.toolBar->addWidget(w.progressGauge);
}

void MainWindow::Wire()
{
    // Actions run the operations; the controls that share an operation trigger its action.
    auto on = [this](QAction* a, void (MainWindow::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { Guard([&] { (this->*handler)(); }); });
    };
    on(w.actLoad, &MainWindow::ChoosePicture);
    on(w.actSave, &MainWindow::SavePicture);
    on(w.actStamp, &MainWindow::StampPicture);
    on(w.actFrame, &MainWindow::FramePicture);
    on(w.actAutomatic, &MainWindow::StampFolder);
    on(w.actStretch, &MainWindow::ToggleStretch);
    on(w.actMosaic, &MainWindow::OpenMosaicModal);
    on(w.actShowMosaic, &MainWindow::ShowMosaicBeside);
    on(w.actCount, &MainWindow::CountFolderPictures);
    on(w.actClose, &MainWindow::CloseWindow);
    on(w.actAbout, &MainWindow::ShowAbout);
    connect(w.loadButton, &QPushButton::clicked, w.actLoad, &QAction::trigger);
    connect(w.saveButton, &QPushButton::clicked, w.actSave, &QAction::trigger);
    connect(w.stampButton, &QPushButton::clicked, w.actStamp, &QAction::trigger);
    connect(w.batchButton, &QPushButton::clicked, w.actAutomatic, &QAction::trigger);
    // The batch panel's check box shows the lossless action's state and switches it.
    w.actLossless->setChecked(controls_.Lossless);
    connect(w.actLossless, &QAction::toggled, w.losslessCheck, &QCheckBox::setChecked);
    connect(w.losslessCheck, &QCheckBox::toggled, w.actLossless, &QAction::setChecked);

    WireControlsToRecord();
    auto handle = [this](void (MainWindow::*handler)()) {
        return [this, handler] { Guard([&] { (this->*handler)(); }); };
    };
    connect(w.stopButton, &QToolButton::clicked, this, handle(&MainWindow::StopBatch));
    connect(w.textColorButton, &QPushButton::clicked, this, handle(&MainWindow::ChooseTextColor));
    connect(w.fontButton, &QPushButton::clicked, this, handle(&MainWindow::ChooseStampFont));
    connect(w.backgroundColorButton, &QPushButton::clicked, this, handle(&MainWindow::ChooseBackgroundColor));
    connect(w.presetList, &QComboBox::currentIndexChanged, this, handle(&MainWindow::PresetChosen));
    connect(w.dateSourceList, &QComboBox::currentIndexChanged, this, handle(&MainWindow::DateSourceChosen));
    connect(w.dateSourceList, &QComboBox::editTextChanged, this, handle(&MainWindow::DateSourceChosen));
    connect(w.dateModeCheck, &QCheckBox::toggled, this, handle(&MainWindow::DateModeSwitched));
    connect(w.transparentCheck, &QCheckBox::toggled, this, handle(&MainWindow::TransparentSwitched));
    connect(w.renameCheck, &QCheckBox::toggled, this, handle(&MainWindow::RenameSwitched));
    connect(w.correctionEnabled, &QCheckBox::toggled, this, handle(&MainWindow::CorrectionSwitched));
    // The relative size and margin switch their percent edits (and the margin the X and Y edits).
    connect(w.relativeSizeCheck, &QCheckBox::toggled, this, [this] { ApplyControlStates(); });
    connect(w.relativeMarginCheck, &QCheckBox::toggled, this, [this] { ApplyControlStates(); });
    connect(w.qualitySlider, &QSlider::valueChanged, this, handle(&MainWindow::QualityChanged));
    connect(w.datePicker, &QDateEdit::dateChanged, this, handle(&MainWindow::PickedDateChanged));
    connect(w.timePicker, &QTimeEdit::timeChanged, this, handle(&MainWindow::PickedDateChanged));
}

void MainWindow::WireControlsToRecord()
{
    // Every control that holds a value of the record writes it there as it changes, before
    // the control's own handler runs; the handlers and the batch read the record.
    StampControls& c = controls_;
    connect(w.xOffsetEdit, &QSpinBox::textChanged, this, [&c](const QString& t) { c.Look.X = PositionFromText(S(t)); });
    connect(w.yOffsetEdit, &QSpinBox::textChanged, this, [&c](const QString& t) { c.Look.Y = PositionFromText(S(t)); });
    connect(w.ownTextEdit, &QLineEdit::textChanged, this, [&c](const QString& t) { c.OwnText = S(t); });
    connect(w.qualitySlider, &QSlider::valueChanged, this, [&c](int v) { c.Quality = v; });
    connect(w.namingMaskEdit, &QLineEdit::textChanged, this, [&c](const QString& t) { c.NamingMask = S(t); });
    connect(w.renameCheck, &QCheckBox::toggled, this, [&c](bool on) { c.RenameTicked = on; });
    connect(w.exifCheck, &QCheckBox::toggled, this, [&c](bool on) { c.ExifCarryOver = on; });
    connect(w.actLossless, &QAction::toggled, this, [&c](bool on) { c.Lossless = on; });
    connect(w.correctionEnabled, &QCheckBox::toggled, this, [&c](bool on) { c.CorrectionOn = on; });
    auto direction = [this, &c] { c.CorrectionDirection = SelectedIndex(w.correctionDirectionList); };
    connect(w.correctionDirectionList, &QComboBox::currentIndexChanged, this, direction);
    connect(w.correctionDirectionList, &QComboBox::editTextChanged, this, direction);
    connect(w.correctionEdit, &QLineEdit::textChanged, this, [&c](const QString& t) { c.CorrectionText = S(t); });
    connect(w.anchorList, &QComboBox::currentIndexChanged, this, [&c](int i) {
        if (i >= 0 && i < int(StampAnchorNames.size()))
            c.Look.Anchor = StampAnchorNames[size_t(i)].Anchor;
    });
    connect(w.relativeSizeCheck, &QCheckBox::toggled, this, [&c](bool on) { c.Look.RelativeSize = on; });
    connect(w.sizePercentEdit, &QDoubleSpinBox::valueChanged, this, [&c](double v) { c.Look.SizePercent = v; });
    connect(w.relativeMarginCheck, &QCheckBox::toggled, this, [&c](bool on) { c.Look.RelativeMargin = on; });
    connect(w.marginPercentEdit, &QDoubleSpinBox::valueChanged, this, [&c](double v) { c.Look.MarginPercent = v; });
    connect(w.outlineCheck, &QCheckBox::toggled, this, [&c](bool on) { c.Look.Outline = on; });
    connect(w.shadowCheck, &QCheckBox::toggled, this,
            [&c](bool on) { c.Look.Shadow = on ? std::optional<StampShadow>(StampShadow{}) : std::nullopt; });
    connect(w.autoColorCheck, &QCheckBox::toggled, this, [this, &c](bool on) {
        c.Look.AutoColor = on;
        w.textColorButton->setEnabled(!on);
    });
    connect(w.dateFormatEdit, &QLineEdit::textChanged, this, [&c](const QString& t) { c.DateFormat = S(t); });
    // An edited preset text applies nothing; the record only notes that no entry is chosen.
    connect(w.presetList, &QComboBox::editTextChanged, this,
            [this, &c] { c.PresetIndex = SelectedIndex(w.presetList); });
}

// ---- Start-up ----

void MainWindow::ApplyInitialSettings()
{
    settings_ = InitialStampSettings();
    window_ = InitialWindowState();
    ApplyControlStates();
}

void MainWindow::RollUpStartPanels()
{
    w.picturePanel->SetRolled(true);
    w.correctionPanel->SetRolled(true);
    w.positionPanel->SetRolled(true);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FitToAvailableArea(*this, ScreenFit::MovesIn);
    if (!event->spontaneous())
        Guard([this] { RollUpStartPanels(); });
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A running batch or mosaic build finishes its file or column first; the window
    // closes when it has ended.
    const bool building = mosaicWindow_ && mosaicWindow_->Building();
    if (batchRunning_ || building) {
        window_.StopRequested = true;
        if (building)
            mosaicWindow_->StopBuild();
        closePending_ = true;
        event->ignore();
        return;
    }
    if (mosaicWindow_)
        mosaicWindow_->close();
    if (aboutDialog_)
        aboutDialog_->close();
    event->accept();
    emit Closed();
}

void MainWindow::ApplyControlStates()
{
    const StampControlStates states = ControlStates(settings_, controls_);
    w.ownTextEdit->setEnabled(states.OwnTextEnabled);
    w.datePicker->setEnabled(states.DatePickersEnabled && !batchRunning_);
    w.timePicker->setEnabled(states.DatePickersEnabled && !batchRunning_);
    w.backgroundColorButton->setEnabled(states.BackgroundColorEnabled);
    w.namingMaskEdit->setEnabled(states.NamingMaskEnabled);
    w.correctionDirectionList->setEnabled(states.CorrectionEnabled);
    w.correctionEdit->setEnabled(states.CorrectionEnabled || !correctionSwitched_);
    w.xOffsetEdit->setEnabled(states.PositionEnabled);
    w.yOffsetEdit->setEnabled(states.PositionEnabled);
    w.sizePercentEdit->setEnabled(states.SizePercentEnabled);
    w.marginPercentEdit->setEnabled(states.MarginPercentEnabled);
    // While a folder batch runs, its start button and the stamp panel are off, and its
    // stop button and gauge on.
    w.batchButton->setEnabled(!batchRunning_);
    w.stampTextPanel->setEnabled(!batchRunning_);
    w.stopButton->setEnabled(batchRunning_);
    w.progressGaugeAction->setVisible(batchRunning_);
}

// ---- Single picture ----

void MainWindow::ChoosePicture()
{
    if (std::optional<QString> chosen = dialogs_.OpenPicture(this, U(window_.StartFolder)))
        LoadPicture(*chosen);
}

void MainWindow::OpenNamedPicture(const QString& path)
{
    Guard([&] { LoadPicture(QFileInfo(path).absoluteFilePath()); });
}

void MainWindow::LoadPicture(const QString& path)
{
    QImage picture = LoadJpeg(S(path));
    loadedPath_ = S(path);
    w.pictureView->resize(picture.size());
    window_.PictureWidth = picture.width();
    window_.PictureHeight = picture.height();
    w.sizeStatus->setText(QString::number(picture.width()) + tr(" на ") + QString::number(picture.height()));
    w.pictureView->SetPicture(picture);
    const QFileInfo info(path);
    PictureInformation(S(info.absolutePath() + '/'), S(info.fileName()));
}

void MainWindow::PictureInformation(const std::string& folder, const std::string& name)
{
    w.infoStatus->setText(U(folder));
    const std::optional<FileFacts> facts = GetFileFacts(folder + name);
    if (!facts || name.empty() || name[0] == '.')
        return;
    QApplication::processEvents();
    const PhotoFacts photo = ReadPhoto(folder + name, facts->Created, settings_.DateSource);
    caption_ = photo.Caption;
    w.fileLog->appendPlainText(U(photo.Report));
    if (photo.Origin != DateOrigin::ExifTag)
        w.fileLog->appendPlainText(U(name) + OriginText(photo.Origin));
    SetDateText(U(StampDateText(photo.Date)));
    {
        const DateTimeFields f = DecodeDateTime(photo.Date);
        const QSignalBlocker b1(w.datePicker), b2(w.timePicker);
        w.datePicker->setDate(QDate(f.Year, f.Month, f.Day));
        w.timePicker->setTime(QTime(f.Hour, f.Minute, f.Second));
    }
    if (controls_.CorrectionOn)
        ShowCorrectedDate(CorrectedDate(photo.Date, RequestFromControls(settings_, controls_).Date.Correction));
}

void MainWindow::SetDateText(const QString& text)
{
    w.dateLabel->setText(text);
    controls_.StampDateText = S(text);
}

void MainWindow::ShowCorrectedDate(TDateTime date)
{
    w.correctedDateLabel->setText(U(StampDateText(date)));
}

void MainWindow::PickedDateChanged()
{
    const std::string date = FormatDateTime("dd.mm.yyyy ", PickerDate(w.datePicker->date()));
    const std::string time = FormatDateTime("hh:nn:ss", PickerTime(w.timePicker->time()));
    SetDateText(U(date + time));
}

void MainWindow::StampPicture()
{
    // The date as the pickers set it, written with the date format; the label's text as it
    // stands with the fixed one.
    const StampRequest request = RequestFromControls(settings_, controls_);
    CaptionFacts facts = caption_;
    facts.Date = PickerDate(w.datePicker->date()) + PickerTime(w.timePicker->time());
    const std::string& format = request.Date.Format;
    const std::string dateText =
        format == StampDateMask ? controls_.StampDateText : FormatDateTime(format, facts.Date);
    DrawStamp(CurrentPicture(), CaptionText(request.Date, dateText, facts), request.Look);
    w.pictureView->update();
}

void MainWindow::FramePicture()
{
    AddFrame(CurrentPicture(), window_.PictureWidth, window_.PictureHeight);
    w.pictureView->update();
}

void MainWindow::ToggleStretch()
{
    if (!window_.Stretched) {
        window_.PictureWidth = w.pictureView->width();
        window_.PictureHeight = w.pictureView->height();
        w.pictureView->resize(std::max(1, w.pictureScroller->width() - 6),
                              std::max(1, w.pictureScroller->height() - 6));
        w.pictureView->SetStretch(true);
        w.pictureView->repaint();
        window_.Stretched = true;
    } else {
        w.pictureView->resize(window_.PictureWidth, window_.PictureHeight);
        w.pictureView->SetStretch(false);
        w.pictureView->repaint();
        window_.Stretched = false;
    }
}

void MainWindow::SavePicture()
{
    std::optional<QString> chosen = dialogs_.SavePicture(this, QStringLiteral("jpg"));
    if (!chosen)
        return;
    const std::string path = S(WithDefaultExtension(*chosen, QStringLiteral("jpg")));
    if (!controls_.Lossless || loadedPath_.empty()) {
        SaveJpeg(CurrentPicture(), path, controls_.Quality);
        return;
    }
    // The lossless mode: the file's line in the log tells how the picture went in.
    const std::optional<BatchWay> way = SaveJpegLosslessly(CurrentPicture(), loadedPath_, path, controls_.Quality);
    w.fileLog->appendPlainText(QFileInfo(U(path)).fileName() + WayText(way));
}

// ---- Mosaic ----

bool MainWindow::MosaicAllowed()
{
    if (window_.PictureWidth < 2 || window_.PictureHeight < 2) {
        dialogs_.Message(this, tr("Загрузите картинку сначала"));
        return false;
    }
    return mosaicWindow_ != nullptr;
}

void MainWindow::OpenMosaicModal()
{
    if (!MosaicAllowed())
        return;
    w.pictureView->resize(window_.PictureWidth, window_.PictureHeight);
    w.pictureView->SetStretch(false);
    window_.Stretched = false;
    w.pictureView->repaint();
    if (mosaicWindow_->isVisible())
        mosaicWindow_->hide();  // a modeless mosaic window becomes the modal one
    dialogs_.ShowModal(*mosaicWindow_);
}

void MainWindow::ShowMosaicBeside()
{
    if (!MosaicAllowed())
        return;
    mosaicWindow_->ShowBeside(*menuBar());
}

// ---- Folder batch ----

void MainWindow::CountFolderPictures()
{
    // The chooser's answer is not looked at: cancelling counts the start folder.
    std::optional<QString> chosen = dialogs_.ChooseFolder(this, FolderChooserTitle(), U(window_.StartFolder));
    window_.FileCount = CountPictures(chosen ? S(*chosen) : window_.StartFolder);
    w.infoStatus->setText(QString::number(window_.FileCount));
}

void MainWindow::StopBatch()
{
    window_.StopRequested = true;
}

void MainWindow::StampFolder()
{
    if (batchRunning_)
        return;  // the entries that forward here stay live during a run: one run at a time
    std::optional<QString> chosen = dialogs_.ChooseFolder(this, FolderChooserTitle(), U(window_.StartFolder));
    if (!chosen)
        return;
    QString folder = *chosen;
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    RunBatch(S(folder));
}

void MainWindow::RunBatch(const std::string& folder)
{
    batchRunning_ = true;
    ApplyControlStates();
    // The controls come back however the run ends; after a failure the window stays usable.
    const auto restore = qScopeGuard([this] {
        batchRunning_ = false;
        ApplyControlStates();
        if (closePending_)
            QTimer::singleShot(0, this, &QWidget::close);
    });
    const TDateTime start = Now();
    window_.StopRequested = false;
    // The engine counts the entries, makes the subfolder, lets events run before the loop
    // and twice per file, and reads the stop flag after each file.
    BatchAdapter observer(*this);
    TBatchOptions options;
    options.RenameByMask = controls_.RenameTicked;
    options.Jobs = 1;  // on the window's thread, letting events run between files
    options.KeepGoing = w.keepGoingCheck->isChecked();
    options.SkipExisting = w.skipExistingCheck->isChecked();
    const TBatchResult result = RunFolderBatch(folder, options, observer);
    w.infoStatus->setText(DurationText(Now() - start));
    QString finished = tr("Закончил добавление текста или даты в картинки");
    if (result.Damaged > 0)
        finished += tr("\nПовреждённых фотографий: %1 (сделаны, насколько хватило их данных)").arg(result.Damaged);
    if (!closePending_)
        dialogs_.Message(this, finished);
}

// ---- Settings ----

int MainWindow::SelectedIndex(const QComboBox* box)
{
    const int index = box->currentIndex();
    if (index < 0)
        return -1;
    if (box->isEditable() && box->currentText() != box->itemText(index))
        return -1;
    return index;
}

void MainWindow::PresetChosen()
{
    const PresetFollowUps done = ApplyPreset(SelectedIndex(w.presetList), controls_, settings_);
    if (!done.Applied)
        return;
    // The engine has made every follow-up in the records; the widgets only show the new
    // values, without running their handlers a second time.
    if (done.QualityChanged) {
        const QSignalBlocker block(w.qualitySlider);
        w.qualitySlider->setValue(controls_.Quality);
        QualityChanged();
    }
    if (done.DateSourceChanged) {
        const QSignalBlocker block(w.dateSourceList);
        w.dateSourceList->setCurrentIndex(int(settings_.DateSource));
        w.dateSourceList->setEditText(w.dateSourceList->itemText(int(settings_.DateSource)));
    }
    if (done.DateModeChanged) {
        const QSignalBlocker block(w.dateModeCheck);
        w.dateModeCheck->setChecked(settings_.DateMode);
    }
    if (done.OwnTextCleared) {
        const QSignalBlocker block(w.ownTextEdit);
        w.ownTextEdit->clear();
    }
    if (done.RenameChanged) {
        const QSignalBlocker block(w.renameCheck);
        w.renameCheck->setChecked(controls_.RenameTicked);
    }
    if (done.ExifChanged) {
        const QSignalBlocker block(w.exifCheck);
        w.exifCheck->setChecked(controls_.ExifCarryOver);
    }
    if (done.NamingMaskChanged) {
        const QSignalBlocker block(w.namingMaskEdit);
        w.namingMaskEdit->setText(U(controls_.NamingMask));
    }
    if (done.LookChanged || done.DateFormatChanged)
        ShowPlacement();
    if (done.FontMissing)
        dialogs_.Message(this, tr("Шрифт \"%1\" не установлен (пакет fonts-dseg); используется шрифт по умолчанию.")
                                   .arg(U(std::string(FilmFontName))));
    if (done.TransparentChanged) {
        const QSignalBlocker block(w.transparentCheck);
        w.transparentCheck->setChecked(IsTransparent(controls_.Look));
    }
    ApplyControlStates();
}

void MainWindow::DateModeSwitched()
{
    SwitchDateMode(settings_);
    ApplyControlStates();
}

void MainWindow::DateSourceChosen() { settings_.DateSource = PhotoDateSource(SelectedIndex(w.dateSourceList)); }

void MainWindow::TransparentSwitched()
{
    SwitchTransparent(controls_.Look);
    ApplyControlStates();
}

void MainWindow::RenameSwitched()
{
    ApplyControlStates();
}

void MainWindow::CorrectionSwitched()
{
    correctionSwitched_ = true;
    ApplyControlStates();
}

void MainWindow::QualityChanged()
{
    w.qualityLabel->setText(U(QualityLabelText(controls_.Quality)));
}

void MainWindow::ChooseTextColor()
{
    if (auto c = dialogs_.ChooseColor(this, ToQColor(controls_.Look.TextColor), tr("Цвет текста")))
        controls_.Look.TextColor = FromQColor(*c);
}

void MainWindow::ChooseStampFont()
{
    // The dialog opens on the face the stamp is drawn in; confirmed without a change, the
    // stamp keeps its font as it was (also the name of a face that stands in for another).
    const QFont offered = ToQFont(controls_.Look.Font);
    if (auto f = dialogs_.ChooseFont(this, offered)) {
        const TFont chosen = FromQFont(*f);
        if (chosen != FromQFont(offered))
            controls_.Look.Font = chosen;
    }
}

void MainWindow::ChooseBackgroundColor()
{
    if (auto c = dialogs_.ChooseColor(this, ToQColor(controls_.Look.BackgroundColor), tr("Цвет фона")))
        controls_.Look.BackgroundColor = FromQColor(*c);
}

void MainWindow::CloseWindow()
{
    close();
}

void MainWindow::ShowAbout()
{
    if (aboutDialog_)
        dialogs_.ShowModal(*aboutDialog_);
}

}  // namespace morvik::ui
