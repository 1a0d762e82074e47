#include "Alignment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace zorv::corpus {
namespace {

// Ten seconds of a quiet noise floor with a struck sound (noise decaying
// over 80 ms, as a pick or a drum) `lagMs` after each note, the notes at
// uneven spacings so that no other lag lines them up.
std::vector<std::int16_t> struckAfter(const std::vector<double>& notes, double lagMs)
{
    std::vector<std::int16_t> out(10 * kAlignRate);
    std::uint32_t seed = 12345;
    const auto noise = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / (1 << 24) * 2 - 1;
    };
    for (auto& s : out)
        s = static_cast<std::int16_t>(100 * noise());
    for (const double t : notes) {
        const auto start = static_cast<std::size_t>(std::lround((t + lagMs) * kAlignRate / 1000));
        for (std::size_t i = 0; i < 80 * kAlignRate / 1000 && start + i < out.size(); ++i) {
            const double decay = std::exp(-static_cast<double>(i) / (20.0 * kAlignRate / 1000));
            out[start + i] = static_cast<std::int16_t>(out[start + i] + 12000 * decay * noise());
        }
    }
    return out;
}

TEST(Alignment, FindsHowLongAfterTheNotesTheMusicIsHeard)
{
    std::vector<double> notes;
    for (double t = 500; t < 9500; t += 230 + std::fmod(t * 7, 190))
        notes.push_back(t);
    for (const double lag : {0.0, 25.0, 42.0, -20.0, 90.0}) {
        const Alignment a = alignToAudio(struckAfter(notes, lag), notes);
        EXPECT_NEAR(a.offsetMs, lag, 1.0) << lag;
        EXPECT_GT(a.contrast, 3.0) << lag;
    }
    // Notes the audio does not follow: no clear lag.
    std::vector<double> elsewhere;
    for (const double t : notes)
        elsewhere.push_back(t + 150);
    EXPECT_LT(alignToAudio(struckAfter(notes, 0), elsewhere).contrast, 2.0);
    EXPECT_EQ(alignToAudio({}, notes).offsetMs, 0);
}

}  // namespace
}  // namespace zorv::corpus
