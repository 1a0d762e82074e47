// make-songs: writes the game's charts and, unless told otherwise, renders
// the songs to WAV for tools/songs/make-songs.sh to encode.
//
//   make-songs [--charts-only] [--wav-dir <dir>] <chart-dir>

#include "tools/songs/SongChart.h"
#include "tools/songs/Songs.h"
#include "tools/songs/Synth.h"

#include <array>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: make-songs [--charts-only] [--wav-dir <dir>] <chart-dir>\n");
    return 2;
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary);
    file << text;
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace zorv::songs;
    bool chartsOnly = false;
    std::string chartDir;
    std::string wavDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--charts-only") {
            chartsOnly = true;
        } else if (arg == "--wav-dir" && i + 1 < argc) {
            wavDir = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && chartDir.empty()) {
            chartDir = arg;
        } else {
            return usage();
        }
    }
    if (chartDir.empty())
        return usage();
    if (wavDir.empty())
        wavDir = chartDir;

    try {
        for (const auto& song : allSongs()) {
            const auto chart = chartForSong(song);
            writeText(chartDir + "/" + song.name + ".txt", chartText(chart));
            std::array<int, 5> lanes{};
            for (const auto& n : chart.notes)
                ++lanes[static_cast<std::size_t>(n.lane)];
            std::printf("%s: %d BPM, %d bars, %.1f s, %zu notes (lanes %d/%d/%d/%d), first at %d ms, last at %d ms\n",
                        song.name.c_str(), song.bpm, song.bars, songMs(song) / 1000.0, chart.notes.size(), lanes[1],
                        lanes[2], lanes[3], lanes[4], chart.notes.front().timeMs, chart.notes.back().timeMs);
            if (chartsOnly)
                continue;
            RenderStats stats;
            const auto samples = renderSong(song, stats);
            writeWav(wavDir + "/" + song.name + ".wav", samples);
            std::printf("  peak %.2f dBFS, RMS %.2f dBFS, limiter down to %.2f dB\n", stats.peakDb, stats.rmsDb,
                        stats.limitedDb);
            for (const auto& p : stats.parts)
                std::printf("    %-8s %6.1f dB\n", p.name.c_str(), p.db);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-songs: %s\n", e.what());
        return 1;
    }
    return 0;
}
