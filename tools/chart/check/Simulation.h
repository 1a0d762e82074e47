#pragma once
// Plays a chart through the game's own rules, tick by tick, with a player
// who presses every arrow once at its best moment, and records what became
// of each note: when it was sent, into which slot, when it was retired,
// which arrows of a lane crowded each other.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "chart/Chart.h"
#include "tools/chart/check/Analysis.h"

namespace zorv::chartcheck {

// The numbers of a record, as the rules read them.
inline std::int32_t laneOf(const ChartTable& chart, int record) { return chartNumber(chart[record].col1); }
inline std::int32_t timeOf(const ChartTable& chart, int record) { return chartNumber(chart[record].col2); }

struct NoteRun {
    std::optional<std::int32_t> dispatchedAt;
    int slot = -1;                 // -1 when dropped
    std::vector<int> laneHolders;  // records in flight in its lane when dropped
    std::optional<std::int32_t> retiredAt;
    bool pressed = false;
};

struct Clash {
    int first;   // in the great window
    int second;  // in another window at the same time
    std::int32_t t;
    std::int32_t firstTop;
    std::int32_t secondTop;
    const char* secondBand;
};

struct Run {
    std::array<NoteRun, kChartRecords> notes{};
    std::vector<Clash> clashes;
    PerfectPlay perfect;
};

// Plays records 1..lastNote in a fresh game on a 50 ms grid from 0, the
// position stopping at `lastPosition` like the game's does at the audio's
// end, and presses every arrow once on its 57th move.
Run simulate(const ChartTable& chart, int lastNote, std::int32_t lastPosition);

}  // namespace zorv::chartcheck
