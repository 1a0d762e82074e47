#pragma once
// The chart file the maker writes, checked by the checker before anyone
// sees it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/chartcheck/Analysis.h"
#include "tools/chartmake/LaneChoice.h"

namespace zorv::chartmake {

// An audio file name a chart can carry (charting::isPlainAudioName) made from
// any file name: white space and control characters become '-', a name not
// starting with a letter gets "song-" in front, and a name too long for a
// chart token is shortened before its extension. Never empty.
std::string plainAudioName(std::string_view fileName);

// "<title> <audio>", then "<lane> <time>" per note, then "0 0"; one pair a
// line, LF endings. `title` and `audioName` must be plain
// (charting::isPlainAudioName).
std::string chartText(std::string_view title, std::string_view audioName, const std::vector<ChartNote>& notes);

// What the checker says of `text`, read as the game reads it, with audio of
// `audioLengthMs` (the player's length) beside it.
chartcheck::ChartReport checkChart(const std::string& text, std::int32_t audioLengthMs);

}  // namespace zorv::chartmake
