#pragma once
// Turns a song's chart cues into the game's chart file and refuses to write
// one the game would play wrongly.

#include <string>
#include <vector>

#include "chart/Chart.h"
#include "charting/Charting.h"
#include "tools/songs/Score.h"

namespace zorv::songs {

using charting::kLeadMs;

struct SongChart {
    std::string title;
    std::string audioFile;
    int audioMs = 0;
    std::vector<ChartNote> notes;
};

// Lanes follow the melody: within a phrase, higher notes go further right.
// When the wanted lane is still busy (too close, or four arrows in flight)
// the nearest free lane is taken, leaning the way the melody moves, and when
// none is, the choices of the notes before are tried again. Every cue gets a
// lane, unlike in the chart maker (tools/chart/make/LaneChoice.h), which
// leaves out a note no lane can take: throws when no choice fits, naming the
// bar, so the score gets fixed instead of a note silently disappearing.
SongChart chartForSong(const Song& song);

// The chart file (tools/chartfile). Throws std::runtime_error listing what
// is wrong when the game would read back other notes or another audio name,
// when the checker finds anything in it, problem or warning, or when it
// leaves the margins our songs keep: at least one note, every note of a lane
// as far from the others as charting::fitsLane asks, and every arrow gone
// before the song ends.
std::string chartText(const SongChart& chart);

}  // namespace zorv::songs
