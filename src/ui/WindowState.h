#pragma once
// What the main window keeps between its handlers beside the stamp's settings: where its
// dialogs start, the picture's size before the view was stretched, the chosen folder's
// count of pictures and the stop request of a running batch or chart. Plain C++, so the
// engine's records hold none of it and its start values can be checked without a window.
#include <string>

namespace morvik::ui {

struct WindowState {
    std::string StartFolder;     // where the open and folder dialogs start, with its trailing separator
    int PictureWidth = 0;        // the picture's size as the last load or drawing set it
    int PictureHeight = 0;
    bool Stretched = false;      // the view stretched to the window's free area
    int FileCount = 0;           // pictures in the chosen folder, or in the running batch's
    bool StopRequested = false;  // "Стоп" pressed: the running work stops after its current step
};

// The state a window starts with: its dialogs start at the program's own folder.
WindowState InitialWindowState();

}  // namespace morvik::ui
