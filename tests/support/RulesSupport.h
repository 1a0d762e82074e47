#pragma once
// Games built from charts written inline.

#include <string_view>

#include "chart/Chart.h"
#include "state/Game.h"

namespace zorv::test {

inline Game gameWithChart(std::string_view text)
{
    Game game;
    readChart(game.chart, text);
    return game;
}

}  // namespace zorv::test
