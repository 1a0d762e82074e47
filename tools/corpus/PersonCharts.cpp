#include "PersonCharts.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string>

namespace zorv::corpus {
namespace {

constexpr std::array<int, kPersonLevels> kLowestKey = {60, 72, 84, 96};
constexpr int kButtons = 5;

bool isGuitar(std::string name)
{
    for (auto& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name.find("GUITAR") != std::string::npos;
}

// The grid lines at every `parts`-th of a quarter from 0 to the file's end
// (to the nearest tick when a quarter's ticks do not divide).
std::vector<double> grid(const MidiFile& midi, int parts)
{
    std::vector<double> out;
    for (std::int64_t k = 0;; ++k) {
        const std::int64_t tick = k * midi.ticksPerQuarter / parts;
        if (tick > midi.endTick)
            return out;
        out.push_back(midi.msAt(tick));
    }
}

std::vector<double> barLines(const MidiFile& midi)
{
    std::vector<double> out;
    std::vector<MidiMeter> meters = midi.meters;
    if (meters.empty() || meters.front().tick > 0)
        meters.insert(meters.begin(), MidiMeter{});
    std::int64_t tick = 0;
    for (std::size_t i = 0; i < meters.size(); ++i) {
        const std::int64_t until = i + 1 < meters.size() ? meters[i + 1].tick : midi.endTick + 1;
        const std::int64_t bar = std::max<std::int64_t>(
            1, std::int64_t{midi.ticksPerQuarter} * 4 * meters[i].numerator / std::max(1, meters[i].denominator));
        for (tick = std::max(tick, meters[i].tick); tick < until; tick += bar)
            out.push_back(midi.msAt(tick));
    }
    return out;
}

// Weighs each tempo by how long it holds between the first and last note.
double longestTempo(const MidiFile& midi, std::int64_t from, std::int64_t to)
{
    std::map<std::int32_t, double> held;
    for (std::size_t i = 0; i < midi.tempos.size(); ++i) {
        const std::int64_t start = std::max(from, midi.tempos[i].tick);
        const std::int64_t end = i + 1 < midi.tempos.size() ? std::min(to, midi.tempos[i + 1].tick) : to;
        if (end > start)
            held[midi.tempos[i].microsPerQuarter] += midi.msAt(end) - midi.msAt(start);
    }
    if (held.empty())
        return midi.bpmAt(from);
    const auto most = std::max_element(held.begin(), held.end(), [](auto& a, auto& b) { return a.second < b.second; });
    return 60e6 / most->first;
}

}  // namespace

int PersonCharts::hardest() const
{
    for (int level = kPersonLevels - 1; level >= 0; --level)
        if (!levels[static_cast<std::size_t>(level)].empty())
            return level;
    return -1;
}

std::vector<double> PersonCharts::allNotes() const
{
    std::vector<double> out;
    for (const auto& level : levels)
        out.insert(out.end(), level.begin(), level.end());
    std::sort(out.begin(), out.end());
    return out;
}

PersonCharts personCharts(const MidiFile& midi)
{
    const bool named = std::any_of(midi.tracks.begin(), midi.tracks.end(), isGuitar);
    PersonCharts out;
    std::array<std::vector<std::int64_t>, kPersonLevels> ticks;
    for (const MidiNote& note : midi.notes) {
        if (named && !isGuitar(midi.tracks[static_cast<std::size_t>(note.track)]))
            continue;
        for (std::size_t level = 0; level < kPersonLevels; ++level)
            if (note.key >= kLowestKey[level] && note.key < kLowestKey[level] + kButtons)
                ticks[level].push_back(note.tick);
    }
    std::int64_t first = midi.endTick, last = 0;
    for (std::size_t level = 0; level < kPersonLevels; ++level) {
        auto& t = ticks[level];
        t.erase(std::unique(t.begin(), t.end()), t.end());  // a chord is one time; notes come sorted by tick
        for (const std::int64_t tick : t)
            out.levels[level].push_back(midi.msAt(tick));
        if (!t.empty()) {
            first = std::min(first, t.front());
            last = std::max(last, t.back());
        }
    }
    out.quarters = grid(midi, 1);
    out.eighths = grid(midi, 2);
    out.bars = barLines(midi);
    out.tempoBpm = longestTempo(midi, std::min(first, last), last);
    return out;
}

}  // namespace zorv::corpus
