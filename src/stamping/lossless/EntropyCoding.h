#pragma once
// The entropy-coded data of a baseline JPEG scan: Huffman tables as a DHT segment defines
// them, a table-driven decoder that never reads past its bytes and can tell where each
// MCU starts, an encoder with byte stuffing, and a copier that moves coded bits to a new
// bit position (the stuffing done again).
//
// Blocks are 64 coefficients in natural (row by row) order, as libjpeg keeps them.
#include "platform/Exceptions.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvik::lossless {

// A scan that ends before its last MCU, or holds a code or a value no baseline scan may.
// Its message reads "Corrupt JPEG data: " and what was wrong.
class ECorruptScan : public Exception {
public:
    explicit ECorruptScan(const std::string& what) : Exception("Corrupt JPEG data: " + what), detail_(what) {}
    // What was wrong, without the leading words.
    const std::string& Detail() const { return detail_; }

private:
    std::string detail_;
};

using Coef = int16_t;
constexpr int kBlockSize = 64;

// The n-th coefficient in coding order sits at this index of a block.
constexpr std::array<uint8_t, 64> kZigzagToNatural = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// A Huffman table as a DHT segment gives it: how many codes of each length 1..16, and the
// symbols in the order of their codes.
struct HuffmanTable {
    std::array<uint8_t, 17> Counts{};  // Counts[0] unused
    std::vector<uint8_t> Symbols;
    bool operator==(const HuffmanTable&) const = default;
};

// The canonical codes of a table; false when the counts over-fill a code length (the
// table is no prefix code) or name more than 256 symbols.
bool AssignCodes(const HuffmanTable& table, std::array<uint16_t, 256>& code, std::array<uint8_t, 256>& length,
                 std::vector<uint16_t>* codesInOrder = nullptr);

// The table of shortest codes for these symbol counts (codes at most 16 bits, none all
// ones), as the JPEG standard's Annex K builds it. Symbols never counted get no code.
HuffmanTable OptimalTable(const std::array<uint32_t, 256>& counts);

class HuffmanDecoder {
public:
    static constexpr int kLookBits = 11;
    // False for a table that is no prefix code, or a DC table with a category over 15.
    bool Build(const HuffmanTable& table, bool dc);

    // Code length << 8 | symbol for codes of at most kLookBits bits; 0 for longer ones.
    std::array<uint16_t, 1 << kLookBits> Fast{};
    // For skipping, by the next kSkipBits bits; 0 for a code longer than those. One entry
    // takes at most 27 bits, and its low six bits are the bits to drop, so that they serve
    // as the shift count as they stand.
    // AC: the codes that lie in those bits, at most kSkipCodes and up to an end of block,
    // with their values (the last one's value may lie past them): their bits (bits 0..5),
    // the steps in coding order of all but the last (bits 6..13) and of all (bits 14..21;
    // an end of block counts kEndOfBlock). They are taken together when the steps of all
    // but the last keep the block open; else the first code goes alone.
    // DC: the bits of the code and its value (bits 0..5), the value's size (bits 6..10) and
    // the code's length (bits 14..18).
    static constexpr int kSkipBits = 12;
    static constexpr int kSkipCodes = 4;
    std::vector<uint32_t> Skip;
    static constexpr int kEndOfBlock = 128;
    // Codes longer than kLookBits: the largest code of each length (−1 for none) and the
    // index of that length's first symbol minus its first code.
    std::array<int32_t, 18> MaxCode{};
    std::array<int32_t, 17> Offset{};
    std::array<uint8_t, 256> Symbols{};
};

// Where the next coded bit lies: the byte that holds it (never a stuffed zero) and how
// many of its bits, from the top, come before it.
struct BitPos {
    size_t Byte = 0;
    int Bit = 0;
    bool operator==(const BitPos&) const = default;
};

// Reads the coded bits of data[begin, end), dropping the zero stuffed after each 0xFF and
// stopping at a marker or at end; what lies past them reads as zero bits, and Overran()
// tells when a decode used any of them.
class BitReader {
public:
    BitReader(std::string_view data, size_t begin, size_t end)
        : data_(reinterpret_cast<const uint8_t*>(data.data())), begin_(begin), p_(begin), end_(end)
    {
    }

    // At least 32 bits to look at.
    [[gnu::always_inline]] void Fill()
    {
        if (bits_ >= 32)
            return;
        if (end_ - p_ >= 8) {  // the usual case: whole bytes, none of them 0xFF
            uint64_t w;
            std::memcpy(&w, data_ + p_, 8);
            w = __builtin_bswap64(w);
            const uint64_t v = ~w;
            if (((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) == 0) {
                const int n = (64 - bits_) >> 3;
                buf_ |= (w >> (64 - 8 * n)) << (64 - bits_ - 8 * n);
                p_ += size_t(n);
                bits_ += 8 * n;
                return;
            }
        }
        *this = Refilled(*this);  // by value: the reader's state stays in registers
    }
    // At least 56 bits to look at, without a branch on how many are left in the usual
    // case: eight bytes without 0xFF are laid under the bits held, and as many of them
    // counted as whole bytes fit. The part of a byte that does not fit stays below the
    // counted bits; the next fill lays the same bits there again.
    [[gnu::always_inline]] void FillQuick()
    {
        if (end_ - p_ >= 8 && bits_ < 64) [[likely]] {
            uint64_t w;
            std::memcpy(&w, data_ + p_, 8);
            w = __builtin_bswap64(w);
            const uint64_t v = ~w;
            const uint64_t ff = (v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull;  // 0x80 for each 0xFF
            if (ff == 0) [[likely]] {
                buf_ |= w >> bits_;
                p_ += size_t((63 - bits_) >> 3);
                bits_ |= 56;
                return;
            }
            // The whole bytes before the first 0xFF, when they are enough: the bytes after
            // it (a stuffed zero or a marker) are for Refilled to read.
            const int before = __builtin_clzll(ff) >> 3;
            const int n = std::min(before, (64 - bits_) >> 3);
            if (bits_ + 8 * n >= 56) {
                if (n > 0) {
                    buf_ |= (w >> (64 - 8 * n)) << (64 - bits_ - 8 * n);
                    p_ += size_t(n);
                    bits_ += 8 * n;
                }
                return;
            }
        }
        *this = Refilled(*this);
    }
    uint32_t Peek(int n) const { return uint32_t(buf_ >> (64 - n)); }
    void Drop(int n)
    {
        buf_ <<= n;
        bits_ -= n;
    }
    // n bits (1..16) as a number, after Fill.
    uint32_t Take(int n)
    {
        const uint32_t v = Peek(n);
        Drop(n);
        return v;
    }
    bool Overran() const { return bits_ < fed_; }
    BitPos Here() const;

private:
    [[gnu::noinline]] static BitReader Refilled(BitReader r);
    static uint64_t Load64(const uint8_t* p)
    {
        uint64_t w;
        std::memcpy(&w, p, 8);
        return w;
    }

    const uint8_t* data_;
    size_t begin_, p_, end_;
    uint64_t buf_ = 0;  // the next bits, from the top
    int bits_ = 0;      // bits in buf_, the zero bits fed past the end included
    int fed_ = 0;       // zero bits fed past the end
    bool atEnd_ = false;
};

// Writes coded bits into a string, a zero stuffed after each 0xFF byte.
class BitWriter {
public:
    explicit BitWriter(std::string& out) : out_(out) {}
    ~BitWriter() = default;

    // count (0..32) low bits of value.
    void Put(uint32_t value, int count)
    {
        acc_ = (acc_ << count) | value;
        n_ += count;
        if (n_ >= 32)
            Emit32();
    }
    // 64 bits at once.
    void Put64(uint64_t value)
    {
        const uint64_t head = n_ == 0 ? value : (acc_ << (64 - n_)) | (value >> n_);
        acc_ = value;  // its low n_ bits wait for the next word
        EmitWord(head);
    }
    // Bits still waiting for a whole byte.
    int Pending() const { return n_ & 7; }
    // Fills the last byte with one bits and writes everything out.
    void Finish();
    // Coded bytes whose stuffing is already done, for a writer that stands at a byte
    // boundary (Pending() == 0).
    void AppendRaw(const uint8_t* bytes, size_t count);

private:
    void Emit32();
    void EmitWord(uint64_t word);
    void Emit32Bits(uint32_t word);
    void Drain();  // the whole bytes waiting in acc_ and buf_ into out_

    static constexpr size_t kBufferSize = 65536;
    std::string& out_;
    uint64_t acc_ = 0;
    int n_ = 0;  // bits waiting in acc_, fewer than 32 between calls
    std::vector<uint8_t> buf_ = std::vector<uint8_t>(kBufferSize + 32);  // a word stuffed, then the bytes of acc_
    size_t used_ = 0;
};

// Copies the coded bits of data from `from` up to `to` into the writer.
void CopyBits(std::string_view data, BitPos from, BitPos to, BitWriter& out);
// Copies the coded bits from `from` up to the next marker (or the end of data); returns
// the marker's offset, or data.size() when there was none.
size_t CopyBitsToMarker(std::string_view data, BitPos from, BitWriter& out);
// The offset of the first marker at or after `from` (0xFF not followed by a stuffed zero),
// or data.size().
size_t FindMarker(std::string_view data, size_t from);

// ---- Blocks -----------------------------------------------------------------------------

// The symbol of a code longer than the lookahead, from the next 16 bits: code length << 8
// | symbol. Takes no reader, so that the decoding loop keeps its reader in registers.
int LongCode(uint32_t next16, const HuffmanDecoder& t);

inline int DecodeSymbol(BitReader& in, const HuffmanDecoder& t)
{
    uint16_t e = t.Fast[in.Peek(HuffmanDecoder::kLookBits)];
    if (e == 0) [[unlikely]]
        e = uint16_t(LongCode(in.Peek(16), t));
    in.Drop(e >> 8);
    return e & 0xFF;
}

// The value of `size` extra bits as the JPEG standard extends them to a signed number.
inline int Extend(uint32_t bits, int size)
{
    return bits < (1u << (size - 1)) ? int(bits) - (1 << size) + 1 : int(bits);
}

// One AC entry of a block being skipped (k: its place in coding order), or one code the
// long way. At least 27 bits must be there.
[[gnu::always_inline]] inline void SkipAcStep(BitReader& in, const HuffmanDecoder& ac, int& k)
{
    const uint32_t e = ac.Skip.data()[in.Peek(HuffmanDecoder::kSkipBits)];
    if (e != 0 && k + int((e >> 6) & 255) < 64) [[likely]] {
        in.Drop(int(e & 63));
        k += int(e >> 14);
        return;
    }
    in.Fill();
    const int rs = DecodeSymbol(in, ac);
    const int r = rs >> 4, size = rs & 15;
    if (size != 0) {
        in.Drop(size);
        k += r + 1;
    } else if (r == 15) {
        k += 16;
    } else {
        k += HuffmanDecoder::kEndOfBlock;
    }
    in.FillQuick();
}

// Passes over one block's codes, adding its DC difference to pred. Both the reader and
// pred are the caller's locals, so that a loop over many blocks keeps them in registers.
// A fill leaves at least 56 bits and a table entry takes at most 27, so the reader is
// filled once for every two entries.
[[gnu::always_inline]] inline void SkipBlock(BitReader& in, const HuffmanDecoder& dc, const HuffmanDecoder& ac, int& pred)
{
    const uint32_t* dcSkip = dc.Skip.data();
    in.FillQuick();
    const uint32_t d = dcSkip[in.Peek(HuffmanDecoder::kSkipBits)];
    if (d != 0) [[likely]] {
        // The value's bits are read beside the drop of code and value together.
        const int size = int((d >> 6) & 31), length = int((d >> 14) & 31);
        const uint32_t bits = in.Peek(length + size) & ((1u << size) - 1);
        const uint32_t negative = bits < ((1u << size) >> 1) ? (1u << size) - 1 : 0;  // Extend, size 0 included
        pred = int(unsigned(pred) + bits - negative);  // wraps like an int16 store
        in.Drop(int(d & 63));
    } else {
        const int s = DecodeSymbol(in, dc);
        if (s != 0) {
            in.Fill();
            pred = int(unsigned(pred) + unsigned(Extend(in.Take(s), s)));
        }
        in.FillQuick();
    }
    int k = 1;
    while (k < 64) {
        SkipAcStep(in, ac, k);
        if (k >= 64)
            break;
        in.FillQuick();
        SkipAcStep(in, ac, k);
    }
    if (k > 64 && k < HuffmanDecoder::kEndOfBlock)
        throw ECorruptScan("a run of zeros passes the end of a block");
}

// Decodes one block: the DC difference is added to pred; the coefficients go to block
// (natural order, zeroed first) or, when block is null, the AC codes are only skipped.
inline void DecodeBlock(BitReader& reader, const HuffmanDecoder& dc, const HuffmanDecoder& ac, int& pred, Coef* block)
{
    BitReader in = reader;  // a local copy the compiler keeps in registers
    if (block == nullptr) {
        SkipBlock(in, dc, ac, pred);
        reader = in;
        return;
    }
    in.Fill();
    const int s = DecodeSymbol(in, dc);
    if (s != 0) {
        in.Fill();
        pred = int(unsigned(pred) + unsigned(Extend(in.Take(s), s)));  // wraps like an int16 store
    }
    std::memset(block, 0, sizeof(Coef) * kBlockSize);
    block[0] = Coef(pred);
    int k = 1;
    while (k < 64) {
        in.Fill();
        const int rs = DecodeSymbol(in, ac);
        const int r = rs >> 4, size = rs & 15;
        if (size != 0) {
            k += r;
            if (k > 63)
                throw ECorruptScan("a run of zeros passes the end of a block");
            in.Fill();
            block[kZigzagToNatural[size_t(k)]] = Coef(Extend(in.Take(size), size));
            ++k;
        } else if (r == 15) {
            k += 16;
        } else {
            break;
        }
    }
    if (k > 64)
        throw ECorruptScan("a run of zeros passes the end of a block");
    reader = in;
}

constexpr int kZeroRun = 0xF0;  // the AC symbol for sixteen zeros (ZRL)

// How many sixteen-zero codes may stand before the block's end-of-block code and leave its
// coefficients as they are: each stands for 16 of its trailing zeros, and the end-of-block
// code must still follow them. A decoder reads the block the same either way, so they make
// the block's code longer by whole codes without changing it.
inline int ZeroRunRoom(const Coef* block)
{
    int last = 0;  // in coding order
    for (int k = 63; k > 0 && last == 0; --k)
        if (block[kZigzagToNatural[size_t(k)]] != 0)
            last = k;
    return last == 63 ? 0 : (62 - last) / 16;
}

// The coded symbols of one block, handed to put(isAc, symbol, extraBits, extraCount);
// pred is the previous block's DC and becomes this one's. Values a baseline scan cannot
// code (a DC difference over 11 bits, an AC value over 10) raise ECorruptScan. `zeroRuns`
// (at most ZeroRunRoom) sixteen-zero codes go before the end-of-block code.
template <class Put>
inline void CodeBlock(const Coef* block, int& pred, Put&& put, int zeroRuns = 0)
{
    const int64_t diff = int64_t(block[0]) - pred;
    pred = block[0];
    {
        const uint64_t magnitude = uint64_t(diff < 0 ? -diff : diff);
        if (magnitude >= 2048)
            throw ECorruptScan("a DC difference too large for a baseline scan");
        const int size = magnitude == 0 ? 0 : 32 - __builtin_clz(unsigned(magnitude));
        put(false, size, uint32_t(diff < 0 ? diff - 1 : diff) & ((1u << size) - 1), size);
    }
    int run = 0;
    for (int k = 1; k < 64; ++k) {
        const int v = block[kZigzagToNatural[size_t(k)]];
        if (v == 0) {
            ++run;
            continue;
        }
        for (; run > 15; run -= 16)
            put(true, kZeroRun, 0u, 0);
        const unsigned magnitude = unsigned(v < 0 ? -v : v);
        const int size = 32 - __builtin_clz(magnitude);
        if (size > 10)
            throw ECorruptScan("an AC coefficient too large for a baseline scan");
        put(true, (run << 4) | size, uint32_t(v < 0 ? v - 1 : v) & ((1u << size) - 1), size);
        run = 0;
    }
    if (run > 0) {
        for (int i = 0; i < zeroRuns; ++i)
            put(true, kZeroRun, 0u, 0);
        put(true, 0x00, 0u, 0);
    }
}

// The codes of one table for writing; Length 0 marks a symbol the table has no code for.
struct HuffmanEncoder {
    std::array<uint16_t, 256> Code{};
    std::array<uint8_t, 256> Length{};
    bool Build(const HuffmanTable& table) { return AssignCodes(table, Code, Length); }
};

// The DHT segment (marker included) that defines the given tables: class 0 for DC, 1 for
// AC, and the table's slot.
struct DhtEntry {
    int Class = 0;
    int Slot = 0;
    const HuffmanTable* Table = nullptr;
};
std::string DhtSegment(const std::vector<DhtEntry>& tables);
// The tables a DHT segment's body defines, into `tables` by class * 4 + slot (DC slots,
// then AC slots); false for a body that is cut short or names a class or slot no file may.
bool ReadDhtSegment(std::string_view body, std::array<std::optional<HuffmanTable>, 8>& tables);

}  // namespace morvik::lossless
