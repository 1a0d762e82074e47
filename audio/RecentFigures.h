#pragma once
// The last N figures of a series that swings from one reading to the next
// (a latency answer, a callback's lead on the clock), and what the player and
// the latency sources publish from them. Fixed size, no allocation: the audio
// callback keeps one.

#include <algorithm>
#include <array>
#include <cstdint>

namespace zorv {

template <int N>
class RecentFigures {
    static_assert(N > 0);

public:
    // Keeps `figure`, dropping the oldest once N are kept.
    void add(std::int64_t figure) noexcept
    {
        if (count_ == N)
            sum_ -= figures_[static_cast<std::size_t>(next_)];
        else
            ++count_;
        figures_[static_cast<std::size_t>(next_)] = figure;
        sum_ += figure;
        next_ = (next_ + 1) % N;
    }
    // Forgets every figure: what follows starts a new series.
    void clear() noexcept { *this = RecentFigures(); }
    int count() const noexcept { return count_; }

    // Each of the three is 0 while no figure is kept; rounded towards 0.
    std::int64_t mean() const noexcept { return count_ == 0 ? 0 : sum_ / count_; }
    // The middle figure; of an even count the upper of the two.
    std::int64_t median() const noexcept
    {
        if (count_ == 0)
            return 0;
        std::array<std::int64_t, N> sorted = figures_;
        std::nth_element(sorted.begin(), sorted.begin() + count_ / 2, sorted.begin() + count_);
        return sorted[static_cast<std::size_t>(count_ / 2)];
    }
    // The mean of the middle half: a quarter of the figures (rounded down)
    // left out at either end.
    std::int64_t middleMean() const noexcept
    {
        if (count_ == 0)
            return 0;
        std::array<std::int64_t, N> sorted = figures_;
        std::sort(sorted.begin(), sorted.begin() + count_);
        const int from = count_ / 4, to = count_ - count_ / 4;
        std::int64_t sum = 0;
        for (int i = from; i < to; ++i)
            sum += sorted[static_cast<std::size_t>(i)];
        return sum / (to - from);
    }

private:
    // While fewer than N are kept they are the first `count_`, in order.
    std::array<std::int64_t, N> figures_{};
    std::int64_t sum_ = 0;
    int count_ = 0;
    int next_ = 0;
};

}  // namespace zorv
