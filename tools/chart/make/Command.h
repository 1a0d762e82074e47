#pragma once
// zorv-chart make: the chart maker's command line.

#include <cstdint>
#include <string>
#include <string_view>

namespace zorv::chartmake {

// The command as zorv-chart --help shows it: the synopsis line, then the
// help under it (ending in a newline).
extern const std::string_view kMakeSynopsis;
extern const std::string_view kMakeHelp;

// Takes its own arguments (argv[0] being "make") and returns the exit
// status: 0 the chart was written; 1 the song cannot hold a chart (the cause on
// stderr, nothing written); 2 the audio cannot be read or decoded, the
// command line is wrong, or the output cannot be written (nothing written).
int makeCommand(int argc, char** argv);

// Held while a song is decoded: stderr goes to /dev/null, since libmpg123
// tells it whatever it finds odd in a file ("Note: Illegal Audio-MPEG-Header
// 0x00000000 at offset 2.") and the user gets one clear cause from us
// instead. Called with the decoder's progress, it draws a progress line on
// the real stderr when that is a terminal and the song a minute or longer.
class Listening {
public:
    explicit Listening(std::string name);
    ~Listening();
    Listening(const Listening&) = delete;
    Listening& operator=(const Listening&) = delete;

    void operator()(std::int64_t done, std::int64_t expected);

private:
    std::string name_;
    int stderr_;
    bool shown_ = false;
    bool drawn_ = false;
};

}  // namespace zorv::chartmake
