#include "ui/PatternDialog.h"

#include "ui/EngineBridge.h"
#include "ui/Icons.h"
#include "ui/widgets/BarGauge.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace morvik::ui {

PatternDialog::PatternDialog(IDialogs& dialogs, QImage picture, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), picture_(ToPicture(picture))
{
    setObjectName("PatternDialog");
    setWindowTitle(tr("Схема для вышивки"));
    auto* layout = new QHBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    ByStitches = new QRadioButton(tr("Ширина в крестиках"));
    ByStitches->setChecked(true);
    StitchWidth = new QSpinBox;
    StitchWidth->setRange(1, kMaxPatternSide);
    StitchWidth->setValue(120);
    form->addRow(ByStitches, StitchWidth);
    BySize = new QRadioButton(tr("Размер, см"));
    auto* sizes = new QHBoxLayout;
    WidthCm = new QDoubleSpinBox;
    HeightCm = new QDoubleSpinBox;
    for (QDoubleSpinBox* box : {WidthCm, HeightCm}) {
        box->setRange(1, 180);
        box->setDecimals(1);
        sizes->addWidget(box);
    }
    WidthCm->setValue(20);
    HeightCm->setValue(picture_.Width() > 0 ? 20.0 * picture_.Height() / picture_.Width() : 15);
    sizes->insertWidget(1, new QLabel(QStringLiteral("×")));
    form->addRow(BySize, sizes);
    Fabric = new QComboBox;
    for (int count : {11, 14, 16, 18, 22})
        Fabric->addItem(tr("Aida %1").arg(count), count);
    Fabric->setCurrentIndex(1);
    form->addRow(tr("Канва"), Fabric);
    Threads = new QSpinBox;
    Threads->setRange(1, kMaxPatternThreads);
    Threads->setValue(30);
    form->addRow(tr("Цветов не больше"), Threads);
    Scheme = new QComboBox;
    Scheme->addItem(QStringLiteral("DMC"), int(ThreadMaker::Dmc));
    Scheme->addItem(QStringLiteral("Anchor"), int(ThreadMaker::Anchor));
    Scheme->addItem(QStringLiteral("Madeira"), int(ThreadMaker::Madeira));
    form->addRow(tr("Мулине"), Scheme);
    // The chart pages print true to size on the sheet the user's printer holds: Letter
    // where the locale measures in inches, A4 elsewhere.
    PaperChoice = new QComboBox;
    PaperChoice->addItem(QStringLiteral("A4"), int(PaperSize::A4));
    PaperChoice->addItem(QStringLiteral("Letter"), int(PaperSize::Letter));
    PaperChoice->setCurrentIndex(QLocale().measurementSystem() == QLocale::ImperialUSSystem ? 1 : 0);
    form->addRow(tr("Бумага"), PaperChoice);
    Dither = new QCheckBox(tr("Смешивать цвета (дизеринг)"));
    Clean = new QCheckBox(tr("Убрать одиночные крестики"));
    form->addRow(Dither);
    form->addRow(Clean);
    Facts = new QLabel;
    Facts->setObjectName("Facts");
    Facts->setMinimumHeight(2 * Facts->fontMetrics().lineSpacing() + 4);
    form->addRow(Facts);
    auto* progress = new QHBoxLayout;
    Gauge = new BarGauge;
    Gauge->setMinimumSize(160, 25);
    StopButton = new QToolButton;
    StopButton->setIcon(StopIcon(24));
    StopButton->setIconSize(QSize(24, 24));
    StopButton->setAutoRaise(true);
    StopButton->setToolTip(tr("Остановить"));
    progress->addWidget(Gauge, 1);
    progress->addWidget(StopButton);
    form->addRow(progress);
    SaveButton = new QPushButton(tr("Сохранить PDF"));
    CloseButton = new QPushButton(tr("Close"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SaveButton);
    buttons->addWidget(CloseButton);
    form->addRow(buttons);
    for (QPushButton* b : {SaveButton, CloseButton})
        b->setAutoDefault(false);

    Preview = new QLabel;
    Preview->setObjectName("Preview");
    Preview->setMinimumSize(420, 320);
    Preview->setAlignment(Qt::AlignCenter);
    layout->addWidget(Preview, 1);

    // A change waits a moment for the next one, so that typing a number builds once.
    delay_ = new QTimer(this);
    delay_->setSingleShot(true);
    delay_->setInterval(250);
    connect(delay_, &QTimer::timeout, this, &PatternDialog::Rebuild);
    auto later = [this] { delay_->start(); };
    connect(StitchWidth, &QSpinBox::valueChanged, this, later);
    connect(Threads, &QSpinBox::valueChanged, this, later);
    connect(WidthCm, &QDoubleSpinBox::valueChanged, this, later);
    connect(HeightCm, &QDoubleSpinBox::valueChanged, this, later);
    connect(Fabric, &QComboBox::currentIndexChanged, this, later);
    connect(Scheme, &QComboBox::currentIndexChanged, this, later);
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{ByStitches, BySize, Dither, Clean})
        connect(b, &QAbstractButton::toggled, this, later);
    connect(StopButton, &QToolButton::clicked, this, &PatternDialog::Stop);
    connect(SaveButton, &QPushButton::clicked, this, [this] { RunHandler(dialogs_, this, [this] { SavePdf(); }); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    delay_->start();
}

PatternDialog::~PatternDialog()
{
    // The build holds the picture and this window's callbacks: it ends before they go.
    if (worker_) {
        stop_->store(true);
        worker_->wait();
        delete worker_;
    }
}

PatternSettings PatternDialog::Settings() const
{
    PatternSettings s;
    s.Width = StitchWidth->value();
    if (BySize->isChecked()) {
        s.WidthCm = WidthCm->value();
        s.HeightCm = HeightCm->value();
    }
    s.Fabric = Fabric->currentData().toInt();
    s.Threads = Threads->value();
    s.Maker = ThreadMaker(Scheme->currentData().toInt());
    s.Dither = Dither->isChecked();
    s.Clean = Clean->isChecked();
    return s;
}

PaperSize PatternDialog::Paper() const { return PaperSize(PaperChoice->currentData().toInt()); }

void PatternDialog::Stop()
{
    if (stop_)
        stop_->store(true);
}

void PatternDialog::Rebuild()
{
    delay_->stop();
    if (worker_) {
        // One build at a time: the running one stops and the new settings follow it.
        again_ = true;
        stop_->store(true);
        return;
    }
    again_ = false;
    const int generation = ++generation_;
    const PatternSettings settings = Settings();
    auto stop = std::make_shared<std::atomic<bool>>(false);
    stop_ = stop;
    auto result = std::make_shared<std::optional<Pattern>>();
    auto failure = std::make_shared<QString>();
    SaveButton->setEnabled(false);
    Gauge->SetProgress(0);
    worker_ = QThread::create([this, settings, stop, result, failure, picture = &picture_] {
        try {
            PatternCallbacks callbacks;
            callbacks.StopRequested = [stop] { return stop->load(); };
            callbacks.Progress = [this](int percent) {
                QMetaObject::invokeMethod(this, [this, percent] { Gauge->SetProgress(percent); },
                                          Qt::QueuedConnection);
            };
            const ThreadScheme scheme = LoadThreadScheme(settings.Maker);
            *result = BuildPattern(*picture, settings, scheme, callbacks);
        } catch (const EPatternStopped&) {
            // A stop is no failure: the pattern shown stays as it was.
        } catch (const std::exception& e) {
            // The worker's failures (a size out of range, a scheme that cannot be read, no
            // memory) are told on the window's thread, in the window's message box.
            *failure = QString::fromUtf8(e.what());
        }
    });
    connect(worker_, &QThread::finished, this,
            [this, generation, result, failure] { Finished(generation, result, *failure); });
    worker_->start();
}

void PatternDialog::Finished(int generation, std::shared_ptr<std::optional<Pattern>> result, QString failure)
{
    worker_->deleteLater();
    worker_ = nullptr;
    Gauge->SetProgress(0);
    if (generation == generation_ && result->has_value()) {
        pattern_ = std::move(**result);
        ShowPreview();
    }
    SaveButton->setEnabled(pattern_.has_value());
    emit BuildFinished();
    if (!failure.isEmpty())
        dialogs_.Message(this, failure);
    if (again_)
        Rebuild();
}

void PatternDialog::ShowPreview()
{
    const Pattern& p = *pattern_;
    const QImage image = ToImage(PatternPreview(p, PreviewStitchPixels(p, 420)));
    Preview->setPixmap(QPixmap::fromImage(
        image.scaled(Preview->size(), Qt::KeepAspectRatio, image.width() < Preview->width() ? Qt::FastTransformation
                                                                                            : Qt::SmoothTransformation)));
    Facts->setText(tr("%1 × %2 крестиков, %3 цветов %4\n%5 × %6 см")
                       .arg(p.Width)
                       .arg(p.Height)
                       .arg(p.Threads.size())
                       .arg(QString::fromStdString(p.SchemeTitle))
                       .arg(FinishedCm(p.Width, p.Fabric), 0, 'f', 1)
                       .arg(FinishedCm(p.Height, p.Fabric), 0, 'f', 1));
}

void PatternDialog::SavePdf()
{
    if (!pattern_)
        return;
    std::optional<QString> chosen = dialogs_.SavePicture(this, QStringLiteral("pdf"));
    if (!chosen)
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    WritePatternPdf(*pattern_, Paper(), tr("Схема для вышивки").toStdString(),
                    WithDefaultExtension(*chosen, QStringLiteral("pdf")).toUtf8().toStdString());
}

}  // namespace morvik::ui
