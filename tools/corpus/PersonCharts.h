#pragma once
// What a person wrote for a real recording in its notes.mid: the song's beat
// grid (its tempo map) and the person's charts of the guitar part. Keys 60-64
// are the easy chart, 72-76 medium, 84-88 hard and 96-100 expert; the five
// keys are five buttons, and a chord (several keys at one tick) is one note
// time, as a player hears it. Times are ms from the start of the audio: these
// songs carry no delay, and a person's note sounds at its own time.

#include "Midi.h"

#include <array>
#include <string_view>
#include <vector>

namespace zorv::corpus {

inline constexpr int kPersonLevels = 4;
inline constexpr std::array<std::string_view, kPersonLevels> kPersonLevelNames = {"easy", "medium", "hard", "expert"};

struct PersonCharts {
    // Note times of each level, ascending, one per chord; empty where the person wrote none.
    std::array<std::vector<double>, kPersonLevels> levels;
    std::vector<double> quarters;  // every quarter beat of the tempo map, ascending, to the file's end
    std::vector<double> eighths;   // every eighth: the quarters and the points halfway in ticks
    std::vector<double> bars;      // the first beat of each bar, by the time signatures (4/4 without)
    double tempoBpm = 0;           // the tempo in force longest between the first and last note

    // The highest level the person wrote; -1 when none.
    int hardest() const;
    // Every note time of every level, ascending, duplicates kept.
    std::vector<double> allNotes() const;
};

// Takes the notes of tracks named for the guitar ("PART GUITAR", "GUITAR"...)
// when there are any, else of every track.
PersonCharts personCharts(const MidiFile& midi);

}  // namespace zorv::corpus
