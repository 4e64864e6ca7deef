#include "stamping/lossless/LosslessStamp.h"

#include "jpeg/JpegMarkers.h"  // DefaultJfifHeader, JpegSegment
#include "platform/FileSystem.h"  // ReserveForReuse
#include "stamping/Jpeg.h"
#include "stamping/lossless/CoefficientStamp.h"
#include "stamping/lossless/JpegStructure.h"
#include "stamping/lossless/McuPixels.h"
#include "stamping/lossless/MultiPictureIndex.h"
#include "stamping/lossless/TableFit.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <type_traits>
#include <unordered_map>

namespace morvik {

using namespace lossless;

namespace {


constexpr uint8_t kDHT = 0xC4, kSOS = 0xDA, kRST0 = 0xD0;

// ---- Which MCUs ---------------------------------------------------------------------

// Where the coded data of one restart interval (or of the whole scan) lies.
struct CodedSegment {
    int64_t FirstMcu = 0, EndMcu = 0;  // MCUs FirstMcu..EndMcu−1
    size_t Begin = 0;                  // first coded byte
    size_t End = 0;                    // the marker after it (its fill bytes included)
    size_t Next = 0;                   // past that marker when it is a restart marker
};

struct Plan {
    McuRect Touched;  // the MCUs under the stamp
    McuRect Margin;   // with one MCU around them where the upsampler reads across
    // The MCUs coded again, in coding order: those under the stamp and, after each run of
    // them inside a segment, the next MCU, whose DC difference changes (without restart
    // markers a few more after the last run).
    std::vector<int64_t> Recode;
    int64_t AligningMcus = 0;  // of them, those only there to realign the data after the last run
};

Plan MakePlan(const JpegStructure& s, const PixelBox& box, bool aligning)
{
    Plan plan;
    const StampMcus mcus = McusUnder(s, box);
    if (mcus.Touched.Empty())
        return plan;
    plan.Touched = mcus.Touched;
    plan.Margin = mcus.Margin;
    const int64_t total = s.McuCount();
    auto segmentOf = [&s](int64_t mcu) { return s.RestartInterval > 0 ? mcu / s.RestartInterval : 0; };
    for (int row = plan.Touched.Row0; row <= plan.Touched.Row1; ++row) {
        const int64_t first = int64_t(row) * s.McusWide;
        for (int col = plan.Touched.Col0; col <= plan.Touched.Col1; ++col)
            plan.Recode.push_back(first + col);
        const int64_t after = first + plan.Touched.Col1 + 1;
        if (after < total && segmentOf(after) == segmentOf(after - 1))
            plan.Recode.push_back(after);
    }
    std::sort(plan.Recode.begin(), plan.Recode.end());
    plan.Recode.erase(std::unique(plan.Recode.begin(), plan.Recode.end()), plan.Recode.end());
    if (s.RestartInterval == 0 && aligning) {
        // The data after the last run is copied up to the scan's end, which needs it at the
        // source's own bit position (or the MCUs after it decoded to find where the data
        // ends, so that its padding bits are not copied as data). A few more MCUs coded
        // again with their own coefficients give the zero-run codes room to get it there.
        constexpr int64_t kAligningMcus = 8;
        const int64_t last = plan.Recode.back();
        for (int64_t mcu = last + 1; mcu < std::min(total, last + 1 + kAligningMcus); ++mcu) {
            plan.Recode.push_back(mcu);
            ++plan.AligningMcus;
        }
    }
    return plan;
}

// The segments of the scan: one per restart interval, found by the markers between them.
// Where a marker is missing or out of order, the segments before it are given and damage
// says what was wrong.
std::vector<CodedSegment> FindSegments(std::string_view jpeg, const JpegStructure& s, std::string& damage)
{
    const int64_t total = s.McuCount();
    if (s.RestartInterval == 0)
        return {{0, total, s.ScanStart, jpeg.size(), jpeg.size()}};
    const auto* d = reinterpret_cast<const uint8_t*>(jpeg.data());
    const int64_t count = (total + s.RestartInterval - 1) / s.RestartInterval;
    std::vector<CodedSegment> segments;  // grown as markers are found: a header may claim any count
    size_t p = s.ScanStart;
    for (int64_t k = 0; k < count; ++k) {
        const size_t marker = FindMarker(jpeg, p);
        size_t code = marker;
        while (code < jpeg.size() && d[code] == 0xFF)
            ++code;
        const bool last = k + 1 == count;
        const bool restart = code < jpeg.size() && d[code] >= kRST0 && d[code] <= kRST0 + 7;
        if (code >= jpeg.size() || (!last && !restart))
            damage = "the scan is cut short";
        else if (!last && d[code] != kRST0 + k % 8)
            damage = "the restart markers are out of order";
        else if (last && restart)
            damage = "more restart markers than the picture has intervals";
        if (!damage.empty())
            return segments;
        segments.push_back({k * s.RestartInterval, std::min(total, (k + 1) * s.RestartInterval), p, marker,
                            last ? marker : code + 1});
        p = code + 1;
    }
    return segments;
}

// Where an MCU's coded bits start, and the DC predictions at that point.
struct McuMark {
    BitPos Pos;
    std::array<int, 4> Pred{};
};

// ---- The header -------------------------------------------------------------------------

// SOI and the segments up to the SOS; newTables, when given, replaces every DHT segment
// and stands right before the SOS.
void WriteHeader(std::string& out, std::string_view jpeg, const JpegStructure& s, bool keepMetadata,
                 const std::string* newTables)
{
    out += "\xFF\xD8";
    if (!keepMetadata)
        out += DefaultJfifHeader();
    for (const JpegSegment& seg : s.Segments) {
        if (newTables && seg.Marker == kDHT)
            continue;
        if (newTables && seg.Marker == kSOS)
            out += *newTables;
        if (!keepMetadata && !KeptWithoutMetadata(jpeg, seg))
            continue;
        out.append(jpeg.substr(seg.Offset, seg.Length));
    }
}

// ---- The splice -------------------------------------------------------------------------

class Splice {
public:
    Splice(std::string_view jpeg, const JpegStructure& s, const Plan& plan)
        : jpeg_(jpeg), s_(s), plan_(plan), coder_(s), stored_(coder_.Blocks()), fresh_(coder_.Blocks())
    {
        segments_ = FindSegments(jpeg, s, segmentDamage_);
    }

    // Whether damage was met after the MCUs the splice needs (and kept as it stands).
    bool DamageKept() const { return damaged_; }
    // Whether coefficients under the stamp were moved to realign the data after it.
    bool AlignedByChange() const { return alignedByChange_; }

    // Decodes what the splice needs: the margin MCUs' coefficients, the MCUs coded again
    // that are not under the stamp, and where each run of recoded MCUs starts and ends.
    void ReadNeeded()
    {
        struct Event {
            int64_t Mcu;
            bool Mark, Store;
        };
        std::vector<Event> events;
        const McuRect& m = plan_.Margin;
        for (int row = m.Row0; row <= m.Row1; ++row)
            for (int col = m.Col0; col <= m.Col1; ++col)
                events.push_back({int64_t(row) * s_.McusWide + col, false, true});
        for (size_t i = 0; i < plan_.Recode.size(); ++i) {
            const int64_t mcu = plan_.Recode[i];
            if (!IsTouched(mcu))
                events.push_back({mcu, false, true});
            if (i == 0 || plan_.Recode[i - 1] != mcu - 1 || SegmentOf(mcu) != SegmentOf(mcu - 1))
                events.push_back({mcu, true, false});  // a run starts
            const bool runEnds = i + 1 == plan_.Recode.size() || plan_.Recode[i + 1] != mcu + 1 ||
                                 SegmentOf(mcu + 1) != SegmentOf(mcu);
            // Where a run ends, unless a restart marker or, with restart markers, the scan's
            // end follows it (the interval's end is read then).
            if (runEnds && (s_.RestartInterval == 0 ||
                            (SegmentOf(mcu + 1) == SegmentOf(mcu) && mcu + 1 < s_.McuCount())))
                events.push_back({mcu + 1, true, false});
        }
        // By MCU, a position before the decode of the same MCU.
        std::sort(events.begin(), events.end(),
                  [](const Event& a, const Event& b) { return a.Mcu != b.Mcu ? a.Mcu < b.Mcu : a.Mark > b.Mark; });
        size_t storeCount = 0;
        for (const Event& e : events)
            storeCount += e.Store;
        stored_.Reserve(storeCount);

        // Each turn reads the segment of the first event left and takes that event at least:
        // the event lies inside the segment, or is a position at the end of the one segment
        // of a scan without restart markers. A turn that takes none is a slip of ours and
        // ends the stamp rather than turning for ever.
        size_t e = 0;
        while (e < events.size()) {
            const size_t first = e;
            const int64_t segment = SegmentOf(std::min(events[e].Mcu, s_.McuCount() - 1));
            if (size_t(segment) >= segments_.size())
                throw ECorruptScan(segmentDamage_.empty() ? "the scan is cut short" : segmentDamage_);
            const CodedSegment& seg = segments_[size_t(segment)];
            BitReader in(jpeg_, seg.Begin, seg.End);
            std::array<int, 4> pred{};
            int64_t mcu = seg.FirstMcu;
            for (; e < events.size() && events[e].Mcu <= seg.EndMcu; ++e) {
                const Event& ev = events[e];
                if (ev.Mcu == seg.EndMcu && (s_.RestartInterval > 0 || !ev.Mark))
                    break;  // it belongs to the next segment
                if (mcu < ev.Mcu) {
                    coder_.Skip(in, pred, ev.Mcu - mcu);
                    mcu = ev.Mcu;
                }
                if (ev.Mark)
                    marks_[ev.Mcu] = {in.Here(), pred};
                if (ev.Store && mcu == ev.Mcu && mcu < seg.EndMcu) {
                    coder_.Decode(in, pred, stored_.Add(mcu));
                    ++mcu;
                }
            }
            if (s_.RestartInterval > 0) {
                // Where the interval's last MCU ends, so that a rewritten interval takes
                // none of the source's padding bits before its marker.
                if (mcu < seg.EndMcu) {
                    coder_.Skip(in, pred, seg.EndMcu - mcu);
                    mcu = seg.EndMcu;
                }
                segmentEnds_[segment] = in.Here();
            }
            if (e == first)
                throw ELosslessInternal("the read of the scan stopped making progress at MCU " +
                                        std::to_string(events[e].Mcu));
        }
    }

    // Draws the stamp into the pixels of the MCUs under it and encodes them again.
    void Restamp(const RegionPainter& paint)
    {
        fresh_ = RestampMcus(s_, plan_.Touched, plan_.Margin, stored_, paint);
    }

    // Whether the file's own tables have a code for every symbol the recoded MCUs need.
    bool OwnTablesCover() const
    {
        const BlockCoder own(s_, s_.DcTables, s_.AcTables);
        bool covered = true;
        ForEachRecodedBlock([&](const Coef* block, int component, std::array<int, 4>& pred) {
            covered = own.Covers(block, component, pred[size_t(component)]) && covered;
        });
        return covered;
    }

    // Moves the new coefficients of the MCUs under the stamp to the nearest ones the file's
    // own tables code (TableFit.h), counting the DC difference of the kept MCU after each
    // run, whose coefficients stay. False when a table has no end-of-block code, no DC
    // value fits, or the nearest codable stamp is too far from the stamp as drawn (tables
    // fitted to a smooth photo may have no codes for any large value: sharp glyphs turn to
    // blocks): the scan then needs new tables, and the stamp goes into it as drawn.
    bool FitToOwnTables()
    {
        McuStore drawn = fresh_;
        if (FitInPlace() && OwnTablesCover())
            return true;
        fresh_ = std::move(drawn);
        return false;
    }

    bool FitInPlace()
    {
        const BlockCoder own(s_, s_.DcTables, s_.AcTables);
        for (size_t c = 0; c < s_.Components.size(); ++c)
            if (own.Ac(int(c)).Length[0] == 0)
                return false;
        std::array<int, 4> pred{};
        double change = 0;  // the squared pixel differences the fitting made, over all samples
        size_t fitted = 0;      // blocks
        for (size_t i = 0; i < plan_.Recode.size(); ++i) {
            const int64_t mcu = plan_.Recode[i];
            if (auto mark = marks_.find(mcu); mark != marks_.end())
                pred = mark->second.Pred;
            if (!IsTouched(mcu)) {
                const Coef* kept = stored_.Find(mcu);
                if (kept == nullptr)
                    throw ELosslessInternal("a kept MCU after the stamp was not read");
                for (size_t b = 0; b < coder_.Blocks(); ++b)
                    pred[size_t(coder_.ComponentOf(b))] = kept[b * kBlockSize];
                continue;
            }
            Coef* blocks = fresh_.Find(mcu);
            if (blocks == nullptr)
                throw ELosslessInternal("an MCU under the stamp has no new coefficients");
            // The kept MCU coded right after this one, whose DC differences change with it.
            const bool keptFollows = i + 1 < plan_.Recode.size() && plan_.Recode[i + 1] == mcu + 1 &&
                                     !IsTouched(mcu + 1) && SegmentOf(mcu + 1) == SegmentOf(mcu);
            const Coef* follower = keptFollows ? stored_.Find(mcu + 1) : nullptr;
            for (size_t b = 0; b < coder_.Blocks(); ++b) {
                const int c = coder_.ComponentOf(b);
                Coef* block = blocks + b * kBlockSize;
                std::optional<int> next;
                if (follower && LastBlockOf(c) == b)
                    next = follower[FirstBlockOf(c) * kBlockSize];
                const std::optional<int> dc = NearestCodableDc(block[0], pred[size_t(c)], next, own.Dc(c));
                if (!dc)
                    return false;
                const auto& quant = s_.Quant[size_t(s_.Components[size_t(c)].QuantSlot)];
                const double dcChange = double(quant[0]) * (*dc - block[0]);
                block[0] = Coef(*dc);
                pred[size_t(c)] = *dc;
                change += dcChange * dcChange + FitAcToTable(block, own.Ac(c), quant);
                ++fitted;
            }
        }
        return FitPsnr(change, fitted) >= kLeastFitPsnr;
    }

    // The file with the recoded MCUs spliced into the scan.
    void WriteSpliced(std::string& out, bool keepMetadata) const
    {
        WriteHeader(out, jpeg_, s_, keepMetadata, nullptr);
        const BlockCoder own(s_, s_.DcTables, s_.AcTables);
        size_t copied = s_.ScanStart;
        size_t r = 0;
        while (r < plan_.Recode.size()) {
            const CodedSegment& seg = segments_[size_t(SegmentOf(plan_.Recode[r]))];
            out.append(jpeg_.substr(copied, seg.Begin - copied));
            size_t end = SpliceSegment(out, seg, own, r);
            if (s_.RestartInterval > 0) {
                out.append(jpeg_.substr(seg.End, seg.Next - seg.End));  // its restart marker
                end = seg.Next;
            }
            copied = end;
        }
        if (!segmentDamage_.empty() || copied >= jpeg_.size())
            damaged_ = true;  // what follows is the source's as it stands
        else
            ExpectEndOfImage(s_.RestartInterval > 0 ? segments_.back().End : copied);
        out.append(jpeg_.substr(std::min(copied, jpeg_.size())));
    }

    // The file with the whole scan coded again, from the source's coefficients and the
    // new ones, with tables made for that data.
    void WriteNewTables(std::string& out, bool keepMetadata) const
    {
        if (!segmentDamage_.empty())
            throw ECorruptScan(segmentDamage_);
        std::array<std::array<uint32_t, 256>, 4> dcCounts{}, acCounts{};
        size_t scanEnd = 0;
        ForEachBlockOfScan([&](const Coef* block, int component, std::array<int, 4>& pred) {
            const ScanComponent& c = s_.Components[size_t(component)];
            CodeBlock(block, pred[size_t(component)], [&](bool isAc, int symbol, uint32_t, int) {
                ++(isAc ? acCounts[size_t(c.AcSlot & 3)] : dcCounts[size_t(c.DcSlot & 3)])[size_t(symbol)];
            });
        }, nullptr, &scanEnd);
        std::array<HuffmanTable, 4> dcTables, acTables;
        std::array<bool, 8> made{};
        std::vector<DhtEntry> entries;
        for (const ScanComponent& c : s_.Components) {
            const size_t dc = size_t(c.DcSlot & 3), ac = size_t(c.AcSlot & 3);
            if (!made[dc]) {
                dcTables[dc] = OptimalTable(dcCounts[dc]);
                entries.push_back({0, int(dc), &dcTables[dc]});
                made[dc] = true;
            }
            if (!made[4 + ac]) {
                acTables[ac] = OptimalTable(acCounts[ac]);
                entries.push_back({1, int(ac), &acTables[ac]});
                made[4 + ac] = true;
            }
        }
        const std::string dht = DhtSegment(entries);
        WriteHeader(out, jpeg_, s_, keepMetadata, &dht);
        const BlockCoder fresh(s_, dcTables, acTables);
        std::unique_ptr<BitWriter> writer;
        ForEachBlockOfScan([&](const Coef* block, int component, std::array<int, 4>& pred) {
            fresh.Code(block, component, pred[size_t(component)], *writer);
        }, [&](size_t k) {
            if (writer) {
                writer->Finish();
                writer.reset();
                out += '\xFF';
                out += char(kRST0 + (k - 1) % 8);
            }
            writer = std::make_unique<BitWriter>(out);
        }, nullptr);
        writer->Finish();
        writer.reset();
        ExpectEndOfImage(scanEnd);
        out.append(jpeg_.substr(scanEnd));
    }

private:
    // What follows the scan is the file's end: a later frame, table or scan would be read
    // against coded data it was not written for.
    void ExpectEndOfImage(size_t at) const
    {
        while (at < jpeg_.size() && uint8_t(jpeg_[at]) == 0xFF && at + 1 < jpeg_.size() && uint8_t(jpeg_[at + 1]) == 0xFF)
            ++at;
        if (at >= jpeg_.size() || jpeg_.compare(at, 2, "\xFF\xD9") != 0) {
            throw ECorruptScan("the scan is followed by more than the end of the picture");
        }
    }

    size_t FirstBlockOf(int component) const
    {
        size_t b = 0;
        while (b + 1 < coder_.Blocks() && coder_.ComponentOf(b) != component)
            ++b;
        return b;
    }
    size_t LastBlockOf(int component) const
    {
        size_t b = coder_.Blocks() - 1;
        while (b > 0 && coder_.ComponentOf(b) != component)
            --b;
        return b;
    }

    int64_t SegmentOf(int64_t mcu) const { return s_.RestartInterval > 0 ? mcu / s_.RestartInterval : 0; }
    bool IsTouched(int64_t mcu) const
    {
        return plan_.Touched.Contains(int(mcu % s_.McusWide), int(mcu / s_.McusWide));
    }
    const Coef* CoefficientsOf(int64_t mcu) const
    {
        if (const Coef* c = fresh_.Find(mcu))
            return c;
        return stored_.Find(mcu);
    }

    // Runs visit(block, component, predictions) over the blocks of every recoded MCU in
    // coding order, the predictions of each run starting as the source's.
    template <class Visit>
    void ForEachRecodedBlock(Visit&& visit) const
    {
        std::array<int, 4> pred{};
        for (size_t i = 0; i < plan_.Recode.size(); ++i) {
            const int64_t mcu = plan_.Recode[i];
            if (auto mark = marks_.find(mcu); mark != marks_.end())
                pred = mark->second.Pred;
            const Coef* blocks = CoefficientsOf(mcu);
            for (size_t b = 0; b < coder_.Blocks(); ++b)
                visit(blocks + b * kBlockSize, coder_.ComponentOf(b), pred);
        }
    }

    // Writes one segment's coded data with its recoded runs (from Recode[r] on, advancing
    // r past them); returns where the data after it continues in the source.
    size_t SpliceSegment(std::string& out, const CodedSegment& seg, const BlockCoder& own, size_t& r) const
    {
        const int64_t segment = SegmentOf(plan_.Recode[r]);
        const BitPos start = MarkOf(plan_.Recode[r]).Pos;
        out.append(jpeg_.substr(seg.Begin, start.Byte - seg.Begin));
        BitWriter w(out);
        if (start.Bit > 0)
            w.Put(uint32_t(uint8_t(jpeg_[start.Byte])) >> (8 - start.Bit), start.Bit);
        size_t end = seg.End;
        while (r < plan_.Recode.size() && SegmentOf(plan_.Recode[r]) == segment) {
            // The run Recode[r..] of MCUs first..mcu−1.
            const int64_t first = plan_.Recode[r];
            int64_t mcu = first;
            for (; r < plan_.Recode.size() && plan_.Recode[r] == mcu && SegmentOf(mcu) == segment; ++r)
                ++mcu;
            const bool lastRun = r == plan_.Recode.size() || SegmentOf(plan_.Recode[r]) != segment;
            std::array<int, 4> pred = MarkOf(first).Pred;
            std::vector<uint8_t> zeroRuns;
            std::vector<AligningChange> aligning;
            if (mcu < seg.EndMcu) {
                const int missing = MissingBits(first, mcu, pred, w.Pending(), MarkOf(mcu).Pos.Bit, own);
                zeroRuns = AligningZeroRuns(first, mcu, missing, own);
                if (lastRun && missing != 0 && zeroRuns.empty() && s_.RestartInterval == 0 &&
                    (s_.McuCount() - mcu) * int64_t(coder_.Blocks()) >= kLongWalkBlocks)
                    aligning = FindAligningChanges(first, mcu, missing, own);
            }
            size_t k = 0;
            for (int64_t m = first; m < mcu; ++m) {
                const Coef* blocks = CoefficientsOf(m);
                for (size_t b = 0; b < coder_.Blocks(); ++b, ++k) {
                    const int c = coder_.ComponentOf(b);
                    const Coef* block = blocks + b * kBlockSize;
                    std::array<Coef, kBlockSize> changed;
                    for (const AligningChange& change : aligning)
                        if (change.Block == k) {
                            std::copy(block, block + kBlockSize, changed.begin());
                            changed[kZigzagToNatural[size_t(change.Position)]] = change.Value;
                            block = changed.data();
                            alignedByChange_ = true;
                        }
                    own.Code(block, c, pred[size_t(c)], w, zeroRuns.empty() ? 0 : zeroRuns[k]);
                }
            }
            if (!lastRun) {
                // The MCUs between two runs.
                CopyBits(jpeg_, MarkOf(mcu).Pos, MarkOf(plan_.Recode[r]).Pos, w);
            } else if (mcu < seg.EndMcu) {
                if (s_.RestartInterval > 0) {
                    const auto segmentEnd = segmentEnds_.find(segment);
                    if (segmentEnd == segmentEnds_.end())
                        throw ELosslessInternal("the end of a restart interval was not read");
                    CopyBits(jpeg_, MarkOf(mcu).Pos, segmentEnd->second, w);
                } else {
                    end = CopyRestOfScan(MarkOf(mcu).Pos, mcu, w);
                }
            } else if (s_.RestartInterval == 0) {
                end = FindMarker(jpeg_, MarkOf(mcu).Pos.Byte);  // only the source's padding bits are left
            }
        }
        w.Finish();
        return end;
    }

    // Copies the scan's coded data from the MCU `mcu` at `from` to its end; returns where
    // the marker after it lies. The source's padding bits must not become data: padding
    // again after them could make a whole byte of padding, which decoders count as
    // extraneous. When the copy keeps the source's byte alignment they are copied as they
    // stand (and stay padding); otherwise the MCUs left are skipped to find where the data
    // ends. Damage on the way is kept as it stands.
    size_t CopyRestOfScan(BitPos from, int64_t mcu, BitWriter& w) const
    {
        if (w.Pending() == from.Bit)
            return CopyBitsToMarker(jpeg_, from, w);
        BitPos last;
        try {
            BitReader in(jpeg_, from.Byte, jpeg_.size());
            in.Fill();
            in.Drop(from.Bit);
            std::array<int, 4> pred{};
            if (mcu < s_.McuCount())
                coder_.Skip(in, pred, s_.McuCount() - mcu);
            last = in.Here();
        } catch (const ECorruptScan&) {
            // The data after the stamp is damaged: it goes on as the source has it.
            damaged_ = true;
            return CopyBitsToMarker(jpeg_, from, w);
        }
        CopyBits(jpeg_, from, last, w);
        return FindMarker(jpeg_, last.Byte);
    }

    const McuMark& MarkOf(int64_t mcu) const
    {
        const auto mark = marks_.find(mcu);
        if (mark == marks_.end())
            throw ELosslessInternal("no position was read for MCU " + std::to_string(mcu));
        return mark->second;
    }

    // The bits (0..7) that the recoded MCUs first..end−1, begun `pending` bits into a byte,
    // lack to end `target` bits into one, where the source's data after them stands.
    int MissingBits(int64_t first, int64_t end, std::array<int, 4> pred, int pending, int target,
                    const BlockCoder& own) const
    {
        int64_t bits = pending;
        for (int64_t m = first; m < end; ++m) {
            const Coef* blocks = CoefficientsOf(m);
            for (size_t b = 0; b < coder_.Blocks(); ++b) {
                const int c = coder_.ComponentOf(b);
                bits += own.Length(blocks + b * kBlockSize, c, pred[size_t(c)]);
            }
        }
        return int(((target - bits) % 8 + 8) % 8);
    }

    // Sixteen-zero codes for the blocks of the recoded MCUs first..end−1 that make up the
    // `missing` bits, so that the source's data after the run is then copied byte for byte
    // instead of bit by bit. Each code takes the place of sixteen of a block's trailing
    // zeros, so the blocks keep their coefficients. Empty when nothing is missing or the
    // codes the blocks have room for cannot make up the bits.
    std::vector<uint8_t> AligningZeroRuns(int64_t first, int64_t end, int missing, const BlockCoder& own) const
    {
        if (missing == 0)
            return {};
        std::vector<uint8_t> room;  // by block of the run
        std::array<int, 4> componentRoom{};  // more than 7 codes are never needed
        for (int64_t m = first; m < end; ++m) {
            const Coef* blocks = CoefficientsOf(m);
            for (size_t b = 0; b < coder_.Blocks(); ++b) {
                const int c = coder_.ComponentOf(b);
                room.push_back(uint8_t(own.ZeroRunLength(c) > 0 ? ZeroRunRoom(blocks + b * kBlockSize) : 0));
                componentRoom[size_t(c)] = std::min(7, componentRoom[size_t(c)] + room.back());
            }
        }
        // The counts by component that add the fewest bits, tried all (at most 8 × 8 × 8 × 8).
        const size_t components = s_.Components.size();
        std::array<int, 4> count{}, best{};
        int bestBits = -1;
        for (;;) {
            int added = 0;
            for (size_t c = 0; c < components; ++c)
                added += count[c] * own.ZeroRunLength(int(c));
            if (added % 8 == missing && (bestBits < 0 || added < bestBits)) {
                bestBits = added;
                best = count;
            }
            size_t c = 0;
            while (c < components && ++count[c] > componentRoom[c])
                count[c++] = 0;
            if (c == components)
                break;
        }
        if (bestBits < 0)
            return {};
        std::vector<uint8_t> zeroRuns(room.size());
        for (size_t k = 0; k < room.size(); ++k) {
            const size_t c = size_t(coder_.ComponentOf(k % coder_.Blocks()));
            zeroRuns[k] = uint8_t(std::min<int>(room[k], best[c]));
            best[c] -= zeroRuns[k];
        }
        return zeroRuns;
    }

    // Where no sixteen-zero codes can realign the data after the last run, the walk to the
    // scan's end would find where it ends. With this many blocks left after the run the
    // walk costs more than the rest of the stamp, and a coefficient under the stamp moved
    // by one step (or two of them) realigns the data instead.
    static constexpr int64_t kLongWalkBlocks = 16384;

    struct AligningChange {
        size_t Block = 0;  // among the run's blocks, in coding order
        int Position = 0;  // of the coefficient, in coding order
        Coef Value = 0;    // its new value
    };

    // One or two coefficients of blocks under the stamp moved by one step, up or down, so
    // that the run's codes grow by `missing` bits (mod 8) and stay codable with the file's
    // own tables: a block's pixels change by one step of one of its frequencies, where the
    // stamp drew new pixels anyway. Two are taken (in two blocks) only where no single one
    // does it; of a block's choices for the same bits, the highest frequency. Empty when
    // none do.
    std::vector<AligningChange> FindAligningChanges(int64_t first, int64_t end, int missing,
                                                    const BlockCoder& own) const
    {
        // By bits added (mod 8), the change a block under the stamp offers for them.
        using Choices = std::array<std::optional<AligningChange>, 8>;
        std::vector<Choices> blocksSoFar;
        size_t k = 0;
        for (int64_t m = first; m < end; ++m) {
            if (!IsTouched(m)) {
                k += coder_.Blocks();
                continue;
            }
            const Coef* blocks = CoefficientsOf(m);
            for (size_t b = 0; b < coder_.Blocks(); ++b, ++k) {
                const int c = coder_.ComponentOf(b);
                const HuffmanEncoder& ac = own.Ac(c);
                // The AC codes' bits (the DC difference stays as it is); -1 when one has no code.
                auto acBits = [&](const Coef* block) {
                    int64_t bits = 0;
                    int pred = block[0];
                    CodeBlock(block, pred, [&](bool isAc, int symbol, uint32_t, int count) {
                        if (!isAc)
                            return;
                        if (bits < 0 || ac.Length[size_t(symbol)] == 0)
                            bits = -1;
                        else
                            bits += ac.Length[size_t(symbol)] + count;
                    });
                    return bits;
                };
                std::array<Coef, kBlockSize> tried;
                std::copy(blocks + b * kBlockSize, blocks + (b + 1) * kBlockSize, tried.begin());
                const int64_t before = acBits(tried.data());
                if (before < 0)
                    continue;
                Choices choices;
                for (int z = 63; z > 0; --z) {
                    Coef& v = tried[kZigzagToNatural[size_t(z)]];
                    const Coef was = v;
                    for (const int step : {1, -1}) {
                        if (std::abs(was + step) > 1023)
                            continue;  // past what a baseline scan codes
                        v = Coef(was + step);
                        const int64_t after = acBits(tried.data());
                        v = was;
                        const size_t added = size_t(((after - before) % 8 + 8) % 8);
                        if (after >= 0 && added != 0 && !choices[added])
                            choices[added] = AligningChange{k, z, Coef(was + step)};
                    }
                }
                if (choices[size_t(missing)])
                    return {*choices[size_t(missing)]};
                for (const Choices& earlier : blocksSoFar)
                    for (size_t added = 1; added < 8; ++added) {
                        const size_t rest = (size_t(missing) + 8 - added) % 8;
                        if (earlier[added] && choices[rest])
                            return {*earlier[added], *choices[rest]};
                    }
                blocksSoFar.push_back(choices);
            }
        }
        return {};
    }

    // Decodes the whole scan and runs visit over its blocks, the MCUs under the stamp
    // with their new coefficients; startSegment(k) runs before segment k. scanEnd gets
    // where the data after the scan starts.
    template <class Visit, class Start>
    void ForEachBlockOfScan(Visit&& visit, Start&& startSegment, size_t* scanEnd) const
    {
        std::vector<Coef> buffer(coder_.Blocks() * kBlockSize);
        std::array<int, 4> sourcePred{}, newPred{};
        for (size_t k = 0; k < segments_.size(); ++k) {
            const CodedSegment& seg = segments_[k];
            if constexpr (!std::is_same_v<Start, std::nullptr_t>)
                startSegment(k);
            BitReader in(jpeg_, seg.Begin, seg.End);
            sourcePred.fill(0);
            newPred.fill(0);
            for (int64_t mcu = seg.FirstMcu; mcu < seg.EndMcu; ++mcu) {
                coder_.Decode(in, sourcePred, buffer.data());
                const Coef* blocks = fresh_.Find(mcu);
                if (blocks == nullptr)
                    blocks = buffer.data();
                for (size_t b = 0; b < coder_.Blocks(); ++b)
                    visit(blocks + b * kBlockSize, coder_.ComponentOf(b), newPred);
            }
            if (scanEnd && k + 1 == segments_.size()) {
                *scanEnd = s_.RestartInterval > 0 ? seg.End : FindMarker(jpeg_, in.Here().Byte);
                if (*scanEnd >= jpeg_.size())
                    throw ECorruptScan("the scan is cut short");
            }
        }
    }

    std::string_view jpeg_;
    const JpegStructure& s_;
    const Plan& plan_;
    McuDecoder coder_;
    std::vector<CodedSegment> segments_;
    McuStore stored_, fresh_;
    std::unordered_map<int64_t, McuMark> marks_;
    std::unordered_map<int64_t, BitPos> segmentEnds_;  // by restart interval
    std::string segmentDamage_;  // what was wrong where the restart markers stop being found
    mutable bool damaged_ = false;
    mutable bool alignedByChange_ = false;
};

}  // namespace

std::string LosslessOutcome::Report() const
{
    const char* damage = Damage == SourceDamage::AfterStamp ? ", damaged data after the stamp kept" : "";
    switch (Way) {
    case LosslessWay::Lossless:
        return std::string("lossless") + damage;
    case LosslessWay::LosslessNewTables:
        return std::string("lossless, new Huffman tables") + damage;
    case LosslessWay::LosslessRecoded:
        return "lossless, picture data coded again";
    case LosslessWay::ReEncode:
        break;
    }
    return "re-encoded: " + Reason;
}

namespace {

// Every block takes two bits at least (a DC and an end-of-block code): a frame larger than
// the coded data could fill is a file cut short or a bomb, and nothing is allocated or
// drawn for it here.
bool DataFillsFrame(std::string_view jpeg, const JpegStructure& s)
{
    const uint64_t leastBits = uint64_t(s.McuCount()) * s.McuBlocks.size() * 2;
    return leastBits <= uint64_t(jpeg.size() - std::min(s.ScanStart, jpeg.size())) * 8;
}

// The splice over a file whose structure is read: `box` holds every pixel `paint` may change.
// The stamped file is written into `storage`.
LosslessOutcome Stamp(std::string_view jpeg, const JpegStructure& s, const PixelBox& box, const RegionPainter& paint,
                      bool keepMetadata, std::string storage)
{
    LosslessOutcome outcome;
    if (s.ViaCoefficients) {
        outcome.Jpeg = std::move(storage);
        const CoefficientStampResult result = StampCoefficients(jpeg, box, paint, keepMetadata, outcome.Jpeg);
        outcome.Reason = result.Reason;
        if (!outcome.Reason.empty())
            outcome.Jpeg.clear();
        else if (result.Spliced)
            outcome.Way = LosslessWay::Lossless;
        else
            outcome.Way = LosslessWay::LosslessRecoded;
        outcome.StampFitted = result.StampFitted;
        outcome.StampAligned = result.StampAligned;
        return outcome;
    }
    if (!s.ReEncodeReason.empty()) {
        outcome.Reason = s.ReEncodeReason;
        return outcome;
    }
    if (!DataFillsFrame(jpeg, s)) {
        outcome.Reason = kFrameNotFilled;
        return outcome;
    }
    Plan plan = MakePlan(s, box, true);
    std::string& out = outcome.Jpeg = std::move(storage);
    out.clear();
    ReserveForReuse(out, LosslessRoom(jpeg.size()));
    outcome.Way = LosslessWay::Lossless;
    if (plan.Recode.empty()) {
        WriteHeader(out, jpeg, s, keepMetadata, nullptr);
        out.append(jpeg.substr(s.ScanStart));
        return outcome;
    }
    std::optional<Splice> reading;
    reading.emplace(jpeg, s, plan);
    try {
        reading->ReadNeeded();
    } catch (const ECorruptScan&) {
        if (plan.AligningMcus == 0)
            throw;
        // The damage lies in the MCUs read only to realign the data after the stamp: the
        // stamp goes on without them, the damage kept as it stands.
        reading.reset();
        plan = MakePlan(s, box, false);
        reading.emplace(jpeg, s, plan);
        reading->ReadNeeded();
    }
    Splice& splice = *reading;
    splice.Restamp(paint);
    const bool covered = splice.OwnTablesCover();
    if (covered || splice.FitToOwnTables()) {
        outcome.StampFitted = !covered;
        splice.WriteSpliced(out, keepMetadata);
    } else {
        splice.WriteNewTables(out, keepMetadata);
        outcome.Way = LosslessWay::LosslessNewTables;
    }
    outcome.StampAligned = splice.AlignedByChange();
    if (splice.DamageKept())
        outcome.Damage = SourceDamage::AfterStamp;
    CorrectMultiPictureIndex(jpeg, out);
    return outcome;
}

// Runs a stamp: damage met where the splice reads is the file's way to the decode/encode
// path; a standard exception from inside the splice is a slip of ours, made the file's
// own typed failure so that it never passes a batch that goes on after failures.
template <class Run>
LosslessOutcome Guarded(Run&& run)
{
    try {
        return run();
    } catch (const ECorruptScan& e) {
        LosslessOutcome outcome;
        outcome.Reason = "damaged data: " + e.Detail();
        return outcome;
    } catch (const Exception&) {
        throw;  // typed already: a header libjpeg refuses, a picture too large
    } catch (const std::bad_alloc&) {
        throw;  // the batch reports it as the file's lack of memory
    } catch (const std::exception& e) {
        throw ELosslessInternal(e.what());
    }
}

}  // namespace

size_t LosslessRoom(size_t sourceSize) { return sourceSize + sourceSize / 64 + 4096; }

LosslessOutcome StampLossless(std::string_view jpeg, const LosslessStampRequest& request)
{
    return Guarded([&] {
        return Stamp(jpeg, ReadJpegStructure(jpeg), request.Box, request.Paint, request.KeepMetadata, {});
    });
}

LosslessOutcome StampLossless(std::string_view jpeg, std::string_view text, const StampLook& look, int orientation,
                              bool keepMetadata, std::string storage)
{
    return Guarded([&] {
        const JpegStructure s = ReadJpegStructure(jpeg);
        if (!s.ViaCoefficients && s.ReEncodeReason.empty() && !DataFillsFrame(jpeg, s)) {
            LosslessOutcome outcome;
            outcome.Reason = kFrameNotFilled;
            return outcome;  // before the stamp is laid out over a size the file only claims
        }
        if (s.ViaCoefficients)
            CheckPictureFits(s.Width, s.Height);  // its coefficients are all read
        const StampPlacement placement = PlaceStamp(text, look, s.Width, s.Height, orientation);
        return Stamp(jpeg, s, placement.Bounds, [&](Picture& region, int originX, int originY) {
            DrawPlacedStamp(region, originX, originY, text, look, placement);
        }, keepMetadata, std::move(storage));
    });
}

}  // namespace morvik
