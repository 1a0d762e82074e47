// Runs against SDL's dummy audio driver (SDL_AUDIODRIVER=dummy, set by the test presets),
// which consumes audio in real time without a sound card. The tone comes from
// data/tone-3s.mp3; data/README has the command that made it.

#include <gtest/gtest.h>

#define SDL_MAIN_HANDLED
#include <SDL_mixer.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/SdlMediaPlayer.h"
#include "support/TempDir.h"
#include "support/Wav.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kTone = std::string(ZORV_AUDIO_TEST_DATA) + "/tone-3s.mp3";
constexpr std::int32_t kToneMs = 3000;

using test::silentWav;
using test::TempDir;

std::string readFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Reads position() every 15 ms until `done` says so or the deadline passes.
// Each read must not run backwards and must lie between the frames the device
// had played before the read and, plus the one buffer position() may
// interpolate into, after it. Returns the last value.
std::int32_t pollPosition(SdlMediaPlayer& player, std::chrono::milliseconds deadline,
                          const std::function<bool(std::int32_t)>& done)
{
    const auto ms = [&](std::int64_t frames) { return frames * 1000 / player.sampleRate(); };
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::int32_t last = player.position();
    while (!done(last) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(15ms);
        const std::int64_t before = player.framesConsumed();
        const std::int32_t now = player.position();
        const std::int64_t after = player.framesConsumed();
        EXPECT_GE(now, last) << "position ran backwards";
        if (now < player.length()) {
            EXPECT_GE(now, ms(before));
            EXPECT_LE(now, ms(after + SdlMediaPlayer::kBufferFrames) + 1);
        }
        last = now;
    }
    return last;
}

// Plays from the start and returns when that was. Since then the position
// can lead the wall clock only by the dummy driver's speed-up (it sleeps 11 ms
// per 11.6 ms buffer) and a little rounding; see expectFromStart().
std::chrono::steady_clock::time_point playNow(SdlMediaPlayer& player)
{
    const auto at = std::chrono::steady_clock::now();
    player.play();
    return at;
}

void expectFromStart(SdlMediaPlayer& player, std::chrono::steady_clock::time_point playedAt)
{
    const std::int32_t position = player.position();
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - playedAt).count();
    EXPECT_LE(position, elapsed + elapsed / 16 + 20) << "after " << elapsed << " ms";
}

struct OpenFailureCase {
    const char* name;  // in a temp dir; empty opens the empty name
    enum { absent, folder, file } make;
    std::string bytes;
    const char* reason;
};

// Every case first plays the tone, so each also checks that a failing open()
// closed the earlier file instead of leaving it playing.
TEST(SdlMediaPlayer, OpenFailuresNameFileAndReasonAndLeaveNoFileOpen)
{
    const TempDir dir;
    const OpenFailureCase cases[] = {
        {"", OpenFailureCase::absent, "", "no file name"},
        {"absent.mp3", OpenFailureCase::absent, "", "no such file"},
        {"song.mp3", OpenFailureCase::folder, "", "it is a directory"},
        {"notes.mp3", OpenFailureCase::file, "title: not a song\nbpm: 120\n", "not playable audio"},
        {"empty.mp3", OpenFailureCase::file, "", "not playable audio"},
        {"junk.mp3", OpenFailureCase::file, std::string(4096, '\x55'), "not playable audio"},
        {"cut.wav", OpenFailureCase::file, silentWav(500).substr(0, 20), "not playable audio"},
    };
    SdlMediaPlayer player;
    for (const OpenFailureCase& c : cases) {
        const std::string name = *c.name == '\0' ? "" : (dir.path() / c.name).string();
        if (c.make == OpenFailureCase::file)
            dir.file(c.name, c.bytes);
        if (c.make == OpenFailureCase::folder)
            fs::create_directory(name);
        SCOPED_TRACE(c.name);

        player.setFileName(kTone);
        player.open();
        player.play();
        player.setFileName(name);
        try {
            player.open();
            ADD_FAILURE() << "open() accepted it";
        } catch (const MediaError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("\"" + name + "\""), std::string::npos) << message;
            EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        }
        EXPECT_FALSE(Mix_PlayingMusic());
        EXPECT_EQ(player.length(), 0);
        EXPECT_EQ(player.position(), 0);
        EXPECT_EQ(player.framesConsumed(), 0);
        EXPECT_THROW(player.play(), MediaError);
    }
}

// SDL_mixer 2.6.2 picks the decoder by the extension, so the MP3 decoder gets
// the WAV and refuses it; versions that look at the header play it instead.
// Either is fine as long as a refusal looks like any other undecodable file.
TEST(SdlMediaPlayer, WavUnderMp3NameOpensWithItsLengthOrFailsCleanly)
{
    const TempDir dir;
    const std::string name = dir.file("disguised.mp3", silentWav(500));
    SdlMediaPlayer player;
    player.setFileName(name);
    try {
        player.open();
        EXPECT_NEAR(player.length(), 500, 5);
    } catch (const MediaError& error) {
        EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
        EXPECT_EQ(player.length(), 0);
    }
}

TEST(SdlMediaPlayer, MissingAudioDriverIsMediaErrorAndALaterOpenRetries)
{
    SdlMediaPlayer player;
    player.setFileName(kTone);
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = driver ? driver : "";
    setenv("SDL_AUDIODRIVER", "zorv-no-such-driver", 1);
    try {
        player.open();
        ADD_FAILURE() << "open() found a device through a driver that does not exist";
    } catch (const MediaError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(kTone), std::string::npos) << message;
        EXPECT_NE(message.find("no usable audio device"), std::string::npos) << message;
    }
    if (driver)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
    EXPECT_EQ(player.length(), 0);
    EXPECT_EQ(player.sampleRate(), 0);

    player.open();
    EXPECT_NEAR(player.length(), kToneMs, 60);
}

TEST(SdlMediaPlayer, WithoutFileEverythingIsZeroAndPlayThrows)
{
    SdlMediaPlayer player;
    player.stop();
    EXPECT_EQ(player.length(), 0);
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(player.framesConsumed(), 0);
    EXPECT_EQ(player.sampleRate(), 0);
    player.setFileName(kTone);  // named, never opened
    try {
        player.play();
        ADD_FAILURE() << "play() without open()";
    } catch (const MediaError& error) {
        EXPECT_NE(std::string(error.what()).find(kTone), std::string::npos) << error.what();
    }
}

TEST(SdlMediaPlayer, OpenGivesToneLengthAndPositionStaysZeroUntilPlay)
{
    SdlMediaPlayer player;
    player.setFileName(kTone);
    player.open();
    EXPECT_NEAR(player.length(), kToneMs, 60);
    EXPECT_GT(player.sampleRate(), 0);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(player.framesConsumed(), 0);
    EXPECT_FALSE(Mix_PlayingMusic());
}

TEST(SdlMediaPlayer, PositionFollowsClockStopFreezesItPlayRestarts)
{
    SdlMediaPlayer player;
    player.setFileName(kTone);
    player.open();
    const auto started = playNow(player);
    expectFromStart(player, started);
    pollPosition(player, 2s, [&](std::int32_t) { return std::chrono::steady_clock::now() - started >= 600ms; });
    const std::int32_t playedFor600 = player.position();
    EXPECT_GE(playedFor600, 200);
    EXPECT_LE(playedFor600, 2000);

    player.stop();
    EXPECT_FALSE(Mix_PlayingMusic());
    const std::int32_t stoppedAt = player.position();
    const std::int64_t stoppedFrames = player.framesConsumed();
    EXPECT_GE(stoppedAt, playedFor600);
    std::this_thread::sleep_for(150ms);
    player.stop();
    EXPECT_EQ(player.position(), stoppedAt);
    EXPECT_EQ(player.framesConsumed(), stoppedFrames);

    const auto replayed = playNow(player);
    std::this_thread::sleep_for(300ms);
    EXPECT_GE(player.position(), 50);
    expectFromStart(player, replayed);
}

TEST(SdlMediaPlayer, PositionReachesLengthAtTheEndAndStaysThere)
{
    SdlMediaPlayer player;
    player.setFileName(kTone);
    player.open();
    player.play();
    const auto atEnd = [&](std::int32_t p) { return p == player.length(); };
    const std::int32_t last = pollPosition(player, 6s, atEnd);
    ASSERT_EQ(last, player.length());
    EXPECT_FALSE(Mix_PlayingMusic());
    EXPECT_EQ(player.framesConsumed(), std::int64_t{player.length()} * player.sampleRate() / 1000);

    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(player.position(), player.length());
    player.stop();
    EXPECT_EQ(player.position(), player.length());
    expectFromStart(player, playNow(player));
}

// A sound server's delay as a test scripts it: -1 (unknown) until set, or a
// factory that fails.
class ScriptedLatency final : public OutputLatency {
public:
    explicit ScriptedLatency(std::atomic<std::int64_t>& ns) : ns_(ns) {}
    std::int64_t delayNs() const noexcept override { return ns_.load(); }

private:
    std::atomic<std::int64_t>& ns_;
};

struct DelayCase {
    const char* name;
    std::vector<std::int64_t> delaysMs;  // one per 400 ms of the tone; -1 unknown
    bool factoryThrows;
};

// Whatever the server says, and however suddenly it changes its mind, the
// position takes the delay off without ever running backwards or leaping,
// falls back to no delay when the figure is gone or never came, and still
// ends at the length.
TEST(SdlMediaPlayer, ServerDelayIsTakenOffSmoothlyAndTheSongStillEnds)
{
    const DelayCase cases[] = {
        {"steady 100 ms", {100}, false},
        {"grows and shrinks by 60 ms", {20, 80, 20, 80, 20}, false},
        {"server gone mid-song", {40, 40, -1}, false},
        {"a Bluetooth-sized delay appears, then goes", {0, 250, 250, 0}, false},
        {"never known", {-1}, false},
        {"source fails to start", {}, true},
    };
    for (const DelayCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<std::int64_t> delayNs{c.delaysMs.empty() ? -1 : c.delaysMs.front() * 1'000'000};
        SdlMediaPlayer player([&](const OutputStream&) -> std::unique_ptr<OutputLatency> {
            if (c.factoryThrows)
                throw std::runtime_error("no server");
            return std::make_unique<ScriptedLatency>(delayNs);
        });
        player.setFileName(kTone);
        player.open();
        const auto start = std::chrono::steady_clock::now();
        player.play();
        std::int32_t last = 0;
        auto lastAt = start;
        while (last < player.length() && std::chrono::steady_clock::now() - start < 6s) {
            std::this_thread::sleep_for(5ms);
            const auto now = std::chrono::steady_clock::now();
            const auto sinceStart = std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
            const auto step = static_cast<std::size_t>(sinceStart / 400);
            if (!c.delaysMs.empty())
                delayNs = c.delaysMs[std::min(step, c.delaysMs.size() - 1)] * 1'000'000;
            const std::int64_t before = player.framesConsumed() * 1000 / player.sampleRate();
            const std::int32_t position = player.position();
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastAt).count();
            ASSERT_GE(position, last) << "ran backwards at " << sinceStart << " ms";
            // A 250 ms change eased in over 250 ms moves the position by at
            // most its own elapsed time again; the end may come a buffer and
            // the delay early.
            if (position < player.length()) {
                EXPECT_LE(position - last, 2 * elapsed + 15) << "leapt at " << sinceStart << " ms";
                EXPECT_LE(position, before + 30) << "ahead of the device at " << sinceStart << " ms";
            }
            last = position;
            lastAt = now;
        }
        EXPECT_EQ(last, player.length());
        // Not before its time (the dummy driver plays 4 % fast).
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(player.length() * 9 / 10));
        if (c.factoryThrows || c.delaysMs.back() < 0) {
            EXPECT_LT(player.appliedDelayNs(), 1'000'000);  // eased out
        }
    }
}

// Taken off in full once settled: the position stays that far behind the
// frames the device has played.
TEST(SdlMediaPlayer, SettledServerDelayPutsThePositionThatFarBehindTheDevice)
{
    std::atomic<std::int64_t> delayNs{120'000'000};
    SdlMediaPlayer player([&](const OutputStream&) { return std::make_unique<ScriptedLatency>(delayNs); });
    player.setFileName(kTone);
    player.open();
    player.play();
    std::this_thread::sleep_for(1200ms);  // the clock's window and the ease settle
    for (int i = 0; i < 20; ++i) {
        const std::int64_t before = player.framesConsumed() * 1000 / player.sampleRate();
        const std::int32_t position = player.position();
        const std::int64_t after = player.framesConsumed() * 1000 / player.sampleRate();
        // The dummy driver runs 4 % fast, which the clock's mean over its
        // window lags by up to 8 ms; plus one buffer of interpolation.
        EXPECT_GE(position, before - 120 - 20);
        EXPECT_LE(position, after + 12 - 120 + 5);
        EXPECT_EQ(player.appliedDelayNs(), 120'000'000);
        std::this_thread::sleep_for(40ms);
    }
}

// The cut file keeps the header claiming the full 3 s, so it opens with that
// length. The game ends a song when position() reaches length(); when the data
// runs out at about 0.3 s that must happen then, not after 2.7 s of silence.
TEST(SdlMediaPlayer, TruncatedMp3EndsWhenItsDataRunsOut)
{
    const TempDir dir;
    SdlMediaPlayer player;
    player.setFileName(dir.file("cut.mp3", readFile(kTone).substr(0, 3000)));
    player.open();
    ASSERT_NEAR(player.length(), kToneMs, 60);
    player.play();
    const auto atEnd = [&](std::int32_t p) { return p == player.length(); };
    const std::int32_t last = pollPosition(player, 1500ms, atEnd);
    EXPECT_EQ(last, player.length());
}

TEST(SdlMediaPlayer, OpenWhilePlayingHaltsAndRewinds)
{
    SdlMediaPlayer player;
    player.setFileName(kTone);
    player.open();
    player.play();
    std::this_thread::sleep_for(200ms);
    player.open();
    EXPECT_FALSE(Mix_PlayingMusic());
    EXPECT_EQ(player.position(), 0);
    const auto replayed = playNow(player);
    std::this_thread::sleep_for(100ms);
    expectFromStart(player, replayed);
}

TEST(SdlMediaPlayer, OnlyOneLivesAtATime)
{
    std::optional<SdlMediaPlayer> first;
    first.emplace();
    EXPECT_THROW(SdlMediaPlayer second, std::logic_error);
    first.reset();
    EXPECT_NO_THROW(SdlMediaPlayer third);
}

}  // namespace
}  // namespace zorv
