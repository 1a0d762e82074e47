#include "tools/chartmake/Beats.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <cmath>
#include <cstddef>
#include <limits>

namespace zorv::chartmake {
namespace {

// aubio's period is the median of its estimates within this many ms either
// side: long enough to ride over its octave slips, short enough to follow a
// change of tempo within a few bars.
constexpr double kTempoSpanMs = 8000;
constexpr double kBlockMs = 1000;
// Periods outside these tempi are doubled or halved into them.
constexpr double kSlowestBpm = 50;
constexpr double kFastestBpm = 220;
// How strongly the search keeps to the period: the cost of a beat interval
// that is e times the period (Ellis' "tightness").
constexpr double kTightness = 100;
// A beat this close to an onset is that onset.
constexpr double kSnapMs = 40;
// The flux peaks about one hop after the onset that causes it (measured on
// the bundled songs: beats placed at the peak hop sat 27 ms early).
constexpr double kPeakLagHops = 1;
// aubio's period may be any of the song's metrical levels: on the corpus it
// took the eighths of songs at 70, 76 and 88 BPM and the quarters of one in
// 6/8. So the search runs at these multiples of it too, and keeps the level
// whose beats carry the most pulse on average, weighed by how far its tempo
// is from kTactusBpm: on a log scale, a Gaussian of kTactusOctaves. Pulse
// alone favours ever slower levels (bars); the weight keeps to the beat.
constexpr double kLevels[] = {0.5, 2.0 / 3.0, 1.0, 1.5, 2.0, 3.0};
constexpr double kTactusBpm = 100;
constexpr double kTactusOctaves = 1;

double bpmOf(double periodHops) { return 60000.0 / (periodHops * kHopMs); }

double inTempoRange(double periodHops)
{
    while (bpmOf(periodHops) > kFastestBpm)
        periodHops *= 2;
    while (bpmOf(periodHops) < kSlowestBpm)
        periodHops /= 2;
    return periodHops;
}

double median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

// One period per hop: aubio's estimates around it, median-smoothed per block;
// blocks with no estimate near take the nearest block's. Empty without any.
std::vector<double> periodPerHop(const Features& f)
{
    const auto hopsPerBlock = static_cast<std::size_t>(kBlockMs / kHopMs);
    const auto span = static_cast<std::size_t>(kTempoSpanMs / kHopMs);
    const std::size_t n = f.periodHops.size();
    const std::size_t blocks = (n + hopsPerBlock - 1) / hopsPerBlock;
    std::vector<double> block(blocks, 0.0);
    std::vector<float> near;
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t centre = b * hopsPerBlock + hopsPerBlock / 2;
        near.clear();
        for (std::size_t k = centre > span ? centre - span : 0; k < std::min(n, centre + span); ++k) {
            if (f.periodHops[k] > 0)
                near.push_back(f.periodHops[k]);
        }
        if (near.empty())
            continue;
        std::nth_element(near.begin(), near.begin() + near.size() / 2, near.end());
        block[b] = inTempoRange(near[near.size() / 2]);
    }
    std::vector<double> known;
    std::copy_if(block.begin(), block.end(), std::back_inserter(known), [](double p) { return p > 0; });
    if (known.empty())
        return {};
    // aubio slips between octaves within a song; the levels are tried later,
    // so each block keeps to the octave of the song's median period.
    const double song = median(known);
    double last = known.front();
    for (double& p : block) {
        while (p > song * std::sqrt(2.0))
            p /= 2;
        while (p > 0 && p < song / std::sqrt(2.0))
            p *= 2;
        p = p > 0 ? (last = p) : last;
    }
    std::vector<double> perHop(n);
    for (std::size_t k = 0; k < n; ++k)
        perHop[k] = block[k / hopsPerBlock];
    return perHop;
}

// Hop indexes of the beat sequence maximising the summed, normalised onset
// strength less the cost of every interval straying from the period.
std::vector<std::size_t> bestPath(const std::vector<float>& strength, const std::vector<double>& period)
{
    const std::size_t n = strength.size();
    double mean = 0;
    for (float s : strength)
        mean += s;
    mean /= static_cast<double>(n);
    double var = 0;
    for (float s : strength)
        var += (s - mean) * (s - mean);
    const double scale = std::sqrt(var / static_cast<double>(n));
    if (!(scale > 0))
        return {};

    std::vector<double> score(n);
    std::vector<std::ptrdiff_t> back(n, -1);
    for (std::size_t k = 0; k < n; ++k) {
        const double tau = period[k];
        const auto from = static_cast<std::ptrdiff_t>(k) - static_cast<std::ptrdiff_t>(std::lround(2 * tau));
        const auto to = static_cast<std::ptrdiff_t>(k) - static_cast<std::ptrdiff_t>(std::lround(tau / 2));
        double best = 0;
        for (std::ptrdiff_t j = std::max<std::ptrdiff_t>(from, 0); j <= to; ++j) {
            const double stray = std::log(static_cast<double>(static_cast<std::ptrdiff_t>(k) - j) / tau);
            const double s = score[static_cast<std::size_t>(j)] - kTightness * stray * stray;
            if (s > best) {
                best = s;
                back[k] = j;
            }
        }
        score[k] = strength[k] / scale + best;
    }
    const auto lastPeriod = static_cast<std::size_t>(std::lround(period[n - 1]));
    std::ptrdiff_t k = static_cast<std::ptrdiff_t>(
        std::max_element(score.begin() + static_cast<std::ptrdiff_t>(n - std::min(n, lastPeriod)), score.end()) -
        score.begin());
    std::vector<std::size_t> path;
    for (; k >= 0; k = back[static_cast<std::size_t>(k)])
        path.push_back(static_cast<std::size_t>(k));
    std::reverse(path.begin(), path.end());
    return path;
}

double medianGap(const std::vector<double>& beats)
{
    std::vector<double> gaps;
    for (std::size_t i = 1; i < beats.size(); ++i)
        gaps.push_back(beats[i] - beats[i - 1]);
    std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2), gaps.end());
    return gaps[gaps.size() / 2];
}

// The pulse at a beat: its peak within a hop either side of where the flux
// of an onset at `ms` peaks.
float pulseAt(const std::vector<float>& pulse, double ms)
{
    const auto k = static_cast<std::ptrdiff_t>(std::lround(ms / kHopMs + kPeakLagHops));
    float most = 0;
    for (std::ptrdiff_t i = std::max<std::ptrdiff_t>(k - 1, 0); i <= k + 1; ++i)
        most =
            i < static_cast<std::ptrdiff_t>(pulse.size()) ? std::max(most, pulse[static_cast<std::size_t>(i)]) : most;
    return most;
}

double snapped(double ms, const std::vector<Onset>& onsets)
{
    const auto after =
        std::lower_bound(onsets.begin(), onsets.end(), ms, [](const Onset& onset, double t) { return onset.ms < t; });
    double best = ms;
    double distance = kSnapMs;
    if (after != onsets.end() && after->ms - ms <= distance) {
        best = after->ms;
        distance = after->ms - ms;
    }
    if (after != onsets.begin() && ms - std::prev(after)->ms <= distance)
        best = std::prev(after)->ms;
    return best;
}

}  // namespace

Beats trackBeats(const Features& features)
{
    Beats beats;
    const std::vector<double> base = periodPerHop(features);
    if (base.empty() || features.pulse.empty())
        return beats;
    double mean = 0;
    for (float p : features.pulse)
        mean += p;
    mean /= static_cast<double>(features.pulse.size());
    double best = -1;
    for (double level : kLevels) {
        std::vector<double> period = base;
        for (double& p : period)
            p *= level;
        const double bpm = bpmOf(median(period));
        if (bpm < kSlowestBpm || bpm > kFastestBpm || !(mean > 0))
            continue;
        std::vector<double> ms;
        for (std::size_t k : bestPath(features.pulse, period))
            ms.push_back((static_cast<double>(k) - kPeakLagHops) * kHopMs);
        if (ms.size() < 2)
            continue;
        double atBeats = 0;
        for (double t : ms)
            atBeats += pulseAt(features.pulse, t);
        const double octaves = std::log2(60000.0 / medianGap(ms) / kTactusBpm);
        const double score = atBeats / static_cast<double>(std::max<std::size_t>(1, ms.size())) / mean *
                             std::exp(-0.5 * octaves * octaves / (kTactusOctaves * kTactusOctaves));
        if (score > best) {
            best = score;
            beats.ms = std::move(ms);
        }
    }
    for (double& t : beats.ms)
        t = snapped(t, features.onsets);
    // The search runs on through silence before the first onset and after
    // the last; there is no beat to tap there.
    const double first = features.onsets.empty() ? 0 : features.onsets.front().ms - kSnapMs;
    const double last = features.onsets.empty() ? 0 : features.onsets.back().ms + kSnapMs;
    beats.ms.erase(std::remove_if(beats.ms.begin(), beats.ms.end(), [&](double t) { return t < first || t > last; }),
                   beats.ms.end());
    // Two beats snapped onto one onset: keep one.
    beats.ms.erase(std::unique(beats.ms.begin(), beats.ms.end()), beats.ms.end());
    if (beats.ms.size() >= 2)
        beats.bpm = 60000.0 / medianGap(beats.ms);
    return beats;
}

}  // namespace zorv::chartmake
