#include "tools/chart/make/Rhythm.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace zorv::chartmake {
namespace {

// Places of the grid within a beat, in twelfths of it.
constexpr int kTwelfths = 12;
struct Place {
    int twelfths;
    Metre metre;
};
constexpr Place kBetween[] = {
    {3, Metre::sixteenth}, {4, Metre::triplet}, {6, Metre::eighth}, {8, Metre::triplet}, {9, Metre::sixteenth},
};
// Bars whose strengths correlate at least this much (cosine) play one rhythm.
constexpr double kAlike = 0.8;
// A beat further than this many median beats from the next is the last
// before a gap in the beats (a break): nothing after it is on its grid.
constexpr double kWidestBeat = 1.6;

float percentile90(std::vector<float> values)
{
    if (values.empty())
        return 0;
    const auto at = static_cast<std::size_t>(0.9 * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
    return values[at];
}

struct GridPlace {
    Metre metre = Metre::off;
    std::ptrdiff_t beat = -1;  // index of the beat it falls on or after
    int twelfths = 0;
    double ms = 0;  // where the place is
};

GridPlace placeOf(double ms, const std::vector<double>& beats, double medianGap)
{
    GridPlace place;
    const auto after = std::upper_bound(beats.begin(), beats.end(), ms);
    const std::ptrdiff_t j = (after - beats.begin()) - 1;  // last beat at or before ms
    if (after != beats.end() && *after - ms <= kOnGridMs)
        return {Metre::beat, j + 1, 0, *after};
    if (j < 0)
        return place;
    const double d = ms - beats[static_cast<std::size_t>(j)];
    if (d <= kOnGridMs)
        return {Metre::beat, j, 0, beats[static_cast<std::size_t>(j)]};
    const double gap = after != beats.end() ? *after - beats[static_cast<std::size_t>(j)] : medianGap;
    if (gap > kWidestBeat * medianGap)
        return place;
    const double tolerance = std::min(kOnGridMs, gap / 8);
    for (const Place& p : kBetween) {
        const double at = gap * p.twelfths / kTwelfths;
        if (std::fabs(d - at) <= tolerance)
            return {p.metre, j, p.twelfths, beats[static_cast<std::size_t>(j)] + at};
    }
    return place;
}

double cosine(const std::vector<float>& a, const std::vector<double>& sum)
{
    double ab = 0;
    double aa = 0;
    double bb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ab += a[i] * sum[i];
        aa += static_cast<double>(a[i]) * a[i];
        bb += sum[i] * sum[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

struct Rhythms {
    std::vector<int> ofBar;                // the rhythm each bar plays, -1 for an empty bar
    std::vector<std::vector<double>> sum;  // per rhythm, its bars' strengths summed per place
    std::vector<std::vector<int>> played;  // per rhythm and place, how many of its bars have an onset there
};

// Greedy, in the song's order: each bar joins the rhythm it correlates with
// best, if well enough, or begins a new one.
Rhythms groupBars(const std::vector<std::vector<float>>& bars)
{
    Rhythms r;
    r.ofBar.assign(bars.size(), -1);
    for (std::size_t b = 0; b < bars.size(); ++b) {
        if (std::all_of(bars[b].begin(), bars[b].end(), [](float v) { return v == 0; }))
            continue;
        int best = -1;
        double bestAlike = kAlike;
        for (std::size_t k = 0; k < r.sum.size(); ++k) {
            const double alike = cosine(bars[b], r.sum[k]);
            if (alike >= bestAlike) {
                bestAlike = alike;
                best = static_cast<int>(k);
            }
        }
        if (best < 0) {
            best = static_cast<int>(r.sum.size());
            r.sum.emplace_back(bars[b].size(), 0.0);
            r.played.emplace_back(bars[b].size(), 0);
        }
        const auto k = static_cast<std::size_t>(best);
        for (std::size_t i = 0; i < bars[b].size(); ++i) {
            r.sum[k][i] += bars[b][i];
            r.played[k][i] += bars[b][i] > 0 ? 1 : 0;
        }
        r.ofBar[b] = best;
    }
    return r;
}

template <typename T>
double total(const std::vector<T>& v)
{
    double sum = 0;
    for (T x : v)
        sum += x;
    return sum;
}

struct BeatGrid {
    std::vector<int> inBar;      // per beat, its place in the bar
    std::vector<int> barOfBeat;  // per beat, its bar
    double medianGap = 0;        // ms between beats
};

// Bars: a new one wherever the place in the bar does not go on rising.
// Beats without places in the bar take them in turn.
BeatGrid gridOf(const Beats& beats)
{
    BeatGrid grid;
    grid.inBar = beats.inBar;
    if (grid.inBar.size() != beats.ms.size()) {
        grid.inBar.resize(beats.ms.size());
        for (std::size_t j = 0; j < grid.inBar.size(); ++j)
            grid.inBar[j] = static_cast<int>(j % static_cast<std::size_t>(beats.perBar));
    }
    grid.barOfBeat.assign(beats.ms.size(), 0);
    for (std::size_t j = 1; j < beats.ms.size(); ++j)
        grid.barOfBeat[j] = grid.barOfBeat[j - 1] + (grid.inBar[j] <= grid.inBar[j - 1] ? 1 : 0);
    std::vector<double> gaps;
    for (std::size_t j = 1; j < beats.ms.size(); ++j)
        gaps.push_back(beats.ms[j] - beats.ms[j - 1]);
    std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2), gaps.end());
    grid.medianGap = gaps[gaps.size() / 2];
    return grid;
}

}  // namespace

std::vector<RhythmOnset> rhythmOf(const Features& features, const Beats& beats)
{
    const std::vector<Onset>& onsets = features.onsets;
    std::vector<float> all;
    for (const Onset& onset : onsets)
        all.push_back(onset.strength);
    const float loud = std::max(percentile90(all), 1e-6f);
    std::vector<RhythmOnset> result(onsets.size());
    std::vector<float> strength(onsets.size());
    for (std::size_t i = 0; i < onsets.size(); ++i) {
        strength[i] = std::min(onsets[i].strength / loud, 2.0f);
        result[i] = {beats.ms.empty() ? Metre::beat : Metre::off, -1, -1, -1, strength[i], onsets[i].ms};
    }
    if (beats.ms.size() < 2)
        return result;
    const BeatGrid grid = gridOf(beats);
    const std::vector<int>& inBar = grid.inBar;
    const std::vector<int>& barOfBeat = grid.barOfBeat;
    const double medianGap = grid.medianGap;

    const auto places = static_cast<std::size_t>(beats.perBar * kTwelfths);
    std::vector<std::vector<float>> bars(static_cast<std::size_t>(barOfBeat.back() + 1), std::vector<float>(places, 0));
    std::vector<std::size_t> slot(onsets.size(), 0);
    for (std::size_t i = 0; i < onsets.size(); ++i) {
        const GridPlace place = placeOf(onsets[i].ms, beats.ms, medianGap);
        if (place.metre == Metre::off)
            continue;
        const auto j = static_cast<std::size_t>(place.beat);
        RhythmOnset& r = result[i];
        r.metre = place.metre;
        r.gridMs = onsets[i].ms + std::clamp(place.ms - onsets[i].ms, -kMostMovedMs, kMostMovedMs);
        r.bar = barOfBeat[j];
        r.inBar = inBar[j];
        slot[i] = static_cast<std::size_t>(r.inBar * kTwelfths + place.twelfths) % places;
        r.slot = static_cast<int>(slot[i]);
        float& at = bars[static_cast<std::size_t>(r.bar)][slot[i]];
        at = std::max(at, strength[i]);
    }
    const Rhythms rhythms = groupBars(bars);
    std::vector<float> loudness;
    for (std::size_t k = 0; k < rhythms.sum.size(); ++k) {
        double played = 0;
        for (int count : rhythms.played[k])
            played += count;
        loudness.push_back(static_cast<float>(total(rhythms.sum[k]) / std::max(1.0, played)));
    }
    for (std::size_t i = 0; i < onsets.size(); ++i) {
        RhythmOnset& r = result[i];
        if (r.bar < 0)
            continue;
        const auto k = static_cast<std::size_t>(rhythms.ofBar[static_cast<std::size_t>(r.bar)]);
        r.loudness = loudness[k];
    }
    return result;
}

}  // namespace zorv::chartmake
