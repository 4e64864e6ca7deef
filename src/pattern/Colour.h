#pragma once
// Colour distance as the eye sees it: sRGB to CIELAB (D65 white) and the CIEDE2000
// difference, which weighs hue and chroma the way people judge thread against photo
// better than a plain distance in RGB or in Lab does.
#include <cstdint>

namespace morvik {

struct Lab {
    float L = 0, A = 0, B = 0;
};

Lab LabFromRgb(uint8_t red, uint8_t green, uint8_t blue);

// The squared Euclidean distance in Lab (ΔE 1976 squared): cheap, for picking candidates.
inline float DeltaE76Squared(const Lab& x, const Lab& y)
{
    const float dl = x.L - y.L, da = x.A - y.A, db = x.B - y.B;
    return dl * dl + da * da + db * db;
}

// CIEDE2000 with kL = kC = kH = 1.
double DeltaE2000(const Lab& x, const Lab& y);

}  // namespace morvik
