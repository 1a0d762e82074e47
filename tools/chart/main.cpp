// zorv-chart: checks a chart the way the game will read and play it; makes
// one from any song; draws one against its song.

#include <cstdio>
#include <cstring>
#include <string>

#include "tools/chart/check/Analysis.h"
#include "tools/chart/check/ChartFile.h"
#include "tools/chart/make/Command.h"

namespace {

constexpr const char* kUsage = R"(usage: zorv-chart <chart file>
       zorv-chart --version
       zorv-chart make AUDIO [--level easy|medium|hard] (-o CHART | --into DIR --slot 1|2)
       zorv-chart preview CHART -o PNG

zorv-chart <chart file>
Reads a chart as the game does, plays it through the game's own rules on a
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

zorv-chart make AUDIO [--level easy|medium|hard] (-o CHART | --into DIR --slot 1|2)
Charts a song: decodes AUDIO as the game plays it (MP3, OGG, FLAC, WAV),
finds where its sounds start, its beat and its melody, and puts every note
on a sound, so the note's beat falls where the music is. Easy keeps to the
beat; medium and hard add the notes between. Lanes follow the melody:
higher notes further right. The chart plays as written (checked as above
before it is written), holds at most 298 notes spread over the whole song,
and comes out the same for the same song and level.
  --level L       easy, medium (the default) or hard
  -o CHART        write the chart to CHART (- for standard output); it names
                  the audio by its file name, which must then be beside it
  --into DIR --slot N
                  make DIR a songs folder for the game: copy AUDIO there
                  under a name the chart can carry (a letter first, no
                  spaces), write the chart as Dodoroza.txt (slot 1) or
                  Virizivez.txt (slot 2), and copy the game's own song for
                  the other slot if its chart is missing; then play it with
                  ZORV_SONGS=DIR zorv
A summary goes to standard error: tempo, notes, notes per second, and what
was left out and why.
exit status
  0  the chart was written
  1  no chart can be made: the song is silent, too short (the first 2.9 s
     hold no note, and a few seconds must follow), or has nothing to put a
     note on; nothing is written
  2  AUDIO cannot be read or decoded, the command line is wrong, or the
     chart cannot be written; nothing is written

zorv-chart preview CHART -o PNG
Draws the chart against its song: the song's onset strength over time, the
four lanes under it, each note at its beat; notes with problems, warnings,
or no sound at their beat are ringed. Exit status 0 when the picture is
written, 2 when the chart cannot be read or the picture written.
)";

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("zorv-chart " ZORV_VERSION);
        return 0;
    }
    const auto isHelp = [](const char* arg) { return std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0; };
    if (argc == 3 && (std::strcmp(argv[1], "make") == 0 || std::strcmp(argv[1], "preview") == 0) && isHelp(argv[2])) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "make") == 0)
        return zorv::chartmake::makeCommand(argc - 1, argv + 1);
    if (argc >= 2 && std::strcmp(argv[1], "preview") == 0)
        return zorv::chartmake::previewCommand(argc - 1, argv + 1);
    if (argc == 2 && isHelp(argv[1])) {
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
