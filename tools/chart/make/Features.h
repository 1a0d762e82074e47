#pragma once
// What the chart maker hears in a song: where sounds start (onsets) and how
// strongly, the onset strength over time, over the whole band and below
// 2.75 kHz, and aubio's running tempo estimate. Computed in one pass over the
// decoded frames, with aubio doing the listening; the pitch at any moment
// on demand.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/chart/make/Decode.h"

namespace zorv::chartmake {

// The analysis runs on a mono mix at a quarter of the decoding rate. Measured
// against the bundled songs' scores, aubio's spectral-flux onsets at 11 kHz
// (512-sample window, 128-sample hop) put 99.7 % and 97.0 % of their onsets
// within 20 ms of a note, as at 22 kHz (99.7 %, 95.4 %), for half the cost:
// 1170x against 580x real time on one core.
inline constexpr int kAnalysisRate = kDecodeRate / 4;
inline constexpr int kHopSamples = 128;
inline constexpr double kHopMs = 1000.0 * kHopSamples / kAnalysisRate;  // 11.6
// What aubio takes off the time it detects an onset at, to get where the
// sound starts. Its own choice, 4.3 hops, put the chart maker's notes a
// median 0 to 7 ms early on the songs of the corpus and the bundled ones
// (-3 ms over all of them); 4 hops centres them.
inline constexpr unsigned kOnsetDelaySamples = 4 * kHopSamples;

struct Onset {
    double ms = 0;       // where the sound starts, ms from the first frame
    float strength = 0;  // peak of the onset strength there, > 0
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
    // The same below 280 Hz: kicks, the body of snares, bass. Where it peaks
    // is where the drums mark the beat, not the riff between. Per hop.
    std::vector<float> bass;
    std::vector<Onset> onsets;  // ascending ms
    float peak = 0;             // largest |sample| of the mono mix, 0..1
    // The mono mix at kAnalysisRate, for the pitch of the notes chosen:
    // 13 MB for ten minutes.
    std::vector<std::int16_t> mono;
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

// The strongest pitch of the mono mix just after a moment, as a MIDI note
// number; 0 when there is none (silence). Reads Features::mono.
class PitchReader {
public:
    PitchReader();
    ~PitchReader();
    PitchReader(const PitchReader&) = delete;
    PitchReader& operator=(const PitchReader&) = delete;

    float at(const Features& features, double ms);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Decodes `path` as the game plays it and analyses it. Throws DecodeError
// as decodeAudio does.
Features analyseFile(const std::string& path, const DecodeProgress& progress = {});

}  // namespace zorv::chartmake
