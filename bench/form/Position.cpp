#include "bench/form/Position.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace zorv::formbench {
namespace {

// The log counts from its registration, the player from play() less one
// buffer: the two differ by a constant, the one most reads agree on.
std::int64_t logOffset(const std::vector<TimedPlayer::Read>& reads, const CallbackLog& log)
{
    const std::size_t n = log.count.load(std::memory_order_acquire);
    const CallbackLog::Entry* e = log.entries.get();
    std::map<std::int64_t, int> votes;
    auto lastCallbackBefore = [&](std::int64_t t) -> std::ptrdiff_t {
        const auto it =
            std::upper_bound(e, e + n, t, [](std::int64_t v, const CallbackLog::Entry& x) { return v < x.atNs; });
        return (it - e) - 1;
    };
    for (const auto& r : reads)
        if (r.framesBefore == r.framesAfter && r.framesBefore > 0) {
            const std::ptrdiff_t k = lastCallbackBefore(r.atNs);
            if (k >= 0)
                ++votes[e[k].frames - r.framesBefore];
        }
    std::int64_t offset = 0;
    int best = 0;
    for (const auto& [d, count] : votes)
        if (count > best)
            best = count, offset = d;
    return offset;
}

// Each read compared with the frames consumed at its instant, in ms.
struct ErrorSeries {
    std::vector<double> errors, steps, times, signedErrors;
};

ErrorSeries errorSeries(const std::vector<TimedPlayer::Read>& reads, const CallbackLog& log, int rate,
                        std::int32_t lengthMs)
{
    const std::size_t n = log.count.load(std::memory_order_acquire);
    const CallbackLog::Entry* e = log.entries.get();
    const std::int64_t offset = logOffset(reads, log);
    ErrorSeries series;
    for (const auto& r : reads) {
        // Only while the music runs: not before its first buffer is heard,
        // not once the player has called it finished.
        if (r.framesBefore != r.framesAfter || r.framesBefore <= 0 || r.positionMs >= lengthMs)
            continue;
        const std::int64_t mixed = r.framesBefore + offset;
        const auto it =
            std::lower_bound(e, e + n, mixed, [](const CallbackLog::Entry& x, std::int64_t v) { return x.frames < v; });
        const std::ptrdiff_t k = it - e;
        if (k >= static_cast<std::ptrdiff_t>(n) - 1 || e[k].frames != mixed)
            continue;
        const double span = static_cast<double>(e[k + 1].atNs - e[k].atNs);
        const double fraction = std::clamp(static_cast<double>(r.atNs - e[k].atNs) / span, 0.0, 1.0);
        const double consumed =
            static_cast<double>(r.framesBefore) + fraction * static_cast<double>(e[k + 1].frames - e[k].frames);
        const double error = r.positionMs - consumed * 1000.0 / rate;
        series.signedErrors.push_back(error);
        series.errors.push_back(std::abs(error));
        series.times.push_back(ms(r.atNs - reads.front().atNs) / 1000.0);
        series.steps.push_back(r.positionMs - static_cast<double>(r.framesBefore) * 1000.0 / rate);
    }
    return series;
}

// The drift: the slope of a least-squares line through the signed errors,
// and their means over the first and the last 10 s.
void fitDrift(const ErrorSeries& series, PositionError& result)
{
    const std::vector<double>& times = series.times;
    const std::vector<double>& signedErrors = series.signedErrors;
    if (times.size() <= 2)
        return;
    double st = 0, se = 0, stt = 0, ste = 0;
    const double count = static_cast<double>(times.size());
    for (std::size_t i = 0; i < times.size(); ++i) {
        st += times[i];
        se += signedErrors[i];
        stt += times[i] * times[i];
        ste += times[i] * signedErrors[i];
    }
    result.slopeMsPerMin = (count * ste - st * se) / (count * stt - st * st) * 60.0;
    double first = 0, last = 0;
    int nf = 0, nl = 0;
    for (std::size_t i = 0; i < times.size(); ++i) {
        if (times[i] < times.front() + 10)
            first += signedErrors[i], ++nf;
        if (times[i] > times.back() - 10)
            last += signedErrors[i], ++nl;
    }
    result.meanFirst = first / std::max(nf, 1);
    result.meanLast = last / std::max(nl, 1);
}

}  // namespace

int watchCallbacks(CallbackLog& log)
{
    int rate = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    log.frameBytes = SDL_AUDIO_BITSIZE(format) / 8 * channels;
    Mix_RegisterEffect(MIX_CHANNEL_POST, &CallbackLog::effect, nullptr, &log);
    return rate;
}

PositionError positionError(const std::vector<TimedPlayer::Read>& reads, const CallbackLog& log, int rate,
                            std::int32_t lengthMs)
{
    const ErrorSeries series = errorSeries(reads, log, rate, lengthMs);
    std::size_t backwards = 0;
    for (std::size_t i = 1; i < reads.size(); ++i)
        backwards += reads[i].positionMs < reads[i - 1].positionMs ? 1 : 0;
    PositionError result{
        summarize(series.errors), 0, 0, 0, summarize(series.steps), series.errors.size(), reads.size(), backwards};
    fitDrift(series, result);
    return result;
}

}  // namespace zorv::formbench
