#include "stamping/Frame.h"

namespace morvik {

void AddFrame(Picture& picture, int width, int height)
{
    for (int ring = 0; ring < 3; ++ring) {
        picture.PenColor = kFrameRingColors[ring];
        picture.Rectangle(ring, ring, width - ring, height - ring);
    }
}

}  // namespace morvik
