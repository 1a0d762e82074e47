#include "GameSide.h"

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
// parking place and moved one step up, both drawn at once.
int spawnLane(const Damage& d)
{
    if (d.width != layout::kArrowSize || d.height != layout::kArrowSize + kStepPerTick)
        return 0;
    if (d.y != kSpawnTop - kStepPerTick && d.y != kFirstLaneTop - kStepPerTick)
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
                                const std::vector<std::int64_t>& pressNs)
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
    std::vector<std::size_t> used(kLaneCount + 1, 0);
    std::size_t next = 0;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        auto& lane = spawns[static_cast<std::size_t>(notes[i].lane)];
        auto& u = used[static_cast<std::size_t>(notes[i].lane)];
        if (u < lane.size())
            seen[i].spawnNs = lane[u++];
        if (i >= pressNs.size())
            continue;
        while (next < judged.size() && judged[next].first < pressNs[i])
            ++next;
        if (next < judged.size() && judged[next].first < pressNs[i] + std::int64_t{kJudgedWithinMs} * 1'000'000)
            seen[i].judgement = judged[next].second;
    }
    return seen;
}

}  // namespace zorv::autoplay
