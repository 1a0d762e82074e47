#pragma once
// The chart file every tool writes: "<title> <audio>", then "<lane> <time>"
// per note, then "0 0"; one pair a line, LF endings.

#include <span>
#include <string>
#include <string_view>

#include "chart/Chart.h"

namespace zorv::chartfile {

// `title` and `audioName` must each be one chart token
// (charting::isPlainAudioName holds for the audio name); the notes are
// written as given.
std::string chartText(std::string_view title, std::string_view audioName, std::span<const ChartNote> notes);

}  // namespace zorv::chartfile
