#include "tools/corpus/Corpus.h"
#include "tools/songs/Synth.h"
#include "tools/corpus/Truth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorv::corpus {
namespace {

using namespace songs;

// ---- the truth against the audio -------------------------------------------

struct Case {
    const char* what;
    Meter meter;
    int bpm;
    Swing swing;
    int tempoAfter;  // from the bar of the event on, 0 for none
    float looseMs;
    bool drum;
    int offset;        // drum: steps into the event's bar
    const char* tune;  // note: the event's bar in melody notation
};

// Two empty bars, then the bar holding the one event.
Song oneEvent(const Case& c)
{
    SongBuilder b("T", c.bpm, 5, Kit::punchy, c.meter);
    if (c.swing.percent != 50)
        b.swing(c.swing);
    b.looseDrums(c.looseMs);
    const int part = b.addPart({.name = "tune", .voice = Voice::marimba, .reverb = 0.0f, .looseMs = c.looseMs});
    b.section("C C");
    if (c.tempoAfter > 0)
        b.tempo(c.tempoAfter);
    const auto bar = b.section("C");
    if (c.drum)
        b.hit(bar.step + c.offset, Drum::rim, 1.0f);
    else
        b.melody(part, bar, c.tune, ChartRule::none, 0.9f);
    return b.finish({.tailSeconds = 1.0});
}

// First sample of the left channel above 5% of its peak, in ms.
double audibleFromMs(const Song& song)
{
    RenderStats stats;
    const auto samples = renderSong(song, stats);
    double peak = 0;
    for (std::size_t i = 0; i < samples.size(); i += 2)
        peak = std::max(peak, std::abs(static_cast<double>(samples[i])));
    std::size_t i = 0;
    while (i < samples.size() && std::abs(static_cast<double>(samples[i])) < 0.05 * peak)
        i += 2;
    return static_cast<double>(i / 2) * 1000.0 / kSampleRate;
}

// The truth is what the chart maker is judged by: every onset it gives must
// be where the rendered audio starts, whatever the meter, tempo and swing.
TEST(CorpusTruth, OnsetsAreWhereTheRenderedAudioStarts)
{
    const Case cases[] = {
        {"straight 4/4", kFourFour, 120, {}, 0, 0, true, 6, ""},
        {"3/4, an eighth after the third beat", kThreeFour, 150, {}, 0, 0, false, 0, "r:5 C5:1"},
        {"6/8, the fourth eighth", kSixEight, 70, {}, 0, 0, false, 0, "r:3 E5:3"},
        {"swung eighth", kFourFour, 140, {66, 4}, 0, 0, true, 6, ""},
        {"sixteenth inside a swung eighth", kFourFour, 140, {66, 4}, 0, 0, true, 7, ""},
        {"swung sixteenth", kFourFour, 90, {60, 2}, 0, 0, true, 5, ""},
        {"after a tempo change", kFourFour, 120, {}, 75, 0, true, 6, ""},
        {"loose note", kFourFour, 100, {}, 0, 15, false, 0, "r:2 G5:2 r:4"},
        {"loose drum", kThreeFour, 100, {}, 0, 15, true, 4, ""},
    };
    for (const auto& c : cases) {
        const auto song = oneEvent(c);
        const auto truth = truthOf(song);
        ASSERT_EQ(truth.onsets.size(), 1u) << c.what;
        const double heard = audibleFromMs(song);
        EXPECT_GE(heard, truth.onsets[0].ms - 0.05) << c.what;
        EXPECT_LE(heard, truth.onsets[0].ms + 1.0) << c.what;
        if (c.looseMs > 0) {
            const int step = c.drum ? song.drums[0].step : song.parts[0].notes[0].step;
            EXPECT_GT(std::abs(truth.onsets[0].ms - stepSample(song, step) * 1000.0 / kSampleRate), 1.0)
                << c.what << ": the case should move the note off its step";
        }
    }
}

TEST(CorpusTruth, BeatsFollowTheMeterAndTheTempo)
{
    SongBuilder b("T", 60, 1, Kit::soft, kSixEight);  // a dotted quarter a second
    b.section("C C");
    b.tempo(120);
    b.section("C");
    const auto truth = truthOf(b.finish({.tailSeconds = 1.0}));
    const std::vector<std::pair<double, bool>> expected = {{0, true},     {1000, false}, {2000, true},
                                                           {3000, false}, {4000, true},  {4500, false}};
    ASSERT_EQ(truth.beats.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(truth.beats[i].ms, expected[i].first, 0.03) << i;
        EXPECT_EQ(truth.beats[i].downbeat, expected[i].second) << i;
    }
    EXPECT_EQ(truth.meter, "6/8");
    EXPECT_NEAR(truth.lengthMs, 6000, 0.03);
}

// ---- the truth file --------------------------------------------------------

TEST(CorpusTruth, TextReadsBackAndRejectsWhatItDoesNotWrite)
{
    SongBuilder b("T", 90, 3, Kit::soft, kThreeFour);
    b.swing({60, 2});
    const int part = b.addPart({.name = "tune", .voice = Voice::flute, .looseMs = 5.0f});
    const auto s = b.section("C F");
    b.melody(part, s, "C5:2 E5:1 G5:3 | F5:6 |", ChartRule::none, 0.8f);
    b.drums(s, {{Drum::kick, "X.....x....."}});
    const auto truth = truthOf(b.finish({}));
    const auto back = parseTruth(truthText(truth));
    EXPECT_EQ(truthText(back), truthText(truth));
    EXPECT_EQ(back.onsets.size(), 8u);
    EXPECT_EQ(back.beats.size(), 6u);

    const std::string head = "song T\nlength 1000\n";
    const std::string bad[] = {
        head + "beat 10 1\nbeat 5 0\n",    // out of order
        head + "onset 5 p\n",              // fields missing
        head + "onset x p i 0.5\n",        // not a number
        head + "onset 5 p i 0.5 extra\n",  // a field too many
        head + "bars 4\n",                 // unknown record
        "length 1000\n",                   // no name
    };
    for (const auto& text : bad) {
        EXPECT_THROW(parseTruth(text), std::runtime_error) << text;
    }
}

// ---- the corpus --------------------------------------------------------------

// The benchmark's figures mean something only while the corpus covers what
// it claims to; a score edit that drops a case should fail here.
TEST(CorpusTruth, CorpusCoversWhatItClaims)
{
    const auto pieces = corpus();
    std::set<std::string> meters, names;
    int slowest = 1000, fastest = 0, swung = 0, changing = 0;
    double longest = 0, sparsest = 1e9, densest = 0, tenMinutes = 0;
    for (const auto& piece : pieces) {
        EXPECT_TRUE(names.insert(piece.name).second) << piece.name;
        const auto truth = looped(truthOf(piece.song), piece.plays);
        if (piece.plays > 1) {
            tenMinutes = truth.lengthMs;
            continue;
        }
        meters.insert(truth.meter);
        slowest = std::min(slowest, piece.song.bpm);
        fastest = std::max(fastest, piece.song.bpm);
        swung += piece.song.swing.percent != 50 ? 1 : 0;
        changing += piece.song.tempoChanges.empty() ? 0 : 1;
        longest = std::max(longest, truth.lengthMs);
        const double perSecond = static_cast<double>(truth.onsets.size()) * 1000.0 / truth.lengthMs;
        sparsest = std::min(sparsest, perSecond);
        densest = std::max(densest, perSecond);
    }
    EXPECT_GE(pieces.size() - 1, 8u);
    EXPECT_LE(slowest, 70);
    EXPECT_GE(fastest, 180);
    EXPECT_EQ(meters, (std::set<std::string>{"3/4", "4/4", "6/8"}));
    EXPECT_GE(swung, 1);
    EXPECT_GE(changing, 1);
    EXPECT_GT(longest, 5 * 60'000.0);
    EXPECT_GE(tenMinutes, 10 * 60'000.0);
    EXPECT_LT(sparsest, 5.0);
    EXPECT_GT(densest, 20.0);
}

}  // namespace
}  // namespace zorv::corpus
