#include "stamping/lossless/ChangedMcus.h"

#include "stamping/Jpeg.h"
#include "stamping/Orientation.h"
#include "stamping/lossless/JpegStructure.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace morvik {

namespace {

// Each rectangle is one pass of the splice over the file; beyond this many the changes
// are spread too wide for passes to pay, and the picture is saved by encoding it.
constexpr size_t kMaxRectangles = 32;

// A rectangle of MCUs, columns and rows inclusive.
struct McuBox {
    int Col0, Col1, Row0, Row1;
};

// Whether the stored pixels of the MCU at (col, row) differ from what is shown there.
bool McuChanged(const Picture& stored, const Picture& shown, const DisplayTurn& turn, int col, int row, int mcuW,
                int mcuH)
{
    const int x0 = col * mcuW, y0 = row * mcuH;
    const int x1 = std::min(x0 + mcuW, stored.Width()), y1 = std::min(y0 + mcuH, stored.Height());
    if (turn.Upright()) {
        const size_t bytes = size_t(x1 - x0) * 3;
        for (int y = y0; y < y1; ++y)
            if (std::memcmp(stored.Row(y) + size_t(x0) * 3, shown.Row(y) + size_t(x0) * 3, bytes) != 0)
                return true;
        return false;
    }
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const auto [sx, sy] = turn.ToDisplay(x, y);
            if (std::memcmp(stored.Row(y) + size_t(x) * 3, shown.Row(sy) + size_t(sx) * 3, 3) != 0)
                return true;
        }
    return false;
}

// The changed MCUs as rectangles: runs of changed MCUs along each row, a run joined to the
// rectangle above when it spans the same columns (so a frame makes four, a stamp one).
std::vector<McuBox> ChangedRectangles(const Picture& stored, const Picture& shown, const DisplayTurn& turn,
                                      const lossless::JpegStructure& s)
{
    std::vector<McuBox> boxes;
    std::vector<size_t> open;  // the rectangles that end on the row above
    for (int row = 0; row < s.McusHigh; ++row) {
        std::vector<size_t> nowOpen;
        for (int col = 0; col < s.McusWide;) {
            if (!McuChanged(stored, shown, turn, col, row, s.McuWidth, s.McuHeight)) {
                ++col;
                continue;
            }
            int end = col;
            while (end + 1 < s.McusWide && McuChanged(stored, shown, turn, end + 1, row, s.McuWidth, s.McuHeight))
                ++end;
            const auto above = std::find_if(open.begin(), open.end(), [&](size_t i) {
                return boxes[i].Col0 == col && boxes[i].Col1 == end;
            });
            if (above != open.end()) {
                boxes[*above].Row1 = row;
                nowOpen.push_back(*above);
            } else {
                boxes.push_back({col, end, row, row});
                nowOpen.push_back(boxes.size() - 1);
            }
            col = end + 1;
        }
        open = std::move(nowOpen);
    }
    return boxes;
}

LosslessOutcome NotLossless(std::string reason)
{
    LosslessOutcome out;
    out.Reason = std::move(reason);
    return out;
}

}  // namespace

LosslessOutcome SaveChangedMcus(std::string_view jpeg, const Picture& shown, int orientation)
{
    const lossless::JpegStructure s = lossless::ReadJpegStructure(jpeg);
    if (!s.ReEncodeReason.empty())
        return NotLossless(s.ReEncodeReason);
    const Picture stored = DecodeJpeg(jpeg);
    const DisplayTurn turn(orientation, stored.Width(), stored.Height());
    if (shown.Width() != turn.DisplayWidth() || shown.Height() != turn.DisplayHeight())
        return NotLossless("the picture's size is not the file's");
    const std::vector<McuBox> boxes = ChangedRectangles(stored, shown, turn, s);
    if (boxes.size() > kMaxRectangles)
        return NotLossless("changes in more than " + std::to_string(kMaxRectangles) + " places");

    LosslessOutcome out;
    out.Way = LosslessWay::Lossless;
    out.Jpeg.assign(jpeg);
    for (const McuBox& b : boxes) {
        const PixelBox box{b.Col0 * s.McuWidth, b.Row0 * s.McuHeight, std::min((b.Col1 + 1) * s.McuWidth, s.Width),
                           std::min((b.Row1 + 1) * s.McuHeight, s.Height)};
        // The rectangle's stored pixels become the shown ones; the region around it keeps
        // the file's decode, as the splice gives it.
        const RegionPainter paint = [&](Picture& region, int originX, int originY) {
            const int x0 = std::max(box.Left, originX), x1 = std::min(box.Right, originX + region.Width());
            const int y0 = std::max(box.Top, originY), y1 = std::min(box.Bottom, originY + region.Height());
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x) {
                    const auto [sx, sy] = turn.ToDisplay(x, y);
                    std::memcpy(region.Row(y - originY) + size_t(x - originX) * 3, shown.Row(sy) + size_t(sx) * 3, 3);
                }
        };
        LosslessOutcome pass = StampLossless(out.Jpeg, {box, paint, true});
        if (pass.Way == LosslessWay::ReEncode)
            return pass;
        // The outcome says the most any pass did to the file.
        out.Way = std::max(out.Way, pass.Way);
        out.StampFitted = out.StampFitted || pass.StampFitted;
        if (pass.Damage != SourceDamage::None)
            out.Damage = pass.Damage;
        out.Jpeg = std::move(pass.Jpeg);
    }
    return out;
}

}  // namespace morvik
