#pragma once
// What the game did with each note, read off its drawing (see Screen.h):
// when the note's arrow set out, and which judgement, if any, its press got.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "bench/autoplay/Screen.h"
#include "bench/autoplay/Song.h"

namespace zorv::autoplay {

struct NoteSeen {
    std::int64_t spawnNs = -1;  // the arrow's first rise drawn; -1 if not seen
    int judgement = -1;         // index into kJudgementNames; -1: none drawn
};
inline constexpr std::array<const char*, 4> kJudgementNames = {"great", "good", "bad", "miss"};

// `dueNs`: when each note's arrow should set out (its chart time as heard);
// `pressNs`: when its key went down. A note's arrow is the first of its
// lane to set out from kSpawnFromMs before that time to kSpawnUntilMs after
// it; a press's judgement is the count box redrawn within kJudgedWithinMs.
std::vector<NoteSeen> readNotes(const std::vector<Damage>& drawn, const std::vector<Note>& notes,
                                const std::vector<std::int64_t>& dueNs, const std::vector<std::int64_t>& pressNs);
inline constexpr int kSpawnFromMs = 150;
inline constexpr int kSpawnUntilMs = 250;
inline constexpr int kJudgedWithinMs = 45;

}  // namespace zorv::autoplay
