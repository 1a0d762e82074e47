#pragma once
// The checker's contact with the disk: the chart file, and the audio it names.

#include <filesystem>
#include <optional>
#include <string>

#include "chart/Chart.h"
#include "tools/chart/check/Analysis.h"

namespace zorv::chartcheck {

struct ChartFile {
    ChartTable chart{};
    ChartTokens tokens;
};

// Reads `path` with the game's own reader into a fresh table. Empty, with
// `error` set, when the file cannot be read.
std::optional<ChartFile> readChartFile(const std::filesystem::path& path, std::string& error);

// Looks for the header's audio file in the chart's folder, the folder the game
// runs in, and asks the game's player for its length. Needs an audio device;
// SDL's dummy driver is used unless SDL_AUDIODRIVER says otherwise.
AudioInfo probeAudio(const std::filesystem::path& chartPath, const ChartTable& chart);

}  // namespace zorv::chartcheck
