#pragma once
// The WAV file the songs are encoded from.

#include <cstdint>
#include <string>
#include <vector>

namespace zorv::songs {

// 16-bit PCM, stereo, kSampleRate; `interleaved` holds left/right pairs.
// Throws std::runtime_error when the file cannot be written.
void writeWav(const std::string& path, const std::vector<std::int16_t>& interleaved);

}  // namespace zorv::songs
