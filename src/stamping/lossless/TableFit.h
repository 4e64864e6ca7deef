#pragma once
// Coefficients the file's own Huffman tables can code. Tables fitted to a photo's data
// (optimised ones) have codes only for the symbols that data used; a stamp's sharp edges
// need others. Rather than coding the whole scan again with new tables, the stamp's new
// blocks are moved to the nearest coefficients the tables can code: their pixels change
// a little, and only inside the stamp's MCUs, which are new pixels anyway.
#include "stamping/lossless/EntropyCoding.h"

#include <array>
#include <cstdint>
#include <optional>

namespace morvik::lossless {

// The DC value nearest `wanted` whose difference to `pred` the table codes and, when the
// next block of the component is kept as it is (`next`), whose difference to that one too.
// None when no value does (a table without codes).
std::optional<int> NearestCodableDc(int wanted, int pred, std::optional<int> next, const HuffmanEncoder& dc);

// Moves the block's AC coefficients to the codable ones nearest to them: of all the
// sequences whose every run and magnitude category (and every run of sixteen zeros) has a
// code in the table, the one whose pixels differ least from the block's, the change of each
// coefficient weighted by its quantizer step (`quant`, natural order). A value may keep its
// place in a smaller or larger category, become zero, or a wanted zero become ±1 where that
// breaks a run no code covers. Returns that change as the sum of squared pixel differences
// (0 for a block the table codes as it is). The table must have an end-of-block code.
double FitAcToTable(Coef* block, const HuffmanEncoder& ac, const std::array<uint16_t, 64>& quant);

// The PSNR of a fitting's change: the squared pixel differences summed over the blocks'
// samples, against the full 8-bit range.
double FitPsnr(double change, size_t blocks);
// Below this the fitted stamp shows its blocks; above it the glyphs read as drawn.
constexpr double kLeastFitPsnr = 30;

}  // namespace morvik::lossless
