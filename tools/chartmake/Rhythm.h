#pragma once
// The song's rhythm on its beat grid: where in the bar each onset falls,
// and how strongly the passage it belongs to plays there.
//
// Each onset is placed on the grid the beats span (the beat, its half, its
// quarters, its thirds) or off it. Each bar is then the strength of its
// onsets at each place of the grid; bars that play alike (their strengths
// correlate) form one rhythm, wherever they are in the song, and each
// onset is scored by its rhythm's mean strength at its place. So the notes
// chosen by score keep one pattern through a passage, and a passage heard
// again gets the same pattern.

#include <cstdint>
#include <vector>

#include "tools/chartmake/Analysis.h"
#include "tools/chartmake/Beats.h"

namespace zorv::chartmake {

// Where an onset falls against the beats.
enum class Metre : std::uint8_t {
    beat,       // on a beat
    eighth,     // half way between two
    sixteenth,  // a quarter or three quarters of the way
    triplet,    // a third or two thirds
    off,        // none of these
};

// An onset this close to a place of the grid is on it; closer still where
// the places are closer together.
inline constexpr double kOnGridMs = 35;

struct RhythmOnset {
    Metre metre = Metre::off;
    int bar = -1;         // the bar it falls in, counted from 0; -1 before the first beat or without beats
    int inBar = -1;       // the beat of the bar it falls on or after, 0 the bar's first; -1 as bar
    float pattern = 0;    // its rhythm's mean strength at its place, against the song's loud onsets
    float intensity = 1;  // its bar's loudness against its rhythm's mean, 0.5..1.5
};

// One per onset of `features.onsets`, in their order. Without beats, every
// onset is on the beat and its pattern is its own strength. Deterministic.
std::vector<RhythmOnset> rhythmOf(const Features& features, const Beats& beats);

}  // namespace zorv::chartmake
