#pragma once
// Checks the PipeWire recorder's convention (PipeWireRecorder.h) on bursts
// handed to the graph at known cycles; see Calibration.cpp.

#include <cstdint>
#include <string>
#include <vector>

#include "bench/latency/PipeWireRecorder.h"

namespace zorv::bench {

struct CalibrationResult {
    std::size_t bursts = 0;             // handed over
    std::vector<double> heardMs;        // per burst found: as the recorder times it - the cycle it was handed in
    std::vector<double> arrivedQuanta;  // the cycle it reached the recorder in - that cycle, in quanta
    std::int64_t quantum = 0;           // frames, of the last cycle a burst was handed in
    std::string summary;                // the recorder's
};

// Plays bursts for `seconds` through the sink `sink` (recorded on its
// monitor) or straight into the recorder (PipeWireTap::direct), at `rate`.
// Throws std::runtime_error when PipeWire or the sink is not there.
CalibrationResult calibrate(const std::string& sink, int rate, PipeWireTap tap, int seconds);

}  // namespace zorv::bench
