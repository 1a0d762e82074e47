#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "MonitorRecorder.h"

namespace zorv::bench {

namespace {

// Records the sink's monitor as a native PipeWire capture stream. Each buffer
// the stream takes in a graph cycle holds what the sink consumed in that
// cycle; the null sink has no device behind it, so the first frame leaves the
// server at the cycle's time (pw_time.now) plus the delay PipeWire reports
// towards the device, and each next frame one frame period later.
class PipeWireRecorder final : public Recorder {
public:
    PipeWireRecorder(const std::string& sink, int rate) : rate_(rate)
    {
        pw_init(nullptr, nullptr);
        loop_ = pw_thread_loop_new("zorv-bench-rec", nullptr);
        auto* props = pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE,
                                        "Production", PW_KEY_TARGET_OBJECT, sink.c_str(), PW_KEY_STREAM_CAPTURE_SINK,
                                        "true", PW_KEY_NODE_NAME, "zorv-bench-monitor", nullptr);
        stream_ = pw_stream_new_simple(pw_thread_loop_get_loop(loop_), "zorv latency monitor", props, &events_, this);
        std::uint8_t buffer[1024];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
        spa_audio_info_raw info{};
        info.format = SPA_AUDIO_FORMAT_F32;
        info.channels = 1;
        info.rate = static_cast<std::uint32_t>(rate);
        const spa_pod* params[1] = {spa_format_audio_raw_build(&b, SPA_PARAM_EnumFormat, &info)};
        const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                        PW_STREAM_FLAG_RT_PROCESS);
        if (stream_ == nullptr || pw_stream_connect(stream_, PW_DIRECTION_INPUT, PW_ID_ANY, flags, params, 1) != 0)
            throw std::runtime_error("recorder: cannot connect to PipeWire");
        samples_.reserve(static_cast<std::size_t>(rate) * 90);
        chunks_.reserve(100000);
        pw_thread_loop_start(loop_);
    }

    ~PipeWireRecorder() override
    {
        pw_thread_loop_stop(loop_);
        if (stream_ != nullptr)
            pw_stream_destroy(stream_);
        pw_thread_loop_destroy(loop_);
    }

    std::vector<Onset> stop(float threshold, int quietMs) override
    {
        pw_thread_loop_lock(loop_);
        recording_ = false;
        pw_thread_loop_unlock(loop_);
        return findOnsets(samples_, chunks_, rate_, threshold, quietMs);
    }

    std::string summary() const override
    {
        std::ostringstream out;
        out << cycles_ << " cycles, " << minFrames_ << ".." << maxFrames_ << " frames each, device delay " << delayMin_
            << ".." << delayMax_ << " frames";
        return out.str();
    }

private:
    void onProcess()
    {
        pw_buffer* b = pw_stream_dequeue_buffer(stream_);
        if (b == nullptr)
            return;
        pw_time time{};
        pw_stream_get_time_n(stream_, &time, sizeof(time));
        const spa_data& d = b->buffer->datas[0];
        if (recording_ && d.data != nullptr && d.chunk != nullptr) {
            const std::uint32_t offset = std::min(d.chunk->offset, d.maxsize);
            const std::uint32_t size = std::min(d.chunk->size, d.maxsize - offset);
            const auto* f = reinterpret_cast<const float*>(static_cast<const std::uint8_t*>(d.data) + offset);
            const std::size_t frames = size / sizeof(float);
            const std::int64_t delayNs =
                time.rate.denom != 0 ? time.delay * 1'000'000'000 * time.rate.num / time.rate.denom : 0;
            chunks_.push_back({samples_.size(), time.now + delayNs, time.now});
            samples_.insert(samples_.end(), f, f + frames);
            ++cycles_;
            minFrames_ = std::min<std::int64_t>(minFrames_, frames);
            maxFrames_ = std::max<std::int64_t>(maxFrames_, frames);
            delayMin_ = std::min<std::int64_t>(delayMin_, time.delay);
            delayMax_ = std::max<std::int64_t>(delayMax_, time.delay);
        }
        pw_stream_queue_buffer(stream_, b);
    }

    static void process(void* self) { static_cast<PipeWireRecorder*>(self)->onProcess(); }

    const pw_stream_events events_ = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.process = &PipeWireRecorder::process;
        return e;
    }();
    int rate_;
    pw_thread_loop* loop_ = nullptr;
    pw_stream* stream_ = nullptr;
    bool recording_ = true;
    std::vector<float> samples_;
    std::vector<Chunk> chunks_;
    std::int64_t cycles_ = 0, minFrames_ = INT64_MAX, maxFrames_ = 0, delayMin_ = INT64_MAX, delayMax_ = INT64_MIN;
};

}  // namespace

std::unique_ptr<Recorder> makePipeWireRecorder(const std::string& sink, int rate)
{
    return std::make_unique<PipeWireRecorder>(sink, rate);
}

}  // namespace zorv::bench
