#include "ui/widgets/SpinEdit.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

namespace morvik::ui {

SpinEdit::SpinEdit(QWidget* parent) : QSpinBox(parent)
{
    connect(this, &QSpinBox::textChanged, this, [this] { updateGeometry(); });
}

QSize SpinEdit::sizeHint() const
{
    ensurePolished();
    // As Qt measures a spin box for its longest value, with a blank and two pixels for
    // the caret, but for the text shown now.
    const int textWidth = fontMetrics().horizontalAdvance(text() + u' ') + 2;
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option,
                                     QSize(textWidth, lineEdit()->sizeHint().height()), this);
}

}  // namespace morvik::ui
