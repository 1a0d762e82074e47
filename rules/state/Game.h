#pragma once
// The whole game state: one instance lives as long as the window.

#include <array>
#include <cstdint>

#include "chart/Chart.h"
#include "core/Lanes.h"
#include "state/Field.h"
#include "state/ScoreBoard.h"

namespace zorv {

struct Game {
    ChartTable chart{};
    std::int32_t nextNote = 1;  // next note record to dispatch, 1..300
    // Play position (ms) at or after which the tick retires each slot's
    // arrow, in slot order left1..right4. Meaningful only while the slot is shown.
    std::array<std::int32_t, kSlotCount> expireAt{};
    Field field;
    ScoreBoard board;
};

}  // namespace zorv
