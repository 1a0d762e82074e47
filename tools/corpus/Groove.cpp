#include "Groove.h"

#include <algorithm>
#include <cmath>

namespace zorv::corpus {
namespace {

std::vector<double> distinct(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return times;
}

bool near(const std::vector<double>& grid, double ms, double toleranceMs)
{
    const auto after = std::lower_bound(grid.begin(), grid.end(), ms - toleranceMs);
    return after != grid.end() && *after <= ms + toleranceMs;
}

}  // namespace

double shareNear(const std::vector<double>& notes, const std::vector<double>& grid, double toleranceMs)
{
    const auto times = distinct(notes);
    if (times.empty() || grid.empty())
        return 0;
    const auto on = std::count_if(times.begin(), times.end(), [&](double t) { return near(grid, t, toleranceMs); });
    return static_cast<double>(on) / static_cast<double>(times.size());
}

double steadiness(const std::vector<double>& notes)
{
    const auto t = distinct(notes);
    if (t.size() < 3)
        return 0;
    std::size_t steady = 0;
    for (std::size_t i = 1; i + 1 < t.size(); ++i)
        steady += std::abs((t[i + 1] - t[i]) - (t[i] - t[i - 1])) <= kSteadyMs ? 1 : 0;
    return static_cast<double>(steady) / static_cast<double>(t.size() - 2);
}

double densityCorrelation(const std::vector<double>& ours, const std::vector<double>& theirs, double lengthMs)
{
    const auto windows = static_cast<std::size_t>(std::floor(lengthMs / kDensityWindowMs + 0.5));
    if (windows < 2)
        return 0;
    std::vector<double> a(windows), b(windows);
    const auto count = [&](const std::vector<double>& times, std::vector<double>& into) {
        for (const double t : distinct(times))
            if (t >= 0 && t < static_cast<double>(windows) * kDensityWindowMs)
                into[static_cast<std::size_t>(t / kDensityWindowMs)] += 1;
    };
    count(ours, a);
    count(theirs, b);
    const double n = static_cast<double>(windows);
    double meanA = 0, meanB = 0;
    for (std::size_t i = 0; i < windows; ++i) {
        meanA += a[i] / n;
        meanB += b[i] / n;
    }
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < windows; ++i) {
        ab += (a[i] - meanA) * (b[i] - meanB);
        aa += (a[i] - meanA) * (a[i] - meanA);
        bb += (b[i] - meanB) * (b[i] - meanB);
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

bool tempoMatches(double bpm, double theirs)
{
    if (!(bpm > 0) || !(theirs > 0))
        return false;
    for (const double level : {0.5, 1.0, 2.0})
        if (std::abs(bpm / (theirs * level) - 1) <= kTempoTolerance)
            return true;
    return false;
}

}  // namespace zorv::corpus
