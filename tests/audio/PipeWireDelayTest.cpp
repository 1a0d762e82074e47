// The PipeWire delay the player takes off, from one graph cycle's figures.
#include <gtest/gtest.h>

#include <cstdint>

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
    const DelayCase cases[] = {
        // Pulse layer: 9.6 ms + 1.56 quanta.
        {"pulse layer, 64 frames", {64, 48000, 0, true}, 9'600'000 + 2'079'999},
        {"pulse layer, 256 frames", {256, 48000, 0, true}, 9'600'000 + 8'319'999},
        {"pulse layer, 1024 frames", {1024, 48000, 0, true}, 9'600'000 + 33'279'999},
        // Natively: 0.63 ms + 1.5 quanta.
        {"native, 512 frames", {512, 48000, 0, false}, 630'000 + 15'999'999},
        {"native, 1024 frames at 44.1 kHz", {1024, 44100, 0, false}, 630'000 + 34'829'931},
        // A real card's buffer, given by its driver either way round.
        {"device delay 480 frames", {256, 48000, 480, true}, 9'600'000 + 8'319'999 + 10'000'000},
        {"device delay -480 frames", {256, 48000, -480, true}, 9'600'000 + 8'319'999 + 10'000'000},
        // Nothing to go by.
        {"no quantum", {0, 48000, 0, true}, -1},
        {"no rate", {256, 0, 0, true}, -1},
        {"negative quantum", {-256, 48000, 0, false}, -1},
        {"quantum of 2^40 frames", {std::int64_t{1} << 40, 48000, 0, true}, -1},
        {"device delay of 2^62 frames", {256, 48000, std::int64_t{1} << 62, true}, -1},
        {"rate of 2^40 Hz", {256, std::int64_t{1} << 40, 0, true}, -1},
    };
    for (const DelayCase& c : cases)
        EXPECT_EQ(pipeWireDelayNs(c.graph), c.ns) << c.what;
}

}  // namespace
}  // namespace zorv
