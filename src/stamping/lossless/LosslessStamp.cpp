#include "stamping/lossless/LosslessStamp.h"

#include "jpeg/JpegMarkers.h"  // DefaultJfifHeader
#include "platform/FileSystem.h"  // ReserveForReuse
#include "stamping/Jpeg.h"
#include "stamping/lossless/JpegStructure.h"
#include "stamping/lossless/McuPixels.h"

#include <algorithm>
#include <memory>
#include <type_traits>
#include <unordered_map>

namespace morvik {

using namespace lossless;

namespace {

constexpr uint8_t kDHT = 0xC4, kSOS = 0xDA, kAPP0 = 0xE0, kAPP2 = 0xE2,
                  kAPP15 = 0xEF, kCOM = 0xFE, kRST0 = 0xD0;

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
    // them inside a segment, the next MCU, whose DC difference changes.
    std::vector<int64_t> Recode;
};

Plan MakePlan(const JpegStructure& s, const PixelBox& box)
{
    Plan plan;
    const int left = std::max(box.Left, 0), top = std::max(box.Top, 0);
    const int right = std::min(box.Right, s.Width), bottom = std::min(box.Bottom, s.Height);
    if (right <= left || bottom <= top)
        return plan;
    plan.Touched = {left / s.McuWidth, top / s.McuHeight, (right - 1) / s.McuWidth, (bottom - 1) / s.McuHeight};
    bool acrossX = false, acrossY = false;
    for (const ScanComponent& a : s.Components)
        for (const ScanComponent& b : s.Components) {
            acrossX = acrossX || a.H != b.H;
            acrossY = acrossY || a.V != b.V;
        }
    plan.Margin = {std::max(plan.Touched.Col0 - int(acrossX), 0), std::max(plan.Touched.Row0 - int(acrossY), 0),
                   std::min(plan.Touched.Col1 + int(acrossX), s.McusWide - 1),
                   std::min(plan.Touched.Row1 + int(acrossY), s.McusHigh - 1)};
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
    return plan;
}

// The segments of the scan: one per restart interval, found by the markers between them.
std::vector<CodedSegment> FindSegments(std::string_view jpeg, const JpegStructure& s)
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
        if (code >= jpeg.size())
            throw ECorruptScan("the scan is cut short");
        const bool last = k + 1 == count;
        const bool restart = d[code] >= kRST0 && d[code] <= kRST0 + 7;
        if (!last && d[code] != kRST0 + k % 8)
            throw ECorruptScan(restart ? "the restart markers are out of order" : "the scan is cut short");
        if (last && restart)
            throw ECorruptScan("more restart markers than the picture has intervals");
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

// The marker code of a segment and where its content starts (past the length).
std::pair<uint8_t, size_t> MarkerAndBody(std::string_view jpeg, const MarkerSegment& seg)
{
    size_t i = seg.Offset;
    while (i < seg.Offset + seg.Length && uint8_t(jpeg[i]) == 0xFF)
        ++i;
    return {seg.Marker, i + 3};
}

// Whether a decoder needs the segment, or it is the ICC profile, which colour-managed
// viewers need to show the colours right.
bool KeptWithoutMetadata(std::string_view jpeg, const MarkerSegment& seg)
{
    if (seg.Marker == 0 || seg.Marker == kCOM)
        return false;
    if (seg.Marker < kAPP0 || seg.Marker > kAPP15)
        return true;
    const auto [marker, body] = MarkerAndBody(jpeg, seg);
    static constexpr std::string_view kIcc("ICC_PROFILE\0", 12);
    return marker == kAPP2 && body + kIcc.size() <= seg.Offset + seg.Length && jpeg.substr(body, kIcc.size()) == kIcc;
}

// SOI and the segments up to the SOS; newTables, when given, replaces every DHT segment
// and stands right before the SOS.
void WriteHeader(std::string& out, std::string_view jpeg, const JpegStructure& s, bool keepMetadata,
                 const std::string* newTables)
{
    out += "\xFF\xD8";
    if (!keepMetadata)
        out += DefaultJfifHeader();
    for (const MarkerSegment& seg : s.Segments) {
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
        segments_ = FindSegments(jpeg, s);
    }

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
            // Where a run ends, unless a restart marker follows it.
            if (runEnds && (s_.RestartInterval == 0 || SegmentOf(mcu + 1) == SegmentOf(mcu)))
                events.push_back({mcu + 1, true, false});
        }
        // By MCU, a position before the decode of the same MCU.
        std::sort(events.begin(), events.end(),
                  [](const Event& a, const Event& b) { return a.Mcu != b.Mcu ? a.Mcu < b.Mcu : a.Mark > b.Mark; });
        size_t storeCount = 0;
        for (const Event& e : events)
            storeCount += e.Store;
        stored_.Reserve(storeCount);

        size_t e = 0;
        while (e < events.size()) {
            const int64_t segment = SegmentOf(std::min(events[e].Mcu, s_.McuCount() - 1));
            const CodedSegment& seg = segments_[size_t(segment)];
            BitReader in(jpeg_, seg.Begin, seg.End);
            std::array<int, 4> pred{};
            int64_t mcu = seg.FirstMcu;
            for (; e < events.size() && events[e].Mcu <= seg.EndMcu; ++e) {
                const Event& ev = events[e];
                if (ev.Mcu == seg.EndMcu && (s_.RestartInterval > 0 || !ev.Mark))
                    break;  // it belongs to the next segment
                for (; mcu < ev.Mcu; ++mcu)
                    coder_.Decode(in, pred, nullptr);
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
                for (; mcu < seg.EndMcu; ++mcu)
                    coder_.Decode(in, pred, nullptr);
                segmentEnds_[segment] = in.Here();
            }
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
        ExpectEndOfImage(s_.RestartInterval > 0 ? segments_.back().End : copied);
        out.append(jpeg_.substr(copied));
    }

    // The file with the whole scan coded again, from the source's coefficients and the
    // new ones, with tables made for that data.
    void WriteNewTables(std::string& out, bool keepMetadata) const
    {
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
            if (s_.RestartInterval > 0 || at + 1 >= jpeg_.size())
                throw ECorruptScan("the scan is cut short");
            throw ECorruptScan("the scan is followed by more than the end of the picture");
        }
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
        const BitPos start = marks_.at(plan_.Recode[r]).Pos;
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
            std::array<int, 4> pred = marks_.at(first).Pred;
            const std::vector<uint8_t> zeroRuns =
                mcu < seg.EndMcu ? AligningZeroRuns(first, mcu, pred, w.Pending(), marks_.at(mcu).Pos.Bit, own)
                                 : std::vector<uint8_t>();
            size_t k = 0;
            for (int64_t m = first; m < mcu; ++m) {
                const Coef* blocks = CoefficientsOf(m);
                for (size_t b = 0; b < coder_.Blocks(); ++b, ++k) {
                    const int c = coder_.ComponentOf(b);
                    own.Code(blocks + b * kBlockSize, c, pred[size_t(c)], w, zeroRuns.empty() ? 0 : zeroRuns[k]);
                }
            }
            if (r < plan_.Recode.size() && SegmentOf(plan_.Recode[r]) == segment) {
                // The MCUs between two runs.
                CopyBits(jpeg_, marks_.at(mcu).Pos, marks_.at(plan_.Recode[r]).Pos, w);
            } else if (mcu < seg.EndMcu) {
                if (s_.RestartInterval > 0)
                    CopyBits(jpeg_, marks_.at(mcu).Pos, segmentEnds_.at(segment), w);
                else
                    end = CopyBitsToMarker(jpeg_, marks_.at(mcu).Pos, w);
            } else if (s_.RestartInterval == 0) {
                end = FindMarker(jpeg_, marks_.at(mcu).Pos.Byte);  // only the source's padding bits are left
            }
        }
        w.Finish();
        if (end >= jpeg_.size() && s_.RestartInterval == 0)
            throw ECorruptScan("the scan is cut short");
        return end;
    }

    // Sixteen-zero codes for the blocks of the recoded MCUs first..end−1, so that the run,
    // begun `pending` bits into a byte, ends `target` bits into one, where the source's data
    // after it stands: that data is then copied byte for byte instead of bit by bit. Each
    // code takes the place of sixteen of a block's trailing zeros, so the blocks keep their
    // coefficients. Empty when the codes the blocks have room for cannot make up the bits.
    std::vector<uint8_t> AligningZeroRuns(int64_t first, int64_t end, std::array<int, 4> pred, int pending,
                                          int target, const BlockCoder& own) const
    {
        int64_t bits = pending;
        std::vector<uint8_t> room;  // by block of the run
        std::array<int, 4> componentRoom{};  // more than 7 codes are never needed
        for (int64_t m = first; m < end; ++m) {
            const Coef* blocks = CoefficientsOf(m);
            for (size_t b = 0; b < coder_.Blocks(); ++b) {
                const int c = coder_.ComponentOf(b);
                bits += own.Length(blocks + b * kBlockSize, c, pred[size_t(c)]);
                room.push_back(uint8_t(own.ZeroRunLength(c) > 0 ? ZeroRunRoom(blocks + b * kBlockSize) : 0));
                componentRoom[size_t(c)] = std::min(7, componentRoom[size_t(c)] + room.back());
            }
        }
        const int missing = int(((target - bits) % 8 + 8) % 8);
        if (missing == 0)
            return {};
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
};

}  // namespace

std::string LosslessOutcome::Report() const
{
    switch (Way) {
    case LosslessWay::Lossless:
        return "lossless";
    case LosslessWay::LosslessNewTables:
        return "lossless, new Huffman tables";
    case LosslessWay::ReEncode:
        break;
    }
    return "re-encoded: " + Reason;
}

namespace {

// The splice over a file whose structure is read: `box` holds every pixel `paint` may change.
// The stamped file is written into `storage`.
LosslessOutcome Stamp(std::string_view jpeg, const JpegStructure& s, const PixelBox& box, const RegionPainter& paint,
                      bool keepMetadata, std::string storage)
{
    LosslessOutcome outcome;
    if (!s.ReEncodeReason.empty()) {
        outcome.Reason = s.ReEncodeReason;
        return outcome;
    }
    const Plan plan = MakePlan(s, box);
    std::string& out = outcome.Jpeg = std::move(storage);
    out.clear();
    ReserveForReuse(out, LosslessRoom(jpeg.size()));
    outcome.Way = LosslessWay::Lossless;
    if (plan.Recode.empty()) {
        WriteHeader(out, jpeg, s, keepMetadata, nullptr);
        out.append(jpeg.substr(s.ScanStart));
        return outcome;
    }
    Splice splice(jpeg, s, plan);
    splice.ReadNeeded();
    splice.Restamp(paint);
    if (splice.OwnTablesCover()) {
        splice.WriteSpliced(out, keepMetadata);
    } else {
        splice.WriteNewTables(out, keepMetadata);
        outcome.Way = LosslessWay::LosslessNewTables;
    }
    return outcome;
}

}  // namespace

size_t LosslessRoom(size_t sourceSize) { return sourceSize + sourceSize / 64 + 4096; }

LosslessOutcome StampLossless(std::string_view jpeg, const LosslessStampRequest& request)
{
    return Stamp(jpeg, ReadJpegStructure(jpeg), request.Box, request.Paint, request.KeepMetadata, {});
}

LosslessOutcome StampLossless(std::string_view jpeg, std::string_view text, const StampLook& look, int orientation,
                              bool keepMetadata, std::string storage)
{
    const JpegStructure s = ReadJpegStructure(jpeg);
    const StampPlacement placement = PlaceStamp(text, look, s.Width, s.Height, orientation);
    return Stamp(jpeg, s, placement.Bounds, [&](Picture& region, int originX, int originY) {
        DrawPlacedStamp(region, originX, originY, text, look, placement);
    }, keepMetadata, std::move(storage));
}

}  // namespace morvik
