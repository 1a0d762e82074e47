#pragma once
// Which lane each note takes. Lanes follow the melody: within a few notes
// either side, a higher pitch sits further right, so a rising line moves
// right and a falling one left. Notes with no clear pitch (drums) take the
// lane used longest ago. Every lane rule of the game always holds.
//
// The game's own songs choose lanes their own way (tools/songs/SongChart.cpp,
// laneForEveryCue): they know each cue's pitch and phrase from the score and
// must chart every cue, so they search back through earlier choices rather
// than leave one out. Here pitches are only heard, a note no lane can take
// is left out, and no lane may take too much of the chart.

#include <array>
#include <cstdint>
#include <vector>

#include "chart/Chart.h"
#include "core/Lanes.h"
#include "tools/chart/make/Placement.h"

namespace zorv::chartmake {

// The notes are the game's own (ChartNote, chart/Chart.h); a note's time is
// its onset less kLeadMs.

// No lane takes more than this share of a chart's notes (of charts with at
// least 1 / kMostOfOneLane notes)...
inline constexpr double kMostOfOneLane = 0.4;
// ...and on easy, no lane more than this many notes in a row.
inline constexpr int kEasyRun = 3;

struct LaneChoice {
    std::vector<ChartNote> notes;           // ascending time
    int noLane = 0;                         // picks left out: no lane could take them
    std::array<int, kLaneCount> perLane{};  // notes per lane, left to right
};

// Gives every pick a lane such that charting::fitsLane holds for each note
// against the earlier notes of its lane, no lane holds more than
// kMostOfOneLane of the notes, and, on easy, no lane kEasyRun + 1 times in a
// row. A pick no lane can take is left out, and the lanes chosen again for
// the rest. Deterministic.
LaneChoice chooseLanes(const std::vector<Pick>& picks, Level level);

}  // namespace zorv::chartmake
