#include "pattern/Pattern.h"

#include "pattern/Colour.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <unordered_map>

namespace morvik {

namespace {

// 264 glyphs that DejaVu Sans draws: shapes first, then letters and signs that do not
// pass for one another.
constexpr std::string_view kSymbols[] = {
    "+", "×", "●", "○", "■", "□", "▲", "△", "▼", "▽", "◆", "◇", "★", "☆", "♥", "♦", "♣", "♠",
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P", "Q", "R",
    "S", "T", "U", "V", "W", "X", "Y", "Z", "2", "3", "4", "5", "6", "7", "8", "9",
    "◐", "◑", "◒", "◓", "◧", "◨", "◩", "◪", "▣", "▤", "▥", "▦", "▧", "▨", "▩", "◉", "◎", "◈",
    "⊕", "⊗", "⊘", "⊙", "⊚", "⊛", "⊞", "⊟", "⊠", "⊡", "♪", "♫", "☼", "☺", "☻", "✓", "✗", "✚",
    "✖", "✱", "✳", "✶", "✿", "❀", "❖", "÷", "=", "≠", "≈", "≡", "<", ">", "±", "∞", "√", "∑",
    "∫", "∂", "∇", "∈", "∉", "∩", "∪", "⊂", "⊃", "⊥", "∠", "∧", "∨", "¬", "∀", "∃", "∅",
    "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "m", "n", "p", "q", "r", "s", "t",
    "u", "v", "w", "y", "z", "Γ", "Δ", "Θ", "Λ", "Ξ", "Π", "Σ", "Φ", "Ψ", "Ω", "α", "β", "γ",
    "δ", "ε", "ζ", "η", "θ", "λ", "μ", "ξ", "π", "σ", "φ", "ψ", "ω", "Б", "Г", "Д", "Ж", "З",
    "И", "Л", "П", "У", "Ф", "Ц", "Ч", "Ш", "Щ", "Ъ", "Ы", "Ь", "Э", "Ю", "Я", "б", "в", "г",
    "д", "ж", "з", "и", "л", "н", "т", "ф", "ц", "ч", "ш", "щ", "ъ", "ы", "ь", "э", "ю", "я",
    "#", "%", "&", "@", "§", "¶", "?", "!", "$", "€", "£", "¥", "¢", "~", "{", "}", "[", "]",
    "(", ")", "/", "\\", "|", "←", "→", "↑", "↓", "↔", "↕", "↖", "↗", "↘", "↙", "⇐", "⇒", "⇑",
    "⇓", "⇔", "♀", "♂", "☀", "☁", "☂", "☃", "☎", "☐", "☑", "☒", "⌂", "⌘",
};
static_assert(std::size(kSymbols) >= kMaxPatternThreads);

[[noreturn]] void Refuse(const std::string& text) { throw EPatternSettings(text); }

// One step of the build, a share [from, to] of the gauge. Every long loop calls it once a
// row (or a round), so that a stop is seen within a row's work, and the gauge moves
// through each step instead of jumping over it.
class BuildPhase {
public:
    BuildPhase(const PatternCallbacks& callbacks, int from, int to) : callbacks_(callbacks), from_(from), to_(to) {}

    // Ends the build with EPatternStopped when a stop has been asked.
    void CheckStop() const
    {
        if (callbacks_.StopRequested && callbacks_.StopRequested())
            throw EPatternStopped("Остановлено");
    }

    // Checks for a stop, then shows `done` of `total` on the gauge when that moves it.
    void At(int64_t done, int64_t total)
    {
        CheckStop();
        const int percent = from_ + int(int64_t(to_ - from_) * done / std::max<int64_t>(total, 1));
        if (callbacks_.Progress && percent != shown_)
            callbacks_.Progress(percent);
        shown_ = percent;
    }

private:
    const PatternCallbacks& callbacks_;
    int from_, to_;
    int shown_ = -1;
};

void CheckSide(int stitches, const char* side)
{
    if (stitches < 1 || stitches > kMaxPatternSide)
        Refuse(std::string(side) + " схемы " + std::to_string(stitches) + " крестиков: можно от 1 до " +
               std::to_string(kMaxPatternSide));
}

// The picture scaled to the size in stitches, each stitch the mean of the pixels it
// covers (the nearest pixel where the picture is smaller than the pattern).
std::vector<std::array<uint8_t, 3>> ScaleToStitches(const Picture& picture, StitchSize size, BuildPhase phase)
{
    std::vector<std::array<uint8_t, 3>> out(size_t(size.Width) * size_t(size.Height));
    const int64_t pw = picture.Width(), ph = picture.Height();
    std::vector<int> left(size.Width + 1);
    for (int x = 0; x <= size.Width; ++x)
        left[x] = int(int64_t(x) * pw / size.Width);
    std::vector<uint64_t> sums(size_t(size.Width) * 3);
    for (int y = 0; y < size.Height; ++y) {
        phase.At(y, size.Height);
        const int top = int(int64_t(y) * ph / size.Height);
        const int bottom = std::max(top + 1, int(int64_t(y + 1) * ph / size.Height));
        std::fill(sums.begin(), sums.end(), 0);
        for (int py = top; py < bottom; ++py) {
            const uint8_t* row = picture.Row(py);
            for (int x = 0; x < size.Width; ++x) {
                const int right = std::max(left[x] + 1, left[x + 1]);
                uint64_t r = 0, g = 0, b = 0;
                for (const uint8_t* p = row + size_t(left[x]) * 3; p < row + size_t(right) * 3; p += 3) {
                    r += p[0];
                    g += p[1];
                    b += p[2];
                }
                sums[size_t(x) * 3] += r;
                sums[size_t(x) * 3 + 1] += g;
                sums[size_t(x) * 3 + 2] += b;
            }
        }
        for (int x = 0; x < size.Width; ++x) {
            const uint64_t count = uint64_t(bottom - top) * uint64_t(std::max(left[x] + 1, left[x + 1]) - left[x]);
            auto& cell = out[size_t(y) * size.Width + x];
            for (int c = 0; c < 3; ++c)
                cell[c] = uint8_t((sums[size_t(x) * 3 + c] + count / 2) / count);
        }
    }
    return out;
}

// The nearest of a set of colours by ΔE 2000: the few nearest by the cheap Lab distance
// are weighed again, since the two orders differ only among close candidates.
class NearestColour {
public:
    explicit NearestColour(std::vector<Lab> colours) : colours_(std::move(colours)) {}

    int operator()(const Lab& lab) const
    {
        constexpr int kCandidates = 6;
        std::array<std::pair<float, int>, kCandidates> best;
        best.fill({INFINITY, -1});
        for (int i = 0; i < int(colours_.size()); ++i) {
            const float d = DeltaE76Squared(lab, colours_[i]);
            if (d < best.back().first) {
                best.back() = {d, i};
                for (int k = kCandidates - 1; k > 0 && best[k].first < best[k - 1].first; --k)
                    std::swap(best[k], best[k - 1]);
            }
        }
        int chosen = best[0].second;
        double chosenDistance = INFINITY;
        for (const auto& [d, i] : best) {
            if (i < 0)
                break;
            const double e = DeltaE2000(lab, colours_[i]);
            if (e < chosenDistance) {
                chosenDistance = e;
                chosen = i;
            }
        }
        return chosen;
    }

    const std::vector<Lab>& Colours() const { return colours_; }

private:
    std::vector<Lab> colours_;
};

uint32_t Key(const std::array<uint8_t, 3>& c) { return uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2]; }

// Each stitch's nearest colour of `nearest`, looked up once per distinct colour.
std::vector<uint16_t> MapStitches(const std::vector<std::array<uint8_t, 3>>& stitches, StitchSize size,
                                  const NearestColour& nearest, BuildPhase phase)
{
    std::unordered_map<uint32_t, uint16_t> cache;
    cache.reserve(stitches.size());
    std::vector<uint16_t> out(stitches.size());
    for (size_t i = 0; i < stitches.size(); ++i) {
        if (i % size_t(size.Width) == 0)
            phase.At(int64_t(i / size_t(size.Width)), size.Height);
        const auto [it, fresh] = cache.try_emplace(Key(stitches[i]), 0);
        if (fresh)
            it->second = uint16_t(nearest(LabFromRgb(stitches[i][0], stitches[i][1], stitches[i][2])));
        out[i] = it->second;
    }
    return out;
}

// Up to k scheme threads for the stitches: a weighted k-means over the threads the
// stitches map to, seeded with the most used thread and then, each time, the thread
// whose weight times squared distance to the seeds is largest; each centre is then taken
// by the nearest scheme thread not yet taken, the heaviest clusters choosing first.
std::vector<int> ChooseThreads(const std::vector<int64_t>& used, const NearestColour& scheme, int k,
                               BuildPhase phase)
{
    const auto& labs = scheme.Colours();
    std::vector<int> points;
    for (int i = 0; i < int(used.size()); ++i)
        if (used[i] > 0)
            points.push_back(i);
    if (int(points.size()) <= k)
        return points;

    std::vector<Lab> centres;
    std::vector<float> nearestSeed(points.size(), INFINITY);
    int first = *std::max_element(points.begin(), points.end(), [&](int a, int b) { return used[a] < used[b]; });
    centres.push_back(labs[first]);
    while (int(centres.size()) < k) {
        phase.CheckStop();
        double bestScore = -1;
        size_t bestPoint = 0;
        for (size_t p = 0; p < points.size(); ++p) {
            nearestSeed[p] = std::min(nearestSeed[p], DeltaE76Squared(labs[points[p]], centres.back()));
            const double score = double(used[points[p]]) * nearestSeed[p];
            if (score > bestScore) {
                bestScore = score;
                bestPoint = p;
            }
        }
        centres.push_back(labs[points[bestPoint]]);
    }
    std::vector<int> owner(points.size(), 0);
    std::vector<int64_t> weight(k);
    constexpr int kRounds = 24;
    for (int round = 0; round < kRounds; ++round) {
        phase.At(round, kRounds);
        bool moved = false;
        for (size_t p = 0; p < points.size(); ++p) {
            int best = 0;
            float bestDistance = INFINITY;
            for (int c = 0; c < k; ++c) {
                const float d = DeltaE76Squared(labs[points[p]], centres[c]);
                if (d < bestDistance) {
                    bestDistance = d;
                    best = c;
                }
            }
            moved |= owner[p] != best;
            owner[p] = best;
        }
        if (!moved && round > 0)
            break;
        std::vector<std::array<double, 3>> sums(k, {0, 0, 0});
        std::fill(weight.begin(), weight.end(), 0);
        for (size_t p = 0; p < points.size(); ++p) {
            const double w = double(used[points[p]]);
            const Lab& lab = labs[points[p]];
            sums[owner[p]][0] += w * lab.L;
            sums[owner[p]][1] += w * lab.A;
            sums[owner[p]][2] += w * lab.B;
            weight[owner[p]] += used[points[p]];
        }
        for (int c = 0; c < k; ++c)
            if (weight[c] > 0)
                centres[c] = {float(sums[c][0] / weight[c]), float(sums[c][1] / weight[c]),
                              float(sums[c][2] / weight[c])};
    }
    std::vector<int> order(k);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return weight[a] > weight[b]; });
    std::vector<int> chosen;
    std::vector<bool> taken(labs.size(), false);
    for (int c : order) {
        if (weight[c] == 0)
            continue;
        int best = -1;
        double bestDistance = INFINITY;
        for (int t = 0; t < int(labs.size()); ++t) {
            if (taken[t])
                continue;
            const double d = DeltaE2000(centres[c], labs[t]);
            if (d < bestDistance) {
                bestDistance = d;
                best = t;
            }
        }
        taken[best] = true;
        chosen.push_back(best);
    }
    return chosen;
}

// Floyd–Steinberg in Lab, rows in alternating directions so that the error does not
// drift to one side.
std::vector<uint16_t> Dither(const std::vector<std::array<uint8_t, 3>>& stitches, StitchSize size,
                             const NearestColour& palette, BuildPhase phase)
{
    const int w = size.Width;
    std::vector<uint16_t> out(stitches.size());
    std::vector<Lab> errorHere(w + 2), errorNext(w + 2);
    auto add = [](Lab& e, const Lab& d, float f) {
        e.L += d.L * f;
        e.A += d.A * f;
        e.B += d.B * f;
    };
    for (int y = 0; y < size.Height; ++y) {
        phase.At(y, size.Height);
        std::fill(errorNext.begin(), errorNext.end(), Lab{});
        const bool forward = y % 2 == 0;
        const int step = forward ? 1 : -1;
        for (int i = 0; i < w; ++i) {
            const int x = forward ? i : w - 1 - i;
            const auto& c = stitches[size_t(y) * w + x];
            Lab want = LabFromRgb(c[0], c[1], c[2]);
            const Lab& e = errorHere[x + 1];
            want = {std::clamp(want.L + e.L, 0.f, 100.f), std::clamp(want.A + e.A, -128.f, 128.f),
                    std::clamp(want.B + e.B, -128.f, 128.f)};
            const int chosen = palette(want);
            out[size_t(y) * w + x] = uint16_t(chosen);
            const Lab& got = palette.Colours()[chosen];
            const Lab d{want.L - got.L, want.A - got.A, want.B - got.B};
            add(errorHere[x + 1 + step], d, 7.f / 16);
            add(errorNext[x + 1 - step], d, 3.f / 16);
            add(errorNext[x + 1], d, 5.f / 16);
            add(errorNext[x + 1 + step], d, 1.f / 16);
        }
        std::swap(errorHere, errorNext);
    }
    return out;
}

// Gives every isolated stitch the thread most of its neighbours have (the nearest colour
// among the equally common), pass after pass until none is left: a stitch changed in one
// pass can leave a neighbour isolated that was not before.
void MergeIsolated(std::vector<uint16_t>& stitches, StitchSize size, const std::vector<Lab>& colours,
                   const BuildPhase& phase)
{
    const int w = size.Width, h = size.Height;
    if (w * h < 2)
        return;
    for (bool changed = true; changed;) {
        changed = false;
        for (int y = 0; y < h; ++y) {
            phase.CheckStop();  // the passes are not known in advance: the gauge waits
            for (int x = 0; x < w; ++x) {
                const uint16_t own = stitches[size_t(y) * w + x];
                std::array<std::pair<uint16_t, int>, 8> counts{};
                int kinds = 0;
                bool alone = true;
                for (int dy = -1; dy <= 1 && alone; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= w || ny >= h)
                            continue;
                        const uint16_t t = stitches[size_t(ny) * w + nx];
                        if (t == own) {
                            alone = false;
                            break;
                        }
                        int k = 0;
                        while (k < kinds && counts[k].first != t)
                            ++k;
                        if (k == kinds)
                            counts[kinds++] = {t, 0};
                        ++counts[k].second;
                    }
                if (!alone)
                    continue;
                int best = 0;
                for (int k = 1; k < kinds; ++k) {
                    const bool more = counts[k].second > counts[best].second;
                    const bool nearer = counts[k].second == counts[best].second &&
                                        DeltaE2000(colours[own], colours[counts[k].first]) <
                                            DeltaE2000(colours[own], colours[counts[best].first]);
                    if (more || nearer)
                        best = k;
                }
                stitches[size_t(y) * w + x] = counts[best].first;
                changed = true;
            }
        }
    }
}

}  // namespace

StitchSize PatternStitchSize(const PatternSettings& settings, int pictureWidth, int pictureHeight)
{
    if (settings.Fabric < 6 || settings.Fabric > 40)
        Refuse("Канва " + std::to_string(settings.Fabric) + " крестиков на дюйм: можно от 6 до 40");
    if (settings.Strands < 1 || settings.Strands > 6)
        Refuse("Нитей в игле " + std::to_string(settings.Strands) + ": можно от 1 до 6");
    if (settings.Threads < 1 || settings.Threads > kMaxPatternThreads)
        Refuse("Цветов " + std::to_string(settings.Threads) + ": можно от 1 до " + std::to_string(kMaxPatternThreads));
    if (pictureWidth <= 0 || pictureHeight <= 0)
        Refuse("Нет картинки для схемы");
    StitchSize size;
    if (settings.WidthCm > 0 || settings.HeightCm > 0) {
        auto stitches = [&](double cm) { return std::isfinite(cm) ? std::lround(std::min(cm, 1e6) / 2.54 * settings.Fabric) : 0L; };
        size = {int(stitches(settings.WidthCm)), int(stitches(settings.HeightCm))};
    } else {
        size.Width = settings.Width;
        CheckSide(size.Width, "Ширина");
        size.Height = int(std::max<int64_t>(1, std::llround(double(size.Width) * pictureHeight / pictureWidth)));
    }
    CheckSide(size.Width, "Ширина");
    CheckSide(size.Height, "Высота");
    return size;
}

Pattern BuildPattern(const Picture& picture, const PatternSettings& settings, const ThreadScheme& scheme,
                     const PatternCallbacks& callbacks)
{
    const StitchSize size = PatternStitchSize(settings, picture.Width(), picture.Height());
    if (scheme.Threads.empty())
        Refuse("В схеме ниток нет ни одной нитки");
    const auto stitches = ScaleToStitches(picture, size, BuildPhase(callbacks, 0, 40));

    std::vector<Lab> schemeLabs;
    for (const Thread& t : scheme.Threads)
        schemeLabs.push_back(LabFromRgb(t.Red, t.Green, t.Blue));
    const NearestColour nearestThread(schemeLabs);
    const std::vector<uint16_t> first = MapStitches(stitches, size, nearestThread, BuildPhase(callbacks, 40, 60));
    std::vector<int64_t> used(scheme.Threads.size(), 0);
    for (uint16_t t : first)
        ++used[t];
    const std::vector<int> chosen = ChooseThreads(used, nearestThread, settings.Threads, BuildPhase(callbacks, 60, 70));

    std::vector<Lab> paletteLabs;
    for (int t : chosen)
        paletteLabs.push_back(schemeLabs[t]);
    const NearestColour palette(paletteLabs);
    BuildPhase matching(callbacks, 70, 90);
    std::vector<uint16_t> cells =
        settings.Dither ? Dither(stitches, size, palette, matching) : MapStitches(stitches, size, palette, matching);
    BuildPhase cleaning(callbacks, 90, 95);
    cleaning.At(0, 1);
    if (settings.Clean)
        MergeIsolated(cells, size, paletteLabs, cleaning);
    cleaning.At(1, 1);

    // The threads still used, the most stitched first (scheme order among equals).
    std::vector<int64_t> counts(chosen.size(), 0);
    for (uint16_t c : cells)
        ++counts[c];
    std::vector<int> order;
    for (int i = 0; i < int(chosen.size()); ++i)
        if (counts[i] > 0)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return counts[a] != counts[b] ? counts[a] > counts[b] : chosen[a] < chosen[b];
    });
    std::vector<uint16_t> renumber(chosen.size(), 0);
    Pattern pattern;
    pattern.Width = size.Width;
    pattern.Height = size.Height;
    pattern.Fabric = settings.Fabric;
    pattern.Strands = settings.Strands;
    pattern.SchemeTitle = scheme.Title;
    for (int i : order) {
        renumber[i] = uint16_t(pattern.Threads.size());
        pattern.Threads.push_back(scheme.Threads[chosen[i]]);
    }
    for (uint16_t& c : cells)
        c = renumber[c];
    pattern.Stitches = std::move(cells);
    if (callbacks.Progress)
        callbacks.Progress(100);
    return pattern;
}

std::string_view PatternSymbol(int index)
{
    return index >= 0 && index < int(std::size(kSymbols)) ? kSymbols[index] : std::string_view("?");
}

int SkeinsNeeded(int64_t stitches, int fabric, int strands)
{
    if (stitches <= 0)
        return 0;
    constexpr double kSkeinCm = 6 * 800.0;  // six strands of 8 m
    const double side = 2.54 / fabric;
    const double perStitch = (2 * std::sqrt(2.0) + 2) * side * 1.5 * strands;
    return std::max(1, int(std::ceil(double(stitches) * perStitch / kSkeinCm)));
}

std::vector<LegendRow> PatternLegend(const Pattern& pattern)
{
    std::vector<LegendRow> rows(pattern.Threads.size());
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i].Index = int(i);
    for (uint16_t s : pattern.Stitches)
        ++rows[s].Stitches;
    for (LegendRow& r : rows)
        r.Skeins = SkeinsNeeded(r.Stitches, pattern.Fabric, pattern.Strands);
    return rows;
}

double FinishedCm(int stitches, int fabric) { return stitches * 2.54 / fabric; }

Picture PatternPreview(const Pattern& pattern, int stitchPixels)
{
    const int n = std::max(1, stitchPixels);
    CheckPictureFits(pattern.Width * n, pattern.Height * n);
    Picture out = Picture::Uninitialized(pattern.Width * n, pattern.Height * n);
    for (int y = 0; y < out.Height(); ++y) {
        uint8_t* row = out.Row(y);
        for (int x = 0; x < out.Width(); ++x) {
            const Thread& t = pattern.Threads[pattern.At(x / n, y / n)];
            row[x * 3] = t.Red;
            row[x * 3 + 1] = t.Green;
            row[x * 3 + 2] = t.Blue;
        }
    }
    return out;
}

int PreviewStitchPixels(const Pattern& pattern, int longSide)
{
    return std::clamp(longSide / std::max({pattern.Width, pattern.Height, 1}), 1, 16);
}

}  // namespace morvik
