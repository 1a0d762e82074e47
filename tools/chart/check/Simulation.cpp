#include "tools/chart/check/Simulation.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "charting/Charting.h"
#include "core/Lanes.h"
#include "judge/Judge.h"
#include "play/Play.h"

namespace zorv::chartcheck {
namespace {

// A slot is pressed on the tick it first stands in the great window: Top 17,
// or 14 for a lane-1 slot still at its never-used 584. Both sit early in the
// window, so a press there is as good as a player can do and shows what a
// following arrow adds.
constexpr std::int32_t kPressRise = charting::kFirstGreatTick * kStepPerTick;

// Hears which slots the rules show and hide during one step.
class SlotWatch final : public Display {
public:
    std::vector<int> shown;
    std::vector<int> hidden;

    void clear()
    {
        shown.clear();
        hidden.clear();
    }
    void pictureShown(Picture picture, bool visible) override
    {
        const int slot = static_cast<int>(picture) - kFirstSlot;
        if (slot >= 0 && slot < kSlotCount)
            (visible ? shown : hidden).push_back(slot);
    }
    void pictureMoved(Picture, std::int32_t) override {}
    void textSet(Box, std::string_view) override {}
};

class Simulation {
public:
    Simulation(const ChartTable& chart, int lastNote, std::int32_t lastPosition)
        : chart_(chart), lastNote_(lastNote), lastPosition_(lastPosition), game_(std::make_unique<Game>())
    {
        game_->chart = chart;
        game_->field.setDisplay(&watch_);
    }

    Run run();

private:
    std::int32_t topOf(int slot) const { return game_->field[slotPicture(slot)].top; }
    bool shown(int slot) const { return game_->field[slotPicture(slot)].visible; }
    std::int32_t position(std::int64_t k) const
    {
        return static_cast<std::int32_t>(std::min<std::int64_t>(k * kTickMs, lastPosition_));
    }
    bool anyShown() const;
    bool anyBeforeTargets() const;  // could still be pressed or crowd another
    void step(std::int32_t t);
    void noteDispatched(int record, std::int32_t t, const std::array<std::int32_t, kSlotCount>& topBefore);
    void noteRetirements(std::int32_t t);
    void findClashes(std::int32_t t);
    void pressArrivals();

    const ChartTable& chart_;
    const int lastNote_;
    const std::int32_t lastPosition_;
    std::unique_ptr<Game> game_;  // the chart table is 60 kB
    SlotWatch watch_;
    Run run_;
    std::array<int, kSlotCount> holder_{};  // record whose arrow is in the slot, 0 none
    std::array<std::int32_t, kSlotCount> pressTop_{};
    std::set<std::pair<int, int>> clashSeen_;
};

Run Simulation::run()
{
    for (std::int64_t k = 0;; ++k) {
        std::int32_t t = position(k);
        const bool cursorDone = game_->nextNote > lastNote_;
        const std::int32_t nextTime = cursorDone ? 0 : timeOf(chart_, game_->nextNote);
        const bool noMoreNotes = cursorDone || nextTime > lastPosition_;
        if (noMoreNotes && !anyBeforeTargets())
            break;
        // With nothing on screen, ticks before the next note's time change
        // nothing the rules keep, so jump over them. Never while an arrow is
        // shown: its retirement decides whether a later note finds room.
        if (!anyShown() && nextTime > t) {
            k = (static_cast<std::int64_t>(nextTime) + kTickMs - 1) / kTickMs;
            t = position(k);
        }
        step(t);
    }

    run_.perfect.score = game_->board.score;
    run_.perfect.great = game_->board.greatCount;
    run_.perfect.good = game_->board.goodCount;
    run_.perfect.bad = game_->board.badCount;
    run_.perfect.miss = game_->board.missCount;
    return std::move(run_);
}

bool Simulation::anyShown() const
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (shown(slot))
            return true;
    }
    return false;
}

bool Simulation::anyBeforeTargets() const
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (shown(slot) && topOf(slot) >= 0)
            return true;
    }
    return false;
}

// One tick of the game at `t`, and what it did to the notes.
void Simulation::step(std::int32_t t)
{
    std::array<std::int32_t, kSlotCount> topBefore{};
    for (int slot = 0; slot < kSlotCount; ++slot)
        topBefore[slot] = topOf(slot);
    const int record = game_->nextNote;
    watch_.clear();
    tick(*game_, t);

    if (game_->nextNote != record)
        noteDispatched(record, t, topBefore);
    noteRetirements(t);
    findClashes(t);
    pressArrivals();
}

void Simulation::noteDispatched(int record, std::int32_t t, const std::array<std::int32_t, kSlotCount>& topBefore)
{
    NoteRun& note = run_.notes[record];
    note.dispatchedAt = t;
    if (!watch_.shown.empty()) {
        note.slot = watch_.shown.front();
        holder_[note.slot] = record;
        pressTop_[note.slot] = topBefore[note.slot] - kPressRise;
        return;
    }
    const int first = firstSlotOf(static_cast<Lane>(laneOf(chart_, record)));
    for (int slot = first; slot < first + kSlotsPerLane; ++slot) {
        if (holder_[slot] != 0)
            note.laneHolders.push_back(holder_[slot]);
    }
}

void Simulation::noteRetirements(std::int32_t t)
{
    for (int slot : watch_.hidden) {
        if (holder_[slot] != 0) {
            run_.notes[holder_[slot]].retiredAt = t;
            holder_[slot] = 0;
        }
    }
}

// Two arrows of a lane clash when one is in the great window while the
// other is in a different window: a press meant for the first scores the
// second as well. Two arrows in the same window do not, as a press judges
// each window once. Since every shown arrow rises 10 px a tick, this comes
// down to notes of a lane spawning 10 ticks or less apart.
void Simulation::findClashes(std::int32_t t)
{
    for (int a = 0; a < kSlotCount; ++a) {
        const JudgementWindow* bandA = windowAt(topOf(a));
        if (holder_[a] == 0 || bandA == nullptr || bandA->judgement != Judgement::great)
            continue;
        const int first = firstSlotOf(laneOfSlot(a));
        for (int b = first; b < first + kSlotsPerLane; ++b) {
            const JudgementWindow* bandB = windowAt(topOf(b));
            if (b == a || holder_[b] == 0 || bandB == nullptr || bandB == bandA)
                continue;
            if (clashSeen_.insert({holder_[a], holder_[b]}).second)
                run_.clashes.push_back({holder_[a], holder_[b], t, topOf(a), topOf(b), bandB->name});
        }
    }
}

// Presses each arrow once, when it reaches the Top it is pressed at.
void Simulation::pressArrivals()
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const int pressed = holder_[slot];
        if (pressed == 0 || run_.notes[pressed].pressed || topOf(slot) != pressTop_[slot])
            continue;
        const ScoreBoard before = game_->board;
        keyDown(*game_, keyOfLane(laneOfSlot(slot)));
        keyUp(*game_, keyOfLane(laneOfSlot(slot)));
        run_.notes[pressed].pressed = true;
        const ScoreBoard& after = game_->board;
        const int judged = (after.greatCount != before.greatCount) + (after.goodCount != before.goodCount) +
                           (after.badCount != before.badCount) + (after.missCount != before.missCount);
        ++run_.perfect.presses;
        if (judged > 1)
            ++run_.perfect.pressesJudgingMore;
    }
}

}  // namespace

Run simulate(const ChartTable& chart, int lastNote, std::int32_t lastPosition)
{
    return Simulation(chart, lastNote, lastPosition).run();
}

}  // namespace zorv::chartcheck
