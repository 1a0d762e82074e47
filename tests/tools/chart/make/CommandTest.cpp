// Runs the built zorv-chart make and preview as a player would, on songs
// synthesised here, and checks what they write against the game's rules
// and the songs' known onsets.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSong.h"
#include "charting/Charting.h"
#include "core/Lanes.h"
#include "support/Command.h"
#include "support/TempDir.h"
#include "tools/chart/make/LaneChoice.h"
#include "tools/chart/make/Placement.h"

namespace zorv::chartmake {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

const auto& quoted = test::shellQuoted;

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// zorv-chart with `arguments`, run inside `folder`; never allowed to block.
Outcome zorvChart(const std::string& arguments, const fs::path& folder)
{
    const TempDir logs;
    const std::string err = (logs.path() / "stderr").string();
    const std::string command = "cd " + quoted(folder.string()) + " && timeout 120 " + quoted(ZORV_CHART_EXE) + " " +
                                arguments + " 2>" + quoted(err);
    const test::CommandResult result = test::runCommand(command);
    return {result.status, result.out, readFile(err)};
}

std::vector<ChartNote> notesOf(const std::string& chart)
{
    std::istringstream in(chart);
    std::string title, audio;
    in >> title >> audio;
    std::vector<ChartNote> notes;
    for (ChartNote note; in >> note.lane >> note.timeMs && note.lane != 0;)
        notes.push_back(note);
    return notes;
}

double nearest(const std::vector<double>& times, double t)
{
    double best = 1e300;
    for (double x : times)
        best = std::min(best, std::fabs(x - t));
    return best;
}

// The rules a made chart keeps whatever the song, and its notes on the song's onsets.
void expectPlayableOnTheMusic(const std::vector<ChartNote>& notes, const test::TestSong& song, Level level)
{
    ASSERT_FALSE(notes.empty());
    ASSERT_LE(notes.size(), static_cast<std::size_t>(charting::kMaxNotes));
    EXPECT_GE(notes.front().timeMs, 0);
    std::array<int, kLaneCount> perLane{};
    int onBeat = 0;
    int run = 0;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const double beat = notes[i].timeMs + charting::kLeadMs;
        EXPECT_LE(nearest(song.onsetsMs, beat), 20) << "note at " << notes[i].timeMs << " is off the music";
        onBeat += nearest(song.beatsMs, beat) <= kOnBeatMs;
        ++perLane[static_cast<std::size_t>(notes[i].lane - 1)];
        if (i > 0) {
            EXPECT_GE(notes[i].timeMs - notes[i - 1].timeMs, charting::kMinNoteGapMs);
        }
        run = i > 0 && notes[i].lane == notes[i - 1].lane ? run + 1 : 1;
        if (level == Level::easy) {
            EXPECT_LE(run, kEasyRun);
        }
    }
    for (int count : perLane)
        EXPECT_LE(count, kMostOfOneLane * static_cast<double>(notes.size()));
    if (level == Level::easy) {
        EXPECT_GE(onBeat, 0.85 * static_cast<double>(notes.size()));
    }
}

TEST(Make, ChartsPlayAsWrittenOnTheMusicAtEveryLevel)
{
    struct Case {
        const char* name;
        double bpm;
        test::TestSong song;
    };
    const Case cases[] = {
        {"100 BPM, 44.1 kHz stereo", 100, test::beatSong(100, 40, 44100, 2)},
        {"150 BPM, 22.05 kHz mono", 150, test::beatSong(150, 30, 22050, 1)},
        {"75 BPM, 48 kHz stereo", 75, test::beatSong(75, 45, 48000, 2)},
    };
    for (const Case& c : cases) {
        const TempDir dir;
        dir.file("song.wav", test::wavBytes(c.song));
        std::size_t previous = 0;
        for (Level level : {Level::easy, Level::medium, Level::hard}) {
            const std::string name(levelName(level));
            SCOPED_TRACE(std::string(c.name) + ", " + name);
            const Outcome made = zorvChart("make song.wav --level " + name + " -o " + name + ".txt", dir.path());
            ASSERT_EQ(made.status, 0) << made.err;
            std::smatch tempo;
            ASSERT_TRUE(std::regex_search(made.err, tempo, std::regex(R"(tempo (\d+) BPM)"))) << made.err;
            // The beat, half or twice it: each is a level a listener may tap.
            const double found = std::stod(tempo[1]);
            EXPECT_TRUE(std::fabs(found - c.bpm) <= 2 || std::fabs(2 * found - c.bpm) <= 2 ||
                        std::fabs(found - 2 * c.bpm) <= 2)
                << made.err;
            const Outcome checked = zorvChart(name + ".txt", dir.path());
            EXPECT_EQ(checked.status, 0) << checked.out;
            const std::vector<ChartNote> notes = notesOf(readFile(dir.path() / (name + ".txt")));
            expectPlayableOnTheMusic(notes, c.song, level);
            EXPECT_GT(notes.size(), previous) << "not denser than the level below";
            previous = notes.size();
        }
    }
}

TEST(Make, SameSongAndLevelGiveTheSameBytesToAFileOrStandardOutput)
{
    const TempDir dir;
    dir.file("song.wav", test::wavBytes(test::beatSong(128, 20, 44100, 2)));
    const Outcome toFile = zorvChart("make song.wav --level hard -o chart.txt", dir.path());
    const Outcome again = zorvChart("make song.wav --level=hard -o -", dir.path());
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(readFile(dir.path() / "chart.txt"), again.out);
}

// -o through a link writes where the link points, and into a FIFO (or a
// device) as a stream: renaming a finished file over either would replace it.
TEST(Make, WritesThroughALinkAndIntoAFifoWithoutReplacingThem)
{
    const TempDir dir;
    dir.file("song.wav", test::wavBytes(test::beatSong(128, 20, 44100, 2)));
    const Outcome expected = zorvChart("make song.wav -o -", dir.path());
    ASSERT_EQ(expected.status, 0) << expected.err;

    dir.file("real.txt", "old chart\n");
    fs::create_symlink("real.txt", dir.path() / "link.txt");
    const Outcome viaLink = zorvChart("make song.wav -o link.txt", dir.path());
    EXPECT_EQ(viaLink.status, 0) << viaLink.err;
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.txt"));
    EXPECT_EQ(readFile(dir.path() / "real.txt"), expected.out);

    ASSERT_EQ(mkfifo((dir.path() / "pipe").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readFile(dir.path() / "pipe"); });
    const Outcome viaFifo = zorvChart("make song.wav -o pipe", dir.path());
    // Should the FIFO never have been opened, this lets the reader end.
    if (const int fd = open((dir.path() / "pipe").c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
        close(fd);
    reader.join();
    EXPECT_EQ(viaFifo.status, 0) << viaFifo.err;
    EXPECT_TRUE(fs::is_fifo(dir.path() / "pipe"));
    EXPECT_EQ(received, expected.out);
}

struct BadInput {
    const char* name;
    std::string arguments;  // after "make"; OUT stands for the output options
    int status;
    const char* says;
};

TEST(Make, BadInputGetsItsStatusAndACauseAndNothingIsWritten)
{
    const TempDir dir;
    dir.file("notes.mp3", "title: not a song\n");
    dir.file("empty.mp3", "");
    dir.file("silence.wav", test::wavBytes(test::beatSong(100, 10, 44100, 2, 0.0f)));
    dir.file("short.wav", test::wavBytes(test::beatSong(100, 2, 44100, 2)));
    const std::string song = test::wavBytes(test::beatSong(100, 10, 44100, 2));
    dir.file("song.wav", song);
    fs::create_directory(dir.path() / "folder.mp3");
    ASSERT_EQ(mkfifo((dir.path() / "fifo.mp3").c_str(), 0600), 0);
    const BadInput cases[] = {
        {"text named .mp3", "notes.mp3 OUT", 2, "cannot use notes.mp3: not playable audio"},
        {"empty file", "empty.mp3 OUT", 2, "the file is empty"},
        {"folder", "folder.mp3 OUT", 2, "it is a folder"},
        {"FIFO", "fifo.mp3 OUT", 2, "not a regular file"},
        {"no such file", "gone.mp3 OUT", 2, "no such file"},
        {"silence", "silence.wav OUT", 1, "no chart for silence.wav: it is silent"},
        {"two seconds", "short.wav OUT", 1, "it is 2.0 s long"},
        {"no audio", "OUT", 2, "no audio file given"},
        {"two outputs", "song.wav -o x.txt --into x --slot 1", 2, "either -o CHART or --into"},
        {"no output", "song.wav", 2, "either -o CHART or --into"},
        {"slot 3", "song.wav --into x --slot 3", 2, "--slot takes 1 or 2"},
        {"unknown level", "song.wav --level extreme OUT", 2, "--level takes easy, medium or hard"},
        {"unknown option", "song.wav --fast OUT", 2, "unknown option --fast"},
        {"into without slot", "song.wav --into x", 2, "--into needs --slot"},
        {"chart over the audio", "song.wav -o song.wav", 2, "song.wav is the audio itself"},
    };
    for (const BadInput& c : cases) {
        for (const std::string out : {"-o out/chart.txt", "--into new --slot 1"}) {
            SCOPED_TRACE(std::string(c.name) + " with " + out);
            fs::create_directory(dir.path() / "out");
            std::string arguments = c.arguments;
            if (const auto at = arguments.find("OUT"); at != std::string::npos)
                arguments.replace(at, 3, out);
            const Outcome run = zorvChart("make " + arguments, dir.path());
            EXPECT_EQ(run.status, c.status) << run.err;
            EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
            EXPECT_EQ(run.out, "");
            EXPECT_TRUE(fs::is_empty(dir.path() / "out"));
            EXPECT_FALSE(fs::exists(dir.path() / "new"));
            EXPECT_FALSE(fs::exists(dir.path() / "x"));
            EXPECT_EQ(readFile(dir.path() / "song.wav"), song);
        }
    }
}

TEST(Make, AChartOfACutShortMp3CoversWhatIsThere)
{
    const TempDir dir;
    std::string mp3 = readFile(fs::path(ZORV_SONGS_DIR) / "Dodoroza.mp3");
    mp3.resize(400000);  // about 20 of its 107 s
    dir.file("cut.mp3", mp3);
    const Outcome run = zorvChart("make cut.mp3 -o chart.txt", dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("cut short?"), std::string::npos) << run.err;
    const auto notes = notesOf(readFile(dir.path() / "chart.txt"));
    ASSERT_FALSE(notes.empty());
    EXPECT_LT(notes.back().timeMs + charting::kLeadMs, 21000);
}

std::map<std::string, std::string> filesIn(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = readFile(entry.path());
    return files;
}

TEST(Make, IntoFillsTheSlotAndTheOtherWithTheGamesOwnSong)
{
    const TempDir dir;
    const std::string song = test::wavBytes(test::beatSong(110, 20, 44100, 2));
    dir.file("01 my song.wav", song);
    const Outcome first = zorvChart("make '01 my song.wav' --level easy --into songs --slot 1", dir.path());
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.err.find("ZORV_SONGS=" + (dir.path() / "songs").string() + " zorv"), std::string::npos)
        << first.err;
    auto files = filesIn(dir.path() / "songs");
    EXPECT_EQ(files["song-01-my-song.wav"], song);
    EXPECT_EQ(files["Dodoroza.txt"].rfind("song-01-my-song song-01-my-song.wav\n", 0), 0u) << files["Dodoroza.txt"];
    EXPECT_EQ(files["Virizivez.txt"], readFile(fs::path(ZORV_SONGS_DIR) / "Virizivez.txt"));
    EXPECT_EQ(files["Virizivez.mp3"], readFile(fs::path(ZORV_SONGS_DIR) / "Virizivez.mp3"));
    EXPECT_EQ(files.size(), 4u);
    for (const char* chart : {"songs/Dodoroza.txt", "songs/Virizivez.txt"})
        EXPECT_EQ(zorvChart(chart, dir.path()).status, 0) << chart;

    // The same song into the other slot: its audio is there already, and the
    // slot-1 chart is the player's own now, so both stay.
    const Outcome second = zorvChart("make '01 my song.wav' --level hard --into songs --slot 2", dir.path());
    ASSERT_EQ(second.status, 0) << second.err;
    const auto after = filesIn(dir.path() / "songs");
    EXPECT_EQ(after.size(), 4u);
    EXPECT_EQ(after.at("Dodoroza.txt"), files["Dodoroza.txt"]);
    EXPECT_EQ(after.at("Virizivez.txt").rfind("song-01-my-song song-01-my-song.wav\n", 0), 0u);
    EXPECT_EQ(zorvChart("songs/Virizivez.txt", dir.path()).status, 0);
}

TEST(Preview, DrawsTheChartAndCountsWhatIsWrongWithIt)
{
    const TempDir dir;
    dir.file("song.wav", test::wavBytes(test::beatSong(100, 12, 44100, 2)));
    // Beats at 6000 and 6300 ms (a hat), none at 6075; the second note of
    // lane 1 follows the first too soon.
    dir.file("chart.txt", "t song.wav\n1 3125\n2 3200\n1 3425\n0 0\n");
    dir.file("lost.txt", "t gone.wav\n1 3125\n0 0\n");
    struct Case {
        const char* chart;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {"chart.txt", 0, "3 notes, 1 problems, 0 warnings, 1 off the music"},
        {"lost.txt", 0, "1 notes, 1 problems, 0 warnings"},
        {"absent.txt", 2, "cannot read absent.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chart);
        fs::remove(dir.path() / "out.png");
        const Outcome run = zorvChart(std::string("preview ") + c.chart + " -o out.png", dir.path());
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(readFile(dir.path() / "out.png").rfind("\x89PNG", 0), c.status == 0 ? 0u : std::string::npos);
    }
}

}  // namespace
}  // namespace zorv::chartmake
