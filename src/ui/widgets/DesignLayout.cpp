#include "ui/widgets/DesignLayout.h"

#include <QWidget>
#include <QWidgetItem>
#include <algorithm>

namespace morvik::ui {
namespace {

// Room kept between a control that grew and the next one in its row, and right of the
// widest row; a smaller gap of the design is kept as designed.
constexpr int kGap = 4;

bool SameRow(const QRect& a, const QRect& b) { return a.top() <= b.bottom() && b.top() <= a.bottom(); }

}  // namespace

DesignLayout::DesignLayout(QWidget* parent) : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

DesignLayout::~DesignLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void DesignLayout::Place(QWidget* control, const QRect& design, Sizing sizing)
{
    addChildWidget(control);
    entries_.append({new QWidgetItem(control), design, sizing});
    invalidate();
}

void DesignLayout::addItem(QLayoutItem* item)
{
    entries_.append({item, QRect(QPoint(0, 0), item->sizeHint()), Sizing::Fixed});
    invalidate();
}

QLayoutItem* DesignLayout::itemAt(int index) const
{
    return index >= 0 && index < entries_.size() ? entries_[index].Item : nullptr;
}

QLayoutItem* DesignLayout::takeAt(int index)
{
    if (index < 0 || index >= entries_.size())
        return nullptr;
    QLayoutItem* item = entries_.takeAt(index).Item;
    invalidate();
    return item;
}

int DesignLayout::count() const { return static_cast<int>(entries_.size()); }

QList<QRect> DesignLayout::Arrange() const
{
    QList<QRect> placed;
    placed.reserve(entries_.size());
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        QRect r = e.Design;
        if (e.Fit == Sizing::FitText && !e.Item->isEmpty())
            r.setWidth(std::max(r.width(), e.Item->sizeHint().width()));
        // Pushed right by what a control before it in the row took beyond its design.
        int left = r.left();
        for (qsizetype j = 0; j < i; ++j) {
            const QRect& before = entries_[j].Design;
            if (entries_[j].Item->isEmpty() || before.left() >= e.Design.left() || !SameRow(before, e.Design))
                continue;
            const int designGap = e.Design.left() - (before.right() + 1);
            left = std::max(left, placed[j].right() + 1 + std::min(designGap, kGap));
        }
        r.moveLeft(left);
        placed.append(r);
    }
    return placed;
}

QSize DesignLayout::Extent() const
{
    QRect all;
    const QList<QRect> placed = Arrange();
    for (qsizetype i = 0; i < placed.size(); ++i)
        if (!entries_[i].Item->isEmpty())
            all |= placed[i];
    QSize size(all.right() + 1 + kGap, all.bottom() + 1);
    if (const QWidget* w = parentWidget()) {
        const QMargins m = w->contentsMargins();
        size -= QSize(m.left() + m.right(), m.top() + m.bottom());
    }
    return size.expandedTo(QSize(0, 0));
}

QSize DesignLayout::sizeHint() const { return Extent(); }

QSize DesignLayout::minimumSize() const { return Extent(); }

void DesignLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const QList<QRect> placed = Arrange();
    for (qsizetype i = 0; i < placed.size(); ++i)
        entries_[i].Item->setGeometry(placed[i]);
}

}  // namespace morvik::ui
