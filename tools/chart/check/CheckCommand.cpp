#include "tools/chart/check/CheckCommand.h"

#include <cstdio>
#include <string>

#include "tools/chart/check/Analysis.h"
#include "tools/chart/check/ChartFile.h"

namespace zorv::chartcheck {

const std::string_view kCheckSynopsis = "zorv-chart <chart file>";
const std::string_view kCheckHelp = R"(Reads a chart as the game does, plays it through the game's own rules on a
50 ms grid with a perfect player, and prints what it found. The audio file
named in the first pair is looked for in the chart's folder. (To check a
chart named "make" or "preview", write ./make.)

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

int checkCommand(const char* path)
{
    std::string error;
    const auto file = readChartFile(path, error);
    if (!file) {
        std::fprintf(stderr, "zorv-chart: cannot read %s: %s\n", path, error.c_str());
        return 2;
    }
    const auto audio = probeAudio(path, file->chart);
    const auto report = analyse(file->chart, file->tokens, audio);
    std::fputs(formatReport(report, path).c_str(), stdout);
    return report.hasProblems() ? 1 : 0;
}

}  // namespace zorv::chartcheck
