#pragma once
// The text notation the scores are written in, on a sixteenth-note grid.
// The game's songs are in 4/4; melody lengths are counted in eighths because
// that is the finest note a chart of ours may ask for.

#include <string_view>
#include <vector>

namespace zorv::songs {

inline constexpr int kStepsPerBeat = 4;
inline constexpr int kStepsPerEighth = 2;
inline constexpr int kStepsPerBar = 16;

// A bar's shape on the sixteenth grid: 4/4 {16, 4}, 3/4 {12, 4}, 6/8 {12, 6}
// (two dotted-quarter beats). A song's tempo counts these beats.
struct Meter {
    int stepsPerBar = kStepsPerBar;
    int stepsPerBeat = kStepsPerBeat;
};
inline constexpr Meter kFourFour{16, 4};
inline constexpr Meter kThreeFour{12, 4};
inline constexpr Meter kSixEight{12, 6};

// MIDI number of a note name: "C4" is 60, "Bb3" 58, "F#5" 78.
// Throws std::runtime_error on anything else.
int pitchFromName(std::string_view name);

// Whether a melody note may become an arrow; bySection leaves it to the
// section's rule.
enum class CueMark { bySection, always, never };

struct MelodyNote {
    int step = 0;    // from the start of the line
    int length = 0;  // in steps
    int pitch = 0;
    CueMark mark = CueMark::bySection;
};

// A melody line: "<note>:<eighths>" or "r:<eighths>" tokens, where a '!'
// after the length always charts the note and a '~' never does; a "|" token
// must fall on a bar line, and the line must fill exactly `bars` bars of
// `meter`. The bar checks are there because a miscounted bar shifts every
// later note. Throws std::runtime_error naming the offending token.
std::vector<MelodyNote> parseMelody(std::string_view text, int bars, const Meter& meter = kFourFour);

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

// One chord symbol per bar of `meter`; "Gm-C" shares a bar between two
// chords, which must divide it evenly.
std::vector<ChordSpan> parseChordBars(std::string_view text, const Meter& meter = kFourFour);

}  // namespace zorv::songs
