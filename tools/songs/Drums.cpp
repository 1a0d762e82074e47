#include "tools/songs/Drums.h"

#include <stdexcept>

namespace zorv::songs::synth {
namespace {

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

}  // namespace

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

}  // namespace zorv::songs::synth
