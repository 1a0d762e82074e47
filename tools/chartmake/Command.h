#pragma once
// The zorv-chart commands of the chart maker. Each takes its own arguments
// (argv[0] being the command's name) and returns the exit status.

namespace zorv::chartmake {

// zorv-chart make AUDIO [--level easy|medium|hard] (-o CHART | --into DIR --slot 1|2)
// 0 the chart was written; 1 the song cannot hold a chart (the cause on
// stderr, nothing written); 2 the audio cannot be read or decoded, the
// command line is wrong, or the output cannot be written (nothing written).
int makeCommand(int argc, char** argv);

// zorv-chart preview CHART -o PNG
// 0 the picture was written; 2 the chart cannot be read, the command line
// is wrong or the picture cannot be written.
int previewCommand(int argc, char** argv);

}  // namespace zorv::chartmake
