#include "tools/songs/Synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/songs/Drums.h"
#include "tools/songs/Effects.h"
#include "tools/songs/Voices.h"

namespace zorv::songs {
namespace {

using namespace synth;

// Loud enough next to other games' music, with room for the limiter to keep
// every peak under -1 dBFS without squashing the drums.
constexpr double kTargetRmsDb = -16.5;
constexpr double kCeilingDb = -1.4;

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

}  // namespace zorv::songs
