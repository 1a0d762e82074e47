#pragma once
// Lane pools, the start button's share of the rules, and the tick.
// Times are integer milliseconds of audio play position.

#include <cstdint>
#include <functional>
#include <string>

#include "core/Lanes.h"
#include "state/Game.h"

namespace zorv {

// The window calls tick() every kTickMs; late ticks are not made up, so
// arrows move by the tick count while spawn and retirement follow the audio.
inline constexpr std::int32_t kTickMs = 50;
// Pixels an arrow rises on each tick that moves arrows.
inline constexpr std::int32_t kStepPerTick = 10;
// From a note's chart time to its arrow's retirement, in ms of play position.
inline constexpr std::int32_t kArrowLifetime = 4000;

// Spawns the note at chart[nextNote] into the first hidden slot of `lane`
// (slot order 1..4): shows it and sets its expireAt to the note's time plus
// kArrowLifetime (saturating). A full lane drops the note silently. nextNote
// advances by one either way. Top is left as it is. With nextNote outside
// the note records the chart has ended and nothing changes.
void spawn(Game& game, Lane lane);

// One tick at play position `t` (ms, already clamped to 0..length):
// clock texts into Edit1/Edit2, at most one dispatch, then, unless the time
// of the record before the cursor is still ahead of t, move every shown
// slot kStepPerTick pixels up and retire (hide, then park at kSpawnTop)
// those whose expireAt has come. The chart has ended at a record whose lane
// is not 1..4 (chartNotes), and after the last record. The due note is dispatched by calling
// `spawnInto` with its lane, which must spawn it as spawn() does (the
// window's image_1..image_4); without it, the tick calls spawn() itself.
void tick(Game& game, std::int32_t t, const std::function<void(Lane)>& spawnInto);
void tick(Game& game, std::int32_t t);

// Start button, before the audio is opened: the audio file name from the
// header record (at most ChartLine::kFieldChars), and the cursor back on
// note 1.
std::string audioFileName(const Game& game);
void rewindChart(Game& game);

// Start button, after the audio is opened: the length in whole minutes
// (Edit3) and remaining seconds (Edit4). Negative lengths show as 0 and 0.
void showLength(Game& game, std::int32_t lengthMs);

}  // namespace zorv
