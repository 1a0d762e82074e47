#include "tools/songs/Score.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace zorv::songs {
namespace {

struct Placed {
    int step, length, pitch;
    bool operator==(const Placed&) const = default;
};

std::vector<Placed> placed(const Song& song)
{
    std::vector<Placed> out;
    for (const auto& n : song.parts.at(0).notes)
        out.push_back({n.step, n.length, n.pitch});
    return out;
}

std::ostream& operator<<(std::ostream& os, const Placed& p)
{
    return os << "{" << p.step << "," << p.length << "," << p.pitch << "}";
}

TEST(SongScore, GridStepsToMsAndSamples)
{
    const struct {
        int bpm, step, ms;
        std::int64_t sample;
    } cases[] = {
        {104, 16, 2308, 101769},  // 2307.69 ms
        {126, 3, 357, 15750},     // 357.14 ms
        {80, 1, 188, 8268},       // 187.5 ms rounds up
        {120, 1, 125, 5512},     {60, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(stepMs(c.bpm, c.step), c.ms) << c.bpm << " " << c.step;
        EXPECT_EQ(stepSample(c.bpm, c.step), c.sample) << c.bpm << " " << c.step;
    }
}

// The corpus's ground truth is read off these positions, so each case is
// worked out by hand from the meter, the tempo and the swing.
TEST(SongScore, StepsLandWhereMeterTempoAndSwingPutThem)
{
    const struct {
        const char* what;
        Meter meter;
        int bpm;
        Swing swing;
        std::vector<TempoChange> changes;
        int step;
        std::int64_t sample;
        int ms;
    } cases[] = {
        {"4/4, a beat", kFourFour, 120, {}, {}, 4, 22050, 500},
        {"3/4, second bar", kThreeFour, 120, {}, {}, 12, 66150, 1500},
        {"6/8, second dotted quarter", kSixEight, 60, {}, {}, 6, 44100, 1000},
        {"6/8, third eighth", kSixEight, 60, {}, {}, 4, 29400, 667},
        {"eighth swing, off-beat eighth at 66%", kFourFour, 120, {66, 4}, {}, 2, 14553, 330},
        {"eighth swing, its sixteenths split each half", kFourFour, 120, {66, 4}, {}, 3, 18301, 415},
        {"eighth swing leaves the beat", kFourFour, 120, {66, 4}, {}, 4, 22050, 500},
        {"sixteenth swing at 60%", kFourFour, 100, {60, 2}, {}, 5, 34398, 780},
        {"before a change to 60 BPM at bar 2", kFourFour, 120, {}, {{1, 60}}, 15, 82687, 1875},
        {"after it", kFourFour, 120, {}, {{1, 60}}, 20, 132300, 3000},
        {"two changes", kThreeFour, 90, {}, {{1, 180}, {2, 60}}, 28, 176400, 4000},
    };
    for (const auto& c : cases) {
        Song song;
        song.bpm = c.bpm;
        song.meter = c.meter;
        song.swing = c.swing;
        song.tempoChanges = c.changes;
        EXPECT_EQ(stepSample(song, c.step), c.sample) << c.what;
        EXPECT_EQ(stepMs(song, c.step), c.ms) << c.what;
    }
}

// A swung eighth is held until the next one starts, not for half a beat.
TEST(SongScore, SwungNotesAreHeldToTheNextSwungStep)
{
    Song song;
    song.bpm = 120;
    song.swing = {66, 4};
    EXPECT_NEAR(gateSeconds(song, 0, 2), 0.33, 1e-4);
    EXPECT_NEAR(gateSeconds(song, 2, 2), 0.17, 1e-4);
    EXPECT_NEAR(gateSeconds(song, 0, 4), 0.5, 1e-4);
}

TEST(SongScore, BuilderPlacesTempoChangesAndRefusesSwingThatSplitsNoBeat)
{
    SongBuilder b("T", 100, 1, Kit::soft, kSixEight);
    b.section("C C");
    b.tempo(80);
    b.section("C");
    const auto song = b.finish({});
    ASSERT_EQ(song.tempoChanges.size(), 1u);
    EXPECT_EQ(song.tempoChanges[0].bar, 2);
    EXPECT_EQ(song.tempoChanges[0].bpm, 80);

    SongBuilder waltz("T", 100, 1, Kit::soft, kSixEight);
    EXPECT_THROW(waltz.swing({66, 4}), std::runtime_error);  // 4 steps do not divide a 6-step beat
    EXPECT_NO_THROW(waltz.swing({60, 2}));
    EXPECT_THROW(waltz.tempo(0), std::runtime_error);
}

TEST(SongScore, BassPatternsPickChordNotes)
{
    const struct {
        const char* chords;
        const char* pattern;
        std::vector<Placed> notes;
    } cases[] = {
        {"C", "R..R5.O.", {{0, 6, 36}, {6, 2, 36}, {8, 4, 43}, {12, 4, 48}}},
        // Slash bass: the root is the named bass, the fifths are the chord's.
        {"F/A", "R...5.L.", {{0, 8, 33}, {8, 4, 36}, {12, 4, 24}}},
        // A held note is struck again when the chord changes under it.
        {"F-G", "R.......", {{0, 8, 41}, {8, 8, 43}}},
        {"C", "R.-.R...", {{0, 4, 36}, {8, 8, 36}}},
        {"Am", "3...............", {{0, 16, 36}}},
    };
    for (const auto& c : cases) {
        SongBuilder b("T", 120, 1, Kit::soft);
        const int part = b.addPart({.name = "bass"});
        b.bass(part, b.section(c.chords), c.pattern, 33, 0.8f);
        EXPECT_EQ(placed(b.finish({})), c.notes) << c.chords << " " << c.pattern;
    }
}

TEST(SongScore, ArpeggioDigitsCountChordTonesUpwards)
{
    const struct {
        const char* chords;
        const char* pattern;
        int lowest;
        std::vector<int> pitches;
    } cases[] = {
        {"C", "0123", 60, {60, 64, 67, 72}},
        {"C", "0123", 61, {64, 67, 72, 76}},
        {"Am7", "0123", 57, {57, 60, 64, 67}},
        {"C-G", "0000", 60, {60, 60, 62, 62}},
    };
    for (const auto& c : cases) {
        SongBuilder b("T", 120, 1, Kit::soft);
        const int part = b.addPart({.name = "arp"});
        b.arp(part, b.section(c.chords), c.pattern, c.lowest, 0.8f);
        std::vector<int> pitches;
        for (const auto& p : placed(b.finish({})))
            pitches.push_back(p.pitch);
        EXPECT_EQ(pitches, c.pitches) << c.chords << " " << c.pattern;
    }
}

TEST(SongScore, CompVoicingsHoldTheChordAndMoveLittle)
{
    SongBuilder b("T", 120, 1, Kit::soft);
    const int part = b.addPart({.name = "keys"});
    const char* chords[] = {"C", "F", "G7", "Am", "Dm", "Bb", "C"};
    std::string bars;
    for (const char* c : chords)
        bars += std::string(c) + " ";
    b.comp(part, b.section(bars), "x.......", 55, 0.8f);
    const auto song = b.finish({});
    std::vector<int> previous;
    for (std::size_t bar = 0; bar < std::size(chords); ++bar) {
        std::vector<int> voicing;
        for (const auto& n : song.parts[0].notes) {
            if (n.step == static_cast<int>(bar) * kStepsPerBar)
                voicing.push_back(n.pitch);
        }
        std::sort(voicing.begin(), voicing.end());
        const auto chord = parseChord(chords[bar]);
        std::set<int> want, got;
        for (const int i : chord.intervals)
            want.insert((chord.root + i) % 12);
        for (const int p : voicing)
            got.insert(p % 12);
        EXPECT_EQ(got, want) << chords[bar];
        EXPECT_GE(voicing.front(), 55) << chords[bar];
        EXPECT_LE(voicing.back(), 55 + 19) << chords[bar];
        if (!previous.empty()) {
            EXPECT_LE(std::abs(voicing.back() - previous.back()), 5) << chords[bar];
        }
        previous = voicing;
    }
}

TEST(SongScore, HarmonyTakesTheChordToneAThirdOrMoreBelow)
{
    const struct {
        const char* chord;
        const char* tune;
        int pitch;
    } cases[] = {{"C", "E5:8", 72}, {"F", "A5:8", 77}, {"G", "B4:8", 67}, {"E", "G#5:8", 76}, {"Am", "A5:8", 76}};
    for (const auto& c : cases) {
        SongBuilder b("T", 120, 1, Kit::soft);
        const int part = b.addPart({.name = "second"});
        b.harmony(part, b.section(c.chord), c.tune, 0.8f);
        const auto song = b.finish({});
        ASSERT_EQ(song.parts[0].notes.size(), 1u) << c.chord;
        EXPECT_EQ(song.parts[0].notes[0].pitch, c.pitch) << c.chord << " " << c.tune;
        EXPECT_TRUE(song.cues.empty());
    }
}

TEST(SongScore, ChartRulesPickTheMelodyNotes)
{
    const struct {
        ChartRule rule;
        const char* tune;
        std::vector<int> steps;
    } cases[] = {
        {ChartRule::beats, "C5:1 D5:1 E5:2 F5:3 G5:1", {0, 4, 8}},
        {ChartRule::eighths, "C5:1 D5:1 E5:2 F5:3 G5:1", {0, 2, 4, 8, 14}},
        {ChartRule::none, "C5:2 D5:2! E5:4", {4}},
        {ChartRule::beats, "C5:2~ D5:1 E5:1! F5:4", {4, 6, 8}},
    };
    for (const auto& c : cases) {
        SongBuilder b("T", 120, 1, Kit::soft);
        const int part = b.addPart({.name = "tune"});
        b.section("C");  // cues are placed from the section's own start
        b.melody(part, b.section("C"), c.tune, c.rule, 0.8f);
        std::vector<int> steps;
        for (const auto& cue : b.finish({}).cues)
            steps.push_back(cue.step - kStepsPerBar);
        EXPECT_EQ(steps, c.steps) << c.tune;
    }
}

TEST(SongScore, DrumPatternsByBarWithTheirOwnLastBar)
{
    SongBuilder b("T", 120, 1, Kit::soft);
    const auto s = b.section("C C C");
    const DrumPattern groove = {{Drum::kick, "X...x...o......."},
                                {Drum::closedHat, "x.......................x......."}};
    const DrumPattern last = {{Drum::snare, "....x..........."}};
    b.drums(s, groove, &last);
    const auto song = b.finish({});
    std::vector<std::pair<int, Drum>> hits;
    for (const auto& h : song.drums)
        hits.emplace_back(h.step, h.drum);
    const std::vector<std::pair<int, Drum>> expected = {
        {0, Drum::kick},  {0, Drum::closedHat}, {4, Drum::kick},       {8, Drum::kick},   {16, Drum::kick},
        {20, Drum::kick}, {24, Drum::kick},     {24, Drum::closedHat}, {36, Drum::snare},
    };
    EXPECT_EQ(hits, expected);
    ASSERT_GE(song.drums.size(), 4u);
    // Accent, normal and soft strokes stay apart through the humanising.
    EXPECT_GT(song.drums[0].velocity, song.drums[2].velocity);
    EXPECT_GT(song.drums[2].velocity, song.drums[3].velocity);
}

}  // namespace
}  // namespace zorv::songs
