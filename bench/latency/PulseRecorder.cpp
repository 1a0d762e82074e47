#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <sstream>
#include <stdexcept>

#include "bench/latency/MonitorRecorder.h"

namespace zorv::bench {

namespace {

std::int64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

// Records "<sink>.monitor". A record stream's latency is the age of the next
// byte to read: for a monitor, the time since the sink played it by its own
// reckoning (negative while the sink still holds it), so read time less that
// latency is when the sound left the server.
class PulseRecorder final : public Recorder {
public:
    PulseRecorder(const std::string& sink, int rate) : rate_(rate)
    {
        samples_.reserve(static_cast<std::size_t>(rate) * 90);
        chunks_.reserve(200000);
        loop_ = pa_threaded_mainloop_new();
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "zorv latency bench");
        pa_context_set_state_callback(context_, &PulseRecorder::signal, loop_);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            throw std::runtime_error("recorder: no PulseAudio server");
        pa_threaded_mainloop_lock(loop_);
        pa_threaded_mainloop_start(loop_);
        while (pa_context_get_state(context_) != PA_CONTEXT_READY) {
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)))
                fail("the server refused the connection");
            pa_threaded_mainloop_wait(loop_);
        }
        const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(rate), 1};
        stream_ = pa_stream_new(context_, "latency monitor", &spec, nullptr);
        pa_stream_set_state_callback(
            stream_, [](pa_stream*, void* loop) { signal(nullptr, loop); }, loop_);
        pa_stream_set_read_callback(
            stream_,
            [](pa_stream*, std::size_t bytes, void* self) { static_cast<PulseRecorder*>(self)->onRead(bytes); }, this);
        // 20 ms fragments: a smaller one would make the null sink render in
        // smaller blocks than the player's stream asks for, and so change
        // what is measured. The latency reckoning does not depend on it.
        pa_buffer_attr attr{};
        attr.maxlength = attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(20000, &spec));
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
        const std::string source = sink + ".monitor";
        if (pa_stream_connect_record(stream_, source.c_str(), &attr, flags) < 0)
            fail("cannot record " + source);
        while (pa_stream_get_state(stream_) != PA_STREAM_READY) {
            if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)))
                fail("cannot record " + source);
            pa_threaded_mainloop_wait(loop_);
        }
        pa_threaded_mainloop_unlock(loop_);
    }

    ~PulseRecorder() override
    {
        pa_threaded_mainloop_stop(loop_);
        if (stream_ != nullptr) {
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        pa_threaded_mainloop_free(loop_);
    }

    std::vector<Onset> stop(float threshold, int quietMs) override
    {
        pa_threaded_mainloop_lock(loop_);
        recording_ = false;
        pa_threaded_mainloop_unlock(loop_);
        return findOnsets(samples_, chunks_, rate_, threshold, quietMs);
    }

    std::string summary() const override
    {
        std::ostringstream out;
        out << reads_ << " reads, record latency " << latencyMinUs_ / 1000.0 << ".." << latencyMaxUs_ / 1000.0 << " ms";
        return out.str();
    }

private:
    [[noreturn]] void fail(const std::string& why)
    {
        pa_threaded_mainloop_unlock(loop_);
        throw std::runtime_error("recorder: " + why);
    }

    static void signal(pa_context*, void* loop)
    {
        pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
    }

    void onRead(std::size_t bytes)
    {
        const std::int64_t now = monotonicNs();
        pa_usec_t usec = 0;
        int negative = 0;
        const bool known = pa_stream_get_latency(stream_, &usec, &negative) == 0;
        const std::int64_t latencyNs = (negative ? -1 : 1) * static_cast<std::int64_t>(usec) * 1000;
        const auto queued = static_cast<std::int64_t>(bytes / sizeof(float));
        std::int64_t offset = 0;  // frames of this read before the chunk
        while (pa_stream_readable_size(stream_) > 0) {
            const void* data = nullptr;
            std::size_t length = 0;
            if (pa_stream_peek(stream_, &data, &length) < 0 || length == 0)
                break;
            const std::size_t frames = length / sizeof(float);
            if (recording_ && known) {
                chunks_.push_back({samples_.size(), now - latencyNs + offset * 1'000'000'000 / rate_,
                                   now - (queued - offset) * 1'000'000'000 / rate_});
                const auto* f = static_cast<const float*>(data);
                if (f != nullptr)
                    samples_.insert(samples_.end(), f, f + frames);
                else
                    samples_.insert(samples_.end(), frames, 0.0f);  // a hole in the stream
            }
            offset += static_cast<std::int64_t>(frames);
            pa_stream_drop(stream_);
        }
        ++reads_;
        if (known) {
            latencyMinUs_ = std::min(latencyMinUs_, latencyNs / 1000);
            latencyMaxUs_ = std::max(latencyMaxUs_, latencyNs / 1000);
        }
    }

    int rate_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool recording_ = true;
    std::vector<float> samples_;
    std::vector<Chunk> chunks_;
    std::int64_t reads_ = 0, latencyMinUs_ = INT64_MAX, latencyMaxUs_ = INT64_MIN;
};

}  // namespace

std::unique_ptr<Recorder> makePulseRecorder(const std::string& sink, int rate)
{
    return std::make_unique<PulseRecorder>(sink, rate);
}

std::vector<Onset> findOnsets(const std::vector<float>& samples, const std::vector<Chunk>& chunks, int rate,
                              float threshold, int quietMs)
{
    std::vector<Onset> onsets;
    const auto quiet = static_cast<std::size_t>(rate) * static_cast<std::size_t>(quietMs) / 1000;
    std::size_t lastLoud = 0;
    bool any = false;
    std::size_t chunk = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (!(std::abs(samples[i]) >= threshold))
            continue;
        if (!any || i - lastLoud > quiet) {
            while (chunk + 1 < chunks.size() && chunks[chunk + 1].first <= i)
                ++chunk;
            const Chunk& c = chunks[chunk];
            const std::int64_t into = static_cast<std::int64_t>(i - c.first) * 1'000'000'000 / rate;
            onsets.push_back({c.heardNs + into, c.arrivedNs + into});
        }
        any = true;
        lastLoud = i;
    }
    return onsets;
}

}  // namespace zorv::bench
