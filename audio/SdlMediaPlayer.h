#pragma once
// MediaPlayer on SDL2_mixer: one music stream, played on the default output
// device with a small buffer so the position the game reads is close to what
// the player hears; behind a sound server, the server's own delay is taken
// off as well.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/MediaPlayer.h"
#include "audio/OutputLatency.h"
#include "audio/RecentFigures.h"

struct _Mix_Music;

namespace zorv {

// SDL_mixer has a single music stream and a single device per process, so at
// most one SdlMediaPlayer may exist at a time; constructing a second while the
// first lives throws std::logic_error. All members are for the thread that
// created the player (the GUI thread); only SDL's audio thread runs beside it.
//
// The audio device is opened by the first open() and kept until destruction.
class SdlMediaPlayer final : public MediaPlayer {
public:
    // Frames the device asks for per callback. Also the latency subtracted from
    // the mixed frames: about 11.6 ms at 44.1 kHz, short enough that the notes
    // on screen and the music do not drift apart noticeably.
    static constexpr int kBufferFrames = 512;
    // Asked for; the device may pick another rate (see sampleRate()).
    static constexpr int kWantedRate = 44100;

    // `latency` makes the source of the server's delay once the device is
    // open (see OutputLatency.h); tests pass a fake, benchmarks one that
    // returns nullptr to measure the plain position.
    explicit SdlMediaPlayer(OutputLatencyFactory latency = makeServerLatency);
    ~SdlMediaPlayer() override;
    SdlMediaPlayer(const SdlMediaPlayer&) = delete;
    SdlMediaPlayer& operator=(const SdlMediaPlayer&) = delete;

    void setFileName(const std::string& name) override;
    // Besides the reasons MediaPlayer lists, a file whose length SDL_mixer
    // cannot tell is refused, since position() is bounded by the length.
    void open() override;
    void play() override;
    void stop() override;
    std::int32_t length() const noexcept override;
    // While playing, without a latency source (no sound server: SDL's dummy
    // or ALSA driver): the frames mixed for the music since play(), less the
    // buffer the device was handed last (it is heard from that callback on),
    // advanced by the steady clock since that callback by at most one buffer.
    // With one: the steady clock, set to the frames mixed by the mean over the
    // last kClockCallbacks callbacks (a server calls back in step with its own
    // cycle, not the device's, so single callbacks are several ms early or
    // late), less one buffer, less the server's delay, and never past the
    // frames mixed less that delay. A change in that delay is eased in with a
    // time constant of kDelayEaseMs, so the position does not jump; an
    // unknown delay counts as 0, as without a source.
    // Either way in ms rounded down, clamped to 0..length() and to no less
    // than any value returned since play().
    std::int32_t position() noexcept override;
    // The server's delay position() takes off now, in ns; 0 without a source.
    std::int64_t appliedDelayNs() const noexcept;

    static constexpr int kClockCallbacks = 32;
    static constexpr std::int64_t kDelayEaseMs = 250;

    // Frames of the music the device has played since play(): mixed less one
    // buffer, without the clock interpolation position() adds and without a
    // server's delay taken off, at most the length in frames. 0 before the first play() after open(), kept by
    // stop(). Frames are per channel, at sampleRate().
    std::int64_t framesConsumed() const noexcept;
    // The device's rate in Hz once the first open() reached the device, else 0.
    int sampleRate() const noexcept;

private:
    enum class State { noFile, ready, playing, stopped, finished };

    struct Mixed {
        std::int64_t frames;  // since the device opened
        std::int64_t atNs;    // steady clock at the end of that callback
        std::int64_t leadNs;  // mean of (frames as time - steady clock) over the last callbacks
    };

    void initAudio();
    void openDevice();
    void closeFile() noexcept;
    Mixed readMixed() const noexcept;
    std::int64_t lengthFrames() const noexcept;
    std::int64_t plainHeardFrames(const Mixed& mixed, std::int64_t nowNs) const noexcept;
    std::int64_t serverHeardFrames(const Mixed& mixed, std::int64_t nowNs) noexcept;
    [[noreturn]] void fail(const std::string& reason) const;
    static void onMixed(void* self, std::uint8_t* stream, int bytes);
    std::int64_t addLead(std::int64_t frames, std::int64_t atNs) noexcept;

    std::string fileName_;
    _Mix_Music* music_ = nullptr;
    State state_ = State::noFile;
    std::int32_t lengthMs_ = 0;
    std::int32_t floorMs_ = 0;        // last position() while playing
    std::int32_t stoppedMs_ = 0;      // position() at stop()
    std::int64_t stoppedFrames_ = 0;  // framesConsumed() at stop()
    std::int64_t startFrames_ = 0;    // mixed frames when play() started the music

    OutputLatencyFactory latencyFactory_;
    std::unique_ptr<OutputLatency> latency_;  // null: no server to ask
    std::int64_t appliedDelayNs_ = 0;         // what position() subtracts now
    std::int64_t delayUpdatedNs_ = 0;         // steady clock of its last update

    bool deviceOpen_ = false;
    std::uint32_t deviceId_ = 0;  // 0 when unknown; locking id 0 is a no-op
    int rate_ = 0;

    // Written by the audio thread only, inside a sequence lock: seq_ is odd
    // while a callback is updating mixedFrames_ and mixedAtNs_.
    std::atomic<std::uint64_t> seq_{0};
    std::atomic<std::int64_t> mixedFrames_{0};
    std::atomic<std::int64_t> mixedAtNs_{0};
    std::atomic<std::int64_t> mixedLeadNs_{0};
    std::atomic<int> frameBytes_{0};  // set before the callback is installed
    std::atomic<int> clockRate_{0};   // likewise

    // The audio thread's own: the last callbacks' leads.
    RecentFigures<kClockCallbacks> leads_;
};

}  // namespace zorv
