#include "tools/chart/make/Beats.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>

#include "tools/chart/make/Tempo.h"

namespace zorv::chartmake {
namespace {

// How strongly the search keeps to the period: the cost of a beat interval
// that is e times the period (Ellis' "tightness"). Ellis' 100 let the beats
// slip to the off-beat and back within a song: on four band recordings
// 48-67 % of the beats fell on the song's own; at 400, 39-100 %; at 2000 to
// 5000, 73-100 %; at 20000 the search can no longer follow a period that is
// not a whole number of hops.
constexpr double kTightness = 3000;
// A beat this close to an onset is that onset.
constexpr double kSnapMs = 40;
// The flux peaks about one hop after the onset that causes it (measured on
// the bundled songs: beats placed at the peak hop sat 27 ms early).
constexpr double kPeakLagHops = 1;
// The beats are searched on the bass's onset strength with the low band's
// added at this weight, each scaled to unit deviation. The kick marks the
// beat; a riff's and a snare's accents often fall between: on the four band
// recordings, the low band alone put 18-67 % of the beats on the song's,
// the bass alone 48-99 %, at Ellis' tightness. The low band keeps a song
// without bass trackable.
constexpr float kPulseWeight = 0.2f;

// The signal scaled to unit standard deviation, or empty if it is flat.
std::vector<float> normalised(const std::vector<float>& signal)
{
    double mean = 0;
    for (float s : signal)
        mean += s;
    mean /= static_cast<double>(signal.size());
    double var = 0;
    for (float s : signal)
        var += (s - mean) * (s - mean);
    const double scale = std::sqrt(var / static_cast<double>(signal.size()));
    if (!(scale > 0))
        return {};
    std::vector<float> out(signal.size());
    for (std::size_t k = 0; k < signal.size(); ++k)
        out[k] = static_cast<float>(signal[k] / scale);
    return out;
}

// Hop indexes of the beat sequence maximising the summed onset strength less the cost of every interval straying from
// the period.
std::vector<std::size_t> bestPath(const std::vector<float>& strength, const std::vector<double>& period)
{
    const std::size_t n = strength.size();

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
        score[k] = strength[k] + best;
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

// The signal at a beat: its peak within a hop either side of where the flux
// of an onset at `ms` peaks.
float valueAt(const std::vector<float>& signal, double ms)
{
    const auto k = static_cast<std::ptrdiff_t>(std::lround(ms / kHopMs + kPeakLagHops));
    float most = 0;
    for (std::ptrdiff_t i = std::max<std::ptrdiff_t>(k - 1, 0); i <= k + 1; ++i)
        if (i < static_cast<std::ptrdiff_t>(signal.size()))
            most = std::max(most, signal[static_cast<std::size_t>(i)]);
    return most;
}

// Where each beat falls in its bar, 0 on the bar's first: bars begin on the
// beat of every `perBar` on which the bass is strongest, where the kick
// falls. `beats` are the search's, one per period.
std::vector<int> placesInBar(const std::vector<double>& beats, const std::vector<float>& bass, int perBar)
{
    std::vector<double> sum(static_cast<std::size_t>(perBar), 0.0);
    for (std::size_t i = 0; i < beats.size(); ++i)
        sum[i % sum.size()] += valueAt(bass, beats[i]);
    const auto first = static_cast<std::size_t>(std::max_element(sum.begin(), sum.end()) - sum.begin());
    std::vector<int> places(beats.size());
    for (std::size_t i = 0; i < beats.size(); ++i)
        places[i] = static_cast<int>((i + sum.size() - first) % sum.size());
    return places;
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

// Each beat moved onto the straight line that best fits it and the
// kSmoothBeats beats either side (least squares over their indexes), within
// its stretch of beats: a break, a gap wider than kWidestGap median beats,
// ends a stretch. Snapped onto onsets, the beats take each onset's own
// timing; the band's pulse is steadier than that. On four band recordings,
// 72-89 % of the maker's notes sat within 10 ms of the local median of
// their offsets from the person's grid, and 95-100 % of those medians
// within 25 ms of it, against 79-98 % of the notes themselves.
constexpr std::ptrdiff_t kSmoothBeats = 4;
constexpr double kWidestGap = 1.6;

std::vector<double> smoothed(const std::vector<double>& beats)
{
    if (beats.size() < 3)
        return beats;
    const double widest = kWidestGap * medianGap(beats);
    std::vector<std::ptrdiff_t> stretch(beats.size(), 0);
    for (std::size_t i = 1; i < beats.size(); ++i)
        stretch[i] = stretch[i - 1] + (beats[i] - beats[i - 1] > widest ? 1 : 0);
    const auto n = static_cast<std::ptrdiff_t>(beats.size());
    std::vector<double> out(beats.size());
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        double sk = 0, st = 0, skk = 0, skt = 0, count = 0;
        for (std::ptrdiff_t k = std::max<std::ptrdiff_t>(0, i - kSmoothBeats); k <= std::min(n - 1, i + kSmoothBeats);
             ++k) {
            if (stretch[static_cast<std::size_t>(k)] != stretch[static_cast<std::size_t>(i)])
                continue;
            const auto x = static_cast<double>(k - i);
            const double t = beats[static_cast<std::size_t>(k)];
            sk += x, st += t, skk += x * x, skt += x * t, count += 1;
        }
        const double spread = count * skk - sk * sk;
        // The line's value at x = 0: its intercept.
        out[static_cast<std::size_t>(i)] =
            spread > 0 ? (st * skk - sk * skt) / spread : beats[static_cast<std::size_t>(i)];
    }
    return out;
}

}  // namespace

Beats trackBeats(const Features& features)
{
    Beats beats;
    const Tempo tempo = induceTempo(features);
    if (tempo.periodHops.empty())
        return beats;
    std::vector<float> signal = normalised(features.pulse);
    const std::vector<float> bass = normalised(features.bass);
    if (signal.empty())
        return beats;
    for (std::size_t k = 0; k < signal.size() && k < bass.size(); ++k)
        signal[k] = kPulseWeight * signal[k] + bass[k];
    for (std::size_t k : bestPath(signal, tempo.periodHops))
        beats.ms.push_back((static_cast<double>(k) - kPeakLagHops) * kHopMs);
    beats.perBar = tempo.beatsPerBar;
    beats.inBar = placesInBar(beats.ms, bass.empty() ? signal : bass, beats.perBar);
    for (double& t : beats.ms)
        t = snapped(t, features.onsets);
    // The search runs on through silence before the first onset and after
    // the last; there is no beat to tap there. Two beats snapped onto one
    // onset: keep one.
    const double first = features.onsets.empty() ? 0 : features.onsets.front().ms - kSnapMs;
    const double last = features.onsets.empty() ? 0 : features.onsets.back().ms + kSnapMs;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < beats.ms.size(); ++i) {
        const double t = beats.ms[i];
        if (t < first || t > last || (kept > 0 && t <= beats.ms[kept - 1]))
            continue;
        beats.ms[kept] = t;
        beats.inBar[kept++] = beats.inBar[i];
    }
    beats.ms.resize(kept);
    beats.inBar.resize(kept);
    beats.ms = smoothed(beats.ms);
    if (beats.ms.size() >= 2)
        beats.bpm = 60000.0 / medianGap(beats.ms);
    return beats;
}

}  // namespace zorv::chartmake
