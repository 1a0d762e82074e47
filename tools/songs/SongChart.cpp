#include "tools/songs/SongChart.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>

#include "tools/chart/check/Analysis.h"
#include "tools/chartfile/Write.h"

namespace zorv::songs {
namespace {

constexpr int kLanes = kLaneCount;

// Lane each pitch of a phrase would like: the phrase's notes ordered by
// pitch and cut into four equal shares, a pitch going where its notes fall on
// average. Cutting by notes rather than by distinct pitches keeps a tune that
// dwells on a few middle notes from crowding the middle lanes.
std::map<int, int> wantedLanes(const std::vector<int>& pitches)
{
    std::map<int, int> count;
    for (const int p : pitches)
        ++count[p];
    std::map<int, int> lanes;
    int below = 0;
    const auto total = static_cast<int>(pitches.size());
    for (const auto& [pitch, n] : count) {
        // Middle of this pitch's share, in units of total / 2.
        const int middle = 2 * below + n;
        lanes[pitch] = std::min(kLanes, 1 + middle * kLanes / (2 * total));
        below += n;
    }
    return lanes;
}

using Preference = std::array<int, kLanes>;

// Each note's lanes in order of preference: the wanted one, then the nearer
// ones, ties going the way the melody moves (a repeated pitch leans towards
// the middle of the field).
std::vector<Preference> lanePreferences(const Song& song)
{
    std::map<int, std::vector<int>> phrasePitches;
    for (const auto& cue : song.cues)
        phrasePitches[cue.phrase].push_back(cue.pitch);
    std::map<int, std::map<int, int>> wanted;
    for (const auto& [phrase, pitches] : phrasePitches)
        wanted[phrase] = wantedLanes(pitches);

    std::vector<Preference> preference(song.cues.size());
    for (std::size_t i = 0; i < song.cues.size(); ++i) {
        const auto& cue = song.cues[i];
        const int want = wanted[cue.phrase][cue.pitch];
        const int before = i > 0 ? song.cues[i - 1].pitch : cue.pitch;
        const int lean = cue.pitch > before ? 1 : cue.pitch < before ? -1 : (want <= 2 ? 1 : -1);
        auto& order = preference[i];
        order = {1, 2, 3, 4};
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const int da = std::abs(a - want);
            const int db = std::abs(b - want);
            if (da != db)
                return da < db;
            return (a - want) * lean > (b - want) * lean;
        });
    }
    return preference;
}

// Depth-first over the preferences: a note with no free lane sends the
// search back to try the next choice of the notes before it. Busy passages
// need this; a greedy pass can fill every lane just before one. Returns each
// note's lane, or nothing with `stuck` set to the note the search gave up on.
std::optional<std::vector<int>> laneForEveryCue(const std::vector<Preference>& preference,
                                                const std::vector<int>& times, std::size_t& stuck)
{
    const auto count = times.size();
    std::array<std::vector<int>, kLanes + 1> laneTimes;
    std::vector<int> choice(count, -1);
    std::vector<int> lane(count, 0);
    long budget = 2'000'000;
    std::size_t i = 0;
    while (i < count) {
        if (--budget < 0)
            break;
        if (choice[i] >= 0)
            laneTimes[static_cast<std::size_t>(lane[i])].pop_back();
        bool placed = false;
        while (++choice[i] < kLanes) {
            const int candidate = preference[i][static_cast<std::size_t>(choice[i])];
            if (charting::fitsLane(laneTimes[static_cast<std::size_t>(candidate)], times[i])) {
                lane[i] = candidate;
                laneTimes[static_cast<std::size_t>(candidate)].push_back(times[i]);
                placed = true;
                break;
            }
        }
        if (placed) {
            ++i;
        } else if (i == 0) {
            budget = -1;
            break;
        } else {
            choice[i] = -1;
            --i;
        }
    }
    if (budget < 0) {
        stuck = i;
        return std::nullopt;
    }
    return lane;
}

// The margins our songs keep beyond what the game needs to play them.
std::vector<std::string> marginProblems(const SongChart& chart)
{
    std::vector<std::string> problems;
    if (chart.notes.empty())
        problems.push_back("no notes");
    std::array<std::vector<std::int32_t>, kLanes + 1> laneTimes;
    for (std::size_t i = 0; i < chart.notes.size(); ++i) {
        const ChartNote& n = chart.notes[i];
        if (!isLane(n.lane))
            continue;
        auto& times = laneTimes[static_cast<std::size_t>(n.lane)];
        if (!charting::fitsLane(times, n.timeMs)) {
            problems.push_back("note " + std::to_string(i + 1) + " (" + std::to_string(n.timeMs) +
                               " ms): too close to the notes before it in lane " + std::to_string(n.lane));
        }
        times.push_back(n.timeMs);
    }
    if (!chart.notes.empty() && chart.notes.back().timeMs + kArrowLifetime > chart.audioMs)
        problems.push_back("the song ends before the last arrow has gone");
    return problems;
}

}  // namespace

SongChart chartForSong(const Song& song)
{
    SongChart chart;
    chart.title = song.name;
    chart.audioFile = song.name + ".mp3";
    chart.audioMs = songMs(song);

    std::vector<int> times;
    for (const auto& cue : song.cues)
        times.push_back(stepMs(song.bpm, cue.step) - kLeadMs);
    std::size_t stuck = 0;
    const auto lanes = laneForEveryCue(lanePreferences(song), times, stuck);
    if (!lanes) {
        const auto& cue = song.cues[stuck];
        throw std::runtime_error(song.name + ": no lanes fit the notes around bar " +
                                 std::to_string(cue.step / kStepsPerBar + 1) + ", step " +
                                 std::to_string(cue.step % kStepsPerBar));
    }
    for (std::size_t k = 0; k < times.size(); ++k)
        chart.notes.push_back({(*lanes)[k], times[k]});
    return chart;
}

std::string chartText(const SongChart& chart)
{
    const std::string text = chartfile::chartText(chart.title, chart.audioFile, chart.notes);
    std::vector<std::string> problems = marginProblems(chart);
    const chartcheck::ChartReport report = chartcheck::analyseText(text, chart.audioMs);
    if (report.notes != static_cast<int>(chart.notes.size()) || report.audio.name != chart.audioFile) {
        problems.push_back("the game reads it back as " + std::to_string(report.notes) + " notes to audio file \"" +
                           report.audio.name + "\"");
    }
    for (const auto& finding : report.findings)
        problems.push_back(finding.text);
    if (!problems.empty()) {
        std::string message = chart.title + " chart is broken:";
        for (const auto& p : problems)
            message += "\n  " + p;
        throw std::runtime_error(message);
    }
    return text;
}

}  // namespace zorv::songs
