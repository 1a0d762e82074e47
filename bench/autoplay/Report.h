#pragma once
// What one automated play found, and how it is printed.

#include <cstdint>
#include <string>
#include <vector>

#include "Presses.h"

namespace zorv::autoplay {

// The game's score board, as the game shows it. A count box the game never
// wrote still holds its initial text, which counts as 0.
struct ScoreBoard {
    int miss = 0, bad = 0, good = 0, great = 0, sum = 0;
    std::string raw;  // the five texts, for the record
};
int countOf(const std::string& text);

struct PlayRecord {
    std::string label;
    std::size_t notes = 0;
    double songSeconds = 0;
    bool sound = true;
    double offsetMs = 0;
    // The anchor: the song's first sound, its place in the song, when it
    // was heard after the start key and how long the player took to know.
    double firstSoundMs = 0, heardAfterKeyMs = 0, foundAfterMs = 0;
    std::vector<double> onsetResidualMs;   // heard - expected, song onsets
    std::vector<double> onsetAtMinutes;    // their place in the song
    std::vector<double> pressLateMs;       // press sent - its target
    std::vector<double> pressRoundTripMs;  // XTest press to XSync's return
    std::vector<double> pressTruthMs;      // press sent - nearest true onset, as heard
    std::size_t truthMissing = 0;          // notes with no true onset within 50 ms
    ScoreBoard board;
};

void printRecord(const PlayRecord& r);

}  // namespace zorv::autoplay
