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
    int faint = 0;    // too weak to be told from noise
};

struct Placement {
    std::vector<Pick> picks;  // ascending ms; neighbours at least kMinNoteGapMs apart
    LeftOut leftOut;
    int wanted = 0;       // notes the level's density asks for, at most kMaxNotes
    bool capped = false;  // kMaxNotes, not the density, set `wanted`
};

// Chooses among the onsets after the lead and within the player's length
// (features.audio.lengthMs). Stronger onsets and onsets on beats first; easy
// takes onsets on beats only, unless there are no beats. The notes spread
// over the whole song at the level's density: every stretch of it that has
// onsets gets notes, however quiet. Deterministic.
Placement placeNotes(const Features& features, const Beats& beats, Level level);

}  // namespace zorv::chartmake
