#pragma once
// The program's windows, made in start-up order: the main window, the mosaic window
// (hidden) and the About box (hidden, memory figures taken now).
#include "ui/AboutBox.h"
#include "ui/Dialogs.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

#include <memory>

namespace morvik::ui {

struct Windows {
    explicit Windows(IDialogs& dialogs);
    ~Windows();
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TForm2> Form2;
    std::unique_ptr<TAboutBox> AboutBox;
};

}  // namespace morvik::ui
