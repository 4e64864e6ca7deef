#include "ui/Form2.h"

#include "platform/DateMask.h"
#include "platform/DateTime.h"
#include "stamping/Mosaic.h"
#include "ui/EngineBridge.h"
#include "ui/Icons.h"
#include "ui/PatternDialog.h"
#include "ui/PictureView.h"
#include "ui/ScreenFit.h"
#include "ui/WindowFont.h"
#include "ui/widgets/BarGauge.h"
#include "ui/widgets/DesignLayout.h"
#include "ui/widgets/SpinEdit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <climits>

namespace morvik::ui {
namespace {

using Fit = DesignLayout::Sizing;

template <typename W>
W* Put(DesignLayout* layout, W* w, const char* name, int left, int top, int width, int height,
       Fit sizing = Fit::Fixed)
{
    w->setObjectName(name);
    layout->Place(w, QRect(left, top, width, height), sizing);
    return w;
}

void SetHint(QWidget* w, const QString& hint)
{
    w->setProperty("hint", hint);
    w->setToolTip(hint);  // the bottom panel shows its hints
}

}  // namespace

TForm2::TForm2(IDialogs& dialogs, SourceProvider source, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), source_(std::move(source))
{
    setObjectName("Form2");
    setWindowTitle(tr("Мозайка для вышивания"));
    setFont(WindowFont());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
    resize(729, 537);
    move(234, 131);

    // The chart and the controls below it scroll as one when the window is smaller than
    // they need (a small screen, large text settings).
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroller = new QScrollArea;
    scroller->setObjectName("ContentScroller");
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    auto* content = new QWidget;
    scroller->setWidget(content);
    outer->addWidget(scroller);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Panel1 = new QFrame;
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* inner = new QVBoxLayout(Panel1);
    inner->setContentsMargins(1, 1, 1, 1);
    ScrollBox1 = new QScrollArea;
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1 = new PictureView;
    Image1->setObjectName("Image1");
    Image1->resize(385, 321);
    ScrollBox1->setWidget(Image1);
    inner->addWidget(ScrollBox1);
    layout->addWidget(Panel1, 1);

    Panel2 = new QFrame;
    Panel2->setObjectName("Panel2");
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel2->setFixedHeight(118);  // a row below the chart's controls for the pattern
    layout->addWidget(Panel2);

    // Labels and the group box of sizes grow to show their text whole; the buttons to
    // their right move over.
    auto* bottom = new DesignLayout(Panel2);
    BitBtn1 = Put(bottom, new QPushButton(tr("Показать мозайку")), "BitBtn1", 8, 8, 169, 25);
    SetHint(BitBtn1, tr("Начать процесс"));
    Label1 = Put(bottom, new QLabel(tr("Размер квадрата")), "Label1", 184, 8, 89, 13, Fit::FitText);
    Label1->setFont(WindowFont(10));  // the desktop's face is wider than the design's
    SpinEdit1 = Put(bottom, new SpinEdit, "SpinEdit1", 280, 5, 49, 22, Fit::FitText);
    SpinEdit1->setRange(INT_MIN, INT_MAX);
    SpinEdit1->setValue(3);
    SetHint(SpinEdit1, tr("Размер квадрата мозаики"));
    Gauge1 = Put(bottom, new BarGauge, "Gauge1", 8, 40, 265, 25);
    SetHint(Gauge1, tr("Прогресс появления. (Довольно медленно не правда ли?)"));
    SpeedButton1 = Put(bottom, new QToolButton, "SpeedButton1", 280, 32, 49, 49);
    SpeedButton1->setIcon(StopIcon(44));
    SpeedButton1->setIconSize(QSize(44, 44));
    SpeedButton1->setAutoRaise(true);
    Label4 = Put(bottom, new QLabel, "Label4", 8, 69, 3, 13, Fit::FitText);
    BitBtn3 = Put(bottom, new QPushButton(tr("Save to File")), "BitBtn3", 368, 8, 169, 25);
    SetHint(BitBtn3, tr("Сохранить полученное"));
    Label2 = Put(bottom, new QLabel(tr("Качество сжатия")), "Label2", 408, 40, 87, 13, Fit::FitText);
    TrackBar1 = Put(bottom, new QSlider(Qt::Horizontal), "TrackBar1", 368, 56, 161, 25);
    TrackBar1->setRange(0, 100);
    TrackBar1->setValue(70);
    SetHint(TrackBar1, tr("Качество сжатия JPEG"));
    GroupBox1 = Put(bottom, new QGroupBox(tr("Размеры")), "GroupBox1", 544, 8, 97, 73, Fit::FitText);
    SetHint(GroupBox1, tr("Размеры картинки"));
    auto* sizes = new DesignLayout(GroupBox1);
    Label3 = Put(sizes, new QLabel(QStringLiteral("Label3")), "Label3", 24, 16, 32, 13, Fit::FitText);
    Label5 = Put(sizes, new QLabel(QStringLiteral("Label5")), "Label5", 24, 48, 32, 13, Fit::FitText);
    BitBtn2 = Put(bottom, new QPushButton(tr("Clear")), "BitBtn2", 664, 8, 51, 25);
    SetHint(BitBtn2, tr("Очистить"));
    Button1 = Put(bottom, new QPushButton(tr("Close")), "Button1", 664, 56, 49, 25);
    SetHint(Button1, tr("Выход"));
    PatternButton = Put(bottom, new QPushButton(tr("Схема для вышивки…")), "PatternButton", 8, 88, 169, 25);
    SetHint(PatternButton, tr("Схема в настоящих нитках, с ключом и листами для печати"));
    for (QPushButton* b : {BitBtn1, BitBtn2, BitBtn3, Button1, PatternButton})
        b->setAutoDefault(false);

    auto handle = [this](void (TForm2::*handler)()) {
        return [this, handler] { Guard([&] { (this->*handler)(); }); };
    };
    connect(BitBtn1, &QPushButton::clicked, this, handle(&TForm2::BitBtn1Click));
    connect(SpeedButton1, &QToolButton::clicked, this, handle(&TForm2::SpeedButton1Click));
    connect(BitBtn2, &QPushButton::clicked, this, handle(&TForm2::BitBtn2Click));
    connect(BitBtn3, &QPushButton::clicked, this, handle(&TForm2::BitBtn3Click));
    connect(Button1, &QPushButton::clicked, this, handle(&TForm2::Button1Click));
    connect(PatternButton, &QPushButton::clicked, this, handle(&TForm2::PatternClick));
    FitToAvailableArea(*this, ScreenFit::KeepsItsTop);
}

QString TForm2::SizeText(int width, int height) const
{
    return QString::number(width) + tr(" на ") + QString::number(height);
}

void TForm2::ShowBeside(const QWidget& mainMenuBar)
{
    // At its design place, or just below the main window's menu bar where it would cover it.
    const QRect bar(mainMenuBar.mapToGlobal(QPoint(0, 0)), mainMenuBar.size());
    if (QRect(pos(), frameGeometry().size()).intersects(bar))
        move(pos().x(), bar.bottom() + 1);
    FitToAvailableArea(*this, ScreenFit::KeepsItsTop);
    show();
    raise();
    activateWindow();
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FitToAvailableArea(*this, ScreenFit::KeepsItsTop);
    Guard([this] { FormShow(); });
}

void TForm2::FormShow()
{
    const Source s = source_();
    Label3->setText(SizeText(s.Width, s.Height));
}

void TForm2::BitBtn1Click()
{
    if (building_)
        return;  // one build at a time: the running one keeps its chart and cell size
    const Source s = source_();  // the picture is shared, so a load meanwhile leaves it intact
    building_ = true;
    stop_ = false;
    const int cell = SpinEdit1->value();
    cellSize_ = cell;
    // However the build ends, the gauge returns to 0 and a close asked for meanwhile goes ahead.
    const auto finish = qScopeGuard([this] {
        Gauge1->SetProgress(0);
        building_ = false;
        emit BuildFinished();
        if (closePending_) {
            closePending_ = false;
            QTimer::singleShot(0, this, &QWidget::close);
        }
    });
    QImage chart;
    // The chart's size is checked (a cell size below 1 is refused) before anything
    // changes; the area and its label take it at once.
    const ChartSize size = CheckMosaicChartSize(s.Width, s.Height, cell);
    Image1->resize(size.Width, size.Height);
    Label5->setText(SizeText(size.Width, size.Height));
    const TDateTime start = Now();
    BuildMosaic(
        s.Picture, s.Width, s.Height, cell, chart, [this](int percent) { Gauge1->SetProgress(percent); },
        [] { QApplication::processEvents(); }, stop_);
    Image1->resize(chart.size());
    Label5->setText(SizeText(chart.width(), chart.height()));
    Image1->SetPicture(chart);
    Image1->repaint();
    Label4->setText(QString::fromUtf8(FormatDateTime(tr("Заняло hh:nn:ss").toStdString(), Now() - start)));
}

void TForm2::SpeedButton1Click() { stop_ = true; }

void TForm2::BitBtn2Click()
{
    if (building_)
        return;  // the chart being painted is not cleared under the build
    const int cell = SpinEdit1->value();
    const Source s = source_();
    const ChartSize size = CheckMosaicChartSize(s.Width, s.Height, cell);  // refuses a size it cannot make
    cellSize_ = cell;
    QImage blank(std::max(1, size.Width), std::max(1, size.Height), QImage::Format_RGB32);
    blank.fill(Qt::white);
    Image1->resize(size.Width, size.Height);
    Label5->setText(SizeText(size.Width, size.Height));
    Image1->SetPicture(size.Width > 0 && size.Height > 0 ? blank : QImage());
    Image1->repaint();
}

void TForm2::BitBtn3Click()
{
    std::optional<QString> chosen = dialogs_.SavePicture(this, QStringLiteral("jpg"));
    if (!chosen)
        return;
    SaveJpeg(Image1->Picture(), WithDefaultExtension(*chosen, QStringLiteral("jpg")).toUtf8().toStdString(),
             TrackBar1->value());
}

void TForm2::Button1Click() { close(); }

void TForm2::PatternClick()
{
    const Source s = source_();
    if (s.Width <= 0 || s.Height <= 0)
        throw EPatternSettings(tr("Нет картинки для схемы").toStdString());
    QImage picture = s.Picture;
    if (picture.isNull()) {  // as the chart does: a window without a photo shows white
        picture = QImage(s.Width, s.Height, QImage::Format_RGB32);
        picture.fill(Qt::white);
    }
    PatternDialog dialog(dialogs_, picture, this);
    dialogs_.ShowModal(dialog);
}

void TForm2::closeEvent(QCloseEvent* event)
{
    if (building_) {
        // The window closes once the build has seen the stop at the end of its column.
        stop_ = true;
        closePending_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TForm2::reject()
{
    if (building_) {
        stop_ = true;
        closePending_ = true;
        return;
    }
    QDialog::reject();
}

}  // namespace morvik::ui
