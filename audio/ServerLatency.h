#pragma once
// The sound servers' latency sources behind makeServerLatency().

#include <cstdint>
#include <memory>

#include "audio/OutputLatency.h"

namespace zorv {

// PulseAudio itself: our sink input's buffer and sink latency.
std::unique_ptr<OutputLatency> makePulseLatency();
// PipeWire, through SDL's pipewire driver or PipeWire's pulse layer: our
// node's graph, by way of pipeWireDelayNs(); `stream` gives the frames in
// which the pulse layer counts its queue.
std::unique_ptr<OutputLatency> makePipeWireLatency(const OutputStream& stream);

// One cycle of the graph our stream's node follows, as PipeWire's profiler
// reports it (the driver's clock).
struct PipeWireGraph {
    std::int64_t quantum = 0;      // frames per cycle
    std::int64_t rate = 0;         // of the graph, Hz
    std::int64_t deviceDelay = 0;  // frames the driver's device holds beyond the cycle (0 for a null sink)
    bool viaPulse = false;         // our stream reaches the graph through the pulse layer
    // The pulse layer's queue ahead of a buffer SDL hands over, in ns: it
    // asks for more whenever a minreq is missing from its target tlength
    // (both on our node, pulse.attr.*), so tlength - minreq; 0 natively.
    std::int64_t pulseQueueNs = 0;
};

// The delay from our mixing to the sound leaving the device, beyond the one
// SDL buffer the player counts, in ns:
//   the device's delay (reported by the driver's clock, in frames)
//   + the graph's cycles our sound waits through (quanta, reported)
//   + the pulse layer's queue (its tlength - minreq, as configured)
//   + what the path before the graph holds besides (a constant).
// PipeWire reports the first two and the pulse layer's configuration, but
// neither the pulse layer nor SDL's pipewire driver says how many cycles a
// buffer waits, so the number of quanta and the constant per path are
// measured:
// the line through the harness's sweep of quanta 64 to 2048 frames on
// PipeWire 0.3.65 with a null sink, within 1.7 ms at 64 to 1024 frames
// (scripts/latency-bench.sh --sweep; the table in docs/performance.md).
// -1 for a graph without quantum or rate, or with figures no graph has (a
// quantum over kLargestQuantum frames, a rate over kHighestRate Hz, a device
// delay over kLargestDeviceDelay frames either way, a pulse queue below 0 or
// over kLongestPulseQueueNs): nothing to go by.
std::int64_t pipeWireDelayNs(const PipeWireGraph& graph) noexcept;

namespace pipewire {
// Through the pulse layer (pipewire-pulse), besides its queue: 3.8 ms and
// the cycles. (At SDL's 512-frame buffer the queue is 256 frames at 44.1 kHz,
// 5.8 ms; 9.6 ms in all, the first fit's constant.)
inline constexpr std::int64_t kPulseLayerNs = 3'800'000;
inline constexpr std::int64_t kPulseLayerQuantaPercent = 156;
// SDL's pipewire driver: it hands the graph one buffer per cycle.
inline constexpr std::int64_t kNativeNs = 630'000;
inline constexpr std::int64_t kNativeQuantaPercent = 150;
// PipeWire's own limits are 8192 frames and 768 kHz; a device holding a
// second and more is no device the game can follow.
inline constexpr std::int64_t kLargestQuantum = 1 << 16;
inline constexpr std::int64_t kHighestRate = 1'000'000;
inline constexpr std::int64_t kLargestDeviceDelay = 1 << 22;
inline constexpr std::int64_t kLongestPulseQueueNs = 10'000'000'000;
}  // namespace pipewire

}  // namespace zorv
