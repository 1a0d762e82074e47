#include "audio/RecentFigures.h"
#include "audio/ServerLatency.h"

#include <pulse/pulseaudio.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace zorv {

namespace {

// Asks PulseAudio, over a connection of its own, how long our sink input's
// sound stays in the server: its buffer (the stream's queue and what the
// server has rendered from it) plus the sink's latency. The sum swings by a
// sink block (2.9 ms at our buffer size) with where the server is in its
// cycle, so the figure published is the mean of the middle half of the last
// kWindow answers, asked at uneven intervals so that they do not fall on the
// same few points of that cycle.
class PulseLatency final : public OutputLatency {
public:
    static constexpr int kWindow = 24;
    static constexpr pa_usec_t kEveryUs = 90'000;    // plus 0..20 ms
    static constexpr int kMissesForGone = 3;         // answers without our stream before it counts as gone
    static constexpr int kFewest = 5;                // answers before the first figure
    static constexpr pa_usec_t kMostUs = 1'000'000;  // more than any device, Bluetooth included

    PulseLatency() : pid_(getpid())
    {
        loop_ = pa_threaded_mainloop_new();
        if (loop_ == nullptr)
            return;
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "zorv latency");
        if (context_ == nullptr)
            return;
        pa_context_set_state_callback(context_, &PulseLatency::onState, this);
        // NOAUTOSPAWN: asking must never start a server.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return;
        pa_threaded_mainloop_start(loop_);
    }

    ~PulseLatency() override
    {
        if (loop_ == nullptr)
            return;
        pa_threaded_mainloop_stop(loop_);
        if (timer_ != nullptr)
            pa_threaded_mainloop_get_api(loop_)->time_free(timer_);
        if (context_ != nullptr) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        pa_threaded_mainloop_free(loop_);
    }

    std::int64_t delayNs() const noexcept override { return delayNs_.load(std::memory_order_relaxed); }

private:
    static void onState(pa_context* context, void* self)
    {
        auto* me = static_cast<PulseLatency*>(self);
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY) {
            pa_operation_unref(pa_context_get_server_info(context, &PulseLatency::onServer, self));
        } else if (!PA_CONTEXT_IS_GOOD(state)) {
            me->delayNs_.store(-1, std::memory_order_relaxed);  // the server went away or never came
        }
    }

    // PipeWire's pulse layer answers 0 for every buffer and sink latency:
    // that would only look like a figure, so nothing is asked there.
    static void onServer(pa_context* context, const pa_server_info* info, void* self)
    {
        auto* me = static_cast<PulseLatency*>(self);
        if (info == nullptr || (info->server_name != nullptr && std::strstr(info->server_name, "PipeWire") != nullptr))
            return;
        me->timer_ = pa_context_rttime_new(context, pa_rtclock_now(), &PulseLatency::onTimer, self);
    }

    static void onTimer(pa_mainloop_api* api, pa_time_event* timer, const struct timeval*, void* self)
    {
        auto* me = static_cast<PulseLatency*>(self);
        if (pa_context_get_state(me->context_) != PA_CONTEXT_READY)
            return;
        me->found_ = false;
        pa_operation* op = pa_context_get_sink_input_info_list(me->context_, &PulseLatency::onSinkInput, self);
        if (op != nullptr)
            pa_operation_unref(op);
        me->jitter_ = (me->jitter_ * 1103515245u + 12345u) & 0x7fffffffu;
        pa_context_rttime_restart(me->context_, timer, pa_rtclock_now() + kEveryUs + me->jitter_ % 20'000);
        (void)api;
    }

    static void onSinkInput(pa_context*, const pa_sink_input_info* info, int eol, void* self)
    {
        auto* me = static_cast<PulseLatency*>(self);
        if (eol != 0) {
            if (!me->found_ && ++me->misses_ >= kMissesForGone) {
                me->answers_.clear();
                me->delayNs_.store(-1, std::memory_order_relaxed);
            }
            return;
        }
        const char* pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
        if (me->found_ || pid == nullptr || std::atoi(pid) != me->pid_ || info->corked != 0)
            return;
        me->found_ = true;
        me->misses_ = 0;
        // A sink that has just woken up reports the latency it had while idle
        // (over a second on a null sink) for its first answer or two.
        const pa_usec_t usec = info->buffer_usec + info->sink_usec;
        if (usec <= kMostUs)
            me->add(static_cast<std::int64_t>(usec) * 1000);
    }

    void add(std::int64_t ns)
    {
        answers_.add(ns);
        if (answers_.count() >= kFewest)
            delayNs_.store(answers_.middleMean(), std::memory_order_relaxed);
    }

    const int pid_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_time_event* timer_ = nullptr;
    std::atomic<std::int64_t> delayNs_{-1};
    // The mainloop thread's own.
    RecentFigures<kWindow> answers_;
    int misses_ = 0;
    bool found_ = false;
    std::uint32_t jitter_ = 1;
};

}  // namespace

std::unique_ptr<OutputLatency> makePulseLatency() { return std::make_unique<PulseLatency>(); }

}  // namespace zorv
