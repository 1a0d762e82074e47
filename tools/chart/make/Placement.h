#pragma once
// Which onsets become notes. Every note sits on an onset, so that its beat,
// chart time + kLeadMs, falls where the sound starts (to within
// kOnGridMs: on the beats' grid); a level decides how many there are and
// how much they keep to the beat.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "tools/chart/make/Features.h"
#include "tools/chart/make/Beats.h"
#include "tools/chart/make/Rhythm.h"

namespace zorv::chartmake {

enum class Level { easy, medium, hard };

std::string_view levelName(Level level);
std::optional<Level> levelNamed(std::string_view name);

// An onset that becomes a note.
struct Pick {
    std::int32_t ms = 0;  // its place on the grid, or the onset off it; whole ms of the audio; >= kLeadMs
    float pitch = 0;      // MIDI note number, 0 unknown
    bool onBeat = false;  // on a beat tracked (within kOnGridMs of it)
};

// No stretch of the song longer than this with onsets sure to be music
// goes without a note.
inline constexpr std::int32_t kLongestBareMs = 12000;

// A pick this close to a beat counts as on it.
inline constexpr double kOnBeatMs = kOnGridMs;

// Onsets that did not become notes, by reason.
struct LeftOut {
    int inLead = 0;   // in the first kLeadMs: their arrows would have to start before the song
    int offBeat = 0;  // off the places of the grid the level keeps to
    int thinned = 0;  // left for the level's density, kMaxNotes or the lanes' room, or passing notes
    int unsure = 0;   // too weak for where they fall: off the beat an onset must stand out
};

struct Placement {
    std::vector<Pick> picks;  // ascending ms; neighbours at least kMinNoteGapMs apart
    LeftOut leftOut;
    // Notes the level's density asks for; at most kMaxNotes and the onsets
    // sure enough to chart, less on easy (60 % of either) and medium (80 %)
    // so that long and sparse songs differ by level too.
    int wanted = 0;
    bool capped = false;  // kMaxNotes, not the density, set `wanted`
    bool sparse = false;  // the onsets sure enough to chart did
};

// Chooses among the onsets after the lead and within the player's length
// (features.audio.lengthMs) that are sure to be music: strong enough against
// the onsets around them for where they fall. A note goes where its onset
// falls on the beats' grid (Rhythm.h), or at the onset when it is on none.
// The song is taken in phrases of four bars; each phrase's notes are its
// onsets at one place of the bar after another, coarsest first (the
// phrase's first beat, the bars' first beats, their thirds, the other
// beats, the eighths, then finer), every onset at a place for the whole
// phrase, so the phrase keeps one rhythm. A more intense phrase (louder,
// more onsets) takes each finer place before a quieter one; beats the
// music does not mostly play in a phrase are passed over, and a phrase
// takes nothing finer than eighths it does not mostly play, nor more than
// the lanes can hold. Easy keeps to beats (the first and third of a bar
// above 135 BPM), medium to beats and eighths, hard takes any; each level
// holds the notes of the one below. Without beats every onset counts as on
// one. No stretch of kLongestBareMs with onsets goes without a note.
// Deterministic.
Placement placeNotes(const Features& features, const Beats& beats, Level level);

}  // namespace zorv::chartmake
