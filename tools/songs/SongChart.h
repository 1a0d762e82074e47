#pragma once
// Turns a song's chart cues into the game's chart file and refuses to write
// one the game would play wrongly.

#include "Score.h"
#include "charting/Charting.h"

#include <string>
#include <vector>

namespace zorv::songs {

// The facts a chart must respect come from the rules.
using charting::kFiveNoteSpanMs;
using charting::kLeadMs;
using charting::kMaxNotes;
using charting::kMaxTokenChars;
using charting::kMinLaneGapMs;

struct ChartNote {
    int lane = 0;  // 1 left, 2 up, 3 down, 4 right
    int timeMs = 0;
};

struct SongChart {
    std::string title;
    std::string audioFile;
    int audioMs = 0;
    std::vector<ChartNote> notes;
};

// Lanes follow the melody: within a phrase, higher notes go further right.
// When the wanted lane is still busy (too close, or four arrows in flight)
// the nearest free lane is taken, leaning the way the melody moves. Throws
// when no lane is free, naming the bar, so the score gets fixed instead of
// a note silently disappearing.
SongChart chartForSong(const Song& song);

// Every rule a chart of ours must keep; empty when it keeps them all.
std::vector<std::string> chartProblems(const SongChart& chart);

// The chart file: one pair per line, LF endings, closed by "0 0". Throws
// std::runtime_error listing the problems if chartProblems finds any.
std::string chartText(const SongChart& chart);

}  // namespace zorv::songs
