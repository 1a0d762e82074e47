#include "play/Play.h"

#include "core/Saturating.h"

#include <cstring>

namespace zorv {
namespace {

void showMinutesAndSeconds(Field& field, Box minutes, Box seconds, std::int32_t ms)
{
    field.setNumber(minutes, ms / 1000 / 60);
    field.setNumber(seconds, (ms / 1000) % 60);
}

}  // namespace

void spawn(Game& game, Lane lane)
{
    // Past the table there is no note to spawn: the chart has ended.
    if (game.nextNote < 1 || game.nextNote >= kChartRecords)
        return;
    const int firstSlot = firstSlotOf(lane);
    for (int slot = firstSlot; slot < firstSlot + kSlotsPerLane; ++slot) {
        const Picture picture = slotPicture(slot);
        if (!game.field[picture].visible) {
            game.field.setVisible(picture, true);
            const std::int32_t noteTime = chartNumber(game.chart[game.nextNote].col2);
            game.expireAt[slot] = saturatingAdd(noteTime, kArrowLifetime);
            break;
        }
    }
    ++game.nextNote;
}

void tick(Game& game, std::int32_t t)
{
    tick(game, t, [&game](Lane lane) { spawn(game, lane); });
}

void tick(Game& game, std::int32_t t, const std::function<void(Lane)>& spawnInto)
{
    showMinutesAndSeconds(game.field, Box::Edit1, Box::Edit2, t);

    // Past record 299 the chart has ended, as at a record with no valid lane.
    if (game.nextNote >= 1 && game.nextNote < kChartRecords) {
        const ChartLine& note = game.chart[game.nextNote];
        if (chartNumber(note.col2) <= t) {
            const std::int32_t lane = chartNumber(note.col1);
            if (isLane(lane))
                spawnInto(static_cast<Lane>(lane));
        }
    }

    // Hold while the note dispatched last is still ahead of the music. Intended:
    // while the cursor is on note 1 this reads the header's audio file name.
    if (game.nextNote >= 1 && game.nextNote <= kChartRecords && chartNumber(game.chart[game.nextNote - 1].col2) > t)
        return;

    for (int slot = 0; slot < kSlotCount; ++slot) {
        const Picture picture = slotPicture(slot);
        if (!game.field[picture].visible)
            continue;
        game.field.setTop(picture, saturatingAdd(game.field[picture].top, -kStepPerTick));
        // Intended: an arrow retired unpressed costs nothing.
        if (t >= game.expireAt[slot]) {
            game.field.setVisible(picture, false);
            game.field.setTop(picture, kSpawnTop);
        }
    }
}

std::string audioFileName(const Game& game)
{
    const char* name = game.chart[0].col2;
    return std::string(name, strnlen(name, ChartLine::kFieldSize - 1));
}

void rewindChart(Game& game) { game.nextNote = 1; }

void showLength(Game& game, std::int32_t lengthMs)
{
    showMinutesAndSeconds(game.field, Box::Edit3, Box::Edit4, lengthMs < 0 ? 0 : lengthMs);
}

}  // namespace zorv
