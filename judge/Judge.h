#pragma once
// Key press and release. Key codes are 16-bit virtual key codes:
// 37 left, 38 up, 39 right, 40 down; any other code changes nothing.

#include <cstdint>

#include "play/Game.h"

namespace zorv {

inline constexpr std::uint16_t kKeyLeft = 37;
inline constexpr std::uint16_t kKeyUp = 38;
inline constexpr std::uint16_t kKeyRight = 39;
inline constexpr std::uint16_t kKeyDown = 40;

enum class Judgement : std::uint8_t { miss, great, good, bad };

// Hides the lane's target arrow, then tests the windows miss (Top 81..110),
// great (0..20), good (21..50), bad (51..80) in that order; in each, the
// first slot of the lane in pool order whose Top lies inside is judged,
// whether shown or not. A judgement changes score (-100, +100, +50, -50)
// and its count, writes Edit9 then the count's box, then shows its picture.
// Judged arrows are left where they are.
void keyDown(Game& game, std::uint16_t key);

// Shows the lane's target arrow again and hides greati, missi, goodi, badi.
void keyUp(Game& game, std::uint16_t key);

}  // namespace zorv
