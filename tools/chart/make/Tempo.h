#pragma once
// The song's tempo over time, at the metrical level a listener taps.
//
// aubio's own tracker slips by three against two: on band recordings it
// named 90 BPM for a song at 135, 94 for 140, 102 for 95. So the tempo is
// found here by autocorrelation of the low-band onset strength (after
// Ellis, 2007 and Klapuri et al., 2006): each period is scored by the
// correlation at it and at the levels a binary metre puts around a beat
// (its half, twice it, the bar of four or three beats), weighed towards the
// tempi listeners tap most (a log-Gaussian around kPreferredBpm); then a
// Viterbi path through the scores of each second follows tempo changes
// without slipping between levels.

#include <vector>

#include "tools/chart/make/Features.h"

namespace zorv::chartmake {

// Tempi the beat is looked for in.
inline constexpr double kSlowestBpm = 60;
inline constexpr double kFastestBpm = 200;
inline constexpr double kPreferredBpm = 120;

struct Tempo {
    // The beat period in hops for each hop of the song; empty when the song
    // has no pulse to follow (silence, one sound).
    std::vector<double> periodHops;
    // Beats in a bar: 4, or 3 where the bar of three correlates better.
    int beatsPerBar = 4;
};

// Deterministic; about 20 ms for ten minutes of song.
Tempo induceTempo(const Features& features);

}  // namespace zorv::chartmake
