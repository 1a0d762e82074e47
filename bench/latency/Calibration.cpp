// The PipeWire recorder's convention, checked against sound whose timing is
// known: a native playback stream of our own, in the graph's realtime thread,
// hands the graph a 1 ms burst at the start of one buffer every 250 ms and
// notes the cycle it did so in (the driver's clock.nsec). Recorded on the
// sink's monitor, or through a link made straight from that stream to the
// recorder (no sink between), every burst must come out at the cycle it was
// handed over in. The raw arrival cycle is shown beside it: the same cycle
// on the direct link, one cycle later on the monitor.
#include "bench/latency/Calibration.h"

#include <pipewire/pipewire.h>
#include <spa/node/io.h>
#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

#include "bench/latency/PipeWireRecorder.h"

namespace zorv::bench {
namespace {

constexpr std::int64_t kBurstEveryNs = 250'000'000;
constexpr int kBurstFrames = 48;  // 1 ms at 48 kHz
constexpr float kBurstLevel = 0.7f;

// The burst stream: one connection of its own, on which the direct link is
// made too.
class Bursts {
public:
    Bursts(const std::string& sink, int rate, bool toSink) : rate_(rate)
    {
        pw_init(nullptr, nullptr);
        loop_ = pw_thread_loop_new("zorv-bench-bursts", nullptr);
        context_ = pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0);
        core_ = context_ != nullptr ? pw_context_connect(context_, nullptr, 0) : nullptr;
        if (core_ == nullptr)
            throw std::runtime_error("bursts: cannot connect to PipeWire");
        auto* props =
            pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE,
                              "Production", PW_KEY_NODE_NAME, "zorv-bench-bursts", nullptr);
        if (toSink)
            pw_properties_set(props, PW_KEY_TARGET_OBJECT, sink.c_str());
        stream_ = pw_stream_new(core_, "zorv latency bursts", props);
        pw_stream_add_listener(stream_, &listener_, &events_, this);
        std::uint8_t buffer[1024];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
        const spa_pod* params[1] = {monoFloatFormat(b, rate)};
        auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
        if (toSink)
            flags = static_cast<pw_stream_flags>(flags | PW_STREAM_FLAG_AUTOCONNECT);
        if (pw_stream_connect(stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) != 0)
            throw std::runtime_error("bursts: cannot connect the stream");
        handed_.reserve(10000);
        pw_thread_loop_start(loop_);
    }

    ~Bursts()
    {
        pw_thread_loop_stop(loop_);
        if (link_ != nullptr)
            pw_proxy_destroy(link_);
        spa_hook_remove(&listener_);
        pw_stream_destroy(stream_);
        pw_core_disconnect(core_);
        pw_context_destroy(context_);
        pw_thread_loop_destroy(loop_);
    }

    std::uint32_t nodeId() const { return streamNodeId(loop_, stream_); }

    // Links our output straight to the input of node `to` (again, if linked).
    void linkTo(std::uint32_t to)
    {
        if (link_ != nullptr) {
            pw_thread_loop_lock(loop_);
            pw_proxy_destroy(link_);
            link_ = nullptr;
            pw_thread_loop_unlock(loop_);
        }
        const std::string from = std::to_string(nodeId()), into = std::to_string(to);
        pw_thread_loop_lock(loop_);
        auto* props = pw_properties_new(PW_KEY_LINK_OUTPUT_NODE, from.c_str(), PW_KEY_LINK_INPUT_NODE, into.c_str(),
                                        PW_KEY_OBJECT_LINGER, "false", nullptr);
        link_ = static_cast<pw_proxy*>(
            pw_core_create_object(core_, "link-factory", PW_TYPE_INTERFACE_Link, PW_VERSION_LINK, &props->dict, 0));
        pw_properties_free(props);
        pw_thread_loop_unlock(loop_);
        if (link_ == nullptr)
            throw std::runtime_error("bursts: cannot make the link");
    }

    void start() { sending_.store(true); }
    // The cycles the bursts were handed over in, with the quantum of each.
    std::vector<GraphCycle> stop()
    {
        pw_thread_loop_lock(loop_);
        sending_.store(false);
        pw_thread_loop_unlock(loop_);
        return handed_;
    }

private:
    static void onIoChanged(void* self, std::uint32_t id, void* area, std::uint32_t size)
    {
        if (id == SPA_IO_Position)
            static_cast<Bursts*>(self)->position_.store(
                area != nullptr && size >= sizeof(spa_io_position) ? static_cast<spa_io_position*>(area) : nullptr);
    }

    static void onProcess(void* self)
    {
        auto* me = static_cast<Bursts*>(self);
        pw_buffer* b = pw_stream_dequeue_buffer(me->stream_);
        if (b == nullptr)
            return;
        spa_data& d = b->buffer->datas[0];
        const spa_io_position* position = me->position_.load();
        std::uint64_t frames = b->requested != 0 ? b->requested : (position != nullptr ? position->clock.duration : 0);
        frames = std::min<std::uint64_t>(frames, d.maxsize / sizeof(float));
        auto* f = static_cast<float*>(d.data);
        if (f != nullptr) {
            std::fill(f, f + frames, 0.0f);
            if (position != nullptr && me->sending_.load() && hasRoom(*me)) {
                const spa_io_clock& c = position->clock;
                const auto nsec = static_cast<std::int64_t>(c.nsec);
                if (nsec >= me->nextNs_) {
                    std::fill(f, f + std::min<std::uint64_t>(frames, kBurstFrames), kBurstLevel);
                    me->handed_.push_back({nsec, c.rate.num != 0 ? c.rate.denom / c.rate.num : 0,
                                           static_cast<std::int64_t>(c.position), static_cast<std::int64_t>(c.duration),
                                           c.delay});
                    me->nextNs_ = nsec + kBurstEveryNs;
                }
            }
        }
        d.chunk->offset = 0;
        d.chunk->stride = sizeof(float);
        d.chunk->size = static_cast<std::uint32_t>(frames * sizeof(float));
        pw_stream_queue_buffer(me->stream_, b);
    }

    static bool hasRoom(const Bursts& me) { return me.handed_.size() < me.handed_.capacity(); }

    const pw_stream_events events_ = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.io_changed = &Bursts::onIoChanged;
        e.process = &Bursts::onProcess;
        return e;
    }();
    int rate_;
    pw_thread_loop* loop_ = nullptr;
    pw_context* context_ = nullptr;
    pw_core* core_ = nullptr;
    pw_stream* stream_ = nullptr;
    pw_proxy* link_ = nullptr;
    spa_hook listener_{};
    std::atomic<const spa_io_position*> position_{nullptr};
    std::atomic<bool> sending_{false};
    // The realtime thread's own while sending.
    std::int64_t nextNs_ = 0;
    std::vector<GraphCycle> handed_;
};

std::uint32_t waitForNode(const std::function<std::uint32_t()>& id)
{
    for (int i = 0; i < 200; ++i) {
        if (const std::uint32_t n = id(); n != SPA_ID_INVALID)
            return n;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    throw std::runtime_error("calibration: a stream got no node");
}

}  // namespace

CalibrationResult calibrate(const std::string& sink, int rate, PipeWireTap tap, int seconds)
{
    const bool toSink = tap == PipeWireTap::sinkMonitor;
    PipeWireRecorder recorder(sink, rate, tap);
    Bursts bursts(sink, rate, toSink);
    const std::uint32_t into = waitForNode([&] { return recorder.nodeId(); });
    waitForNode([&] { return bursts.nodeId(); });
    // A link made while a port is still being set up is refused, and the
    // refusal comes back to nobody: linked again until the sound flows.
    for (int attempt = 0; !toSink && attempt < 5 && !recorder.flowing(); ++attempt) {
        bursts.linkTo(into);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    bursts.start();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const std::vector<GraphCycle> handed = bursts.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::vector<Onset> onsets = recorder.stop(kBurstLevel / 2, 100);

    CalibrationResult result;
    result.bursts = handed.size();
    result.summary = recorder.summary();
    std::size_t next = 0;
    for (const GraphCycle& cycle : handed) {
        const std::int64_t at = cycle.nsec + cycle.delayNs();
        while (next < onsets.size() && onsets[next].heardNs < at - kBurstEveryNs / 2)
            ++next;
        if (next == onsets.size() || onsets[next].heardNs > at + kBurstEveryNs / 2)
            continue;
        const double quantumMs = static_cast<double>(cycle.duration) * 1e3 / static_cast<double>(cycle.rate);
        result.heardMs.push_back(static_cast<double>(onsets[next].heardNs - at) / 1e6);
        result.arrivedQuanta.push_back(static_cast<double>(onsets[next].arrivedNs - cycle.nsec) / 1e6 / quantumMs);
        result.quantum = cycle.duration;
        ++next;
    }
    return result;
}

}  // namespace zorv::bench
