#include "bench/autoplay/Presses.h"

#include <algorithm>
#include <cmath>

#include "charting/Charting.h"

namespace zorv::autoplay {

std::vector<KeyEvent> keySchedule(const std::vector<Note>& notes, std::int64_t songStartNs, std::int64_t offsetNs,
                                  std::int64_t holdNs)
{
    constexpr std::int64_t kMs = 1'000'000;
    std::vector<KeyEvent> events;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const std::int64_t press = songStartNs + (std::int64_t{notes[i].timeMs} + charting::kLeadMs) * kMs + offsetNs;
        std::int64_t release = press + holdNs;
        for (std::size_t j = i + 1; j < notes.size(); ++j) {
            if (notes[j].lane != notes[i].lane)
                continue;
            const std::int64_t next =
                songStartNs + (std::int64_t{notes[j].timeMs} + charting::kLeadMs) * kMs + offsetNs;
            release = std::max(press + 1, std::min(release, next - kMs));
            break;
        }
        events.push_back({press, notes[i].lane, true, i});
        events.push_back({release, notes[i].lane, false, i});
    }
    std::stable_sort(events.begin(), events.end(), [](const KeyEvent& a, const KeyEvent& b) {
        return a.atNs != b.atNs ? a.atNs < b.atNs : (!a.down && b.down);
    });
    return events;
}

Spread spreadOf(std::vector<double> values)
{
    Spread s;
    s.n = values.size();
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    auto at = [&values](double q) {
        const double pos = q * static_cast<double>(values.size() - 1);
        const auto lo = static_cast<std::size_t>(std::floor(pos));
        const std::size_t hi = std::min(lo + 1, values.size() - 1);
        return values[lo] + (values[hi] - values[lo]) * (pos - static_cast<double>(lo));
    };
    s.median = at(0.5);
    s.p5 = at(0.05);
    s.p95 = at(0.95);
    s.minimum = values.front();
    s.maximum = values.back();
    return s;
}

double slope(const std::vector<double>& x, const std::vector<double>& y)
{
    const std::size_t n = std::min(x.size(), y.size());
    if (n < 2)
        return 0;
    double mx = 0, my = 0;
    for (std::size_t i = 0; i < n; ++i) {
        mx += x[i];
        my += y[i];
    }
    mx /= static_cast<double>(n);
    my /= static_cast<double>(n);
    double sxy = 0, sxx = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
    }
    return sxx > 0 ? sxy / sxx : 0;
}

std::vector<double> nearestOffsets(const std::vector<double>& times, const std::vector<double>& marks, double withinMs)
{
    std::vector<double> offsets;
    for (double t : times) {
        const auto after = std::lower_bound(marks.begin(), marks.end(), t);
        double best = withinMs + 1;
        if (after != marks.end())
            best = *after - t;
        if (after != marks.begin() && t - *(after - 1) < std::abs(best))
            best = *(after - 1) - t;
        if (std::abs(best) <= withinMs)
            offsets.push_back(-best);  // time - mark
    }
    return offsets;
}

}  // namespace zorv::autoplay
