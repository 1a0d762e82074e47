// Cost of the rules alone, without widgets: one tick with every slot in
// flight, and one press that judges all four windows.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "judge/Judge.h"
#include "play/Play.h"

namespace {

using namespace zorv;

// Sixteen notes at time 0 fill every slot; the retirement time lies far
// ahead so the arrows stay in flight for the whole run.
Game gameWithFullLanes()
{
    std::string text = "x song.mp3\n";
    for (int i = 0; i < 16; ++i)
        text += std::to_string(1 + i / 4) + " 0\n";
    text += "0 0\n";
    Game game;
    readChart(game.chart, text);
    for (int i = 0; i < 16; ++i)
        tick(game, 0);
    for (std::int32_t& at : game.expireAt)
        at = 2'000'000'000;
    return game;
}

void BM_TickSixteenArrows(benchmark::State& state)
{
    Game game = gameWithFullLanes();
    std::int32_t t = 0;
    for (auto _ : state) {
        tick(game, t);
        t = (t + 50) % 1'000'000;
        // Keep the arrows from drifting off towards the Top limit.
        if (game.field[Picture::left1].top < -100'000)
            for (int slot = 0; slot < kSlotCount; ++slot)
                game.field.setTop(slotPicture(slot), kSpawnTop);
        benchmark::DoNotOptimize(game);
    }
}
BENCHMARK(BM_TickSixteenArrows);

void BM_PressJudgingFourWindows(benchmark::State& state)
{
    Game game;
    game.field.setTop(Picture::left1, 97);
    game.field.setTop(Picture::left2, 7);
    game.field.setTop(Picture::left3, 37);
    game.field.setTop(Picture::left4, 67);
    for (auto _ : state) {
        keyDown(game, kKeyLeft);
        keyUp(game, kKeyLeft);
        benchmark::DoNotOptimize(game);
    }
}
BENCHMARK(BM_PressJudgingFourWindows);

}  // namespace
