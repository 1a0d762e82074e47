#pragma once
// The zorv-chart commands of the chart maker. Each takes its own arguments
// (argv[0] being the command's name) and returns the exit status.

#include <cstdint>
#include <string>

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
