#pragma once
// A spin edit whose size hint follows the number it shows rather than its range, so that
// a layout which fits controls to their text shows the whole value (12345, -1500).
#include <QSpinBox>

namespace morvik::ui {

class SpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
};

}  // namespace morvik::ui
