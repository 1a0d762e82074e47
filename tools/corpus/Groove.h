#pragma once
// Whether a chart grooves like one a person wrote: measures of its note
// times against the song's beat grid and the person's charts (PersonCharts).
// Every time is when the note is heard, in ms from the start of the audio:
// for a chart of ours its chart time plus charting::kLeadMs (chartNotes
// reads it as the game does); for a person's, its time on the tempo map
// moved by the lag at which the recording's attacks follow it (Alignment.h),
// and the grid moved with it. Note times are ascending; a repeated time
// (a chord) counts once.
//
// Calibrated on the person's own charts of the four real recordings we
// measure on, as if they were ours (scripts/bench-real.sh prints this on
// every run): as written, their medium charts sit 71-74 % on quarter beats
// and 99-100 % on eighths, steadiness 0.39-0.78 over all their charts, 0.60
// on average; moved 30 ms later, 0 % on quarters or eighths; moved half a
// beat, 26-42 % on quarters (the notes that were off the beat); a tempo 3:2
// off theirs fails the tempo check. The on-grid tolerance follows: under
// the 30 ms error it must see, and above the 20 ms within which the maker's
// notes sit on onsets (on our own songs, where the truth is known) by what
// the alignment may be off (its lags agree with the maker's notes within
// 2-6 ms on three songs of four, 16 ms on the fourth).

#include <vector>

namespace zorv::corpus {

// How far a note may be from a quarter or eighth line and still be on it:
// the share of notes within it of the grid is "on quarters" or "on eighths".
inline constexpr double kOnGridMs = 25.0;
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
