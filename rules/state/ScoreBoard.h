#pragma once

#include <cstdint>

namespace zorv {

// Intended: never reset during a run; score and counts carry over from song to song.
// Every value saturates at the 32-bit limits instead of wrapping.
struct ScoreBoard {
    std::int32_t score = 500;     // shown in Edit9
    std::int32_t greatCount = 0;  // Edit8
    std::int32_t goodCount = 0;   // Edit7
    std::int32_t badCount = 0;    // Edit6
    std::int32_t missCount = 0;   // Edit5
};

}  // namespace zorv
