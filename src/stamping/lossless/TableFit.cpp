#include "stamping/lossless/TableFit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace morvik::lossless {

namespace {

// The magnitude category of a value: the number of bits of its magnitude.
int Category(int v)
{
    const unsigned magnitude = unsigned(std::abs(v));
    return magnitude == 0 ? 0 : 32 - __builtin_clz(magnitude);
}

// A baseline scan codes DC differences of up to eleven bits.
constexpr int kLargestDc = 2047;

bool CodableDifference(int diff, const HuffmanEncoder& dc)
{
    return std::abs(diff) <= kLargestDc && dc.Length[size_t(Category(diff))] != 0;
}

}  // namespace

std::optional<int> NearestCodableDc(int wanted, int pred, std::optional<int> next, const HuffmanEncoder& dc)
{
    auto codable = [&](int v) {
        return std::abs(v) <= kLargestDc && CodableDifference(v - pred, dc) &&
               (!next || CodableDifference(*next - v, dc));
    };
    for (int distance = 0; distance <= 2 * kLargestDc; ++distance) {
        if (codable(wanted - distance))
            return wanted - distance;
        if (distance > 0 && codable(wanted + distance))
            return wanted + distance;
    }
    return std::nullopt;
}

double FitAcToTable(Coef* block, const HuffmanEncoder& ac, const std::array<uint16_t, 64>& quant)
{
    constexpr int kLargestAcCategory = 10;
    const bool zeroRunCoded = ac.Length[size_t(kZeroRun)] != 0;
    // Whether a non-zero value of the category after `run` zeros has its codes.
    auto coded = [&](int run, int size) {
        return (run < 16 || zeroRunCoded) && ac.Length[size_t(((run & 15) << 4) | size)] != 0;
    };

    // The block as it is, when the table codes it: the common case, at no cost.
    {
        int run = 0;
        bool codable = true;
        for (int k = 1; k < 64 && codable; ++k) {
            const int v = block[kZigzagToNatural[size_t(k)]];
            if (v == 0) {
                ++run;
                continue;
            }
            codable = Category(v) <= kLargestAcCategory && coded(run, Category(v));
            run = 0;
        }
        if (codable)
            return 0;
    }

    // A dynamic programme over the zigzag positions. The state after a position is the
    // run of zeros since the last non-zero value (0 to 63); cost[r] is the least change of
    // the positions so far that ends in run r, and step[k][r] what position k held on that
    // way and the run before it. Every state is reachable by zeros alone, so a codable
    // sequence always exists (the end-of-block code closes any run).
    constexpr double kNone = 1e300;
    struct Step {
        int16_t Value;
        int8_t From;
    };
    std::array<std::array<Step, 64>, 64> step;
    std::array<double, 64> cost, next;
    cost.fill(kNone);
    cost[0] = 0;
    for (int k = 1; k < 64; ++k) {
        const int natural = kZigzagToNatural[size_t(k)];
        const int wanted = block[natural];
        const double q = quant[size_t(natural)];
        next.fill(kNone);
        const double zero = (q * wanted) * (q * wanted);
        for (int r = 0; r < k; ++r)
            if (cost[r] < kNone) {
                next[size_t(r + 1)] = cost[size_t(r)] + zero;
                step[size_t(k)][size_t(r + 1)] = {0, int8_t(r)};
            }
        // Non-zero values: in each category the one nearest the wanted value, on its side
        // of zero (a wanted zero: +1, the only one worth a run's break).
        const int sign = wanted < 0 ? -1 : 1;
        const int magnitude = std::abs(wanted);
        for (int size = 1; size <= kLargestAcCategory; ++size) {
            if (wanted == 0 && size > 1)
                break;
            const int v = sign * std::clamp(magnitude, 1 << (size - 1), (1 << size) - 1);
            const double change = (q * (v - wanted)) * (q * (v - wanted));
            for (int r = 0; r < k; ++r)
                if (cost[size_t(r)] + change < next[0] && coded(r, size)) {
                    next[0] = cost[size_t(r)] + change;
                    step[size_t(k)][0] = {int16_t(v), int8_t(r)};
                }
        }
        cost = next;
    }
    int r = int(std::min_element(cost.begin(), cost.end()) - cost.begin());
    const double total = cost[size_t(r)];
    for (int k = 63; k >= 1; --k) {
        const Step& s = step[size_t(k)][size_t(r)];
        block[kZigzagToNatural[size_t(k)]] = s.Value;
        r = s.From;
    }
    return total;
}

double FitPsnr(double change, size_t blocks)
{
    return change <= 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 * kBlockSize * double(blocks) / change);
}

}  // namespace morvik::lossless
