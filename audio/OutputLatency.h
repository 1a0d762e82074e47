#pragma once
// The delay a sound server adds between SDL handing it our music and the
// listener hearing it, which SDL2 does not report. SdlMediaPlayer subtracts it
// from the play position.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zorv {

class OutputLatency {
public:
    virtual ~OutputLatency() = default;
    // The server's latest figure for our own stream in ns, beyond the one
    // device buffer the player already counts; -1 while unknown (no server,
    // our stream not found yet, the query failed, the server went away).
    // Called by the player on every position(): must not block, allocate or
    // talk to the server. Implementations query on a thread of their own.
    virtual std::int64_t delayNs() const noexcept = 0;
};

// What the player needs to know to find its stream.
struct OutputStream {
    std::string driver;  // SDL_GetCurrentAudioDriver(): "pulseaudio", "pipewire", ...
    int rate = 0;        // frames per second of the device SDL opened
    int bufferFrames = 0;
    int frameBytes = 0;  // of the format SDL hands the server (all channels)
};

// Makes the source for an opened device, or nullptr where there is nothing to
// ask (SDL's dummy or ALSA driver, say): the player then keeps its plain
// position. Never throws; a source that cannot reach its server reports -1.
using OutputLatencyFactory = std::function<std::unique_ptr<OutputLatency>(const OutputStream&)>;

// PulseAudio for SDL's "pulseaudio" driver, PipeWire for its "pipewire" one.
std::unique_ptr<OutputLatency> makeServerLatency(const OutputStream& stream);

}  // namespace zorv
