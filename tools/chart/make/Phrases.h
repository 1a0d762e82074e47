#pragma once
// The song in phrases of kPhraseBars bars, for Placement: each onset that
// may become a note (a Candidate) by the place of the bar it falls on, and
// per phrase whether the music plays each place through. A phrase keeps
// one rhythm: it takes one place after another, each for the whole phrase.

#include <array>
#include <cstdint>
#include <vector>

#include "tools/chart/make/Beats.h"
#include "tools/chart/make/Rhythm.h"

namespace zorv::chartmake {

// Where in the bar an onset falls, coarsest first: the phrase's first beat
// (the first of its bars' first beats), the bar's first beat, its third
// (in four), its other beats, the eighths between, sixteenths and thirds,
// off the grid. A passage's notes take these in turn, each for the whole
// passage, so the passage keeps one rhythm: a note a phrase where a long
// song has room for little more, then whole notes, halves, quarters,
// eighths.
enum Place : int { phraseFirst, firstBeat, thirdBeat, otherBeats, eighths, finer, offGrid, kPlaces };

// Passages are this many bars: the rhythm holds for a phrase, and a break
// or a louder passage changes it at the phrase's end.
inline constexpr int kPhraseBars = 4;
// Without beats, passages are this long.
inline constexpr double kPhraseMsWithoutBeats = 8000;

// An onset that may become a note.
struct Candidate {
    std::int32_t ms;  // where its note goes: its place on the grid
    float loudness;   // its strength against the song's loud onsets, 0..2
    float own;        // its strength against the onsets around it: the stronger of two takes a place
    Place place;
    int phrase;  // the passage it falls in, counted from 0
    int bar;     // as RhythmOnset
    int slot;    // as RhythmOnset
};

// Where `r` falls in the bar, as a Place (never phraseFirst).
Place placeOf(const RhythmOnset& r, int perBar);

// Where each phrase begins, ms: every kPhraseBars bars of `beats`, or every
// kPhraseMsWithoutBeats up to `endMs` without beats.
std::vector<double> phraseStarts(const Beats& beats, double endMs);

// The phrase `ms` falls in, counted from 0; 0 before the first.
int phraseOf(const std::vector<double>& starts, double ms);

// The candidates of each phrase and place, the strongest first.
using Groups = std::vector<std::array<std::vector<const Candidate*>, kPlaces>>;

struct Phrases {
    Groups groups;
    std::vector<float> intensity;  // per phrase: its candidates' loudness summed, per second
    std::vector<int> reached;      // per phrase: the places its notes have taken, phraseFirst..
    // Per phrase and place, whether the music plays it through: at least
    // half its beats or eighths, or else a riff of them (the slots three
    // bars in four play), which is then all the place's group holds.
    std::vector<std::array<bool, kPlaces>> played;
    std::vector<bool> riff;  // per phrase: its eighths are a riff, not played through
};

// Per phrase, its candidates by place, the strongest first (a phrase's
// first beat: its earliest candidate on a bar's first beat), its
// intensity and what the music plays through. `candidates` must outlive
// the result; their phrases are counted on phraseStarts(beats, endMs).
Phrases phrasesOf(const std::vector<Candidate>& candidates, const Beats& beats, double endMs);

}  // namespace zorv::chartmake
