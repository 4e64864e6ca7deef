#pragma once
// MCUs of a baseline scan: which ones, their coefficients, and coding them both ways.
#include "stamping/lossless/EntropyCoding.h"
#include "stamping/lossless/JpegStructure.h"

#include <array>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace morvik::lossless {

// A rectangle of MCUs, columns Col0..Col1 and rows Row0..Row1 (inclusive).
struct McuRect {
    int Col0 = 0, Row0 = 0, Col1 = -1, Row1 = -1;
    bool Empty() const { return Col1 < Col0 || Row1 < Row0; }
    bool Contains(int col, int row) const { return col >= Col0 && col <= Col1 && row >= Row0 && row <= Row1; }
};

// The coefficients of some MCUs by their index in coding order, each MCU's blocks in the
// order the scan codes them.
class McuStore {
public:
    explicit McuStore(size_t blocksPerMcu) : blocks_(blocksPerMcu) {}
    void Reserve(size_t mcus) { pool_.reserve(mcus * blocks_ * kBlockSize); }
    // Room for an MCU's blocks; valid until the next Add.
    Coef* Add(int64_t mcu);
    const Coef* Find(int64_t mcu) const;
    Coef* Find(int64_t mcu) { return const_cast<Coef*>(std::as_const(*this).Find(mcu)); }
    size_t BlocksPerMcu() const { return blocks_; }

private:
    size_t blocks_;
    std::unordered_map<int64_t, size_t> index_;
    std::vector<Coef> pool_;
};

// Decodes MCUs of a scan with the file's Huffman tables.
class McuDecoder {
public:
    explicit McuDecoder(const JpegStructure& s);
    size_t Blocks() const { return componentOf_.size(); }
    int ComponentOf(size_t block) const { return componentOf_[block]; }

    // One MCU: its coefficients into out (Blocks() blocks), or only skipped when out is
    // null; pred holds the components' DC predictions. ECorruptScan when the MCU runs
    // past the data.
    void Decode(BitReader& in, std::array<int, 4>& pred, Coef* out) const
    {
        for (size_t b = 0; b < componentOf_.size(); ++b)
            DecodeBlock(in, *dcOf_[b], *acOf_[b], pred[componentOf_[b]], out ? out + b * kBlockSize : nullptr);
        if (in.Overran())
            throw ECorruptScan("the scan is cut short or corrupt");
    }

    // Passes over `count` MCUs as Decode with a null out does, in one loop that keeps the
    // reader in registers: the walk to a stamp far in the scan is most of its time.
    void Skip(BitReader& in, std::array<int, 4>& pred, int64_t count) const;

private:
    std::array<HuffmanDecoder, 8> tables_;  // DC slots, then AC slots
    std::vector<const HuffmanDecoder*> dcOf_, acOf_;
    std::vector<uint8_t> componentOf_;
};

// Codes the blocks of each component with a DC and an AC table.
class BlockCoder {
public:
    // One (DC, AC) pair of tables per component of the scan.
    explicit BlockCoder(const std::vector<std::pair<const HuffmanTable*, const HuffmanTable*>>& tables);
    // The tables the scan's components name, from tables by slot.
    BlockCoder(const JpegStructure& s, const std::array<HuffmanTable, 4>& dcBySlot,
               const std::array<HuffmanTable, 4>& acBySlot);

    // zeroRuns: sixteen-zero codes before the end-of-block code (CodeBlock).
    void Code(const Coef* block, int component, int& pred, BitWriter& out, int zeroRuns = 0) const
    {
        const HuffmanEncoder& dc = dc_[size_t(component)];
        const HuffmanEncoder& ac = ac_[size_t(component)];
        CodeBlock(block, pred, [&](bool isAc, int symbol, uint32_t bits, int count) {
            const HuffmanEncoder& t = isAc ? ac : dc;
            out.Put(t.Code[size_t(symbol)], t.Length[size_t(symbol)]);
            out.Put(bits, count);
        }, zeroRuns);
    }

    // The bits the block's codes take.
    int64_t Length(const Coef* block, int component, int& pred) const
    {
        int64_t bits = 0;
        const HuffmanEncoder& dc = dc_[size_t(component)];
        const HuffmanEncoder& ac = ac_[size_t(component)];
        CodeBlock(block, pred, [&](bool isAc, int symbol, uint32_t, int count) {
            bits += (isAc ? ac : dc).Length[size_t(symbol)] + count;
        });
        return bits;
    }

    // The codes of the component's tables.
    const HuffmanEncoder& Dc(int component) const { return dc_[size_t(component)]; }
    const HuffmanEncoder& Ac(int component) const { return ac_[size_t(component)]; }

    // The length of the component's sixteen-zero code; 0 when its table has none.
    int ZeroRunLength(int component) const { return ac_[size_t(component)].Length[size_t(kZeroRun)]; }

    // Whether the tables have a code for every symbol of the block.
    bool Covers(const Coef* block, int component, int& pred) const
    {
        bool covered = true;
        const HuffmanEncoder& dc = dc_[size_t(component)];
        const HuffmanEncoder& ac = ac_[size_t(component)];
        CodeBlock(block, pred, [&](bool isAc, int symbol, uint32_t, int) {
            covered = covered && (isAc ? ac : dc).Length[size_t(symbol)] != 0;
        });
        return covered;
    }

private:
    std::vector<HuffmanEncoder> dc_, ac_;
};

}  // namespace morvik::lossless
