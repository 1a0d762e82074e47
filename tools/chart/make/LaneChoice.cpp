#include "tools/chart/make/LaneChoice.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "charting/Charting.h"

namespace zorv::chartmake {
namespace {

// A note's pitch is ranked among this many pitched notes either side: the
// melody's range right there, not the whole song's. Counted in notes, not
// in time: in a sparse chart (a long song thinned to kMaxNotes, notes 10 s
// apart) a window in time held the note alone, every note ranked in the
// middle and the left lane went unused.
constexpr int kContourReach = 4;
constexpr float kSamePitch = 0.5f;  // semitones

// The lane the melody asks for, 1..4; 0 for notes without a pitch.
std::vector<int> melodyLanes(const std::vector<Pick>& picks)
{
    std::vector<std::size_t> pitched;
    for (std::size_t i = 0; i < picks.size(); ++i) {
        if (picks[i].pitch > 0)
            pitched.push_back(i);
    }
    std::vector<int> lanes(picks.size(), 0);
    for (std::size_t p = 0; p < pitched.size(); ++p) {
        const Pick& mine = picks[pitched[p]];
        const std::size_t from = p >= kContourReach ? p - kContourReach : 0;
        const std::size_t to = std::min(pitched.size(), p + kContourReach + 1);
        double below = 0;
        double count = 0;
        for (std::size_t q = from; q < to; ++q) {
            const Pick& other = picks[pitched[q]];
            ++count;
            if (std::fabs(other.pitch - mine.pitch) <= kSamePitch)
                below += 0.5;
            else if (other.pitch < mine.pitch)
                below += 1;
        }
        const int quarter = static_cast<int>(below / count * kLaneCount);
        lanes[pitched[p]] = 1 + std::min(quarter, kLaneCount - 1);
    }
    return lanes;
}

// A note and its neighbours, as a melody that may come back: the pitches of
// the two notes before it, its own and the next, to the nearest semitone
// (0 without one), and its spacing to either neighbour to the nearest
// kSameSpacingMs.
constexpr int kSameSpacingMs = 20;
using Motif = std::array<int, 6>;

Motif motifAt(const std::vector<Pick>& picks, std::size_t i)
{
    const auto pitchAt = [&](std::ptrdiff_t k) {
        return k >= 0 && k < static_cast<std::ptrdiff_t>(picks.size())
                   ? static_cast<int>(std::lround(picks[static_cast<std::size_t>(k)].pitch))
                   : -1;
    };
    const auto spacing = [&](std::size_t a, std::size_t b) {
        return b < picks.size() ? static_cast<int>(std::lround((picks[b].ms - picks[a].ms) / double(kSameSpacingMs)))
                                : -1;
    };
    const auto k = static_cast<std::ptrdiff_t>(i);
    return {pitchAt(k - 2),   pitchAt(k - 1), pitchAt(k), pitchAt(k + 1), i > 0 ? spacing(i - 1, i) : -1,
            spacing(i, i + 1)};
}

struct Lanes {
    std::array<std::vector<std::int32_t>, kLaneCount> times;
    std::array<std::size_t, kLaneCount> lastUsed{};  // 1 + index of the note, 0 never
    int lastLane = 0;
    int run = 0;
    float lastPitch = 0;
    std::map<Motif, int> laneOf;  // the lane each motif took when first heard
};

bool takes(const Lanes& lanes, int lane, std::int32_t timeMs, Level level, std::size_t most)
{
    const auto& times = lanes.times[static_cast<std::size_t>(lane - 1)];
    if (times.size() >= most || !charting::fitsLane(times, timeMs))
        return false;
    return !(level == Level::easy && lane == lanes.lastLane && lanes.run >= kEasyRun);
}

// Lanes to try, best first: nearest the melody's lane, on a tie the side the
// melody moves to; without a pitch, the lane used longest ago.
std::array<int, kLaneCount> melodyPreference(const Lanes& lanes, int wanted, float pitch)
{
    std::array<int, kLaneCount> order{1, 2, 3, 4};
    if (wanted == 0) {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return lanes.lastUsed[static_cast<std::size_t>(a - 1)] < lanes.lastUsed[static_cast<std::size_t>(b - 1)];
        });
        return order;
    }
    const bool rising = lanes.lastPitch > 0 && pitch > lanes.lastPitch;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int da = std::abs(a - wanted);
        const int db = std::abs(b - wanted);
        if (da != db)
            return da < db;
        return rising ? a > b : a < b;
    });
    return order;
}

// As melodyPreference, but first the lane the same motif took when it was
// first heard: a melody that comes back comes back in the same lanes.
std::array<int, kLaneCount> preference(const Lanes& lanes, int wanted, float pitch, const Motif& motif)
{
    std::array<int, kLaneCount> order = melodyPreference(lanes, wanted, pitch);
    const auto before = lanes.laneOf.find(motif);
    if (before != lanes.laneOf.end()) {
        const auto at = std::find(order.begin(), order.end(), before->second);
        std::rotate(order.begin(), at, at + 1);
    }
    return order;
}

// One pass in time order; the indexes of picks no lane could take.
std::vector<std::size_t> assign(const std::vector<Pick>& picks, Level level, LaneChoice& choice)
{
    const std::vector<int> wanted = melodyLanes(picks);
    const auto most = std::max<std::size_t>(1, static_cast<std::size_t>(kMostOfOneLane * picks.size()));
    Lanes lanes;
    std::vector<std::size_t> dropped;
    choice = {};
    for (std::size_t i = 0; i < picks.size(); ++i) {
        const std::int32_t timeMs = picks[i].ms - charting::kLeadMs;
        int chosen = 0;
        const Motif motif = motifAt(picks, i);
        for (int lane : preference(lanes, wanted[i], picks[i].pitch, motif)) {
            if (takes(lanes, lane, timeMs, level, most)) {
                chosen = lane;
                break;
            }
        }
        if (chosen == 0) {
            dropped.push_back(i);
            continue;
        }
        const auto index = static_cast<std::size_t>(chosen - 1);
        lanes.times[index].push_back(timeMs);
        lanes.lastUsed[index] = i + 1;
        lanes.run = chosen == lanes.lastLane ? lanes.run + 1 : 1;
        lanes.lastLane = chosen;
        lanes.laneOf.try_emplace(motif, chosen);
        if (picks[i].pitch > 0)
            lanes.lastPitch = picks[i].pitch;
        choice.notes.push_back({chosen, timeMs});
        ++choice.perLane[index];
    }
    return dropped;
}

}  // namespace

LaneChoice chooseLanes(const std::vector<Pick>& picks, Level level)
{
    std::vector<Pick> kept = picks;
    LaneChoice choice;
    int noLane = 0;
    for (;;) {
        const std::vector<std::size_t> dropped = assign(kept, level, choice);
        if (dropped.empty())
            break;
        // Fewer notes lower every lane's share: choose again without them.
        noLane += static_cast<int>(dropped.size());
        for (auto it = dropped.rbegin(); it != dropped.rend(); ++it)
            kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(*it));
    }
    choice.noLane = noLane;
    return choice;
}

}  // namespace zorv::chartmake
