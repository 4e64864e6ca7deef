#pragma once
// The program's own drawings: the ten 16x16 toolbar icons, the STOP glyph of the
// batch and mosaic stop buttons, and the About box logo.
#include <QIcon>
#include <QPixmap>

namespace morvik::ui {

constexpr int ToolbarIconCount = 10;

// Icon `index` of the toolbar's image list (0..9).
QPixmap ToolbarPixmap(int index);
QIcon ToolbarIcon(int index);

// A red octagonal stop sign bearing STOP in white; a teal copy when `disabled`.
QPixmap StopGlyph(int size, bool disabled);
QIcon StopIcon(int size);

// The logo of the About box, 150 by 80 pixels.
QPixmap Logo();

}  // namespace morvik::ui
