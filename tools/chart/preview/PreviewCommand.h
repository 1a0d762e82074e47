#pragma once
// zorv-chart preview: the command line of the chart's picture.

#include <string_view>

namespace zorv::chartmake {

// The command as zorv-chart --help shows it: the synopsis line, then the
// help under it (ending in a newline).
extern const std::string_view kPreviewSynopsis;
extern const std::string_view kPreviewHelp;

// Takes its own arguments (argv[0] being "preview") and returns the exit
// status: 0 the picture was written; 2 the chart cannot be read, the command
// line is wrong or the picture cannot be written.
int previewCommand(int argc, char** argv);

}  // namespace zorv::chartmake
