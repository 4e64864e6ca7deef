#include "ui/widgets/BarGauge.h"

#include <QPainter>

#include <algorithm>
#include <cstdint>

namespace morvik::ui {

BarGauge::BarGauge(QWidget* parent) : QWidget(parent) {}

void BarGauge::SetMinValue(int value) { min_ = value; update(); }
void BarGauge::SetMaxValue(int value) { max_ = value; update(); }
void BarGauge::SetProgress(int value) { progress_ = value; update(); }

int BarGauge::PercentDone() const
{
    if (max_ == min_)
        return 0;
    return static_cast<int>((static_cast<int64_t>(progress_) - min_) * 100 / (static_cast<int64_t>(max_) - min_));
}

QString BarGauge::Text() const { return QString::asprintf("%d%%", PercentDone()); }

void BarGauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QRect inner = rect().adjusted(1, 1, -1, -1);
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.fillRect(inner, Qt::white);
    const int percent = std::clamp(PercentDone(), 0, 100);
    QRect done = inner;
    done.setWidth(inner.width() * percent / 100);
    p.fillRect(done, Qt::black);

    const QString text = Text();
    p.save();
    p.setClipRect(done);
    p.setPen(Qt::white);
    p.drawText(inner, Qt::AlignCenter, text);
    p.restore();
    QRegion rest = QRegion(inner).subtracted(QRegion(done));
    p.setClipRegion(rest);
    p.setPen(Qt::black);
    p.drawText(inner, Qt::AlignCenter, text);
}

}  // namespace morvik::ui
