#include "ui/MosaicWindow.h"

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

MosaicWindow::MosaicWindow(IDialogs& dialogs, SourceProvider source, QWidget* parent)
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
    ChartArea = new QFrame;
    ChartArea->setObjectName("Panel1");
    ChartArea->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* inner = new QVBoxLayout(ChartArea);
    inner->setContentsMargins(1, 1, 1, 1);
    ChartScroller = new QScrollArea;
    ChartScroller->setObjectName("ScrollBox1");
    ChartScroller->setWidgetResizable(false);
    ChartScroller->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ChartView = new PictureView;
    ChartView->setObjectName("Image1");
    ChartView->resize(385, 321);
    ChartScroller->setWidget(ChartView);
    inner->addWidget(ChartScroller);
    layout->addWidget(ChartArea, 1);

    ControlsArea = new QFrame;
    ControlsArea->setObjectName("Panel2");
    ControlsArea->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ControlsArea->setFixedHeight(118);  // a row below the chart's controls for the pattern
    layout->addWidget(ControlsArea);

    // Labels and the group box of sizes grow to show their text whole; the buttons to
    // their right move over.
    auto* bottom = new DesignLayout(ControlsArea);
    BuildButton = Put(bottom, new QPushButton(tr("Показать мозайку")), "BitBtn1", 8, 8, 169, 25);
    SetHint(BuildButton, tr("Начать процесс"));
    CellSizeCaption = Put(bottom, new QLabel(tr("Размер квадрата")), "Label1", 184, 8, 89, 13, Fit::FitText);
    CellSizeCaption->setFont(WindowFont(10));  // the desktop's face is wider than the design's
    CellSizeEdit = Put(bottom, new SpinEdit, "SpinEdit1", 280, 5, 49, 22, Fit::FitText);
    CellSizeEdit->setRange(INT_MIN, INT_MAX);
    CellSizeEdit->setValue(3);
    SetHint(CellSizeEdit, tr("Размер квадрата мозаики"));
    ProgressGauge = Put(bottom, new BarGauge, "Gauge1", 8, 40, 265, 25);
    SetHint(ProgressGauge, tr("Прогресс появления. (Довольно медленно не правда ли?)"));
    StopButton = Put(bottom, new QToolButton, "SpeedButton1", 280, 32, 49, 49);
    StopButton->setIcon(StopIcon(44));
    StopButton->setIconSize(QSize(44, 44));
    StopButton->setAutoRaise(true);
    DurationLabel = Put(bottom, new QLabel, "Label4", 8, 69, 3, 13, Fit::FitText);
    SaveButton = Put(bottom, new QPushButton(tr("Save to File")), "BitBtn3", 368, 8, 169, 25);
    SetHint(SaveButton, tr("Сохранить полученное"));
    QualityCaption = Put(bottom, new QLabel(tr("Качество сжатия")), "Label2", 408, 40, 87, 13, Fit::FitText);
    QualitySlider = Put(bottom, new QSlider(Qt::Horizontal), "TrackBar1", 368, 56, 161, 25);
    QualitySlider->setRange(0, 100);
    QualitySlider->setValue(70);
    SetHint(QualitySlider, tr("Качество сжатия JPEG"));
    SizesBox = Put(bottom, new QGroupBox(tr("Размеры")), "GroupBox1", 544, 8, 97, 73, Fit::FitText);
    SetHint(SizesBox, tr("Размеры картинки"));
    auto* sizes = new DesignLayout(SizesBox);
    PictureSizeLabel = Put(sizes, new QLabel(QStringLiteral("Label3")), "Label3", 24, 16, 32, 13, Fit::FitText);
    ChartSizeLabel = Put(sizes, new QLabel(QStringLiteral("Label5")), "Label5", 24, 48, 32, 13, Fit::FitText);
    ClearButton = Put(bottom, new QPushButton(tr("Clear")), "BitBtn2", 664, 8, 51, 25);
    SetHint(ClearButton, tr("Очистить"));
    CloseButton = Put(bottom, new QPushButton(tr("Close")), "Button1", 664, 56, 49, 25);
    SetHint(CloseButton, tr("Выход"));
    PatternButton = Put(bottom, new QPushButton(tr("Схема для вышивки…")), "PatternButton", 8, 88, 169, 25);
    SetHint(PatternButton, tr("Схема в настоящих нитках, с ключом и листами для печати"));
    for (QPushButton* b : {BuildButton, ClearButton, SaveButton, CloseButton, PatternButton})
        b->setAutoDefault(false);

    auto handle = [this](void (MosaicWindow::*handler)()) {
        return [this, handler] { Guard([&] { (this->*handler)(); }); };
    };
    connect(BuildButton, &QPushButton::clicked, this, handle(&MosaicWindow::BuildChart));
    connect(StopButton, &QToolButton::clicked, this, handle(&MosaicWindow::StopBuild));
    connect(ClearButton, &QPushButton::clicked, this, handle(&MosaicWindow::ClearChart));
    connect(SaveButton, &QPushButton::clicked, this, handle(&MosaicWindow::SaveChart));
    connect(CloseButton, &QPushButton::clicked, this, handle(&MosaicWindow::CloseWindow));
    connect(PatternButton, &QPushButton::clicked, this, handle(&MosaicWindow::OpenPattern));
    FitToAvailableArea(*this, ScreenFit::KeepsItsTop);
}

QString MosaicWindow::SizeText(int width, int height) const
{
    return QString::number(width) + tr(" на ") + QString::number(height);
}

void MosaicWindow::ShowBeside(const QWidget& mainMenuBar)
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

void MosaicWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FitToAvailableArea(*this, ScreenFit::KeepsItsTop);
    Guard([this] { ShowSourceSize(); });
}

void MosaicWindow::ShowSourceSize()
{
    const Source s = source_();
    PictureSizeLabel->setText(SizeText(s.Width, s.Height));
}

void MosaicWindow::BuildChart()
{
    if (building_)
        return;  // one build at a time: the running one keeps its chart and cell size
    const Source s = source_();  // the picture is shared, so a load meanwhile leaves it intact
    building_ = true;
    stop_ = false;
    const int cell = CellSizeEdit->value();
    cellSize_ = cell;
    // However the build ends, the gauge returns to 0 and a close asked for meanwhile goes ahead.
    const auto finish = qScopeGuard([this] {
        ProgressGauge->SetProgress(0);
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
    ChartView->resize(size.Width, size.Height);
    ChartSizeLabel->setText(SizeText(size.Width, size.Height));
    const TDateTime start = Now();
    BuildMosaic(
        s.Picture, s.Width, s.Height, cell, chart, [this](int percent) { ProgressGauge->SetProgress(percent); },
        [] { QApplication::processEvents(); }, stop_);
    ChartView->resize(chart.size());
    ChartSizeLabel->setText(SizeText(chart.width(), chart.height()));
    ChartView->SetPicture(chart);
    ChartView->repaint();
    DurationLabel->setText(DurationText(Now() - start));
}

void MosaicWindow::StopBuild() { stop_ = true; }

void MosaicWindow::ClearChart()
{
    if (building_)
        return;  // the chart being painted is not cleared under the build
    const int cell = CellSizeEdit->value();
    const Source s = source_();
    const ChartSize size = CheckMosaicChartSize(s.Width, s.Height, cell);  // refuses a size it cannot make
    cellSize_ = cell;
    QImage blank(std::max(1, size.Width), std::max(1, size.Height), QImage::Format_RGB32);
    blank.fill(Qt::white);
    ChartView->resize(size.Width, size.Height);
    ChartSizeLabel->setText(SizeText(size.Width, size.Height));
    ChartView->SetPicture(size.Width > 0 && size.Height > 0 ? blank : QImage());
    ChartView->repaint();
}

void MosaicWindow::SaveChart()
{
    std::optional<QString> chosen = dialogs_.SavePicture(this, QStringLiteral("jpg"));
    if (!chosen)
        return;
    SaveJpeg(ChartView->Picture(), WithDefaultExtension(*chosen, QStringLiteral("jpg")).toUtf8().toStdString(),
             QualitySlider->value());
}

void MosaicWindow::CloseWindow() { close(); }

void MosaicWindow::OpenPattern()
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

void MosaicWindow::closeEvent(QCloseEvent* event)
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

void MosaicWindow::reject()
{
    if (building_) {
        stop_ = true;
        closePending_ = true;
        return;
    }
    QDialog::reject();
}

}  // namespace morvik::ui
