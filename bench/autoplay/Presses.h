#pragma once
// When the automated player presses and releases each note's key, and what
// it measured doing so.

#include <cstdint>
#include <vector>

#include "bench/autoplay/Song.h"

namespace zorv::autoplay {

struct KeyEvent {
    std::int64_t atNs = 0;  // steady clock (CLOCK_MONOTONIC)
    int lane = 0;
    bool down = false;
    std::size_t note = 0;  // index into the notes
};

// A press for every note at its beat as heard, songStartNs + chart time +
// kLeadMs + offsetNs, released holdNs later or, where the lane's next press
// comes sooner, a millisecond before it: a lane's key is never pressed twice
// without a release between. Sorted by time; at equal times releases first.
std::vector<KeyEvent> keySchedule(const std::vector<Note>& notes, std::int64_t songStartNs, std::int64_t offsetNs,
                                  std::int64_t holdNs);

// Five numbers of a sample, in its own unit.
struct Spread {
    std::size_t n = 0;
    double median = 0, p5 = 0, p95 = 0, minimum = 0, maximum = 0;
};
Spread spreadOf(std::vector<double> values);

// Least-squares slope of y over x.
double slope(const std::vector<double>& x, const std::vector<double>& y);

// For each time in `times`, the signed distance to the nearest of `marks`
// (ascending) where it is within `withinMs`; the others are left out.
std::vector<double> nearestOffsets(const std::vector<double>& times, const std::vector<double>& marks, double withinMs);

}  // namespace zorv::autoplay
