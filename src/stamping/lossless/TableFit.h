#pragma once
// Coefficients the file's own Huffman tables can code. Tables fitted to a photo's data
// (optimised ones) have codes only for the symbols that data used; a stamp's sharp edges
// need others. Rather than coding the whole scan again with new tables, the stamp's new
// blocks are moved to the nearest coefficients the tables can code: their pixels change
// a little, and only inside the stamp's MCUs, which are new pixels anyway.
#include "stamping/lossless/EntropyCoding.h"

#include <optional>

namespace morvik::lossless {

// The DC value nearest `wanted` whose difference to `pred` the table codes and, when the
// next block of the component is kept as it is (`next`), whose difference to that one too.
// None when no value does (a table without codes).
std::optional<int> NearestCodableDc(int wanted, int pred, std::optional<int> next, const HuffmanEncoder& dc);

// Moves the block's AC coefficients to ones the table codes: a value whose run and
// magnitude category has no code takes the largest magnitude of the nearest smaller
// category that has one with the same run, or becomes zero when none does (and the run
// goes on into the next value, which is checked again). The table must have an
// end-of-block code.
void FitAcToTable(Coef* block, const HuffmanEncoder& ac);

}  // namespace morvik::lossless
