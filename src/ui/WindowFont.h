#pragma once
// The windows' font: "MS Sans Serif" at its pixel height (8 point is 11 pixels at 96
// pixels per inch), falling back to the desktop's sans serif where it is missing.
#include <QFont>

namespace morvik::ui {

inline QFont WindowFont(int pixelHeight = 11)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelHeight);
    return font;
}

}  // namespace morvik::ui
