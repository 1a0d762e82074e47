#include "bench/form/Figures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace zorv::formbench {

void reportEveryTick(const Harness& harness)
{
    std::vector<double> all;
    int paintless = 0;
    for (const Tick& t : harness.ticks) {
        all.push_back(ms(t.paintedNs - t.startNs));
        paintless += t.paints == 0 ? 1 : 0;
    }
    const Summary allTicks = summarize(all);
    std::fprintf(
        stderr,
        "  ticks: %zu (%d without a paint); every tick incl. repaint: median %.3f ms, p99 %.3f ms, max %.3f ms\n",
        all.size(), paintless, allTicks.median, allTicks.p99, allTicks.max);
}

void reportLoadedTicks(const Harness& harness, bool breakdown)
{
    std::vector<double> loaded, loadedHandler, before, painting;
    for (const Tick& t : harness.ticks)
        if (isLoaded(t)) {
            loaded.push_back(ms(t.paintedNs - t.startNs));
            loadedHandler.push_back(ms(t.handledNs - t.startNs));
            before.push_back(ms(t.firstPaintNs - t.handledNs));
            painting.push_back(ms(t.paintedNs - t.firstPaintNs));
        }
    std::array<double, kKinds> kindMs{};
    for (const Tick& t : harness.ticks)
        if (isLoaded(t))
            for (int k = 0; k < kKinds; ++k)
                kindMs[k] += ms(t.paintNs[k]) / static_cast<double>(loaded.size());
    const Summary tick = summarize(loaded), handler = summarize(loadedHandler);
    const Summary beforeS = summarize(before), paintingS = summarize(painting);
    std::fprintf(stderr,
                 "  16 arrows + 4 judgements: %zu ticks; medians (p99): handler %.3f (%.3f) ms, "
                 "until the first paint event %.3f (%.3f) ms, paint events and flush %.3f (%.3f) ms\n",
                 tick.n, handler.median, handler.p99, beforeS.median, beforeS.p99, paintingS.median, paintingS.p99);
    if (breakdown) {
        std::fprintf(stderr, "  paint events, mean per loaded tick:");
        for (int k = 0; k < kKinds; ++k)
            std::fprintf(stderr, "%s %s %.3f ms", k ? "," : "", kKindNames[k], kindMs[k]);
        std::fprintf(stderr, "\n");
    }
    report("tick handler + repaint, 16 arrows, 4 judgements",
           fmt("median %.3f ms, p99 %.3f ms", tick.median, tick.p99) + " (n=" + std::to_string(tick.n) + ")",
           "p99 < 0.5 ms", tick.n > 0 && tick.p99 < 0.5);
}

void reportPositionCalls(const TimedPlayer& player)
{
    std::vector<double> positionCalls;
    for (const auto& r : player.reads)
        positionCalls.push_back(ms(r.tookNs));
    const Summary positionCall = summarize(positionCalls);
    std::fprintf(stderr, "  position() calls: median %.3f ms, p99 %.3f ms, max %.3f ms\n", positionCall.median,
                 positionCall.p99, positionCall.max);
}

void reportTickIntervals(const Harness& harness, bool dense, std::int64_t wallNs)
{
    std::vector<double> intervals;
    for (std::size_t i = 1; i < harness.ticks.size(); ++i)
        intervals.push_back(std::abs(ms(harness.ticks[i].startNs - harness.ticks[i - 1].startNs) - 50.0));
    const Summary interval = summarize(intervals);
    std::fprintf(stderr, "  tick interval deviation: max %.3f ms over %zu intervals\n", interval.max, interval.n);
    report(dense ? "tick interval |dev. from 50 ms| (dense chart)" : "tick interval |dev. from 50 ms| (song)",
           fmt("median %.3f ms, p99 %.3f ms", interval.median, interval.p99) + fmt(" over %.0f s", ms(wallNs) / 1000),
           "p99 <= 2 ms", interval.p99 <= 2.0 && wallNs >= 60'000'000'000);
}

void reportKeys(const Harness& harness, bool dense)
{
    std::vector<double> pressHandled, pressPainted, releaseHandled;
    int pressesPainted = 0, presses = 0;
    for (const Key& k : harness.keys) {
        if (k.press) {
            ++presses;
            pressHandled.push_back(ms(k.handledNs));
            pressPainted.push_back(ms(k.paintedNs));
            pressesPainted += k.paints > 0 ? 1 : 0;
        } else {
            releaseHandled.push_back(ms(k.handledNs));
        }
    }
    const Summary press = summarize(pressHandled), pressPaint = summarize(pressPainted),
                  release = summarize(releaseHandled);
    std::fprintf(stderr, "  key presses: %d, %d followed by a paint; to repaint done: median %.3f ms, p99 %.3f ms\n",
                 presses, pressesPainted, pressPaint.median, pressPaint.p99);
    if (!releaseHandled.empty())
        std::fprintf(stderr, "  key releases: %zu; delivered to handled: median %.3f ms, p99 %.3f ms\n", release.n,
                     release.median, release.p99);
    report(dense ? "key delivered -> judged, repaint requested (dense chart)"
                 : "key delivered -> judged, repaint requested (song)",
           fmt("median %.3f ms, p99 %.3f ms, max %.3f ms", press.median, press.p99, press.max) +
               " (n=" + std::to_string(press.n) + ")",
           "< 1 ms", press.n > 0 && press.p99 < 1.0);
}

void reportPosition(const TimedPlayer& player, const CallbackLog& log, int rate, std::int32_t lengthMs)
{
    const PositionError pe = positionError(player.reads, log, rate, lengthMs);
    std::fprintf(stderr,
                 "  position: %zu of %zu reads compared, %zu ran backwards; signed mean error first 10 s %.3f ms, "
                 "last 10 s %.3f ms; position - framesConsumed() at the read: median %.3f ms, max %.3f ms\n",
                 pe.used, pe.reads, pe.backwards, pe.meanFirst, pe.meanLast, pe.step.median, pe.step.max);
    report(
        "play position vs frames consumed, whole song",
        fmt("|error| median %.3f ms, p99 %.3f ms, max %.3f ms", pe.absError.median, pe.absError.p99, pe.absError.max) +
            fmt("; drift %.3f ms/min", pe.slopeMsPerMin),
        "< 5 ms, no drift", pe.used > 100 && pe.absError.max < 5.0 && std::abs(pe.meanLast - pe.meanFirst) < 1.0);
}

}  // namespace zorv::formbench
