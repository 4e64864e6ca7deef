#include "ui/widgets/RollUpPanel.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <algorithm>

namespace morvik::ui {

RollUpPanel::RollUpPanel(const QString& caption, int expandedHeight, QWidget* parent)
    : QWidget(parent), caption_(caption), expandedHeight_(expandedHeight)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFixedHeight(expandedHeight_);
    client_ = new QWidget(this);
    client_->setObjectName("Client");
    client_->setGeometry(0, CaptionHeight, width(), expandedHeight_ - CaptionHeight);
    clientLayout_ = new DesignLayout(client_);

    rollButton_ = new QToolButton(this);
    rollButton_->setObjectName("RollButton");
    rollButton_->setAutoRaise(true);
    rollButton_->setFocusPolicy(Qt::NoFocus);
    connect(rollButton_, &QToolButton::clicked, this, [this] { SetRolled(!rolled_); });
    UpdateRollButton();
    // The caption bar takes the focus in the Tab chain, ahead of the panel's controls, and
    // Space or Enter rolls the panel up or out: every control is reached without a mouse.
    setFocusPolicy(Qt::StrongFocus);
}

void RollUpPanel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        SetRolled(!rolled_);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void RollUpPanel::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

void RollUpPanel::focusOutEvent(QFocusEvent* event)
{
    update();
    QWidget::focusOutEvent(event);
}

void RollUpPanel::SetRolled(bool rolled)
{
    if (rolled == rolled_)
        return;
    rolled_ = rolled;
    client_->setVisible(!rolled_);
    setFixedHeight(rolled_ ? CaptionHeight : expandedHeight_);
    UpdateRollButton();
    emit RolledChanged(rolled_);
}

void RollUpPanel::Place(QWidget* control, int left, int top, int width, int height, DesignLayout::Sizing sizing)
{
    clientLayout_->Place(control, QRect(left, top - CaptionHeight, width, height), sizing);
}

QFont RollUpPanel::CaptionFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(14);
    return font;
}

QSize RollUpPanel::minimumSizeHint() const
{
    // The caption starts 6 pixels in and stops at the roll button.
    const int caption = 6 + QFontMetrics(CaptionFont()).horizontalAdvance(caption_) + 2 + CaptionHeight;
    return {std::max(caption, clientLayout_->minimumSize().width()), height()};
}

bool RollUpPanel::event(QEvent* event)
{
    // The controls' needs changed (a text grew): the column the panel sits in fits anew.
    if (event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QWidget::event(event);
}

void RollUpPanel::resizeEvent(QResizeEvent* event)
{
    // The client follows the panel's width; the roll button sits at the bar's right end.
    client_->setGeometry(0, CaptionHeight, width(), expandedHeight_ - CaptionHeight);
    rollButton_->setGeometry(width() - CaptionHeight, 1, CaptionHeight - 2, CaptionHeight - 2);
    QWidget::resizeEvent(event);
}

void RollUpPanel::UpdateRollButton()
{
    rollButton_->setArrowType(rolled_ ? Qt::DownArrow : Qt::UpArrow);
    rollButton_->setToolTip(rolled_ ? tr("Развернуть") : tr("Свернуть"));
}

void RollUpPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    QRect bar(0, 0, width(), CaptionHeight);
    QLinearGradient grad(bar.topLeft(), bar.bottomLeft());
    grad.setColorAt(0, pal.color(QPalette::Highlight).lighter(150));
    grad.setColorAt(1, pal.color(QPalette::Highlight));
    p.fillRect(bar, grad);
    p.setFont(CaptionFont());
    p.setPen(pal.color(QPalette::HighlightedText));
    p.drawText(bar.adjusted(6, 0, -CaptionHeight, 0), Qt::AlignVCenter | Qt::AlignLeft, caption_);
    if (hasFocus()) {
        p.setPen(QPen(pal.color(QPalette::HighlightedText), 1, Qt::DotLine));
        p.drawRect(bar.adjusted(2, 2, -CaptionHeight - 1, -3));
    }
    if (!rolled_) {
        p.setPen(pal.color(QPalette::Mid));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void RollUpPanel::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->position().y() < CaptionHeight)
        SetRolled(!rolled_);
}

}  // namespace morvik::ui
