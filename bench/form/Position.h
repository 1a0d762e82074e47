#pragma once
// The play position against the sound: the real player with the instant of
// every position() the form reads, the device callbacks' times, and how far
// the two disagree.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/SdlMediaPlayer.h"
#include "bench/form/Stats.h"

namespace zorv::formbench {

// The real player, with the instant of every position() the form reads.
class TimedPlayer final : public zorv::MediaPlayer {
public:
    struct Read {
        std::int64_t atNs;
        std::int32_t positionMs;
        std::int64_t framesBefore, framesAfter;  // framesConsumed() around the read
        std::int64_t tookNs;                     // position() itself: it takes the mixer's lock
    };

    explicit TimedPlayer(zorv::SdlMediaPlayer& real) : real_(real) { reads.reserve(1 << 16); }
    void setFileName(const std::string& name) override { real_.setFileName(name); }
    void open() override { real_.open(); }
    void play() override { real_.play(); }
    void stop() override { real_.stop(); }
    std::int32_t length() const override { return real_.length(); }
    std::int32_t position() override
    {
        const std::int64_t before = real_.framesConsumed();
        const std::int64_t at = nowNs();
        const std::int32_t position = real_.position();
        const std::int64_t took = nowNs() - at;
        const std::int64_t after = real_.framesConsumed();
        if (reads.size() < reads.capacity())
            reads.push_back({at, position, before, after, took});
        return position;
    }

    std::vector<Read> reads;

private:
    zorv::SdlMediaPlayer& real_;
};

// Times of the device callbacks, from an effect on the mixer's output that
// runs in every callback just before the player counts its frames.
struct CallbackLog {
    struct Entry {
        std::int64_t atNs;
        std::int64_t frames;  // mixed since this log was registered, this callback included
    };
    static constexpr std::size_t kCapacity = 1 << 17;  // 25 min at 44.1 kHz, 512 frames
    std::unique_ptr<Entry[]> entries{new Entry[kCapacity]};
    std::atomic<std::size_t> count{0};
    std::int64_t frames = 0;
    int frameBytes = 4;

    static void effect(int, void*, int bytes, void* self)
    {
        auto* log = static_cast<CallbackLog*>(self);
        const std::size_t n = log->count.load(std::memory_order_relaxed);
        if (n == kCapacity)
            return;
        log->frames += bytes / log->frameBytes;
        log->entries[n] = {nowNs(), log->frames};
        log->count.store(n + 1, std::memory_order_release);
    }
};

// Registers `log` on the mixer's output; returns the output's sample rate.
int watchCallbacks(CallbackLog& log);

struct PositionError {
    Summary absError;            // |position - consumed|, ms
    double meanFirst, meanLast;  // signed mean error over the first and last 10 s of reads
    double slopeMsPerMin;
    Summary step;  // position - framesConsumed() at the read: the interpolation position adds
    std::size_t used, reads;
    std::size_t backwards;  // reads lower than the one before
};

// Every read taken while the music ran, against the frames consumed at its
// instant, interpolated between the callbacks around it; `rate` in Hz.
PositionError positionError(const std::vector<TimedPlayer::Read>& reads, const CallbackLog& log, int rate,
                            std::int32_t lengthMs);

}  // namespace zorv::formbench
