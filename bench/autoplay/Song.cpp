#include "bench/autoplay/Song.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "chart/Chart.h"
#include "core/Lanes.h"
#include "tools/chart/make/Decode.h"

namespace zorv::autoplay {

SongSound decodeSong(const std::string& path)
{
    SongSound song;
    song.rate = chartmake::kDecodeRate;
    song.mono.reserve(static_cast<std::size_t>(song.rate) * 240);
    const auto decoded = chartmake::decodeAudio(path, [&song](const std::int16_t* samples, std::size_t frames) {
        for (std::size_t i = 0; i < frames; ++i) {
            const float v = (static_cast<float>(samples[2 * i]) + static_cast<float>(samples[2 * i + 1])) / 65536.0f;
            song.mono.push_back(v);
            song.peak = std::max(song.peak, std::abs(v));
        }
    });
    song.lengthMs = decoded.lengthMs;
    return song;
}

std::int64_t firstLoudSample(const std::vector<float>& mono, float threshold)
{
    for (std::size_t i = 0; i < mono.size(); ++i) {
        if (std::abs(mono[i]) >= threshold)
            return static_cast<std::int64_t>(i);
    }
    return -1;
}

std::vector<Note> chartNotes(const std::string& path)
{
    ChartTable chart{};
    std::int32_t next = 0;
    if (!loadChart(chart, next, path.c_str()))
        throw std::runtime_error("cannot open the chart " + path);
    return zorv::chartNotes(chart);
}

std::string chartAudio(const std::string& chartPath)
{
    ChartTable chart{};
    std::int32_t next = 0;
    if (!loadChart(chart, next, chartPath.c_str()))
        throw std::runtime_error("cannot open the chart " + chartPath);
    const std::filesystem::path name(chart[0].col2);
    // The game opens it relative to its working directory, the chart's folder.
    return name.is_absolute() ? name.string() : (std::filesystem::path(chartPath).parent_path() / name).string();
}

std::vector<double> truthOnsetsMs(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read the ground truth " + path);
    std::vector<double> onsets;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind;
        double ms = 0;
        if (fields >> kind >> ms && kind == "onset")
            onsets.push_back(ms);
    }
    return onsets;
}

}  // namespace zorv::autoplay
