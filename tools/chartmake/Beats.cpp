#include "tools/chartmake/Beats.h"

#include <algorithm>
#include <array>
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
// One half of the beats with this much more pulse than the other is the beat.
constexpr double kStrongerHalf = 1.6;

double bpmOf(double periodHops) { return 60000.0 / (periodHops * kHopMs); }

double inTempoRange(double periodHops)
{
    while (bpmOf(periodHops) > kFastestBpm)
        periodHops *= 2;
    while (bpmOf(periodHops) < kSlowestBpm)
        periodHops /= 2;
    return periodHops;
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
    const auto known = std::find_if(block.begin(), block.end(), [](double p) { return p > 0; });
    if (known == block.end())
        return {};
    double last = *known;
    for (double& p : block)
        p = p > 0 ? (last = p) : last;
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

// aubio's period can be half the beat: kicks on the beats and hats between
// them read as twice the tempo. Then every other beat carries far more
// pulse than the rest; those are the beats.
void keepTheStrongerHalf(std::vector<double>& beats, const std::vector<float>& pulse)
{
    std::array<double, 2> sum{};
    for (std::size_t i = 0; i < beats.size(); ++i)
        sum[i % 2] += pulseAt(pulse, beats[i]);
    const std::size_t stronger = sum[1] > sum[0] ? 1 : 0;
    if (beats.size() < 8 || sum[stronger] < kStrongerHalf * sum[1 - stronger])
        return;
    std::vector<double> kept;
    for (std::size_t i = stronger; i < beats.size(); i += 2)
        kept.push_back(beats[i]);
    beats = std::move(kept);
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
    const std::vector<double> period = periodPerHop(features);
    if (period.empty() || features.pulse.empty())
        return beats;
    for (std::size_t k : bestPath(features.pulse, period)) {
        const double ms = (static_cast<double>(k) - kPeakLagHops) * kHopMs;
        if (ms >= 0 && ms <= features.durationMs)
            beats.ms.push_back(snapped(ms, features.onsets));
    }
    // Two beats snapped onto one onset: keep one.
    beats.ms.erase(std::unique(beats.ms.begin(), beats.ms.end()), beats.ms.end());
    if (beats.ms.size() >= 2 && 60000.0 / (2 * medianGap(beats.ms)) >= kSlowestBpm)
        keepTheStrongerHalf(beats.ms, features.pulse);
    if (beats.ms.size() >= 2)
        beats.bpm = 60000.0 / medianGap(beats.ms);
    return beats;
}

}  // namespace zorv::chartmake
