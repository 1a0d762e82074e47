#pragma once
// Key press and release, and the judgement windows. Key codes are 16-bit
// virtual key codes (core/Lanes.h); any code but the four cursor keys
// changes nothing.

#include <array>
#include <cstdint>

#include "core/Lanes.h"
#include "state/Game.h"

namespace zorv {

enum class Judgement : std::uint8_t { miss, great, good, bad };

// A band of Top (pixels below the target row, both bounds inclusive) and
// what judging an arrow in it does to the score board.
struct JudgementWindow {
    Judgement judgement;
    const char* name;
    std::int32_t topFrom;
    std::int32_t topTo;
    std::int32_t scoreChange;
    std::int32_t ScoreBoard::*count;
    Box countBox;
    Picture picture;
};

// In the order every press tests them. They touch without overlapping and
// together cover Top 0..110; an arrow above the row (Top < 0) or further
// below is never judged.
inline constexpr std::array<JudgementWindow, 4> kWindows = {{
    {Judgement::miss, "miss", 81, 110, -100, &ScoreBoard::missCount, Box::Edit5, Picture::missi},
    {Judgement::great, "great", 0, 20, +100, &ScoreBoard::greatCount, Box::Edit8, Picture::greati},
    {Judgement::good, "good", 21, 50, +50, &ScoreBoard::goodCount, Box::Edit7, Picture::goodi},
    {Judgement::bad, "bad", 51, 80, -50, &ScoreBoard::badCount, Box::Edit6, Picture::badi},
}};

constexpr const JudgementWindow& windowOf(Judgement judgement) noexcept
{
    for (const JudgementWindow& window : kWindows) {
        if (window.judgement == judgement)
            return window;
    }
    return kWindows[0];
}

// The window holding `top`, or nullptr.
constexpr const JudgementWindow* windowAt(std::int32_t top) noexcept
{
    for (const JudgementWindow& window : kWindows) {
        if (top >= window.topFrom && top <= window.topTo)
            return &window;
    }
    return nullptr;
}

// Hides the lane's target arrow, then tests every window in kWindows order;
// in each, the first slot of the lane in pool order whose Top lies inside is
// judged, whether shown or not. A judgement changes score and its count,
// writes Edit9 then the count's box, then shows its picture. Judged arrows
// are left where they are.
void keyDown(Game& game, std::uint16_t key);

// Shows the lane's target arrow again and hides greati, missi, goodi, badi.
void keyUp(Game& game, std::uint16_t key);

}  // namespace zorv
