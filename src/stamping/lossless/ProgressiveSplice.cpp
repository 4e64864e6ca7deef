#include "stamping/lossless/ProgressiveSplice.h"

#include "platform/FileSystem.h"  // ReserveForReuse
#include "stamping/Libjpeg.h"          // kMaxJpegScans
#include "stamping/lossless/LosslessStamp.h"  // LosslessRoom
#include "stamping/lossless/MultiPictureIndex.h"
#include "stamping/lossless/TableFit.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <vector>

namespace morvik::lossless {

namespace {

constexpr int kLongestEobRun = 32767;

// Raised inside when the file is left to libjpeg: damage, a scan script or a table this
// splice does not take.
struct Declined {};

[[noreturn]] void Decline() { throw Declined{}; }

int BitLength(unsigned v) { return v == 0 ? 0 : 32 - __builtin_clz(v); }

constexpr uint64_t kOnes8 = 0x0101010101010101ull;

// The set bits of each byte, in that byte (a machine without a count instruction is as
// quick this way).
uint64_t ByteCounts(uint64_t x)
{
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    return (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
}

int CountBits(uint64_t x) { return int((ByteCounts(x) * kOnes8) >> 56); }

// The place of the set bit of x with n set bits below it (there must be one).
int NthSetBit(uint64_t x, int n)
{
    const uint64_t upTo = ByteCounts(x) * kOnes8;  // byte i: the set bits of bytes 0..i
    const uint64_t reached = ((upTo | (0x80 * kOnes8)) - uint64_t(n + 1) * kOnes8) & (0x80 * kOnes8);
    const int byte = __builtin_ctzll(reached) >> 3;
    int left = n - int(((upTo << 8) >> (8 * byte)) & 0xFF);
    uint64_t bits = (x >> (8 * byte)) & 0xFF;
    for (; left > 0; --left)
        bits &= bits - 1;
    return 8 * byte + __builtin_ctzll(bits);
}

// One scan as the file holds it, and what the walk over it found.
struct Scan {
    std::vector<JpegSegment> Before;  // the segments from the last scan's data to this one's SOS, included
    std::vector<int> Comps;           // frame indexes of its components, in its order
    int Ss = 0, Se = 0, Ah = 0, Al = 0;
    std::vector<HuffmanTable> Tables;  // one a component: DC for a DC scan, else AC
    size_t DataBegin = 0, DataEnd = 0;  // the coded data; DataEnd is the marker after it

    bool Dc() const { return Ss == 0; }
    bool Interleaved() const { return Comps.size() > 1; }

    int64_t Units = 0;        // MCUs of an interleaved scan, else the component's blocks
    int64_t RegionUnits = 0;  // those that hold the kept coefficients' blocks
    int64_t JoinUnit = 0;     // coded anew before it, copied from it on
    BitPos JoinPos;           // where the source codes the join unit
    int64_t JoinEobRun = 0;   // blocks from the join unit on that an end-of-band run before it covers
    std::optional<BitPos> End;  // where the source's coded data ends, its padding left out, once walked to it
};

// A component's blocks: those a scan of it alone codes, and the padded grid of the MCUs.
struct Plane {
    int H = 1, V = 1;  // blocks of an MCU
    int Wide = 0, High = 0;              // coded by a scan of the component alone
    int PaddedWide = 0, PaddedHigh = 0;  // in whole MCUs
    int RegionRows = 0;                  // block rows whose coefficients are kept
    std::vector<Coef> Values;            // those rows' coefficients, natural order
    // Every block's non-zero coefficients, bit k in coding order: kept for a walk over every
    // scan to its end, which the refining scans need.
    std::vector<uint64_t> NonZero;

    Coef* Block(int row, int col) { return row < RegionRows ? &Values[(size_t(row) * PaddedWide + col) * kBlockSize] : nullptr; }
    uint64_t* Mask(int row, int col) { return NonZero.empty() ? nullptr : &NonZero[size_t(row) * PaddedWide + col]; }
};

class ProgressiveSplice {
public:
    ProgressiveSplice(std::string_view jpeg, const JpegStructure& s) : jpeg_(jpeg), s_(s) {}

    void ReadScans();
    // `wholeScans`: every scan is walked to its end and its rest copied bit by bit; else
    // only the first DC scan is, and each other scan is walked over the kept rows and its
    // rest copied byte for byte, the codes before it laid out to end where the source's do.
    void LayOut(const McuRect& touched, bool wholeScans);
    void Walk();
    // Draws the stamp into the MCUs of `touched`; true when its blocks were moved to what
    // the scans' tables code.
    bool Restamp(const McuRect& touched, const McuRect& margin, const RegionPainter& paint);
    void Write(bool keepMetadata, std::string& out);
    // Whether a coefficient of the stamp was moved to lay a scan's codes out.
    bool Aligned() const { return aligned_; }
    // The PSNR of the stamp's blocks as coded against them as drawn (infinite when equal).
    double StampPsnr() const;

private:
    // The blocks of a unit of the scan, handed to visit(place of the component in the
    // scan, component, block row, block column).
    template <class Visit>
    void ForEachBlock(const Scan& scan, int64_t unit, Visit&& visit) const
    {
        if (!scan.Interleaved()) {
            const Plane& p = planes_[size_t(scan.Comps[0])];
            visit(size_t(0), scan.Comps[0], int(unit / p.Wide), int(unit % p.Wide));
            return;
        }
        const int mcuRow = int(unit / s_.McusWide), mcuCol = int(unit % s_.McusWide);
        for (size_t i = 0; i < scan.Comps.size(); ++i) {
            const Plane& p = planes_[size_t(scan.Comps[i])];
            for (int dy = 0; dy < p.V; ++dy)
                for (int dx = 0; dx < p.H; ++dx)
                    visit(i, scan.Comps[i], mcuRow * p.V + dy, mcuCol * p.H + dx);
        }
    }
    bool Touched(int c, int row, int col) const
    {
        const Plane& p = planes_[size_t(c)];
        return touched_.Contains(col / p.H, row / p.V);
    }

    template <bool kValues>
    void ReadBlock(const Scan& scan, size_t slot, BitReader& in, int c, int row, int col);
    void WalkScan(Scan& scan, int64_t units, bool keep);
    void FitAc(Coef* block, int c, bool coded, bool& fitted) const;
    bool FitDc();
    void CodePrefix(const Scan& scan, class ScanWriter& writer);
    std::optional<std::vector<uint8_t>> AlignedWays(size_t si);
    std::optional<std::vector<uint8_t>> AlignByStamp(size_t si);
    void WriteScan(size_t si, BitWriter& w);

    std::string_view jpeg_;
    const JpegStructure& s_;
    std::vector<Scan> scans_;
    std::vector<std::vector<HuffmanEncoder>> encoders_;  // each scan's tables, as Scan::Tables
    std::vector<JpegSegment> trailer_;  // the segments after the last scan's data
    size_t pictureEnd_ = 0;             // after the EOI
    std::vector<Plane> planes_;
    McuRect touched_;
    bool wholeScans_ = false;
    bool aligned_ = false;
    std::optional<McuStore> fresh_;  // the stamp's MCUs as drawn

    // The walk's state within a scan.
    std::vector<HuffmanDecoder> decoders_;
    std::array<int, 4> pred_{};
    int64_t eobRun_ = 0;
};

void ProgressiveSplice::ReadScans()
{
    std::array<std::optional<HuffmanTable>, 8> tables;  // DC slots, then AC slots
    std::vector<JpegSegment> pending;
    // Which bits of each coefficient the scans so far gave: the bit the next refining scan
    // must bring (-1: none yet).
    std::vector<std::array<int, 64>> given(s_.Components.size());
    for (auto& g : given)
        g.fill(-1);
    const auto* d = reinterpret_cast<const uint8_t*>(jpeg_.data());
    size_t at = 2;
    bool frameSeen = false;
    for (;;) {
        const std::optional<JpegSegment> seg = JpegSegmentAt(jpeg_, at);
        if (!seg) {
            // The end of the picture: fill bytes and EOI.
            size_t p = at;
            while (p < jpeg_.size() && d[p] == 0xFF)
                ++p;
            if (scans_.empty() || p == at || p >= jpeg_.size() || d[p] != jpeg_marker::Eoi)
                Decline();
            pictureEnd_ = p + 1;
            trailer_ = std::move(pending);
            return;
        }
        const uint8_t m = seg->Marker;
        const std::string_view body = jpeg_.substr(seg->Body, seg->End() - seg->Body);
        pending.push_back(*seg);
        at = seg->End();
        if (m == 0 || jpeg_marker::StandsAlone(m))
            Decline();  // stray bytes or a restart marker between segments
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != jpeg_marker::Dac) {
            if (m != 0xC2 || frameSeen)
                Decline();
            frameSeen = true;
        } else if (m == 0xC4) {
            if (!ReadDhtSegment(body, tables))
                Decline();
        } else if (m == 0xDB) {
            if (!scans_.empty())
                Decline();  // tables changed between scans: the frame's may not be the ones read
        } else if (m == 0xDD) {
            if (body.size() < 2 || (uint8_t(body[0]) | uint8_t(body[1])) != 0)
                Decline();  // restart markers
        } else if (m == jpeg_marker::Sos) {
            if (!frameSeen || body.empty())
                Decline();
            Scan scan;
            const size_t n = uint8_t(body[0]);
            if (n < 1 || n > 4 || body.size() != 4 + 2 * n)
                Decline();
            scan.Ss = uint8_t(body[1 + 2 * n]);
            scan.Se = uint8_t(body[2 + 2 * n]);
            scan.Ah = uint8_t(body[3 + 2 * n]) >> 4;
            scan.Al = uint8_t(body[3 + 2 * n]) & 15;
            if (scan.Ss > scan.Se || scan.Se > 63 || (scan.Ss == 0) != (scan.Se == 0) || (n > 1 && scan.Ss != 0) ||
                scan.Al > 13 || (scan.Ah != 0 && scan.Ah != scan.Al + 1))
                Decline();
            for (size_t i = 0; i < n; ++i) {
                const int id = uint8_t(body[1 + 2 * i]), slots = uint8_t(body[2 + 2 * i]);
                int c = -1;
                for (size_t k = 0; k < s_.Components.size(); ++k)
                    if (s_.Components[k].Id == id)
                        c = int(k);
                if (c < 0 || std::find(scan.Comps.begin(), scan.Comps.end(), c) != scan.Comps.end())
                    Decline();
                scan.Comps.push_back(c);
                // Every bit the scan brings follows the bits given before it.
                auto& g = given[size_t(c)];
                if (scan.Ss > 0 && g[0] < 0)
                    Decline();  // AC before the DC
                for (int k = scan.Ss; k <= scan.Se; ++k) {
                    if (scan.Ah == 0 ? g[size_t(k)] != -1 : g[size_t(k)] != scan.Ah)
                        Decline();
                    g[size_t(k)] = scan.Al;
                }
                if (scan.Ah == 0 || !scan.Dc()) {
                    const int slot = scan.Dc() ? slots >> 4 : slots & 15;
                    if (slot > 3 || !tables[size_t(scan.Dc() ? slot : 4 + slot)])
                        Decline();
                    scan.Tables.push_back(*tables[size_t(scan.Dc() ? slot : 4 + slot)]);
                }
            }
            scan.Before = std::move(pending);
            pending.clear();
            scan.DataBegin = seg->End();
            scan.DataEnd = FindMarker(jpeg_, scan.DataBegin);
            if (scan.DataEnd + 1 >= jpeg_.size())
                Decline();  // cut short
            at = scan.DataEnd;
            scans_.push_back(std::move(scan));
            if (scans_.size() > size_t(kMaxJpegScans))
                Decline();  // libjpeg refuses it as a decode does
        } else if (!(m >= 0xE0 && m <= 0xEF) && m != jpeg_marker::Com) {
            Decline();  // DNL, arithmetic conditioning, …
        }
    }
}

void ProgressiveSplice::LayOut(const McuRect& touched, bool wholeScans)
{
    wholeScans_ = wholeScans;
    touched_ = touched;
    int hMax = 1, vMax = 1;
    for (const ScanComponent& c : s_.Components) {
        hMax = std::max(hMax, c.H);
        vMax = std::max(vMax, c.V);
    }
    // Block rows whose coefficients are kept: down to the MCU row after the stamp's, for
    // the pixels around the stamp and the MCU coded anew after it.
    const int mcuRows = touched.Empty() ? 0 : std::min(s_.McusHigh, touched.Row1 + 2);
    for (size_t i = 0; i < s_.Components.size(); ++i) {
        const ScanComponent& c = s_.Components[i];
        Plane p;
        p.H = s_.Grey() ? 1 : c.H;
        p.V = s_.Grey() ? 1 : c.V;
        const int64_t width = (int64_t(s_.Width) * c.H + hMax - 1) / hMax;
        const int64_t height = (int64_t(s_.Height) * c.V + vMax - 1) / vMax;
        p.Wide = int((width + 7) / 8);
        p.High = int((height + 7) / 8);
        p.PaddedWide = s_.McusWide * p.H;
        p.PaddedHigh = s_.McusHigh * p.V;
        if (s_.Grey()) {
            p.PaddedWide = p.Wide;
            p.PaddedHigh = p.High;
        }
        p.RegionRows = std::min(p.PaddedHigh, mcuRows * p.V);
        p.Values.assign(size_t(p.RegionRows) * p.PaddedWide * kBlockSize, 0);
        if (wholeScans)
            p.NonZero.assign(size_t(p.PaddedHigh) * p.PaddedWide, 0);
        planes_.push_back(std::move(p));
    }
    for (Scan& scan : scans_) {
        if (scan.Interleaved()) {
            scan.Units = s_.McuCount();
            scan.JoinUnit = touched.Empty() ? 0 : std::min(scan.Units, int64_t(touched.Row1) * s_.McusWide + touched.Col1 + 2);
            scan.RegionUnits = int64_t(mcuRows) * s_.McusWide;
        } else {
            const Plane& p = planes_[size_t(scan.Comps[0])];
            scan.Units = int64_t(p.Wide) * p.High;
            const int lastRow = std::min(p.High - 1, (touched.Row1 + 1) * p.V - 1);
            const int lastCol = std::min(p.Wide - 1, (touched.Col1 + 1) * p.H - 1);
            scan.JoinUnit = touched.Empty() ? 0 : std::min(scan.Units, int64_t(lastRow) * p.Wide + lastCol + 2);
            scan.RegionUnits = int64_t(std::min(p.High, p.RegionRows)) * p.Wide;
        }
    }
}

// Reads one block of the scan: with kValues into its coefficients (as libjpeg does), else
// only into the record of its non-zero coefficients.
template <bool kValues>
void ProgressiveSplice::ReadBlock(const Scan& scan, size_t slot, BitReader& in, int c, int row, int col)
{
    Plane& plane = planes_[size_t(c)];
    Coef* block = kValues ? plane.Block(row, col) : nullptr;
    uint64_t unrecorded = 0;
    uint64_t& mask = kValues || plane.NonZero.empty() ? unrecorded : *plane.Mask(row, col);
    in.Fill();
    if (scan.Dc()) {
        if (scan.Ah == 0) {
            const int size = DecodeSymbol(in, decoders_[slot]);
            if (size > 15)
                Decline();
            if (size != 0) {
                in.Fill();
                pred_[size_t(c)] = int(unsigned(pred_[size_t(c)]) + unsigned(Extend(in.Take(size), size)));
            }
            if constexpr (kValues)
                block[0] = Coef(unsigned(pred_[size_t(c)]) << scan.Al);
        } else if (in.Take(1) != 0) {
            if constexpr (kValues)
                block[0] = Coef(block[0] | (1 << scan.Al));
        }
        return;
    }
    const HuffmanDecoder& ac = decoders_[slot];
    if (scan.Ah == 0) {
        if (eobRun_ > 0) {
            --eobRun_;
            return;
        }
        for (int k = scan.Ss; k <= scan.Se; ++k) {
            in.Fill();
            const int rs = DecodeSymbol(in, ac);
            const int r = rs >> 4, size = rs & 15;
            if (size != 0) {
                k += r;
                if (k > scan.Se)
                    Decline();
                in.Fill();
                const int v = Extend(in.Take(size), size);
                mask |= uint64_t(1) << k;
                if constexpr (kValues)
                    block[kZigzagToNatural[size_t(k)]] = Coef(unsigned(v) << scan.Al);
            } else if (r == 15) {
                k += 15;
            } else {
                eobRun_ = int64_t(1) << r;
                if (r != 0) {
                    in.Fill();
                    eobRun_ += in.Take(r);
                }
                --eobRun_;
                break;
            }
        }
        return;
    }
    // A refining scan: one correction bit for every coefficient already non-zero, and codes
    // for those that become non-zero (always ±1 at this bit).
    const int p1 = 1 << scan.Al;
    int k = scan.Ss;
    // The coefficients already non-zero: of a block whose values are kept, from them.
    uint64_t had = 0;
    if constexpr (kValues)
        for (int j = scan.Ss; j <= scan.Se; ++j)
            if (block[kZigzagToNatural[size_t(j)]] != 0)
                had |= uint64_t(1) << j;
    uint64_t& nonZero = kValues ? had : mask;
    // Correction bits of the non-zero coefficients from k up to before `to`.
    auto correct = [&](int to) {
        const uint64_t span = to > k ? ((to >= 64 ? ~uint64_t(0) : (uint64_t(1) << to) - 1) >> k) << k : 0;
        if constexpr (kValues) {
            for (uint64_t m = nonZero & span; m != 0; m &= m - 1) {
                Coef& v = block[kZigzagToNatural[size_t(__builtin_ctzll(m))]];
                in.Fill();
                if (in.Take(1) != 0 && (v & p1) == 0)
                    v = Coef(v >= 0 ? v + p1 : v - p1);
            }
        } else {
            for (int n = CountBits(nonZero & span); n > 0; n -= 16) {
                in.Fill();
                in.Drop(std::min(n, 16));
            }
        }
        k = std::max(k, to);
    };
    if (eobRun_ == 0) {
        while (k <= scan.Se) {
            in.Fill();
            const int rs = DecodeSymbol(in, ac);
            int r = rs >> 4;
            const int size = rs & 15;
            int sign = 0;
            if (size != 0) {
                if (size != 1)
                    Decline();
                in.Fill();
                sign = in.Take(1) != 0 ? 1 : -1;
            } else if (r != 15) {
                eobRun_ = int64_t(1) << r;
                if (r != 0) {
                    in.Fill();
                    eobRun_ += in.Take(r);
                }
                break;
            }
            // Past the coefficients already non-zero (each with its correction bit) to the
            // r-th of the zero ones, which the code is for.
            const uint64_t band = ((scan.Se >= 63 ? ~uint64_t(0) : (uint64_t(1) << (scan.Se + 1)) - 1) >> k) << k;
            const uint64_t zeros = ~nonZero & band;
            if (CountBits(zeros) <= r) {
                if (size != 0)
                    Decline();  // a new coefficient past the band
                correct(scan.Se + 1);
                break;
            }
            const int target = NthSetBit(zeros, r);
            correct(target);
            if (size != 0) {
                nonZero |= uint64_t(1) << target;
                if constexpr (kValues)
                    block[kZigzagToNatural[size_t(target)]] = Coef(sign * p1);
            }
            k = target + 1;
        }
    }
    if (eobRun_ > 0) {
        correct(scan.Se + 1);
        --eobRun_;
    }
}

void ProgressiveSplice::Walk()
{
    for (Scan& scan : scans_) {
        std::vector<HuffmanEncoder>& encoders = encoders_.emplace_back(scan.Tables.size());
        for (size_t i = 0; i < scan.Tables.size(); ++i)
            if (!encoders[i].Build(scan.Tables[i]))
                Decline();
        const bool whole = wholeScans_ || (scan.Dc() && scan.Ah == 0);
        WalkScan(scan, whole ? scan.Units : std::max(scan.JoinUnit, scan.RegionUnits), true);
    }
}

// Reads the scan's first `units` units, the kept rows' coefficients too when `keep`.
void ProgressiveSplice::WalkScan(Scan& scan, int64_t units, bool keep)
{
    decoders_.assign(scan.Tables.size(), HuffmanDecoder{});
    for (size_t i = 0; i < scan.Tables.size(); ++i)
        if (!decoders_[i].Build(scan.Tables[i], scan.Dc()))
            Decline();
    pred_.fill(0);
    eobRun_ = 0;
    BitReader in(jpeg_, scan.DataBegin, scan.DataEnd);
    for (int64_t unit = 0; unit <= units; ++unit) {
        if (unit == scan.JoinUnit) {
            scan.JoinPos = in.Here();
            scan.JoinEobRun = std::min(eobRun_, scan.Units - unit);
        }
        if (unit == units)
            break;
        ForEachBlock(scan, unit, [&](size_t slot, int c, int row, int col) {
            if (keep && row < planes_[size_t(c)].RegionRows)
                ReadBlock<true>(scan, slot, in, c, row, col);
            else
                ReadBlock<false>(scan, slot, in, c, row, col);
        });
        if (in.Overran())
            Decline();
    }
    if (units == scan.Units)
        scan.End = in.Here();
}

bool ProgressiveSplice::Restamp(const McuRect& touched, const McuRect& margin, const RegionPainter& paint)
{
    // The margin's coefficients, MCU by MCU in the order of an interleaved scan.
    McuStore stored(s_.McuBlocks.size());
    stored.Reserve(size_t(margin.Col1 - margin.Col0 + 1) * size_t(margin.Row1 - margin.Row0 + 1));
    auto blockOf = [&](int mcuRow, int mcuCol, const McuBlock& b) {
        Plane& p = planes_[b.Component];
        return p.Block(mcuRow * p.V + b.Dy, mcuCol * p.H + b.Dx);
    };
    for (int row = margin.Row0; row <= margin.Row1; ++row)
        for (int col = margin.Col0; col <= margin.Col1; ++col) {
            Coef* to = stored.Add(int64_t(row) * s_.McusWide + col);
            for (size_t b = 0; b < s_.McuBlocks.size(); ++b) {
                const Coef* from = blockOf(row, col, s_.McuBlocks[b]);
                if (from == nullptr)
                    Decline();
                std::copy(from, from + kBlockSize, to + b * kBlockSize);
            }
        }
    fresh_.emplace(RestampMcus(s_, touched, margin, stored, paint));
    const McuStore& fresh = *fresh_;
    bool fitted = false;
    for (int row = touched.Row0; row <= touched.Row1; ++row)
        for (int col = touched.Col0; col <= touched.Col1; ++col) {
            const Coef* from = fresh.Find(int64_t(row) * s_.McusWide + col);
            if (from == nullptr)
                Decline();
            for (size_t b = 0; b < s_.McuBlocks.size(); ++b) {
                const McuBlock& mb = s_.McuBlocks[b];
                Coef* to = blockOf(row, col, mb);
                std::copy(from + b * kBlockSize, from + (b + 1) * kBlockSize, to);
                const Plane& p = planes_[mb.Component];
                const int blockRow = row * p.V + mb.Dy, blockCol = col * p.H + mb.Dx;
                FitAc(to, mb.Component, blockRow < p.High && blockCol < p.Wide, fitted);
            }
        }
    return FitDc() || fitted;
}

// Moves a first scan's band of the block to the nearest values its table codes, as a
// baseline block is fitted (FitAcToTable): the band's values at the scan's precision laid
// out as a block's, each weighted by its quantizer step at that precision. A value that
// keeps its sign keeps the bits the later scans refine. True when a value moved.
bool FitBand(Coef* block, const Scan& scan, const HuffmanEncoder& ac, const std::array<uint16_t, 64>& quant)
{
    std::array<Coef, kBlockSize> band{};
    std::array<uint16_t, 64> weight;
    weight.fill(1);
    for (int k = scan.Ss; k <= scan.Se; ++k) {
        const int v = block[kZigzagToNatural[size_t(k)]];
        const int at = kZigzagToNatural[size_t(k - scan.Ss + 1)];
        band[size_t(at)] = Coef(v < 0 ? -(-v >> scan.Al) : v >> scan.Al);
        weight[size_t(at)] = uint16_t(std::min(65535, quant[kZigzagToNatural[size_t(k)]] << scan.Al));
    }
    const std::array<Coef, kBlockSize> wanted = band;
    if (FitAcToTable(band.data(), ac, weight) == 0)
        return false;
    bool moved = false;
    for (int k = scan.Ss; k <= scan.Se; ++k) {
        const int at = kZigzagToNatural[size_t(k - scan.Ss + 1)];
        if (band[size_t(at)] == wanted[size_t(at)])
            continue;
        moved = true;
        Coef& v = block[kZigzagToNatural[size_t(k)]];
        const int t = band[size_t(at)];
        const int low = (t < 0) == (v < 0) && v != 0 ? std::abs(int(v)) & ((1 << scan.Al) - 1) : 0;
        v = Coef(t == 0 ? 0 : (t < 0 ? -1 : 1) * ((std::abs(t) << scan.Al) | low));
    }
    return moved;
}

// Moves the block's AC coefficients until every scan of them has the codes they need: a
// value to the largest smaller category its run has a code for, or to zero; a new
// non-zero value of a refining scan to zero. A scan of the component alone codes only
// the blocks of its size (`coded`).
// The first coefficient of the scan's band in the block whose code the scan's table
// lacks (-1: none), with the run before it and, in a first scan, its category.
struct MissingCode {
    int At = -1;  // coding order
    int Run = 0, Size = 0;
};
MissingCode FirstMissingCode(const Coef* block, const Scan& scan, const HuffmanEncoder& ac)
{
    auto has = [&](int symbol) { return ac.Length[size_t(symbol)] != 0; };
    auto t = [&](int k) { return std::abs(int(block[kZigzagToNatural[size_t(k)]])) >> scan.Al; };
    int r = 0;
    if (scan.Ah == 0) {
        for (int k = scan.Ss; k <= scan.Se; ++k) {
            const int size = BitLength(unsigned(t(k)));
            if (size == 0) {
                ++r;
                continue;
            }
            if (r > 15 && !has(kZeroRun))
                return {k, 0, 0};
            if (!has(((r & 15) << 4) | size))
                return {k, r & 15, size};
            r = 0;
        }
        return {};
    }
    int last = -1;
    for (int k = scan.Ss; k <= scan.Se; ++k)
        if (t(k) == 1)
            last = k;
    for (int k = scan.Ss; k <= last; ++k) {
        if (t(k) == 0) {
            ++r;
            continue;
        }
        if (t(k) > 1)
            continue;  // a correction bit
        if ((r > 15 && !has(kZeroRun)) || !has(((r & 15) << 4) | 1))
            return {k, r & 15, 1};
        r = 0;
    }
    return {};
}

// Moves the block's AC coefficients until every scan of them has the codes they need. In
// a first scan the band goes to its nearest codable values (FitBand), or a value to the
// largest smaller category its run has a code for, or to zero. A value a refining scan
// would code as new goes to zero, which leaves the scans before it as they are. A scan of
// the component alone codes only the blocks of its size (`coded`).
void ProgressiveSplice::FitAc(Coef* block, int c, bool coded, bool& fitted) const
{
    if (!coded)
        return;
    const auto& quant = s_.Quant[size_t(s_.Components[size_t(c)].QuantSlot)];
    for (size_t si = 0; si < scans_.size(); ++si) {
        const Scan& scan = scans_[si];
        if (scan.Dc() || scan.Comps[0] != c)
            continue;
        const HuffmanEncoder& ac = encoders_[si][0];
        auto has = [&](int symbol) { return ac.Length[size_t(symbol)] != 0; };
        if (scan.Ah == 0 && has(0x00))
            fitted = FitBand(block, scan, ac, quant) || fitted;
        for (MissingCode missing = FirstMissingCode(block, scan, ac); missing.At >= 0;
             missing = FirstMissingCode(block, scan, ac)) {
            fitted = true;
            Coef& v = block[kZigzagToNatural[size_t(missing.At)]];
            const int was = v;
            if (scan.Ah != 0) {
                v = 0;
                continue;
            }
            int smaller = 0;
            for (int sz = missing.Size - 1; sz >= 1 && smaller == 0; --sz)
                if (has((missing.Run << 4) | sz))
                    smaller = sz;
            if (smaller == 0) {
                v = 0;
            } else {
                const int low = std::abs(was) & ((1 << scan.Al) - 1);
                const int magnitude = (((1 << smaller) - 1) << scan.Al) | low;
                v = Coef(was < 0 ? -magnitude : magnitude);
            }
        }
    }
}

// Moves the stamp's DC values to the nearest ones the first DC scan's table codes, next to
// the blocks before and after them in that scan. False when nothing moved.
bool ProgressiveSplice::FitDc()
{
    bool fitted = false;
    for (size_t si = 0; si < scans_.size(); ++si) {
        const Scan& scan = scans_[si];
        if (!scan.Dc() || scan.Ah != 0)
            continue;
        struct Entry {
            size_t Slot;
            Coef* Block;
            bool Touched;
        };
        std::vector<Entry> order;
        for (int64_t unit = 0; unit < scan.JoinUnit; ++unit)
            ForEachBlock(scan, unit, [&](size_t slot, int c, int row, int col) {
                order.push_back({slot, planes_[size_t(c)].Block(row, col), Touched(c, row, col)});
            });
        std::array<int, 4> pred{};
        for (size_t i = 0; i < order.size(); ++i) {
            const Entry& e = order[i];
            if (e.Block == nullptr)
                Decline();
            const int value = e.Block[0] >> scan.Al;
            if (e.Touched) {
                std::optional<int> next;
                for (size_t j = i + 1; j < order.size(); ++j)
                    if (order[j].Slot == e.Slot) {
                        if (!order[j].Touched)
                            next = order[j].Block[0] >> scan.Al;
                        break;
                    }
                const std::optional<int> v = NearestCodableDc(value, pred[e.Slot], next, encoders_[si][e.Slot]);
                if (!v)
                    Decline();
                if (*v != value) {
                    fitted = true;
                    const int low = e.Block[0] & ((1 << scan.Al) - 1);
                    e.Block[0] = Coef(*v * (1 << scan.Al) + low);
                }
            }
            pred[e.Slot] = e.Block[0] >> scan.Al;
        }
    }
    return fitted;
}

double ProgressiveSplice::StampPsnr() const
{
    double change = 0;
    size_t blocks = 0;
    for (int row = touched_.Row0; row <= touched_.Row1; ++row)
        for (int col = touched_.Col0; col <= touched_.Col1; ++col) {
            const Coef* drawn = fresh_->Find(int64_t(row) * s_.McusWide + col);
            for (size_t b = 0; b < s_.McuBlocks.size(); ++b, ++blocks) {
                const McuBlock& mb = s_.McuBlocks[b];
                const Plane& p = planes_[mb.Component];
                const Coef* coded = p.Values.data() +
                                    ((size_t(row) * p.V + mb.Dy) * p.PaddedWide + size_t(col) * p.H + mb.Dx) * kBlockSize;
                const auto& quant = s_.Quant[size_t(s_.Components[mb.Component].QuantSlot)];
                for (size_t k = 0; k < kBlockSize; ++k) {
                    const double d = double(quant[k]) * (coded[k] - drawn[b * kBlockSize + k]);
                    change += d * d;
                }
            }
        }
    return FitPsnr(change, blocks);
}

// ---- Coding a scan anew --------------------------------------------------------------

// A run of end-of-band blocks waiting to be coded, with the correction bits of a refining
// scan that follow its code.
struct EobRun {
    int64_t Blocks = 0;
    std::vector<uint8_t> Bits;       // correction bits, one a byte
    std::vector<size_t> BlockEnds;   // where each block's bits end in Bits
};

// Lengths of end-of-band codes that together make `total` blocks, each of a length the
// table codes, the last at least `tail` long; empty when there are none.
std::vector<int> SplitEobRun(int64_t total, int64_t tail, const HuffmanEncoder& ac)
{
    std::array<bool, 15> coded{};
    int shortest = -1;
    for (int c = 14; c >= 0; --c) {
        coded[size_t(c)] = ac.Length[size_t(c << 4)] != 0;
        if (coded[size_t(c)])
            shortest = 1 << c;
    }
    if (shortest < 0)
        return {};
    // Any split of what comes before the last code.
    auto free = [&](int64_t m, std::vector<int>& pieces) {
        while (m > 0) {
            int64_t take = 0;
            for (int c = 14; c >= 0 && take == 0; --c) {
                if (!coded[size_t(c)] || (int64_t(1) << c) > m)
                    continue;
                const int64_t hi = std::min<int64_t>({m, (int64_t(2) << c) - 1, kLongestEobRun});
                if (m - hi == 0 || m - hi >= shortest)
                    take = hi;
                else if (m - shortest >= (int64_t(1) << c) && m - shortest <= hi)
                    take = m - shortest;
            }
            if (take == 0)
                return false;
            pieces.push_back(int(take));
            m -= take;
        }
        return true;
    };
    if (tail == 0) {
        std::vector<int> pieces;
        return free(total, pieces) ? pieces : std::vector<int>{};
    }
    for (int c = 14; c >= 0; --c) {
        if (!coded[size_t(c)])
            continue;
        const int64_t lo = std::max<int64_t>(int64_t(1) << c, tail);
        const int64_t hi = std::min<int64_t>({(int64_t(2) << c) - 1, kLongestEobRun, total});
        for (const int64_t last : {hi, lo}) {
            std::vector<int> pieces;
            if (lo <= hi && free(total - last, pieces)) {
                pieces.push_back(int(last));
                return pieces;
            }
        }
    }
    return {};
}

// The bits an end-of-band code of this many blocks takes.
int EobCodeBits(int blocks, const HuffmanEncoder& ac)
{
    const int size = BitLength(unsigned(blocks)) - 1;
    return ac.Length[size_t(size << 4)] + size;
}

// Ways to code an end-of-band run: the first the shortest, then splits in two that take
// other numbers of bits (modulo a byte), for laying the codes out to end on a given bit.
struct EobRunWay {
    std::vector<int> Pieces;
    int Bits = 0;
};
std::vector<EobRunWay> EobRunWays(int64_t total, int64_t tail, const HuffmanEncoder& ac)
{
    std::vector<EobRunWay> ways(1);
    ways[0].Pieces = SplitEobRun(total, tail, ac);
    if (ways[0].Pieces.empty())
        Decline();
    for (const int piece : ways[0].Pieces)
        ways[0].Bits += EobCodeBits(piece, ac);
    std::array<bool, 8> residues{};
    residues[size_t(ways[0].Bits & 7)] = true;
    for (int ca = 0; ca < 15; ++ca)
        for (int cb = 0; cb < 15; ++cb) {
            if (ac.Length[size_t(ca << 4)] == 0 || ac.Length[size_t(cb << 4)] == 0)
                continue;
            const int bits = EobCodeBits(1 << ca, ac) + EobCodeBits(1 << cb, ac);
            if (residues[size_t(bits & 7)])
                continue;
            const int64_t loB = std::max<int64_t>(int64_t(1) << cb, tail), hiB = std::min((2 << cb) - 1, kLongestEobRun);
            const int64_t loA = std::max<int64_t>(int64_t(1) << ca, total - hiB);
            const int64_t hiA = std::min<int64_t>({(2 << ca) - 1, kLongestEobRun, total - loB});
            if (loA > hiA)
                continue;
            residues[size_t(bits & 7)] = true;
            ways.push_back({{int(hiA), int(total - hiA)}, bits});
        }
    return ways;
}

// Codes the blocks of a scan with its tables. Counting (no writer), it notes the ways each
// end-of-band run could be coded; writing, it takes the way chosen for each.
class ScanWriter {
public:
    ScanWriter(BitWriter* w, const Scan& scan, const std::vector<HuffmanEncoder>& tables)
        : w_(w), scan_(scan), tables_(tables)
    {
    }

    int64_t Bits() const { return bits_; }
    // The run waiting to be coded: its blocks, and the correction bits that follow its code.
    int64_t RunBlocks() const { return eob_.Blocks; }
    int64_t RunBits() const { return int64_t(eob_.Bits.size()); }
    // Counting: each run's ways, their bits beyond the first way's.
    std::vector<std::vector<int>> RunWays;
    // Writing: the way of each run; none for the shortest ways.
    const std::vector<uint8_t>* Chosen = nullptr;

    void Put(uint32_t value, int count)
    {
        if (w_)
            w_->Put(value, count);
        bits_ += count;
    }

    void Symbol(size_t slot, int symbol)
    {
        const HuffmanEncoder& t = tables_[slot];
        if (t.Length[size_t(symbol)] == 0)
            Decline();
        Put(t.Code[size_t(symbol)], t.Length[size_t(symbol)]);
    }

    void DcFirst(size_t slot, const Coef* block, int& pred)
    {
        const int value = block[0] >> scan_.Al;
        const int diff = value - pred;
        pred = value;
        const int size = BitLength(unsigned(std::abs(diff)));
        Symbol(slot, size);
        if (size != 0)
            Put(unsigned(diff < 0 ? diff - 1 : diff) & ((1u << size) - 1), size);
    }

    void DcRefine(const Coef* block) { Put(unsigned(block[0] >> scan_.Al) & 1, 1); }

    void AcFirst(const Coef* block)
    {
        int r = 0;
        for (int k = scan_.Ss; k <= scan_.Se; ++k) {
            const int v = block[kZigzagToNatural[size_t(k)]];
            const int t = std::abs(v) >> scan_.Al;
            if (t == 0) {
                ++r;
                continue;
            }
            FlushEobRun(0);
            for (; r > 15; r -= 16)
                Symbol(0, kZeroRun);
            const int size = BitLength(unsigned(t));
            Symbol(0, (r << 4) | size);
            Put(unsigned(v < 0 ? ~t : t) & ((1u << size) - 1), size);
            r = 0;
        }
        if (r > 0 && ++eob_.Blocks == kLongestEobRun)
            FlushEobRun(0);
    }

    void AcRefine(const Coef* block)
    {
        std::array<int, 64> t{};
        int last = -1;
        for (int k = scan_.Ss; k <= scan_.Se; ++k) {
            t[size_t(k)] = std::abs(int(block[kZigzagToNatural[size_t(k)]])) >> scan_.Al;
            if (t[size_t(k)] == 1)
                last = k;
        }
        int r = 0;
        corrections_.clear();
        for (int k = scan_.Ss; k <= scan_.Se; ++k) {
            if (t[size_t(k)] == 0) {
                ++r;
                continue;
            }
            while (r > 15 && k <= last) {
                FlushEobRun(0);
                Symbol(0, kZeroRun);
                r -= 16;
                PutCorrections();
            }
            if (t[size_t(k)] > 1) {
                corrections_.push_back(uint8_t(t[size_t(k)] & 1));
                continue;
            }
            FlushEobRun(0);
            Symbol(0, (r << 4) | 1);
            Put(block[kZigzagToNatural[size_t(k)]] < 0 ? 0 : 1, 1);
            PutCorrections();
            r = 0;
        }
        if (r > 0 || !corrections_.empty()) {
            eob_.Bits.insert(eob_.Bits.end(), corrections_.begin(), corrections_.end());
            eob_.BlockEnds.push_back(eob_.Bits.size());
            if (++eob_.Blocks == kLongestEobRun)
                FlushEobRun(0);
        }
    }

    // Codes the waiting end-of-band run, and with it the `tail` blocks after it whose
    // correction bits follow in the data copied after the codes.
    void FlushEobRun(int64_t tail)
    {
        if (eob_.Blocks + tail == 0)
            return;
        size_t way = 0;
        if (Chosen) {
            if (runs_ >= Chosen->size())
                throw ELosslessInternal("a progressive scan has more end-of-band runs than counted");
            way = (*Chosen)[runs_];
        }
        std::vector<EobRunWay> ways;
        if (way != 0 || !w_) {  // the other ways: to choose from, or chosen
            ways = EobRunWays(eob_.Blocks + tail, tail, tables_[0]);
            if (way >= ways.size())
                throw ELosslessInternal("an end-of-band run's way is not one of its ways");
            if (!w_) {
                std::vector<int>& extra = RunWays.emplace_back();
                for (const EobRunWay& w : ways)
                    extra.push_back(w.Bits - ways[0].Bits);
            }
        } else {
            ways.push_back({SplitEobRun(eob_.Blocks + tail, tail, tables_[0]), 0});
            if (ways[0].Pieces.empty())
                Decline();
        }
        ++runs_;
        size_t block = 0;
        for (const int length : ways[way].Pieces) {
            const int size = BitLength(unsigned(length)) - 1;
            Symbol(0, size << 4);
            if (size != 0)
                Put(unsigned(length) & ((1u << size) - 1), size);
            const size_t to = std::min(block + size_t(length), size_t(eob_.Blocks));
            if (!eob_.BlockEnds.empty() && to > block) {
                const size_t from = block == 0 ? 0 : eob_.BlockEnds[block - 1];
                for (size_t i = from; i < eob_.BlockEnds[to - 1]; ++i)
                    Put(eob_.Bits[i], 1);
            }
            block = to;
        }
        eob_ = {};
    }

private:
    void PutCorrections()
    {
        for (const uint8_t bit : corrections_)
            Put(bit, 1);
        corrections_.clear();
    }

    BitWriter* w_;
    const Scan& scan_;
    const std::vector<HuffmanEncoder>& tables_;
    int64_t bits_ = 0;
    size_t runs_ = 0;
    EobRun eob_;
    std::vector<uint8_t> corrections_;
};

// The way of each run that makes the runs' bits beyond their shortest ways come to `need`
// modulo a byte, changing as few runs as can be; none when no choice does.
std::optional<std::vector<uint8_t>> ChooseWays(const std::vector<std::vector<int>>& runWays, int need)
{
    constexpr int kNone = 1 << 30;
    const size_t n = runWays.size();
    std::vector<std::array<uint8_t, 8>> way(n), from(n);
    std::array<int, 8> changes;
    changes.fill(kNone);
    changes[0] = 0;
    for (size_t i = 0; i < n; ++i) {
        std::array<int, 8> next;
        next.fill(kNone);
        for (int r = 0; r < 8; ++r) {
            if (changes[size_t(r)] == kNone)
                continue;
            for (size_t w = 0; w < runWays[i].size(); ++w) {
                const int to = (r + runWays[i][w]) & 7;
                const int c = changes[size_t(r)] + (w != 0);
                if (c < next[size_t(to)]) {
                    next[size_t(to)] = c;
                    way[i][size_t(to)] = uint8_t(w);
                    from[i][size_t(to)] = uint8_t(r);
                }
            }
        }
        changes = next;
    }
    if (changes[size_t(need & 7)] == kNone)
        return std::nullopt;
    std::vector<uint8_t> chosen(n);
    for (size_t i = n, r = size_t(need & 7); i-- > 0;) {
        chosen[i] = way[i][r];
        r = from[i][r];
    }
    return chosen;
}

// Raised when a refining scan's codes cannot be laid out to end where the source's do: the
// file is walked again over every scan, which tells where each scan's data ends.
struct NeedWholeScans {};

void ProgressiveSplice::CodePrefix(const Scan& scan, ScanWriter& writer)
{
    std::array<int, 4> pred{};
    for (int64_t unit = 0; unit < scan.JoinUnit; ++unit)
        ForEachBlock(scan, unit, [&](size_t slot, int c, int row, int col) {
            const Coef* block = planes_[size_t(c)].Block(row, col);
            if (block == nullptr)
                throw ELosslessInternal("a block coded anew lies outside the rows kept");
            if (scan.Dc())
                scan.Ah == 0 ? writer.DcFirst(slot, block, pred[slot]) : writer.DcRefine(block);
            else
                scan.Ah == 0 ? writer.AcFirst(block) : writer.AcRefine(block);
        });
    if (!scan.Dc())
        writer.FlushEobRun(scan.JoinEobRun);
}

// The ways of the scan's end-of-band runs that end its codes before the join on the bit of
// its byte where the source's end; none when no ways do.
std::optional<std::vector<uint8_t>> ProgressiveSplice::AlignedWays(size_t si)
{
    const Scan& scan = scans_[si];
    ScanWriter counter(nullptr, scan, encoders_[si]);
    CodePrefix(scan, counter);
    return ChooseWays(counter.RunWays, int(scan.JoinPos.Bit - counter.Bits()) & 7);
}

// What one block of an AC scan adds to its codes, apart from the end-of-band runs: its
// own bits, whether it codes a value or a sixteen-zero run (which ends the run before it),
// and whether it ends in a run.
struct BlockBits {
    int64_t Own = 0;
    bool Codes = false;
    bool EndsInRun = false;
};

BlockBits MeasureBlock(const Scan& scan, const std::vector<HuffmanEncoder>& tables, const Coef* block)
{
    ScanWriter w(nullptr, scan, tables);
    scan.Ah == 0 ? w.AcFirst(block) : w.AcRefine(block);
    return {w.Bits() + w.RunBits(), w.Bits() > 0, w.RunBlocks() > 0};
}

// The layout of an AC scan's codes before the join from its blocks' bits, as ScanWriter
// codes them: the ways of its end-of-band runs that end the codes on `joinBit` of a byte.
class RunLayout {
public:
    RunLayout(const Scan& scan, const HuffmanEncoder& ac) : scan_(scan), ac_(ac) {}

    std::optional<std::vector<uint8_t>> Ways(const std::vector<BlockBits>& blocks)
    {
        int64_t total = 0, pending = 0;
        runWays_.clear();
        auto run = [&](int64_t n, int64_t tail) {
            const Way& w = WaysOf(n, tail);
            total += w.Bits;
            runWays_.push_back(&w.Extra);
        };
        for (const BlockBits& b : blocks) {
            total += b.Own;
            if (b.Codes && pending > 0) {
                run(pending, 0);
                pending = 0;
            }
            if (b.EndsInRun && ++pending == kLongestEobRun) {
                run(pending, 0);
                pending = 0;
            }
        }
        if (pending + scan_.JoinEobRun > 0)
            run(pending + scan_.JoinEobRun, scan_.JoinEobRun);
        std::vector<std::vector<int>> ways;
        for (const std::vector<int>* w : runWays_)
            ways.push_back(*w);
        return ChooseWays(ways, int(scan_.JoinPos.Bit - total) & 7);
    }

private:
    struct Way {
        int Bits = 0;
        std::vector<int> Extra;
    };
    const Way& WaysOf(int64_t n, int64_t tail)
    {
        auto [at, fresh] = cache_.try_emplace(n << 16 | tail);
        if (fresh) {
            const std::vector<EobRunWay> ways = EobRunWays(n, tail, ac_);
            at->second.Bits = ways[0].Bits;
            for (const EobRunWay& w : ways)
                at->second.Extra.push_back(w.Bits - ways[0].Bits);
        }
        return at->second;
    }

    const Scan& scan_;
    const HuffmanEncoder& ac_;
    std::map<int64_t, Way> cache_;
    std::vector<const std::vector<int>*> runWays_;
};

// Moves coefficients of the stamp's blocks by a step that this scan codes, until the
// scan's codes before the join can end on the bit where the source's do: one coefficient,
// else two in blocks apart, the changes that take energy away tried first (a value to
// zero or to the next smaller category; then a value to the next larger category, a zero
// to the smallest value). A change reaches only this scan and the later ones, whose codes
// are laid out after it.
std::optional<std::vector<uint8_t>> ProgressiveSplice::AlignByStamp(size_t si)
{
    constexpr size_t kMostSingles = 256, kMostPairs = 1024;
    const Scan& scan = scans_[si];
    const int c = scan.Comps[0];
    Plane& p = planes_[size_t(c)];
    std::vector<BlockBits> bits(size_t(scan.JoinUnit));
    for (int64_t u = 0; u < scan.JoinUnit; ++u)
        bits[size_t(u)] = MeasureBlock(scan, encoders_[si], p.Block(int(u / p.Wide), int(u % p.Wide)));
    RunLayout layout(scan, encoders_[si][0]);

    struct Change {
        int64_t Unit;
        int Index;  // natural order
        Coef Value;
        double Cost;  // the squared pixel change
    };
    const auto& quant = s_.Quant[size_t(s_.Components[size_t(c)].QuantSlot)];
    std::vector<Change> changes;
    for (int pass = 0; pass < 2; ++pass)
        for (int row = touched_.Row0 * p.V; row < std::min(p.High, (touched_.Row1 + 1) * p.V); ++row)
            for (int col = touched_.Col0 * p.H; col < std::min(p.Wide, (touched_.Col1 + 1) * p.H); ++col) {
                const Coef* block = p.Block(row, col);
                for (int k = scan.Se; k >= scan.Ss; --k) {
                    const int v = block[kZigzagToNatural[size_t(k)]];
                    const int magnitude = std::abs(v), t = magnitude >> scan.Al;
                    const int low = scan.Ah == 0 ? magnitude & ((1 << scan.Al) - 1) : 0, sign = v < 0 ? -1 : 1;
                    std::array<int, 2> steps{-1, -1};  // new values of t
                    if (scan.Ah == 0 && pass == 0 && t > 0)
                        steps = {0, t >= 2 ? (1 << (BitLength(unsigned(t)) - 2)) : -1};
                    else if (scan.Ah == 0 && pass == 1)
                        steps = {t == 0 ? 1 : 1 << BitLength(unsigned(t)), -1};
                    else if (scan.Ah != 0 && pass == 0 && t == 1)
                        steps = {0, -1};
                    else if (scan.Ah != 0 && pass == 1 && t == 0)
                        steps = {1, -1};
                    const int at = kZigzagToNatural[size_t(k)];
                    for (const int step : steps)
                        if (step >= 0) {
                            const Coef to = Coef(step == 0 ? 0 : sign * ((step << scan.Al) | low));
                            const double d = double(quant[size_t(at)]) * (to - v);
                            changes.push_back({int64_t(row) * p.Wide + col, at, to, d * d});
                        }
                }
            }

    // Makes a change (and what it takes for the later scans to code the block), returning
    // the block as it was.
    auto apply = [&](const Change& change) {
        Coef* block = p.Block(int(change.Unit / p.Wide), int(change.Unit % p.Wide));
        std::array<Coef, kBlockSize> was;
        std::copy(block, block + kBlockSize, was.begin());
        block[change.Index] = change.Value;
        bool fitted = false;
        FitAc(block, c, true, fitted);
        bits[size_t(change.Unit)] = MeasureBlock(scan, encoders_[si], block);
        return was;
    };
    auto undo = [&](const Change& change, const std::array<Coef, kBlockSize>& was) {
        Coef* block = p.Block(int(change.Unit / p.Wide), int(change.Unit % p.Wide));
        std::copy(was.begin(), was.end(), block);
        bits[size_t(change.Unit)] = MeasureBlock(scan, encoders_[si], block);
    };
    // A layout found for the blocks' bits is taken when the coding itself agrees.
    auto confirmed = [&]() -> std::optional<std::vector<uint8_t>> {
        if (!layout.Ways(bits))
            return std::nullopt;
        return AlignedWays(si);
    };

    std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.Cost < b.Cost; });
    std::vector<size_t> tried;
    for (size_t i = 0; i < changes.size() && tried.size() < kMostSingles; ++i) {
        const auto was = apply(changes[i]);
        if (std::optional<std::vector<uint8_t>> ways = confirmed())
            return ways;
        undo(changes[i], was);
        tried.push_back(i);
    }
    size_t pairs = 0;
    for (size_t a = 0; a < tried.size(); ++a)
        for (size_t b = a + 1; b < tried.size() && pairs < kMostPairs; ++b) {
            const Change& x = changes[tried[a]];
            const Change& y = changes[tried[b]];
            if (std::abs(x.Unit - y.Unit) < 2)
                continue;  // blocks side by side share a run
            ++pairs;
            const auto wasX = apply(x);
            const auto wasY = apply(y);
            if (std::optional<std::vector<uint8_t>> ways = confirmed())
                return ways;
            undo(y, wasY);
            undo(x, wasX);
        }
    return std::nullopt;
}

void ProgressiveSplice::WriteScan(size_t si, BitWriter& w)
{
    Scan& scan = scans_[si];
    std::optional<std::vector<uint8_t>> chosen;
    if (!scan.End) {
        // The rest is copied byte for byte: the codes before it must end on the bit of its
        // byte where the source's end.
        chosen = AlignedWays(si);
        if (!chosen && !scan.Dc() && !touched_.Empty()) {
            chosen = AlignByStamp(si);
            aligned_ = aligned_ || chosen;
        }
        if (!chosen) {
            if (!scan.Dc() && scan.Ah != 0)
                throw NeedWholeScans{};
            WalkScan(scan, scan.Units, false);  // a scan that reads alone: walked to its end
        }
    }
    ScanWriter writer(&w, scan, encoders_[si]);
    writer.Chosen = chosen ? &*chosen : nullptr;
    CodePrefix(scan, writer);
    if (chosen) {
        if (w.Pending() != scan.JoinPos.Bit)
            throw ELosslessInternal("the codes before the rest of a scan end off its bit");
        CopyBitsToMarker(jpeg_, scan.JoinPos, w);
    } else {
        CopyBits(jpeg_, scan.JoinPos, *scan.End, w);
    }
    w.Finish();
}

void ProgressiveSplice::Write(bool keepMetadata, std::string& out)
{
    auto segments = [&](const std::vector<JpegSegment>& list) {
        for (const JpegSegment& seg : list)
            if (keepMetadata || KeptWithoutMetadata(jpeg_, seg))
                out.append(jpeg_.substr(seg.Offset, seg.Length));
    };
    out.clear();
    ReserveForReuse(out, LosslessRoom(jpeg_.size()));
    out += "\xFF\xD8";
    if (!keepMetadata)
        out += DefaultJfifHeader();
    for (size_t si = 0; si < scans_.size(); ++si) {
        segments(scans_[si].Before);
        BitWriter w(out);
        WriteScan(si, w);
    }
    segments(trailer_);
    out += "\xFF\xD9";
    out.append(jpeg_.substr(pictureEnd_));
    CorrectMultiPictureIndex(jpeg_, out);
}

}  // namespace

ProgressiveSpliceResult SpliceProgressive(std::string_view jpeg, const JpegStructure& s, const PixelBox& box,
                                          const RegionPainter& paint, bool keepMetadata, std::string& out, ScanWalk walk)
{
    const StampMcus mcus = McusUnder(s, box);
    const bool low = !mcus.Touched.Empty() && 2 * (mcus.Touched.Row1 + 2) > s.McusHigh;
    if (walk == ScanWalk::ToTheStamp && low) {
        out.clear();
        return {};
    }
    for (const bool wholeScans : {walk == ScanWalk::WholeScans, true}) {
        try {
            ProgressiveSplice splice(jpeg, s);
            splice.ReadScans();
            splice.LayOut(mcus.Touched, wholeScans);
            splice.Walk();
            const bool fitted = !mcus.Touched.Empty() && splice.Restamp(mcus.Touched, mcus.Margin, paint);
            splice.Write(keepMetadata, out);
            if (!mcus.Touched.Empty() && splice.StampPsnr() < kLeastFitPsnr)
                break;  // the stamp would show its blocks: libjpeg codes it as drawn
            return {true, fitted, splice.Aligned()};
        } catch (const NeedWholeScans&) {
            continue;  // once more, every scan walked to its end
        } catch (const Declined&) {
            break;
        } catch (const ECorruptScan&) {
            break;  // damage: libjpeg tells what is wrong
        }
    }
    // Left to libjpeg's reading of all coefficients, which takes any progressive file it
    // can decode and reports damage as a decode does.
    out.clear();
    return {};
}

}  // namespace morvik::lossless
