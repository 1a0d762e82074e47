#pragma once
// The ground truth of a corpus song, taken from its score: where every note
// of every part and every drum hit starts, and where the beats fall. Times
// are in ms from the first sample of the rendered audio, as the sounds were
// placed (nudges included), so they hold for the audio sample for sample.

#include "tools/songs/Score.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorv::corpus {

struct TrueBeat {
    double ms = 0;
    bool downbeat = false;  // the first beat of a bar
};

struct TrueOnset {
    double ms = 0;
    std::string part;        // the score's part name, or "drums"
    std::string instrument;  // songs::voiceName / songs::drumName
    float velocity = 0;      // as scored, 0..1
};

struct Truth {
    std::string name;
    double lengthMs = 0;  // of the whole audio, tail included
    std::string meter;    // "4/4", "3/4", "6/8"
    int swingPercent = 50;
    std::vector<std::pair<int, int>> tempos;  // (first bar, beats per minute), from bar 0
    std::vector<TrueBeat> beats;              // ascending
    std::vector<TrueOnset> onsets;            // ascending by time, then part and instrument
};

Truth truthOf(const songs::Song& song);

// The same audio played `times` times back to back: every beat and onset
// repeated one length later.
Truth looped(const Truth& truth, int times);

// Text, one record a line, times with two decimals; the same truth always
// gives the same bytes:
//   song <name> / length <ms> / meter <m> / swing <percent> / tempo <bar> <bpm>
//   beat <ms> <1 downbeat | 0>
//   onset <ms> <part> <instrument> <velocity>
// Lines starting with '#' are comments.
std::string truthText(const Truth& truth);

// Reads truthText's format. Throws std::runtime_error naming the line for
// anything else, and for beats or onsets out of order.
Truth parseTruth(std::string_view text);

}  // namespace zorv::corpus
