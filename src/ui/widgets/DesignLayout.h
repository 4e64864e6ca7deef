#pragma once
// Places controls at the positions and sizes of the window's design, as a form designer
// does, with one difference: a control that shows a text or a number grows to show it
// whole (never narrower than its design width), like a designer's auto-sizing label, and
// the controls to its right in the same row move over by what it took. The layout's
// minimum width reaches the right edge of its widest row, so a container that follows it
// shows every control whole.
//
// Positions are in the coordinates of the widget the layout is set on, as designed,
// whatever margins the widget keeps (a group box's title, a frame).
#include <QLayout>
#include <QList>
#include <QRect>

namespace morvik::ui {

class DesignLayout : public QLayout {
public:
    enum class Sizing {
        Fixed,    // keeps its design size
        FitText,  // grows to its size hint's width
    };

    explicit DesignLayout(QWidget* parent);
    ~DesignLayout() override;

    void Place(QWidget* control, const QRect& design, Sizing sizing);

    void addItem(QLayoutItem* item) override;  // kept at its design size, at (0, 0)
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;
    Qt::Orientations expandingDirections() const override { return {}; }

private:
    struct Entry {
        QLayoutItem* Item;
        QRect Design;
        Sizing Fit;
    };
    // Where each control lies now, in the order placed.
    QList<QRect> Arrange() const;
    // The extent of all controls plus the design's right margin, less what the widget
    // keeps round its contents (QLayout adds that back).
    QSize Extent() const;

    QList<Entry> entries_;
};

}  // namespace morvik::ui
