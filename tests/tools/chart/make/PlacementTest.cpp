// Which onsets become notes and which lanes they take, on onsets written
// inline: crowded, long, early, late; the rules of the game must hold for
// every one of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "charting/Charting.h"
#include "tools/chart/check/Analysis.h"
#include "tools/chartfile/Write.h"
#include "tools/chart/make/LaneChoice.h"
#include "tools/chart/make/Placement.h"

namespace zorv::chartmake {
namespace {

constexpr Level kLevels[] = {Level::easy, Level::medium, Level::hard};

std::vector<Pick> picksEvery(std::int32_t gapMs, int count, const std::function<float(int)>& pitch)
{
    std::vector<Pick> picks;
    for (int i = 0; i < count; ++i)
        picks.push_back({charting::kLeadMs + i * gapMs, pitch(i), true});
    return picks;
}

void expectLaneRules(const LaneChoice& choice, Level level, std::size_t picks)
{
    std::array<std::vector<std::int32_t>, kLaneCount> lanes;
    int run = 0;
    int last = 0;
    for (const ChartNote& note : choice.notes) {
        ASSERT_TRUE(isLane(note.lane));
        auto& earlier = lanes[static_cast<std::size_t>(note.lane - 1)];
        EXPECT_TRUE(charting::fitsLane(earlier, note.timeMs)) << "lane " << note.lane << " at " << note.timeMs;
        earlier.push_back(note.timeMs);
        run = note.lane == last ? run + 1 : 1;
        last = note.lane;
        if (level == Level::easy) {
            EXPECT_LE(run, kEasyRun) << "at " << note.timeMs;
        }
    }
    if (choice.notes.size() >= 3) {
        for (const auto& lane : lanes)
            EXPECT_LE(static_cast<double>(lane.size()), kMostOfOneLane * static_cast<double>(choice.notes.size()));
    }
    EXPECT_EQ(choice.notes.size() + static_cast<std::size_t>(choice.noLane), picks);
    const std::string text = chartfile::chartText("test", "test.mp3", choice.notes);
    EXPECT_FALSE(chartcheck::analyseText(text, 24 * 3600 * 1000).hasProblems()) << text;
}

TEST(Lanes, EveryLaneRuleHoldsHoweverTheNotesCrowd)
{
    struct Case {
        const char* name;
        std::vector<Pick> picks;
    };
    std::vector<Pick> bursts;
    for (int burst = 0; burst < 30; ++burst) {
        for (int i = 0; i < 8; ++i)
            bursts.push_back({charting::kLeadMs + burst * 2000 + i * 100, 60.0f + static_cast<float>(i % 3), true});
    }
    const Case cases[] = {
        {"one pitch every 100 ms", picksEvery(100, 298, [](int) { return 60.0f; })},
        {"a scale up and down every 150 ms", picksEvery(150, 298, [](int i) { return 60.0f + std::abs(i % 14 - 7); })},
        {"no pitch every 450 ms", picksEvery(450, 200, [](int) { return 0.0f; })},
        {"one pitch every 700 ms", picksEvery(700, 100, [](int) { return 67.0f; })},
        {"bursts of eight 100 ms apart", bursts},
        {"two notes", picksEvery(700, 2, [](int i) { return 60.0f + i; })},
    };
    for (const Case& c : cases) {
        for (Level level : kLevels) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::string(levelName(level)));
            expectLaneRules(chooseLanes(c.picks, level), level, c.picks.size());
        }
    }
}

TEST(Lanes, ARisingMelodyMovesRightAndAFallingOneLeft)
{
    // Far enough apart that no lane rule stands in the way.
    const float tune[] = {60, 62, 64, 65, 67, 69, 71, 72, 71, 69, 67, 65, 64, 62, 60};
    const auto picks = picksEvery(1100, 15, [&](int i) { return tune[i]; });
    const LaneChoice choice = chooseLanes(picks, Level::medium);
    ASSERT_EQ(choice.notes.size(), picks.size());
    int along = 0;
    int against = 0;
    for (std::size_t i = 1; i < picks.size(); ++i) {
        const int moved = choice.notes[i].lane - choice.notes[i - 1].lane;
        const float rose = picks[i].pitch - picks[i - 1].pitch;
        along += (moved > 0 && rose > 0) || (moved < 0 && rose < 0);
        against += (moved > 0 && rose < 0) || (moved < 0 && rose > 0);
    }
    EXPECT_EQ(against, 0);
    EXPECT_GE(along, 6);
    EXPECT_LT(choice.notes.front().lane, choice.notes[7].lane);
    EXPECT_GT(choice.notes[7].lane, choice.notes.back().lane);
}

TEST(Lanes, AMelodyThatComesBackComesBackInTheSameLanes)
{
    // Six notes of a tune, half of them drums, played eight times with a
    // pause between: drums take the lane used longest ago, whose turn comes
    // round differently on every pass unless the lanes remember the tune.
    const float tune[] = {64, 0, 67, 0, 62, 0};
    std::vector<Pick> picks;
    for (int pass = 0; pass < 8; ++pass)
        for (int i = 0; i < 6; ++i)
            picks.push_back({charting::kLeadMs + pass * 2400 + i * 300, tune[i], true});
    for (Level level : kLevels) {
        SCOPED_TRACE(std::string(levelName(level)));
        const LaneChoice choice = chooseLanes(picks, level);
        expectLaneRules(choice, level, picks.size());
        ASSERT_EQ(choice.notes.size(), picks.size());
        int same = 0;
        for (std::size_t i = 12; i < picks.size(); ++i)
            same += choice.notes[i].lane == choice.notes[i - 6].lane;
        // The first pass has no notes before it; every later one matches the second.
        EXPECT_EQ(same, static_cast<int>(picks.size()) - 12);
    }
}

TEST(Lanes, NotesFarApartStillSpreadOverEveryLane)
{
    // A long song thinned to kMaxNotes: a note every 6 s, the tune wandering.
    for (Level level : kLevels) {
        SCOPED_TRACE(std::string(levelName(level)));
        const auto picks = picksEvery(6000, 200, [](int i) { return 60.0f + static_cast<float>(i * 5 % 12); });
        const LaneChoice choice = chooseLanes(picks, level);
        for (int count : choice.perLane)
            EXPECT_GE(count, 200 / 8);
    }
}

// Onsets from `fromMs` every `gapMs` until `toMs`, beats every `beatMs`,
// strong on the beats.
struct Song {
    Features features;
    Beats beats;
};

Song onsetsEvery(double gapMs, double fromMs, double toMs, double beatMs)
{
    Song song;
    song.features.durationMs = toMs;
    song.features.audio.lengthMs = static_cast<std::int32_t>(toMs);
    for (double t = fromMs; t < toMs; t += gapMs) {
        const bool onBeat = std::fmod(t, beatMs) < 1;
        song.features.onsets.push_back({t, onBeat ? 1.0f : 0.3f});
    }
    for (double t = 0; t < toMs; t += beatMs)
        song.beats.ms.push_back(t);
    return song;
}

TEST(Placement, NotesKeepTheirSpacingCountAndPlaceInTheSong)
{
    struct Case {
        const char* name;
        Song song;
        std::int32_t lengthMs;  // the player's, when shorter than the audio
    };
    const Case cases[] = {
        {"onsets every 40 ms", onsetsEvery(40, 0, 60000, 480), 0},
        {"onsets from the start", onsetsEvery(250, 0, 20000, 500), 0},
        {"half an hour", onsetsEvery(250, 0, 1800000, 500), 0},
        {"a player's length short of the audio", onsetsEvery(250, 0, 60000, 500), 40000},
    };
    for (const Case& c : cases) {
        Song song = c.song;
        if (c.lengthMs > 0)
            song.features.audio.lengthMs = c.lengthMs;
        std::size_t previousCount = 0;
        for (Level level : kLevels) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::string(levelName(level)));
            const Placement placement = placeNotes(song.features, song.beats, level);
            const auto& picks = placement.picks;
            ASSERT_FALSE(picks.empty());
            EXPECT_GE(picks.front().ms, charting::kLeadMs);
            EXPECT_LE(picks.back().ms, song.features.audio.lengthMs);
            EXPECT_LE(picks.size(), static_cast<std::size_t>(charting::kMaxNotes));
            EXPECT_GT(picks.size(), previousCount) << "not denser than the level below";
            previousCount = picks.size();
            std::int32_t widest = 0;
            for (std::size_t i = 1; i < picks.size(); ++i) {
                EXPECT_GE(picks[i].ms - picks[i - 1].ms, charting::kMinNoteGapMs);
                widest = std::max(widest, picks[i].ms - picks[i - 1].ms);
            }
            // Spread over the whole song: no stretch left bare for long.
            const double even = (song.features.audio.lengthMs - charting::kLeadMs) / static_cast<double>(picks.size());
            EXPECT_LE(widest, 3 * even + 500);
            EXPECT_LE(picks.front().ms - charting::kLeadMs, 3 * even + 500);
            EXPECT_LE(song.features.audio.lengthMs - picks.back().ms, 3 * even + 500);
            if (level == Level::easy) {
                EXPECT_TRUE(std::all_of(picks.begin(), picks.end(), [](const Pick& p) { return p.onBeat; }));
            }
        }
    }
}

// A song in 4/4 at 120 BPM whose every bar plays one rhythm: beats, the
// eighths between, and a sixteenth before each third beat.
Song rhythmSong(double seconds)
{
    Song song;
    const double beat = 500;
    song.features.durationMs = seconds * 1000;
    song.features.audio.lengthMs = static_cast<std::int32_t>(seconds * 1000);
    for (int i = 0; i * beat < seconds * 1000; ++i) {
        const double at = i * beat;
        song.beats.ms.push_back(at);
        song.beats.inBar.push_back(i % 4);
        song.features.onsets.push_back({at, 1.0f});
        if (i % 4 == 1)
            song.features.onsets.push_back({at + 3 * beat / 4, 0.8f});
        song.features.onsets.push_back({at + beat / 2, 0.6f});
    }
    std::sort(song.features.onsets.begin(), song.features.onsets.end(),
              [](const Onset& a, const Onset& b) { return a.ms < b.ms; });
    song.beats.bpm = 120;
    return song;
}

// Share of notes whose spacing to the next repeats the spacing before.
double steadiness(const std::vector<Pick>& picks)
{
    int steady = 0;
    for (std::size_t i = 1; i + 1 < picks.size(); ++i)
        steady += std::abs((picks[i + 1].ms - picks[i].ms) - (picks[i].ms - picks[i - 1].ms)) <= 30;
    return picks.size() < 3 ? 0 : steady / static_cast<double>(picks.size() - 2);
}

TEST(Placement, LevelsNestKeepToTheirGridAndRunSteadily)
{
    struct Case {
        const char* name;
        double seconds;
    };
    // Short enough for every note the levels want, and long enough that the
    // note limit thins them.
    const Case cases[] = {{"a minute", 60}, {"five minutes", 300}};
    for (const Case& c : cases) {
        const Song song = rhythmSong(c.seconds);
        std::vector<Pick> below;
        for (Level level : kLevels) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::string(levelName(level)));
            const std::vector<Pick> picks = placeNotes(song.features, song.beats, level).picks;
            ASSERT_GE(picks.size(), 20u);
            const auto onGrid = [&](double step) {
                return std::count_if(picks.begin(), picks.end(),
                                     [&](const Pick& p) { return std::fmod(p.ms, step) == 0; }) /
                       static_cast<double>(picks.size());
            };
            if (level == Level::easy) {
                EXPECT_EQ(onGrid(500), 1.0);
            }
            if (level == Level::medium) {
                EXPECT_EQ(onGrid(250), 1.0);
            }
            EXPECT_GE(steadiness(picks), 0.6);
            // A note no lane can take would leave a hole in the rhythm: the
            // beats and eighths at 120 BPM are more than the lanes hold.
            EXPECT_EQ(chooseLanes(picks, level).noLane, 0);
            std::size_t kept = 0;
            for (const Pick& p : below)
                kept += std::any_of(picks.begin(), picks.end(), [&](const Pick& q) { return q.ms == p.ms; });
            EXPECT_GE(kept, below.size() * 95 / 100) << "the level below's notes are not kept";
            below = picks;
        }
    }
}

TEST(Placement, MediumTakesTheThirdsOfASwingWhereItWouldTakeEighths)
{
    // Two minutes in 4/4 at 60 BPM, every beat and both of its thirds played:
    // as many notes as the lanes hold.
    Song song;
    const double beat = 60000.0 / 60;
    song.features.durationMs = 120000;
    song.features.audio.lengthMs = 120000;
    for (int i = 0; i * beat < 120000; ++i) {
        song.beats.ms.push_back(i * beat);
        song.beats.inBar.push_back(i % 4);
        for (int third = 0; third < 3; ++third)
            song.features.onsets.push_back({i * beat + third * beat / 3, third == 0 ? 1.0f : 0.8f});
    }
    song.beats.bpm = 60;
    const auto easy = placeNotes(song.features, song.beats, Level::easy).picks;
    const auto medium = placeNotes(song.features, song.beats, Level::medium).picks;
    const auto onThirds = std::count_if(medium.begin(), medium.end(), [&](const Pick& p) {
        const double inBeat = std::fmod(p.ms, beat);
        return std::abs(inBeat - beat / 3) < 2 || std::abs(inBeat - 2 * beat / 3) < 2;
    });
    EXPECT_GT(medium.size(), easy.size() * 3 / 2);
    EXPECT_GE(onThirds, static_cast<std::ptrdiff_t>(medium.size() / 3));
}

}  // namespace
}  // namespace zorv::chartmake
