#include "tools/songs/Voices.h"

namespace zorv::songs::synth {

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

}  // namespace zorv::songs::synth
