#include "Groove.h"

#include <gtest/gtest.h>

#include <vector>

namespace zorv::corpus {
namespace {

std::vector<double> every(double fromMs, double stepMs, int count)
{
    std::vector<double> out;
    for (int i = 0; i < count; ++i)
        out.push_back(fromMs + stepMs * i);
    return out;
}

TEST(Groove, SteadinessCountsSpacingsThatRepeatThePrevious)
{
    const struct {
        const char* what;
        std::vector<double> notes;
        double steadiness;
    } cases[] = {
        {"a run of eighths", every(1000, 250, 9), 1.0},
        {"within 30 ms counts, past it not", {0, 250, 520, 800, 1150}, 2.0 / 3},
        {"long-short-short: only the repeat", {0, 500, 750, 1000, 1500}, 1.0 / 3},
        {"a chord's repeated time counts once", {0, 250, 250, 500, 750}, 1.0},
        {"unsorted is sorted first", {750, 0, 500, 250}, 1.0},
        {"two notes have no spacing to compare", {0, 250}, 0.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(steadiness(c.notes), c.steadiness) << c.what;
}

TEST(Groove, ShareNearCountsNotesWithinTheTolerance)
{
    const auto quarters = every(0, 500, 10);
    const double in = kOnGridMs, out = kOnGridMs + 1;
    EXPECT_DOUBLE_EQ(shareNear({0, 500 + in, 1000 + out, 1500 - in, 1250}, quarters, kOnGridMs), 3.0 / 5);
    EXPECT_DOUBLE_EQ(shareNear({5000, -30}, quarters, kOnGridMs), 0.0);  // past both ends
    EXPECT_DOUBLE_EQ(shareNear({}, quarters, kOnGridMs), 0.0);
    EXPECT_DOUBLE_EQ(shareNear({0}, {}, kOnGridMs), 0.0);
}

TEST(Groove, DensityCorrelationFollowsTheCountsPerWindow)
{
    // Dense, sparse, dense, sparse in four windows of 8 s.
    std::vector<double> riffs = every(0, 250, 32);
    for (const double t : every(16'000, 250, 32))
        riffs.push_back(t);
    const auto even = every(0, 1000, 32);
    std::vector<double> breaks = every(8000, 250, 32);
    for (const double t : every(24'000, 250, 32))
        breaks.push_back(t);
    EXPECT_NEAR(densityCorrelation(riffs, riffs, 32'000), 1.0, 1e-12);
    EXPECT_NEAR(densityCorrelation(breaks, riffs, 32'000), -1.0, 1e-12);
    EXPECT_DOUBLE_EQ(densityCorrelation(even, riffs, 32'000), 0.0);  // an even chart says nothing
    EXPECT_DOUBLE_EQ(densityCorrelation(riffs, riffs, 9'000), 0.0);  // one window
}

TEST(Groove, TempoMatchesTheSameHalfOrDoubleWithinFourPercent)
{
    const struct {
        double ours, theirs;
        bool matches;
    } cases[] = {
        {135, 135, true}, {140, 135, true}, {67.5, 135, true}, {270, 135, true},    {141, 135, false},
        {90, 135, false}, {76, 95, false},  {94, 140, false},  {202.5, 135, false}, {0, 135, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tempoMatches(c.ours, c.theirs), c.matches) << c.ours << " against " << c.theirs;
}

}  // namespace
}  // namespace zorv::corpus
