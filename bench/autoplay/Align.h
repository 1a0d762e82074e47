#pragma once
// Where the song is heard against where the start says it should be, all
// through the song. The recorder hands out the times of its loud samples
// only (asked with no quiet time, every sample over the threshold), so
// the two sides are compared by the moments the sound rises through a
// threshold, in the recording and in the decoded song alike: their
// differences pile up at the offset between the two.

#include <cstdint>
#include <vector>

#include "bench/latency/MonitorRecorder.h"

namespace zorv::autoplay {

// Times (ms on the song's clock: 0 is when its first sample was heard) of
// the loud samples whose previous sample was not loud, in ascending order.
std::vector<double> risingEdgesMs(const std::vector<bench::Onset>& loud, std::int64_t songStartNs, int rate);
// The same for the decoded song (ms from its first sample).
std::vector<double> risingEdgesMs(const std::vector<float>& mono, int rate, float threshold);

struct Offset {
    double atMs = 0;      // middle of the stretch of song
    double offsetMs = 0;  // heard - expected
    int votes = 0;        // edge pairs that agree, within a bin
};

// The most common difference heard - song between edges, within rangeMs of
// centreMs, in bins of binMs, for the song's edges in [fromMs, toMs). No
// votes when the most common lies at the edge of that range, and none (the
// offset centreMs) for edges not in ascending order, a range or bin that is
// not positive or a centre that is not finite.
Offset alignStretch(const std::vector<double>& heard, const std::vector<double>& song, double fromMs, double toMs,
                    double centreMs, double rangeMs, double binMs);

// Stretches of windowMs every stepMs through the song, the first searched
// within followMs of 0 (the start was found by the song's first sound) and
// each later one within followMs of the last found: music repeats itself,
// and a wide search can settle on an echo of the right offset a beat away.
// After lostAfter stretches in a row without enough agreeing pairs
// (minVotes), the search widens to lostRangeMs.
struct Tracking {
    double windowMs = 2000, stepMs = 1000;
    double followMs = 10, lostRangeMs = 40, binMs = 0.1;
    int minVotes = 20, lostAfter = 3;
};
std::vector<Offset> trackEdges(const std::vector<double>& heard, const std::vector<double>& song, const Tracking& t);

}  // namespace zorv::autoplay
