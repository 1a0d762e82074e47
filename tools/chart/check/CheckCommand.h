#pragma once
// zorv-chart CHART: the checker's command line.

#include <string_view>

namespace zorv::chartcheck {

// The command as zorv-chart --help shows it: the synopsis line, then the
// help under it (ending in a newline).
extern const std::string_view kCheckSynopsis;
extern const std::string_view kCheckHelp;

// Reads the chart at path as the game does, replays it and prints the report
// on standard output. 0 the chart plays as written; 1 it has problems; 2 it
// cannot be read (the cause on standard error).
int checkCommand(const char* path);

}  // namespace zorv::chartcheck
