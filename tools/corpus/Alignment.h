#pragma once
// Where a person's chart sits on the recording. The notes of the charts in
// notes.mid are written on its tempo map, but on the real recordings we
// measure on the music is heard 25-41 ms after them, a different lag per song
// (and the maker's notes, which sit within 20 ms of onsets on our own songs,
// land 20-40 ms after the person's). The grid a note of ours must keep to is
// the tempo map moved by that lag, which this finds from the audio alone: the
// lag at which the recording's onset strength, summed at the person's note
// times, rises to its peak.
//
// Onset strength: the log energy of the first difference of the samples
// (a high-pass, where attacks stand out) over 4 ms, its rise over 4 ms, in
// 1 ms steps. The lag taken is where the summed strength first reaches half
// way from its median to its peak: the start of the rise, where the
// attacks begin, not the later top of the 4 ms window.

#include <cstdint>
#include <vector>

namespace zorv::corpus {

// The samples' rate: mono, 16-bit.
inline constexpr int kAlignRate = 16000;
// The lags tried, ms: the music heard up to this long before or after the notes.
inline constexpr int kAlignEarliestMs = -50;
inline constexpr int kAlignLatestMs = 100;

struct Alignment {
    double offsetMs = 0;  // add to a person's note time for when its music is heard
    // The summed strength at its peak over its median over the lags: near 1
    // when the notes do not follow the audio at all, the higher the surer.
    double contrast = 0;
};

// All zero without notes or samples.
Alignment alignToAudio(const std::vector<std::int16_t>& samples, const std::vector<double>& notes);

}  // namespace zorv::corpus
