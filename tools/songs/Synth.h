#pragma once
// Renders a score to 16-bit 44.1 kHz stereo: every part through its voice
// (Voices.h) and every drum hit (Drums.h) into the mix, then the room and
// echo returns, DC blocking, loudness and the limiter (Effects.h), dither.

#include "tools/songs/Score.h"
#include "tools/songs/Wav.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorv::songs {

struct PartLevel {
    std::string name;
    double db = 0;  // energy of the part against the whole dry mix
};

struct RenderStats {
    double peakDb = 0;     // sample peak, dBFS
    double rmsDb = 0;      // over both channels, dBFS
    double limitedDb = 0;  // deepest gain reduction of the limiter
    std::vector<PartLevel> parts;
};

// Interleaved left/right samples; the same song always gives the same samples.
std::vector<std::int16_t> renderSong(const Song& song, RenderStats& stats);

}  // namespace zorv::songs
