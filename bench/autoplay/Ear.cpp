#include "bench/autoplay/Ear.h"

#include "bench/autoplay/Presses.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace zorv::autoplay {
namespace {

// A recorder every second, each heard out after 3 s: its last 2 s are
// compared with the song. Its first second is left out, while the record
// stream's latency figures settle.
constexpr int kEveryMs = 1000;
constexpr int kAgeMs = 3000;
constexpr int kHeardMs = 2000;
// Looked for within kFollowMs of where the pace puts it; kLostRangeMs once
// kLostAfter stretches in a row were not found there.
constexpr double kFollowMs = 10;
constexpr double kLostRangeMs = 40;
constexpr int kLostAfter = 3;
constexpr double kBinMs = 0.1;
constexpr int kMinVotes = 20;
// The pace: the start's drift over the last kPaceStretches stretches, from
// kPaceFrom on; at most 2 ms a second.
constexpr std::size_t kPaceStretches = 10;
constexpr std::size_t kPaceFrom = 4;
constexpr double kMaxDriftNsPerS = 2e6;

std::int64_t nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

Ear::Ear(std::string sink, int rate, std::vector<double> songEdgesMs, float threshold, std::int64_t songStartNs)
    : sink_(std::move(sink)),
      rate_(rate),
      song_(std::move(songEdgesMs)),
      threshold_(threshold),
      start_(songStartNs),
      heardAtNs_(nowNs())
{
    thread_ = std::thread([this] { run(); });
}

Ear::~Ear() { stop(); }

std::int64_t Ear::songStartNs() const
{
    const double since = static_cast<double>(nowNs() - heardAtNs_.load()) / 1e9;
    return start_.load() + std::llround(since * static_cast<double>(drift_.load()));
}

std::vector<Ear::Stretch> Ear::stop()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    return stretches_;
}

void Ear::run()
{
    struct Listening {
        std::unique_ptr<zorv::bench::Recorder> recorder;
        std::int64_t sinceNs;
    };
    std::deque<Listening> listening;
    while (!stopping_) {
        listening.push_back({zorv::bench::makePulseRecorder(sink_, rate_), nowNs()});
        if (nowNs() - listening.front().sinceNs >= std::int64_t{kAgeMs} * 1'000'000) {
            listen(*listening.front().recorder, nowNs() - std::int64_t{kHeardMs} * 1'000'000);
            listening.pop_front();
        }
        for (int waited = 0; waited < kEveryMs && !stopping_; waited += 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void Ear::listen(zorv::bench::Recorder& recorder, std::int64_t sinceNs)
{
    const std::int64_t base = songStartNs();
    const auto heard = risingEdgesMs(recorder.stop(threshold_, 0), base, rate_);
    const double range = missed_ >= kLostAfter ? kLostRangeMs : kFollowMs;
    const double fromMs = static_cast<double>(sinceNs - base) / 1e6;
    const double toMs = static_cast<double>(nowNs() - base) / 1e6 - range;
    if (toMs <= fromMs)
        return;
    const Offset offset = alignStretch(heard, song_, fromMs, toMs, 0, range, kBinMs);
    if (offset.votes < kMinVotes) {
        stretches_.push_back({nowNs(), offset.offsetMs, 0, drift_.load()});
        if (++missed_ == kLostAfter) {
            history_.clear();
            drift_.store(0);
        }
        return;
    }
    missed_ = 0;
    const std::int64_t heardAt = base + std::llround(offset.atMs * 1e6);
    const std::int64_t estimate = base + std::llround(offset.offsetMs * 1e6);
    history_.emplace_back(static_cast<double>(heardAt), static_cast<double>(estimate));
    if (history_.size() > kPaceStretches)
        history_.pop_front();
    // The line through the last stretches: each stretch alone is off by a
    // millisecond or two (a 2 s stretch of edges), the line much less.
    std::int64_t placed = estimate;
    if (history_.size() >= kPaceFrom) {
        std::vector<double> at, start;
        for (const auto& [t, s] : history_) {
            at.push_back((t - history_.back().first) / 1e9);
            start.push_back(s - history_.back().second);
        }
        const double drift = std::clamp(slope(at, start), -kMaxDriftNsPerS, kMaxDriftNsPerS);
        double meanAt = 0, meanStart = 0;
        for (std::size_t i = 0; i < at.size(); ++i) {
            meanAt += at[i] / static_cast<double>(at.size());
            meanStart += start[i] / static_cast<double>(at.size());
        }
        placed = estimate + std::llround(meanStart - drift * meanAt);
        drift_.store(std::llround(drift));
    }
    start_.store(placed);
    heardAtNs_.store(heardAt);
    stretches_.push_back({nowNs(), offset.offsetMs, offset.votes, drift_.load()});
}

}  // namespace zorv::autoplay
