#pragma once
// Records mono 32-bit float audio as a native PipeWire capture stream, in the
// graph's realtime thread, and says when each sample left the server.
//
// What it measures. A sample "leaves the server" when the cycle in which the
// sink consumed it began (the driver's clock.nsec, CLOCK_MONOTONIC), plus the
// device's delay the driver reports (clock.delay; 0 for a null sink), plus
// the sample's place in its buffer: the sink writes what it consumed in a
// cycle to its device at the start of that cycle's period. That is the
// moment a click is heard from a real card, less nothing the graph knows.
// Where the recorder takes its buffer decides which cycle that is:
// - on the sink's monitor (PipeWireTap::sinkMonitor): the sink drives the
//   graph and runs last in its cycle, so its monitor's readers get a cycle's
//   audio one cycle later; each buffer is timed by the cycle before.
// - linked straight to a playback stream (PipeWireTap::direct): a buffer the
//   stream hands over arrives in the same cycle and is timed by that cycle.
// Both are checked by `latency_bench --calibrate` (bench/latency/
// Calibration.cpp): bursts handed over at known cycles, recorded either way,
// must come out at the cycle they were handed over in.

#include <pipewire/pipewire.h>
#include <spa/node/io.h>
#include <spa/pod/builder.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/latency/MonitorRecorder.h"

namespace zorv::bench {

enum class PipeWireTap { sinkMonitor, direct };

// One graph cycle as the driver's clock reports it.
struct GraphCycle {
    std::int64_t nsec = 0;      // its start, CLOCK_MONOTONIC
    std::int64_t rate = 0;      // Hz
    std::int64_t position = 0;  // frames since the driver started
    std::int64_t duration = 0;  // frames: the quantum
    std::int64_t delay = 0;     // frames between the position and the device
    std::int64_t delayNs() const;
};

// When the first sample of a buffer of `frames` taken in cycle `now` left
// the server, by the tap's convention; `previous` is the cycle seen before.
std::int64_t tappedCycleNs(const GraphCycle& now, const GraphCycle& previous, std::int64_t frames, PipeWireTap tap);

class PipeWireRecorder final : public Recorder {
public:
    // sinkMonitor: records the monitor of the sink named `target`; direct:
    // waits, unlinked, for a link made by the caller (see nodeId()).
    // Throws std::runtime_error when PipeWire cannot be reached.
    PipeWireRecorder(const std::string& target, int rate, PipeWireTap tap);
    ~PipeWireRecorder() override;
    PipeWireRecorder(const PipeWireRecorder&) = delete;
    PipeWireRecorder& operator=(const PipeWireRecorder&) = delete;

    std::vector<Onset> stop(float threshold, int quietMs) override;
    std::string summary() const override;
    // The stream's node in the graph once it is ready to be linked (its
    // ports made); SPA_ID_INVALID until then.
    std::uint32_t nodeId() const;
    // Whether the graph has run the stream at least once.
    bool flowing() const { return processed_.load() > 0; }

private:
    static void onIoChanged(void* self, std::uint32_t id, void* area, std::uint32_t size);
    static void onProcess(void* self);
    void note(const GraphCycle& now, std::int64_t frames);

    const pw_stream_events events_ = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.io_changed = &PipeWireRecorder::onIoChanged;
        e.process = &PipeWireRecorder::onProcess;
        return e;
    }();
    int rate_;
    PipeWireTap tap_;
    pw_thread_loop* loop_ = nullptr;
    pw_stream* stream_ = nullptr;
    std::atomic<const spa_io_position*> position_{nullptr};
    std::atomic<std::int64_t> processed_{0};
    // The realtime thread's own while recording.
    bool recording_ = true;
    GraphCycle previous_;
    std::vector<float> samples_;
    std::vector<Chunk> chunks_;
    std::int64_t cycles_ = 0, skipped_ = 0, minFrames_ = INT64_MAX, maxFrames_ = 0, delayMin_ = INT64_MAX,
                 delayMax_ = INT64_MIN;
};

// The one format the harness's streams offer: mono 32-bit float at `rate`,
// built in `b`.
const spa_pod* monoFloatFormat(spa_pod_builder& b, int rate);

// The graph node of a harness stream, once it is connected (paused or
// streaming); SPA_ID_INVALID before. Takes the loop's lock.
std::uint32_t streamNodeId(pw_thread_loop* loop, pw_stream* stream);

}  // namespace zorv::bench
