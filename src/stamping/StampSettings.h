#pragma once
// The stamp settings: the switches and values that stamping one picture and the folder
// batch read. Owned by the main window (or the command line) for the length of a run.
#include <string>

namespace morvik {

enum class TBrushStyle { Solid, Cross };

struct StampSettings {
    bool DateMode = true;          // stamp the date (true) or the own text (false)
    bool Transparent = false;
    TBrushStyle BackgroundStyle = TBrushStyle::Solid;  // solid exactly when !Transparent
    int DateSource = 1;            // 0 DateTime, 1 DateTimeOriginal, 2 DateTimeDigitized, -1 none
    bool RenameByMask = false;
    bool StopRequested = false;
    int FileCount = 0;
    std::string StartFolder;       // the program's folder with its trailing separator
    int PictureWidth = 0;
    int PictureHeight = 0;
    bool Stretched = false;
};

}  // namespace morvik
