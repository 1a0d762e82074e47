#include "tools/corpus/Evaluate.h"

#include "charting/Charting.h"

#include <algorithm>
#include <cmath>

namespace zorv::corpus {
namespace {

// Signed distance from `ms` to the nearest of `times` (ascending, not empty).
double nearest(const std::vector<double>& times, double ms)
{
    const auto after = std::lower_bound(times.begin(), times.end(), ms);
    double best = after != times.end() ? ms - *after : ms - times.back();
    if (after != times.begin()) {
        const double before = ms - *(after - 1);
        if (std::abs(before) < std::abs(best))
            best = before;
    }
    return best;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

}  // namespace

ChartFigures evaluate(const Truth& truth, const std::vector<ChartNote>& notes)
{
    ChartFigures out;
    if (notes.empty() || truth.onsets.empty())
        return out;
    std::vector<double> onsets, beats;
    for (const auto& onset : truth.onsets)
        onsets.push_back(onset.ms);
    for (const auto& beat : truth.beats)
        beats.push_back(beat.ms);

    std::vector<double> offsets;
    std::size_t onOnsets = 0, onBeats = 0;
    for (const auto& note : notes) {
        const double heard = static_cast<double>(note.timeMs) + charting::kLeadMs;
        const double offset = nearest(onsets, heard);
        offsets.push_back(offset);
        onOnsets += std::abs(offset) <= kToleranceMs ? 1 : 0;
        onBeats += !beats.empty() && std::abs(nearest(beats, heard)) <= kToleranceMs ? 1 : 0;
    }
    const auto n = static_cast<double>(notes.size());
    out.notes = notes.size();
    out.onOnsets = static_cast<double>(onOnsets) / n;
    out.medianOffsetMs = median(offsets);
    out.onBeats = static_cast<double>(onBeats) / n;
    out.notesPerSecond = n * 1000.0 / truth.lengthMs;
    return out;
}

double chanceOnOnsets(const Truth& truth)
{
    // Union of the intervals [onset - tolerance, onset + tolerance] inside the song.
    double covered = 0, reach = 0;
    for (const auto& onset : truth.onsets) {
        const double from = std::max({onset.ms - kToleranceMs, reach, 0.0});
        const double to = std::min(onset.ms + kToleranceMs, truth.lengthMs);
        if (to > from)
            covered += to - from;
        reach = std::max(reach, to);
    }
    return truth.lengthMs > 0 ? covered / truth.lengthMs : 0.0;
}

}  // namespace zorv::corpus
