#include "stamping/StampDrawing.h"

namespace morvik {

void DrawStamp(Picture& picture, std::string_view text, const StampLook& look)
{
    picture.BrushColor = look.BackgroundColor;
    picture.Font = look.Font;
    picture.FontColor = look.TextColor;
    picture.BrushStyle = look.BackgroundStyle;
    if (text.empty())
        return;
    picture.TextOut(look.X, look.Y, text);
}

}  // namespace morvik
