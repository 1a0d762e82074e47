#pragma once
// From what was heard in a song to a chart that plays as written.

#include <stdexcept>
#include <string>
#include <string_view>

#include "tools/chart/make/Features.h"
#include "tools/chart/make/Beats.h"
#include "tools/chart/make/LaneChoice.h"
#include "tools/chart/make/Placement.h"

namespace zorv::chartmake {

// The song cannot hold a chart: silent, too short, nothing to put notes on.
// The message gives the cause.
class NoChart : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The chart made does not play as written: a fault of the maker, never
// written out. The message holds the checker's findings.
class InternalError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Shorter songs cannot hold a chart: after the first kLeadMs, in which no
// note can sit, a few seconds must remain.
inline constexpr std::int32_t kShortestPlayMs = 3000;
// A song whose loudest sample stays below this (of full scale, -80 dB) is
// silent.
inline constexpr float kSilentPeak = 1e-4f;

struct MadeChart {
    std::string text;
    Beats beats;
    Placement placement;
    LaneChoice lanes;
};

// Places notes for `level`, gives them lanes and writes the chart naming
// `audioName` (plain, see charting::isPlainAudioName) under `title`; then
// has the checker play it with the song's length. Throws NoChart or
// InternalError as above. The same features give the same bytes.
MadeChart makeChart(const Features& features, Level level, std::string_view title, std::string_view audioName);

// What the user reads on stderr: tempo, notes, notes per second, level, and
// what was left out and why.
std::string summaryOf(const MadeChart& chart, const Features& features, Level level);

}  // namespace zorv::chartmake
