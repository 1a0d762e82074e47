#include "bench/autoplay/Align.h"

#include <algorithm>
#include <cmath>

namespace zorv::autoplay {

std::vector<double> risingEdgesMs(const std::vector<bench::Onset>& loud, std::int64_t songStartNs, int rate)
{
    // Consecutive samples lie 1/rate apart; a wider gap means quiet between
    // (or, backwards, a new read whose time ran back: see below).
    const double gapNs = 1.5e9 / rate;
    std::vector<double> edges;
    for (std::size_t i = 0; i < loud.size(); ++i) {
        if (i == 0 || std::abs(static_cast<double>(loud[i].heardNs - loud[i - 1].heardNs)) > gapNs)
            edges.push_back(static_cast<double>(loud[i].heardNs - songStartNs) / 1e6);
    }
    // A record stream's latency figure jumps now and then (by hundreds of ms
    // behind a null sink that has just woken up), and the times of the reads
    // after it run backwards.
    std::sort(edges.begin(), edges.end());
    return edges;
}

std::vector<double> risingEdgesMs(const std::vector<float>& mono, int rate, float threshold)
{
    std::vector<double> edges;
    bool was = false;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        const bool is = std::abs(mono[i]) >= threshold;
        if (is && !was)
            edges.push_back(static_cast<double>(i) * 1000.0 / rate);
        was = is;
    }
    return edges;
}

Offset alignStretch(const std::vector<double>& heard, const std::vector<double>& song, double fromMs, double toMs,
                    double centreMs, double rangeMs, double binMs)
{
    if (!(rangeMs > 0) || !(binMs > 0) || !std::isfinite(centreMs) || !std::is_sorted(heard.begin(), heard.end()) ||
        !std::is_sorted(song.begin(), song.end()))
        return {(fromMs + toMs) / 2, centreMs, 0};
    const auto bins = static_cast<std::size_t>(std::ceil(2 * rangeMs / binMs)) + 1;
    std::vector<int> votes(bins, 0);
    const double low = centreMs - rangeMs;  // the smallest difference counted
    const auto first = std::lower_bound(song.begin(), song.end(), fromMs);
    const auto last = std::lower_bound(first, song.end(), toMs);
    auto near = std::lower_bound(heard.begin(), heard.end(), fromMs + low);
    for (auto s = first; s != last; ++s) {
        while (near != heard.end() && *near < *s + low)
            ++near;
        for (auto h = near; h != heard.end() && *h <= *s + centreMs + rangeMs; ++h) {
            // Within 0..bins - 1 by the bounds above, but only as far as the
            // sums round alike: checked, since a vote outside is a write
            // outside the histogram.
            const long bin = std::lround((*h - *s - low) / binMs);
            if (bin >= 0 && static_cast<std::size_t>(bin) < bins)
                ++votes[static_cast<std::size_t>(bin)];
        }
    }
    const auto best = std::max_element(votes.begin(), votes.end());
    const auto bin = static_cast<std::size_t>(best - votes.begin());
    // A pile at the edge of the range is the slope of one beyond it.
    const bool edge = bin == 0 || bin + 1 == bins;
    return {(fromMs + toMs) / 2, static_cast<double>(bin) * binMs + low, edge ? 0 : *best};
}

std::vector<Offset> trackEdges(const std::vector<double>& heard, const std::vector<double>& song, const Tracking& t)
{
    std::vector<Offset> offsets;
    int missed = 0;
    for (double from = 0; !song.empty() && from + t.windowMs <= song.back() + t.stepMs; from += t.stepMs) {
        const double centre = offsets.empty() ? 0 : offsets.back().offsetMs;
        const double range = missed >= t.lostAfter ? t.lostRangeMs : t.followMs;
        const Offset offset = alignStretch(heard, song, from, from + t.windowMs, centre, range, t.binMs);
        if (offset.votes >= t.minVotes) {
            offsets.push_back(offset);
            missed = 0;
        } else {
            ++missed;
        }
    }
    return offsets;
}

}  // namespace zorv::autoplay
