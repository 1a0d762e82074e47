#pragma once
// What one automated play found, and how it is printed.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/autoplay/Presses.h"

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
    double anchorCheckMs = 0;              // the song's start by the whole-song recorder - by the listener
    std::size_t earCorrections = 0;        // how often the ear moved the start during the song
    double earMovedMs = 0;                 // and by how much in all
    std::vector<double> heardResidualMs;   // heard - expected from the start, 2 s stretches
    std::vector<double> heardAtMinutes;    // their place in the song
    std::vector<double> pressLateMs;       // press sent - when it was due
    std::vector<double> pressRoundTripMs;  // XTest press to XSync's return
    std::vector<double> pressHeardMs;      // press sent - its beat as heard (by the whole-song recording)
    std::vector<double> pressTruthMs;      // press sent - nearest true onset, as heard
    // The game's side, from its drawing: arrow set out - its chart time as
    // heard; beat as heard - start of the great window, by the judgement
    // drawn (none, great, good, bad, miss); judgements drawn.
    std::vector<double> spawnLagMs;
    std::array<std::vector<double>, 5> beatIntoGreatMs;
    std::array<int, 4> screenCounts{};
    std::size_t truthMissing = 0;  // notes with no true onset within 50 ms
    ScoreBoard board;
};

// The record in four parts, each printed (and flushed) once what it shows is
// known: the chart and the song's start; the presses; the song as heard and
// the game's side; the score board and the RESULT line.
void printStart(const PlayRecord& r);
void printPresses(const PlayRecord& r);
void printHeard(const PlayRecord& r);
void printBoard(const PlayRecord& r);

}  // namespace zorv::autoplay
