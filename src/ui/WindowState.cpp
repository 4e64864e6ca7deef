#include "ui/WindowState.h"

#include "platform/FileSystem.h"  // ExecutableFolder

namespace morvik::ui {

WindowState InitialWindowState()
{
    WindowState state;
    state.StartFolder = ExecutableFolder();
    return state;
}

}  // namespace morvik::ui
