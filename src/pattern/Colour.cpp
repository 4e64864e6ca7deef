#include "pattern/Colour.h"

#include <array>
#include <cmath>
#include <numbers>

namespace morvik {
namespace {

// sRGB channel to linear light, looked up: every pixel of a picture goes through it.
const std::array<float, 256>& LinearTable()
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            t[i] = float(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return t;
    }();
    return table;
}

double LabF(double t)
{
    constexpr double delta = 6.0 / 29.0;
    return t > delta * delta * delta ? std::cbrt(t) : t / (3 * delta * delta) + 4.0 / 29.0;
}

}  // namespace

Lab LabFromRgb(uint8_t red, uint8_t green, uint8_t blue)
{
    const auto& lin = LinearTable();
    const double r = lin[red], g = lin[green], b = lin[blue];
    const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
    const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
    const double fx = LabF(x), fy = LabF(y), fz = LabF(z);
    return {float(116 * fy - 16), float(500 * (fx - fy)), float(200 * (fy - fz))};
}

double DeltaE2000(const Lab& p, const Lab& q)
{
    constexpr double pi = std::numbers::pi;
    const double c1 = std::hypot(p.A, p.B), c2 = std::hypot(q.A, q.B);
    const double cMean = (c1 + c2) / 2;
    const double c7 = std::pow(cMean, 7);
    const double g = 0.5 * (1 - std::sqrt(c7 / (c7 + 6103515625.0)));  // 25^7
    const double a1 = (1 + g) * p.A, a2 = (1 + g) * q.A;
    const double cp1 = std::hypot(a1, double(p.B)), cp2 = std::hypot(a2, double(q.B));
    auto hue = [&](double b, double a) {
        if (a == 0 && b == 0)
            return 0.0;
        const double h = std::atan2(b, a);
        return h < 0 ? h + 2 * pi : h;
    };
    const double h1 = hue(p.B, a1), h2 = hue(q.B, a2);
    const double dL = q.L - p.L;
    const double dC = cp2 - cp1;
    double dh = 0;
    if (cp1 * cp2 != 0) {
        dh = h2 - h1;
        if (dh > pi)
            dh -= 2 * pi;
        else if (dh < -pi)
            dh += 2 * pi;
    }
    const double dH = 2 * std::sqrt(cp1 * cp2) * std::sin(dh / 2);
    const double lMean = (p.L + q.L) / 2;
    const double cpMean = (cp1 + cp2) / 2;
    double hMean = h1 + h2;
    if (cp1 * cp2 != 0) {
        if (std::abs(h1 - h2) <= pi)
            hMean /= 2;
        else
            hMean = hMean < 2 * pi ? (hMean + 2 * pi) / 2 : (hMean - 2 * pi) / 2;
    }
    const double t = 1 - 0.17 * std::cos(hMean - pi / 6) + 0.24 * std::cos(2 * hMean) +
                     0.32 * std::cos(3 * hMean + pi / 30) - 0.20 * std::cos(4 * hMean - 63 * pi / 180);
    const double dTheta = (30 * pi / 180) * std::exp(-std::pow((hMean * 180 / pi - 275) / 25, 2));
    const double cp7 = std::pow(cpMean, 7);
    const double rc = 2 * std::sqrt(cp7 / (cp7 + 6103515625.0));
    const double l50 = (lMean - 50) * (lMean - 50);
    const double sl = 1 + 0.015 * l50 / std::sqrt(20 + l50);
    const double sc = 1 + 0.045 * cpMean;
    const double sh = 1 + 0.015 * cpMean * t;
    const double rt = -std::sin(2 * dTheta) * rc;
    const double tl = dL / sl, tc = dC / sc, th = dH / sh;
    return std::sqrt(tl * tl + tc * tc + th * th + rt * tc * th);
}

}  // namespace morvik
