#include "ui/AboutDialog.h"

#include "platform/Format.h"
#include "platform/MemoryStatus.h"
#include "platform/Version.h"
#include "ui/Icons.h"
#include "ui/WindowFont.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace morvik::ui {
namespace {

QPixmap CheckMark()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 128, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(7, 12), QPointF(13, 3)}));
    return pm;
}

template <typename W>
W* Put(QWidget* parent, W* w, const char* name, int left, int top)
{
    w->setParent(parent);
    w->setObjectName(name);
    w->move(left, top);
    w->adjustSize();
    return w;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutBox");
    setWindowTitle(tr("About"));
    // A title bar without buttons: only OK (or Escape) closes the box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(WindowFont());
    setFixedSize(297, 224);

    Frame = new QFrame(this);
    Frame->setObjectName("Panel1");
    Frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Frame->setGeometry(8, 8, 281, 177);
    LogoLabel = Put(Frame, new QLabel, "Image1", 8, 8);
    LogoLabel->setPixmap(Logo());
    LogoLabel->resize(150, 80);
    NameLabel = new QLabel(QStringLiteral("Morvik"));
    QFont bold = WindowFont(13);
    bold.setBold(true);
    NameLabel->setFont(bold);
    Put(Frame, NameLabel, "Label1", 176, 24);
    VersionLabel = Put(Frame, new QLabel(tr("Ver. %1").arg(QString::fromUtf8(kVersion.data(), qsizetype(kVersion.size())))), "Label2", 200, 56);
    PhysicalMemoryCaption = Put(Frame, new QLabel(tr("Physical Memory:")), "StaticText1", 8, 120);
    PhysicalMemoryLabel = Put(Frame, new QLabel(QStringLiteral("PhysMem")), "PhysMem", 24, 136);
    FreeMemoryCaption = Put(Frame, new QLabel(tr("Free memory:")), "StaticText2", 184, 120);
    FreeMemoryLabel = Put(Frame, new QLabel(QStringLiteral("FreeRes")), "FreeRes", 208, 136);

    OkButton = new QPushButton(QIcon(CheckMark()), tr("OK"), this);
    OkButton->setObjectName("BitBtn1");
    OkButton->setGeometry(104, 192, 75, 25);
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, [this] { Confirm(); });

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    ShowMemoryFigures();
}

QString AboutDialog::PhysicalMemoryText(uint64_t totalBytes)
{
    const auto kilobytes = static_cast<int64_t>(std::llround(static_cast<double>(totalBytes) / 1024.0));
    return QString::fromUtf8(FormatThousands(kilobytes)) + tr(" KB");
}

QString AboutDialog::PercentText(int percent) { return QString::fromUtf8(Format("%d %%", percent)); }

void AboutDialog::ShowMemoryFigures()
{
    const MemoryStatus status = ReadMemoryStatus();
    PhysicalMemoryLabel->setText(PhysicalMemoryText(status.TotalPhysBytes));
    PhysicalMemoryLabel->adjustSize();
    // Under "Free memory:" the share of physical memory that is free, not the share in use.
    FreeMemoryLabel->setText(PercentText(100 - status.MemoryLoadPercent));
    FreeMemoryLabel->adjustSize();
}

void AboutDialog::Confirm() { accept(); }

void AboutDialog::closeEvent(QCloseEvent* event)
{
    // The window manager's close (Alt+F4) is refused: the box has no close button.
    if (event->spontaneous())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

}  // namespace morvik::ui
