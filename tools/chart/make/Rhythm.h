#pragma once
// The song's rhythm on its beat grid: where in the bar each onset falls,
// and how strongly the passage it belongs to plays there.
//
// Each onset is placed on the grid the beats span (the beat, its half, its
// quarters, its thirds) or off it. Each bar is then the strength of its
// onsets at each place of the grid; bars that play alike (their strengths
// correlate) form one rhythm, wherever they are in the song, and each
// onset is scored by how many of its rhythm's bars play at its place and
// how loud the rhythm is. So notes chosen by score keep one pattern through
// a passage, and a passage heard again gets the same pattern.

#include <cstdint>
#include <vector>

#include "tools/chart/make/Features.h"
#include "tools/chart/make/Beats.h"

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
    int bar = -1;    // the bar it falls in, counted from 0; -1 before the first beat or without beats
    int inBar = -1;  // the beat of the bar it falls on or after, 0 the bar's first; -1 as bar
    // Share of its rhythm's bars with an onset at its place, 0..1: a place
    // most bars play is the rhythm's, one a few play is a fill.
    float presence = 1;
    // Its rhythm's mean onset strength against the song's loud onsets (its
    // 90th percentile), 0..2: how loud the passage plays.
    float loudness = 0;
};

// One per onset of `features.onsets`, in their order. Without beats, every
// onset is on the beat and its loudness is its own strength. Deterministic.
std::vector<RhythmOnset> rhythmOf(const Features& features, const Beats& beats);

}  // namespace zorv::chartmake
