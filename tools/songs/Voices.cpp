#include "tools/songs/Voices.h"

#include <stdexcept>

namespace zorv::songs::synth {
namespace {

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

}  // namespace

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

}  // namespace zorv::songs::synth
