#include "ui/Form1.h"

#include "platform/DateTime.h"
#include "platform/FileSystem.h"
#include "ui/AboutBox.h"
#include "ui/Form2.h"
#include "ui/Icons.h"
#include "ui/WindowFont.h"
#include "ui/PictureView.h"
#include "ui/widgets/BarGauge.h"
#include "ui/widgets/FolderChooser.h"
#include "ui/widgets/RollUpPanel.h"
#include "ui/widgets/TimeEdit.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimeEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <climits>
#include <cmath>

namespace morvik::ui {
namespace {

const QString DefaultNamingMask = QStringLiteral("yy.mm.dd  hh_nn_ss");
const QString NoPictureMessage = QStringLiteral("Загрузите картинку сначала");
const QString BatchDoneMessage = QStringLiteral("Закончил добавление текста или даты в картинки");

// The three presets of the list "Предустановки", by entry.
struct Preset {
    int Quality;
    int DateSource;
    bool Exif;
    const char* NamingMask;
};
constexpr Preset Presets[] = {
    {75, 0, true, "yy.mm.dd  hh_nn_ss"},   // "Стандартные"
    {80, 1, true, "yy.mm.dd  hh_nn_ss"},   // "Для Хранения"
    {65, 1, false, "yymmdd_hh_nn_ss"},     // "Для Интернета"
};

QString U(const std::string& text) { return QString::fromUtf8(text); }
std::string S(const QString& text) { return text.toUtf8().toStdString(); }

// A hint kept with its control; only some containers show theirs on hover.
void SetHint(QWidget* w, const QString& hint, bool shown)
{
    w->setProperty("hint", hint);
    if (shown)
        w->setToolTip(hint);
}

QLabel* MakeStaticText(const QString& text)
{
    auto* l = new QLabel(text);
    return l;
}

QComboBox* MakeList(const QStringList& items, int selected)
{
    auto* box = new QComboBox;
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

QFrame* LoweredPanel(const QString& name)
{
    auto* f = new QFrame;
    f->setObjectName(name);
    f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return f;
}

TDateTime PickerDate(const QDate& d)
{
    return TryEncodeDate(d.year(), d.month(), d.day()).value_or(0);
}

TDateTime PickerTime(const QTime& t)
{
    return TryEncodeTime(t.hour(), t.minute(), t.second(), 0).value_or(0);
}

}  // namespace

// The window's side of the folder batch: the engine reports, the window shows.
class BatchAdapter : public BatchHost {
public:
    explicit BatchAdapter(TForm1& form) : f(form) {}
    void LetEventsRun() override { QApplication::processEvents(QEventLoop::AllEvents); }
    bool StopRequested() override { return f.Settings.StopRequested; }
    void Started(int fileCount) override
    {
        f.Settings.FileCount = fileCount;
        f.Label4->setText(QStringLiteral("Всего файлов:") + QString::number(fileCount));
        f.Gauge1->SetMaxValue(fileCount);
        f.Gauge1->SetProgress(0);
        f.Gauge1Action->setVisible(true);
    }
    void ShowDateText(const std::string& text) override { f.SetDateText(U(text)); }
    void FileStarted(const std::string& name) override { f.Memo1->appendPlainText(U(name)); }
    void Progress(int done) override
    {
        f.Gauge1->SetProgress(done);
        f.Label5->setText(QStringLiteral("Обрабатывается:") + QString::number(done));
        f.StatusPanel1->setText(QStringLiteral("Обрабатывается:") + QString::number(done) +
                                QStringLiteral(" из ") + QString::number(f.Settings.FileCount));
    }
    void ShowCorrectedDate(TDateTime date) override
    {
        f.Panel4->setText(U(FormatDate("dd.mm.yyyy hh:nn:ss", date)));
    }
    TBatchControls CurrentControls() override
    {
        TBatchControls c;
        c.Settings = f.Settings;
        StampControls& k = c.Controls;
        const StampStyle style = f.CurrentStamp();
        k.TextColor = MakeColorRef(style.TextColor.red(), style.TextColor.green(), style.TextColor.blue());
        k.BackgroundColor = MakeColorRef(style.BackColor.red(), style.BackColor.green(), style.BackColor.blue());
        k.Font.Name = style.Font.Family;
        k.Font.Height = style.Font.PixelHeight;
        k.Font.Bold = style.Font.Bold;
        k.Font.Italic = style.Font.Italic;
        k.PositionX = style.X;
        k.PositionY = style.Y;
        k.OwnText = S(f.Edit1->text());
        k.StampDateText = S(f.Label1->text());
        k.Quality = f.TrackBar1->value();
        k.NamingMask = S(f.Edit2->text());
        k.RenameTicked = f.CheckBox3->isChecked();
        k.ExifCarryOver = f.cbEXIF->isChecked();
        k.CorrectionOn = f.cbPogr->isChecked();
        k.CorrectionDirection = TForm1::SelectedIndex(f.cbDirect);
        k.CorrectionText = S(f.TimeEdit1->text());
        k.PresetIndex = TForm1::SelectedIndex(f.cbConf);
        return c;
    }

private:
    TForm1& f;
};

TForm1::TForm1(IDialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs)
{
    setObjectName("Form1");
    setWindowTitle(QStringLiteral("Дата в JPG картинках и фотографиях"));
    setFont(WindowFont());
    FontDialog1Font = QFont(QStringLiteral("Futura Md BT"));
    FontDialog1Font.setPointSize(8);
    FontDialog1Font.setBold(true);
    FontDialog1Font.setItalic(true);

    BuildActions();
    BuildLayout();
    BuildMenu();
    BuildToolbar();
    Wire();
    resize(765, 630);
    move(230, 112);
    Guard([this] { FormCreate(); });
}

QImage& TForm1::CurrentPicture()
{
    // Before the first load the view holds no picture: drawing goes on an empty one of
    // the view's size.
    QImage& picture = Image1->Picture();
    if (picture.isNull()) {
        picture = QImage(std::max(1, Image1->width()), std::max(1, Image1->height()), QImage::Format_RGB32);
        picture.fill(Qt::white);
    }
    return picture;
}

QImage TForm1::PictureCopy() const { return Image1->Picture(); }

void TForm1::BuildActions()
{
    auto make = [this](const QString& text, const QString& tip, int icon, const QString& name) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        a->setToolTip(tip);
        if (icon >= 0) {
            a->setIcon(ToolbarIcon(icon));
            a->setIconVisibleInMenu(false);
        }
        return a;
    };
    actLoad = make(QStringLiteral("Открыть"), QStringLiteral("Load"), 4, "actLoad");
    actSave = make(QStringLiteral("Сохранить"), QStringLiteral("Save"), 6, "actSave");
    actStamp = make(QStringLiteral("Вставить текст в картинку"), QStringLiteral("Add Text in Picture"), 3, "actStamp");
    actFrame = make(QStringLiteral("Добавить рамку в картинку"), QStringLiteral("Добавить рамку в картинку"), 9, "actFrame");
    actAutomatic = make(QStringLiteral("Автоматический процесс"), QStringLiteral("Automatic"), 5, "actAutomatic");
    actStretch = make(QStringLiteral("Растягивание"), QStringLiteral("Stretch"), 0, "actStretch");
    actMosaic = make(QStringLiteral("Сделать"), QStringLiteral("Mozaik"), 1, "actMosaic");
    actShowMosaic = make(QStringLiteral("Показать"), QStringLiteral("Show Mozaik Form"), 2, "actShowMosaic");
    actCount = make(QString(), QString(), 3, "actCount");
    actClose = make(QStringLiteral("Выход"), QString(), -1, "actClose");
    actAbout = make(QStringLiteral("About"), QString(), -1, "actAbout");
    // Menu items are the actions themselves.
    N3 = actLoad; N4 = actSave; Close1 = actClose; N9 = actStretch; N7 = actStamp;
    N8 = actAutomatic; N2 = actMosaic; N11 = actShowMosaic; About1 = actAbout;
}

void TForm1::BuildLayout()
{
    Panel1 = new QFrame;
    Panel1->setObjectName("Panel1");
    static_cast<QFrame*>(Panel1)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* workLayout = new QHBoxLayout(Panel1);
    workLayout->setContentsMargins(1, 1, 1, 1);
    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setChildrenCollapsible(false);
    workLayout->addWidget(Splitter1);

    // Left: the picture area.
    Panel2 = LoweredPanel("Panel2");
    auto* leftLayout = new QVBoxLayout(Panel2);
    leftLayout->setContentsMargins(1, 1, 1, 1);
    ScrollBox1 = new QScrollArea;
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1 = new PictureView;
    Image1->setObjectName("Image1");
    Image1->resize(105, 105);
    ScrollBox1->setWidget(Image1);
    SetHint(ScrollBox1, QStringLiteral("Ну типа картинка"), true);
    SetHint(Image1, QStringLiteral("Ну типа картинка"), true);
    leftLayout->addWidget(ScrollBox1);
    Splitter1->addWidget(Panel2);

    // Right: the column of roll-up panels.
    Panel3 = LoweredPanel("Panel3");
    auto* rightLayout = new QVBoxLayout(Panel3);
    rightLayout->setContentsMargins(1, 1, 1, 1);
    ScrollBox2 = new QScrollArea;
    ScrollBox2->setObjectName("ScrollBox2");
    ScrollBox2->setFrameShape(QFrame::NoFrame);
    ScrollBox2->setWidgetResizable(true);
    ScrollBox2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox2->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    rightLayout->addWidget(ScrollBox2);
    Splitter1->addWidget(Panel3);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({765 - 197 - 10, 197});
    BuildPanels();

    setCentralWidget(Panel1);

    StatusPanel0 = new QLabel;
    StatusPanel0->setObjectName("StatusPanel0");
    StatusPanel0->setFixedWidth(100);
    StatusPanel1 = new QLabel;
    StatusPanel1->setObjectName("StatusPanel1");
    StatusPanel1->setMinimumWidth(50);
    statusBar()->setObjectName("StatusBar1");
    statusBar()->setSizeGripEnabled(true);
    statusBar()->addWidget(StatusPanel0);
    statusBar()->addWidget(StatusPanel1, 1);
    statusBar()->setFixedHeight(19);
}

void TForm1::BuildPanels()
{
    auto* column = new QWidget;
    column->setObjectName("PanelColumn");
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    auto panel = [&](const QString& name, const QString& caption, int height) {
        auto* p = new RollUpPanel(caption, height);
        p->setObjectName(name);
        stack->addWidget(p);
        return p;
    };
    auto named = [](QWidget* w, const char* name) { w->setObjectName(name); return w; };

    // "Меню 1 картинки"
    ExPanel2 = panel("ExPanel2", QStringLiteral("Меню 1 картинки"), 87);
    Button1 = new QPushButton(QStringLiteral("Load Picture"));
    named(Button1, "Button1");
    SetHint(Button1, QStringLiteral("Загрузить картинку"), false);
    ExPanel2->Place(Button1, 16, 24, 73, 25);
    Button3 = new QPushButton(QStringLiteral("Save Picture"));
    named(Button3, "Button3");
    SetHint(Button3, QStringLiteral("Сохранить"), false);
    ExPanel2->Place(Button3, 16, 54, 73, 25);
    StaticText4 = MakeStaticText(QStringLiteral("Качество JPG"));
    named(StaticText4, "StaticText4");
    ExPanel2->Place(StaticText4, 96, 24, 74, 17);
    TrackBar1 = new QSlider(Qt::Horizontal);
    named(TrackBar1, "TrackBar1");
    TrackBar1->setRange(0, 100);
    TrackBar1->setValue(80);
    TrackBar1->setSingleStep(1);
    TrackBar1->setPageStep(10);
    TrackBar1->setTickPosition(QSlider::NoTicks);
    SetHint(TrackBar1, QStringLiteral("Качество сжатия JPEG"), false);
    ExPanel2->Place(TrackBar1, 92, 40, 77, 17);
    Label2 = new QLabel(QStringLiteral("80 %"));
    named(Label2, "Label2");
    ExPanel2->Place(Label2, 120, 56, 40, 13);

    // "Предустановки"
    ExPanel4 = panel("ExPanel4", QStringLiteral("Предустановки"), 48);
    cbConf = MakeList({QStringLiteral("Стандартные"), QStringLiteral("Для Хранения"), QStringLiteral("Для Интернета")}, 1);
    named(cbConf, "cbConf");
    ExPanel4->Place(cbConf, 8, 24, 161, 21);

    // "Запись текста в JPG"
    ExPanel3 = panel("ExPanel3", QStringLiteral("Запись текста в JPG"), 164);
    CheckBox1 = new QCheckBox(QStringLiteral("Дату"));
    named(CheckBox1, "CheckBox1");
    CheckBox1->setChecked(true);
    SetHint(CheckBox1, QStringLiteral("Добавлять в картинку дату изменения или ВАШ текст"), false);
    ExPanel3->Place(CheckBox1, 8, 24, 48, 17);
    ComboBox1 = MakeList({QStringLiteral("Изменения"), QStringLiteral("Date Time Original"),
                          QStringLiteral("Date Time Digitized")}, 1);
    named(ComboBox1, "ComboBox1");
    // A little right of its design place, so the wider desktop font leaves "Дату" whole.
    ExPanel3->Place(ComboBox1, 62, 24, 107, 21);
    Label1 = new QLabel;
    named(Label1, "Label1");
    QFont bold = WindowFont(13);
    bold.setBold(true);
    Label1->setFont(bold);
    ExPanel3->Place(Label1, 8, 48, 161, 16);
    DateTimePicker1 = new QDateEdit(QDate(2007, 8, 15));
    named(DateTimePicker1, "DateTimePicker1");
    DateTimePicker1->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    DateTimePicker1->setMinimumDate(QDate(100, 1, 1));
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setFont(WindowFont(10));
    SetHint(DateTimePicker1, QStringLiteral("Изменить дату "), false);
    ExPanel3->Place(DateTimePicker1, 8, 64, 81, 21);
    DateTimePicker2 = new QTimeEdit(QTime(12, 0, 0));
    named(DateTimePicker2, "DateTimePicker2");
    DateTimePicker2->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    DateTimePicker2->setFont(WindowFont(10));
    SetHint(DateTimePicker2, QStringLiteral("Изменить время"), false);
    ExPanel3->Place(DateTimePicker2, 88, 64, 82, 21);
    StaticText1 = MakeStaticText(QStringLiteral("Текст:"));
    named(StaticText1, "StaticText1");
    ExPanel3->Place(StaticText1, 8, 88, 37, 17);
    Edit1 = new QLineEdit;
    named(Edit1, "Edit1");
    Edit1->setEnabled(false);
    SetHint(Edit1, QStringLiteral("Сюда можете ввести свой текст"), true);
    ExPanel3->Place(Edit1, 8, 105, 161, 21);
    Button2 = new QPushButton(QStringLiteral("Ввести текст"));
    named(Button2, "Button2");
    Button2->setFont(bold);
    SetHint(Button2, QStringLiteral("Совершить добавление текста"), false);
    ExPanel3->Place(Button2, 8, 131, 160, 25);

    // "Погрешность"
    ExPanel5 = panel("ExPanel5", QStringLiteral("Погрешность"), 84);
    cbPogr = new QCheckBox(QStringLiteral("Есть погрешность"));
    named(cbPogr, "cbPogr");
    ExPanel5->Place(cbPogr, 8, 24, 137, 17);
    cbDirect = MakeList({QStringLiteral("+"), QStringLiteral("-")}, 0);
    named(cbDirect, "cbDirect");
    cbDirect->setEnabled(false);
    ExPanel5->Place(cbDirect, 8, 40, 38, 21);
    StaticText5 = MakeStaticText(QStringLiteral("Часы"));
    named(StaticText5, "StaticText5");
    ExPanel5->Place(StaticText5, 48, 44, 32, 17);
    TimeEdit1 = new TimeEdit;
    named(TimeEdit1, "TimeEdit1");
    ExPanel5->Place(TimeEdit1, 84, 42, 82, 20);
    Panel4 = new QLabel;
    named(Panel4, "Panel4");
    Panel4->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel4->setAlignment(Qt::AlignCenter);
    ExPanel5->Place(Panel4, 8, 64, 159, 17);

    // "Координаты:"
    ExPanel6 = panel("ExPanel6", QStringLiteral("Координаты:"), 110);
    StaticText2 = MakeStaticText(QStringLiteral("X:"));
    named(StaticText2, "StaticText2");
    ExPanel6->Place(StaticText2, 8, 27, 14, 17);
    auto spin = [](const char* name, const QString& hint) {
        auto* s = new QSpinBox;
        s->setObjectName(name);
        s->setRange(INT_MIN, INT_MAX);
        s->setValue(0);
        SetHint(s, hint, false);
        return s;
    };
    SpinEdit1 = spin("SpinEdit1", QStringLiteral("Координата по горизонтали появления текста"));
    ExPanel6->Place(SpinEdit1, 24, 22, 45, 22);
    StaticText3 = MakeStaticText(QStringLiteral("Y:"));
    named(StaticText3, "StaticText3");
    ExPanel6->Place(StaticText3, 72, 27, 14, 17);
    SpinEdit2 = spin("SpinEdit2", QStringLiteral("Координата по вертикали появления текста"));
    ExPanel6->Place(SpinEdit2, 88, 22, 45, 22);
    BitBtn3 = new QPushButton(QStringLiteral("Цвет Фона"));
    named(BitBtn3, "BitBtn3");
    SetHint(BitBtn3, QStringLiteral("Изменить цвет фона"), false);
    ExPanel6->Place(BitBtn3, 8, 48, 73, 25);
    BitBtn2 = new QPushButton(QStringLiteral("Шрифт"));
    named(BitBtn2, "BitBtn2");
    SetHint(BitBtn2, QStringLiteral("Изменить шрифт и размеры"), false);
    ExPanel6->Place(BitBtn2, 80, 48, 73, 25);
    BitBtn1 = new QPushButton(QStringLiteral("Цвет Текста"));
    named(BitBtn1, "BitBtn1");
    SetHint(BitBtn1, QStringLiteral("Изменить цвет текста"), false);
    ExPanel6->Place(BitBtn1, 8, 76, 73, 25);
    CheckBox2 = new QCheckBox(QStringLiteral("Прозрачный"));
    named(CheckBox2, "CheckBox2");
    SetHint(CheckBox2, QStringLiteral("Выводить на прозрачном фоне или нет"), false);
    ExPanel6->Place(CheckBox2, 82, 80, 88, 17);

    // "Для всей группы в папке"
    ExPanel1 = panel("ExPanel1", QStringLiteral("Для всей группы в папке"), 208);
    Button4 = new QPushButton(QStringLiteral("Автоматически"));
    named(Button4, "Button4");
    SetHint(Button4, QStringLiteral("Сделать добавление текста ко всем файлам в папке автоматически"), false);
    ExPanel1->Place(Button4, 8, 27, 113, 25);
    SpeedButton1 = new QToolButton;
    named(SpeedButton1, "SpeedButton1");
    SpeedButton1->setIcon(StopIcon(29));
    SpeedButton1->setIconSize(QSize(29, 29));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setEnabled(false);
    ExPanel1->Place(SpeedButton1, 134, 22, 33, 33);
    CheckBox3 = new QCheckBox(QStringLiteral("Имя = Дате по маске:"));
    named(CheckBox3, "CheckBox3");
    CheckBox3->setChecked(true);
    ExPanel1->Place(CheckBox3, 8, 56, 155, 17);
    Edit2 = new QLineEdit(DefaultNamingMask);
    named(Edit2, "Edit2");
    ExPanel1->Place(Edit2, 8, 73, 157, 21);
    Memo1 = new QPlainTextEdit;
    named(Memo1, "Memo1");
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SetHint(Memo1, QStringLiteral("Список файлов"), false);
    ExPanel1->Place(Memo1, 8, 96, 161, 73);
    Label4 = new QLabel(QStringLiteral("Всего файлов:"));
    named(Label4, "Label4");
    ExPanel1->Place(Label4, 8, 176, 100, 13);
    cbEXIF = new QCheckBox(QStringLiteral("EXIF"));
    named(cbEXIF, "cbEXIF");
    cbEXIF->setChecked(true);
    ExPanel1->Place(cbEXIF, 112, 176, 57, 17);
    Label5 = new QLabel;
    named(Label5, "Label5");
    ExPanel1->Place(Label5, 8, 192, 120, 13);

    stack->addStretch(1);
    ScrollBox2->setWidget(column);
}

void TForm1::BuildMenu()
{
    menuBar()->setObjectName("MainMenu1");
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->addAction(N3);
    file->addAction(N4);
    file->addSeparator();
    file->addAction(Close1);
    QMenu* actions = menuBar()->addMenu(QStringLiteral("Действия"));
    actions->addAction(N9);
    actions->addSeparator();
    actions->addAction(N7);
    actions->addAction(N8);
    QMenu* mosaic = menuBar()->addMenu(QStringLiteral("Мозаика"));
    mosaic->addAction(N2);
    mosaic->addSeparator();
    mosaic->addAction(N11);
    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->addAction(About1);
}

QToolButton* TForm1::AddToolButton(QAction* action, const QString& name)
{
    ToolBar1->addAction(action);
    auto* button = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(action));
    button->setObjectName(name);
    return button;
}

void TForm1::BuildToolbar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setFixedHeight(29);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto gap = [this](int width) {
        auto* w = new QWidget;
        w->setFixedWidth(width);
        ToolBar1->addWidget(w);
    };
    gap(8);
    ToolButton7 = AddToolButton(actLoad, "ToolButton7");
    ToolButton8 = AddToolButton(actSave, "ToolButton8");
    gap(8);
    ToolButton9 = AddToolButton(actStamp, "ToolButton9");
    ToolButton13 = AddToolButton(actFrame, "ToolButton13");
    gap(8);
    ToolButton11 = AddToolButton(actAutomatic, "ToolButton11");
    gap(19);
    ToolButton1 = AddToolButton(actStretch, "ToolButton1");
    gap(18);
    ToolButton4 = AddToolButton(actMosaic, "ToolButton4");
    ToolButton5 = AddToolButton(actShowMosaic, "ToolButton5");
    ToolButton14 = AddToolButton(actCount, "ToolButton14");
    Label3 = new QLabel;
    Label3->setObjectName("Label3");
    Label3->setFixedWidth(3);
    ToolBar1->addWidget(Label3);
    Gauge1 = new BarGauge;
    Gauge1->setObjectName("Gauge1");
    Gauge1->setFixedSize(394, 22);
    Gauge1Action = ToolBar1->addWidget(Gauge1);
    Gauge1Action->setVisible(false);
}

void TForm1::Wire()
{
    // Actions run the operations; the controls that share an operation trigger its action.
    auto on = [this](QAction* a, void (TForm1::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { Guard([&] { (this->*handler)(); }); });
    };
    on(actLoad, &TForm1::Button1Click);
    on(actSave, &TForm1::Button3Click);
    on(actStamp, &TForm1::Button2Click);
    on(actFrame, &TForm1::ToolButton13Click);
    on(actAutomatic, &TForm1::Button4Click);
    on(actStretch, &TForm1::ToolButton1Click);
    on(actMosaic, &TForm1::ToolButton4Click);
    on(actShowMosaic, &TForm1::ToolButton5Click);
    on(actCount, &TForm1::ToolButton14Click);
    on(actClose, &TForm1::Close1Click);
    on(actAbout, &TForm1::About1Click);
    connect(Button1, &QPushButton::clicked, actLoad, &QAction::trigger);
    connect(Button3, &QPushButton::clicked, actSave, &QAction::trigger);
    connect(Button2, &QPushButton::clicked, actStamp, &QAction::trigger);
    connect(Button4, &QPushButton::clicked, actAutomatic, &QAction::trigger);

    auto handle = [this](void (TForm1::*handler)()) {
        return [this, handler] { Guard([&] { (this->*handler)(); }); };
    };
    connect(SpeedButton1, &QToolButton::clicked, this, handle(&TForm1::SpeedButton1Click));
    connect(BitBtn1, &QPushButton::clicked, this, handle(&TForm1::BitBtn1Click));
    connect(BitBtn2, &QPushButton::clicked, this, handle(&TForm1::BitBtn2Click));
    connect(BitBtn3, &QPushButton::clicked, this, handle(&TForm1::BitBtn3Click));
    connect(cbConf, &QComboBox::currentIndexChanged, this, handle(&TForm1::cbConfChange));
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, handle(&TForm1::ComboBox1Change));
    connect(ComboBox1, &QComboBox::editTextChanged, this, handle(&TForm1::ComboBox1Change));
    connect(CheckBox1, &QCheckBox::toggled, this, handle(&TForm1::CheckBox1Click));
    connect(CheckBox2, &QCheckBox::toggled, this, handle(&TForm1::CheckBox2Click));
    connect(CheckBox3, &QCheckBox::toggled, this, handle(&TForm1::CheckBox3Click));
    connect(cbPogr, &QCheckBox::toggled, this, handle(&TForm1::cbPogrClick));
    connect(TrackBar1, &QSlider::valueChanged, this, handle(&TForm1::TrackBar1Change));
    connect(DateTimePicker1, &QDateEdit::dateChanged, this, handle(&TForm1::DateTimePicker1Change));
    connect(DateTimePicker2, &QTimeEdit::timeChanged, this, handle(&TForm1::DateTimePicker1Change));
}

// ---- Start-up ----

void TForm1::FormCreate()
{
    Settings = StampSettings{};
    Settings.DateMode = true;
    Settings.BackgroundStyle = TBrushStyle::Solid;
    Settings.StartFolder = ExecutableFolder();
    Settings.DateSource = 1;
}

void TForm1::FormShow()
{
    ExPanel2->SetRolled(true);
    ExPanel5->SetRolled(true);
    ExPanel6->SetRolled(true);
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        Guard([this] { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // A running batch or mosaic build finishes its file or column first; the window
    // closes when it has ended.
    const bool building = Form2 && Form2->Building();
    if (batchRunning_ || building) {
        Settings.StopRequested = true;
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

// ---- Single picture ----

void TForm1::Button1Click()
{
    std::optional<QString> chosen = dialogs_.OpenPicture(this, U(Settings.StartFolder));
    if (!chosen)
        return;
    const std::string path = S(*chosen);
    QImage picture = LoadJpeg(path);
    Image1->resize(picture.size());
    Settings.PictureWidth = picture.width();
    Settings.PictureHeight = picture.height();
    StatusPanel0->setText(QString::number(picture.width()) + QStringLiteral(" на ") +
                          QString::number(picture.height()));
    Image1->SetPicture(picture);
    const QFileInfo info(*chosen);
    PictureInformation(S(info.absolutePath() + '/'), S(info.fileName()));
}

void TForm1::PictureInformation(const std::string& folder, const std::string& name)
{
    StatusPanel1->setText(U(folder));
    const std::optional<FileFacts> facts = GetFileFacts(folder + name);
    if (!facts || name.empty() || name[0] == '.')
        return;
    QApplication::processEvents();
    const PhotoFacts photo = ReadPhoto(folder + name, facts->Created, Settings.DateSource);
    Memo1->appendPlainText(U(photo.Report));
    SetDateText(U(FormatDate("dd.mm.yyyy hh:nn:ss", photo.Date)));
    {
        const DateTimeFields f = DecodeDateTime(photo.Date);
        const QSignalBlocker b1(DateTimePicker1), b2(DateTimePicker2);
        DateTimePicker1->setDate(QDate(f.Year, f.Month, f.Day));
        DateTimePicker2->setTime(QTime(f.Hour, f.Minute, f.Second));
    }
    if (cbPogr->isChecked()) {
        const TDateTime corrected = CorrectDate(photo.Date, S(TimeEdit1->text()), SelectedIndex(cbDirect) == 0);
        Panel4->setText(U(FormatDate("dd.mm.yyyy hh:nn:ss", corrected)));
    }
}

void TForm1::SetDateText(const QString& text) { Label1->setText(text); }

void TForm1::DateTimePicker1Change()
{
    const std::string date = FormatDate("dd.mm.yyyy ", PickerDate(DateTimePicker1->date()));
    const std::string time = FormatDate("hh:nn:ss", PickerTime(DateTimePicker2->time()));
    SetDateText(U(date + time));
}

StampStyle TForm1::CurrentStamp() const
{
    StampStyle style;
    style.TextColor = ColorDialog1Color;
    style.BackColor = ColorDialog2Color;
    style.Font.Family = S(FontDialog1Font.family());
    style.Font.PixelHeight = FontDialog1Font.pixelSize() > 0
                                 ? FontDialog1Font.pixelSize()
                                 : static_cast<int>(std::lround(FontDialog1Font.pointSizeF() * 96.0 / 72.0));
    style.Font.Bold = FontDialog1Font.bold();
    style.Font.Italic = FontDialog1Font.italic();
    style.BackgroundStyle = Settings.BackgroundStyle;
    style.Text = S(Settings.DateMode ? Label1->text() : Edit1->text());
    style.X = SpinEdit1->value();
    style.Y = SpinEdit2->value();
    return style;
}

void TForm1::Button2Click()
{
    DrawStamp(CurrentPicture(), CurrentStamp());
    Image1->update();
}

void TForm1::ToolButton13Click()
{
    AddFrame(CurrentPicture(), Settings.PictureWidth, Settings.PictureHeight);
    Image1->update();
}

void TForm1::ToolButton1Click()
{
    if (!Settings.Stretched) {
        Settings.PictureWidth = Image1->width();
        Settings.PictureHeight = Image1->height();
        Image1->resize(std::max(1, ScrollBox1->width() - 6), std::max(1, ScrollBox1->height() - 6));
        Image1->SetStretch(true);
        Image1->repaint();
        Settings.Stretched = true;
    } else {
        Image1->resize(Settings.PictureWidth, Settings.PictureHeight);
        Image1->SetStretch(false);
        Image1->repaint();
        Settings.Stretched = false;
    }
}

void TForm1::Button3Click()
{
    std::optional<QString> chosen = dialogs_.SavePicture(this, QStringLiteral("jpg"));
    if (!chosen)
        return;
    SaveJpeg(CurrentPicture(), S(WithDefaultExtension(*chosen, QStringLiteral("jpg"))), TrackBar1->value());
}

// ---- Mosaic ----

bool TForm1::MosaicAllowed()
{
    if (Settings.PictureWidth < 2 || Settings.PictureHeight < 2) {
        dialogs_.Message(this, NoPictureMessage);
        return false;
    }
    return Form2 != nullptr;
}

void TForm1::ToolButton4Click()
{
    if (!MosaicAllowed())
        return;
    Image1->resize(Settings.PictureWidth, Settings.PictureHeight);
    Image1->SetStretch(false);
    Settings.Stretched = false;
    Image1->repaint();
    if (Form2->isVisible())
        Form2->hide();  // a modeless mosaic window becomes the modal one
    dialogs_.ShowModal(*Form2);
}

void TForm1::ToolButton5Click()
{
    if (!MosaicAllowed())
        return;
    Form2->show();
    Form2->raise();
    Form2->activateWindow();
}

// ---- Folder batch ----

void TForm1::CountEntries(const std::string& folder)
{
    Settings.FileCount = CountJpegEntries(folder);
}

void TForm1::ToolButton14Click()
{
    // The chooser's answer is not looked at: cancelling counts the start folder.
    std::optional<QString> chosen = dialogs_.ChooseFolder(this, FolderChooserTitle, U(Settings.StartFolder));
    const std::string folder = chosen ? S(*chosen) : Settings.StartFolder;
    CountEntries(folder);
    StatusPanel1->setText(QString::number(Settings.FileCount));
}

void TForm1::SpeedButton1Click() { Settings.StopRequested = true; }

void TForm1::Button4Click()
{
    if (batchRunning_)
        return;  // the entries that forward here stay live during a run: one run at a time
    std::optional<QString> chosen = dialogs_.ChooseFolder(this, FolderChooserTitle, U(Settings.StartFolder));
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
    // The controls come back however the run ends; after a failure the window stays usable.
    auto restore = [this] {
        Button4->setEnabled(true);
        Gauge1Action->setVisible(false);
        SpeedButton1->setEnabled(false);
        DateTimePicker1->setEnabled(Settings.DateMode);
        DateTimePicker2->setEnabled(Settings.DateMode);
        ExPanel3->setEnabled(true);
        batchRunning_ = false;
        if (closePending_)
            QTimer::singleShot(0, this, &QWidget::close);
    };
    try {
        DateTimePicker1->setEnabled(false);
        DateTimePicker2->setEnabled(false);
        ExPanel3->setEnabled(false);
        Button4->setEnabled(false);
        SpeedButton1->setEnabled(true);
        Settings.RenameByMask = CheckBox3->isChecked();
        const TDateTime start = Now();
        Settings.StopRequested = false;
        // The engine counts the entries (Started), makes the subfolder, lets events run
        // before the loop and twice per file, and reads the stop flag after each file.
        BatchAdapter host(*this);
        ui::RunBatch(folder, Settings.RenameByMask, host);
        StatusPanel1->setText(U(FormatDate("Заняло hh:nn:ss", Now() - start)));
        if (!closePending_)
            dialogs_.Message(this, BatchDoneMessage);
    } catch (...) {
        restore();
        throw;
    }
    restore();
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
    const int index = SelectedIndex(cbConf);
    if (index < 0 || index >= static_cast<int>(std::size(Presets)))
        return;
    const Preset& p = Presets[index];
    TrackBar1->setValue(p.Quality);
    if (SelectedIndex(ComboBox1) != p.DateSource) {
        const QSignalBlocker block(ComboBox1);
        ComboBox1->setCurrentIndex(p.DateSource);
        ComboBox1->setEditText(ComboBox1->itemText(p.DateSource));
    }
    ComboBox1Change();
    CheckBox1->setChecked(true);
    Edit1->clear();
    CheckBox3->setChecked(true);
    cbEXIF->setChecked(p.Exif);
    Edit2->setText(QString::fromUtf8(p.NamingMask));
}

void TForm1::CheckBox1Click()
{
    Settings.DateMode = CheckBox1->isChecked();
    Edit1->setEnabled(!Settings.DateMode);
    if (!batchRunning_) {
        DateTimePicker1->setEnabled(Settings.DateMode);
        DateTimePicker2->setEnabled(Settings.DateMode);
    }
}

void TForm1::ComboBox1Change() { Settings.DateSource = SelectedIndex(ComboBox1); }

void TForm1::CheckBox2Click()
{
    Settings.Transparent = CheckBox2->isChecked();
    BitBtn3->setEnabled(!Settings.Transparent);
    Settings.BackgroundStyle = Settings.Transparent ? TBrushStyle::Cross : TBrushStyle::Solid;
}

void TForm1::CheckBox3Click() { Edit2->setEnabled(CheckBox3->isChecked()); }

void TForm1::cbPogrClick()
{
    cbDirect->setEnabled(cbPogr->isChecked());
    TimeEdit1->setEnabled(cbPogr->isChecked());
}

void TForm1::TrackBar1Change() { Label2->setText(QString::number(TrackBar1->value()) + QStringLiteral(" %")); }

void TForm1::BitBtn1Click()
{
    if (auto c = dialogs_.ChooseColor(this, ColorDialog1Color))
        ColorDialog1Color = *c;
}

void TForm1::BitBtn2Click()
{
    if (auto f = dialogs_.ChooseFont(this, FontDialog1Font))
        FontDialog1Font = *f;
}

void TForm1::BitBtn3Click()
{
    if (auto c = dialogs_.ChooseColor(this, ColorDialog2Color))
        ColorDialog2Color = *c;
}

void TForm1::Close1Click() { close(); }

void TForm1::About1Click()
{
    if (AboutBox)
        dialogs_.ShowModal(*AboutBox);
}

}  // namespace morvik::ui
