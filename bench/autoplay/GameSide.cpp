#include "bench/autoplay/GameSide.h"

#include <algorithm>
#include <string_view>

#include "app/Layout.h"
#include "core/Lanes.h"
#include "judge/Judge.h"
#include "play/Play.h"
#include "state/Field.h"

namespace zorv::autoplay {
namespace {

const layout::Control& control(std::string_view name)
{
    for (const auto& row : layout::kControls) {
        if (name == row.name)
            return row;
    }
    return layout::kControls[0];
}

// The lane (1..4) whose new arrow this rectangle is: the arrow shown at its
// parking place and moved one step up, drawn at once. Where another lane's
// arrow shares some rows with it, the region comes in bands, so only the
// bottom edge is sure: no other arrow reaches below the parking place.
int spawnLane(const Damage& d)
{
    const int bottom = d.y + d.height;
    if (d.width != layout::kArrowSize)
        return 0;
    if (!(bottom == kSpawnTop + layout::kArrowSize && d.y >= kSpawnTop - kStepPerTick) &&
        !(bottom == kFirstLaneTop + layout::kArrowSize && d.y >= kFirstLaneTop - kStepPerTick))
        return 0;
    for (int lane = 0; lane < kLaneCount; ++lane) {
        if (d.x == layout::kLaneLeft[lane])
            return lane + 1;
    }
    return 0;
}

// The judgement whose count box this rectangle is; -1 for none.
int judgementOf(const Damage& d)
{
    const char* boxes[] = {"Edit8", "Edit7", "Edit6", "Edit5"};  // great, good, bad, miss
    for (int j = 0; j < 4; ++j) {
        const layout::Control& box = control(boxes[j]);
        if (d.x == box.left && d.y == box.top && d.width == box.width && d.height == box.height)
            return j;
    }
    return -1;
}

}  // namespace

std::vector<NoteSeen> readNotes(const std::vector<Damage>& drawn, const std::vector<Note>& notes,
                                const std::vector<std::int64_t>& dueNs, const std::vector<std::int64_t>& pressNs)
{
    std::vector<std::vector<std::int64_t>> spawns(kLaneCount + 1);
    std::vector<std::pair<std::int64_t, int>> judged;
    for (const Damage& d : drawn) {
        if (const int lane = spawnLane(d); lane > 0)
            spawns[static_cast<std::size_t>(lane)].push_back(d.atNs);
        else if (const int j = judgementOf(d); j >= 0)
            judged.emplace_back(d.atNs, j);
    }
    std::vector<NoteSeen> seen(notes.size());
    std::size_t next = 0;
    constexpr std::int64_t kMs = 1'000'000;
    for (std::size_t i = 0; i < notes.size() && i < dueNs.size() && i < pressNs.size(); ++i) {
        const auto& lane = spawns[static_cast<std::size_t>(notes[i].lane)];
        const auto spawn = std::lower_bound(lane.begin(), lane.end(), dueNs[i] - kSpawnFromMs * kMs);
        if (spawn != lane.end() && *spawn < dueNs[i] + kSpawnUntilMs * kMs)
            seen[i].spawnNs = *spawn;
        while (next < judged.size() && judged[next].first < pressNs[i])
            ++next;
        if (next < judged.size() && judged[next].first < pressNs[i] + std::int64_t{kJudgedWithinMs} * 1'000'000)
            seen[i].judgement = judged[next].second;
    }
    return seen;
}

}  // namespace zorv::autoplay
