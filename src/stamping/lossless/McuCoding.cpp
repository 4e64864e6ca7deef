#include "stamping/lossless/McuCoding.h"

namespace morvik::lossless {

Coef* McuStore::Add(int64_t mcu)
{
    const size_t at = pool_.size();
    pool_.resize(at + blocks_ * kBlockSize);
    index_[mcu] = at;
    return pool_.data() + at;
}

const Coef* McuStore::Find(int64_t mcu) const
{
    const auto it = index_.find(mcu);
    return it == index_.end() ? nullptr : pool_.data() + it->second;
}

McuDecoder::McuDecoder(const JpegStructure& s)
{
    std::array<bool, 8> built{};
    auto table = [&](size_t at, const HuffmanTable& table, bool dc) -> const HuffmanDecoder* {
        if (!built[at] && !tables_[at].Build(table, dc))
            throw ECorruptScan("a Huffman table of the file is broken");
        built[at] = true;
        return &tables_[at];
    };
    for (const McuBlock& b : s.McuBlocks) {
        const ScanComponent& c = s.Components[b.Component];
        dcOf_.push_back(table(size_t(c.DcSlot & 3), s.DcTables[size_t(c.DcSlot & 3)], true));
        acOf_.push_back(table(4 + size_t(c.AcSlot & 3), s.AcTables[size_t(c.AcSlot & 3)], false));
        componentOf_.push_back(b.Component);
    }
}

void McuDecoder::Skip(BitReader& reader, std::array<int, 4>& pred, int64_t count) const
{
    BitReader in = reader;
    std::array<int, 4> p = pred;
    const size_t blocks = componentOf_.size();
    for (; count > 0; --count) {
        for (size_t b = 0; b < blocks; ++b)
            SkipBlock(in, *dcOf_[b], *acOf_[b], p[componentOf_[b]]);
        if (in.Overran())
            throw ECorruptScan("the scan is cut short or corrupt");
    }
    reader = in;
    pred = p;
}

BlockCoder::BlockCoder(const std::vector<std::pair<const HuffmanTable*, const HuffmanTable*>>& tables)
{
    for (const auto& [dcTable, acTable] : tables) {
        HuffmanEncoder dc, ac;
        if (!dc.Build(*dcTable) || !ac.Build(*acTable))
            throw ECorruptScan("a Huffman table of the file is broken");
        dc_.push_back(dc);
        ac_.push_back(ac);
    }
}

namespace {

std::vector<std::pair<const HuffmanTable*, const HuffmanTable*>> TablesBySlot(const JpegStructure& s,
                                                                          const std::array<HuffmanTable, 4>& dc,
                                                                          const std::array<HuffmanTable, 4>& ac)
{
    std::vector<std::pair<const HuffmanTable*, const HuffmanTable*>> tables;
    for (const ScanComponent& c : s.Components)
        tables.emplace_back(&dc[size_t(c.DcSlot & 3)], &ac[size_t(c.AcSlot & 3)]);
    return tables;
}

}  // namespace

BlockCoder::BlockCoder(const JpegStructure& s, const std::array<HuffmanTable, 4>& dcBySlot,
                       const std::array<HuffmanTable, 4>& acBySlot)
    : BlockCoder(TablesBySlot(s, dcBySlot, acBySlot))
{
}

}  // namespace morvik::lossless
