#pragma once
// Which onsets become notes. Every note sits on an onset, so that its beat,
// chart time + kLeadMs, falls where the sound starts; a level decides how
// many there are and how much they keep to the beat.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "tools/chartmake/Analysis.h"
#include "tools/chartmake/Beats.h"
#include "tools/chartmake/Rhythm.h"

namespace zorv::chartmake {

enum class Level { easy, medium, hard };

std::string_view levelName(Level level);
std::optional<Level> levelNamed(std::string_view name);

// An onset that becomes a note.
struct Pick {
    std::int32_t ms = 0;  // the onset, whole ms of the audio; >= kLeadMs
    float pitch = 0;      // MIDI note number, 0 unknown
    bool onBeat = false;  // within kOnBeatMs of a beat
};

// A pick this close to a beat counts as on it.
inline constexpr double kOnBeatMs = 35;

// Onsets that did not become notes, by reason.
struct LeftOut {
    int inLead = 0;   // in the first kLeadMs: their arrows would have to start before the song
    int offBeat = 0;  // easy only: off the beat
    int thinned = 0;  // crowded out by stronger onsets, for the level's density or kMaxNotes
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
// the onsets around them for where they fall, on a beat, half way between
// two, or elsewhere. Stronger onsets and onsets on beats first; easy takes
// onsets on beats only, unless there are no beats. The notes spread over the
// whole song at the level's density: every stretch of it that has onsets
// gets notes, however quiet. Deterministic.
Placement placeNotes(const Features& features, const Beats& beats, Level level);

}  // namespace zorv::chartmake
