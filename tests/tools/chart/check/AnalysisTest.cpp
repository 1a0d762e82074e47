#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/chart/check/Analysis.h"

namespace zorv::chartcheck {
namespace {

ChartReport check(const std::string& text, const AudioInfo& audio = {})
{
    ChartTable chart{};
    readChart(chart, text);
    return analyse(chart, scanTokens(text), audio);
}

AudioInfo audio(AudioInfo::Status status, std::int32_t lengthMs = 0)
{
    AudioInfo info;
    info.status = status;
    info.lengthMs = lengthMs;
    return info;
}
AudioInfo lasting(std::int32_t lengthMs) { return audio(AudioInfo::Status::known, lengthMs); }

using Found = std::pair<Kind, int>;  // kind, record

std::vector<Found> found(const ChartReport& report)
{
    std::vector<Found> all;
    for (const Finding& finding : report.findings)
        all.emplace_back(finding.kind, finding.record);
    return all;
}

std::string describe(const ChartReport& report)
{
    std::string text;
    for (const Finding& finding : report.findings)
        text += "  " + finding.text + "\n";
    return text;
}

// 299 notes over the four lanes, 300 ms apart: 1200 ms between the notes of
// a lane keeps every lane below four arrows and every press to one arrow.
std::string fullChart()
{
    std::string text = "x song.mp3\n";
    for (int record = 1; record <= 299; ++record)
        text += std::to_string((record - 1) % 4 + 1) + " " + std::to_string((record - 1) * 300) + "\n";
    return text;
}

struct FindingCase {
    const char* name;
    std::string chart;
    std::vector<Found> expected;
    AudioInfo audio = {};
};

TEST(Analyse, FindsEachKindOfFaultAndNothingElse)
{
    const std::string hundredZeros(100, '0');
    const std::string longName = std::string(100, 'a') + ".mp3";
    const FindingCase cases[] = {
        {"clean", "x song.mp3\n1 0\n2 500\n3 1000\n4 1500\n1 2000\n0 0\n", {}, lasting(10000)},
        {"same lane 550 ms apart", "x s.mp3 3 0 3 550 0 0", {}},
        {"same lane 500 ms apart", "x s.mp3 3 0 3 500 0 0", {{Kind::closeNotes, 1}}},
        {"same lane one tick apart", "x s.mp3 4 0 4 50 0 0", {{Kind::closeNotes, 1}}},
        {"fifth arrow in a lane", "x s.mp3 2 0 2 600 2 1200 2 1800 2 2400 0 0", {{Kind::droppedNote, 5}}},
        // On the tick at 4000 the note goes out before the first arrow retires.
        {"lane frees on the tick after", "x s.mp3 2 0 2 1000 2 2000 2 3000 2 4000 0 0", {{Kind::droppedNote, 5}}},
        {"lane frees in time", "x s.mp3 2 0 2 1000 2 2000 2 3000 2 4050 0 0", {}},
        {"time out of order", "x s.mp3 1 1000 2 500 0 0", {{Kind::outOfOrder, 2}}},
        {"spawns after its own retirement", "x s.mp3 1 5000 2 0 0 0", {{Kind::outOfOrder, 2}, {Kind::retiredEarly, 2}}},
        {"notes due together", "x s.mp3 1 1000 2 1000 0 0", {{Kind::lateSpawn, 2}}},
        {"lane tokens with junk",
         "x s.mp3 01 0 2x 500 +3 1000 0 0",
         {{Kind::laneNotPlain, 1}, {Kind::laneNotPlain, 2}, {Kind::laneNotPlain, 3}}},
        {"overlong audio name", "x " + longName + " 1 0 0 0", {{Kind::overlongToken, 0}}},
        {"overlong time token", "x s.mp3 1 " + hundredZeros + " 0 0", {{Kind::overlongToken, 1}}},
        {"no end pair", "x s.mp3 1 0 2 500", {{Kind::missingEndPair, 3}}},
        {"last lane without a time",
         "x s.mp3 1 0 2",
         {{Kind::missingTime, 2}, {Kind::lateSpawn, 2}, {Kind::missingEndPair, 3}}},
        {"lone end token", "x s.mp3 1 0 0", {}},
        {"notes after the end", "x s.mp3 1 0 5 500 2 1000 3 1500 0 0", {{Kind::notesAfterEnd, 2}}},
        {"end pair followed by padding", "x s.mp3 1 0 0 0 0 0", {}},
        {"audio name reads above 0", "x 300song.mp3 1 0 0 0", {{Kind::audioNameHolds, 0}}},
        {"audio name with a plus", "x +3song.mp3 1 0 0 0", {{Kind::audioNameHolds, 0}}},
        {"audio name reads as 0", "x 0song.mp3 1 0 0 0", {{Kind::audioNameNumber, 0}}},
        {"audio name reads below 0", "x -3song.mp3 1 0 0 0", {{Kind::audioNameNumber, 0}}},
        {"no audio name", "x", {{Kind::audioMissing, 0}, {Kind::missingEndPair, 1}}},
        {"note at the audio's last ms", "x s.mp3 1 0 2 2000 0 0", {}, lasting(2000)},
        {"note after the audio's end", "x s.mp3 1 0 2 2001 0 0", {{Kind::afterAudioEnd, 2}}, lasting(2000)},
        {"note waiting behind one after the end",
         "x s.mp3 1 0 2 2500 3 1000 0 0",
         {{Kind::afterAudioEnd, 2}, {Kind::outOfOrder, 3}, {Kind::blockedNote, 3}},
         lasting(2000)},
        {"all 299 records are notes", fullChart(), {}},
        {"pairs past the 300th", fullChart() + "0 0\n", {{Kind::pairsIgnored, -1}}},
        {"audio not there", "x s.mp3 1 0 0 0", {{Kind::audioMissing, 0}}, audio(AudioInfo::Status::missing)},
        {"audio refused", "x s.mp3 1 0 0 0", {{Kind::audioUnplayable, 0}}, audio(AudioInfo::Status::unplayable)},
        {"no device to measure",
         "x s.mp3 1 0 9 99999999",
         {{Kind::audioLengthUnknown, 0}},
         audio(AudioInfo::Status::lengthUnknown)},
    };
    for (const FindingCase& c : cases) {
        const ChartReport report = check(c.chart, c.audio);
        EXPECT_EQ(found(report), c.expected) << c.name << "\n" << describe(report);
    }
}

TEST(Analyse, TimeTokensMustBePlainDigits)
{
    for (const char* token : {"1000ms", "1.5", "1e3", "+100", "-5", "2,000", "abc"}) {
        const ChartReport report = check(std::string("x s.mp3 1 ") + token + " 0 0");
        ASSERT_FALSE(report.findings.empty()) << token;
        EXPECT_EQ(report.findings.front().kind, Kind::timeNotPlain) << token << "\n" << describe(report);
    }
    for (const char* token : {"0", "0100", "99999"})
        EXPECT_EQ(found(check(std::string("x s.mp3 1 ") + token + " 0 0")), std::vector<Found>{}) << token;
}

TEST(Analyse, FindingsNameTheLineTheRecordStartsOn)
{
    const ChartReport report = check("x s.mp3\r\n\r\n1 0\r\n\n  2\t1000x\r\n0 0\r\n");
    ASSERT_EQ(found(report), (std::vector<Found>{{Kind::timeNotPlain, 2}}));
    EXPECT_NE(report.findings[0].text.find("record 2 (line 5, lane 2, 1000 ms)"), std::string::npos)
        << report.findings[0].text;
}

TEST(Analyse, DroppedNoteNamesTheArrowsInTheWay)
{
    const ChartReport report = check("x s.mp3 2 0 1 300 2 600 2 1200 2 1800 2 2400 0 0");
    ASSERT_EQ(found(report), (std::vector<Found>{{Kind::droppedNote, 6}}));
    EXPECT_NE(report.findings[0].text.find("(records 1, 3, 4, 5)"), std::string::npos) << report.findings[0].text;
    EXPECT_EQ(report.spawned, 5);
}

struct EndCase {
    const char* chart;
    ChartEnd::Reason reason;
    int record;
    const char* token;
    int notes;
};

TEST(Analyse, SaysWhereAndWhyTheChartEnds)
{
    const EndCase cases[] = {
        {"x s.mp3 1 0 2 600 0 0", ChartEnd::Reason::laneToken, 3, "0", 2},
        {"x s.mp3 1 0 end 0", ChartEnd::Reason::laneToken, 2, "end", 1},
        {"x s.mp3 1 0 5 600 2 900", ChartEnd::Reason::laneToken, 2, "5", 1},
        {"x s.mp3 1 0 0", ChartEnd::Reason::laneToken, 2, "0", 1},
        {"x s.mp3 1 0", ChartEnd::Reason::endOfFile, 2, "", 1},
        {"x s.mp3", ChartEnd::Reason::endOfFile, 1, "", 0},
    };
    for (const EndCase& c : cases) {
        const ChartReport report = check(c.chart);
        EXPECT_EQ(report.end.reason, c.reason) << c.chart;
        EXPECT_EQ(report.end.record, c.record) << c.chart;
        EXPECT_EQ(report.end.token, c.token) << c.chart;
        EXPECT_EQ(report.notes, c.notes) << c.chart;
    }
    const ChartReport full = check(fullChart());
    EXPECT_EQ(full.end.reason, ChartEnd::Reason::lastRecord);
    EXPECT_EQ(full.notes, 299);
    EXPECT_EQ(full.pairsRead, 300);
    EXPECT_EQ(check(fullChart() + "0 0 1 5\n").pairsIgnored, 2u);
}

struct PerfectCase {
    const char* name;
    const char* chart;
    PerfectPlay expected;  // presses, score, great, good, bad, miss, presses judging more
    AudioInfo audio = {};
};

TEST(Analyse, PerfectPlayerScoresWhatTheRulesGive)
{
    const PerfectCase cases[] = {
        {"three lanes", "x s.mp3 1 0 2 100 3 200 0 0", {3, 800, 3, 0, 0, 0, 0}},
        // A lane-1 slot is first pressed at Top 14, then reused from 587 and pressed at 17.
        {"lane 1 slot reused", "x s.mp3 1 0 1 5000 1 10000 0 0", {3, 800, 3, 0, 0, 0, 0}},
        {"next arrow 60 px behind", "x s.mp3 1 0 1 300 0 0", {2, 650, 2, 0, 1, 0, 1}},
        {"next arrow 20 px behind", "x s.mp3 2 0 2 100 0 0", {2, 750, 2, 1, 0, 0, 1}},
        {"next arrow 90 px behind", "x s.mp3 4 0 4 450 0 0", {2, 600, 2, 0, 0, 1, 1}},
        // 100 px behind is past the miss window at Top 17, though not at Top 7.
        {"next arrow 100 px behind", "x s.mp3 3 0 3 500 0 0", {2, 700, 2, 0, 0, 0, 0}},
        {"fifth arrow dropped", "x s.mp3 2 0 2 600 2 1200 2 1800 2 2400 0 0", {4, 900, 4, 0, 0, 0, 0}},
        {"note after the audio's end", "x s.mp3 1 0 2 1500 0 0", {1, 600, 1, 0, 0, 0, 0}, lasting(1000)},
        // The position stops at the end, yet the tick goes on and the arrow rises.
        {"note on the audio's last ms", "x s.mp3 1 0 2 1000 0 0", {2, 700, 2, 0, 0, 0, 0}, lasting(1000)},
    };
    for (const PerfectCase& c : cases) {
        const PerfectPlay p = check(c.chart, c.audio).perfect;
        const PerfectPlay& e = c.expected;
        EXPECT_EQ(std::vector<std::int32_t>({p.presses, p.score, p.great, p.good, p.bad, p.miss, p.pressesJudgingMore}),
                  std::vector<std::int32_t>({e.presses, e.score, e.great, e.good, e.bad, e.miss, e.pressesJudgingMore}))
            << c.name;
    }
}

}  // namespace
}  // namespace zorv::chartcheck
