// zorv-open: the songs a player opens with the game, made ready to play. The
// launcher runs it for `zorv SONG [SONG]` (and the desktop for a song opened
// with Zorv), then starts the game in the songs folder it prints. It finds
// the charts made before for the same songs in the user's data folder, or
// makes them there; see Dialogs.h for what the player sees and the exit
// status.

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/open/Charts.h"
#include "tools/open/Dialogs.h"
#include "tools/open/SongCache.h"

namespace {

// Qt gives up when there is no display to show a window on: the reason goes
// to stderr, and the launcher starts no game.
void exitOnFatal(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    std::fprintf(stderr, "zorv: %s\n", qPrintable(message));
    if (type == QtFatalMsg) {
        std::fflush(stderr);
        std::_Exit(zorv::opensong::kCannotUse);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace zorv::opensong;
    std::vector<std::filesystem::path> songs;
    bool options = true;
    std::string wrong;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options && arg == "--")
            options = false;
        else if (options && arg.size() > 1 && arg[0] == '-')
            wrong = "unknown option " + std::string(arg) + " (usage: zorv [SONG [SONG]])";
        else
            songs.emplace_back(arg);
    }
    qInstallMessageHandler(exitOnFatal);
    // Only our own name: Qt would take a song called "-style" for its option.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName("Zorv");
    // The menu entry's name and icon, as the desktop shows them.
    QGuiApplication::setDesktopFileName("zorv");
    QApplication::setWindowIcon(QIcon::fromTheme("zorv"));
    if (!wrong.empty())
        return refuse(kCannotUse, "cannot open songs", "Zorv cannot open songs", wrong);
    if (songs.empty())
        return refuse(kCannotUse, "cannot open songs", "Zorv cannot open songs", "no song given");
    if (songs.size() > kMostSongs)
        return refuse(kCannotUse, "one or two songs at a time", "Zorv opens one or two songs at a time",
                      std::to_string(songs.size()) + " were given");
    const std::filesystem::path cache = cacheFolderFor(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    return openWithWindows(songs, cache, "zorv charts " ZORV_VERSION);
}
