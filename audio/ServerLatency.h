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
// reports it (the driver's clock).
struct PipeWireGraph {
    std::int64_t quantum = 0;      // frames per cycle
    std::int64_t rate = 0;         // of the graph, Hz
    std::int64_t deviceDelay = 0;  // frames the driver's device holds beyond the cycle (0 for a null sink)
    bool viaPulse = false;         // our stream reaches the graph through the pulse layer
};

// The delay from our mixing to the sound leaving the device, beyond the one
// SDL buffer the player counts, in ns:
//   the device's delay (reported by the driver's clock, in frames)
//   + the graph's cycles our sound waits through (quanta, reported)
//   + what the path before the graph holds (a constant).
// PipeWire reports the first two; the pulse layer answers 0 for its queue,
// and neither it nor SDL's pipewire driver says how many cycles a buffer
// waits, so the number of quanta and the constant per path are measured:
// the line through the harness's sweep of quanta 64 to 2048 frames on
// PipeWire 0.3.65 with a null sink, within 1.7 ms at 64 to 1024 frames
// (scripts/latency-bench.sh --sweep; the table in docs/performance.md).
// -1 for a graph without quantum or rate, or with figures no graph has (a
// quantum over kLargestQuantum frames, a rate over kHighestRate Hz, a device
// delay over kLargestDeviceDelay frames either way): nothing to go by.
std::int64_t pipeWireDelayNs(const PipeWireGraph& graph) noexcept;

namespace pipewire {
// Through the pulse layer (pipewire-pulse): its queue, which it keeps near
// the stream's tlength (SDL's 512 frames, about 11 ms, asked), and the
// cycles.
inline constexpr std::int64_t kPulseLayerNs = 9'600'000;
inline constexpr std::int64_t kPulseLayerQuantaPercent = 156;
// SDL's pipewire driver: it hands the graph one buffer per cycle.
inline constexpr std::int64_t kNativeNs = 630'000;
inline constexpr std::int64_t kNativeQuantaPercent = 150;
// PipeWire's own limits are 8192 frames and 768 kHz; a device holding a
// second and more is no device the game can follow.
inline constexpr std::int64_t kLargestQuantum = 1 << 16;
inline constexpr std::int64_t kHighestRate = 1'000'000;
inline constexpr std::int64_t kLargestDeviceDelay = 1 << 22;
}  // namespace pipewire

}  // namespace zorv
