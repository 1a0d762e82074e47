#pragma once
// Records a null sink's monitor with every sample timestamped on the steady
// clock (CLOCK_MONOTONIC), for the latency benchmark: once through libpulse
// (PulseAudio), once as a native PipeWire stream.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zorv::bench {

// An onset found in the recording: when its first loud sample left the
// server (ns, steady clock), and when it reached the recorder.
struct Onset {
    std::int64_t heardNs;
    std::int64_t arrivedNs;
};

// A run of samples delivered at once, and the times of its first sample.
struct Chunk {
    std::size_t first;  // index of its first sample in the recording
    std::int64_t heardNs;
    std::int64_t arrivedNs;
};

class Recorder {
public:
    virtual ~Recorder() = default;
    // Stops recording and returns the onsets: a sample whose magnitude
    // reaches `threshold` after at least `quietMs` of samples below it.
    virtual std::vector<Onset> stop(float threshold, int quietMs) = 0;
    // What the recording looked like, for the details.
    virtual std::string summary() const = 0;
};

// Both throw std::runtime_error when the server or the sink is not there.
// PulseAudio: records "<sink>.monitor" through the server PULSE_SERVER names.
std::unique_ptr<Recorder> makePulseRecorder(const std::string& sink, int rate);
// PipeWire: records the sink's monitor ports on the graph's clock.
std::unique_ptr<Recorder> makePipeWireRecorder(const std::string& sink, int rate);

std::vector<Onset> findOnsets(const std::vector<float>& samples, const std::vector<Chunk>& chunks, int rate,
                              float threshold, int quietMs);

}  // namespace zorv::bench
