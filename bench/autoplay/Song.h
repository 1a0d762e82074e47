#pragma once
// The song as the game plays it, and the chart as the game reads it: what
// the automated player needs to know before the music starts.

#include <cstdint>
#include <string>
#include <vector>

#include "chart/Chart.h"

namespace zorv::autoplay {

// The song decoded exactly as the game's player decodes it (chart maker's
// decodeAudio: SDL_mixer, encoder delay dropped), mixed down to one channel
// as a mono recording of a stereo sink hears it: (left + right) / 2.
struct SongSound {
    std::vector<float> mono;  // full scale 1.0
    int rate = 0;
    std::int32_t lengthMs = 0;
    float peak = 0;
};
SongSound decodeSong(const std::string& path);

// Index of the first sample whose magnitude reaches `threshold`; -1 for none.
std::int64_t firstLoudSample(const std::vector<float>& mono, float threshold);

// A note as the game reads it (chart/Chart.h); its beat is kLeadMs after
// its time.
using Note = ChartNote;

// The notes the game dispatches, in order (chartNotes of the chart as the
// game's loader reads it). Throws std::runtime_error when the game could not
// open it.
std::vector<Note> chartNotes(const std::string& path);
// The audio file a chart names, as the game would open it from `folder`.
std::string chartAudio(const std::string& chartPath);

// Ground truth of a synthesised song: "onset <ms> ..." lines, ascending.
std::vector<double> truthOnsetsMs(const std::string& path);

}  // namespace zorv::autoplay
