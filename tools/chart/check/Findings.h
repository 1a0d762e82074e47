#pragma once
// The checks and their wording: from the chart, its tokens and its
// simulated play, every finding the report lists, each saying where, what,
// and why it matters.

#include <cstdint>

#include "chart/Chart.h"
#include "tools/chart/check/Analysis.h"
#include "tools/chart/check/Simulation.h"

namespace zorv::chartcheck {

// Adds to report.findings, in the order the checks run; `report` must
// already hold the token counts, the end and the audio.
void addFindings(const ChartTable& chart, const ChartTokens& tokens, const Run& run, std::int32_t lastPosition,
                 ChartReport& report);

}  // namespace zorv::chartcheck
