#pragma once
// Whether a chart grooves like one a person wrote: measures of its note
// times against the song's beat grid and the person's charts (PersonCharts).
// Every time is when the note is heard, in ms from the start of the audio:
// for a chart of ours its chart time plus charting::kLeadMs (chartNotes
// reads it as the game does), for a person's its own time. Note times are
// ascending; repeated times count once.
//
// Calibrated on the person's own charts of the four real recordings we
// measure on (scripts/bench-real.sh prints it on every run): as written,
// their medium charts sit 71-74 % on quarter beats and 99-100 % on eighths;
// shifted 30 ms late, 0 % on either; shifted half a beat, the on-beat share
// falls to the 26-29 % of their notes that were off the beat; a tempo 3:2 off
// theirs fails the tempo check. The on-grid tolerance follows from that: wide
// enough for the maker's onset jitter (its notes sit within 20 ms of the
// music), narrow enough that a 30 ms error is off.

#include <vector>

namespace zorv::corpus {

// How far a note may be from a quarter or eighth line and still be on it.
inline constexpr double kOnGridMs = 20.0;
// How closely a note's spacing to the next must repeat the previous spacing.
inline constexpr double kSteadyMs = 30.0;
// How near one of the person's notes a note of ours must be to agree with it.
inline constexpr double kAgreeMs = 50.0;
// The windows in which density is counted.
inline constexpr double kDensityWindowMs = 8000.0;
// How far a tempo may be from the person's, or from half or double it.
inline constexpr double kTempoTolerance = 0.04;

// The share of notes within `toleranceMs` of a time of `grid` (ascending),
// 0..1; 0 without notes or grid.
double shareNear(const std::vector<double>& notes, const std::vector<double>& grid, double toleranceMs);

// The share of notes whose spacing to the next is within kSteadyMs of the
// spacing from the previous, of the notes that have both; 0 with fewer than
// three notes.
double steadiness(const std::vector<double>& notes);

// Pearson's correlation of the two charts' note counts in kDensityWindowMs
// windows from 0 to `lengthMs` (a last, shorter window counts when it is at
// least half as long); 0 when either count never changes.
double densityCorrelation(const std::vector<double>& ours, const std::vector<double>& theirs, double lengthMs);

// Whether `bpm` is within kTempoTolerance of `theirs`, half or double it.
bool tempoMatches(double bpm, double theirs);

}  // namespace zorv::corpus
