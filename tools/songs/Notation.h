#pragma once
// The text notation the scores are written in. Every song is in 4/4 on a
// sixteenth-note grid; melody lengths are counted in eighths because that is
// the finest note a chart of ours may ask for.

#include <string_view>
#include <vector>

namespace zorv::songs {

inline constexpr int kStepsPerBeat = 4;
inline constexpr int kStepsPerEighth = 2;
inline constexpr int kStepsPerBar = 16;

// MIDI number of a note name: "C4" is 60, "Bb3" 58, "F#5" 78.
// Throws std::runtime_error on anything else.
int pitchFromName(std::string_view name);

// Whether a melody note may become an arrow; Auto leaves it to the section.
enum class CueMark { Auto, Always, Never };

struct MelodyNote {
    int step = 0;    // from the start of the line
    int length = 0;  // in steps
    int pitch = 0;
    CueMark mark = CueMark::Auto;
};

// A melody line: "<note>:<eighths>" or "r:<eighths>" tokens, where a '!'
// after the length always charts the note and a '~' never does; a "|" token
// must fall on a bar line, and the line must fill exactly `bars` bars. The
// bar checks are there because a miscounted bar shifts every later arrow.
// Throws std::runtime_error naming the offending token.
std::vector<MelodyNote> parseMelody(std::string_view text, int bars);

struct Chord {
    int root = 0;                // pitch class 0..11
    int bass = 0;                // pitch class of the lowest note ("F/A": A)
    std::vector<int> intervals;  // semitones above the root, ascending, from 0
};

// "F", "Dm", "C7", "Gm7", "Fmaj7", "Dsus4", "Bdim", "Cadd9", "F/A", ...
Chord parseChord(std::string_view symbol);

struct ChordSpan {
    int step = 0;
    int length = 0;
    Chord chord;
};

// One chord symbol per bar; "Gm-C" shares a bar between two chords.
std::vector<ChordSpan> parseChordBars(std::string_view text);

}  // namespace zorv::songs
