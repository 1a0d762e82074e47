// The PipeWire delay the player takes off, from one graph cycle's figures,
// and the recent figures the latency sources publish from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "audio/RecentFigures.h"
#include "audio/ServerLatency.h"

namespace zorv {
namespace {

struct DelayCase {
    const char* what;
    PipeWireGraph graph;
    std::int64_t ns;
};

TEST(PipeWireDelay, QuantaDeviceDelayAndPathAddUpAndImpossibleGraphsAreUnknown)
{
    // At SDL's 512-frame buffer the pulse layer's queue is 256 frames at
    // 44.1 kHz; with pipewire-pulse's pulse.min.req at 1024 frames, 1882.
    constexpr std::int64_t kQueue = 5'804'988, kLongQueue = 42'675'736;
    const DelayCase cases[] = {
        // Pulse layer: 3.8 ms + its queue + 1.56 quanta.
        {"pulse layer, 64 frames", {64, 48000, 0, true, kQueue}, 3'800'000 + kQueue + 2'079'999},
        {"pulse layer, 256 frames", {256, 48000, 0, true, kQueue}, 3'800'000 + kQueue + 8'319'999},
        {"pulse layer, 1024 frames", {1024, 48000, 0, true, kQueue}, 3'800'000 + kQueue + 33'279'999},
        {"pulse layer, a longer queue", {256, 48000, 0, true, kLongQueue}, 3'800'000 + kLongQueue + 8'319'999},
        // Natively: 0.63 ms + 1.5 quanta.
        {"native, 512 frames", {512, 48000, 0, false, 0}, 630'000 + 15'999'999},
        {"native, 1024 frames at 44.1 kHz", {1024, 44100, 0, false, 0}, 630'000 + 34'829'931},
        // A real card's buffer, given by its driver either way round.
        {"device delay 480 frames", {256, 48000, 480, true, kQueue}, 3'800'000 + kQueue + 8'319'999 + 10'000'000},
        {"device delay -480 frames", {256, 48000, -480, true, kQueue}, 3'800'000 + kQueue + 8'319'999 + 10'000'000},
        // Nothing to go by.
        {"no quantum", {0, 48000, 0, true, kQueue}, -1},
        {"no rate", {256, 0, 0, true, kQueue}, -1},
        {"negative quantum", {-256, 48000, 0, false, 0}, -1},
        {"quantum of 2^40 frames", {std::int64_t{1} << 40, 48000, 0, true, kQueue}, -1},
        {"device delay of 2^62 frames", {256, 48000, std::int64_t{1} << 62, true, kQueue}, -1},
        {"device delay of -2^63 frames", {256, 48000, INT64_MIN, true, kQueue}, -1},
        {"rate of 2^40 Hz", {256, std::int64_t{1} << 40, 0, true, kQueue}, -1},
        {"negative pulse queue", {256, 48000, 0, true, -1}, -1},
        {"pulse queue of 2^62 ns", {256, 48000, 0, true, std::int64_t{1} << 62}, -1},
    };
    for (const DelayCase& c : cases)
        EXPECT_EQ(pipeWireDelayNs(c.graph), c.ns) << c.what;
}

struct FiguresCase {
    const char* what;
    std::vector<std::int64_t> before;  // added, then cleared
    std::vector<std::int64_t> added;
    std::int64_t mean, median, middleMean;
};

TEST(RecentFigures, KeepsTheLastFourAndForgetsAllOnClear)
{
    const FiguresCase cases[] = {
        {"none", {}, {}, 0, 0, 0},
        {"one", {}, {7}, 7, 7, 7},
        {"fewer than four", {}, {1, 9, 2}, 4, 2, 4},
        {"oldest dropped", {}, {100, 1, 2, 3, 4}, 2, 3, 2},
        {"an outlier left out of the middle half", {}, {10, 10, 10, 1000}, 257, 10, 10},
        // Only what came after a clear counts, even while the ring is not
        // yet full again.
        {"after a clear", {500, 600, 700}, {1, 2}, 1, 2, 1},
    };
    for (const FiguresCase& c : cases) {
        RecentFigures<4> figures;
        for (const std::int64_t f : c.before)
            figures.add(f);
        if (!c.before.empty())
            figures.clear();
        for (const std::int64_t f : c.added)
            figures.add(f);
        EXPECT_EQ(figures.count(), static_cast<int>(std::min<std::size_t>(c.added.size(), 4))) << c.what;
        EXPECT_EQ(figures.mean(), c.mean) << c.what;
        EXPECT_EQ(figures.median(), c.median) << c.what;
        EXPECT_EQ(figures.middleMean(), c.middleMean) << c.what;
    }
}

}  // namespace
}  // namespace zorv
