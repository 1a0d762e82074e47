// zorv-chart: checks a chart the way the game will read and play it; makes
// one from any song; draws one against its song. Each command owns its
// synopsis and help; this file only puts them together and dispatches.

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "tools/chart/check/CheckCommand.h"
#include "tools/chart/make/Command.h"
#include "tools/chart/preview/PreviewCommand.h"

namespace {

struct Help {
    std::string_view synopsis;
    std::string_view text;
};

std::string usage()
{
    const Help commands[] = {
        {zorv::chartcheck::kCheckSynopsis, zorv::chartcheck::kCheckHelp},
        {zorv::chartmake::kMakeSynopsis, zorv::chartmake::kMakeHelp},
        {zorv::chartmake::kPreviewSynopsis, zorv::chartmake::kPreviewHelp},
    };
    std::string text = "usage: ";
    text += commands[0].synopsis;
    text += "\n       zorv-chart --version\n";
    for (std::size_t i = 1; i < std::size(commands); ++i)
        text.append("       ").append(commands[i].synopsis).append("\n");
    for (const Help& command : commands)
        text.append("\n").append(command.synopsis).append("\n").append(command.text);
    return text;
}

bool isHelp(const char* arg) { return std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0; }

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("zorv-chart " ZORV_VERSION);
        return 0;
    }
    const bool command = argc >= 2 && (std::strcmp(argv[1], "make") == 0 || std::strcmp(argv[1], "preview") == 0);
    if ((argc == 2 && isHelp(argv[1])) || (argc == 3 && command && isHelp(argv[2]))) {
        std::fputs(usage().c_str(), stdout);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "make") == 0)
        return zorv::chartmake::makeCommand(argc - 1, argv + 1);
    if (argc >= 2 && std::strcmp(argv[1], "preview") == 0)
        return zorv::chartmake::previewCommand(argc - 1, argv + 1);
    if (argc != 2) {
        std::fputs(usage().c_str(), stderr);
        return 2;
    }
    return zorv::chartcheck::checkCommand(argv[1]);
}
