// The chart maker hears what the game's player plays: the same first frame
// and the same last one, every sample alike. The player runs on SDL's dummy
// driver in real time, so the inputs are a few seconds long.

#include <gtest/gtest.h>

#define SDL_MAIN_HANDLED
#include <SDL_mixer.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/SdlMediaPlayer.h"
#include "support/TempDir.h"
#include "support/TestSong.h"
#include "tools/chart/make/Decode.h"

namespace zorv::chartmake {
namespace {

using namespace std::chrono_literals;

struct Recording {
    std::mutex lock;
    std::vector<std::int16_t> samples;
};

void record(int, void* stream, int bytes, void* data)
{
    auto* r = static_cast<Recording*>(data);
    const std::lock_guard<std::mutex> hold(r->lock);
    const auto* s = static_cast<const std::int16_t*>(stream);
    r->samples.insert(r->samples.end(), s, s + bytes / 2);
}

// Everything the player's device was handed from play() until a little past
// the music's end, and the length the player reports.
std::vector<std::int16_t> playerOutput(const std::string& path, std::int32_t& lengthMs)
{
    SdlMediaPlayer player;
    player.setFileName(path);
    player.open();
    EXPECT_EQ(player.sampleRate(), kDecodeRate);
    lengthMs = player.length();
    Recording recording;
    Mix_RegisterEffect(MIX_CHANNEL_POST, record, nullptr, &recording);
    player.play();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(lengthMs) + 5s;
    while (Mix_PlayingMusic() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(100ms);  // a few buffers of silence after it
    Mix_UnregisterAllEffects(MIX_CHANNEL_POST);
    const std::lock_guard<std::mutex> hold(recording.lock);
    return recording.samples;
}

struct Input {
    const char* name;
    std::string file;  // path of the audio, written into the test's folder if generated
};

// The formats we cannot write ourselves come from the encoders the set-up
// script installs; empty when the encoder is missing.
std::string encoded(const test::TempDir& dir, const char* encoder, const std::string& wav, const char* name)
{
    const std::string out = (dir.path() / name).string();
    const std::string command = std::string(encoder) + " '" + wav + "' '" + out + "' 2>/dev/null";
    return std::system(command.c_str()) == 0 ? out : std::string();
}

TEST(Decode, HearsExactlyTheFramesThePlayerPlays)
{
    const test::TempDir dir;
    // 1.1 s at 120 BPM ends inside the third beat's note: the last frame is
    // sound, so the silence after it shows where the music ended.
    auto wav = [&](const char* name, int rate, int channels) {
        return dir.file(name, test::wavBytes(test::beatSong(120, 1.1, rate, channels)));
    };
    const std::string mono22 = wav("mono22.wav", 22050, 1);
    const std::string stereo44 = wav("stereo44.wav", 44100, 2);
    const std::string stereo48 = wav("stereo48.wav", 48000, 2);
    // SDL resamples all but the 44.1 kHz ones, and the ones at 44.1 kHz are
    // decoded in larger buffers than the game's.
    const std::vector<Input> inputs = {
        {"MP3, 44.1 kHz mono", std::string(ZORV_AUDIO_TEST_DATA) + "/tone-3s.mp3"},
        {"MP3, 48 kHz stereo", encoded(dir, "lame --quiet", stereo48, "stereo48.mp3")},
        {"WAV, 22.05 kHz mono", mono22},
        {"WAV, 48 kHz stereo", stereo48},
        {"OGG, 44.1 kHz stereo", encoded(dir, "sox -q", stereo44, "stereo44.ogg")},
        {"OGG, 48 kHz stereo", encoded(dir, "sox -q", stereo48, "stereo48.ogg")},
        {"FLAC, 22.05 kHz mono", encoded(dir, "sox -q", mono22, "mono22.flac")},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.name);
        if (input.file.empty()) {
            std::printf("%s: no encoder to write one, not tried\n", input.name);
            continue;
        }
        std::vector<std::int16_t> heard;
        const DecodedAudio audio = decodeAudio(input.file, [&](const std::int16_t* s, std::size_t frames) {
            heard.insert(heard.end(), s, s + frames * kDecodeChannels);
        });
        std::int32_t playerLengthMs = 0;
        const std::vector<std::int16_t> played = playerOutput(input.file, playerLengthMs);

        EXPECT_EQ(audio.lengthMs, playerLengthMs);
        ASSERT_EQ(static_cast<std::size_t>(audio.frames) * kDecodeChannels, heard.size());
        ASSERT_FALSE(heard.empty());
        // Where it ends: at SDL_mixer's duration, or on its last sound.
        const bool endsOnSound = heard[heard.size() - 1] != 0 || heard[heard.size() - 2] != 0;
        EXPECT_TRUE(endsOnSound || audio.frames == audio.declaredFrames);

        // The music starts with a buffer of its own: find it by its first sound.
        std::size_t firstHeard = 0;
        while (firstHeard < heard.size() && heard[firstHeard] == 0)
            ++firstHeard;
        std::size_t firstPlayed = 0;
        while (firstPlayed < played.size() && played[firstPlayed] == 0)
            ++firstPlayed;
        ASSERT_GE(firstPlayed, firstHeard);
        const std::size_t start = firstPlayed - firstHeard;
        EXPECT_EQ(start % (SdlMediaPlayer::kBufferFrames * kDecodeChannels), 0u) << "not a buffer's first frame";
        ASSERT_GT(played.size(), start + heard.size()) << "the recording stops before the music";
        EXPECT_TRUE(std::equal(heard.begin(), heard.end(), played.begin() + static_cast<std::ptrdiff_t>(start)));
        EXPECT_TRUE(std::all_of(played.begin() + static_cast<std::ptrdiff_t>(start + heard.size()), played.end(),
                                [](std::int16_t s) { return s == 0; }))
            << "the player plays on after the last frame heard";
        std::printf("%s: %lld frames heard and played alike from the player's frame %zu\n", input.name,
                    static_cast<long long>(audio.frames), start / kDecodeChannels);
    }
}

}  // namespace
}  // namespace zorv::chartmake
