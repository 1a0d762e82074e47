#include "tools/corpus/Evaluate.h"
#include "charting/Charting.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zorv::corpus {
namespace {

// Onsets at 3, 3.5, 4 and 4.01 s, beats at 3 and 4 s, in a 10 s song.
Truth smallTruth()
{
    Truth truth;
    truth.name = "T";
    truth.lengthMs = 10'000;
    truth.beats = {{3000, true}, {4000, false}};
    for (const double ms : {3000.0, 3500.0, 4000.0, 4010.0})
        truth.onsets.push_back({ms, "p", "piano", 0.8f});
    return truth;
}

std::vector<ChartNote> heardAt(const std::vector<int>& beats)
{
    std::vector<ChartNote> notes;
    for (const int b : beats)
        notes.push_back({1, b - charting::kLeadMs});
    return notes;
}

// The benchmark has to tell a chart on the music from one beside it: a
// perfect chart, one 30 ms late, one 10 ms early, and one half off.
TEST(CorpusEvaluate, MeasuresNotesAgainstTheNearestOnsetAndBeat)
{
    const struct {
        const char* what;
        std::vector<int> beats;  // where the notes are heard, ms
        double onOnsets, medianMs, onBeats;
    } cases[] = {
        {"on the onsets", {3000, 3500, 4000}, 1.0, 0.0, 2.0 / 3},
        {"30 ms late", {3030, 3530, 4040}, 0.0, 30.0, 0.0},
        {"10 ms early", {2990, 3490, 3990}, 1.0, -10.0, 2.0 / 3},
        {"nearest onset wins", {4006, 4004}, 1.0, 0.0, 2.0 / 2},
        {"half off", {3000, 3250, 3500, 3750}, 0.5, -125.0, 0.25},
    };
    for (const auto& c : cases) {
        const auto p = evaluate(smallTruth(), heardAt(c.beats));
        EXPECT_EQ(p.notes, c.beats.size()) << c.what;
        EXPECT_DOUBLE_EQ(p.onOnsets, c.onOnsets) << c.what;
        EXPECT_DOUBLE_EQ(p.medianOffsetMs, c.medianMs) << c.what;
        EXPECT_DOUBLE_EQ(p.onBeats, c.onBeats) << c.what;
        EXPECT_DOUBLE_EQ(p.notesPerSecond, static_cast<double>(c.beats.size()) / 10) << c.what;
    }
    EXPECT_EQ(evaluate(smallTruth(), {}).notes, 0u);
}

TEST(CorpusEvaluate, ChanceIsTheShareOfTimeNearAnOnset)
{
    // 40 ms around each onset; the last two overlap by 30 ms.
    EXPECT_DOUBLE_EQ(chanceOnOnsets(smallTruth()), (40.0 * 4 - 30.0) / 10'000);
}

// The benchmarks read a chart's notes as the game does (readChart, then
// chartNotes), so a chart that plays differently from how it looks is
// measured as it plays.
TEST(CorpusEvaluate, ChartNotesAreTheOnesTheGamePlays)
{
    const struct {
        const char* text;
        std::vector<std::pair<int, int>> notes;
    } cases[] = {
        {"song a.mp3\n1 100\n4 200\n0 0\n", {{1, 100}, {4, 200}}},
        {"song a.mp3\n1 100\n0 0\n2 300\n", {{1, 100}}},                 // nothing after the end pair
        {"song a.mp3 01 100 3x 200 5 300 1 400", {{1, 100}, {3, 200}}},  // read as numbers; lane 5 ends it
        {"", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::pair<int, int>> got;
        const auto table = std::make_unique<ChartTable>();
        readChart(*table, c.text);
        for (const auto& n : chartNotes(*table))
            got.emplace_back(n.lane, n.timeMs);
        EXPECT_EQ(got, c.notes) << c.text;
    }
}

}  // namespace
}  // namespace zorv::corpus
