#include "ui/Form1.h"

#include "platform/DateMask.h"
#include "platform/FileSystem.h"
#include "stamping/Caption.h"
#include "stamping/FolderBatch.h"
#include "stamping/TimeCorrection.h"
#include "ui/AboutBox.h"
#include "ui/EngineBridge.h"
#include "ui/Form2.h"
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
QString WayText(const std::string& way)
{
    if (way.empty())
        return {};
    constexpr std::string_view reEncoded = "re-encoded: ";  // then the reason, as it stands
    if (way.starts_with(reEncoded))
        return QStringLiteral("  (") + TForm1::tr("перекодировано: ") + U(way.substr(reEncoded.size())) + ')';
    static const std::pair<const char*, const char*> phrases[] = {
        {"lossless", "без перекодирования"},
        {", new Huffman tables", ", новые таблицы Хаффмана"},
        {", picture data coded again", ", данные сжаты заново"},
        {", damaged data after the stamp kept", ", повреждённые данные после даты сохранены"},
    };
    QString said = U(way);
    for (const auto& [english, russian] : phrases)
        if (said.contains(QLatin1String(english)))
            said.replace(QString::fromUtf8(english), TForm1::tr(russian));
    return QStringLiteral("  (") + said + ')';
}

// What dated a photo when it was not the EXIF date chosen: "  (имя файла)", "  (время файла)".
QString OriginText(DateOrigin origin)
{
    switch (origin) {
    case DateOrigin::FileName:
        return TForm1::tr("  (имя файла)");
    case DateOrigin::FileTime:
        return TForm1::tr("  (время файла)");
    case DateOrigin::ExifTag:
        break;
    }
    return {};
}

}  // namespace

// The window's side of the folder batch: the engine reports, the window shows.
class BatchAdapter : public TBatchObserver {
public:
    explicit BatchAdapter(TForm1& form) : f(form) {}
    TBatchControls CurrentControls() override { return {f.settings_, f.controls_}; }
    void BatchStarted(int fileCount) override
    {
        f.settings_.FileCount = fileCount;
        f.w.Label4->setText(TForm1::tr("Всего файлов:") + QString::number(fileCount));
        f.w.Gauge1->SetMaxValue(fileCount);
        f.w.Gauge1->SetProgress(0);
    }
    void ProcessPendingEvents() override { QApplication::processEvents(QEventLoop::AllEvents); }
    void FileDated(const std::string& stampText) override { f.SetDateText(U(stampText)); }
    void FileStarted(const std::string& name) override { f.w.Memo1->appendPlainText(U(name)); }
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
        QTextCursor end(f.w.Memo1->document());
        end.movePosition(QTextCursor::End);
        end.insertText(note);
    }
    // Only while "Продолжать после ошибки" is ticked: the failure's message names the file.
    void FileFailed(const std::string&, const std::string& message) override
    {
        f.w.Memo1->appendPlainText(TForm1::tr("Ошибка: ") + U(message));
        if (!fileCounted_)
            ++passedOver_;
        fileCounted_ = false;
        ShowProgress();
    }
    void FileSkipped(const std::string& name, const std::string& outputPath) override
    {
        f.w.Memo1->appendPlainText(U(name) + TForm1::tr("  (уже сделан: ") + U(outputPath) + ")");
        ++passedOver_;
        ShowProgress();
    }
    bool StopRequested() override { return f.settings_.StopRequested; }

private:
    // The gauge, Label5 and the status panel count every file the run has gone through:
    // those it decoded (the run counter) and those it passed over, failed before they
    // were decoded or made by an earlier run; so a run that goes on past a broken photo
    // ends on its real end, not short of it.
    void ShowProgress()
    {
        const int done = runCounter_ + passedOver_;
        f.w.Gauge1->SetProgress(done);
        f.w.Label5->setText(TForm1::tr("Обрабатывается:") + QString::number(done));
        f.w.StatusPanel1->setText(TForm1::tr("Обрабатывается:") + QString::number(done) + TForm1::tr(" из ") +
                                  QString::number(f.settings_.FileCount));
    }

    TForm1& f;
    int runCounter_ = 0;
    int passedOver_ = 0;
    bool fileCounted_ = false;  // the file in hand is in the run counter
};

TForm1::TForm1(IDialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs)
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
    Guard([this] { FormCreate(); });
}

QImage& TForm1::CurrentPicture()
{
    // Before the first load the view holds no picture: drawing goes on an empty one of
    // the view's size.
    QImage& picture = w.Image1->Picture();
    if (picture.isNull()) {
        picture = QImage(std::max(1, w.Image1->width()), std::max(1, w.Image1->height()), QImage::Format_RGB32);
        picture.fill(Qt::white);
    }
    return picture;
}

QImage TForm1::PictureCopy() const { return w.Image1->Picture(); }

// ---- Building the window ----

void TForm1::BuildActions()
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
    // Menu items are the actions themselves.
    w.N3 = w.actLoad;
    w.N4 = w.actSave;
    w.Close1 = w.actClose;
    w.N9 = w.actStretch;
    w.N7 = w.actStamp;
    w.N8 = w.actAutomatic;
    w.N2 = w.actMosaic;
    w.N11 = w.actShowMosaic;
    w.About1 = w.actAbout;
}

void TForm1::BuildLayout()
{
    w.Panel1 = LoweredPanel("Panel1");
    auto* workLayout = new QHBoxLayout(w.Panel1);
    workLayout->setContentsMargins(1, 1, 1, 1);
    w.Splitter1 = Named<QSplitter>("Splitter1", Qt::Horizontal);
    w.Splitter1->setChildrenCollapsible(false);
    workLayout->addWidget(w.Splitter1);

    // Left: the picture area.
    w.Panel2 = LoweredPanel("Panel2");
    auto* leftLayout = new QVBoxLayout(w.Panel2);
    leftLayout->setContentsMargins(1, 1, 1, 1);
    w.ScrollBox1 = Named<QScrollArea>("ScrollBox1");
    w.ScrollBox1->setFrameShape(QFrame::NoFrame);
    w.ScrollBox1->setWidgetResizable(false);
    w.ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    w.Image1 = Named<PictureView>("Image1");
    w.Image1->resize(105, 105);
    w.ScrollBox1->setWidget(w.Image1);
    SetHint(w.ScrollBox1, tr("Ну типа картинка"), true);
    SetHint(w.Image1, tr("Ну типа картинка"), true);
    leftLayout->addWidget(w.ScrollBox1);
    w.Splitter1->addWidget(w.Panel2);

    // Right: the column of roll-up panels.
    w.Panel3 = LoweredPanel("Panel3");
    auto* rightLayout = new QVBoxLayout(w.Panel3);
    rightLayout->setContentsMargins(1, 1, 1, 1);
    w.ScrollBox2 = Named<QScrollArea>("ScrollBox2");
    w.ScrollBox2->setFrameShape(QFrame::NoFrame);
    w.ScrollBox2->setWidgetResizable(true);
    w.ScrollBox2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    w.ScrollBox2->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    rightLayout->addWidget(w.ScrollBox2);
    w.Splitter1->addWidget(w.Panel3);
    w.Splitter1->setStretchFactor(0, 1);
    w.Splitter1->setStretchFactor(1, 0);
    BuildPanelColumn();
    w.Splitter1->setSizes({765 - 197 - 10, 197});

    setCentralWidget(w.Panel1);
}

void TForm1::BuildStatusBar()
{
    // The size panel is 100 pixels wide and grows for a longer size.
    w.StatusPanel0 = Named<QLabel>("StatusPanel0");
    w.StatusPanel0->setMinimumWidth(100);
    w.StatusPanel1 = Named<QLabel>("StatusPanel1");
    w.StatusPanel1->setMinimumWidth(50);
    statusBar()->setObjectName("StatusBar1");
    statusBar()->setSizeGripEnabled(true);
    statusBar()->addWidget(w.StatusPanel0);
    statusBar()->addWidget(w.StatusPanel1, 1);
    statusBar()->setFixedHeight(19);
}

void TForm1::BuildPanelColumn()
{
    w.PanelColumn = Named<QWidget>("PanelColumn");
    auto* stack = new QVBoxLayout(w.PanelColumn);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    BuildPictureMenuPanel();
    BuildPresetPanel();
    BuildStampTextPanel();
    BuildCorrectionPanel();
    BuildPositionPanel();
    BuildFolderPanel();
    for (RollUpPanel* p : {w.ExPanel2, w.ExPanel4, w.ExPanel3, w.ExPanel5, w.ExPanel6, w.ExPanel1})
        stack->addWidget(p);
    stack->addStretch(1);
    w.ScrollBox2->setWidget(w.PanelColumn);
    w.PanelColumn->installEventFilter(this);
    FitPanelColumn();
}

void TForm1::BuildPictureMenuPanel()
{
    RollUpPanel* p = w.ExPanel2 = Named<RollUpPanel>("ExPanel2", tr("Меню 1 картинки"), 87);
    w.Button1 = PlaceButton(p, "Button1", tr("Load Picture"), tr("Загрузить картинку"), QRect(16, 24, 73, 25));
    w.Button3 = PlaceButton(p, "Button3", tr("Save Picture"), tr("Сохранить"), QRect(16, 54, 73, 25));
    w.StaticText4 = Named<QLabel>("StaticText4", tr("Качество JPG"));
    p->Place(w.StaticText4, 96, 24, 74, 17, Fit::FitText);
    w.TrackBar1 = Named<QSlider>("TrackBar1", Qt::Horizontal);
    w.TrackBar1->setRange(0, 100);
    w.TrackBar1->setValue(controls_.Quality);
    w.TrackBar1->setSingleStep(1);
    w.TrackBar1->setPageStep(10);
    w.TrackBar1->setTickPosition(QSlider::NoTicks);
    SetHint(w.TrackBar1, tr("Качество сжатия JPEG"), false);
    p->Place(w.TrackBar1, 92, 40, 77, 17);
    w.Label2 = Named<QLabel>("Label2", U(QualityLabelText(controls_.Quality)));
    p->Place(w.Label2, 120, 56, 23, 13, Fit::FitText);
}

void TForm1::BuildPresetPanel()
{
    RollUpPanel* p = w.ExPanel4 = Named<RollUpPanel>("ExPanel4", tr("Предустановки"), 48);
    QStringList names;
    for (const StampPreset& preset : StampPresets)
        names << tr(std::string(preset.Name).c_str());
    w.cbConf = MakeList("cbConf", names, controls_.PresetIndex);
    p->Place(w.cbConf, 8, 24, 161, 21, Fit::FitText);
}

void TForm1::BuildStampTextPanel()
{
    RollUpPanel* p = w.ExPanel3 = Named<RollUpPanel>("ExPanel3", tr("Запись текста в JPG"), 205);
    w.CheckBox1 = Named<QCheckBox>("CheckBox1", tr("Дату"));
    w.CheckBox1->setChecked(settings_.DateMode);
    SetHint(w.CheckBox1, tr("Добавлять в картинку дату изменения или ВАШ текст"), false);
    p->Place(w.CheckBox1, 8, 24, 48, 17, Fit::FitText);
    QStringList sources;
    for (std::string_view label : DateSourceLabels)
        sources << tr(std::string(label).c_str());
    w.ComboBox1 = MakeList("ComboBox1", sources, settings_.DateSource);
    // A little right of its design place, so the wider desktop font leaves "Дату" whole.
    p->Place(w.ComboBox1, 62, 24, 107, 21, Fit::FitText);
    w.Label1 = Named<QLabel>("Label1");
    w.Label1->setFont(BoldFont());
    p->Place(w.Label1, 8, 48, 161, 16, Fit::FitText);
    w.DateTimePicker1 = Named<QDateEdit>("DateTimePicker1", QDate(2007, 8, 15));
    w.DateTimePicker1->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    w.DateTimePicker1->setMinimumDate(QDate(100, 1, 1));
    w.DateTimePicker1->setCalendarPopup(true);
    w.DateTimePicker1->setFont(WindowFont(10));
    SetHint(w.DateTimePicker1, tr("Изменить дату "), false);
    p->Place(w.DateTimePicker1, 8, 64, 81, 21, Fit::FitText);
    w.DateTimePicker2 = Named<QTimeEdit>("DateTimePicker2", QTime(12, 0, 0));
    w.DateTimePicker2->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    w.DateTimePicker2->setFont(WindowFont(10));
    SetHint(w.DateTimePicker2, tr("Изменить время"), false);
    p->Place(w.DateTimePicker2, 88, 64, 82, 21, Fit::FitText);
    w.StaticText1 = Named<QLabel>("StaticText1", tr("Текст:"));
    p->Place(w.StaticText1, 8, 88, 37, 17, Fit::FitText);
    w.Edit1 = Named<QLineEdit>("Edit1");
    SetHint(w.Edit1, tr("Сюда можете ввести свой текст"), true);
    // The fields the own text may name, listed in its hint and inserted from its menu.
    QStringList fields;
    for (std::string_view field : CaptionFieldNames)
        fields << QStringLiteral("{%1}").arg(U(std::string(field)));
    w.Edit1->setToolTip(w.Edit1->toolTip() + tr("\nПоля снимка: ") + fields.join(QStringLiteral(" ")) +
                        tr("\n\\n — новая строка"));
    w.Edit1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w.Edit1, &QLineEdit::customContextMenuRequested, this, [this, fields](const QPoint& at) {
        std::unique_ptr<QMenu> menu(w.Edit1->createStandardContextMenu());
        QMenu* insert = menu->addMenu(tr("Вставить поле"));
        for (const QString& field : fields)
            insert->addAction(field, this, [this, field] { w.Edit1->insert(field); });
        insert->addAction(QStringLiteral("\\n"), this, [this] { w.Edit1->insert(QStringLiteral("\\n")); });
        menu->exec(w.Edit1->mapToGlobal(at));
    });
    p->Place(w.Edit1, 8, 105, 161, 21);
    w.DateFormatLabel = Named<QLabel>("DateFormatLabel", tr("Формат даты:"));
    p->Place(w.DateFormatLabel, 8, 129, 100, 17, Fit::FitText);
    w.DateFormatEdit = Named<QLineEdit>("DateFormatEdit", U(controls_.DateFormat));
    SetHint(w.DateFormatEdit, tr("Как записывать дату: dd.mm.yyyy hh:nn:ss, d mmmm yyyy, \"'\"yy mm dd"), false);
    p->Place(w.DateFormatEdit, 8, 146, 161, 21);
    w.Button2 = PlaceButton(p, "Button2", tr("Ввести текст"), tr("Совершить добавление текста"),
                            QRect(8, 172, 160, 25));
    w.Button2->setFont(BoldFont());
}

void TForm1::BuildCorrectionPanel()
{
    RollUpPanel* p = w.ExPanel5 = Named<RollUpPanel>("ExPanel5", tr("Погрешность"), 84);
    w.cbPogr = Named<QCheckBox>("cbPogr", tr("Есть погрешность"));
    w.cbPogr->setChecked(controls_.CorrectionOn);
    p->Place(w.cbPogr, 8, 24, 137, 17, Fit::FitText);
    w.cbDirect = MakeList("cbDirect", {QStringLiteral("+"), QStringLiteral("-")}, controls_.CorrectionDirection);
    p->Place(w.cbDirect, 8, 40, 38, 21);
    w.StaticText5 = Named<QLabel>("StaticText5", tr("Часы"));
    p->Place(w.StaticText5, 48, 44, 32, 17, Fit::FitText);
    w.TimeEdit1 = Named<TimeEdit>("TimeEdit1");
    w.TimeEdit1->setText(U(controls_.CorrectionText));
    p->Place(w.TimeEdit1, 84, 42, 82, 20);
    w.Panel4 = Named<QLabel>("Panel4");
    w.Panel4->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    w.Panel4->setAlignment(Qt::AlignCenter);
    p->Place(w.Panel4, 8, 64, 159, 17);
}

void TForm1::BuildPositionPanel()
{
    RollUpPanel* p = w.ExPanel6 = Named<RollUpPanel>("ExPanel6", tr("Координаты:"), 224);
    auto spin = [](const char* name, int value, const QString& hint) {
        auto* s = Named<SpinEdit>(name);
        s->setRange(INT_MIN, INT_MAX);
        s->setValue(value);
        SetHint(s, hint, false);
        return s;
    };
    w.StaticText2 = Named<QLabel>("StaticText2", tr("X:"));
    p->Place(w.StaticText2, 8, 27, 14, 17, Fit::FitText);
    w.SpinEdit1 = spin("SpinEdit1", controls_.Look.X, tr("Координата по горизонтали появления текста"));
    p->Place(w.SpinEdit1, 24, 22, 41, 22, Fit::FitText);
    w.StaticText3 = Named<QLabel>("StaticText3", tr("Y:"));
    p->Place(w.StaticText3, 72, 27, 14, 17, Fit::FitText);
    w.SpinEdit2 = spin("SpinEdit2", controls_.Look.Y, tr("Координата по вертикали появления текста"));
    p->Place(w.SpinEdit2, 88, 22, 41, 22, Fit::FitText);
    // The right-hand controls of these two rows stand a few pixels clear of the buttons to
    // their left, which grow with their captions.
    w.BitBtn3 = PlaceButton(p, "BitBtn3", tr("Цвет Фона"), tr("Изменить цвет фона"), QRect(8, 48, 73, 25));
    w.BitBtn2 = PlaceButton(p, "BitBtn2", tr("Шрифт"), tr("Изменить шрифт и размеры"), QRect(85, 48, 73, 25));
    w.BitBtn1 = PlaceButton(p, "BitBtn1", tr("Цвет Текста"), tr("Изменить цвет текста"), QRect(8, 76, 73, 25));
    w.CheckBox2 = Named<QCheckBox>("CheckBox2", tr("Прозрачный"));
    w.CheckBox2->setChecked(settings_.Transparent);
    SetHint(w.CheckBox2, tr("Выводить на прозрачном фоне или нет"), false);
    p->Place(w.CheckBox2, 85, 80, 81, 17, Fit::FitText);

    // Below the design's controls: the corner the offset counts from, the size and the
    // margin relative to the photo, the outline.
    w.StaticText6 = Named<QLabel>("StaticText6", tr("Угол:"));
    p->Place(w.StaticText6, 8, 109, 30, 17, Fit::FitText);
    w.cbAnchor = Named<QComboBox>("cbAnchor");
    for (const StampAnchorName& anchor : StampAnchorNames)
        w.cbAnchor->addItem(tr(std::string(anchor.Label).c_str()));
    SetHint(w.cbAnchor, tr("Угол снимка, от которого отсчитываются X и Y"), false);
    p->Place(w.cbAnchor, 42, 104, 127, 21, Fit::FitText);
    auto percent = [](const char* name, double maximum, const QString& hint) {
        auto* edit = Named<QDoubleSpinBox>(name);
        edit->setRange(0.1, maximum);
        edit->setDecimals(1);
        edit->setSingleStep(0.5);
        SetHint(edit, hint, false);
        return edit;
    };
    w.cbRelSize = Named<QCheckBox>("cbRelSize", tr("Размер, %:"));
    SetHint(w.cbRelSize, tr("Высота надписи в процентах от меньшей стороны снимка"), false);
    p->Place(w.cbRelSize, 8, 131, 90, 17, Fit::FitText);
    w.SizeEdit = percent("SizeEdit", 50, tr("Высота надписи, % меньшей стороны"));
    p->Place(w.SizeEdit, 104, 128, 57, 22, Fit::FitText);
    w.cbRelMargin = Named<QCheckBox>("cbRelMargin", tr("Отступ, %:"));
    SetHint(w.cbRelMargin, tr("Отступ от краёв в процентах от меньшей стороны снимка вместо X и Y"), false);
    p->Place(w.cbRelMargin, 8, 155, 90, 17, Fit::FitText);
    w.MarginEdit = percent("MarginEdit", 50, tr("Отступ от краёв, % меньшей стороны"));
    p->Place(w.MarginEdit, 104, 152, 57, 22, Fit::FitText);
    w.cbOutline = Named<QCheckBox>("cbOutline", tr("Контур"));
    SetHint(w.cbOutline, tr("Обвести буквы контрастным цветом"), false);
    p->Place(w.cbOutline, 8, 178, 90, 17, Fit::FitText);
    w.cbShadow = Named<QCheckBox>("cbShadow", tr("Тень"));
    SetHint(w.cbShadow, tr("Мягкая тень под буквами, чтобы надпись читалась на любом фоне"), false);
    p->Place(w.cbShadow, 100, 178, 68, 17, Fit::FitText);
    w.cbAutoColor = Named<QCheckBox>("cbAutoColor", tr("Цвет: Авто"));
    SetHint(w.cbAutoColor, tr("Белый или чёрный текст по яркости снимка под надписью"), false);
    p->Place(w.cbAutoColor, 8, 202, 120, 17, Fit::FitText);
    ShowPlacement();
}

void TForm1::ShowPlacement()
{
    const StampLook& look = controls_.Look;
    const QSignalBlocker b1(w.cbAnchor), b2(w.cbRelSize), b3(w.SizeEdit), b4(w.cbRelMargin), b5(w.MarginEdit),
        b6(w.cbOutline), b7(w.cbShadow), b8(w.cbAutoColor), b9(w.DateFormatEdit);
    for (size_t i = 0; i < StampAnchorNames.size(); ++i)
        if (StampAnchorNames[i].Anchor == look.Anchor)
            w.cbAnchor->setCurrentIndex(int(i));
    w.cbRelSize->setChecked(look.RelativeSize);
    w.SizeEdit->setValue(look.SizePercent);
    w.cbRelMargin->setChecked(look.RelativeMargin);
    w.MarginEdit->setValue(look.MarginPercent);
    w.cbOutline->setChecked(look.Outline);
    w.cbShadow->setChecked(look.Shadow.has_value());
    w.cbAutoColor->setChecked(look.AutoColor);
    w.BitBtn1->setEnabled(!look.AutoColor);
    if (w.DateFormatEdit->text() != U(controls_.DateFormat))
        w.DateFormatEdit->setText(U(controls_.DateFormat));
}

void TForm1::BuildFolderPanel()
{
    RollUpPanel* p = w.ExPanel1 = Named<RollUpPanel>("ExPanel1", tr("Для всей группы в папке"), 266);
    w.Button4 = PlaceButton(p, "Button4", tr("Автоматически"),
                            tr("Сделать добавление текста ко всем файлам в папке автоматически"),
                            QRect(8, 27, 113, 25));
    w.SpeedButton1 = Named<QToolButton>("SpeedButton1");
    w.SpeedButton1->setIcon(StopIcon(29));
    w.SpeedButton1->setIconSize(QSize(29, 29));
    w.SpeedButton1->setAutoRaise(true);
    p->Place(w.SpeedButton1, 134, 22, 33, 33);
    w.CheckBox3 = Named<QCheckBox>("CheckBox3", tr("Имя = Дате по маске:"));
    w.CheckBox3->setChecked(controls_.RenameTicked);
    p->Place(w.CheckBox3, 8, 56, 145, 17, Fit::FitText);
    w.Edit2 = Named<QLineEdit>("Edit2", U(controls_.NamingMask));
    p->Place(w.Edit2, 8, 73, 157, 21);
    w.Memo1 = Named<QPlainTextEdit>("Memo1");
    w.Memo1->setReadOnly(true);
    // A file's line (its name, its way and what dated it) wraps, so that it reads whole
    // in the panel's width.
    w.Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    w.Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    w.Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SetHint(w.Memo1, tr("Список файлов"), false);
    p->Place(w.Memo1, 8, 96, 161, 73);
    w.Label4 = Named<QLabel>("Label4", tr("Всего файлов:"));
    p->Place(w.Label4, 8, 176, 74, 13, Fit::FitText);
    w.cbEXIF = Named<QCheckBox>("cbEXIF", tr("EXIF"));
    w.cbEXIF->setChecked(controls_.ExifCarryOver);
    p->Place(w.cbEXIF, 112, 176, 57, 17, Fit::FitText);
    w.Label5 = Named<QLabel>("Label5");
    p->Place(w.Label5, 8, 192, 69, 13, Fit::FitText);
    // The lossless action's state, below the panel's own controls.
    w.cbLossless = Named<QCheckBox>("cbLossless", tr("Без перекодирования"));
    w.cbLossless->setChecked(controls_.Lossless);
    p->Place(w.cbLossless, 8, 208, 161, 17, Fit::FitText);
    // Off at start: a photo that fails ends the run. On, it is told in Memo1 and passed over.
    w.cbKeepGoing = Named<QCheckBox>("cbKeepGoing", tr("Продолжать после ошибки"));
    p->Place(w.cbKeepGoing, 8, 226, 161, 17, Fit::FitText);
    w.cbSkipExisting = Named<QCheckBox>("cbSkipExisting", tr("Пропускать уже сделанные"));
    SetHint(w.cbSkipExisting, tr("Не делать заново фотографии, которые уже есть в Dated от прошлого запуска"), true);
    p->Place(w.cbSkipExisting, 8, 244, 161, 17, Fit::FitText);
}

void TForm1::FitPanelColumn()
{
    const int scrollBar = w.ScrollBox2->verticalScrollBar()->sizeHint().width();
    w.ScrollBox2->setMinimumWidth(w.PanelColumn->minimumSizeHint().width() + scrollBar +
                                  2 * w.ScrollBox2->frameWidth());
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // A control of the column grew (a longer text): the column widens to show it whole.
    if (watched == w.PanelColumn && event->type() == QEvent::LayoutRequest)
        FitPanelColumn();
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::BuildMenu()
{
    menuBar()->setObjectName("MainMenu1");
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(w.N3);
    file->addAction(w.N4);
    file->addSeparator();
    file->addAction(w.Close1);
    QMenu* actions = menuBar()->addMenu(tr("&Действия"));
    actions->addAction(w.N9);
    actions->addSeparator();
    actions->addAction(w.N7);
    actions->addAction(w.N8);
    actions->addAction(w.actLossless);
    QMenu* mosaic = menuBar()->addMenu(tr("&Мозаика"));
    mosaic->addAction(w.N2);
    mosaic->addSeparator();
    mosaic->addAction(w.N11);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(w.About1);
}

QToolButton* TForm1::AddToolButton(QAction* action, const QString& name)
{
    w.ToolBar1->addAction(action);
    auto* button = qobject_cast<QToolButton*>(w.ToolBar1->widgetForAction(action));
    button->setObjectName(name);
    return button;
}

void TForm1::BuildToolbar()
{
    w.ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    w.ToolBar1->setObjectName("ToolBar1");
    w.ToolBar1->setMovable(false);
    w.ToolBar1->setFloatable(false);
    w.ToolBar1->setIconSize(QSize(16, 16));
    w.ToolBar1->setFixedHeight(29);
    w.ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto gap = [this](int width) {
        auto* spacer = new QWidget;
        spacer->setFixedWidth(width);
        w.ToolBar1->addWidget(spacer);
    };
    gap(8);
    w.ToolButton7 = AddToolButton(w.actLoad, "ToolButton7");
    w.ToolButton8 = AddToolButton(w.actSave, "ToolButton8");
    gap(8);
    w.ToolButton9 = AddToolButton(w.actStamp, "ToolButton9");
    w.ToolButton13 = AddToolButton(w.actFrame, "ToolButton13");
    gap(8);
    w.ToolButton11 = AddToolButton(w.actAutomatic, "ToolButton11");
    gap(19);
    w.ToolButton1 = AddToolButton(w.actStretch, "ToolButton1");
    gap(18);
    w.ToolButton4 = AddToolButton(w.actMosaic, "ToolButton4");
    w.ToolButton5 = AddToolButton(w.actShowMosaic, "ToolButton5");
    w.ToolButton14 = AddToolButton(w.actCount, "ToolButton14");
    w.Label3 = Named<QLabel>("Label3");
    w.Label3->setFixedWidth(3);
    w.ToolBar1->addWidget(w.Label3);
    w.Gauge1 = Named<BarGauge>("Gauge1");
    w.Gauge1->setFixedSize(394, 22);
    w.Gauge1Action = w.ToolBar1->addWidget(w.Gauge1);
}

void TForm1::Wire()
{
    // Actions run the operations; the controls that share an operation trigger its action.
    auto on = [this](QAction* a, void (TForm1::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { Guard([&] { (this->*handler)(); }); });
    };
    on(w.actLoad, &TForm1::Button1Click);
    on(w.actSave, &TForm1::Button3Click);
    on(w.actStamp, &TForm1::Button2Click);
    on(w.actFrame, &TForm1::ToolButton13Click);
    on(w.actAutomatic, &TForm1::Button4Click);
    on(w.actStretch, &TForm1::ToolButton1Click);
    on(w.actMosaic, &TForm1::ToolButton4Click);
    on(w.actShowMosaic, &TForm1::ToolButton5Click);
    on(w.actCount, &TForm1::ToolButton14Click);
    on(w.actClose, &TForm1::Close1Click);
    on(w.actAbout, &TForm1::About1Click);
    connect(w.Button1, &QPushButton::clicked, w.actLoad, &QAction::trigger);
    connect(w.Button3, &QPushButton::clicked, w.actSave, &QAction::trigger);
    connect(w.Button2, &QPushButton::clicked, w.actStamp, &QAction::trigger);
    connect(w.Button4, &QPushButton::clicked, w.actAutomatic, &QAction::trigger);
    // The batch panel's check box shows the lossless action's state and switches it.
    w.actLossless->setChecked(controls_.Lossless);
    connect(w.actLossless, &QAction::toggled, w.cbLossless, &QCheckBox::setChecked);
    connect(w.cbLossless, &QCheckBox::toggled, w.actLossless, &QAction::setChecked);

    WireControlsToRecord();
    auto handle = [this](void (TForm1::*handler)()) {
        return [this, handler] { Guard([&] { (this->*handler)(); }); };
    };
    connect(w.SpeedButton1, &QToolButton::clicked, this, handle(&TForm1::SpeedButton1Click));
    connect(w.BitBtn1, &QPushButton::clicked, this, handle(&TForm1::BitBtn1Click));
    connect(w.BitBtn2, &QPushButton::clicked, this, handle(&TForm1::BitBtn2Click));
    connect(w.BitBtn3, &QPushButton::clicked, this, handle(&TForm1::BitBtn3Click));
    connect(w.cbConf, &QComboBox::currentIndexChanged, this, handle(&TForm1::cbConfChange));
    connect(w.ComboBox1, &QComboBox::currentIndexChanged, this, handle(&TForm1::ComboBox1Change));
    connect(w.ComboBox1, &QComboBox::editTextChanged, this, handle(&TForm1::ComboBox1Change));
    connect(w.CheckBox1, &QCheckBox::toggled, this, handle(&TForm1::CheckBox1Click));
    connect(w.CheckBox2, &QCheckBox::toggled, this, handle(&TForm1::CheckBox2Click));
    connect(w.CheckBox3, &QCheckBox::toggled, this, handle(&TForm1::CheckBox3Click));
    connect(w.cbPogr, &QCheckBox::toggled, this, handle(&TForm1::cbPogrClick));
    // The relative size and margin switch their percent edits (and the margin the X and Y edits).
    connect(w.cbRelSize, &QCheckBox::toggled, this, [this] { ApplyControlStates(); });
    connect(w.cbRelMargin, &QCheckBox::toggled, this, [this] { ApplyControlStates(); });
    connect(w.TrackBar1, &QSlider::valueChanged, this, handle(&TForm1::TrackBar1Change));
    connect(w.DateTimePicker1, &QDateEdit::dateChanged, this, handle(&TForm1::DateTimePicker1Change));
    connect(w.DateTimePicker2, &QTimeEdit::timeChanged, this, handle(&TForm1::DateTimePicker1Change));
}

void TForm1::WireControlsToRecord()
{
    // Every control that holds a value of the record writes it there as it changes, before
    // the control's own handler runs; the handlers and the batch read the record.
    StampControls& c = controls_;
    connect(w.SpinEdit1, &QSpinBox::textChanged, this, [&c](const QString& t) { c.Look.X = PositionFromText(S(t)); });
    connect(w.SpinEdit2, &QSpinBox::textChanged, this, [&c](const QString& t) { c.Look.Y = PositionFromText(S(t)); });
    connect(w.Edit1, &QLineEdit::textChanged, this, [&c](const QString& t) { c.OwnText = S(t); });
    connect(w.TrackBar1, &QSlider::valueChanged, this, [&c](int v) { c.Quality = v; });
    connect(w.Edit2, &QLineEdit::textChanged, this, [&c](const QString& t) { c.NamingMask = S(t); });
    connect(w.CheckBox3, &QCheckBox::toggled, this, [&c](bool on) { c.RenameTicked = on; });
    connect(w.cbEXIF, &QCheckBox::toggled, this, [&c](bool on) { c.ExifCarryOver = on; });
    connect(w.actLossless, &QAction::toggled, this, [&c](bool on) { c.Lossless = on; });
    connect(w.cbPogr, &QCheckBox::toggled, this, [&c](bool on) { c.CorrectionOn = on; });
    auto direction = [this, &c] { c.CorrectionDirection = SelectedIndex(w.cbDirect); };
    connect(w.cbDirect, &QComboBox::currentIndexChanged, this, direction);
    connect(w.cbDirect, &QComboBox::editTextChanged, this, direction);
    connect(w.TimeEdit1, &QLineEdit::textChanged, this, [&c](const QString& t) { c.CorrectionText = S(t); });
    connect(w.cbAnchor, &QComboBox::currentIndexChanged, this, [&c](int i) {
        if (i >= 0 && i < int(StampAnchorNames.size()))
            c.Look.Anchor = StampAnchorNames[size_t(i)].Anchor;
    });
    connect(w.cbRelSize, &QCheckBox::toggled, this, [&c](bool on) { c.Look.RelativeSize = on; });
    connect(w.SizeEdit, &QDoubleSpinBox::valueChanged, this, [&c](double v) { c.Look.SizePercent = v; });
    connect(w.cbRelMargin, &QCheckBox::toggled, this, [&c](bool on) { c.Look.RelativeMargin = on; });
    connect(w.MarginEdit, &QDoubleSpinBox::valueChanged, this, [&c](double v) { c.Look.MarginPercent = v; });
    connect(w.cbOutline, &QCheckBox::toggled, this, [&c](bool on) { c.Look.Outline = on; });
    connect(w.cbShadow, &QCheckBox::toggled, this, [&c](bool on) {
        c.Look.Shadow = on ? std::optional<StampShadow>(StampShadow{}) : std::nullopt;
    });
    connect(w.cbAutoColor, &QCheckBox::toggled, this, [this, &c](bool on) {
        c.Look.AutoColor = on;
        w.BitBtn1->setEnabled(!on);
    });
    connect(w.DateFormatEdit, &QLineEdit::textChanged, this, [&c](const QString& t) { c.DateFormat = S(t); });
    // An edited preset text applies nothing; the record only notes that no entry is chosen.
    connect(w.cbConf, &QComboBox::editTextChanged, this, [this, &c] { c.PresetIndex = SelectedIndex(w.cbConf); });
}

// ---- Start-up ----

void TForm1::FormCreate()
{
    settings_ = InitialStampSettings();
    ApplyControlStates();
}

void TForm1::FormShow()
{
    w.ExPanel2->SetRolled(true);
    w.ExPanel5->SetRolled(true);
    w.ExPanel6->SetRolled(true);
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FitToAvailableArea(*this, ScreenFit::MovesIn);
    if (!event->spontaneous())
        Guard([this] { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // A running batch or mosaic build finishes its file or column first; the window
    // closes when it has ended.
    const bool building = Form2 && Form2->Building();
    if (batchRunning_ || building) {
        settings_.StopRequested = true;
        if (building)
            Form2->SpeedButton1Click();
        closePending_ = true;
        event->ignore();
        return;
    }
    if (Form2)
        Form2->close();
    if (AboutBox)
        AboutBox->close();
    event->accept();
    emit Closed();
}

void TForm1::ApplyControlStates()
{
    const StampControlStates states = ControlStates(settings_, controls_);
    w.Edit1->setEnabled(states.OwnTextEnabled);
    w.DateTimePicker1->setEnabled(states.DatePickersEnabled && !batchRunning_);
    w.DateTimePicker2->setEnabled(states.DatePickersEnabled && !batchRunning_);
    w.BitBtn3->setEnabled(states.BackgroundColorEnabled);
    w.Edit2->setEnabled(states.NamingMaskEnabled);
    w.cbDirect->setEnabled(states.CorrectionEnabled);
    w.TimeEdit1->setEnabled(states.CorrectionEnabled || !correctionSwitched_);
    w.SpinEdit1->setEnabled(states.PositionEnabled);
    w.SpinEdit2->setEnabled(states.PositionEnabled);
    w.SizeEdit->setEnabled(states.SizePercentEnabled);
    w.MarginEdit->setEnabled(states.MarginPercentEnabled);
    // While a folder batch runs, its start button and the stamp panel are off, and its
    // stop button and gauge on.
    w.Button4->setEnabled(!batchRunning_);
    w.ExPanel3->setEnabled(!batchRunning_);
    w.SpeedButton1->setEnabled(batchRunning_);
    w.Gauge1Action->setVisible(batchRunning_);
}

// ---- Single picture ----

void TForm1::Button1Click()
{
    if (std::optional<QString> chosen = dialogs_.OpenPicture(this, U(settings_.StartFolder)))
        LoadPicture(*chosen);
}

void TForm1::OpenNamedPicture(const QString& path)
{
    Guard([&] { LoadPicture(QFileInfo(path).absoluteFilePath()); });
}

void TForm1::LoadPicture(const QString& path)
{
    QImage picture = LoadJpeg(S(path));
    w.Image1->resize(picture.size());
    settings_.PictureWidth = picture.width();
    settings_.PictureHeight = picture.height();
    w.StatusPanel0->setText(QString::number(picture.width()) + tr(" на ") + QString::number(picture.height()));
    w.Image1->SetPicture(picture);
    const QFileInfo info(path);
    PictureInformation(S(info.absolutePath() + '/'), S(info.fileName()));
}

void TForm1::PictureInformation(const std::string& folder, const std::string& name)
{
    w.StatusPanel1->setText(U(folder));
    const std::optional<FileFacts> facts = GetFileFacts(folder + name);
    if (!facts || name.empty() || name[0] == '.')
        return;
    QApplication::processEvents();
    const PhotoFacts photo = ReadPhoto(folder + name, facts->Created, settings_.DateSource);
    caption_ = photo.Caption;
    w.Memo1->appendPlainText(U(photo.Report));
    if (photo.Origin != DateOrigin::ExifTag)
        w.Memo1->appendPlainText(U(name) + OriginText(photo.Origin));
    SetDateText(U(StampDateText(photo.Date)));
    {
        const DateTimeFields f = DecodeDateTime(photo.Date);
        const QSignalBlocker b1(w.DateTimePicker1), b2(w.DateTimePicker2);
        w.DateTimePicker1->setDate(QDate(f.Year, f.Month, f.Day));
        w.DateTimePicker2->setTime(QTime(f.Hour, f.Minute, f.Second));
    }
    if (controls_.CorrectionOn)
        ShowCorrectedDate(CorrectedDate(photo.Date, controls_));
}

void TForm1::SetDateText(const QString& text)
{
    w.Label1->setText(text);
    controls_.StampDateText = S(text);
}

void TForm1::ShowCorrectedDate(TDateTime date) { w.Panel4->setText(U(StampDateText(date))); }

void TForm1::DateTimePicker1Change()
{
    const std::string date = FormatDateTime("dd.mm.yyyy ", PickerDate(w.DateTimePicker1->date()));
    const std::string time = FormatDateTime("hh:nn:ss", PickerTime(w.DateTimePicker2->time()));
    SetDateText(U(date + time));
}

void TForm1::Button2Click()
{
    // The date as the pickers set it, written with the date format; the label's text as it
    // stands with the fixed one.
    StampControls controls = controls_;
    CaptionFacts facts = caption_;
    facts.Date = PickerDate(w.DateTimePicker1->date()) + PickerTime(w.DateTimePicker2->time());
    if (controls.DateFormat != StampDateMask)
        controls.StampDateText = FormatDateTime(controls.DateFormat, facts.Date);
    DrawStamp(CurrentPicture(), CaptionText(settings_, controls, facts), controls.Look);
    w.Image1->update();
}

void TForm1::ToolButton13Click()
{
    AddFrame(CurrentPicture(), settings_.PictureWidth, settings_.PictureHeight);
    w.Image1->update();
}

void TForm1::ToolButton1Click()
{
    if (!settings_.Stretched) {
        settings_.PictureWidth = w.Image1->width();
        settings_.PictureHeight = w.Image1->height();
        w.Image1->resize(std::max(1, w.ScrollBox1->width() - 6), std::max(1, w.ScrollBox1->height() - 6));
        w.Image1->SetStretch(true);
        w.Image1->repaint();
        settings_.Stretched = true;
    } else {
        w.Image1->resize(settings_.PictureWidth, settings_.PictureHeight);
        w.Image1->SetStretch(false);
        w.Image1->repaint();
        settings_.Stretched = false;
    }
}

void TForm1::Button3Click()
{
    std::optional<QString> chosen = dialogs_.SavePicture(this, QStringLiteral("jpg"));
    if (!chosen)
        return;
    SaveJpeg(CurrentPicture(), S(WithDefaultExtension(*chosen, QStringLiteral("jpg"))), controls_.Quality);
}

// ---- Mosaic ----

bool TForm1::MosaicAllowed()
{
    if (settings_.PictureWidth < 2 || settings_.PictureHeight < 2) {
        dialogs_.Message(this, tr("Загрузите картинку сначала"));
        return false;
    }
    return Form2 != nullptr;
}

void TForm1::ToolButton4Click()
{
    if (!MosaicAllowed())
        return;
    w.Image1->resize(settings_.PictureWidth, settings_.PictureHeight);
    w.Image1->SetStretch(false);
    settings_.Stretched = false;
    w.Image1->repaint();
    if (Form2->isVisible())
        Form2->hide();  // a modeless mosaic window becomes the modal one
    dialogs_.ShowModal(*Form2);
}

void TForm1::ToolButton5Click()
{
    if (!MosaicAllowed())
        return;
    Form2->ShowBeside(*menuBar());
}

// ---- Folder batch ----

void TForm1::ToolButton14Click()
{
    // The chooser's answer is not looked at: cancelling counts the start folder.
    std::optional<QString> chosen = dialogs_.ChooseFolder(this, FolderChooserTitle(), U(settings_.StartFolder));
    settings_.FileCount = CountPictures(chosen ? S(*chosen) : settings_.StartFolder);
    w.StatusPanel1->setText(QString::number(settings_.FileCount));
}

void TForm1::SpeedButton1Click() { settings_.StopRequested = true; }

void TForm1::Button4Click()
{
    if (batchRunning_)
        return;  // the entries that forward here stay live during a run: one run at a time
    std::optional<QString> chosen = dialogs_.ChooseFolder(this, FolderChooserTitle(), U(settings_.StartFolder));
    if (!chosen)
        return;
    QString folder = *chosen;
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    RunBatch(S(folder));
}

void TForm1::RunBatch(const std::string& folder)
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
    settings_.RenameByMask = controls_.RenameTicked;
    const TDateTime start = Now();
    settings_.StopRequested = false;
    // The engine counts the entries, makes the subfolder, lets events run before the loop
    // and twice per file, and reads the stop flag after each file.
    BatchAdapter observer(*this);
    TBatchOptions options;
    options.RenameByMask = settings_.RenameByMask;
    options.Jobs = 1;  // on the window's thread, letting events run between files
    options.KeepGoing = w.cbKeepGoing->isChecked();
    options.SkipExisting = w.cbSkipExisting->isChecked();
    const TBatchResult result = RunFolderBatch(folder, options, observer);
    w.StatusPanel1->setText(U(FormatDateTime(S(tr("Заняло hh:nn:ss")), Now() - start)));
    QString finished = tr("Закончил добавление текста или даты в картинки");
    if (result.Damaged > 0)
        finished += tr("\nПовреждённых фотографий: %1 (сделаны, насколько хватило их данных)").arg(result.Damaged);
    if (!closePending_)
        dialogs_.Message(this, finished);
}

// ---- Settings ----

int TForm1::SelectedIndex(const QComboBox* box)
{
    const int index = box->currentIndex();
    if (index < 0)
        return -1;
    if (box->isEditable() && box->currentText() != box->itemText(index))
        return -1;
    return index;
}

void TForm1::cbConfChange()
{
    const PresetFollowUps done = ApplyPreset(SelectedIndex(w.cbConf), controls_, settings_);
    if (!done.Applied)
        return;
    // The engine has made every follow-up in the records; the widgets only show the new
    // values, without running their handlers a second time.
    if (done.QualityChanged) {
        const QSignalBlocker block(w.TrackBar1);
        w.TrackBar1->setValue(controls_.Quality);
        TrackBar1Change();
    }
    if (done.DateSourceChanged) {
        const QSignalBlocker block(w.ComboBox1);
        w.ComboBox1->setCurrentIndex(settings_.DateSource);
        w.ComboBox1->setEditText(w.ComboBox1->itemText(settings_.DateSource));
    }
    if (done.DateModeChanged) {
        const QSignalBlocker block(w.CheckBox1);
        w.CheckBox1->setChecked(settings_.DateMode);
    }
    if (done.OwnTextCleared) {
        const QSignalBlocker block(w.Edit1);
        w.Edit1->clear();
    }
    if (done.RenameChanged) {
        const QSignalBlocker block(w.CheckBox3);
        w.CheckBox3->setChecked(controls_.RenameTicked);
    }
    if (done.ExifChanged) {
        const QSignalBlocker block(w.cbEXIF);
        w.cbEXIF->setChecked(controls_.ExifCarryOver);
    }
    if (done.NamingMaskChanged) {
        const QSignalBlocker block(w.Edit2);
        w.Edit2->setText(U(controls_.NamingMask));
    }
    if (done.LookChanged || done.DateFormatChanged)
        ShowPlacement();
    if (done.FontMissing)
        dialogs_.Message(this, tr("Шрифт \"%1\" не установлен (пакет fonts-dseg); используется шрифт по умолчанию.")
                                   .arg(U(std::string(FilmFontName))));
    if (done.TransparentChanged) {
        const QSignalBlocker block(w.CheckBox2);
        w.CheckBox2->setChecked(settings_.Transparent);
    }
    ApplyControlStates();
}

void TForm1::CheckBox1Click()
{
    SwitchDateMode(settings_);
    ApplyControlStates();
}

void TForm1::ComboBox1Change() { settings_.DateSource = SelectedIndex(w.ComboBox1); }

void TForm1::CheckBox2Click()
{
    SwitchTransparent(settings_, controls_.Look);
    ApplyControlStates();
}

void TForm1::CheckBox3Click() { ApplyControlStates(); }

void TForm1::cbPogrClick()
{
    correctionSwitched_ = true;
    ApplyControlStates();
}

void TForm1::TrackBar1Change() { w.Label2->setText(U(QualityLabelText(controls_.Quality))); }

void TForm1::BitBtn1Click()
{
    if (auto c = dialogs_.ChooseColor(this, ToQColor(controls_.Look.TextColor), tr("Цвет текста")))
        controls_.Look.TextColor = FromQColor(*c);
}

void TForm1::BitBtn2Click()
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

void TForm1::BitBtn3Click()
{
    if (auto c = dialogs_.ChooseColor(this, ToQColor(controls_.Look.BackgroundColor), tr("Цвет фона")))
        controls_.Look.BackgroundColor = FromQColor(*c);
}

void TForm1::Close1Click() { close(); }

void TForm1::About1Click()
{
    if (AboutBox)
        dialogs_.ShowModal(*AboutBox);
}

}  // namespace morvik::ui
