// zorv-chart: checks a chart the way the game will read and play it.

#include <cstdio>
#include <cstring>
#include <string>

#include "tools/chartcheck/Analysis.h"
#include "tools/chartcheck/ChartFile.h"

namespace {

constexpr const char* kUsage = R"(usage: zorv-chart <chart file>
       zorv-chart --version

Reads a chart as the game does, plays it through the game's own rules on a
50 ms grid with a perfect player, and prints what it found. The audio file
named in the first pair is looked for in the chart's folder.

exit status
  0  the chart plays as written; warnings, if any, do not change how it plays
  1  problems: a note dropped because its lane is full, retired before it
     reaches the targets, or never spawned (after the audio's end, or behind
     one that is); two notes of a lane so close that one press judges both;
     a time earlier than the note before it, or not a plain number; a token
     over 99 characters; pairs past the 300th; notes after the pair that ends
     the chart; no end pair; a lane token with no time; an audio name that
     reads as a number above 0; no audio file named, none by that name, or
     one the game's player refuses
  2  the chart cannot be read, or the command line is wrong
warnings
  a lane token that reads as 1..4 but is more than the digit ("01", "2x");
  a note sent a tick or more after its time because notes due together go
  out one per tick; an audio name starting with a number that holds nothing
  ("0intro.mp3"); no audio device to measure the audio's length with
)";

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("zorv-chart " ZORV_VERSION);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    std::string error;
    const auto file = zorv::chartcheck::readChartFile(argv[1], error);
    if (!file) {
        std::fprintf(stderr, "zorv-chart: cannot read %s: %s\n", argv[1], error.c_str());
        return 2;
    }
    const auto audio = zorv::chartcheck::probeAudio(argv[1], file->chart);
    const auto report = zorv::chartcheck::analyse(file->chart, file->tokens, audio);
    std::fputs(zorv::chartcheck::formatReport(report, argv[1]).c_str(), stdout);
    return report.hasProblems() ? 1 : 0;
}
