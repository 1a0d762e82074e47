#pragma once
// What the player sees while songs open from the desktop, where no terminal
// shows what goes on: a progress window with the song's name and Cancel
// while charting takes longer than kShowProgressAfterMs, and a message box
// saying in plain words why a song cannot be played. Standard error and the
// exit status say the same for scripts.

#include <filesystem>
#include <string>
#include <vector>

namespace zorv::opensong {

inline constexpr int kShowProgressAfterMs = 500;

// Exit statuses, as zorv-chart make's where they mean the same.
inline constexpr int kOpened = 0;     // the songs folder was printed
inline constexpr int kNoChart = 1;    // a song cannot hold a chart (or ours is wrong)
inline constexpr int kCannotUse = 2;  // a song cannot be read or played, the charts
                                      // cannot be kept, or the command line is wrong
inline constexpr int kCancelled = 3;  // the player cancelled

// Opens `songs` (one or two) in the cache folder `cache` on a worker thread,
// the windows above on this one (a QApplication must exist). Prints the
// songs folder on standard output, or the reason on standard error; returns
// the exit status.
int openWithWindows(const std::vector<std::filesystem::path>& songs, const std::filesystem::path& cache,
                    const std::string& salt);

// Shows `text`, with `reason` under it, in a message box, and says `log`
// and `reason` on standard error; returns `status`. For a command line that
// makes no sense.
int refuse(int status, const std::string& log, const std::string& text, const std::string& reason);

}  // namespace zorv::opensong
