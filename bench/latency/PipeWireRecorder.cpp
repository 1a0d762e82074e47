#include "bench/latency/PipeWireRecorder.h"

#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace zorv::bench {

std::int64_t tappedCycleNs(const GraphCycle& now, const GraphCycle& previous, std::int64_t frames, PipeWireTap tap)
{
    if (tap == PipeWireTap::direct)
        return now.nsec + now.delayNs();
    // The sink's monitor hands out what the sink consumed in the cycle
    // before. Where that cycle is the one seen last (it ended where this one
    // begins), its own time; after a skipped cycle, the buffer's length back.
    if (previous.rate > 0 && previous.position + previous.duration == now.position)
        return previous.nsec + previous.delayNs();
    return now.nsec - (now.rate > 0 ? frames * 1'000'000'000 / now.rate : 0) + now.delayNs();
}

std::int64_t GraphCycle::delayNs() const
{
    // The device's delay, whichever sign its driver gives it.
    return rate > 0 ? std::llabs(delay) * 1'000'000'000 / rate : 0;
}

PipeWireRecorder::PipeWireRecorder(const std::string& target, int rate, PipeWireTap tap) : rate_(rate), tap_(tap)
{
    pw_init(nullptr, nullptr);
    loop_ = pw_thread_loop_new("zorv-bench-rec", nullptr);
    auto* props = pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE,
                                    "Production", PW_KEY_NODE_NAME, "zorv-bench-capture", nullptr);
    if (tap == PipeWireTap::sinkMonitor) {
        pw_properties_set(props, PW_KEY_TARGET_OBJECT, target.c_str());
        pw_properties_set(props, PW_KEY_STREAM_CAPTURE_SINK, "true");
    }
    stream_ = pw_stream_new_simple(pw_thread_loop_get_loop(loop_), "zorv latency monitor", props, &events_, this);
    std::uint8_t buffer[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    const spa_pod* params[1] = {monoFloatFormat(b, rate)};
    // Linked directly, the link is made by hand (bench/latency/Calibration):
    // no session manager may move it to the sink.
    auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
    if (tap == PipeWireTap::sinkMonitor)
        flags = static_cast<pw_stream_flags>(flags | PW_STREAM_FLAG_AUTOCONNECT);
    if (stream_ == nullptr || pw_stream_connect(stream_, PW_DIRECTION_INPUT, PW_ID_ANY, flags, params, 1) != 0)
        throw std::runtime_error("recorder: cannot connect to PipeWire");
    samples_.reserve(static_cast<std::size_t>(rate) * 90);
    chunks_.reserve(100000);
    pw_thread_loop_start(loop_);
}

PipeWireRecorder::~PipeWireRecorder()
{
    pw_thread_loop_stop(loop_);
    if (stream_ != nullptr)
        pw_stream_destroy(stream_);
    pw_thread_loop_destroy(loop_);
}

std::uint32_t PipeWireRecorder::nodeId() const { return streamNodeId(loop_, stream_); }

std::vector<Onset> PipeWireRecorder::stop(float threshold, int quietMs)
{
    pw_thread_loop_lock(loop_);
    recording_ = false;
    pw_thread_loop_unlock(loop_);
    return findOnsets(samples_, chunks_, rate_, threshold, quietMs);
}

std::string PipeWireRecorder::summary() const
{
    std::ostringstream out;
    out << cycles_ << " cycles, " << minFrames_ << ".." << maxFrames_ << " frames each, device delay " << delayMin_
        << ".." << delayMax_ << " frames, " << skipped_ << " cycles skipped; "
        << (tap_ == PipeWireTap::direct ? "linked directly" : "on the sink's monitor");
    return out.str();
}

void PipeWireRecorder::onIoChanged(void* self, std::uint32_t id, void* area, std::uint32_t size)
{
    auto* me = static_cast<PipeWireRecorder*>(self);
    if (id == SPA_IO_Position)
        me->position_.store(area != nullptr && size >= sizeof(spa_io_position) ? static_cast<spa_io_position*>(area)
                                                                               : nullptr);
}

void PipeWireRecorder::onProcess(void* self)
{
    auto* me = static_cast<PipeWireRecorder*>(self);
    pw_buffer* b = pw_stream_dequeue_buffer(me->stream_);
    if (b == nullptr)
        return;
    me->processed_.fetch_add(1);
    const spa_io_position* position = me->position_.load();
    const spa_data& d = b->buffer->datas[0];
    if (position != nullptr && me->recording_ && d.data != nullptr && d.chunk != nullptr) {
        const spa_io_clock& c = position->clock;
        const GraphCycle now{static_cast<std::int64_t>(c.nsec), c.rate.num != 0 ? c.rate.denom / c.rate.num : 0,
                             static_cast<std::int64_t>(c.position), static_cast<std::int64_t>(c.duration), c.delay};
        const std::uint32_t offset = std::min(d.chunk->offset, d.maxsize);
        const std::uint32_t size = std::min(d.chunk->size, d.maxsize - offset);
        const auto* f = reinterpret_cast<const float*>(static_cast<const std::uint8_t*>(d.data) + offset);
        const std::size_t frames = size / sizeof(float);
        const std::int64_t heard = tappedCycleNs(now, me->previous_, static_cast<std::int64_t>(frames), me->tap_);
        me->chunks_.push_back({me->samples_.size(), heard, now.nsec});
        me->samples_.insert(me->samples_.end(), f, f + frames);
        me->note(now, static_cast<std::int64_t>(frames));
        me->previous_ = now;
    }
    pw_stream_queue_buffer(me->stream_, b);
}

void PipeWireRecorder::note(const GraphCycle& now, std::int64_t frames)
{
    if (cycles_ > 0 && previous_.position + previous_.duration != now.position)
        ++skipped_;
    ++cycles_;
    minFrames_ = std::min(minFrames_, frames);
    maxFrames_ = std::max(maxFrames_, frames);
    delayMin_ = std::min(delayMin_, now.delay);
    delayMax_ = std::max(delayMax_, now.delay);
}

std::unique_ptr<Recorder> makePipeWireRecorder(const std::string& sink, int rate)
{
    return std::make_unique<PipeWireRecorder>(sink, rate, PipeWireTap::sinkMonitor);
}

std::uint32_t streamNodeId(pw_thread_loop* loop, pw_stream* stream)
{
    pw_thread_loop_lock(loop);
    const char* error = nullptr;
    const bool ready = pw_stream_get_state(stream, &error) >= PW_STREAM_STATE_PAUSED;
    const std::uint32_t id = ready ? pw_stream_get_node_id(stream) : SPA_ID_INVALID;
    pw_thread_loop_unlock(loop);
    return id;
}

const spa_pod* monoFloatFormat(spa_pod_builder& b, int rate)
{
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.channels = 1;
    info.rate = static_cast<std::uint32_t>(rate);
    return spa_format_audio_raw_build(&b, SPA_PARAM_EnumFormat, &info);
}

}  // namespace zorv::bench
