#include "audio/ServerLatency.h"

namespace zorv {

namespace {

// SDL's pulseaudio driver talks to PulseAudio or to PipeWire's pulse layer,
// and only the server knows which it is. Both sources start; the one that
// does not find its server stays at -1 and idle.
class PulseOrPipeWire final : public OutputLatency {
public:
    explicit PulseOrPipeWire(const OutputStream& stream) : pipeWire_(makePipeWireLatency(stream)) {}
    std::int64_t delayNs() const noexcept override
    {
        const std::int64_t pulse = pulse_->delayNs();
        return pulse >= 0 ? pulse : pipeWire_->delayNs();
    }

private:
    std::unique_ptr<OutputLatency> pulse_ = makePulseLatency();
    std::unique_ptr<OutputLatency> pipeWire_;
};

}  // namespace

std::unique_ptr<OutputLatency> makeServerLatency(const OutputStream& stream)
{
    if (stream.driver == "pulseaudio")
        return std::make_unique<PulseOrPipeWire>(stream);
    if (stream.driver == "pipewire")
        return makePipeWireLatency(stream);
    return nullptr;
}

}  // namespace zorv
