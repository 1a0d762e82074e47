// Runs the built zorv-chart as a chart author would.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <string>

#include "support/Command.h"
#include "support/TempDir.h"
#include "support/Wav.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string output;  // stdout, or stderr when asked for
};

const auto& quoted = zorv::test::shellQuoted;

Outcome runChecker(const std::string& arguments, bool readStderr = false)
{
    const zorv::test::CommandResult run = zorv::test::runCommand(quoted(ZORV_CHART_EXE) + " " + arguments +
                                                                 (readStderr ? " 2>&1 >/dev/null" : " 2>/dev/null"));
    return {run.status, run.out};
}

using zorv::test::silentWav;
using zorv::test::TempDir;

int printedNotes(const std::string& report)
{
    std::smatch match;
    if (!std::regex_search(report, match, std::regex(R"(\n  notes +(\d+)\n)")))
        return -1;
    return std::stoi(match[1]);
}

struct BundledChart {
    const char* file;
    int notes;
};

TEST(ZorvChart, BundledChartsPlayAsWritten)
{
    // The note counts the checker printed for the charts as committed.
    const BundledChart charts[] = {
        {"Dodoroza.txt", 127},
        {"Virizivez.txt", 215},
    };
    for (const BundledChart& chart : charts) {
        const std::string path = std::string(ZORV_SONGS_DIR) + "/" + chart.file;
        ASSERT_TRUE(fs::is_regular_file(path)) << path;
        const Outcome outcome = runChecker(quoted(path));
        EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
        EXPECT_EQ(printedNotes(outcome.output), chart.notes) << outcome.output;
        std::printf("%s: %d notes\n", chart.file, printedNotes(outcome.output));
    }
}

struct CommandCase {
    const char* name;
    std::string chart;
    const char* audioName;  // written beside the chart unless empty
    std::string audioBytes;
    int exitCode;
    const char* says;
};

TEST(ZorvChart, ExitStatusFollowsWhatTheChartDoes)
{
    const CommandCase cases[] = {
        {"plays as written", "x tone.wav\n1 0\n2 600\n0 0\n", "tone.wav", silentWav(1000), 0, "(1000 ms)"},
        {"only a warning", "x tone.wav\n01 0\n0 0\n", "tone.wav", silentWav(1000), 0, "warnings (1)"},
        {"crowded lane", "x tone.wav\n2 0\n2 100\n2 200\n2 300\n2 400\n0 0\n", "tone.wav", silentWav(1000), 1,
         "dropped at t=400"},
        {"note after the audio's end", "x tone.wav\n1 0\n2 1500\n0 0\n", "tone.wav", silentWav(1000), 1,
         "after the audio's end (1000 ms)"},
        {"audio not there", "x gone.mp3\n1 0\n0 0\n", "", "", 1, "gone.mp3\" not found"},
        {"audio that will not play", "x notes.mp3\n1 0\n0 0\n", "notes.mp3", "title: not a song\n", 1,
         "refuses audio file \"notes.mp3\""},
    };
    for (const CommandCase& c : cases) {
        const TempDir dir;
        if (*c.audioName != '\0')
            dir.file(c.audioName, c.audioBytes);
        // Run from elsewhere: the audio is looked for beside the chart.
        const Outcome outcome = runChecker(quoted(dir.file("chart.txt", c.chart)));
        EXPECT_EQ(outcome.exitCode, c.exitCode) << c.name << "\n" << outcome.output;
        EXPECT_NE(outcome.output.find(c.says), std::string::npos) << c.name << "\n" << outcome.output;
    }
}

TEST(ZorvChart, UnreadableChartOrWrongUsageExitsWith2)
{
    const TempDir dir;
    mkfifo((dir.path() / "fifo.txt").c_str(), 0600);  // must not wait for a writer
    struct {
        std::string arguments;
        const char* says;
    } const cases[] = {
        {quoted((dir.path() / "absent.txt").string()), "cannot read"},
        {quoted(dir.path().string()), "cannot read"},
        {quoted((dir.path() / "fifo.txt").string()), "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {"", "usage: zorv-chart <chart file>"},
        {"a.txt b.txt", "usage: zorv-chart <chart file>"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = runChecker(c.arguments, true);
        EXPECT_EQ(outcome.exitCode, 2) << c.arguments;
        EXPECT_NE(outcome.output.find(c.says), std::string::npos) << c.arguments << "\n" << outcome.output;
        EXPECT_EQ(runChecker(c.arguments).output, "") << c.arguments;
    }
}

}  // namespace
