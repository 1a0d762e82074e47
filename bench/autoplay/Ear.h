#pragma once
// The automated player's ear: follows the song as heard all through it, as
// a player keeps time with the music rather than with a clock. Behind a
// PulseAudio null sink the song is heard about 0.06 % faster than the steady
// clock runs (38 ms a minute; the game's arrows follow the same pace), so a
// start found once would leave the presses 70 ms late by the end of
// Dodoroza.

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/autoplay/Align.h"
#include "bench/latency/MonitorRecorder.h"

namespace zorv::autoplay {

class Ear {
public:
    // `songEdgesMs`: the decoded song's rising edges through `threshold`;
    // `songStartNs`: when its first sample was heard, as found at the start.
    Ear(std::string sink, int rate, std::vector<double> songEdgesMs, float threshold, std::int64_t songStartNs);
    ~Ear();
    Ear(const Ear&) = delete;
    Ear& operator=(const Ear&) = delete;

    // When the song's first sample would have been heard, by the music heard
    // last and the pace it was heard at since (steady clock, ns).
    std::int64_t songStartNs() const;
    // Every stretch heard: when, the offset found (ms), its votes (0: not
    // placed), and the pace then (ns per s).
    struct Stretch {
        std::int64_t atNs;
        double offsetMs;
        int votes;
        std::int64_t drift;
    };
    std::vector<Stretch> stop();

private:
    void run();
    void listen(zorv::bench::Recorder& recorder, std::int64_t sinceNs);

    std::string sink_;
    int rate_;
    std::vector<double> song_;
    float threshold_;
    std::atomic<std::int64_t> start_;                // as heard at heardAtNs_
    std::atomic<std::int64_t> heardAtNs_;            // middle of the stretch last heard
    std::atomic<std::int64_t> drift_{0};             // of the start, in ns per s
    std::deque<std::pair<double, double>> history_;  // (heard at, start), ns
    int missed_ = 0;                                 // stretches in a row not placed
    std::atomic<bool> stopping_{false};
    std::vector<Stretch> stretches_;
    std::thread thread_;
};

}  // namespace zorv::autoplay
