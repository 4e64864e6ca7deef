#include "ui/ScreenFit.h"

#include <QScreen>
#include <algorithm>

namespace morvik::ui {

void FitToAvailableArea(QWidget& window, ScreenFit fit)
{
    const QScreen* screen = window.screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // The frame the window manager draws round the window, once it is known (before the
    // first show the frame is the window itself); pos() is the frame's top-left corner.
    const QSize frameExtra = window.frameGeometry().size() - window.geometry().size();
    QSize room = area.size() - frameExtra;
    if (fit == ScreenFit::KeepsItsTop)
        room.setHeight(std::min(room.height(), area.bottom() + 1 - std::max(window.pos().y(), area.top()) - frameExtra.height()));
    // resize() keeps the window at least as large as its minimum size.
    window.resize(window.size().boundedTo(room));
    const QSize outer = window.size() + frameExtra;
    const int x = std::max(area.left(), std::min(window.pos().x(), area.right() + 1 - outer.width()));
    const int y = std::max(area.top(), std::min(window.pos().y(), area.bottom() + 1 - outer.height()));
    window.move(x, y);
}

}  // namespace morvik::ui
