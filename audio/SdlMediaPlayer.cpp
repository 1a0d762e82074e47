#include "audio/SdlMediaPlayer.h"

#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace zorv {

namespace {

bool instanceAlive = false;

std::int64_t steadyNs() noexcept
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// SDL2 hands out device ids from a 16-slot table; a little slack costs nothing.
constexpr SDL_AudioDeviceID kLastDeviceId = 32;

std::vector<SDL_AudioDeviceID> activeDevices()
{
    std::vector<SDL_AudioDeviceID> ids;
    for (SDL_AudioDeviceID id = 1; id <= kLastDeviceId; ++id) {
        if (SDL_GetAudioDeviceStatus(id) != SDL_AUDIO_STOPPED)
            ids.push_back(id);
    }
    return ids;
}

// Holds the mixer's device lock, so no audio callback runs meanwhile.
class DeviceLock {
public:
    explicit DeviceLock(SDL_AudioDeviceID id) : id_(id) { SDL_LockAudioDevice(id_); }
    ~DeviceLock() { SDL_UnlockAudioDevice(id_); }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    SDL_AudioDeviceID id_;
};

}  // namespace

SdlMediaPlayer::SdlMediaPlayer(OutputLatencyFactory latency) : latencyFactory_(std::move(latency))
{
    if (instanceAlive) {
        throw std::logic_error("Only one SdlMediaPlayer may exist at a time");
    }
    instanceAlive = true;
}

SdlMediaPlayer::~SdlMediaPlayer()
{
    closeFile();
    latency_.reset();
    if (deviceOpen_) {
        Mix_SetPostMix(nullptr, nullptr);
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    instanceAlive = false;
}

void SdlMediaPlayer::setFileName(const std::string& name) { fileName_ = name; }

void SdlMediaPlayer::fail(const std::string& reason) const
{
    throw MediaError("Can't open audio file \"" + fileName_ + "\": " + reason);
}

void SdlMediaPlayer::open()
{
    closeFile();

    // Checked before SDL sees the name: SDL_mixer's message for a missing file
    // or a directory does not say which of the two it was.
    if (fileName_.empty())
        fail("no file name given");
    std::error_code error;
    const auto status = std::filesystem::status(fileName_, error);
    if (status.type() == std::filesystem::file_type::not_found)
        fail("no such file");
    if (error)
        fail(error.message());
    if (std::filesystem::is_directory(status))
        fail("it is a directory");
    // SDL_mixer would wait forever on a FIFO and keep reading /dev/zero until
    // memory runs out.
    if (!std::filesystem::is_regular_file(status))
        fail("not a regular file");

    openDevice();

    Mix_Music* music = Mix_LoadMUS(fileName_.c_str());
    if (music == nullptr)
        fail(std::string("not playable audio (") + Mix_GetError() + ")");
    const double seconds = Mix_MusicDuration(music);
    if (!(seconds >= 0.0) || seconds * 1000.0 > std::numeric_limits<std::int32_t>::max()) {
        Mix_FreeMusic(music);
        fail("its length is unknown");
    }
    music_ = music;
    lengthMs_ = static_cast<std::int32_t>(std::floor(seconds * 1000.0));
    state_ = State::ready;
}

void SdlMediaPlayer::initAudio()
{
    // PulseAudio's protocol first, also on a PipeWire desktop (through its
    // pulse layer), where SDL 2.26's own pipewire driver would do: that one
    // hands PipeWire one 512-frame buffer per graph cycle, so a quantum above
    // about 470 frames (the 1024 PipeWire sets in a virtual machine, or one a
    // user forces) loses sound; through the pulse layer nothing is lost at
    // any quantum, and the sound is heard sooner at the default ones (23 ms
    // against 27 ms after position() said so; docs/performance.md). The hint
    // yields to SDL_AUDIODRIVER when that is set; without a pulse server
    // SDL's own order follows (pipewire, ALSA, ...).
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "pulseaudio");
    const bool pulse = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (!pulse && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        fail(std::string("no usable audio device (") + SDL_GetError() + ")");
}

void SdlMediaPlayer::openDevice()
{
    if (deviceOpen_)
        return;

    // SDL would otherwise turn SIGINT and SIGTERM into quit events that
    // nobody reads, and the game could no longer be ended by a signal.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    initAudio();
    const auto before = activeDevices();
    // Letting the device choose its rate spares a resampling stage; format and
    // channel count are converted by SDL if the device differs.
    if (Mix_OpenAudioDevice(kWantedRate, AUDIO_S16SYS, 2, kBufferFrames, nullptr, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE) !=
        0) {
        const std::string reason = Mix_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        fail("no usable audio device (" + reason + ")");
    }

    int rate = 0;
    Uint16 format = 0;
    int channels = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    rate_ = rate;
    frameBytes_.store(SDL_AUDIO_BITSIZE(format) / 8 * channels, std::memory_order_relaxed);
    clockRate_.store(rate, std::memory_order_relaxed);

    // SDL_mixer 2.6 keeps its device id to itself, but play() needs the
    // device's lock to read the mixed-frame count at the exact callback
    // boundary where the music starts. Its device is the one that turned active
    // just now. Should that be ambiguous, id 0 makes locking a no-op and the
    // start may be off by one buffer.
    const auto after = activeDevices();
    std::vector<SDL_AudioDeviceID> opened;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(opened));
    deviceId_ = opened.size() == 1 ? opened.front() : 0;

    Mix_SetPostMix(&SdlMediaPlayer::onMixed, this);
    deviceOpen_ = true;

    // Once SDL's stream exists, so the source can find it. A source that
    // fails to start is no reason to refuse the music.
    if (latencyFactory_) {
        const char* driver = SDL_GetCurrentAudioDriver();
        try {
            latency_ = latencyFactory_(OutputStream{driver != nullptr ? driver : "", rate_, kBufferFrames,
                                                    frameBytes_.load(std::memory_order_relaxed)});
        } catch (...) {
            latency_.reset();
        }
    }
}

void SdlMediaPlayer::onMixed(void* self, std::uint8_t* /*stream*/, int bytes)
{
    auto* player = static_cast<SdlMediaPlayer*>(self);
    const int frameBytes = player->frameBytes_.load(std::memory_order_relaxed);
    if (frameBytes <= 0)
        return;

    const std::int64_t frames = player->mixedFrames_.load(std::memory_order_relaxed) + bytes / frameBytes;
    const std::int64_t atNs = steadyNs();
    const std::int64_t leadNs = player->addLead(frames, atNs);

    const std::uint64_t seq = player->seq_.load(std::memory_order_relaxed);
    player->seq_.store(seq + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    player->mixedFrames_.store(frames, std::memory_order_relaxed);
    player->mixedAtNs_.store(atNs, std::memory_order_relaxed);
    player->mixedLeadNs_.store(leadNs, std::memory_order_relaxed);
    player->seq_.store(seq + 2, std::memory_order_release);
}

std::int64_t SdlMediaPlayer::addLead(std::int64_t frames, std::int64_t atNs) noexcept
{
    const int rate = clockRate_.load(std::memory_order_relaxed);
    // Split, so that frames * 10^9 cannot overflow in a game left running
    // for days.
    const std::int64_t framesAsNs = frames / rate * 1'000'000'000 + frames % rate * 1'000'000'000 / rate;
    leads_.add(framesAsNs - atNs);
    return leads_.mean();
}

SdlMediaPlayer::Mixed SdlMediaPlayer::readMixed() const noexcept
{
    for (;;) {
        const std::uint64_t seq = seq_.load(std::memory_order_acquire);
        if (seq % 2 == 0) {
            const Mixed mixed{mixedFrames_.load(std::memory_order_relaxed), mixedAtNs_.load(std::memory_order_relaxed),
                              mixedLeadNs_.load(std::memory_order_relaxed)};
            std::atomic_thread_fence(std::memory_order_acquire);
            if (seq_.load(std::memory_order_relaxed) == seq)
                return mixed;
        }
        // The audio thread was preempted halfway through its two stores.
        std::this_thread::yield();
    }
}

void SdlMediaPlayer::play()
{
    if (music_ == nullptr) {
        throw MediaError("Can't play audio file \"" + fileName_ + "\": no file is open");
    }
    {
        const DeviceLock lock(deviceId_);
        Mix_HaltMusic();
        if (Mix_PlayMusic(music_, 0) != 0) {
            state_ = State::stopped;
            stoppedMs_ = 0;
            stoppedFrames_ = 0;
            throw MediaError("Can't play audio file \"" + fileName_ + "\": " + Mix_GetError());
        }
        // No callback can run before the lock is released, so the next buffer
        // mixed is the first one holding the music.
        startFrames_ = readMixed().frames;
    }
    state_ = State::playing;
    floorMs_ = 0;
    // Nothing has been heard yet, so the delay known now is taken in whole.
    appliedDelayNs_ = latency_ ? std::max<std::int64_t>(latency_->delayNs(), 0) : 0;
    delayUpdatedNs_ = steadyNs();
}

void SdlMediaPlayer::stop()
{
    if (state_ != State::playing && state_ != State::finished)
        return;
    stoppedMs_ = position();
    stoppedFrames_ = framesConsumed();
    Mix_HaltMusic();
    state_ = State::stopped;
}

void SdlMediaPlayer::closeFile() noexcept
{
    stop();
    if (music_ != nullptr) {
        Mix_FreeMusic(music_);
        music_ = nullptr;
    }
    state_ = State::noFile;
    lengthMs_ = 0;
}

std::int32_t SdlMediaPlayer::length() const noexcept { return lengthMs_; }

std::int64_t SdlMediaPlayer::lengthFrames() const noexcept
{
    return static_cast<std::int64_t>(lengthMs_) * rate_ / 1000;
}

std::int32_t SdlMediaPlayer::position() noexcept
{
    switch (state_) {
    case State::noFile:
    case State::ready: return 0;
    case State::stopped: return stoppedMs_;
    case State::finished: return lengthMs_;
    case State::playing: break;
    }
    // The mixer drops the music once its decoder runs dry, which is one
    // buffer before the end is heard; close enough to call it the end.
    if (!Mix_PlayingMusic()) {
        state_ = State::finished;
        return lengthMs_;
    }

    const Mixed mixed = readMixed();
    const std::int64_t nowNs = steadyNs();
    // The clock needs at least one callback to be set by.
    const bool serverClock = latency_ && mixed.atNs != 0;
    const std::int64_t heard = serverClock ? serverHeardFrames(mixed, nowNs) : plainHeardFrames(mixed, nowNs);
    const std::int64_t ms = std::clamp<std::int64_t>(heard * 1000 / rate_, 0, lengthMs_);
    floorMs_ = std::max(floorMs_, static_cast<std::int32_t>(ms));
    return floorMs_;
}

std::int64_t SdlMediaPlayer::plainHeardFrames(const Mixed& mixed, std::int64_t nowNs) const noexcept
{
    const std::int64_t heardAtCallback = mixed.frames - startFrames_ - kBufferFrames;
    // Between callbacks the device keeps playing at its rate; beyond one
    // buffer it would be playing frames not mixed yet, so stop there.
    const std::int64_t bufferNs = std::int64_t{kBufferFrames} * 1'000'000'000 / rate_;
    const std::int64_t sinceNs = std::clamp<std::int64_t>(nowNs - mixed.atNs, 0, bufferNs);
    return heardAtCallback + sinceNs * rate_ / 1'000'000'000;
}

std::int64_t SdlMediaPlayer::serverHeardFrames(const Mixed& mixed, std::int64_t nowNs) noexcept
{
    // Eased towards the latest figure with a time constant of kDelayEaseMs:
    // a 20 ms change moves the position by 4 ms in the first 50 ms tick, and
    // is 95 % taken in after 14 ticks.
    const std::int64_t target = std::max<std::int64_t>(latency_->delayNs(), 0);
    const std::int64_t elapsed = std::clamp<std::int64_t>(nowNs - delayUpdatedNs_, 0, kDelayEaseMs * 1'000'000);
    appliedDelayNs_ += (target - appliedDelayNs_) * elapsed / (kDelayEaseMs * 1'000'000);
    delayUpdatedNs_ = nowNs;
    const std::int64_t mixedNowNs = nowNs + mixed.leadNs - appliedDelayNs_;
    const std::int64_t heard = mixedNowNs / 1000 * rate_ / 1'000'000 - startFrames_ - kBufferFrames;
    // Nothing is heard before it is mixed: should our audio thread stall (the
    // server then runs dry), the clock waits for it.
    const std::int64_t delayFrames = appliedDelayNs_ / 1000 * rate_ / 1'000'000;
    return std::min(heard, mixed.frames - startFrames_ - delayFrames);
}

std::int64_t SdlMediaPlayer::appliedDelayNs() const noexcept { return latency_ ? appliedDelayNs_ : 0; }

std::int64_t SdlMediaPlayer::framesConsumed() const noexcept
{
    switch (state_) {
    case State::noFile:
    case State::ready: return 0;
    case State::stopped: return stoppedFrames_;
    case State::finished: return lengthFrames();
    case State::playing: break;
    }
    const std::int64_t played = readMixed().frames - startFrames_ - kBufferFrames;
    return std::clamp<std::int64_t>(played, 0, lengthFrames());
}

int SdlMediaPlayer::sampleRate() const noexcept { return rate_; }

}  // namespace zorv
