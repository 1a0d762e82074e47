#pragma once
// The figures of one run: details on stderr, one FIGURE line per target on
// stdout.

#include <cstdint>

#include "bench/form/Harness.h"
#include "bench/form/Position.h"

namespace zorv::formbench {

// Every tick, handler and repaint.
void reportEveryTick(const Harness& harness);
// The ticks that moved sixteen arrows with four judgements up.
void reportLoadedTicks(const Harness& harness, bool breakdown);
void reportPositionCalls(const TimedPlayer& player);
void reportTickIntervals(const Harness& harness, bool dense, std::int64_t wallNs);
void reportKeys(const Harness& harness, bool dense);
void reportPosition(const TimedPlayer& player, const CallbackLog& log, int rate, std::int32_t lengthMs);

}  // namespace zorv::formbench
