#pragma once
// The synthesiser's building blocks: unit conversions, a filter, oscillators,
// envelopes and the partials of additive voices. Mono buffers of floats at
// kSampleRate, full scale 1.0.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <utility>
#include <vector>

#include "tools/songs/Random.h"
#include "tools/songs/Score.h"

namespace zorv::songs::synth {

using Buffer = std::vector<float>;

constexpr double kRate = kSampleRate;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

inline double dbToGain(double db) { return std::pow(10.0, db / 20.0); }
inline double gainToDb(double g) { return 20.0 * std::log10(std::max(g, 1e-12)); }
inline double midiToHz(int pitch) { return 440.0 * std::pow(2.0, (pitch - 69) / 12.0); }
inline double cents(double c) { return std::pow(2.0, c / 1200.0); }
inline std::size_t samplesFor(double seconds) { return static_cast<std::size_t>(std::max(0.0, seconds) * kRate); }
inline double timeOf(std::size_t i) { return static_cast<double>(i) / kRate; }

inline double smoothStep(double x, double from, double to)
{
    const double u = std::clamp((x - from) / (to - from), 0.0, 1.0);
    return u * u * (3.0 - 2.0 * u);
}

// Cuts the last few ms off smoothly, for voices whose decay is truncated.
inline void fadeEnd(Buffer& b, double seconds)
{
    const std::size_t n = std::min(b.size(), samplesFor(seconds));
    for (std::size_t i = 0; i < n; ++i)
        b[b.size() - 1 - i] *= static_cast<float>(static_cast<double>(i) / static_cast<double>(n));
}

// Zavalishin's trapezoidal state-variable filter: stays stable and quiet
// while the cutoff sweeps.
class Svf {
public:
    void set(double cutoff, double q)
    {
        const double fc = std::clamp(cutoff, 20.0, kRate * 0.45);
        g_ = std::tan(std::numbers::pi * fc / kRate);
        k_ = 1.0 / q;
        a1_ = 1.0 / (1.0 + g_ * (g_ + k_));
        a2_ = g_ * a1_;
        a3_ = g_ * a2_;
    }
    void tick(double x)
    {
        const double v3 = x - ic2_;
        const double v1 = a1_ * ic1_ + a2_ * v3;
        const double v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
        ic1_ = 2.0 * v1 - ic1_;
        ic2_ = 2.0 * v2 - ic2_;
        low = v2;
        band = v1;
        high = x - k_ * v1 - v2;
    }
    double low = 0, band = 0, high = 0;

private:
    double g_ = 0, k_ = 1, a1_ = 0, a2_ = 0, a3_ = 0, ic1_ = 0, ic2_ = 0;
};

// Band-limited step correction; keeps saws and squares from aliasing into
// audible whistles on high notes.
inline double polyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

class Osc {
public:
    explicit Osc(double phase = 0.0) : phase_(phase) {}
    double saw(double hz)
    {
        const double dt = hz / kRate;
        const double v = 2.0 * phase_ - 1.0 - polyBlep(phase_, dt);
        advance(dt);
        return v;
    }
    double square(double hz)
    {
        const double dt = hz / kRate;
        double v = phase_ < 0.5 ? 1.0 : -1.0;
        v += polyBlep(phase_, dt);
        double half = phase_ + 0.5;
        if (half >= 1.0)
            half -= 1.0;
        v -= polyBlep(half, dt);
        advance(dt);
        return v;
    }
    double sine(double hz)
    {
        const double v = std::sin(kTwoPi * phase_);
        advance(hz / kRate);
        return v;
    }

private:
    void advance(double dt)
    {
        phase_ += dt;
        if (phase_ >= 1.0)
            phase_ -= std::floor(phase_);
    }
    double phase_;
};

struct Adsr {
    double attack, decay, sustain, release;
};

inline double envelope(const Adsr& e, double t, double gate)
{
    const auto held = [&e](double x) {
        if (x < e.attack)
            return x / e.attack;
        return e.sustain + (1.0 - e.sustain) * std::exp(-(x - e.attack) / e.decay);
    };
    if (t < gate)
        return held(t);
    const double r = (t - gate) / e.release;
    if (r >= 1.0)
        return 0.0;
    return held(gate) * (1.0 - r) * (1.0 - r);
}

// A sinusoid by rotation: four multiplies a sample instead of a call to
// sin(), for the additive voices; over a note of a few seconds the drift in
// double precision stays far below anything audible.
class Phasor {
public:
    Phasor(double hz, double phase) : c_(std::cos(phase)), s_(std::sin(phase))
    {
        dc_ = std::cos(kTwoPi * hz / kRate);
        ds_ = std::sin(kTwoPi * hz / kRate);
    }
    double next()
    {
        const double v = s_;
        const double c = c_ * dc_ - s_ * ds_;
        s_ = s_ * dc_ + c_ * ds_;
        c_ = c;
        return v;
    }

private:
    double c_, s_, dc_ = 1, ds_ = 0;
};

// A partial of an additive voice: its own sinusoid, level and decay.
struct Partial {
    Phasor osc;
    double amp;
    double fall;  // per-sample decay factor
};

inline Partial partial(double hz, double amp, double tau, Rng& rng)
{
    return {Phasor(hz, rng.uniform() * kTwoPi), amp, std::exp(-1.0 / (tau * kRate))};
}

inline double sumPartials(std::vector<Partial>& partials)
{
    double s = 0;
    for (auto& p : partials) {
        s += p.amp * p.osc.next();
        p.amp *= p.fall;
    }
    return s;
}

// Smooth end for a struck voice whose key lifts at `gate`.
inline double damper(double t, double gate, double seconds)
{
    if (t <= gate)
        return 1.0;
    const double r = std::max(0.0, 1.0 - (t - gate) / seconds);
    return r * r;
}

}  // namespace zorv::songs::synth
