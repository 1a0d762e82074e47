#include "judge/Judge.h"

#include "core/Saturating.h"

namespace zorv {
namespace {

void judge(Game& game, const JudgementWindow& window)
{
    ScoreBoard& board = game.board;
    board.score = saturatingAdd(board.score, window.scoreChange);
    board.*window.count = saturatingAdd(board.*window.count, 1);
    game.field.setNumber(Box::Edit9, board.score);
    game.field.setNumber(window.countBox, board.*window.count);
    game.field.setVisible(window.picture, true);
}

}  // namespace

void keyDown(Game& game, std::uint16_t key)
{
    const std::optional<Lane> lane = laneOfKey(key);
    if (!lane)
        return;
    game.field.setVisible(targetOf(*lane), false);
    // Intended: judged arrows stay in flight, so every press judges them again.
    for (const JudgementWindow& window : kWindows) {
        const int firstSlot = firstSlotOf(*lane);
        for (int slot = firstSlot; slot < firstSlot + kSlotsPerLane; ++slot) {
            const std::int32_t top = game.field[slotPicture(slot)].top;
            if (top >= window.topFrom && top <= window.topTo) {
                judge(game, window);
                break;
            }
        }
    }
}

void keyUp(Game& game, std::uint16_t key)
{
    const std::optional<Lane> lane = laneOfKey(key);
    if (!lane)
        return;
    game.field.setVisible(targetOf(*lane), true);
    for (Picture picture : {Picture::greati, Picture::missi, Picture::goodi, Picture::badi})
        game.field.setVisible(picture, false);
}

}  // namespace zorv
