// The automated player sets the edges it heard against the song's. A record
// stream's time now and then runs backwards (its latency figure jumps), and
// unordered edges once sent votes outside the histogram: a write before the
// heap block, and the player aborted in free().
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bench/autoplay/Align.h"

namespace zorv::autoplay {
namespace {

constexpr std::int64_t kMs = 1'000'000;

TEST(AutoplayAlign, EdgesHeardComeOutInOrderWhenTheRecordersTimeRunsBack)
{
    // Three bursts of loud samples; the reads of the third were timed 30 ms
    // before the second's.
    const std::vector<bench::Onset> loud = {
        {100 * kMs, 0}, {100 * kMs + 20'833, 0}, {200 * kMs, 0}, {200 * kMs + 20'833, 0}, {170 * kMs, 0},
    };
    const std::vector<double> edges = risingEdgesMs(loud, 0, 48000);
    EXPECT_EQ(edges, (std::vector<double>{100, 170, 200}));
}

struct StretchCase {
    const char* what;
    std::vector<double> heard;
    double centreMs, rangeMs;
    double offsetMs;
    bool placed;
};

TEST(AutoplayAlign, StretchFindsTheOffsetAndPlacesNothingItCannotTrust)
{
    std::vector<double> song;
    for (int i = 0; i < 40; ++i)
        song.push_back(100.0 + 97.0 * i);
    std::vector<double> late, unordered;
    for (const double t : song)
        late.push_back(t + 3.7);
    unordered = late;
    std::swap(unordered[5], unordered[6]);
    const StretchCase cases[] = {
        {"heard 3.7 ms late", late, 0, 10, 3.7, true},
        {"heard late, searched around 5 ms", late, 5, 10, 3.7, true},
        {"beyond the range", late, -20, 10, 0, false},
        {"edges out of order", unordered, 0, 10, 0, false},
        {"no range", late, 0, 0, 0, false},
    };
    for (const StretchCase& c : cases) {
        const Offset offset = alignStretch(c.heard, song, 0, 5000, c.centreMs, c.rangeMs, 0.1);
        EXPECT_EQ(offset.votes > 0, c.placed) << c.what;
        if (c.placed) {
            EXPECT_NEAR(offset.offsetMs, c.offsetMs, 0.051) << c.what;
        }
    }
}

}  // namespace
}  // namespace zorv::autoplay
