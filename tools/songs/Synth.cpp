#include "Synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace zorv::songs {
namespace {

using Buffer = std::vector<float>;

constexpr double kRate = kSampleRate;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Loud enough next to other games' music, with room for the limiter to keep
// every peak under -1 dBFS without squashing the drums.
constexpr double kTargetRmsDb = -16.5;
constexpr double kCeilingDb = -1.4;

double dbToGain(double db) { return std::pow(10.0, db / 20.0); }
double gainToDb(double g) { return 20.0 * std::log10(std::max(g, 1e-12)); }
double midiToHz(int pitch) { return 440.0 * std::pow(2.0, (pitch - 69) / 12.0); }
double cents(double c) { return std::pow(2.0, c / 1200.0); }
std::size_t samplesFor(double seconds) { return static_cast<std::size_t>(std::max(0.0, seconds) * kRate); }
double timeOf(std::size_t i) { return static_cast<double>(i) / kRate; }

double smoothStep(double x, double from, double to)
{
    const double u = std::clamp((x - from) / (to - from), 0.0, 1.0);
    return u * u * (3.0 - 2.0 * u);
}

// Cuts the last few ms off smoothly, for voices whose decay is truncated.
void fadeEnd(Buffer& b, double seconds)
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
double polyBlep(double t, double dt)
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

double envelope(const Adsr& e, double t, double gate)
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

// ---- pitched voices -------------------------------------------------------

Buffer flute(double hz, double gate, double vel, Rng& rng)
{
    const Adsr env{0.03, 0.35, 0.78, 0.14};
    Buffer out(samplesFor(gate + env.release));
    Svf breath;
    breath.set(std::min(hz * 2.0, 6000.0), 1.2);
    const double vibratoPhase = rng.uniform() * kTwoPi;
    double phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        // Vibrato only on held notes, as a player would.
        const double depth = 0.0045 * smoothStep(t, 0.18, 0.6);
        phase += kTwoPi * hz * (1.0 + depth * std::sin(vibratoPhase + kTwoPi * 5.1 * t)) / kRate;
        if (phase > kTwoPi)
            phase -= kTwoPi;
        const double tone =
            std::sin(phase) + 0.22 * std::sin(2 * phase) + 0.07 * std::sin(3 * phase) + 0.03 * std::sin(4 * phase);
        breath.tick(rng.bipolar());
        const double air = breath.band * (0.08 + 0.25 * std::exp(-t / 0.05));
        out[i] = static_cast<float>(envelope(env, t, gate) * vel * (0.8 * tone + air));
    }
    return out;
}

Buffer marimba(double hz, double vel, Rng& rng)
{
    const double tau = std::clamp(0.6 * std::sqrt(262.0 / hz), 0.15, 0.9);
    Buffer out(samplesFor(tau * 5.0));
    struct Mode {
        double ratio, amp, tau;
    };
    // A tuned wooden bar: the overtones sit near 4 and 9.3 times the
    // fundamental and die much faster than it.
    const std::array<Mode, 3> modes = {{{1.0, 1.0, tau}, {3.93, 0.3 * vel, 0.08}, {9.3, 0.08 * vel, 0.02}}};
    Svf click;
    click.set(3000.0, 0.7);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        double s = 0;
        for (const auto& m : modes) {
            if (hz * m.ratio < 16000.0)
                s += m.amp * std::exp(-t / m.tau) * std::sin(kTwoPi * hz * m.ratio * t);
        }
        click.tick(rng.bipolar());
        s += 0.3 * vel * click.low * std::exp(-t / 0.003);
        out[i] = static_cast<float>(std::min(1.0, t / 0.0015) * vel * s);
    }
    fadeEnd(out, 0.01);
    return out;
}

Buffer epiano(double hz, double gate, double vel)
{
    const double tau = std::clamp(1.5 * std::sqrt(262.0 / hz), 0.4, 3.0);
    const double release = 0.2;
    Buffer out(samplesFor(gate + release));
    const bool tine = hz * 14.0 < 16000.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        // Harder strikes are brighter: the FM index follows the velocity.
        const double index = (0.3 + 1.8 * vel) * std::exp(-t / 0.45) + 0.2;
        const double body = std::sin(kTwoPi * hz * t + index * std::sin(kTwoPi * hz * t));
        const double hz2 = hz * 1.0012;
        const double chorus = std::sin(kTwoPi * hz2 * t + index * std::sin(kTwoPi * hz2 * t));
        const double ping =
            tine ? 0.2 * vel * std::exp(-t / 0.03) * std::sin(kTwoPi * hz * t + 1.5 * std::sin(kTwoPi * 14.0 * hz * t))
                 : 0.0;
        double amp = std::min(1.0, t / 0.003) * std::exp(-t / tau);
        if (t > gate) {
            const double r = std::max(0.0, 1.0 - (t - gate) / release);
            amp *= r * r;
        }
        out[i] = static_cast<float>(vel * amp * (0.5 * (body + chorus) + ping));
    }
    return out;
}

Buffer warmPad(double hz, double gate, double vel, Rng& rng)
{
    const Adsr env{0.6, 1.2, 0.85, 0.9};
    Buffer out(samplesFor(gate + env.release));
    Osc a(rng.uniform()), b(rng.uniform()), c(rng.uniform()), sub;
    const double low = cents(-8.0 + 2.0 * rng.bipolar());
    const double high = cents(7.0 + 2.0 * rng.bipolar());
    const double lfo = rng.uniform() * kTwoPi;
    Svf lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        if (i % 32 == 0)
            lp.set(1000.0 + 350.0 * std::sin(lfo + kTwoPi * 0.15 * t), 0.7);
        lp.tick((a.saw(hz * low) + b.saw(hz) + c.saw(hz * high)) / 3.0);
        out[i] = static_cast<float>(envelope(env, t, gate) * vel * (lp.low + 0.3 * sub.sine(hz)));
    }
    return out;
}

Buffer roundBass(double hz, double gate, double vel)
{
    const Adsr env{0.004, 0.35, 0.65, 0.07};
    Buffer out(samplesFor(gate + env.release));
    Osc saw;
    Svf lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        if (i % 16 == 0)
            lp.set(200.0 + 800.0 * vel * std::exp(-t / 0.08), 0.8);
        lp.tick(saw.saw(hz));
        const double s =
            std::sin(kTwoPi * hz * t) + 0.25 * std::sin(2.0 * kTwoPi * hz * t) * std::exp(-t / 0.3) + 0.35 * lp.low;
        out[i] = static_cast<float>(envelope(env, t, gate) * vel * s);
    }
    return out;
}

Buffer bell(double hz, double vel)
{
    Buffer out(samplesFor(2.5));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        const double index = 1.6 * std::exp(-t / 0.3) + 0.3;
        const double s = std::sin(kTwoPi * hz * t + index * std::sin(kTwoPi * hz * 3.5 * t)) +
                         0.3 * std::exp(-t / 0.4) * std::sin(kTwoPi * hz * 2.76 * t);
        out[i] = static_cast<float>(vel * std::min(1.0, t / 0.001) * std::exp(-t / 0.9) * s);
    }
    fadeEnd(out, 0.05);
    return out;
}

Buffer sawLead(double hz, double gate, double vel, Rng& rng)
{
    const Adsr env{0.008, 0.3, 0.72, 0.12};
    Buffer out(samplesFor(gate + env.release));
    Osc a(rng.uniform()), b(rng.uniform()), sq(rng.uniform());
    const double vibratoPhase = rng.uniform() * kTwoPi;
    Svf lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        const double depth = 0.005 * smoothStep(t, 0.2, 0.5);
        const double f = hz * (1.0 + depth * std::sin(vibratoPhase + kTwoPi * 5.6 * t));
        if (i % 16 == 0)
            lp.set(std::min(hz * 1.5 + 1200.0 + 3500.0 * vel * std::exp(-t / 0.25), 12000.0), 0.9);
        lp.tick(0.5 * (a.saw(f * 0.996) + b.saw(f * 1.004)) + 0.35 * sq.square(f));
        out[i] = static_cast<float>(envelope(env, t, gate) * vel * lp.low);
    }
    return out;
}

Buffer pluck(double hz, double gate, double vel, Rng& rng)
{
    const double release = 0.06;
    const double hold = std::min(gate, 0.6);
    Buffer out(samplesFor(hold + release));
    Osc a(rng.uniform()), b(rng.uniform());
    Svf lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        if (i % 8 == 0)
            lp.set(250.0 + 4500.0 * vel * std::exp(-t / 0.06), 1.6);
        lp.tick(a.saw(hz) + 0.4 * b.square(hz * 1.003));
        double amp = std::min(1.0, t / 0.002) * std::exp(-t / 0.22);
        if (t > hold) {
            const double r = std::max(0.0, 1.0 - (t - hold) / release);
            amp *= r * r;
        }
        out[i] = static_cast<float>(0.6 * vel * amp * lp.low);
    }
    return out;
}

Buffer sawPad(double hz, double gate, double vel, Rng& rng)
{
    const Adsr env{0.35, 1.0, 0.8, 0.7};
    Buffer out(samplesFor(gate + env.release));
    std::array<Osc, 4> osc = {Osc(rng.uniform()), Osc(rng.uniform()), Osc(rng.uniform()), Osc(rng.uniform())};
    std::array<double, 4> detune = {-13.0, -5.0, 4.0, 12.0};
    for (auto& d : detune)
        d = cents(d + 1.5 * rng.bipolar());
    const double lfo = rng.uniform() * kTwoPi;
    Svf lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        if (i % 32 == 0)
            lp.set(1300.0 + 500.0 * std::sin(lfo + kTwoPi * 0.11 * t), 0.8);
        double s = 0;
        for (std::size_t k = 0; k < osc.size(); ++k)
            s += osc[k].saw(hz * detune[k]);
        lp.tick(s / 4.0);
        out[i] = static_cast<float>(envelope(env, t, gate) * vel * lp.low);
    }
    return out;
}

Buffer synthBass(double hz, double gate, double vel, Rng& rng)
{
    const Adsr env{0.003, 0.25, 0.8, 0.05};
    Buffer out(samplesFor(gate + env.release));
    Osc a(rng.uniform()), b(rng.uniform());
    Svf lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        if (i % 8 == 0)
            lp.set(160.0 + 1600.0 * vel * std::exp(-t / 0.09), 1.4);
        lp.tick(0.6 * a.saw(hz) + 0.35 * b.square(hz));
        const double s = lp.low + 0.6 * std::sin(kTwoPi * hz * t);
        out[i] = static_cast<float>(envelope(env, t, gate) * vel * std::tanh(1.2 * s));
    }
    return out;
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

Partial partial(double hz, double amp, double tau, Rng& rng)
{
    return {Phasor(hz, rng.uniform() * kTwoPi), amp, std::exp(-1.0 / (tau * kRate))};
}

double sumPartials(std::vector<Partial>& partials)
{
    double s = 0;
    for (auto& p : partials) {
        s += p.amp * p.osc.next();
        p.amp *= p.fall;
    }
    return s;
}

// Smooth end for a struck voice whose key lifts at `gate`.
double damper(double t, double gate, double seconds)
{
    if (t <= gate)
        return 1.0;
    const double r = std::max(0.0, 1.0 - (t - gate) / seconds);
    return r * r;
}

// A string section: the bow brings the tone in over a fifth of a second, so
// its onset is soft, and the players' vibrato only starts on held notes.
Buffer strings(double hz, double gate, double vel, Rng& rng)
{
    const Adsr env{0.18, 0.6, 0.88, 0.35};
    Buffer out(samplesFor(gate + env.release));
    std::array<Osc, 3> osc = {Osc(rng.uniform()), Osc(rng.uniform()), Osc(rng.uniform())};
    std::array<double, 3> detune = {-9.0, 0.0, 8.0};
    std::array<double, 3> vibrato{};
    for (std::size_t k = 0; k < osc.size(); ++k) {
        detune[k] = cents(detune[k] + 2.0 * rng.bipolar());
        vibrato[k] = rng.uniform() * kTwoPi;
    }
    Svf lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        const double a = envelope(env, t, gate);
        if (i % 32 == 0)
            lp.set(std::min(hz * 3.0 + (700.0 + 1800.0 * vel) * (0.4 + 0.6 * a), 9000.0), 0.6);
        const double depth = 0.0045 * smoothStep(t, 0.25, 0.7);
        double s = 0;
        for (std::size_t k = 0; k < osc.size(); ++k)
            s += osc[k].saw(hz * detune[k] * (1.0 + depth * std::sin(vibrato[k] + kTwoPi * 5.3 * t)));
        lp.tick(s / 3.0);
        out[i] = static_cast<float>(a * vel * lp.low);
    }
    return out;
}

// Struck strings: slightly stretched partials, a quick first decay then a
// long one, harder strikes brighter, a felt thump, dampers on key-up.
Buffer piano(double hz, double gate, double vel, Rng& rng)
{
    const double ring = std::clamp(3.0 * std::sqrt(262.0 / hz), 0.8, 6.0);
    Buffer out(samplesFor(std::min(gate, 3.0 * ring) + 0.25));
    std::vector<Partial> fast, slow;
    for (int n = 1; n <= 12; ++n) {
        const double f = n * hz * std::sqrt(1.0 + 0.0003 * n * n);
        if (f > 12000.0)
            break;
        // The hammer strikes an eighth of the way along: that partial is weak.
        const double a = std::abs(std::sin(n * std::numbers::pi / 8.0)) * std::pow(n, -(1.7 - 0.9 * vel));
        fast.push_back(partial(f, 0.55 * a, 0.18 / (1.0 + 0.2 * n), rng));
        slow.push_back(partial(f * 1.0007, 0.45 * a, ring / (1.0 + 0.3 * n), rng));
    }
    Svf felt;
    felt.set(1800.0, 0.7);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        felt.tick(rng.bipolar());
        const double thump = 0.25 * vel * felt.low * std::exp(-t / 0.004);
        const double s = sumPartials(fast) + sumPartials(slow) + thump;
        out[i] = static_cast<float>(vel * std::min(1.0, t / 0.001) * damper(t, gate, 0.12) * s);
    }
    fadeEnd(out, 0.01);
    return out;
}

// Drawbar organ: full at once and flat while held, a key click, a slow
// tremolo. Its notes have no decay to find them by, only their start.
Buffer organ(double hz, double gate, double vel, Rng& rng)
{
    static constexpr std::array<std::pair<double, double>, 6> kBars = {
        {{0.5, 0.45}, {1.0, 1.0}, {1.5, 0.5}, {2.0, 0.6}, {3.0, 0.25}, {4.0, 0.35}}};
    const double release = 0.04;
    Buffer out(samplesFor(gate + release));
    std::vector<Partial> bars;
    for (const auto& [ratio, level] : kBars) {
        if (ratio * hz < 15000.0)
            bars.push_back(partial(ratio * hz, level, 1e9, rng));
    }
    Svf click;
    click.set(2500.0, 1.0);
    const double tremolo = rng.uniform() * kTwoPi;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        click.tick(rng.bipolar());
        const double keys = 0.3 * click.band * std::exp(-t / 0.002);
        const double amp = std::min(1.0, t / 0.006) * (t > gate ? std::max(0.0, 1.0 - (t - gate) / release) : 1.0);
        const double trem = 1.0 + 0.1 * std::sin(tremolo + kTwoPi * 6.2 * t);
        out[i] = static_cast<float>(vel * amp * (trem * sumPartials(bars) / 2.5 + keys));
    }
    return out;
}

// Nylon strings, plucked a fifth of the way along; higher partials die first.
Buffer guitar(double hz, double gate, double vel, Rng& rng)
{
    const double ring = std::clamp(2.2 * std::sqrt(196.0 / hz), 0.6, 4.0);
    const double release = 0.12;
    Buffer out(samplesFor(std::min(gate, 2.5 * ring) + release));
    std::vector<Partial> partials;
    for (int n = 1; n <= 14 && n * hz < 10000.0; ++n) {
        const double a = std::abs(std::sin(n * std::numbers::pi * 0.2)) / std::pow(n, 1.0 + 0.6 * (1.0 - vel));
        partials.push_back(partial(n * hz, a, ring / (1.0 + 0.35 * (n - 1)), rng));
    }
    Svf pick;
    pick.set(3000.0, 0.7);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        pick.tick(rng.bipolar());
        const double s = sumPartials(partials) + 0.15 * vel * pick.low * std::exp(-t / 0.002);
        out[i] = static_cast<float>(vel * std::min(1.0, t / 0.0008) * damper(t, gate, release) * s);
    }
    fadeEnd(out, 0.01);
    return out;
}

// Plucked double bass: a round fundamental, a woody second and third that
// fade fast, and the finger's thump.
Buffer uprightBass(double hz, double gate, double vel, Rng& rng)
{
    const double release = 0.08;
    Buffer out(samplesFor(gate + release));
    static constexpr std::array<double, 6> kLevels = {1.0, 0.55, 0.3, 0.15, 0.08, 0.05};
    std::vector<Partial> partials;
    for (std::size_t k = 0; k < kLevels.size(); ++k) {
        const auto n = static_cast<double>(k + 1);
        partials.push_back(partial(n * hz, kLevels[k], 1.4 / (1.0 + 0.9 * (n - 1.0)), rng));
    }
    Svf finger;
    finger.set(600.0, 0.8);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        finger.tick(rng.bipolar());
        const double s = sumPartials(partials) + 0.6 * vel * finger.low * std::exp(-t / 0.012);
        out[i] = static_cast<float>(vel * std::min(1.0, t / 0.003) * damper(t, gate, release) * s);
    }
    return out;
}

// Metal bars over resonators: a long fundamental pulsed by the motor, short
// overtones near 4 and 10 times it, the mallet's click; the pedal lifts at
// the end of the note.
Buffer vibraphone(double hz, double gate, double vel, Rng& rng)
{
    const double ring = std::clamp(3.5 * std::sqrt(262.0 / hz), 1.2, 5.0);
    Buffer out(samplesFor(std::min(gate, 1.5 * ring) + 0.15));
    Phasor fundamental(hz, rng.uniform() * kTwoPi);
    const double fall = std::exp(-1.0 / (ring * kRate));
    std::vector<Partial> overtones;
    if (hz * 3.98 < 16000.0)
        overtones.push_back(partial(hz * 3.98, 0.25 * vel, 0.35, rng));
    if (hz * 9.9 < 16000.0)
        overtones.push_back(partial(hz * 9.9, 0.08 * vel, 0.06, rng));
    Svf mallet;
    mallet.set(4000.0, 0.7);
    const double motor = rng.uniform() * kTwoPi;
    double level = 1.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        mallet.tick(rng.bipolar());
        const double pulse = 1.0 - 0.35 * (0.5 + 0.5 * std::sin(motor + kTwoPi * 5.2 * t));
        const double s = level * pulse * fundamental.next() + sumPartials(overtones) +
                         0.2 * vel * mallet.low * std::exp(-t / 0.0015);
        level *= fall;
        out[i] = static_cast<float>(vel * std::min(1.0, t / 0.001) * damper(t, gate, 0.15) * s);
    }
    fadeEnd(out, 0.01);
    return out;
}

// A brass section: the lips scoop up to the note and the tone brightens over
// the first 80 ms, so the onset is a swell rather than a click.
Buffer brass(double hz, double gate, double vel, Rng& rng)
{
    const Adsr env{0.05, 0.3, 0.8, 0.12};
    Buffer out(samplesFor(gate + env.release));
    Osc a(rng.uniform()), b(rng.uniform());
    const double vibratoPhase = rng.uniform() * kTwoPi;
    Svf lp;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        const double depth = 0.003 * smoothStep(t, 0.3, 0.6);
        const double f =
            hz * cents(-25.0 * std::exp(-t / 0.03)) * (1.0 + depth * std::sin(vibratoPhase + kTwoPi * 5.0 * t));
        if (i % 16 == 0) {
            const double open = smoothStep(t, 0.0, 0.08) * (0.75 + 0.25 * std::exp(-t / 0.4));
            lp.set(std::min(300.0 + (1200.0 + 3800.0 * vel) * open, 12000.0), 0.9);
        }
        lp.tick(0.5 * (a.saw(f * cents(-4.0)) + b.saw(f * cents(4.0))));
        out[i] = static_cast<float>(envelope(env, t, gate) * vel * lp.low);
    }
    return out;
}

Buffer renderVoice(Voice voice, int pitch, double gate, double vel, Rng& rng)
{
    const double hz = midiToHz(pitch);
    switch (voice) {
    case Voice::flute: return flute(hz, gate, vel, rng);
    case Voice::marimba: return marimba(hz, vel, rng);
    case Voice::ePiano: return epiano(hz, gate, vel);
    case Voice::warmPad: return warmPad(hz, gate, vel, rng);
    case Voice::roundBass: return roundBass(hz, gate, vel);
    case Voice::bell: return bell(hz, vel);
    case Voice::sawLead: return sawLead(hz, gate, vel, rng);
    case Voice::pluck: return pluck(hz, gate, vel, rng);
    case Voice::sawPad: return sawPad(hz, gate, vel, rng);
    case Voice::synthBass: return synthBass(hz, gate, vel, rng);
    case Voice::strings: return strings(hz, gate, vel, rng);
    case Voice::piano: return piano(hz, gate, vel, rng);
    case Voice::organ: return organ(hz, gate, vel, rng);
    case Voice::guitar: return guitar(hz, gate, vel, rng);
    case Voice::uprightBass: return uprightBass(hz, gate, vel, rng);
    case Voice::vibraphone: return vibraphone(hz, gate, vel, rng);
    case Voice::brass: return brass(hz, gate, vel, rng);
    }
    throw std::logic_error("unknown voice");
}

// ---- drums ----------------------------------------------------------------

Buffer kick(double vel, Kit kit, Rng& rng)
{
    const bool soft = kit == Kit::soft;
    const double decay = soft ? 0.22 : 0.32;
    const double sweep = soft ? 90.0 : 120.0;
    const double base = soft ? 52.0 : 47.0;
    Buffer out(samplesFor(decay * 4.0));
    Svf click;
    click.set(soft ? 2500.0 : 5000.0, 0.7);
    double phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        phase += kTwoPi * (base + sweep * std::exp(-t / 0.03)) / kRate;
        const double body = std::tanh(1.8 * std::sin(phase) * std::exp(-t / decay)) / std::tanh(1.8);
        click.tick(rng.bipolar());
        const double tick = click.low * std::exp(-t / 0.003) * (soft ? 0.3 : 0.6);
        out[i] = static_cast<float>(vel * std::min(1.0, t / 0.0005) * (body + tick));
    }
    fadeEnd(out, 0.01);
    return out;
}

Buffer snare(double vel, Kit kit, Rng& rng)
{
    const bool soft = kit == Kit::soft;
    Buffer out(samplesFor(0.45));
    Svf hp;
    hp.set(soft ? 1500.0 : 1800.0, 0.7);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        const double tone =
            (0.6 * std::sin(kTwoPi * 185.0 * t) + 0.3 * std::sin(kTwoPi * 330.0 * t)) * std::exp(-t / 0.05);
        hp.tick(rng.bipolar());
        const double noise = hp.high * std::exp(-t / (soft ? 0.1 : 0.14));
        out[i] = static_cast<float>(vel * std::min(1.0, t / 0.0007) * (0.8 * tone + (soft ? 0.5 : 0.7) * noise));
    }
    fadeEnd(out, 0.02);
    return out;
}

Buffer clap(double vel, Rng& rng)
{
    Buffer out(samplesFor(0.4));
    Svf bp;
    bp.set(1100.0, 1.4);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        bp.tick(rng.bipolar());
        // Several hands a few ms apart, then the room.
        double env = 0;
        for (int k = 0; k < 3; ++k) {
            const double tk = 0.011 * k;
            if (t >= tk)
                env = std::max(env, std::exp(-(t - tk) / 0.004));
        }
        if (t >= 0.022)
            env = std::max(env, 0.7 * std::exp(-(t - 0.022) / 0.11));
        out[i] = static_cast<float>(1.5 * vel * env * bp.band);
    }
    fadeEnd(out, 0.02);
    return out;
}

Buffer rim(double vel, Rng& rng)
{
    Buffer out(samplesFor(0.1));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        const double s = 0.6 * std::sin(kTwoPi * 1700.0 * t) * std::exp(-t / 0.012) +
                         0.4 * std::sin(kTwoPi * 820.0 * t) * std::exp(-t / 0.02) +
                         0.3 * rng.bipolar() * std::exp(-t / 0.004);
        out[i] = static_cast<float>(vel * s);
    }
    fadeEnd(out, 0.01);
    return out;
}

// Six detuned square waves a la analogue drum machines, plus noise, above
// `cutoff`.
Buffer metal(double vel, double decay, double cutoff, double noise, double seconds, Rng& rng)
{
    static constexpr std::array<double, 6> kHz = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    Buffer out(samplesFor(seconds));
    Svf hp1, hp2;
    hp1.set(cutoff, 0.7);
    hp2.set(cutoff, 0.7);
    std::array<double, 6> phase{};
    for (auto& p : phase)
        p = rng.uniform();
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        double s = 0;
        for (std::size_t k = 0; k < kHz.size(); ++k) {
            phase[k] += kHz[k] / kRate;
            if (phase[k] >= 1.0)
                phase[k] -= 1.0;
            s += phase[k] < 0.5 ? 1.0 : -1.0;
        }
        hp1.tick(s / 6.0 + noise * rng.bipolar());
        hp2.tick(hp1.high);
        out[i] = static_cast<float>(vel * std::min(1.0, t / 0.0005) * std::exp(-t / decay) * hp2.high);
    }
    fadeEnd(out, 0.01);
    return out;
}

// Band-passed noise that rises in `attack` s and dies away by `decay` s: a
// shaker's rattle, or brushes on a snare.
Buffer swish(double vel, double seconds, double hz, double q, double attack, double decay, Rng& rng)
{
    Buffer out(samplesFor(seconds));
    Svf bp;
    bp.set(hz, q);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        bp.tick(rng.bipolar());
        const double env = t < attack ? t / attack : std::exp(-(t - attack) / decay);
        out[i] = static_cast<float>(vel * env * bp.band);
    }
    fadeEnd(out, 0.01);
    return out;
}

Buffer shaker(double vel, Rng& rng) { return swish(vel, 0.15, 7000.0, 1.2, 0.015, 0.045, rng); }

Buffer tom(double vel, double hz, Rng& rng)
{
    Buffer out(samplesFor(0.8));
    double phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        phase += kTwoPi * hz * (1.0 + 0.5 * std::exp(-t / 0.06)) / kRate;
        const double s = std::sin(phase) * std::exp(-t / 0.22) + 0.1 * rng.bipolar() * std::exp(-t / 0.01);
        out[i] = static_cast<float>(vel * std::min(1.0, t / 0.0007) * s);
    }
    fadeEnd(out, 0.02);
    return out;
}

// A ride: the shimmer of the hats' metal, long, over the ping of its bell.
Buffer ride(double vel, Rng& rng)
{
    Buffer out = metal(0.8 * vel, 0.7, 5500.0, 0.15, 2.5, rng);
    std::vector<Partial> bell = {partial(820.0, 1.0, 0.5, rng), partial(1312.0, 0.6, 0.35, rng),
                                 partial(2214.0, 0.4, 0.2, rng)};
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = timeOf(i);
        out[i] += static_cast<float>(0.12 * vel * std::min(1.0, t / 0.0005) * sumPartials(bell));
    }
    fadeEnd(out, 0.02);
    return out;
}

// Brushes on a snare: a swish of noise that takes a few ms to arrive.
Buffer brush(double vel, Rng& rng) { return swish(vel, 0.25, 3500.0, 0.8, 0.006, 0.06, rng); }

Buffer renderDrum(Drum drum, double vel, Kit kit, Rng& rng)
{
    switch (drum) {
    case Drum::kick: return kick(vel, kit, rng);
    case Drum::snare: return snare(vel, kit, rng);
    case Drum::clap: return clap(vel, rng);
    case Drum::rim: return rim(vel, rng);
    case Drum::closedHat: return metal(vel, 0.04, 7000.0, 0.5, 0.2, rng);
    case Drum::openHat: return metal(vel, 0.28, 6500.0, 0.5, 1.0, rng);
    case Drum::crash: return metal(vel, 1.1, 4500.0, 1.0, 3.5, rng);
    case Drum::shaker: return shaker(vel, rng);
    case Drum::tomHigh: return tom(vel, 175.0, rng);
    case Drum::tomLow: return tom(vel, 118.0, rng);
    case Drum::ride: return ride(vel, rng);
    case Drum::brush: return brush(vel, rng);
    }
    throw std::logic_error("unknown drum");
}

struct DrumMix {
    double gain, pan, reverb;
};

DrumMix drumMix(Drum drum)
{
    switch (drum) {
    case Drum::kick: return {1.0, 0.0, 0.02};
    case Drum::snare: return {0.55, 0.05, 0.16};
    case Drum::clap: return {0.45, -0.05, 0.2};
    case Drum::rim: return {0.3, 0.15, 0.12};
    case Drum::closedHat: return {0.3, 0.3, 0.05};
    case Drum::openHat: return {0.22, 0.3, 0.08};
    case Drum::shaker: return {0.25, -0.35, 0.08};
    case Drum::crash: return {0.3, -0.25, 0.12};
    case Drum::tomHigh: return {0.5, -0.25, 0.12};
    case Drum::tomLow: return {0.55, 0.25, 0.12};
    case Drum::ride: return {0.22, 0.35, 0.1};
    case Drum::brush: return {0.5, -0.1, 0.15};
    }
    throw std::logic_error("unknown drum");
}

// ---- mixing ---------------------------------------------------------------

struct Mix {
    explicit Mix(std::size_t n) : dryL(n), dryR(n), duckL(n), duckR(n), reverb(n), echo(n) {}

    // Returns the energy added to the dry mix.
    double add(const Buffer& src, std::int64_t at, double gain, double pan, double reverbSend, double echoSend,
               bool ducked)
    {
        const double angle = (std::clamp(pan, -1.0, 1.0) + 1.0) * std::numbers::pi / 4.0;
        const auto gl = static_cast<float>(gain * std::cos(angle) * std::numbers::sqrt2);
        const auto gr = static_cast<float>(gain * std::sin(angle) * std::numbers::sqrt2);
        const auto rs = static_cast<float>(gain * reverbSend);
        const auto es = static_cast<float>(gain * echoSend);
        auto& l = ducked ? duckL : dryL;
        auto& r = ducked ? duckR : dryR;
        double energy = 0;
        for (std::size_t i = 0; i < src.size(); ++i) {
            const auto n = static_cast<std::size_t>(at) + i;
            if (n >= l.size())
                break;
            const float s = src[i];
            l[n] += gl * s;
            r[n] += gr * s;
            reverb[n] += rs * s;
            echo[n] += es * s;
            energy += gain * gain * static_cast<double>(s) * s;
        }
        return energy;
    }

    Buffer dryL, dryR, duckL, duckR, reverb, echo;
};

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

// Gain for the ducked parts: dips on each kick and recovers within a beat,
// so pads breathe with the groove.
Buffer duckGain(const Song& song, std::size_t n)
{
    Buffer g(n, 1.0f);
    if (song.duckDepth <= 0)
        return g;
    const std::size_t span = samplesFor(0.35);
    for (const auto& hit : song.drums) {
        if (hit.drum != Drum::kick)
            continue;
        const auto start = static_cast<std::size_t>(onsetSample(song, hit.step, hit.nudge));
        for (std::size_t i = 0; i < span && start + i < n; ++i) {
            const double t = timeOf(i);
            const double shape = t < 0.004 ? t / 0.004 : std::exp(-(t - 0.004) / 0.09);
            g[start + i] = std::min(g[start + i], static_cast<float>(1.0 - song.duckDepth * hit.velocity * shape));
        }
    }
    return g;
}

double rms(const Buffer& l, const Buffer& r)
{
    double sum = 0;
    for (std::size_t i = 0; i < l.size(); ++i)
        sum += static_cast<double>(l[i]) * l[i] + static_cast<double>(r[i]) * r[i];
    return std::sqrt(sum / static_cast<double>(2 * std::max<std::size_t>(l.size(), 1)));
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

// ---- the song -------------------------------------------------------------

// Renders every note of every part into the mix. Returns the energy each
// part added to the dry mix, in the order of the parts.
std::vector<double> placeParts(const Song& song, Mix& mix)
{
    std::vector<double> energy;
    for (std::size_t p = 0; p < song.parts.size(); ++p) {
        const auto& part = song.parts[p];
        double e = 0;
        for (std::size_t k = 0; k < part.notes.size(); ++k) {
            const auto& note = part.notes[k];
            const int copies = part.doubled ? 2 : 1;
            for (int c = 0; c < copies; ++c) {
                Rng rng(song.seed * 2654435761u + static_cast<std::uint32_t>(p * 1000003 + k * 7 + c));
                const double gate = gateSeconds(song, note.step, note.length);
                const auto buf = renderVoice(part.voice, note.pitch, gate, note.velocity, rng);
                double pan = part.pan + part.spread * (note.pitch - 60) / 12.0;
                double gain = part.gain;
                if (part.doubled) {
                    pan += c == 0 ? -0.6 : 0.6;
                    gain /= std::numbers::sqrt2;
                }
                const auto at = onsetSample(song, note.step, note.nudge);
                e += mix.add(buf, at, gain, pan, part.reverb, part.echo, part.ducked);
            }
        }
        energy.push_back(e);
    }
    return energy;
}

// Renders every drum hit into the mix; returns the energy they added.
double placeDrums(const Song& song, Mix& mix)
{
    double energy = 0;
    for (std::size_t k = 0; k < song.drums.size(); ++k) {
        const auto& hit = song.drums[k];
        Rng rng(song.seed * 40503u + static_cast<std::uint32_t>(k) * 2246822519u + 1u);
        const auto m = drumMix(hit.drum);
        const auto buf = renderDrum(hit.drum, hit.velocity, song.kit, rng);
        const auto at = onsetSample(song, hit.step, hit.nudge);
        energy += mix.add(buf, at, m.gain * song.drumGain, m.pan, m.reverb, 0.0, false);
    }
    return energy;
}

// Each part's share of the dry mix's energy, the drums last.
void partLevels(const Song& song, const std::vector<double>& energy, RenderStats& stats)
{
    stats.parts.clear();
    for (const auto& part : song.parts)
        stats.parts.push_back({part.name, 0});
    stats.parts.push_back({"drums", 0});
    double energySum = 0;
    for (const double e : energy)
        energySum += e;
    for (std::size_t p = 0; p < energy.size(); ++p) {
        stats.parts[p].db = 10.0 * std::log10(std::max(energy[p], 1e-12) / std::max(energySum, 1e-12));
    }
}

// Returns are set against the dry mix, so a song's sends only decide what
// goes into the room, not how loud the room is.
void addReturns(const Song& song, const Mix& mix, Buffer& l, Buffer& r)
{
    const std::size_t total = l.size();
    const double dryRms = rms(l, r);
    Buffer wl(total), wr(total);
    reverb(mix.reverb, wl, wr);
    const double g = dryRms * dbToGain(song.reverbDb) / std::max(rms(wl, wr), 1e-9);
    for (std::size_t i = 0; i < total; ++i) {
        l[i] += static_cast<float>(g * wl[i]);
        r[i] += static_cast<float>(g * wr[i]);
    }
    // A dotted eighth at the opening tempo.
    const auto delay = static_cast<std::size_t>(3 * (60 * kSampleRate / song.meter.stepsPerBeat) / song.bpm);
    echo(mix.echo, delay, 0.4f, wl, wr);
    const double ge = dryRms * dbToGain(song.echoDb) / std::max(rms(wl, wr), 1e-9);
    for (std::size_t i = 0; i < total; ++i) {
        l[i] += static_cast<float>(ge * wl[i]);
        r[i] += static_cast<float>(ge * wr[i]);
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

// Gain to the target loudness, then limit; the limiter takes a little
// energy away, so settle the gain over a few rounds. Leaves the result in
// `ol` and `orr`.
void setLoudness(const Buffer& l, const Buffer& r, Buffer& ol, Buffer& orr, RenderStats& stats)
{
    const std::size_t total = l.size();
    const double target = dbToGain(kTargetRmsDb);
    const double ceiling = dbToGain(kCeilingDb);
    double gain = target / std::max(rms(l, r), 1e-9);
    for (int round = 0; round < 4; ++round) {
        ol = l;
        orr = r;
        for (std::size_t i = 0; i < total; ++i) {
            ol[i] = static_cast<float>(ol[i] * gain);
            orr[i] = static_cast<float>(orr[i] * gain);
        }
        stats.limitedDb = limit(ol, orr, ceiling);
        gain *= target / std::max(rms(ol, orr), 1e-9);
    }
}

// Let the last reverb fade out rather than stop.
void fadeOut(Buffer& l, Buffer& r)
{
    const std::size_t total = l.size();
    const std::size_t fade = std::min(total, samplesFor(1.0));
    for (std::size_t i = 0; i < fade; ++i) {
        const double u = static_cast<double>(i) / static_cast<double>(fade);
        const auto g = static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * u));
        l[total - 1 - i] *= g;
        r[total - 1 - i] *= g;
    }
}

// TPDF dither with a fixed seed: quiet tails keep their texture and the
// file stays the same from run to run.
std::vector<std::int16_t> quantise(const Song& song, const Buffer& l, const Buffer& r, RenderStats& stats)
{
    const std::size_t total = l.size();
    Rng dither(song.seed ^ 0xA5A5F00Du);
    std::vector<std::int16_t> out(total * 2);
    double peak = 0, sum = 0;
    for (std::size_t i = 0; i < total; ++i) {
        for (int c = 0; c < 2; ++c) {
            const double x = (c == 0 ? l[i] : r[i]) * 32767.0 + (dither.uniform() - dither.uniform());
            const auto q = static_cast<std::int16_t>(std::clamp(std::lround(x), -32768L, 32767L));
            out[i * 2 + static_cast<std::size_t>(c)] = q;
            peak = std::max(peak, std::abs(static_cast<double>(q)));
            sum += static_cast<double>(q) * q;
        }
    }
    stats.peakDb = gainToDb(peak / 32768.0);
    stats.rmsDb = gainToDb(std::sqrt(sum / static_cast<double>(std::max<std::size_t>(out.size(), 1))) / 32768.0);
    return out;
}

}  // namespace

std::vector<std::int16_t> renderSong(const Song& song, RenderStats& stats)
{
    const auto total = static_cast<std::size_t>(songSamples(song));
    Mix mix(total);
    auto energy = placeParts(song, mix);
    energy.push_back(placeDrums(song, mix));
    partLevels(song, energy, stats);

    const auto duck = duckGain(song, total);
    Buffer l(total), r(total);
    for (std::size_t i = 0; i < total; ++i) {
        l[i] = mix.dryL[i] + mix.duckL[i] * duck[i];
        r[i] = mix.dryR[i] + mix.duckR[i] * duck[i];
    }
    addReturns(song, mix, l, r);
    mix = Mix(0);

    blockDc(l);
    blockDc(r);
    Buffer ol, orr;
    setLoudness(l, r, ol, orr, stats);
    fadeOut(ol, orr);
    return quantise(song, ol, orr, stats);
}

void writeWav(const std::string& path, const std::vector<std::int16_t>& interleaved)
{
    std::ofstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot write " + path);
    const auto put32 = [&file](std::uint32_t v) {
        const char b[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
        file.write(b, 4);
    };
    const auto put16 = [&file](std::uint16_t v) {
        const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
        file.write(b, 2);
    };
    const auto dataBytes = static_cast<std::uint32_t>(interleaved.size() * 2);
    file.write("RIFF", 4);
    put32(36 + dataBytes);
    file.write("WAVEfmt ", 8);
    put32(16);
    put16(1);  // PCM
    put16(2);
    put32(kSampleRate);
    put32(kSampleRate * 4);
    put16(4);
    put16(16);
    file.write("data", 4);
    put32(dataBytes);
    for (const auto s : interleaved)
        put16(static_cast<std::uint16_t>(s));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace zorv::songs
