#pragma once
// The samples the game hears. The game plays a song as SDL_mixer music
// (Mix_LoadMUS, Mix_PlayMusic) on a 44.1 kHz signed 16-bit stereo device; for
// MP3 that is libmpg123 with the encoder delay dropped, for WAV, OGG and FLAC
// SDL_mixer's own readers, and anything not at 44.1 kHz stereo is converted
// by SDL. Decoding through that same path, frame for frame, is what lets a
// chart's times line up with what the player hears.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "audio/SdlMediaPlayer.h"

namespace zorv::chartmake {

// What the game asks its device for.
inline constexpr int kDecodeRate = SdlMediaPlayer::kWantedRate;
inline constexpr int kDecodeChannels = 2;

// The audio cannot be decoded, or is no file the game could play. The message
// gives the cause only ("no such file", "not playable audio (...)"); callers
// name the file.
class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct DecodedAudio {
    // Handed to the sink, at kDecodeRate: up to the end of SDL_mixer's
    // duration, or of the last sound where the music stops before that.
    std::int64_t frames = 0;
    // The length the game's player reports: SDL_mixer's duration in whole ms.
    std::int32_t lengthMs = 0;
    // That duration in frames. More than `frames` when the file ends early
    // (a cut MP3 whose header promises more than it holds).
    std::int64_t declaredFrames = 0;
};

// Receives the music as interleaved signed 16-bit stereo frames at
// kDecodeRate, block by block in order, from the first frame the player
// plays to its last. Runs on SDL's audio thread; anything it throws ends the
// decoding and is rethrown by decodeAudio.
using FrameSink = std::function<void(const std::int16_t* samples, std::size_t frames)>;
// Called on the calling thread a few times a second: frames decoded so far,
// and the frames expected in all.
using DecodeProgress = std::function<void(std::int64_t done, std::int64_t expected)>;

// Plays `path` through SDL_mixer into `sink` as fast as the CPU allows, on
// SDL's disk audio driver writing to /dev/null. Throws DecodeError for a
// missing file, a folder, anything but a regular file (a FIFO would block,
// /dev/zero never end), or a file SDL_mixer will not open or cannot tell the
// length of, which the game's player refuses too. SDL_mixer has one device
// per process: not for use while another part of the program has it open.
DecodedAudio decodeAudio(const std::string& path, const FrameSink& sink, const DecodeProgress& progress = {});

// The reasons decodeAudio gives before SDL sees the file, for callers that
// want to refuse early; empty when the file may be tried.
std::string refusalBeforeDecoding(const std::string& path);

}  // namespace zorv::chartmake
