#pragma once
// The song's rhythm on its beat grid: where in the bar each onset falls,
// and how strongly the passage it belongs to plays there.
//
// Each onset is placed on the grid the beats span (the beat, its half, its
// quarters, its thirds) or off it. Each bar is then the strength of its
// onsets at each place of the grid; bars that play alike (their strengths
// correlate) form one rhythm, wherever they are in the song, and each
// onset carries how loud its rhythm plays. So a passage heard again is as
// intense as the first time, and gets the same notes.

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
// the places are closer together. The grid is the band's own pulse
// (Beats.h), and a note goes to its onset's place there, so the notes keep
// the rhythm where the players' timing wavers; but never further than
// kMostMovedMs from the onset, so that it still starts with the sound. On a
// 150 BPM band recording, whose riffs run 20-30 ms ahead of the drums, the
// notes on a person's eighths went from 79 % (at 35 ms, not moved) to 96 %.
inline constexpr double kOnGridMs = 35;
inline constexpr double kMostMovedMs = 20;

struct RhythmOnset {
    Metre metre = Metre::off;
    int bar = -1;    // the bar it falls in, counted from 0; -1 before the first beat or without beats
    int inBar = -1;  // the beat of the bar it falls on or after, 0 the bar's first; -1 as bar
    int slot = -1;   // its place in the bar, twelfths of a beat from the bar's first; -1 as bar
    // Its rhythm's mean onset strength against the song's loud onsets (its
    // 90th percentile), 0..2: how loud the passage plays.
    float loudness = 0;
    // Where a note for it goes, ms of the audio: the place of the grid it
    // is on, within kMostMovedMs of its own time, or its own time when it is
    // on none.
    double gridMs = 0;
};

// One per onset of `features.onsets`, in their order. Without beats, every
// onset is on the beat and its loudness is its own strength. Deterministic.
std::vector<RhythmOnset> rhythmOf(const Features& features, const Beats& beats);

}  // namespace zorv::chartmake
