#pragma once
// Turns a song's chart cues into the game's chart file and refuses to write
// one the game would play wrongly.

#include "Score.h"

#include <string>
#include <vector>

namespace zorv::songs {

// How far ahead of its beat an arrow is spawned.
//
// The game ticks every 50 ms at a phase unrelated to the music, and spawns a
// note on the first tick at or after its chart time C: the spawn tick S lies
// in [C, C + 50), on average at C + 25. The arrow starts at Top 587 and the
// spawn tick already moves it, so after its k-th tick its Top is 587 - 10k,
// and tick k happens at S + (k - 1) * 50. A press is great while Top is in
// 0..20, which is Top 17 (after tick 57) and Top 7 (after tick 58): from tick
// 57 until tick 59, i.e. S + 2800 .. S + 2900, centred on S + 2850. With S
// at C + 25 on average that centre is C + 2875, so C = beat - 2875. For any
// tick phase the beat then lies 25..75 ms into the 100 ms great window.
inline constexpr int kLeadMs = 2875;

// Two arrows of a lane closer than this would share a judgement window
// (Top 0..110 spans 12 ticks), so one press would judge both.
inline constexpr int kMinLaneGapMs = 600;
// A lane holds four arrows and each lives 4000 ms after its chart time; a
// fifth arrow within that is dropped. The extra 100 ms covers the two
// times landing on different tick phases.
inline constexpr int kArrowLifeMs = 4000;
inline constexpr int kFiveNoteSpanMs = 4100;
// The game reads 300 token pairs: the header, the notes and the closing
// "0 0", which must be among them or stale notes of an earlier chart survive.
inline constexpr int kMaxNotes = 298;
inline constexpr int kMaxToken = 99;

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
