#include "Ear.h"

#include <time.h>

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
constexpr double kRangeMs = 80;
constexpr double kBinMs = 0.1;
constexpr int kMinVotes = 20;
// The pace: the start's drift from the first to the last of these stretches.
constexpr std::size_t kPaceStretches = 10;

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

std::vector<std::pair<std::int64_t, double>> Ear::stop()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    return corrections_;
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
    const std::int64_t start = start_.load();
    const auto heard = risingEdgesMs(recorder.stop(threshold_, 0), start, rate_);
    const double fromMs = static_cast<double>(sinceNs - start) / 1e6;
    const double toMs = static_cast<double>(nowNs() - start) / 1e6 - kRangeMs;
    if (toMs <= fromMs)
        return;
    const Offset offset = alignStretch(heard, song_, fromMs, toMs, kRangeMs, kBinMs);
    if (offset.votes < kMinVotes)
        return;
    const std::int64_t heardAt = start + std::llround(offset.atMs * 1e6);
    const std::int64_t moved = start + std::llround(offset.offsetMs * 1e6);
    history_.emplace_back(heardAt, moved);
    if (history_.size() > kPaceStretches)
        history_.pop_front();
    if (history_.size() >= 3) {
        const auto& [t0, s0] = history_.front();
        const auto& [t1, s1] = history_.back();
        drift_.store(std::llround(static_cast<double>(s1 - s0) / (static_cast<double>(t1 - t0) / 1e9)));
    }
    start_.store(moved);
    heardAtNs_.store(heardAt);
    corrections_.emplace_back(nowNs(), offset.offsetMs);
}

}  // namespace zorv::autoplay
