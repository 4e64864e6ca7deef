#include "stamping/lossless/EntropyCoding.h"

#include <algorithm>

namespace morvik::lossless {

namespace {

uint64_t LoadBigEndian64(const uint8_t* p)
{
    uint64_t w;
    std::memcpy(&w, p, 8);
    return __builtin_bswap64(w);
}

// True when one of the eight bytes is 0xFF.
bool HasFFByte(uint64_t w)
{
    const uint64_t v = ~w;  // a 0xFF byte becomes a zero byte
    return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0;
}

// The top bit of each byte that is 0xFF, exactly (no borrow from one byte to the next).
uint64_t FFBytes(uint64_t w)
{
    const uint64_t v = ~w;
    const uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    return ~(((v & low7) + low7) | v | low7);
}

bool HasFFByte(uint32_t w)
{
    const uint32_t v = ~w;
    return ((v - 0x01010101u) & ~v & 0x80808080u) != 0;
}

}  // namespace

// ---- Tables -------------------------------------------------------------------------

bool AssignCodes(const HuffmanTable& table, std::array<uint16_t, 256>& code, std::array<uint8_t, 256>& length,
                 std::vector<uint16_t>* codesInOrder)
{
    code.fill(0);
    length.fill(0);
    size_t total = 0;
    for (int len = 1; len <= 16; ++len)
        total += table.Counts[size_t(len)];
    if (total > 256 || table.Symbols.size() < total)
        return false;
    if (codesInOrder)
        codesInOrder->clear();
    uint32_t next = 0;
    size_t i = 0;
    for (int len = 1; len <= 16; ++len) {
        for (int n = 0; n < table.Counts[size_t(len)]; ++n, ++i) {
            if (next >= (1u << len))
                return false;
            const uint8_t symbol = table.Symbols[i];
            if (length[symbol] == 0) {  // a symbol listed twice keeps its first code
                code[symbol] = uint16_t(next);
                length[symbol] = uint8_t(len);
            }
            if (codesInOrder)
                codesInOrder->push_back(uint16_t(next));
            ++next;
        }
        next <<= 1;
    }
    return true;
}

HuffmanTable OptimalTable(const std::array<uint32_t, 256>& counts)
{
    // Annex K.2: merge the two least frequent entries until one is left, counting how
    // often each symbol's branch is lengthened. Entry 256 is a reserved symbol of count
    // 1 that takes the all-ones code, so that no real code is all ones.
    std::array<uint64_t, 257> freq{};
    for (size_t i = 0; i < 256; ++i)
        freq[i] = counts[i];
    freq[256] = 1;
    std::array<int, 257> codeSize{};
    std::array<int, 257> others;
    others.fill(-1);
    for (;;) {
        int v1 = -1, v2 = -1;
        for (int i = 0; i <= 256; ++i)
            if (freq[size_t(i)] != 0 && (v1 < 0 || freq[size_t(i)] <= freq[size_t(v1)]))
                v1 = i;
        for (int i = 0; i <= 256; ++i)
            if (i != v1 && freq[size_t(i)] != 0 && (v2 < 0 || freq[size_t(i)] <= freq[size_t(v2)]))
                v2 = i;
        if (v2 < 0)
            break;
        freq[size_t(v1)] += freq[size_t(v2)];
        freq[size_t(v2)] = 0;
        for (int v = v1;; v = others[size_t(v)]) {
            ++codeSize[size_t(v)];
            if (others[size_t(v)] < 0) {
                others[size_t(v)] = v2;
                break;
            }
        }
        for (int v = v2; v >= 0; v = others[size_t(v)])
            ++codeSize[size_t(v)];
    }
    std::array<int, 258> bits{};  // a code is at most 256 bits long
    for (int size : codeSize)
        if (size > 0)
            ++bits[size_t(size)];
    // Annex K.3: no code longer than 16 bits. A pair at length i moves up one level and
    // takes the place of a code at the longest shorter length that has one.
    for (int i = 257; i > 16; --i) {
        while (bits[size_t(i)] > 0) {
            int j = i - 2;
            while (bits[size_t(j)] == 0)
                --j;
            bits[size_t(i)] -= 2;
            ++bits[size_t(i - 1)];
            bits[size_t(j + 1)] += 2;
            --bits[size_t(j)];
        }
    }
    int longest = 16;
    while (longest > 0 && bits[size_t(longest)] == 0)
        --longest;
    if (longest > 0)
        --bits[size_t(longest)];  // the reserved symbol's code
    HuffmanTable table;
    for (int len = 1; len <= 16; ++len)
        table.Counts[size_t(len)] = uint8_t(bits[size_t(len)]);
    // Annex K.4: symbols by code length, shorter first, and by value within a length.
    for (int len = 1; len <= 257; ++len)
        for (int symbol = 0; symbol < 256; ++symbol)
            if (codeSize[size_t(symbol)] == len)
                table.Symbols.push_back(uint8_t(symbol));
    return table;
}

bool HuffmanDecoder::Build(const HuffmanTable& table, bool dc)
{
    std::array<uint16_t, 256> code;
    std::array<uint8_t, 256> length;
    std::vector<uint16_t> codes;
    if (!AssignCodes(table, code, length, &codes))
        return false;
    Fast.fill(0);
    Skip.assign(size_t(1) << kSkipBits, 0);
    std::vector<uint8_t> codeLength(size_t(1) << kSkipBits, 0);  // of the code the bits begin with
    Symbols.fill(0);
    MaxCode.fill(-1);
    Offset.fill(0);
    size_t i = 0;
    for (int len = 1; len <= 16; ++len) {
        const int count = table.Counts[size_t(len)];
        if (count == 0)
            continue;
        Offset[size_t(len)] = int32_t(i) - int32_t(codes[i]);
        MaxCode[size_t(len)] = int32_t(codes[i + size_t(count) - 1]);
        for (int n = 0; n < count; ++n, ++i) {
            const uint8_t symbol = table.Symbols[i];
            Symbols[i] = symbol;
            if (dc && symbol > 15)
                return false;
            if (len > kSkipBits)
                continue;
            const int run = symbol >> 4, size = symbol & 15;
            const uint32_t bits = uint32_t(len + size);
            const uint32_t steps = size == 0 ? (run == 15 ? 16 : kEndOfBlock) : uint32_t(run + 1);
            const uint32_t skip = dc ? bits | uint32_t(size) << 6 | uint32_t(len) << 14 : bits | steps << 6;
            const uint32_t first = uint32_t(codes[i]) << (kSkipBits - len);
            for (uint32_t k = 0; k < (1u << (kSkipBits - len)); ++k) {
                Skip[first + k] = skip;
                codeLength[first + k] = uint8_t(len);
            }
            if (len > kLookBits)
                continue;
            const uint32_t fast = uint32_t(codes[i]) << (kLookBits - len);
            for (uint32_t k = 0; k < (1u << (kLookBits - len)); ++k)
                Fast[fast + k] = uint16_t((len << 8) | symbol);
        }
    }
    // Runs of up to kSkipCodes codes whose codes all lie in the looked-at bits (the last
    // one's value may lie past them), ended by an end of block.
    if (dc)
        return true;
    const std::vector<uint32_t> single = Skip;
    const uint32_t mask = (1u << kSkipBits) - 1;
    for (uint32_t at = 0; at <= mask; ++at) {
        uint32_t bits = 0, steps = 0, before = 0;
        for (int n = 0; n < kSkipCodes && bits < uint32_t(kSkipBits); ++n) {
            const uint32_t follower = (at << bits) & mask;
            const uint32_t e = single[follower];
            if (e == 0 || bits + codeLength[follower] > uint32_t(kSkipBits))
                break;
            before = steps;
            bits += e & 63;
            steps += (e >> 6) & 255;
            if (((e >> 6) & 255) == uint32_t(kEndOfBlock))
                break;
        }
        Skip[at] = steps == 0 ? 0 : bits | before << 6 | steps << 14;
    }
    return true;
}

int LongCode(uint32_t next16, const HuffmanDecoder& t)
{
    for (int len = HuffmanDecoder::kLookBits + 1; len <= 16; ++len) {
        const int32_t code = int32_t(next16 >> (16 - len));
        if (code <= t.MaxCode[size_t(len)])
            return (len << 8) | t.Symbols[size_t(code + t.Offset[size_t(len)]) & 0xFF];
    }
    throw ECorruptScan("no Huffman code matches the data");
}

bool ReadDhtSegment(std::string_view body, std::array<std::optional<HuffmanTable>, 8>& tables)
{
    size_t p = 0;
    while (p < body.size()) {
        const int tc = uint8_t(body[p]) >> 4, th = uint8_t(body[p]) & 15;
        if (tc > 1 || th > 3 || p + 17 > body.size())
            return false;
        HuffmanTable t;
        size_t total = 0;
        for (int len = 1; len <= 16; ++len) {
            t.Counts[size_t(len)] = uint8_t(body[p + size_t(len)]);
            total += t.Counts[size_t(len)];
        }
        p += 17;
        if (total > 256 || p + total > body.size())
            return false;
        t.Symbols.assign(reinterpret_cast<const uint8_t*>(body.data()) + p,
                         reinterpret_cast<const uint8_t*>(body.data()) + p + total);
        p += total;
        tables[size_t(tc * 4 + th)] = std::move(t);
    }
    return true;
}

std::string DhtSegment(const std::vector<DhtEntry>& tables)
{
    std::string body;
    for (const DhtEntry& t : tables) {
        body += char((t.Class << 4) | t.Slot);
        for (int len = 1; len <= 16; ++len)
            body += char(t.Table->Counts[size_t(len)]);
        body.append(reinterpret_cast<const char*>(t.Table->Symbols.data()), t.Table->Symbols.size());
    }
    const size_t length = body.size() + 2;
    return std::string{'\xFF', '\xC4', char(length >> 8), char(length & 0xFF)} + body;
}

// ---- Reading ------------------------------------------------------------------------

BitReader BitReader::Refilled(BitReader r)
{
    while (r.bits_ <= 56) {
        if (r.atEnd_) {
            r.fed_ += 64 - r.bits_;
            r.bits_ = 64;
            return r;
        }
        if (r.end_ - r.p_ >= 8) {
            const uint64_t w = __builtin_bswap64(Load64(r.data_ + r.p_));
            if (((~w - 0x0101010101010101ull) & w & 0x8080808080808080ull) == 0) {
                const int n = (64 - r.bits_) >> 3;
                r.buf_ |= (w >> (64 - 8 * n)) << (64 - r.bits_ - 8 * n);
                r.p_ += size_t(n);
                r.bits_ += 8 * n;
                return r;
            }
        }
        if (r.p_ >= r.end_) {
            r.atEnd_ = true;
            continue;
        }
        const uint8_t c = r.data_[r.p_];
        if (c == 0xFF) {
            if (r.p_ + 1 < r.end_ && r.data_[r.p_ + 1] == 0) {
                r.p_ += 2;
            } else {
                r.atEnd_ = true;  // a marker
                continue;
            }
        } else {
            ++r.p_;
        }
        r.buf_ |= uint64_t(c) << (56 - r.bits_);
        r.bits_ += 8;
    }
    return r;
}

BitPos BitReader::Here() const
{
    const int real = std::max(bits_ - fed_, 0);
    size_t q = p_;
    for (int n = (real + 7) / 8; n > 0; --n) {
        --q;
        if (data_[q] == 0x00 && q > begin_ && data_[q - 1] == 0xFF)
            --q;  // a stuffed zero: the 0xFF before it is the coded byte
    }
    return {q, (8 - real % 8) % 8};
}

size_t FindMarker(std::string_view data, size_t from)
{
    const auto* d = reinterpret_cast<const uint8_t*>(data.data());
    const size_t n = data.size();
    size_t p = from;
    while (p < n) {
        const void* hit = std::memchr(d + p, 0xFF, n - p);
        if (hit == nullptr)
            return n;
        const size_t q = size_t(static_cast<const uint8_t*>(hit) - d);
        if (q + 1 >= n)
            return n;
        if (d[q + 1] != 0)
            return q;
        p = q + 2;
    }
    return n;
}

// ---- Writing ------------------------------------------------------------------------

void BitWriter::Emit32()
{
    n_ -= 32;
    Emit32Bits(uint32_t(acc_ >> n_));
    if (used_ >= kBufferSize)
        Drain();
}

void BitWriter::Emit32Bits(uint32_t w)
{
    uint8_t* out = buf_.data() + used_;
    if (!HasFFByte(w)) {
        const uint32_t be = __builtin_bswap32(w);
        std::memcpy(out, &be, 4);
        used_ += 4;
    } else {
        for (int shift = 24; shift >= 0; shift -= 8) {
            const uint8_t b = uint8_t(w >> shift);
            buf_[used_++] = b;
            if (b == 0xFF)
                buf_[used_++] = 0;
        }
    }
}

void BitWriter::EmitWord(uint64_t word)
{
    if (!HasFFByte(word)) {
        const uint64_t be = __builtin_bswap64(word);
        std::memcpy(buf_.data() + used_, &be, 8);
        used_ += 8;
    } else {
        Emit32Bits(uint32_t(word >> 32));
        Emit32Bits(uint32_t(word));
    }
    if (used_ >= kBufferSize)
        Drain();
}

void BitWriter::Drain()
{
    while (n_ >= 8) {
        n_ -= 8;
        const uint8_t b = uint8_t(acc_ >> n_);
        buf_[used_++] = b;
        if (b == 0xFF)
            buf_[used_++] = 0;
    }
    out_.append(reinterpret_cast<const char*>(buf_.data()), used_);
    used_ = 0;
}

void BitWriter::Finish()
{
    const int pad = (8 - (n_ & 7)) & 7;
    Put((1u << pad) - 1, pad);
    Drain();
}

void BitWriter::AppendRaw(const uint8_t* bytes, size_t count)
{
    Drain();
    out_.append(reinterpret_cast<const char*>(bytes), count);
}

// ---- Copying ------------------------------------------------------------------------

namespace {

// Copies coded bits from `from` up to `to` (exact) or up to the next marker (toMarker);
// returns where the copy stopped (the marker's offset, or data.size()).
size_t CopyCodedBits(std::string_view data, BitPos from, BitPos to, bool toMarker, BitWriter& out)
{
    const auto* d = reinterpret_cast<const uint8_t*>(data.data());
    const size_t n = data.size();
    size_t p = from.Byte;
    if (!toMarker && p == to.Byte) {
        const int count = to.Bit - from.Bit;
        if (count > 0)
            out.Put((uint32_t(d[p]) >> (8 - to.Bit)) & ((1u << count) - 1), count);
        return p;
    }
    if (from.Bit > 0 && p < n) {
        const uint8_t c = d[p];
        out.Put(c & ((1u << (8 - from.Bit)) - 1), 8 - from.Bit);
        p += c == 0xFF ? 2 : 1;
    }
    const size_t limit = toMarker ? n : std::min(to.Byte, n);
    if (out.Pending() == 0) {
        // Byte-aligned: the coded bytes, stuffing included, stay as they are.
        const size_t stop = toMarker ? FindMarker(data, p) : limit;
        if (stop > p)
            out.AppendRaw(d + p, stop - p);
        p = std::max(p, stop);
    } else {
        while (p < limit) {
            if (limit - p >= 8) {
                const uint64_t w = LoadBigEndian64(d + p);
                const uint64_t ff = FFBytes(w);
                if (ff == 0) {
                    out.Put64(w);
                    p += 8;
                    continue;
                }
                // The bytes before the first 0xFF at once.
                const int lead = __builtin_clzll(ff) / 8;
                if (lead >= 4) {
                    out.Put(uint32_t(w >> 32), 32);
                    if (lead > 4)
                        out.Put(uint32_t(w >> (64 - 8 * lead)) & ((1u << (8 * (lead - 4))) - 1), 8 * (lead - 4));
                } else if (lead > 0) {
                    out.Put(uint32_t(w >> (64 - 8 * lead)), 8 * lead);
                }
                p += size_t(lead);
            }
            const uint8_t c = d[p];
            if (c == 0xFF) {
                if (p + 1 < n && d[p + 1] == 0) {
                    out.Put(0xFF, 8);
                    p += 2;
                    continue;
                }
                if (toMarker)
                    return p;
                throw ECorruptScan("a marker inside the coded data");
            }
            out.Put(c, 8);
            ++p;
        }
    }
    if (!toMarker && to.Bit > 0 && to.Byte < n)
        out.Put(uint32_t(d[to.Byte]) >> (8 - to.Bit), to.Bit);
    return p;
}

}  // namespace

void CopyBits(std::string_view data, BitPos from, BitPos to, BitWriter& out)
{
    CopyCodedBits(data, from, to, false, out);
}

size_t CopyBitsToMarker(std::string_view data, BitPos from, BitWriter& out)
{
    return CopyCodedBits(data, from, {}, true, out);
}

}  // namespace morvik::lossless
