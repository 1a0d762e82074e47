#include "tools/chart/make/Make.h"

#include <cstdio>

#include "charting/Charting.h"
#include "tools/chart/check/Analysis.h"
#include "tools/chartfile/Write.h"

namespace zorv::chartmake {
namespace {

std::string seconds(double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
    return text;
}

std::string fixed(double value, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void checkSong(const Features& features)
{
    if (features.durationMs < charting::kLeadMs + kShortestPlayMs)
        throw NoChart("it is " + seconds(features.durationMs) + " long; a chart needs " +
                      seconds(charting::kLeadMs + kShortestPlayMs) + ": no note can sit in the first " +
                      seconds(charting::kLeadMs) + ", and a few seconds must follow");
    if (features.peak < kSilentPeak)
        throw NoChart("it is silent");
}

void add(std::string& list, int count, const std::string& why)
{
    if (count > 0)
        list += "\n  left out: " + std::to_string(count) + " " + why;
}

}  // namespace

MadeChart makeChart(const Features& features, Level level, std::string_view title, std::string_view audioName)
{
    checkSong(features);
    MadeChart made;
    made.beats = trackBeats(features);
    made.placement = placeNotes(features, made.beats, level);
    made.lanes = chooseLanes(made.placement.picks, level);
    if (made.lanes.notes.empty())
        throw NoChart("no sound starts after the first " + seconds(charting::kLeadMs) + " to put a note on");
    made.text = chartfile::chartText(title, audioName, made.lanes.notes);

    const chartcheck::ChartReport report = chartcheck::analyseText(made.text, features.audio.lengthMs);
    if (report.hasProblems()) {
        std::string findings;
        for (const chartcheck::Finding& finding : report.findings)
            findings += "\n  " + finding.text;
        throw InternalError("the chart made does not play as written:" + findings);
    }
    return made;
}

std::string summaryOf(const MadeChart& chart, const Features& features, Level level)
{
    const auto notes = static_cast<int>(chart.lanes.notes.size());
    const double playableMs = features.durationMs - charting::kLeadMs;
    std::string text = "  length " + seconds(features.durationMs) + ", tempo " +
                       (chart.beats.bpm > 0 ? fixed(chart.beats.bpm, 0) + " BPM" : std::string("not found")) + ", " +
                       std::to_string(features.onsets.size()) + " onsets\n";
    text += "  " + std::string(levelName(level)) + ": " + std::to_string(notes) + " notes, " +
            fixed(notes / (playableMs / 1000.0), 2) + " per second, lanes";
    for (int count : chart.lanes.perLane)
        text += " " + std::to_string(count);
    if (features.audio.frames * 100 < features.audio.declaredFrames * 99)
        text += "\n  the file ends after " + seconds(features.durationMs) + " though it says it lasts " +
                seconds(features.audio.declaredFrames * 1000.0 / kDecodeRate) +
                " (cut short?); the chart covers what is there";
    std::string left;
    const LeftOut& out = chart.placement.leftOut;
    add(left, out.inLead,
        "onsets in the first " + seconds(charting::kLeadMs) + " (an arrow needs that long to rise to its target)");
    add(left, out.offBeat,
        level == Level::easy     ? "onsets off the beat (easy keeps to the beat)"
        : level == Level::medium ? "onsets off the beat and its eighths (medium keeps to them)"
                                 : "onsets off the grid of the beats");
    add(left, out.unsure,
        "onsets too weak for where they fall (off the beat, only what stands out is sure to be "
        "music, not its echo)");
    add(left, out.thinned,
        chart.placement.sparse ? "onsets: a sparse song, so " + std::string(levelName(level)) + " keeps to " +
                                     std::to_string(chart.placement.wanted) + " notes"
        : chart.placement.capped
            ? "onsets to stay within " + std::to_string(chart.placement.wanted) + " notes, " +
                  std::string(levelName(level)) + "'s share of the " + std::to_string(charting::kMaxNotes) +
                  " a chart holds"
            : "onsets off their phrase's rhythm or beyond " + std::string(levelName(level)) + "'s density");
    add(left, chart.lanes.noLane, "notes no lane could take (the arrows of every lane were still rising)");
    return text + left + "\n";
}

}  // namespace zorv::chartmake
