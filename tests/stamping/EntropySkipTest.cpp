// The skip over coded blocks (table entries of several codes at once) against the block
// decode that reads one code at a time: after every block both stand at the same bit and
// hold the same DC prediction, and the decode gives back the blocks that were coded.
#include "stamping/lossless/JpegStructure.h"  // StandardHuffmanTables
#include "stamping/lossless/McuCoding.h"

#include <gtest/gtest.h>

#include <random>

namespace morvik::lossless {
namespace {

// Blocks of every shape a scan holds: empty, sparse, dense up to the last coefficient,
// with runs of sixteen zeros and more, values from ±1 to ±1023, DC steps up to ±2047.
std::vector<std::array<Coef, 64>> SomeBlocks(std::mt19937& random, int count)
{
    std::vector<std::array<Coef, 64>> blocks(static_cast<size_t>(count));
    int dc = 0;
    for (auto& block : blocks) {
        block.fill(0);
        const int shape = int(random() % 5);
        dc = std::clamp(dc + int(random() % 801) - 400 + (shape == 4 ? int(random() % 3001) - 1500 : 0), -1023, 1023);
        block[0] = Coef(dc);
        const int filled = shape == 0 ? 0 : shape == 1 ? 3 : shape == 2 ? 63 : 12;
        for (int n = 0; n < filled; ++n) {
            const int k = shape == 2 ? n + 1 : 1 + int(random() % 63);
            const int magnitude = 1 + int(random() % (shape == 3 ? 1023 : 7));
            block[kZigzagToNatural[size_t(k)]] = Coef(random() % 2 ? magnitude : -magnitude);
        }
    }
    return blocks;
}

// Tables fitted to the blocks' symbols, with the counts squared so that rare symbols get
// codes up to 16 bits long (longer than the skip's lookup).
std::pair<HuffmanTable, HuffmanTable> FittedTables(const std::vector<std::array<Coef, 64>>& blocks)
{
    std::array<uint32_t, 256> dc{}, ac{};
    int pred = 0;
    for (const auto& block : blocks)
        CodeBlock(block.data(), pred, [&](bool isAc, int symbol, uint32_t, int) { ++(isAc ? ac : dc)[size_t(symbol)]; });
    for (auto& count : ac)
        count *= count;
    return {OptimalTable(dc), OptimalTable(ac)};
}

TEST(EntropySkip, SkippingStopsWhereDecodingDoesAfterEveryBlock)
{
    std::mt19937 random(20);
    const std::vector<std::array<Coef, 64>> blocks = SomeBlocks(random, 3000);
    const auto [fittedDc, fittedAc] = FittedTables(blocks);
    int longCodes = 0;
    for (int len = HuffmanDecoder::kSkipBits + 1; len <= 16; ++len)
        longCodes += fittedAc.Counts[size_t(len)];
    ASSERT_GT(longCodes, 0);
    const StandardTables& standard = StandardHuffmanTables();
    const std::pair<const HuffmanTable*, const HuffmanTable*> tableSets[] = {
        {&standard.Dc[0], &standard.Ac[0]}, {&standard.Dc[1], &standard.Ac[1]}, {&fittedDc, &fittedAc}};
    for (const auto& [dcTable, acTable] : tableSets) {
        const BlockCoder coder(std::vector<std::pair<const HuffmanTable*, const HuffmanTable*>>{{dcTable, acTable}});
        std::string coded;
        {
            BitWriter out(coded);
            int pred = 0;
            for (size_t b = 0; b < blocks.size(); ++b)  // some blocks end with sixteen-zero codes
                coder.Code(blocks[b].data(), 0, pred, out, b % 3 == 0 ? ZeroRunRoom(blocks[b].data()) : 0);
            out.Finish();
        }
        HuffmanDecoder dc, ac;
        ASSERT_TRUE(dc.Build(*dcTable, true));
        ASSERT_TRUE(ac.Build(*acTable, false));
        BitReader decoding(coded, 0, coded.size()), skipping(coded, 0, coded.size());
        int decodingPred = 0, skippingPred = 0;
        std::array<Coef, 64> decoded;
        for (size_t b = 0; b < blocks.size(); ++b) {
            DecodeBlock(decoding, dc, ac, decodingPred, decoded.data());
            DecodeBlock(skipping, dc, ac, skippingPred, nullptr);
            ASSERT_EQ(decoded, blocks[b]) << "block " << b;
            ASSERT_EQ(skipping.Here(), decoding.Here()) << "block " << b;
            ASSERT_EQ(skippingPred, decodingPred) << "block " << b;
        }
        EXPECT_FALSE(skipping.Overran());
    }
}

}  // namespace
}  // namespace morvik::lossless
