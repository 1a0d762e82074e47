#include "Alignment.h"

#include <algorithm>
#include <cmath>

namespace zorv::corpus {
namespace {

constexpr int kStep = kAlignRate / 1000;  // samples a ms
constexpr int kSpanMs = 4;                // of the energy, and of its rise

// Onset strength per ms: the rise of the log high-passed energy over the
// last kSpanMs against the kSpanMs before.
std::vector<double> onsetStrength(const std::vector<std::int16_t>& samples)
{
    std::vector<double> energy(samples.size() / kStep);
    double previous = 0;
    for (std::size_t ms = 0; ms < energy.size(); ++ms)
        for (int i = 0; i < kStep; ++i) {
            const double x = samples[ms * kStep + static_cast<std::size_t>(i)];
            energy[ms] += (x - previous) * (x - previous);
            previous = x;
        }
    std::vector<double> level(energy.size()), strength(energy.size());
    for (std::size_t ms = kSpanMs; ms < energy.size(); ++ms) {
        double sum = 0;
        for (std::size_t k = 0; k < kSpanMs; ++k)
            sum += energy[ms - k];
        level[ms] = std::log1p(sum);
    }
    for (std::size_t ms = 2 * kSpanMs; ms < energy.size(); ++ms)
        strength[ms] = std::max(0.0, level[ms] - level[ms - kSpanMs]);
    return strength;
}

}  // namespace

Alignment alignToAudio(const std::vector<std::int16_t>& samples, const std::vector<double>& notes)
{
    const auto strength = onsetStrength(samples);
    if (notes.empty() || strength.empty())
        return {};
    std::vector<double> summed;
    for (int lag = kAlignEarliestMs; lag <= kAlignLatestMs; ++lag) {
        double sum = 0;
        for (const double t : notes) {
            // The strength of ms m rises with an attack in [m, m + 1) and
            // stays up kSpanMs: the half-way rise is the attack's ms.
            const auto at = static_cast<long>(std::lround(t)) + lag;
            if (at >= 0 && at < static_cast<long>(strength.size()))
                sum += strength[static_cast<std::size_t>(at)];
        }
        summed.push_back(sum / static_cast<double>(notes.size()));
    }
    const auto peak = std::max_element(summed.begin(), summed.end());
    auto sorted = summed;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2), sorted.end());
    const double median = sorted[sorted.size() / 2], half = median + (*peak - median) / 2;
    auto rise = peak;
    while (rise != summed.begin() && *(rise - 1) >= half)
        --rise;
    Alignment out;
    out.offsetMs = kAlignEarliestMs + static_cast<double>(rise - summed.begin());
    out.contrast = median > 0 ? *peak / median : 0;
    return out;
}

}  // namespace zorv::corpus
