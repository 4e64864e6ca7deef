#include "stamping/StampRequest.h"

namespace morvik {

TColor OutlineColorOf(const StampLook& look)
{
    if (look.OutlineColor)
        return *look.OutlineColor;
    const TColor text = look.TextColor;
    const int luma = 299 * ColorRed(text) + 587 * ColorGreen(text) + 114 * ColorBlue(text);
    return luma >= 128 * 1000 ? clBlack : clWhite;
}

bool IsTransparent(const StampLook& look) { return look.BackgroundStyle != TBrushStyle::Solid; }

}  // namespace morvik
