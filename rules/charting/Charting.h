#pragma once
// What a chart needs to play as written, derived from the rules themselves:
// where to put a note so that its beat falls in the middle of the great
// window, and how close notes may follow each other. The song generator, the
// chart maker and the checker all take these from here. Times in ms.

#include <cstdint>
#include <span>
#include <string_view>

#include "chart/Chart.h"
#include "core/Lanes.h"
#include "judge/Judge.h"
#include "play/Play.h"
#include "state/Field.h"

namespace zorv::charting {
namespace detail {

constexpr std::int32_t ceilDiv(std::int32_t a, std::int32_t b) { return (a + b - 1) / b; }
constexpr std::int32_t lowestWindowTop()
{
    std::int32_t top = kWindows[0].topFrom;
    for (const JudgementWindow& window : kWindows)
        top = window.topFrom < top ? window.topFrom : top;
    return top;
}
constexpr std::int32_t highestWindowTop()
{
    std::int32_t top = kWindows[0].topTo;
    for (const JudgementWindow& window : kWindows)
        top = window.topTo > top ? window.topTo : top;
    return top;
}

}  // namespace detail

// An arrow starts at kSpawnTop and already moves on its spawn tick, so after
// its k-th tick its Top is kSpawnTop - k * kStepPerTick. It is in the great
// window from its kFirstGreatTick-th tick (Top 17) through its
// kLastGreatTick-th (Top 7); a never-used lane-1 arrow starts 3 px higher
// and is great on the same two ticks (Top 14 and 4).
inline constexpr const JudgementWindow& kGreat = windowOf(Judgement::great);
inline constexpr std::int32_t kFirstGreatTick = detail::ceilDiv(kSpawnTop - kGreat.topTo, kStepPerTick);
inline constexpr std::int32_t kLastGreatTick = (kSpawnTop - kGreat.topFrom) / kStepPerTick;
static_assert(kSpawnTop - kFirstGreatTick * kStepPerTick == 17 && kSpawnTop - kLastGreatTick * kStepPerTick == 7);
static_assert(kFirstLaneTop - kFirstGreatTick * kStepPerTick == 14 &&
              kFirstLaneTop - kLastGreatTick * kStepPerTick == 4);

// Tick k of an arrow comes (k - 1) ticks after its spawn tick S, so a press is
// great from S + 2800 until the tick after the last great one, S + 2900.
inline constexpr std::int32_t kGreatFromSpawnMs = (kFirstGreatTick - 1) * kTickMs;
inline constexpr std::int32_t kGreatUntilSpawnMs = kLastGreatTick * kTickMs;
static_assert(kGreatFromSpawnMs == 2800 && kGreatUntilSpawnMs == 2900);

// The lead: from a note's chart time C to the middle of its great window.
// The spawn tick is the first tick at or after C, somewhere in [C, C + 50)
// depending on the timer's phase against the music, C + 25 on average; the
// middle of the window is then C + 25 + 2850 = C + 2875. For a beat at b,
// write C = b - kLeadMs; for any tick phase the beat then lies 25..75 ms into
// the 100 ms great window.
inline constexpr std::int32_t kLeadMs = kTickMs / 2 + (kGreatFromSpawnMs + kGreatUntilSpawnMs) / 2;
static_assert(kLeadMs == 2875);

// Same lane: all four windows together span Top 0..110, 12 ticks of an arrow's
// rise; a second arrow of the lane closer than that would sit in a window
// while the first does, and one press would judge both.
inline constexpr std::int32_t kMinLaneGapMs =
    ((detail::highestWindowTop() - detail::lowestWindowTop()) / kStepPerTick + 1) * kTickMs;
static_assert(detail::highestWindowTop() - detail::lowestWindowTop() == 110);
static_assert(kMinLaneGapMs == 600);

// A lane holds four arrows, each until kArrowLifetime after its chart time;
// a fifth arrow dispatched before the first one's retirement is dropped. So
// the fifth of any five notes of a lane must come this long after the first:
// the lifetime, plus a tick for the two times falling on different tick
// phases, plus a tick of margin for a timer that fires late.
inline constexpr std::int32_t kFiveNoteSpanMs = kArrowLifetime + 2 * kTickMs;
inline constexpr int kNotesInFlightPerLane = kSlotsPerLane;

// Whether a note at `timeMs` keeps the lane rules after `earlier`, the chart
// times of the earlier notes of its lane in ascending order: at least
// kMinLaneGapMs after the last, and at least kFiveNoteSpanMs after the fourth
// last.
constexpr bool fitsLane(std::span<const std::int32_t> earlier, std::int32_t timeMs) noexcept
{
    const std::size_t n = earlier.size();
    if (n > 0 && static_cast<std::int64_t>(timeMs) - earlier[n - 1] < kMinLaneGapMs)
        return false;
    return n < kNotesInFlightPerLane ||
           static_cast<std::int64_t>(timeMs) - earlier[n - kNotesInFlightPerLane] >= kFiveNoteSpanMs;
}

// Any two notes: the tick dispatches one note at most, so notes closer than
// a tick share one and the second goes out late. Two ticks apart, each note
// gets a tick of its own even when the timer fires a little late.
inline constexpr std::int32_t kMinNoteGapMs = 2 * kTickMs;

// The table holds the header, the notes and the closing "0 0" pair; without
// that pair a shorter chart would play on into an earlier chart's notes.
inline constexpr int kMaxNotes = kChartRecords - 2;

// Tokens longer than a field are cut by the reader.
inline constexpr int kMaxTokenChars = ChartLine::kFieldChars;

// An audio file name a chart can carry safely: 1..kMaxTokenChars, no chart
// white space (it would split the token), and a letter first (a name that
// reads as a number above 0 holds every arrow until the music passes it).
constexpr bool isPlainAudioName(std::string_view name) noexcept
{
    if (name.empty() || name.size() > static_cast<std::size_t>(kMaxTokenChars))
        return false;
    const char first = name.front();
    if (!((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z')))
        return false;
    for (char c : name) {
        if (isChartSpace(static_cast<unsigned char>(c)) || c == '\0')
            return false;
    }
    return true;
}

}  // namespace zorv::charting
