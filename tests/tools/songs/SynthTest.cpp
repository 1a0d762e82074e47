#include "tools/songs/Songs.h"
#include "tools/songs/Synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zorv::songs {
namespace {

Song emptySong(int bpm, int bars)
{
    Song song;
    song.name = "Test";
    song.bpm = bpm;
    song.bars = bars;
    song.tailSeconds = 1.0;
    song.seed = 11;
    return song;
}

void addNote(Song& song, Voice voice, int step, int length, int pitch, float gain = 1.0f)
{
    Part part;
    part.name = "p";
    part.voice = voice;
    part.gain = gain;
    part.reverb = 0.0f;
    part.notes.push_back({step, length, pitch, 0.8f});
    song.parts.push_back(part);
}

std::vector<double> left(const std::vector<std::int16_t>& interleaved)
{
    std::vector<double> out;
    for (std::size_t i = 0; i < interleaved.size(); i += 2)
        out.push_back(interleaved[i]);
    return out;
}

// Arrows are timed from the grid, so every sound has to start on its step.
TEST(SongSynth, SoundsStartOnTheirStep)
{
    const struct {
        const char* what;
        int bpm, step;
        Voice voice;
        bool drum;
    } cases[] = {
        {"kick", 104, 16, Voice::flute, true},
        {"flute", 126, 6, Voice::flute, false},
        {"pluck", 117, 10, Voice::pluck, false},
        {"marimba", 90, 3, Voice::marimba, false},
    };
    for (const auto& c : cases) {
        auto song = emptySong(c.bpm, 2);
        if (c.drum) {
            song.drums.push_back({c.step, Drum::kick, 1.0f});
        } else {
            addNote(song, c.voice, c.step, 4, 69);
        }
        RenderStats stats;
        const auto samples = left(renderSong(song, stats));
        double peak = 0;
        for (const double s : samples)
            peak = std::max(peak, std::abs(s));
        std::size_t first = 0;
        while (first < samples.size() && std::abs(samples[first]) < 0.05 * peak)
            ++first;
        const auto expected = static_cast<std::size_t>(stepSample(c.bpm, c.step));
        EXPECT_GE(first, expected) << c.what;
        EXPECT_LE(first, expected + 5 * kSampleRate / 1000) << c.what;
    }
}

// Period by normalised autocorrelation: the shortest lag that comes close
// to the best one, so a note an octave off cannot pass.
double measuredHz(const std::vector<double>& x, double expectedHz)
{
    const double period = kSampleRate / expectedHz;
    const auto minLag = static_cast<std::size_t>(0.4 * period);
    const auto maxLag = static_cast<std::size_t>(1.6 * period);
    const std::size_t n = x.size() - maxLag - 1;
    std::vector<double> r(maxLag + 2, 0.0);
    double best = -1;
    for (std::size_t lag = minLag; lag <= maxLag + 1; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t i = 0; i < n; ++i) {
            xy += x[i] * x[i + lag];
            xx += x[i] * x[i];
            yy += x[i + lag] * x[i + lag];
        }
        r[lag] = xy / std::sqrt(xx * yy + 1e-12);
        best = std::max(best, r[lag]);
    }
    for (std::size_t lag = minLag + 1; lag <= maxLag; ++lag) {
        if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            const double a = r[lag - 1], b = r[lag], c = r[lag + 1];
            const double shift = 0.5 * (a - c) / (a - 2 * b + c);
            return kSampleRate / (static_cast<double>(lag) + shift);
        }
    }
    return 0;
}

TEST(SongSynth, VoicesPlayTheirNote)
{
    const struct {
        Voice voice;
        int pitch;
        double hz;
    } cases[] = {
        {Voice::flute, 69, 440.0},   {Voice::marimba, 72, 523.25},    {Voice::ePiano, 60, 261.63},
        {Voice::warmPad, 57, 220.0}, {Voice::roundBass, 45, 110.0},   {Voice::sawLead, 76, 659.26},
        {Voice::pluck, 64, 329.63},  {Voice::sawPad, 57, 220.0},      {Voice::synthBass, 40, 82.41},
        {Voice::strings, 67, 392.0}, {Voice::piano, 60, 261.63},      {Voice::organ, 62, 293.66},
        {Voice::guitar, 52, 164.81}, {Voice::uprightBass, 36, 65.41}, {Voice::vibraphone, 77, 698.46},
        {Voice::brass, 58, 233.08},
    };
    for (const auto& c : cases) {
        auto song = emptySong(120, 1);
        addNote(song, c.voice, 0, 16, c.pitch);
        RenderStats stats;
        const auto samples = left(renderSong(song, stats));
        const std::vector<double> window(samples.begin() + kSampleRate * 15 / 100,
                                         samples.begin() + kSampleRate * 25 / 100);
        EXPECT_NEAR(measuredHz(window, c.hz), c.hz, c.hz * 0.015) << "pitch " << c.pitch;
    }
}

// Whatever the score's own levels, a song comes out at the same loudness
// and with every peak under -1 dBFS; the sparse clicks over a soft pad have
// peaks far above the ceiling at that loudness, so the limiter must work.
TEST(SongSynth, LoudnessIsSetAndPeaksStayUnderTheCeiling)
{
    const struct {
        const char* what;
        float gain;
        Drum hit;
        int hitEvery;
        bool busy;
    } cases[] = {
        {"quiet and busy", 0.02f, Drum::kick, 4, true},
        {"loud and busy", 6.0f, Drum::kick, 4, true},
        {"sparse clicks over a soft pad", 1.0f, Drum::rim, 32, false},
    };
    for (const auto& c : cases) {
        auto song = emptySong(120, 8);
        song.drumGain = c.gain;
        for (int step = 0; step < 8 * kStepsPerBar; step += 4) {
            if (step % c.hitEvery == 0)
                song.drums.push_back({step, c.hit, 1.0f});
            if (c.busy) {
                song.drums.push_back({step + 2, Drum::snare, 0.6f});
                addNote(song, Voice::sawLead, step, 4, 64 + step % 12, c.gain);
                addNote(song, Voice::synthBass, step, 2, 40, c.gain);
            }
        }
        if (!c.busy)
            addNote(song, Voice::sawPad, 0, 8 * kStepsPerBar, 57, 0.02f);
        RenderStats stats;
        const auto samples = renderSong(song, stats);
        double peak = 0, sum = 0;
        for (const auto s : samples) {
            peak = std::max(peak, std::abs(static_cast<double>(s)));
            sum += static_cast<double>(s) * s;
        }
        const double peakDb = 20 * std::log10(peak / 32768.0);
        const double rmsDb = 20 * std::log10(std::sqrt(sum / static_cast<double>(samples.size())) / 32768.0);
        EXPECT_LT(peakDb, -1.0) << c.what;
        EXPECT_NEAR(rmsDb, -16.5, 0.5) << c.what;
        EXPECT_NEAR(stats.peakDb, peakDb, 0.01) << c.what;
        EXPECT_NEAR(stats.rmsDb, rmsDb, 0.01) << c.what;
        if (!c.busy) {
            EXPECT_LT(stats.limitedDb, -1.0) << "the limiter was not needed after all";
        }
    }
}

TEST(SongSynth, SameSongSameSamples)
{
    auto song = emptySong(126, 2);
    song.drums.push_back({0, Drum::crash, 1.0f});
    addNote(song, Voice::sawPad, 0, 32, 57);
    RenderStats stats;
    EXPECT_EQ(renderSong(song, stats), renderSong(song, stats));
}

// The game ships MP3s encoded from these renders. New voices, meters and
// timing for other songs must leave the game's songs as they are, to the
// sample; a change here means the MP3s no longer come from the scores.
TEST(SongSynth, BundledSongsRenderAsShipped)
{
    const struct {
        Song song;
        std::size_t frames;
        std::uint64_t fnv1a;  // FNV-1a 64 over the samples as the WAV stores them
    } cases[] = {{dodoroza(), 4733965, 0x83c28e5f631fd92fu}, {virizivez(), 5088300, 0xa99b9a57c03d777eu}};
    for (const auto& c : cases) {
        RenderStats stats;
        const auto samples = renderSong(c.song, stats);
        std::uint64_t hash = 0xcbf29ce484222325u;
        for (const auto s : samples) {
            const unsigned u = static_cast<std::uint16_t>(s);
            for (const unsigned byte : {u & 0xFFu, u >> 8}) {
                hash ^= byte;
                hash *= 0x100000001b3u;
            }
        }
        EXPECT_EQ(samples.size(), 2 * c.frames) << c.song.name;
        EXPECT_EQ(hash, c.fnv1a) << c.song.name
                                 << ": the render changed; tools/songs/make-songs.sh would ship new audio";
    }
}

TEST(SongSynth, WavHeaderDescribesTheSamples)
{
    const auto path = std::filesystem::temp_directory_path() / "zorv-song-synth-test.wav";
    writeWav(path.string(), {1, -2, 32767, -32768});
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::filesystem::remove(path);
    const std::vector<unsigned char> expected = {
        'R',  'I',  'F', 'F', 44, 0, 0, 0, 'W', 'A', 'V',  'E',  'f',  'm',  't',  ' ',  16, 0, 0, 0, 1, 0,  // PCM
        2,    0,                                                                                             // stereo
        0x44, 0xAC, 0,   0,                                                                                  // 44100 Hz
        0x10, 0xB1, 2,   0,  // 176400 bytes/s
        4,    0,    16,  0,  // frame of 4 bytes, 16 bits
        'd',  'a',  't', 'a', 8,  0, 0, 0, 1,   0,   0xFE, 0xFF, 0xFF, 0x7F, 0x00, 0x80,
    };
    EXPECT_EQ(bytes, expected);
}

}  // namespace
}  // namespace zorv::songs
