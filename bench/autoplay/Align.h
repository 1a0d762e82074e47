#pragma once
// Where the song is heard against where the start says it should be, all
// through the song. The recorder hands out the times of its loud samples
// only (asked with no quiet time, every sample over the threshold), so
// the two sides are compared by the moments the sound rises through a
// threshold, in the recording and in the decoded song alike: their
// differences pile up at the offset between the two.

#include <cstdint>
#include <vector>

#include "MonitorRecorder.h"

namespace zorv::autoplay {

// Times (ms on the song's clock: 0 is when its first sample was heard) of
// the loud samples whose previous sample was not loud.
std::vector<double> risingEdgesMs(const std::vector<bench::Onset>& loud, std::int64_t songStartNs, int rate);
// The same for the decoded song (ms from its first sample).
std::vector<double> risingEdgesMs(const std::vector<float>& mono, int rate, float threshold);

struct Offset {
    double atMs = 0;      // middle of the stretch of song
    double offsetMs = 0;  // heard - expected
    int votes = 0;        // edge pairs that agree, within a bin
};

// The most common difference heard - song between edges less than rangeMs
// apart, in bins of binMs, for the song's edges in [fromMs, toMs).
Offset alignStretch(const std::vector<double>& heard, const std::vector<double>& song, double fromMs, double toMs,
                    double rangeMs, double binMs);

// For stretches of windowMs every stepMs: the most common difference
// heard - song between edges less than rangeMs apart, in bins of binMs.
// Stretches with fewer than minVotes agreeing pairs are left out.
std::vector<Offset> alignEdges(const std::vector<double>& heard, const std::vector<double>& song, double windowMs,
                               double stepMs, double rangeMs, double binMs, int minVotes);

}  // namespace zorv::autoplay
