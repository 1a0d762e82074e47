#pragma once
// The beats of a song: where a listener would tap along, and where its bars
// begin.
//
// The tempo comes from Tempo.h: the period at the level listeners tap, over
// time. A dynamic-programming search (after Ellis, 2007) then finds the
// beat sequence that best covers the low-band and bass onset strength while
// keeping that period; each beat is moved onto the onset it falls on. The
// bars begin on the beat where the bass is strongest, where the kick falls.

#include <cstddef>
#include <vector>

#include "tools/chart/make/Features.h"

namespace zorv::chartmake {

struct Beats {
    std::vector<double> ms;  // ascending; empty when the song has no pulse to follow
    double bpm = 0;          // from the median beat spacing; 0 without beats
    int perBar = 4;          // beats in a bar, 3 or 4
    std::vector<int> inBar;  // per beat, its place in the bar: 0 (the bar's first) .. perBar - 1
};

Beats trackBeats(const Features& features);

}  // namespace zorv::chartmake
