// Plays a click track through the real SdlMediaPlayer and compares the moment
// position() crosses each click with the moment that click leaves the sound
// server, recorded from the sink's monitor with steady-clock timestamps. Each
// run plays the track twice: with the plain position (no latency source, as
// the player was before it asked the server) and with the server's delay
// taken off. Run by scripts/latency-bench.sh, which starts private servers;
// see docs/performance.md.
//
//   latency_bench --label NAME --recorder pulse|pipewire|none [--sink zorv_null]
//                 [--rate 48000] [--seconds 20] [--check]
//   latency_bench --label NAME --kill PID [--kill-after-ms 3000] [--seconds 8]
//   latency_bench --label NAME --calibrate [--sink zorv_null] [--seconds 10]
//
// --recorder none (SDL's dummy driver: nothing to record) compares position()
// with the frames the device consumed instead, and the delay applied.
// Prints FIGURE lines (name, result, target, verdict) on stdout, details on
// stderr. --check exits 1 unless taking the delay off moved the median
// towards 0 by more than the spread of either run (the CI test). --kill plays
// once as the game does and kills the server PID mid-song (SIGKILL); it exits
// 1 unless the position still went on to the length, smoothly.
// --error-ms N plays a third time with the delay taken off N ms too large, a
// deliberate error the figures must show (and the target then misses).
// --calibrate checks the PipeWire recorder's convention (Calibration.h) on
// the sink's monitor and on a direct link; exits 1 where it does not hold.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <signal.h>
#include <unistd.h>
#include <vector>

#include "bench/latency/Calibration.h"
#include "bench/latency/MonitorRecorder.h"
#include "audio/SdlMediaPlayer.h"
#include "support/Wav.h"

namespace {

using zorv::SdlMediaPlayer;

constexpr int kTrackRate = 44100;
constexpr int kFirstClickMs = 1000;
constexpr int kClickEveryMs = 250;
constexpr double kTargetMedianMs = 3.0;
constexpr double kTargetIqrMs = 2.0;

std::int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// 16-bit stereo WAV at 44.1 kHz: silence with a 1 ms pulse at 0.7 of full
// scale every kClickEveryMs from kFirstClickMs on, one second of silence at
// the end. Returns the clicks' times in ms.
std::vector<int> writeClickTrack(const std::string& name, int seconds)
{
    const std::int64_t frames = std::int64_t{kTrackRate} * seconds;
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(frames) * 2, 0);
    std::vector<int> clicks;
    for (int ms = kFirstClickMs; ms <= seconds * 1000 - 1000; ms += kClickEveryMs) {
        clicks.push_back(ms);
        const std::int64_t first = std::int64_t{ms} * kTrackRate / 1000;
        for (std::int64_t f = first; f < first + kTrackRate / 1000; ++f)
            pcm[static_cast<std::size_t>(f) * 2] = pcm[static_cast<std::size_t>(f) * 2 + 1] = 22937;
    }
    const std::string wav = zorv::test::pcmWav(pcm, kTrackRate, 2);
    std::ofstream(name, std::ios::binary).write(wav.data(), static_cast<std::streamsize>(wav.size()));
    return clicks;
}

struct Read {
    std::int64_t atNs;
    std::int32_t ms;
    std::int64_t costNs;      // of the position() call
    std::int64_t consumedMs;  // framesConsumed() just before, in ms
    std::int64_t delayNs;     // the delay position() took off
};

// Reads position() about every 200 us until the song has ended.
std::vector<Read> pollUntilEnd(SdlMediaPlayer& player)
{
    std::vector<Read> reads;
    reads.reserve(400000);
    const std::int64_t deadline = steadyNs() + (std::int64_t{player.length()} + 5000) * 1'000'000;
    for (;;) {
        const std::int64_t consumed = player.framesConsumed() * 1000 / player.sampleRate();
        const std::int64_t at = steadyNs();
        const std::int32_t ms = player.position();
        const std::int64_t cost = steadyNs() - at;
        reads.push_back({at, ms, cost, consumed, player.appliedDelayNs()});
        if (ms >= player.length() || at > deadline)
            break;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return reads;
}

// When position() first read `ms` or more: midway between that read and the
// one before it.
std::int64_t crossing(const std::vector<Read>& reads, int ms)
{
    const auto it = std::find_if(reads.begin(), reads.end(), [&](const Read& r) { return r.ms >= ms; });
    if (it == reads.end())
        return -1;
    if (it == reads.begin())
        return it->atNs;
    return (std::prev(it)->atNs + it->atNs) / 2;
}

double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const double at = q * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(at);
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (at - static_cast<double>(lo));
}

struct Spread {
    double median, iqr, min, max, mean;
    std::size_t n;
};

Spread spread(const std::vector<double>& v)
{
    double sum = 0;
    for (const double x : v)
        sum += x;
    return {quantile(v, 0.5),
            quantile(v, 0.75) - quantile(v, 0.25),
            quantile(v, 0),
            quantile(v, 1),
            v.empty() ? NAN : sum / static_cast<double>(v.size()),
            v.size()};
}

struct Options {
    std::string label = "server";
    std::string recorder = "pulse";
    std::string sink = "zorv_null";
    int rate = 48000;
    int seconds = 20;
    bool check = false;
    int killPid = 0;  // --kill: the server to end mid-song
    int killAfterMs = 3000;
    int errorMs = 0;  // --error-ms: the deliberate error's run
    bool calibrate = false;
};

// The server's delay, taken off `errorNs` too large: a deliberate error.
class Skewed final : public zorv::OutputLatency {
public:
    Skewed(std::unique_ptr<zorv::OutputLatency> inner, std::int64_t errorNs)
        : inner_(std::move(inner)), errorNs_(errorNs)
    {}
    std::int64_t delayNs() const noexcept override
    {
        return std::max<std::int64_t>(inner_ ? inner_->delayNs() : 0, 0) + errorNs_;
    }

private:
    std::unique_ptr<zorv::OutputLatency> inner_;
    std::int64_t errorNs_;
};

struct RunResult {
    Spread heard;     // heard - position at each click, ms
    Spread vsDevice;  // position - frames consumed, ms, at every read
    Spread costUs;    // of position()
    double delayMinMs, delayMaxMs;
};

// Stops the recorder and pairs each click with the first onset it heard
// from 100 ms before the position crossed the click to 200 ms after: how
// long after the crossing it was heard, in ms. A click with none is said on
// stderr and left out.
std::vector<double> heardAfterCrossing(zorv::bench::Recorder& recorder, const std::vector<Read>& reads,
                                       const std::vector<int>& clicks, const char* run)
{
    std::vector<double> heard;
    const std::vector<zorv::bench::Onset> onsets = recorder.stop(0.35f, 100);
    std::size_t next = 0;
    for (const int ms : clicks) {
        const std::int64_t at = crossing(reads, ms);
        while (next < onsets.size() && onsets[next].heardNs < at - 100'000'000)
            ++next;
        if (at < 0 || next == onsets.size() || onsets[next].heardNs > at + 200'000'000) {
            std::fprintf(stderr, "  click at %d ms: no onset near position's crossing%s\n", ms,
                         at < 0 ? " (never crossed)" : "");
            continue;
        }
        heard.push_back(static_cast<double>(onsets[next].heardNs - at) / 1e6);
        ++next;
    }
    std::fprintf(stderr, "  %s: %zu onsets for %zu clicks; %s\n", run, onsets.size(), clicks.size(),
                 recorder.summary().c_str());
    return heard;
}

// Plays the track once: without a latency source (`compensate` false), as the
// game does, or as the game does with a deliberate error of `errorNs`.
RunResult playOnce(const Options& o, const std::string& track, const std::vector<int>& clicks, bool compensate,
                   std::int64_t errorNs = 0)
{
    zorv::OutputLatencyFactory factory = [](const zorv::OutputStream&) { return nullptr; };
    if (compensate)
        factory = zorv::makeServerLatency;
    if (errorNs != 0)
        factory = [errorNs](const zorv::OutputStream& stream) {
            return std::make_unique<Skewed>(zorv::makeServerLatency(stream), errorNs);
        };
    SdlMediaPlayer player(factory);
    player.setFileName(track);
    player.open();
    std::unique_ptr<zorv::bench::Recorder> recorder;
    if (o.recorder == "pulse")
        recorder = zorv::bench::makePulseRecorder(o.sink, o.rate);
    else if (o.recorder == "pipewire")
        recorder = zorv::bench::makePipeWireRecorder(o.sink, o.rate);
    // Time for the servers to settle on their buffering and for the player's
    // source to collect its first answers. A PulseAudio null sink left idle
    // has rendered up to two seconds ahead, and a new stream waits for that
    // to pass.
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));
    player.play();
    const std::vector<Read> reads = pollUntilEnd(player);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    RunResult r{};
    std::vector<double> vsDevice, cost, delays;
    for (const Read& read : reads) {
        if (read.ms > 0 && read.ms < player.length())
            vsDevice.push_back(static_cast<double>(read.ms - read.consumedMs));
        cost.push_back(static_cast<double>(read.costNs) / 1000.0);
        delays.push_back(static_cast<double>(read.delayNs) / 1e6);
    }
    r.vsDevice = spread(vsDevice);
    r.costUs = spread(cost);
    r.delayMinMs = quantile(delays, 0);
    r.delayMaxMs = quantile(delays, 1);
    r.heard = spread(recorder ? heardAfterCrossing(*recorder, reads, clicks, compensate ? "after" : "before")
                              : std::vector<double>{});
    std::fprintf(stderr, "  %s: driver %s at %d Hz, %zu reads, delay taken off %.2f..%.2f ms\n",
                 compensate ? "after" : "before", SDL_GetCurrentAudioDriver(), player.sampleRate(), reads.size(),
                 r.delayMinMs, r.delayMaxMs);
    return r;
}

void figure(const std::string& name, const std::string& result, const std::string& target, const char* verdict)
{
    std::printf("FIGURE\t%s\t%s\t%s\t%s\n", name.c_str(), result.c_str(), target.c_str(), verdict);
}

std::string format(const char* f, double a, double b, std::size_t n)
{
    char text[160];
    std::snprintf(text, sizeof text, f, a, b, n);
    return text;
}

std::string format3(const char* f, double a, double b, double c)
{
    char text[160];
    std::snprintf(text, sizeof text, f, a, b, c);
    return text;
}

// The game's player while its server is killed mid-song: the position must
// go on to the length without running backwards or leaping, and without an
// error. Read every 5 ms, as a busy tick would.
int serverGone(const Options& o, const std::string& track)
{
    SdlMediaPlayer player;
    player.setFileName(track);
    player.open();
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));
    player.play();
    const std::int64_t start = steadyNs();
    const std::int64_t deadline = start + (std::int64_t{player.length()} + 10'000) * 1'000'000;
    std::int64_t lastAt = start, killedAt = 0, endedAt = 0;
    std::int32_t last = 0;
    int backwards = 0;
    double largestLeadMs = 0, delayAtKillMs = 0;
    while (endedAt == 0 && steadyNs() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::int64_t now = steadyNs();
        if (killedAt == 0 && now - start >= std::int64_t{o.killAfterMs} * 1'000'000) {
            delayAtKillMs = static_cast<double>(player.appliedDelayNs()) / 1e6;
            kill(o.killPid, SIGKILL);
            killedAt = now;
        }
        const std::int32_t position = player.position();
        backwards += position < last ? 1 : 0;
        if (position < player.length())
            largestLeadMs = std::max(largestLeadMs, (position - last) - static_cast<double>(now - lastAt) / 1e6);
        if (position >= player.length())
            endedAt = now;
        last = position;
        lastAt = now;
    }
    char text[300];
    std::snprintf(text, sizeof text,
                  "killed at %.1f s; length %.1f s reached at %.1f s; %d reads ran backwards; "
                  "at most %.0f ms ahead of the clock per read; delay %.1f -> %.1f ms",
                  static_cast<double>(killedAt - start) / 1e9, player.length() / 1000.0,
                  endedAt ? static_cast<double>(endedAt - start) / 1e9 : -1.0, backwards, largestLeadMs, delayAtKillMs,
                  static_cast<double>(player.appliedDelayNs()) / 1e6);
    const bool ok = endedAt != 0 && backwards == 0 && largestLeadMs < 25;
    figure(o.label + ": server killed mid-song", text, "ends at the length, never backwards, no leap",
           ok ? "ok" : "MISS");
    return ok ? 0 : 1;
}

Options parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string key = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (key == "--check" || key == "--calibrate") {
            (key == "--check" ? o.check : o.calibrate) = true;
            continue;
        }
        if (key == "--label")
            o.label = value;
        else if (key == "--recorder")
            o.recorder = value;
        else if (key == "--sink")
            o.sink = value;
        else if (key == "--rate")
            o.rate = std::atoi(value);
        else if (key == "--kill")
            o.killPid = std::atoi(value);
        else if (key == "--error-ms")
            o.errorMs = std::atoi(value);
        else if (key == "--kill-after-ms")
            o.killAfterMs = std::atoi(value);
        else if (key == "--seconds")
            o.seconds = std::max(4, std::atoi(value));
        else
            throw std::invalid_argument("unknown option " + key);
        ++i;
    }
    return o;
}

// Heard - position before and after, against the targets; the deliberate
// error's run, when there is one, must be seen as that error. Returns
// whether it was (true without one).
bool reportHeard(const Options& o, const RunResult& before, const RunResult& after, const RunResult* skewed,
                 std::size_t clicks)
{
    const char* f = "median %+.2f ms, IQR %.2f ms (n=%zu)";
    figure(o.label + ": heard - position, before", format(f, before.heard.median, before.heard.iqr, before.heard.n), "",
           "");
    const bool ok = std::abs(after.heard.median) <= kTargetMedianMs && after.heard.iqr <= kTargetIqrMs &&
                    after.heard.n * 10 >= clicks * 9;
    figure(o.label + ": heard - position, after", format(f, after.heard.median, after.heard.iqr, after.heard.n),
           "|median| <= 3 ms, IQR <= 2 ms", ok ? "ok" : "MISS");
    if (skewed == nullptr)
        return true;
    // Taking off 20 ms too much puts the position 20 ms ahead of the sound:
    // heard - position 20 ms lower, and the target missed.
    const double shift = skewed->heard.median - after.heard.median;
    const bool seen =
        std::abs(shift + o.errorMs) <= kTargetMedianMs && std::abs(skewed->heard.median) > kTargetMedianMs;
    figure(o.label + ": heard - position, " + std::to_string(o.errorMs) + " ms too much taken off",
           format(f, skewed->heard.median, skewed->heard.iqr, skewed->heard.n) +
               format(", %+.2f ms from after", shift, 0.0, 0),
           "seen: moved by -" + std::to_string(o.errorMs) + " +- 3 ms, target missed", seen ? "seen" : "NOT SEEN");
    return seen;
}

// The dummy driver has nothing to record: the position against the frames
// the device consumed, which must not change.
void reportDevice(const Options& o, const RunResult& before, const RunResult& after)
{
    // Both sides are whole ms, so the mean says more than the median.
    const char* f = "mean %+.2f ms, IQR %.2f ms (n=%zu)";
    const bool same =
        std::abs(after.vsDevice.mean - before.vsDevice.mean) <= 1.0 && after.delayMinMs == 0 && after.delayMaxMs == 0;
    figure(o.label + ": position - device, before",
           format(f, before.vsDevice.mean, before.vsDevice.iqr, before.vsDevice.n), "", "");
    figure(o.label + ": position - device, after",
           format(f, after.vsDevice.mean, after.vsDevice.iqr, after.vsDevice.n) + ", delay taken off " +
               format("%.1f..%.1f ms", after.delayMinMs, after.delayMaxMs, 0),
           "within 1 ms of before, 0 ms taken off", same ? "ok" : "MISS");
}

void reportCost(const Options& o, const RunResult& before, const RunResult& after)
{
    // The tick reads position() once per 50 ms; its whole budget is 0.5 ms.
    const char* c = "median %.2f us, max %.2f us (n=%zu)";
    figure(o.label + ": position() call, before", format(c, before.costUs.median, before.costUs.max, before.costUs.n),
           "", "");
    figure(o.label + ": position() call, after", format(c, after.costUs.median, after.costUs.max, after.costUs.n),
           "median < 2 us", after.costUs.median < 2.0 ? "ok" : "MISS");
}

// The PipeWire recorder's convention on the direct link and on the sink's
// monitor: every burst recorded at the cycle it was handed over in, to the
// nanosecond (both sides are the driver's clock), and the raw arrival on the
// link in that cycle, on the monitor one cycle later.
int reportCalibration(const Options& o)
{
    bool ok = true;
    for (const auto tap : {zorv::bench::PipeWireTap::direct, zorv::bench::PipeWireTap::sinkMonitor}) {
        const bool direct = tap == zorv::bench::PipeWireTap::direct;
        const auto result = zorv::bench::calibrate(o.sink, o.rate, tap, o.seconds);
        const std::string name = o.label + ", " + (direct ? "direct link" : "sink monitor");
        std::fprintf(stderr, "  %s: %zu bursts handed over; %s\n", name.c_str(), result.bursts, result.summary.c_str());
        const Spread heard = spread(result.heardMs), arrived = spread(result.arrivedQuanta);
        const double expected = direct ? 0 : 1;
        // Under load the graph now and then runs a cycle late, or drops one
        // (a burst lost); those are counted, not hidden.
        const auto exact =
            std::count_if(result.heardMs.begin(), result.heardMs.end(), [](double ms) { return std::abs(ms) <= 0.01; });
        const auto inCycle = std::count_if(result.arrivedQuanta.begin(), result.arrivedQuanta.end(),
                                           [&](double q) { return std::abs(q - expected) <= 0.02; });
        const auto n = static_cast<std::ptrdiff_t>(heard.n);
        const bool timed = n >= 5 && exact * 10 >= n * 9;
        const bool cycle = n > 0 && inCycle * 10 >= n * 9;
        figure(name + ": recorded - handed over, quantum " + std::to_string(result.quantum),
               format3("median %+.4f ms, %+.2f..%+.2f ms", heard.median, heard.min, heard.max) + "; exact in " +
                   std::to_string(exact) + " of " + std::to_string(n) + " found, of " + std::to_string(result.bursts) +
                   " handed over",
               "0 ms (within 0.01) in >= 90 % of >= 5 found", timed ? "ok" : "MISS");
        figure(name + ": arrived - handed over",
               format3("median %+.3f quanta, %+.3f..%+.3f", arrived.median, arrived.min, arrived.max) + "; " +
                   std::to_string(inCycle) + " of " + std::to_string(n) + " as expected",
               direct ? "0 quanta in >= 90 %" : "1 quantum in >= 90 %", cycle ? "ok" : "MISS");
        ok = ok && timed && cycle;
    }
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const Options o = parse(argc, argv);
        if (o.calibrate)
            return reportCalibration(o);
        const auto dir = std::filesystem::temp_directory_path() / ("zorv-latency-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        const std::string track = (dir / "clicks.wav").string();
        const std::vector<int> clicks = writeClickTrack(track, o.seconds);
        std::fprintf(stderr, "== %s: %zu clicks over %d s\n", o.label.c_str(), clicks.size(), o.seconds);
        if (o.killPid > 0) {
            const int status = serverGone(o, track);
            std::filesystem::remove_all(dir);
            return status;
        }
        const RunResult before = playOnce(o, track, clicks, false);
        const RunResult after = playOnce(o, track, clicks, true);
        RunResult skewed{};
        if (o.errorMs != 0)
            skewed = playOnce(o, track, clicks, true, std::int64_t{o.errorMs} * 1'000'000);
        std::filesystem::remove_all(dir);

        bool seen = true;
        if (o.recorder != "none")
            seen = reportHeard(o, before, after, o.errorMs != 0 ? &skewed : nullptr, clicks.size());
        else
            reportDevice(o, before, after);
        reportCost(o, before, after);
        // The audio-server test: the sound heard within 3 ms of the position,
        // over at least half the clicks, and a deliberate error, when asked
        // for, seen. The spread and the clicks lost are left to the
        // benchmark: a loaded machine widens the one and drops graph cycles,
        // and with them clicks from the recording (a third, at a load of 15).
        const bool heard = std::abs(after.heard.median) <= kTargetMedianMs && after.heard.n * 2 >= clicks.size();
        if (o.check)
            std::fprintf(stderr, "check: median %+.2f ms (n=%zu of %zu)%s\n", after.heard.median, after.heard.n,
                         clicks.size(),
                         o.errorMs != 0 ? (seen ? ", deliberate error seen" : ", deliberate error NOT seen") : "");
        return o.check && !(heard && seen) ? 1 : 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "latency_bench: %s\n", e.what());
        return 2;
    }
}
