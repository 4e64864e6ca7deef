#include "ui/widgets/RollUpPanel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace morvik::ui {

RollUpPanel::RollUpPanel(const QString& caption, int expandedHeight, QWidget* parent)
    : QWidget(parent), caption_(caption), expandedHeight_(expandedHeight)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFixedHeight(expandedHeight_);
    client_ = new QWidget(this);
    client_->setObjectName("Client");
    client_->setGeometry(0, CaptionHeight, width(), expandedHeight_ - CaptionHeight);

    rollButton_ = new QToolButton(this);
    rollButton_->setObjectName("RollButton");
    rollButton_->setAutoRaise(true);
    rollButton_->setFocusPolicy(Qt::NoFocus);
    connect(rollButton_, &QToolButton::clicked, this, [this] { SetRolled(!rolled_); });
    UpdateRollButton();
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

void RollUpPanel::Place(QWidget* control, int left, int top, int width, int height)
{
    control->setParent(client_);
    control->setGeometry(left, top - CaptionHeight, width, height);
}

void RollUpPanel::UpdateRollButton()
{
    rollButton_->setArrowType(rolled_ ? Qt::DownArrow : Qt::UpArrow);
    rollButton_->setToolTip(rolled_ ? QStringLiteral("Развернуть") : QStringLiteral("Свернуть"));
}

void RollUpPanel::paintEvent(QPaintEvent*)
{
    // The client follows the panel's width; the roll button sits at the bar's right end.
    client_->setGeometry(0, CaptionHeight, width(), expandedHeight_ - CaptionHeight);
    rollButton_->setGeometry(width() - CaptionHeight, 1, CaptionHeight - 2, CaptionHeight - 2);

    QPainter p(this);
    const QPalette& pal = palette();
    QRect bar(0, 0, width(), CaptionHeight);
    QLinearGradient grad(bar.topLeft(), bar.bottomLeft());
    grad.setColorAt(0, pal.color(QPalette::Highlight).lighter(150));
    grad.setColorAt(1, pal.color(QPalette::Highlight));
    p.fillRect(bar, grad);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(14);
    p.setFont(f);
    p.setPen(pal.color(QPalette::HighlightedText));
    p.drawText(bar.adjusted(6, 0, -CaptionHeight, 0), Qt::AlignVCenter | Qt::AlignLeft, caption_);
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
