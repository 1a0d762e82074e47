#include "Align.h"

#include <algorithm>
#include <cmath>

namespace zorv::autoplay {

std::vector<double> risingEdgesMs(const std::vector<bench::Onset>& loud, std::int64_t songStartNs, int rate)
{
    // Consecutive samples lie 1/rate apart; a wider gap means quiet between.
    const double gapNs = 1.5e9 / rate;
    std::vector<double> edges;
    for (std::size_t i = 0; i < loud.size(); ++i) {
        if (i == 0 || static_cast<double>(loud[i].heardNs - loud[i - 1].heardNs) > gapNs)
            edges.push_back(static_cast<double>(loud[i].heardNs - songStartNs) / 1e6);
    }
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
                    double rangeMs, double binMs)
{
    const auto bins = static_cast<std::size_t>(std::ceil(2 * rangeMs / binMs)) + 1;
    std::vector<int> votes(bins, 0);
    const auto first = std::lower_bound(song.begin(), song.end(), fromMs);
    const auto last = std::lower_bound(first, song.end(), toMs);
    auto near = std::lower_bound(heard.begin(), heard.end(), fromMs - rangeMs);
    for (auto s = first; s != last; ++s) {
        while (near != heard.end() && *near < *s - rangeMs)
            ++near;
        for (auto h = near; h != heard.end() && *h <= *s + rangeMs; ++h)
            ++votes[static_cast<std::size_t>(std::lround((*h - *s + rangeMs) / binMs))];
    }
    const auto best = std::max_element(votes.begin(), votes.end());
    return {(fromMs + toMs) / 2, static_cast<double>(best - votes.begin()) * binMs - rangeMs, *best};
}

std::vector<Offset> alignEdges(const std::vector<double>& heard, const std::vector<double>& song, double windowMs,
                               double stepMs, double rangeMs, double binMs, int minVotes)
{
    std::vector<Offset> offsets;
    for (double from = 0; !song.empty() && from + windowMs <= song.back() + stepMs; from += stepMs) {
        const Offset offset = alignStretch(heard, song, from, from + windowMs, rangeMs, binMs);
        if (offset.votes >= minVotes)
            offsets.push_back(offset);
    }
    return offsets;
}

}  // namespace zorv::autoplay
