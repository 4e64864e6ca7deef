#include "ui/PictureView.h"

#include <QPainter>

namespace morvik::ui {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {}

void PictureView::SetPicture(const QImage& picture)
{
    picture_ = picture;
    update();
}

void PictureView::SetStretch(bool stretch)
{
    stretch_ = stretch;
    update();
}

void PictureView::paintEvent(QPaintEvent*)
{
    if (picture_.isNull())
        return;
    QPainter p(this);
    if (stretch_) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(rect(), picture_);
    } else {
        p.drawImage(0, 0, picture_);
    }
}

}  // namespace morvik::ui
