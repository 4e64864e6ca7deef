#include "stamping/lossless/TableFit.h"

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

void FitAcToTable(Coef* block, const HuffmanEncoder& ac)
{
    constexpr int kLargestAcCategory = 10;
    const bool zeroRunCoded = ac.Length[size_t(kZeroRun)] != 0;
    int run = 0;
    for (int k = 1; k < 64; ++k) {
        Coef& v = block[kZigzagToNatural[size_t(k)]];
        if (v == 0) {
            ++run;
            continue;
        }
        int fitted = 0;
        if (run < 16 || zeroRunCoded) {
            for (int size = std::min(Category(v), kLargestAcCategory); size > 0 && fitted == 0; --size)
                if (ac.Length[size_t(((run & 15) << 4) | size)] != 0)
                    fitted = size == Category(v) ? v : (v < 0 ? -1 : 1) * ((1 << size) - 1);
        }
        v = Coef(fitted);
        run = fitted == 0 ? run + 1 : 0;
    }
}

}  // namespace morvik::lossless
