#include "ui/AboutBox.h"

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

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutBox");
    setWindowTitle(tr("About"));
    // A title bar without buttons: only OK (or Escape) closes the box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(WindowFont());
    setFixedSize(297, 224);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(8, 8, 281, 177);
    Image1 = Put(Panel1, new QLabel, "Image1", 8, 8);
    Image1->setPixmap(Logo());
    Image1->resize(150, 80);
    Label1 = new QLabel(QStringLiteral("Morvik"));
    QFont bold = WindowFont(13);
    bold.setBold(true);
    Label1->setFont(bold);
    Put(Panel1, Label1, "Label1", 176, 24);
    Label2 = Put(Panel1, new QLabel(tr("Ver. %1").arg(QString::fromUtf8(kVersion.data(), qsizetype(kVersion.size())))), "Label2", 200, 56);
    StaticText1 = Put(Panel1, new QLabel(tr("Physical Memory:")), "StaticText1", 8, 120);
    PhysMem = Put(Panel1, new QLabel(QStringLiteral("PhysMem")), "PhysMem", 24, 136);
    StaticText2 = Put(Panel1, new QLabel(tr("Free memory:")), "StaticText2", 184, 120);
    FreeRes = Put(Panel1, new QLabel(QStringLiteral("FreeRes")), "FreeRes", 208, 136);

    BitBtn1 = new QPushButton(QIcon(CheckMark()), tr("OK"), this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(104, 192, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate();
}

QString TAboutBox::PhysicalMemoryText(uint64_t totalBytes)
{
    const auto kilobytes = static_cast<int64_t>(std::llround(static_cast<double>(totalBytes) / 1024.0));
    return QString::fromUtf8(FormatThousands(kilobytes)) + tr(" KB");
}

QString TAboutBox::PercentText(int percent) { return QString::fromUtf8(Format("%d %%", percent)); }

void TAboutBox::FormCreate()
{
    const MemoryStatus status = ReadMemoryStatus();
    PhysMem->setText(PhysicalMemoryText(status.TotalPhysBytes));
    PhysMem->adjustSize();
    // Under "Free memory:" the share of physical memory that is free, not the share in use.
    FreeRes->setText(PercentText(100 - status.MemoryLoadPercent));
    FreeRes->adjustSize();
}

void TAboutBox::BitBtn1Click() { accept(); }

void TAboutBox::closeEvent(QCloseEvent* event)
{
    // The window manager's close (Alt+F4) is refused: the box has no close button.
    if (event->spontaneous())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

}  // namespace morvik::ui
