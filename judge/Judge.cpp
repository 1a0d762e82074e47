#include "judge/Judge.h"

#include "chart/Saturating.h"

#include <optional>

namespace zorv {
namespace {

struct Window {
    std::int32_t topFrom;  // inclusive
    std::int32_t topTo;    // inclusive
    std::int32_t scoreChange;
    std::int32_t ScoreBoard::*count;
    Box countBox;
    Picture picture;
};

// Tested in this order on every press.
constexpr Window kWindows[] = {
    {81, 110, -100, &ScoreBoard::missCount, Box::Edit5, Picture::missi},
    {0, 20, +100, &ScoreBoard::greatCount, Box::Edit8, Picture::greati},
    {21, 50, +50, &ScoreBoard::goodCount, Box::Edit7, Picture::goodi},
    {51, 80, -50, &ScoreBoard::badCount, Box::Edit6, Picture::badi},
};

struct KeyLane {
    int firstSlot;
    Picture target;
};

std::optional<KeyLane> laneOfKey(std::uint16_t key) noexcept
{
    switch (key) {
    case kKeyLeft: return KeyLane{0, Picture::bleft};
    case kKeyUp: return KeyLane{4, Picture::bup};
    case kKeyRight: return KeyLane{12, Picture::bright};
    case kKeyDown: return KeyLane{8, Picture::bdown};
    default: return std::nullopt;
    }
}

void judge(Game& game, const Window& window)
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
    const std::optional<KeyLane> lane = laneOfKey(key);
    if (!lane)
        return;
    game.field.setVisible(lane->target, false);
    for (const Window& window : kWindows) {
        for (int slot = lane->firstSlot; slot < lane->firstSlot + 4; ++slot) {
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
    const std::optional<KeyLane> lane = laneOfKey(key);
    if (!lane)
        return;
    game.field.setVisible(lane->target, true);
    for (Picture picture : {Picture::greati, Picture::missi, Picture::goodi, Picture::badi})
        game.field.setVisible(picture, false);
}

}  // namespace zorv
