#pragma once
// Keeps a top-level window on its screen. A window opens at its design place and size
// where they fit the screen's available area (the screen less its panels and docks);
// otherwise it is brought inside that area, so that no part of it opens off-screen at
// large text settings or on a small screen. What the window's content then lacks room
// for scrolls inside the window. Called before the first show and again when the window
// shows, once the frame the window manager draws round it is known.
#include <QWidget>

namespace morvik::ui {

enum class ScreenFit {
    MovesIn,     // keeps its size where the area allows, and moves in from the right and bottom
    KeepsItsTop, // as MovesIn across; down, keeps its top edge and gives up height (to its minimum) first
};

void FitToAvailableArea(QWidget& window, ScreenFit fit);

}  // namespace morvik::ui
