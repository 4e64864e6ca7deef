#include "ui/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

namespace morvik::ui {
namespace {

QPixmap Blank(int w, int h)
{
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

void DrawStretch(QPainter& p)  // 0: arrows to the four corners
{
    p.setPen(QPen(QColor(20, 60, 140), 1.5));
    p.drawRect(QRectF(4.5, 4.5, 7, 7));
    p.drawLine(QPointF(1, 1), QPointF(4, 4));
    p.drawLine(QPointF(15, 1), QPointF(12, 4));
    p.drawLine(QPointF(1, 15), QPointF(4, 12));
    p.drawLine(QPointF(15, 15), QPointF(12, 12));
}

void DrawGrid(QPainter& p, bool withEye)  // 1 and 2: the mosaic grid
{
    const QColor cells[] = {QColor(220, 60, 60), QColor(60, 160, 60), QColor(60, 90, 210), QColor(230, 190, 40)};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            p.fillRect(1 + i * 3 + (i > 1 ? 1 : 0), 1 + j * 3 + (j > 1 ? 1 : 0), 3, 3, cells[(i + j) % 4]);
    p.setPen(Qt::black);
    for (int k = 0; k <= 4; ++k) {
        int c = 1 + k * 3 + (k > 2 ? 1 : 0);
        p.drawLine(c, 1, c, 14);
        p.drawLine(1, c, 14, c);
    }
    if (withEye) {
        p.setBrush(Qt::white);
        p.setPen(QPen(Qt::black, 1));
        p.drawEllipse(QRectF(7.5, 8.5, 8, 6));
        p.setBrush(Qt::black);
        p.drawEllipse(QRectF(10.5, 10.5, 2, 2));
    }
}

void DrawText(QPainter& p)  // 3: the letter A with a pen stroke
{
    QFont f(QStringLiteral("DejaVu Serif"));
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(128, 128, 255).darker(150));
    p.drawText(QRect(0, 0, 12, 16), Qt::AlignCenter, QStringLiteral("A"));
    p.setPen(QPen(QColor(200, 40, 40), 2));
    p.drawLine(11, 14, 15, 4);
}

void DrawOpen(QPainter& p)  // 4: an opening folder
{
    p.setPen(QColor(120, 90, 20));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(1, 4, 12, 10);
    p.drawRect(1, 2, 5, 2);
    p.setBrush(QColor(255, 225, 120));
    QPolygonF flap({QPointF(3, 7), QPointF(15, 7), QPointF(13, 14), QPointF(1, 14)});
    p.drawPolygon(flap);
}

void DrawAutomatic(QPainter& p)  // 5: a stack of pictures
{
    for (int k = 2; k >= 0; --k) {
        p.setPen(Qt::black);
        p.setBrush(k == 0 ? QColor(120, 180, 240) : QColor(230, 230, 230));
        p.drawRect(1 + k * 2, 5 - k * 2, 9, 9);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 140, 40));
    p.drawPolygon(QPolygonF({QPointF(2, 12), QPointF(5, 8), QPointF(9, 12)}));
}

void DrawSave(QPainter& p)  // 6: a floppy disk
{
    p.setPen(Qt::black);
    p.setBrush(QColor(50, 70, 140));
    p.drawRect(1, 1, 13, 13);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(3, 9, 9, 5);
}

void DrawCalendar(QPainter& p)  // 7: a calendar page
{
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, QColor(200, 40, 40));
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            p.fillRect(3 + i * 4, 7 + j * 2, 2, 1, Qt::darkGray);
}

void DrawClock(QPainter& p)  // 8: a clock face
{
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawEllipse(1, 1, 13, 13);
    p.drawLine(8, 8, 8, 3);
    p.drawLine(8, 8, 11, 9);
}

void DrawFrame(QPainter& p)  // 9: a framed picture
{
    p.setPen(QColor(241, 234, 224));
    p.drawRect(0, 0, 15, 15);
    p.setPen(QColor(188, 187, 192));
    p.drawRect(1, 1, 13, 13);
    p.setPen(QColor(66, 82, 97));
    p.drawRect(2, 2, 11, 11);
    p.fillRect(3, 3, 11, 11, QColor(140, 190, 235));
    p.fillRect(3, 10, 11, 4, QColor(70, 150, 70));
}

}  // namespace

QPixmap ToolbarPixmap(int index)
{
    QPixmap pm = Blank(16, 16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0: DrawStretch(p); break;
    case 1: DrawGrid(p, false); break;
    case 2: DrawGrid(p, true); break;
    case 3: DrawText(p); break;
    case 4: DrawOpen(p); break;
    case 5: DrawAutomatic(p); break;
    case 6: DrawSave(p); break;
    case 7: DrawCalendar(p); break;
    case 8: DrawClock(p); break;
    case 9: DrawFrame(p); break;
    default: break;
    }
    return pm;
}

QIcon ToolbarIcon(int index) { return QIcon(ToolbarPixmap(index)); }

QPixmap StopGlyph(int size, bool disabled)
{
    QPixmap pm = Blank(size, size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const double c = size / 2.0, r = size / 2.0 - 1;
    QPolygonF octagon;
    for (int k = 0; k < 8; ++k) {
        const double a = (22.5 + 45.0 * k) * M_PI / 180.0;
        octagon << QPointF(c + r * std::cos(a), c + r * std::sin(a));
    }
    const QColor fill = disabled ? QColor(0, 128, 128) : QColor(204, 0, 0);
    p.setPen(QPen(Qt::white, std::max(1.0, size / 16.0)));
    p.setBrush(fill);
    p.drawPolygon(octagon);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(std::max(5, size * 9 / 32));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, QStringLiteral("STOP"));
    return pm;
}

QIcon StopIcon(int size)
{
    QIcon icon;
    icon.addPixmap(StopGlyph(size, false), QIcon::Normal);
    icon.addPixmap(StopGlyph(size, true), QIcon::Disabled);
    return icon;
}

QPixmap Logo()
{
    QPixmap pm(150, 80);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 80);
    sky.setColorAt(0, QColor(40, 70, 140));
    sky.setColorAt(1, QColor(230, 150, 80));
    p.fillRect(pm.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 230, 120));
    p.drawEllipse(QPointF(110, 42), 16, 16);
    p.setBrush(QColor(30, 40, 50));
    QPainterPath hills;
    hills.moveTo(0, 80);
    hills.lineTo(0, 55);
    hills.cubicTo(30, 35, 55, 70, 85, 52);
    hills.cubicTo(110, 40, 130, 62, 150, 50);
    hills.lineTo(150, 80);
    p.drawPath(hills);
    // The stamp in the corner, as the program writes it.
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setItalic(true);
    f.setPixelSize(11);
    p.setFont(f);
    p.setBrush(Qt::white);
    p.drawRect(4, 4, 70, 15);
    p.setPen(QColor(128, 128, 255));
    p.drawText(QRect(4, 4, 70, 15), Qt::AlignCenter, QStringLiteral("15.08.2007"));
    p.setPen(QPen(QColor(241, 234, 224)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, 149, 79);
    return pm;
}

}  // namespace morvik::ui
