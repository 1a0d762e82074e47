#include "tools/songs/SongChart.h"
#include "tools/songs/Songs.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

namespace zorv::songs {
namespace {

const std::filesystem::path kSongsDir = ZORV_SONGS_DIR;

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// ---- the committed songs --------------------------------------------------

// The charts in songs/ are generated; a hand edit or a score change without
// regenerating would leave arrows that no longer match the music.
TEST(SongCharts, CommittedChartsAreWhatTheScoresGive)
{
    for (const auto& song : allSongs()) {
        const auto path = kSongsDir / (song.name + ".txt");
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        EXPECT_EQ(readFile(path), chartText(chartForSong(song)))
            << song.name << ": run tools/songs/make-songs.sh --charts and commit the result";
    }
}

// Checked again here from the file bytes alone, with rules written out
// independently of the chart writer, so a fault in its checks shows up too.
TEST(SongCharts, CommittedChartsKeepTheGameRules)
{
    const struct {
        const char* name;
        std::size_t minNotes, maxNotes;
    } cases[] = {{"Dodoroza", 100, 150}, {"Virizivez", 200, 298}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = readFile(kSongsDir / (std::string(c.name) + ".txt"));
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.find('\r'), std::string::npos);
        EXPECT_EQ(text.back(), '\n');

        std::vector<std::pair<std::string, std::string>> pairs;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            const auto space = line.find(' ');
            ASSERT_NE(space, std::string::npos) << line;
            ASSERT_EQ(line.find_first_of(" \t", space + 1), std::string::npos) << "one pair per line: " << line;
            pairs.emplace_back(line.substr(0, space), line.substr(space + 1));
        }
        ASSERT_GE(pairs.size(), 3u);
        EXPECT_LE(pairs.size(), 300u) << "the game reads 300 pairs, the closing one included";
        EXPECT_EQ(pairs.front(), std::make_pair(std::string(c.name), std::string(c.name) + ".mp3"));
        const auto audio = kSongsDir / pairs.front().second;
        EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(pairs.front().second[0])));
        ASSERT_TRUE(std::filesystem::exists(audio));
        EXPECT_LT(std::filesystem::file_size(audio), 3'000'000u);
        EXPECT_EQ(pairs.back(), std::make_pair(std::string("0"), std::string("0")));

        const std::vector notes(pairs.begin() + 1, pairs.end() - 1);
        EXPECT_GE(notes.size(), c.minNotes);
        EXPECT_LE(notes.size(), c.maxNotes);
        std::array<std::vector<long>, 5> lanes;
        long last = -1;
        for (const auto& [laneText, timeText] : notes) {
            ASSERT_TRUE(laneText.size() == 1 && laneText[0] >= '1' && laneText[0] <= '4') << laneText;
            ASSERT_TRUE(!timeText.empty() && timeText.find_first_not_of("0123456789") == std::string::npos) << timeText;
            const long time = std::stol(timeText);
            EXPECT_GT(time, last);
            last = time;
            auto& lane = lanes[static_cast<std::size_t>(laneText[0] - '0')];
            if (!lane.empty()) {
                EXPECT_GE(time - lane.back(), 600) << "lane " << laneText << " at " << time;
            }
            if (lane.size() >= 4) {
                EXPECT_GE(time - lane[lane.size() - 4], 4100) << "lane " << laneText << " at " << time;
            }
            lane.push_back(time);
        }
        for (int l = 1; l <= 4; ++l)
            EXPECT_GE(lanes[static_cast<std::size_t>(l)].size(), notes.size() / 8) << l;
    }
}

// ---- the lead time --------------------------------------------------------

// Replays the game's clock at every tick phase: the beat must fall inside
// the great window whatever the phase, and sit in its middle on average.
TEST(SongCharts, LeadTimeCentresTheGreatWindowOnTheBeat)
{
    const int chartTime = 10'000;
    const int beat = chartTime + kLeadMs;
    double offsetSum = 0;
    for (int phase = 0; phase < 50; ++phase) {
        int spawn = phase;
        while (spawn < chartTime)
            spawn += 50;
        int greatFrom = -1, greatTo = -1;
        for (int k = 1; k < 80; ++k) {
            const int top = 587 - 10 * k;  // after the arrow's k-th tick
            const int tickTime = spawn + (k - 1) * 50;
            if (top >= 0 && top <= 20) {
                if (greatFrom < 0)
                    greatFrom = tickTime;
                greatTo = tickTime + 50;  // until the next tick moves it on
            }
        }
        EXPECT_GE(beat, greatFrom) << "phase " << phase;
        EXPECT_LT(beat, greatTo) << "phase " << phase;
        offsetSum += beat - (greatFrom + greatTo) / 2.0;
    }
    EXPECT_NEAR(offsetSum / 50, 0.0, 0.5);
}

// ---- lane choice ----------------------------------------------------------

std::vector<int> lanesFor(std::string_view melody, int bars)
{
    SongBuilder b("Test", 60, 7, Kit::soft);  // a beat per second
    const int part = b.addPart({.name = "tune"});
    std::string chords;
    for (int i = 0; i < bars; ++i)
        chords += "C ";
    const auto s = b.section(chords);
    b.melody(part, s, melody, ChartRule::beats, 0.8f);
    std::vector<int> lanes;
    for (const auto& n : chartForSong(b.finish({})).notes)
        lanes.push_back(n.lane);
    return lanes;
}

TEST(SongCharts, LanesFollowTheTuneWithinTheLaneRules)
{
    const struct {
        const char* melody;
        int bars;
        std::vector<int> lanes;
    } cases[] = {
        // Rising and falling lines sweep the field.
        {"C4:2 D4:2 E4:2 F4:2 | G4:2 A4:2 B4:2 C5:2 |", 2, {1, 1, 2, 2, 3, 3, 4, 4}},
        {"C5:2 B4:2 A4:2 G4:2 | F4:2 E4:2 D4:2 C4:2 |", 2, {4, 4, 3, 3, 2, 2, 1, 1}},
        // Only four arrows of a lane fly at once: the fifth note a second
        // later takes the neighbouring lane, leaning to the middle.
        {"C4:2 C4:2 C4:2 C4:2 | C4:2 r:6 |", 2, {3, 3, 3, 3, 2}},
        // Notes a half beat apart must never share a lane (600 ms), so a
        // repeated note alternates, again leaning to the middle.
        {"C4:1! C4:1! C4:1! C4:1! r:4 |", 1, {3, 2, 3, 2}},
        // Off-beat notes are not charted on the easy rule.
        {"C4:1 E4:1 G4:1 C5:1 E4:4 |", 1, {1, 4, 3}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lanesFor(c.melody, c.bars), c.lanes) << c.melody;
}

// ---- the checks themselves ------------------------------------------------

SongChart validChart()
{
    SongChart chart;
    chart.title = "Test";
    chart.audioFile = "Test.mp3";
    chart.audioMs = 60'000;
    for (int i = 0; i < 8; ++i)
        chart.notes.push_back({1 + i % 4, 1000 + 700 * i});
    return chart;
}

TEST(SongCharts, ChecksCatchEveryBrokenRule)
{
    const struct {
        const char* what;
        void (*breakIt)(SongChart&);
        bool broken;
    } cases[] = {
        {"valid", [](SongChart&) {}, false},
        {"lane 0", [](SongChart& c) { c.notes[3].lane = 0; }, true},
        {"lane 5", [](SongChart& c) { c.notes[3].lane = 5; }, true},
        {"negative time", [](SongChart& c) { c.notes[0].timeMs = -1; }, true},
        {"first note at 0", [](SongChart& c) { c.notes[0].timeMs = 0; }, false},
        {"same time twice", [](SongChart& c) { c.notes[2].timeMs = c.notes[1].timeMs; }, true},
        {"time going back", [](SongChart& c) { c.notes[2].timeMs = c.notes[1].timeMs - 10; }, true},
        {"lane again after 599 ms",
         [](SongChart& c) {
             c.notes = {{1, 1000}, {2, 1300}, {1, 1599}};
         },
         true},
        {"lane again after 600 ms",
         [](SongChart& c) {
             c.notes = {{1, 1000}, {2, 1300}, {1, 1600}};
         },
         false},
        {"fifth of a lane after 4099 ms",
         [](SongChart& c) {
             c.notes = {{1, 0}, {1, 1000}, {1, 2000}, {1, 3000}, {1, 4099}};
         },
         true},
        {"fifth of a lane after 4100 ms",
         [](SongChart& c) {
             c.notes = {{1, 0}, {1, 1000}, {1, 2000}, {1, 3000}, {1, 4100}};
         },
         false},
        {"299 notes",
         [](SongChart& c) {
             c.notes.clear();
             for (int i = 0; i < 299; ++i)
                 c.notes.push_back({1 + i % 4, 1100 * i});
             c.audioMs = 400'000;
         },
         true},
        {"298 notes",
         [](SongChart& c) {
             c.notes.clear();
             for (int i = 0; i < 298; ++i)
                 c.notes.push_back({1 + i % 4, 1100 * i});
             c.audioMs = 400'000;
         },
         false},
        {"no notes", [](SongChart& c) { c.notes.clear(); }, true},
        {"audio name starts with a digit", [](SongChart& c) { c.audioFile = "1Test.mp3"; }, true},
        {"audio name with a space", [](SongChart& c) { c.audioFile = "Te st.mp3"; }, true},
        {"audio name of 100 characters", [](SongChart& c) { c.audioFile = std::string(96, 'a') + ".mp3"; }, true},
        {"song ends under the last arrow", [](SongChart& c) { c.audioMs = c.notes.back().timeMs + 3999; }, true},
    };
    for (const auto& c : cases) {
        auto chart = validChart();
        c.breakIt(chart);
        if (c.broken)
            EXPECT_THROW(chartText(chart), std::runtime_error) << c.what;
        else
            EXPECT_NO_THROW(chartText(chart)) << c.what;
    }
}

TEST(SongCharts, TextHasHeaderPairsAndClosingPair)
{
    auto chart = validChart();
    chart.notes.resize(2);
    EXPECT_EQ(chartText(chart), "Test Test.mp3\n1 1000\n2 1700\n0 0\n");
}

}  // namespace
}  // namespace zorv::songs
