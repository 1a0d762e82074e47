#pragma once
// What the chart maker hears in a song: where sounds start (onsets), how
// strongly, the pitch that starts there, the onset strength over time and
// aubio's running tempo estimate. Computed in one pass over the decoded
// frames, with aubio doing the listening.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/chartmake/Decode.h"

namespace zorv::chartmake {

// The analysis runs on a mono mix at a quarter of the decoding rate. Measured
// against the bundled songs' scores, aubio's spectral-flux onsets at 11 kHz
// (512-sample window, 128-sample hop) put 99.7 % and 97.0 % of their onsets
// within 20 ms of a note, as at 22 kHz (99.7 %, 95.4 %), for half the cost:
// 1170x against 580x real time on one core.
inline constexpr int kAnalysisRate = kDecodeRate / 4;
inline constexpr int kHopSamples = 128;
inline constexpr double kHopMs = 1000.0 * kHopSamples / kAnalysisRate;  // 11.6

struct Onset {
    double ms = 0;       // where the sound starts, ms from the first frame
    float strength = 0;  // peak of the onset strength there, > 0
    float pitch = 0;     // MIDI note number of the strongest pitch just after; 0 when none is clear
};

struct Features {
    DecodedAudio audio;
    double durationMs = 0;  // audio.frames in ms
    // Onset strength (aubio's spectral flux) per hop; hop k covers the
    // analysis samples up to (k + 1) * kHopSamples. Its peak for an onset at
    // t ms lies about one hop after t / kHopMs.
    std::vector<float> strength;
    // The same below 2.75 kHz, where kicks, snares, bass and chords are and
    // hi-hats hardly: what the beats are searched on. Per hop as `strength`.
    std::vector<float> pulse;
    // aubio's beat period estimate in hops, per hop; 0 until it has one.
    std::vector<float> periodHops;
    std::vector<Onset> onsets;  // ascending ms
    float peak = 0;             // largest |sample| of the mono mix, 0..1
};

// Feeds on decoded frames (see FrameSink), then hands over what it found.
class Analyser {
public:
    Analyser();
    ~Analyser();
    Analyser(const Analyser&) = delete;
    Analyser& operator=(const Analyser&) = delete;

    void feed(const std::int16_t* samples, std::size_t frames);
    // Once, after the last feed().
    Features finish(const DecodedAudio& audio);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Decodes `path` as the game plays it and analyses it. Throws DecodeError
// as decodeAudio does.
Features analyseFile(const std::string& path, const DecodeProgress& progress = {});

}  // namespace zorv::chartmake
