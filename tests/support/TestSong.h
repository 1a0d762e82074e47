#pragma once
// Songs synthesised for the chart maker's tests, with their onsets known to
// the sample: a kick and a melody note on every beat, a hat half way
// between, written as 16-bit PCM WAV (support/Wav.h).

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/Wav.h"

namespace zorv::test {

struct TestSong {
    int rate = 44100;
    int channels = 2;
    std::vector<float> samples;  // interleaved, -1..1
    std::vector<double> beatsMs;
    std::vector<double> onsetsMs;  // beats and the hats between them
};

inline std::string wavBytes(const TestSong& song)
{
    std::vector<std::int16_t> pcm;
    for (float x : song.samples)
        pcm.push_back(static_cast<std::int16_t>(std::lround(std::fmax(-1.0f, std::fmin(1.0f, x)) * 32767.0f)));
    return pcmWav(pcm, static_cast<std::uint32_t>(song.rate), static_cast<std::uint16_t>(song.channels));
}

// `seconds` of a song at `bpm`, starting on a beat at 0 ms; the melody walks
// up four scale steps and down again. Silence and a lone tone are special
// cases of it: `level` 0, or a song shorter than a beat.
inline TestSong beatSong(double bpm, double seconds, int rate, int channels, float level = 0.5f)
{
    TestSong song;
    song.rate = rate;
    song.channels = channels;
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> mono(frames, 0.0f);
    std::uint32_t noise = 12345;
    // Each sound fades out over its last 20 ms: a sound cut off is an onset too.
    auto add = [&](double ms, double lengthMs, auto&& wave) {
        const auto from = static_cast<std::size_t>(std::llround(ms * rate / 1000.0));
        const auto n = static_cast<std::size_t>(lengthMs * rate / 1000.0);
        for (std::size_t i = 0; i < n && from + i < frames; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double fade = std::min(1.0, (lengthMs / 1000.0 - t) / 0.02);
            mono[from + i] += level * static_cast<float>(fade * wave(t));
        }
    };
    const int scale[] = {0, 2, 4, 5, 7, 5, 4, 2};
    const double beat = 60000.0 / bpm;
    for (int k = 0; k * beat < seconds * 1000.0; ++k) {
        const double at = k * beat;
        const double hz = 440.0 * std::pow(2.0, scale[k % 8] / 12.0);
        add(at, 120, [](double t) { return 0.8 * std::sin(2 * M_PI * 70 * t) * std::exp(-t / 0.04); });
        add(at, 220, [hz](double t) {
            const double tone = std::sin(2 * M_PI * hz * t) + 0.4 * std::sin(4 * M_PI * hz * t);
            return 0.35 * std::min(1.0, t / 0.004) * std::exp(-t / 0.12) * tone;
        });
        // A hat: noise differenced twice, which leaves its highs.
        double last = 0;
        double lastStep = 0;
        add(at + beat / 2, 40, [&](double t) {
            noise = noise * 1664525u + 1013904223u;
            const double white = static_cast<double>(noise >> 8) / (1 << 23) - 1.0;
            const double step = white - last;
            const double high = step - lastStep;
            last = white;
            lastStep = step;
            return 0.2 * std::exp(-t / 0.01) * high;
        });
        song.beatsMs.push_back(at);
        song.onsetsMs.push_back(at);
        song.onsetsMs.push_back(at + beat / 2);
    }
    for (float x : mono)
        song.samples.insert(song.samples.end(), static_cast<std::size_t>(channels), x);
    return song;
}

}  // namespace zorv::test
