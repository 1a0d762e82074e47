#pragma once
// The sound servers' latency sources behind makeServerLatency().

#include <cstdint>
#include <memory>

#include "audio/OutputLatency.h"

namespace zorv {

// PulseAudio itself: our sink input's buffer and sink latency.
std::unique_ptr<OutputLatency> makePulseLatency();
// PipeWire, through SDL's pipewire driver or PipeWire's pulse layer: our
// node's graph, by way of pipeWireDelayNs().
std::unique_ptr<OutputLatency> makePipeWireLatency();

// One cycle of the graph our stream's node follows, as PipeWire's profiler
// reports it.
struct PipeWireGraph {
    std::int64_t quantum = 0;      // frames per cycle
    std::int64_t rate = 0;         // of the graph, Hz
    std::int64_t deviceDelay = 0;  // frames the driver's device holds beyond the cycle (0 for a null sink)
    bool viaPulse = false;         // our stream reaches the graph through the pulse layer
};
// The delay from our mixing to the sound leaving the device, beyond the one
// buffer the player counts; -1 for a graph without quantum or rate.
std::int64_t pipeWireDelayNs(const PipeWireGraph& graph) noexcept;

}  // namespace zorv
