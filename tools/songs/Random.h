#pragma once
// A tiny xorshift generator: the same seed gives the same song on every
// machine, which std::mt19937 would too, but the distributions would not.

#include <cstdint>

namespace zorv::songs {

class Rng {
public:
    explicit Rng(std::uint32_t seed) : state_(seed != 0 ? seed : 0x9E3779B9u) {}

    std::uint32_t bits()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // [0, 1)
    double uniform() { return static_cast<double>(bits() >> 8) * (1.0 / 16777216.0); }
    // [-1, 1)
    double bipolar() { return uniform() * 2.0 - 1.0; }

private:
    std::uint32_t state_;
};

}  // namespace zorv::songs
