#include "tools/chart/make/Decode.h"

#include "audio/SdlMediaPlayer.h"

#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <SDL_mixer.h>

#include <aubio/aubio.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <limits>
#include <system_error>

namespace zorv::chartmake {
namespace {

// Why the disk driver: SDL_mixer hands decoded music out only through a
// device callback, and the dummy driver runs it in real time. Measured on a
// 10.7-minute 160 kb/s MP3: Mix_LoadWAV (the whole song as one chunk) took
// 1.86 s and peaked at 236 MB resident, the decoded chunk alone being 114 MB;
// the music stream on the disk driver with no delay took 0.64 s of CPU
// (1000x real time) and 12 MB, and gives the same samples bit for bit.
//
// Buffer size: SDL 2.26 resamples in pieces the size of the device buffer
// and the result depends on that size: a 48 kHz OGG decoded with 4096-frame
// buffers runs up to several frames away from the same song decoded with the
// game's 512. So wherever SDL resamples, the buffers are the game's. Where
// it does not, the samples are the same with any size (tested), and larger
// buffers are cheaper: a 10.7-minute MP3 cost 0.64 s of CPU with 4096
// frames against 1.43 s with 512, the disk driver sleeping between buffers
// (about 14 us a buffer). But SDL sleeps two buffers' worth when it closes
// the device, 186 ms at 4096 frames, which is most of the wait on a short
// song: the size that costs least in all grows with the square root of the
// song's length, about 1024 frames for three minutes, 2048 up to twelve.
// Dodoroza (1:47): 0.56 s wall with 4096, 0.36 s with 1024, same chart.
constexpr int kGameBufferFrames = SdlMediaPlayer::kBufferFrames;
constexpr int kLargestBufferFrames = 4096;
constexpr int kFrameBytes = kDecodeChannels * 2;
constexpr uint_t kHopForProbe = 512;

// With no frame decoded for this long the decoder is taken to hang.
constexpr std::uint32_t kStallMs = 20000;
constexpr std::uint32_t kProgressMs = 250;

struct Session {
    const FrameSink* sink = nullptr;
    std::int64_t declaredFrames = 0;
    std::int64_t frames = 0;             // audio thread only
    bool done = false;                   // audio thread only
    std::atomic<bool> ended{false};      // the music finished inside the buffer being mixed
    std::atomic<std::int64_t> shown{0};  // frames, for the calling thread
    std::exception_ptr error;            // written before `posted`
    SDL_sem* posted = nullptr;
};

// Mix_HookMusicFinished takes no user data; one session at a time anyway.
std::atomic<Session*> session{nullptr};

void onMusicFinished()
{
    if (Session* s = session.load(); s != nullptr)
        s->ended.store(true);
}

// The mixer fills what is left of its last buffer after the music with
// silence, and music may end in silence of its own. Where SDL_mixer's
// duration ends inside this buffer, that is the end (exact for a song SDL
// does not resample). Where the music stops short of it (a file cut short;
// SDL 2.26 dropping a resampled song's last part-buffer), the end of the
// sound is taken.
std::int64_t musicFramesInLast(const std::int16_t* samples, std::int64_t frames, std::int64_t before,
                               std::int64_t declared)
{
    std::int64_t audible = frames;
    while (audible > 0 && samples[2 * audible - 1] == 0 && samples[2 * audible - 2] == 0)
        --audible;
    const std::int64_t wanted = declared - before;
    return wanted <= frames ? std::max(wanted, audible) : audible;
}

void onMixed(void* data, Uint8* stream, int bytes)
{
    auto* s = static_cast<Session*>(data);
    if (s->done)
        return;
    // The callback holds the device lock, so the music cannot start halfway
    // through a buffer: it is either in this one from its first frame or not.
    const bool last = s->ended.load();
    if (!last && !Mix_PlayingMusic())
        return;
    const auto* samples = reinterpret_cast<const std::int16_t*>(stream);
    std::int64_t frames = bytes / kFrameBytes;
    if (last)
        frames = musicFramesInLast(samples, frames, s->frames, s->declaredFrames);
    try {
        if (frames > 0)
            (*s->sink)(samples, static_cast<std::size_t>(frames));
    } catch (...) {
        s->error = std::current_exception();
        s->done = true;
    }
    s->frames += frames;
    s->shown.store(s->frames);
    if (last)
        s->done = true;
    if (s->done)
        SDL_SemPost(s->posted);
}

// Swallows SDL's log while the disk driver opens: it announces itself on
// stderr, which is no business of the user's.
void quietLog(void*, int, SDL_LogPriority, const char*) {}

// The device buffer for decoding `path`: the game's wherever SDL would
// resample (aubio's reader tells the file's rate), else by the song's length.
int bufferFramesFor(const std::string& path)
{
    aubio_source_t* source = new_aubio_source(path.c_str(), 0, kHopForProbe);
    if (source == nullptr)
        return kGameBufferFrames;
    const unsigned rate = aubio_source_get_samplerate(source);
    const double minutes = rate > 0 ? aubio_source_get_duration(source) / 60.0 / rate : 0.0;
    del_aubio_source(source);
    if (rate != static_cast<unsigned>(kDecodeRate))
        return kGameBufferFrames;
    if (minutes > 0 && minutes < 3)
        return kLargestBufferFrames / 4;
    return minutes > 0 && minutes < 12 ? kLargestBufferFrames / 2 : kLargestBufferFrames;
}

// The disk driver sleeps for 0 ms between buffers, which the kernel's default
// timer slack turns into 50 us: 3 s of waiting per 10 minutes of song at the
// game's buffer size. SDL's audio thread inherits the slack of the thread
// that opens the device.
class TightTimers {
public:
    TightTimers() : slack_(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0)) { prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0); }
    ~TightTimers()
    {
        if (slack_ > 0)
            prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack_), 0, 0, 0);
    }
    TightTimers(const TightTimers&) = delete;
    TightTimers& operator=(const TightTimers&) = delete;

private:
    int slack_;
};

class Mixer {
public:
    explicit Mixer(int bufferFrames)
    {
        // Every buffer goes to /dev/null at once, and from nowhere else: the
        // user's own SDL_DISKAUDIOFILE must not receive a song.
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "disk", SDL_HINT_OVERRIDE);
        SDL_LogOutputFunction previous = nullptr;
        void* previousData = nullptr;
        SDL_LogGetOutputFunction(&previous, &previousData);
        SDL_LogSetOutputFunction(quietLog, nullptr);
        std::string error;
        const TightTimers timers;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            error = SDL_GetError();
        } else if (Mix_OpenAudioDevice(kDecodeRate, AUDIO_S16SYS, kDecodeChannels, bufferFrames, nullptr, 0) != 0) {
            error = Mix_GetError();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        SDL_LogSetOutputFunction(previous, previousData);
        if (!error.empty()) {
            SDL_ResetHint(SDL_HINT_AUDIODRIVER);
            SDL_TLSCleanup();
            throw DecodeError("SDL cannot decode here (" + error + ")");
        }
    }
    ~Mixer()
    {
        Mix_SetPostMix(nullptr, nullptr);
        Mix_HookMusicFinished(nullptr);
        Mix_HaltMusic();
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        // SDL keeps per-thread data (its error text) for threads it did not
        // start and never frees it; zorv-open decodes on a worker thread.
        SDL_TLSCleanup();
    }
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;
};

class Music {
public:
    explicit Music(const std::string& path) : music_(Mix_LoadMUS(path.c_str()))
    {
        if (music_ == nullptr)
            throw DecodeError(std::string("not playable audio (") + Mix_GetError() + ")");
    }
    ~Music() { Mix_FreeMusic(music_); }
    Music(const Music&) = delete;
    Music& operator=(const Music&) = delete;
    Mix_Music* get() const { return music_; }

private:
    Mix_Music* music_;
};

class Semaphore {
public:
    Semaphore() : sem_(SDL_CreateSemaphore(0))
    {
        if (sem_ == nullptr)
            throw DecodeError(std::string("SDL cannot decode here (") + SDL_GetError() + ")");
    }
    ~Semaphore() { SDL_DestroySemaphore(sem_); }
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;
    SDL_sem* get() const { return sem_; }

private:
    SDL_sem* sem_;
};

// Waits for the last buffer, reporting progress; throws if nothing moves.
void waitForEnd(Session& s, const DecodeProgress& progress)
{
    std::int64_t lastFrames = -1;
    std::uint32_t still = 0;
    while (SDL_SemWaitTimeout(s.posted, kProgressMs) == SDL_MUTEX_TIMEDOUT) {
        const std::int64_t frames = s.shown.load();
        if (progress)
            progress(frames, s.declaredFrames);
        still = frames == lastFrames ? still + kProgressMs : 0;
        lastFrames = frames;
        if (still >= kStallMs)
            throw DecodeError("the decoder stopped delivering audio after " + std::to_string(frames) + " frames");
    }
}

}  // namespace

std::string refusalBeforeDecoding(const std::string& path)
{
    if (path.empty())
        return "no file name given";
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return "no such file";
    if (error)
        return error.message();
    if (std::filesystem::is_directory(status))
        return "it is a folder";
    if (!std::filesystem::is_regular_file(status))
        return "not a regular file";
    if (access(path.c_str(), R_OK) != 0)
        return std::error_code(errno, std::generic_category()).message();
    if (std::filesystem::file_size(path, error) == 0 && !error)
        return "the file is empty";
    return {};
}

DecodedAudio decodeAudio(const std::string& path, const FrameSink& sink, const DecodeProgress& progress)
{
    if (const std::string refusal = refusalBeforeDecoding(path); !refusal.empty())
        throw DecodeError(refusal);

    const Mixer mixer(bufferFramesFor(path));
    const Music music(path);
    // The game's player refuses a file whose length SDL_mixer cannot tell.
    const double seconds = Mix_MusicDuration(music.get());
    if (!(seconds >= 0.0) || seconds * 1000.0 > std::numeric_limits<std::int32_t>::max())
        throw DecodeError("its length is unknown");

    const Semaphore posted;
    Session s;
    s.sink = &sink;
    s.declaredFrames = std::llround(seconds * kDecodeRate);
    s.posted = posted.get();
    session = &s;
    Mix_HookMusicFinished(onMusicFinished);
    Mix_SetPostMix(onMixed, &s);
    const bool playing = Mix_PlayMusic(music.get(), 0) == 0;
    try {
        if (!playing)
            throw DecodeError(std::string("not playable audio (") + Mix_GetError() + ")");
        waitForEnd(s, progress);
    } catch (...) {
        Mix_SetPostMix(nullptr, nullptr);
        session = nullptr;
        throw;
    }
    Mix_SetPostMix(nullptr, nullptr);
    session = nullptr;
    if (s.error)
        std::rethrow_exception(s.error);
    return {s.frames, static_cast<std::int32_t>(std::floor(seconds * 1000.0)), s.declaredFrames};
}

}  // namespace zorv::chartmake
