#include "tools/chart/make/Tempo.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace zorv::chartmake {
namespace {

// The correlation is gathered per block of about a second and read over
// kWindowBlocks of them around each: long enough for a few bars, short
// enough to follow a change of tempo.
constexpr std::size_t kBlockHops = 86;
constexpr std::size_t kWindowBlocks = 9;
// The onset strength less its mean over this many hops either side: what
// stands out of the texture, not how loud it is.
constexpr std::size_t kMeanHops = 20;
// Candidate tempi, this ratio apart.
constexpr double kStep = 1.01;
// How much the preference for kPreferredBpm weighs: the width of its
// log-Gaussian, in octaves. Narrower (1.3) put a song in 6/8 at 72 BPM at
// 108, three against two; wider (5) let a song's tempo change pass unseen.
constexpr double kPreferenceOctaves = 2.0;
// The correlation at the beat itself counts this many times: at 1 or 2, a
// swung song at 138 BPM and a waltz at 152 came out at 69 and 76 (a level
// a listener may tap) but so did a song at 70 at 140; at 3 every song of
// the synthesised corpus and the band recordings came out at its tempo,
// half or twice it.
constexpr double kBeatWeight = 3;
// The Viterbi path's cost of changing tempo, per octave of change.
constexpr double kChangeCost = 6.0;
// A bar of three beats, only where it correlates this much better than one
// of four: a song in four correlated 1.07 times better at three beats than
// at four.
constexpr double kThreeOverFour = 1.2;

double hopsOf(double bpm) { return 60000.0 / (bpm * kHopMs); }

std::vector<float> standingOut(const std::vector<float>& strength)
{
    const std::size_t n = strength.size();
    std::vector<double> sum(n + 1, 0.0);
    for (std::size_t k = 0; k < n; ++k)
        sum[k + 1] = sum[k] + strength[k];
    std::vector<float> out(n);
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t from = k > kMeanHops ? k - kMeanHops : 0;
        const std::size_t to = std::min(n, k + kMeanHops + 1);
        const double mean = (sum[to] - sum[from]) / static_cast<double>(to - from);
        out[k] = static_cast<float>(std::max(0.0, strength[k] - mean));
    }
    return out;
}

// Per block, the products of the signal with itself at every lag up to
// `lags`: the autocorrelation of any run of blocks is their sum.
std::vector<std::vector<double>> blockProducts(const std::vector<float>& o, std::size_t lags)
{
    const std::size_t n = o.size();
    std::vector<std::vector<double>> blocks((n + kBlockHops - 1) / kBlockHops, std::vector<double>(lags + 1, 0.0));
    for (std::size_t k = 0; k < n; ++k) {
        if (o[k] == 0)
            continue;
        std::vector<double>& block = blocks[k / kBlockHops];
        const std::size_t most = std::min(lags, n - 1 - k);
        for (std::size_t lag = 0; lag <= most; ++lag)
            block[lag] += static_cast<double>(o[k]) * o[k + lag];
    }
    return blocks;
}

double at(const std::vector<double>& r, double lag)
{
    const auto i = static_cast<std::size_t>(lag);
    if (i + 1 >= r.size())
        return 0;
    const double f = lag - static_cast<double>(i);
    return r[i] * (1 - f) + r[i + 1] * f;
}

// How well a beat every `tau` hops fits the correlation `r`: the beat, its
// half, two beats and a bar.
double metreScore(const std::vector<double>& r, double tau)
{
    if (!(r[0] > 0))
        return 0;
    const double fit = kBeatWeight * at(r, tau) + at(r, 2 * tau) + std::max(at(r, 3 * tau), at(r, 4 * tau)) +
                       0.5 * std::max(at(r, tau / 2), at(r, tau / 3));
    const double octaves = std::log2(60000.0 / (tau * kHopMs) / kPreferredBpm);
    return fit / r[0] * std::exp(-0.5 * octaves * octaves / (kPreferenceOctaves * kPreferenceOctaves));
}

std::vector<std::size_t> viterbi(const std::vector<std::vector<double>>& score, const std::vector<double>& taus)
{
    const std::size_t states = taus.size();
    const double stepCost = kChangeCost * std::log2(kStep);
    std::vector<double> total = score.front();
    std::vector<std::vector<std::size_t>> back(score.size(), std::vector<std::size_t>(states, 0));
    std::vector<double> next(states);
    for (std::size_t b = 1; b < score.size(); ++b) {
        for (std::size_t s = 0; s < states; ++s) {
            double best = -1e300;
            for (std::size_t from = 0; from < states; ++from) {
                const double v = total[from] - stepCost * std::fabs(static_cast<double>(s) - static_cast<double>(from));
                if (v > best) {
                    best = v;
                    back[b][s] = from;
                }
            }
            next[s] = best + score[b][s];
        }
        total.swap(next);
    }
    std::vector<std::size_t> path(score.size());
    path.back() = static_cast<std::size_t>(std::max_element(total.begin(), total.end()) - total.begin());
    for (std::size_t b = score.size() - 1; b > 0; --b)
        path[b - 1] = back[b][path[b]];
    return path;
}

}  // namespace

Tempo induceTempo(const Features& features)
{
    Tempo tempo;
    const std::vector<float> o = standingOut(features.pulse);
    const auto lags = static_cast<std::size_t>(std::ceil(4 * hopsOf(kSlowestBpm))) + 2;
    if (o.size() < 2 * lags || std::all_of(o.begin(), o.end(), [](float v) { return v == 0; }))
        return tempo;
    const std::vector<std::vector<double>> blocks = blockProducts(o, lags);

    std::vector<double> taus;
    for (double bpm = kFastestBpm; bpm >= kSlowestBpm; bpm /= kStep)
        taus.push_back(hopsOf(bpm));
    std::vector<std::vector<double>> score(blocks.size(), std::vector<double>(taus.size()));
    std::vector<std::vector<double>> windows(blocks.size(), std::vector<double>(lags + 1, 0.0));
    double threes = 0;
    double fours = 0;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const std::size_t from = b > kWindowBlocks / 2 ? b - kWindowBlocks / 2 : 0;
        const std::size_t to = std::min(blocks.size(), b + kWindowBlocks / 2 + 1);
        std::vector<double>& r = windows[b];
        for (std::size_t j = from; j < to; ++j)
            for (std::size_t lag = 0; lag <= lags; ++lag)
                r[lag] += blocks[j][lag];
        for (std::size_t s = 0; s < taus.size(); ++s)
            score[b][s] = metreScore(r, taus[s]);
    }
    const std::vector<std::size_t> path = viterbi(score, taus);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        threes += at(windows[b], 3 * taus[path[b]]);
        fours += at(windows[b], 4 * taus[path[b]]);
    }
    tempo.beatsPerBar = threes > kThreeOverFour * fours ? 3 : 4;
    tempo.periodHops.resize(o.size());
    for (std::size_t k = 0; k < o.size(); ++k)
        tempo.periodHops[k] = taus[path[k / kBlockHops]];
    return tempo;
}

}  // namespace zorv::chartmake
