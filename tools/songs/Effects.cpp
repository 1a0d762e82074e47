#include "tools/songs/Effects.h"

#include <array>

namespace zorv::songs::synth {
namespace {

// A Schroeder-Moorer reverb with the well-known Freeverb tunings: eight
// damped combs and four allpasses per side, the right side slightly longer.
class Comb {
public:
    Comb(std::size_t length, float feedback, float damp) : buf_(length), feedback_(feedback), damp_(damp) {}
    float tick(float x)
    {
        const float y = buf_[i_];
        store_ = y * (1.0f - damp_) + store_ * damp_;
        buf_[i_] = x + store_ * feedback_;
        if (++i_ == buf_.size())
            i_ = 0;
        return y;
    }

private:
    std::vector<float> buf_;
    std::size_t i_ = 0;
    float store_ = 0, feedback_, damp_;
};

class Allpass {
public:
    explicit Allpass(std::size_t length) : buf_(length) {}
    float tick(float x)
    {
        const float b = buf_[i_];
        buf_[i_] = x + b * 0.5f;
        if (++i_ == buf_.size())
            i_ = 0;
        return b - x;
    }

private:
    std::vector<float> buf_;
    std::size_t i_ = 0;
};

}  // namespace

void reverb(const Buffer& in, Buffer& outL, Buffer& outR)
{
    static constexpr std::array<std::size_t, 8> kCombs = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static constexpr std::array<std::size_t, 4> kAllpasses = {556, 441, 341, 225};
    constexpr std::size_t kSpread = 23;
    const std::size_t preDelay = samplesFor(0.02);
    std::vector<Comb> combL, combR;
    std::vector<Allpass> apL, apR;
    for (const auto n : kCombs) {
        combL.emplace_back(n, 0.83f, 0.3f);
        combR.emplace_back(n + kSpread, 0.83f, 0.3f);
    }
    for (const auto n : kAllpasses) {
        apL.emplace_back(n);
        apR.emplace_back(n + kSpread);
    }
    for (std::size_t n = 0; n < in.size(); ++n) {
        const float x = n >= preDelay ? in[n - preDelay] * 0.015f : 0.0f;
        float l = 0, r = 0;
        for (auto& c : combL)
            l += c.tick(x);
        for (auto& c : combR)
            r += c.tick(x);
        for (auto& a : apL)
            l = a.tick(l);
        for (auto& a : apR)
            r = a.tick(r);
        outL[n] = l;
        outR[n] = r;
    }
}

// Ping-pong echo: the first repeat on the left, the next on the right, each
// darker than the one before.
void echo(const Buffer& in, std::size_t delay, float feedback, Buffer& outL, Buffer& outR)
{
    Buffer lineL(in.size()), lineR(in.size());
    float tone = 0;
    const float toneCoef = static_cast<float>(1.0 - std::exp(-kTwoPi * 3000.0 / kRate));
    for (std::size_t n = 0; n < in.size(); ++n) {
        const float dl = n >= delay ? lineL[n - delay] : 0.0f;
        const float dr = n >= delay ? lineR[n - delay] : 0.0f;
        tone += toneCoef * (dr - tone);
        lineL[n] = in[n] + feedback * tone;
        lineR[n] = feedback * dl;
        outL[n] = dl;
        outR[n] = dr;
    }
}

// DC blocker: the asymmetric drum transients leave a slow offset.
void blockDc(Buffer& ch)
{
    double x1 = 0, y1 = 0;
    for (auto& s : ch) {
        const double y = s - x1 + 0.9995 * y1;
        x1 = s;
        y1 = y;
        s = static_cast<float>(y);
    }
}

// Look-ahead peak limiter with linked channels. The gain curve is the
// running minimum of the needed gain over the look-ahead, averaged over the
// same length: every averaged value comes from a window that contains the
// sample, so no sample ever exceeds the ceiling, and the gain still glides.
// Returns the deepest reduction in dB.
double limit(Buffer& l, Buffer& r, double ceiling)
{
    const std::size_t n = l.size();
    constexpr std::size_t kLook = 64;
    std::vector<float> need(n);
    const double release = 1.0 - std::exp(-1.0 / (0.08 * kRate));
    double env = 1.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double peak = std::max(std::abs(l[i]), std::abs(r[i]));
        const double want = peak > ceiling ? ceiling / peak : 1.0;
        env = std::min(want, env + (1.0 - env) * release);
        need[i] = static_cast<float>(env);
    }
    std::vector<float> floorGain(n);
    for (std::size_t i = 0; i < n; ++i) {
        float v = 1.0f;
        for (std::size_t j = i; j < std::min(n, i + kLook); ++j)
            v = std::min(v, need[j]);
        floorGain[i] = v;
    }
    double sum = 0;
    double deepest = 1.0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += floorGain[i];
        if (i >= kLook)
            sum -= floorGain[i - kLook];
        const double g = sum / static_cast<double>(std::min(i + 1, kLook));
        deepest = std::min(deepest, g);
        l[i] = static_cast<float>(l[i] * g);
        r[i] = static_cast<float>(r[i] * g);
    }
    return gainToDb(deepest);
}

}  // namespace zorv::songs::synth
