#pragma once
// How well a chart sits on a corpus song's music, against its ground truth.
// A note's beat is its chart time plus the rules' lead (charting::kLeadMs):
// the moment the middle of its great window passes, which the player hears
// as the note. Each note is measured against the nearest true onset of any
// part or drum, and against the nearest true beat.

#include "chart/Chart.h"
#include "tools/corpus/Truth.h"

#include <cstddef>
#include <vector>

namespace zorv::corpus {

// How far a note may sit from an onset or a beat and still count as on it.
inline constexpr double kToleranceMs = 20.0;

// A chart's figures against its song's truth.
struct ChartFigures {
    std::size_t notes = 0;
    double onOnsets = 0;        // share of notes within kToleranceMs of a true onset, 0..1
    double medianOffsetMs = 0;  // median of (note's beat - nearest onset); positive: late
    double onBeats = 0;         // share of notes within kToleranceMs of a true beat, 0..1
    double notesPerSecond = 0;  // over the whole audio
};

// `notes` as the game reads them (readChart, then chartNotes). All zero for a
// chart without notes.
ChartFigures evaluate(const Truth& truth, const std::vector<ChartNote>& notes);

// The share of the song's time that lies within kToleranceMs of an onset:
// what notes placed at random would score. A dense song makes the onset
// figure easy, and this says how easy.
double chanceOnOnsets(const Truth& truth);

}  // namespace zorv::corpus
