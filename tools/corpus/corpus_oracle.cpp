// corpus-oracle: a stand-in for the chart maker that reads the answer: it
// charts a corpus song from its ground truth (the .truth file beside the
// audio), optionally shifted, so the benchmark can be shown to measure right
// before the real maker exists, and stays checkable after.
//
//   corpus-oracle AUDIO [--level easy|medium|hard] -o CHART [--shift MS]
//
// Easy takes the beats, medium the beats and the half beats that have an
// onset, hard every onset; notes are thinned to a level's spacing, kept
// within the game's note limit and dealt to the lanes in turn.

#include "charting/Charting.h"
#include "tools/chartfile/Write.h"
#include "tools/corpus/Truth.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace zorv;

int usage()
{
    std::fprintf(stderr, "usage: corpus-oracle AUDIO [--level easy|medium|hard] -o CHART [--shift MS]\n");
    return 2;
}

std::vector<double> candidates(const corpus::Truth& truth, const std::string& level)
{
    std::vector<double> onsets;
    for (const auto& o : truth.onsets)
        onsets.push_back(o.ms);
    if (level == "hard")
        return onsets;
    const auto hasOnset = [&onsets](double ms) {
        const auto it = std::lower_bound(onsets.begin(), onsets.end(), ms - 1.0);
        return it != onsets.end() && *it <= ms + 1.0;
    };
    std::vector<double> out;
    for (std::size_t i = 0; i < truth.beats.size(); ++i) {
        const double beat = truth.beats[i].ms;
        if (hasOnset(beat))
            out.push_back(beat);
        if (level == "medium" && i + 1 < truth.beats.size()) {
            const double half = 0.5 * (beat + truth.beats[i + 1].ms);
            const auto it = std::lower_bound(onsets.begin(), onsets.end(), half - 40.0);
            if (it != onsets.end() && *it <= half + 40.0)
                out.push_back(*it);
        }
    }
    return out;
}

// Keeps notes at least `gap` apart; widens the gap until the game's limit holds.
std::vector<int> thin(const std::vector<double>& times, double firstMs, double lastMs, double gap)
{
    for (;; gap *= 1.1) {
        std::vector<int> kept;
        double last = -1e9;
        for (const double t : times) {
            if (t < firstMs || t > lastMs || t - last < gap)
                continue;
            kept.push_back(static_cast<int>(std::lround(t)));
            last = t;
        }
        if (kept.size() <= static_cast<std::size_t>(charting::kMaxNotes))
            return kept;
    }
}

// The chart, dealt to the lanes in turn, shifted by `shift` ms.
std::string oracleChart(const corpus::Truth& truth, const std::string& level, const std::string& audio, int shift)
{
    // Three lanes' worth of notes pass before a lane comes round again, and
    // sixteen before its fifth note: 260 ms apart keeps both lane rules.
    const double gap = level == "easy" ? 600.0 : level == "medium" ? 400.0 : 260.0;
    const double first = charting::kLeadMs;
    const double last = truth.lengthMs - (kArrowLifetime - charting::kLeadMs) - 100.0;
    std::vector<ChartNote> notes;
    int lane = 0;
    for (const int beat : thin(candidates(truth, level), first, last, gap)) {
        notes.push_back({lane + 1, beat - charting::kLeadMs + shift});
        lane = (lane + 1) % kLaneCount;
    }
    return chartfile::chartText(truth.name, audio, notes);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string level = "medium", out;
    int shift = 0;
    fs::path audio;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--level" && i + 1 < argc) {
            level = argv[++i];
        } else if (arg == "-o" && i + 1 < argc) {
            out = argv[++i];
        } else if (arg == "--shift" && i + 1 < argc) {
            const std::string_view value = argv[++i];
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), shift);
            if (ec != std::errc() || end != value.data() + value.size())
                return usage();
        } else if (!arg.empty() && arg[0] != '-' && audio.empty()) {
            audio = arg;
        } else {
            return usage();
        }
    }
    if (audio.empty() || out.empty() || (level != "easy" && level != "medium" && level != "hard"))
        return usage();
    try {
        fs::path truthPath = audio;
        std::ifstream file(truthPath.replace_extension(".truth"), std::ios::binary);
        if (!file)
            throw std::runtime_error("no truth beside " + audio.string());
        const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        const auto chart = oracleChart(corpus::parseTruth(text), level, audio.filename().string(), shift);
        std::ofstream(out, std::ios::binary) << chart;
        if (!std::ifstream(out))
            throw std::runtime_error("cannot write " + out);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corpus-oracle: %s\n", e.what());
        return 2;
    }
    return 0;
}
