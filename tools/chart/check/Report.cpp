#include <cstdio>

#include "state/ScoreBoard.h"
#include "tools/chart/check/Analysis.h"

namespace zorv::chartcheck {
namespace {

std::string plural(long long n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string minutesSeconds(std::int32_t ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d.%03d", ms / 60000, ms / 1000 % 60, ms % 1000);
    return text;
}

void field(std::string& out, const char* label, const std::string& value)
{
    char head[24];
    std::snprintf(head, sizeof head, "  %-14s", label);
    out += head + value + "\n";
}

std::string endText(const ChartReport& report)
{
    const ChartEnd& end = report.end;
    const std::string record = "at record " + std::to_string(end.record);
    switch (end.reason) {
    case ChartEnd::Reason::laneToken: return record + ": lane token \"" + end.token + "\" is not 1..4";
    case ChartEnd::Reason::endOfFile: return record + ": end of file, no end pair";
    case ChartEnd::Reason::lastRecord:
        return "after record " + std::to_string(kChartRecords - 1) + ", the last one the game reads";
    }
    return {};
}

std::string audioText(const AudioInfo& audio)
{
    if (audio.name.empty())
        return "none named";
    const std::string name = "\"" + audio.name + "\"";
    switch (audio.status) {
    case AudioInfo::Status::notChecked: return name + ", not looked up";
    case AudioInfo::Status::missing: return name + " not found (looked for " + audio.path + ")";
    case AudioInfo::Status::unplayable: return name + " will not play (" + audio.reason + ")";
    case AudioInfo::Status::lengthUnknown: return name + ", length unknown (" + audio.reason + ")";
    case AudioInfo::Status::known:
        return name + ", " + minutesSeconds(audio.lengthMs) + " (" + std::to_string(audio.lengthMs) + " ms)";
    }
    return {};
}

void findingList(std::string& out, const ChartReport& report, Severity severity, const char* title)
{
    const int n = report.count(severity);
    if (n == 0)
        return;
    out += "\n" + std::string(title) + " (" + std::to_string(n) + ")\n";
    for (const Finding& finding : report.findings) {
        if (finding.severity == severity)
            out += "  " + finding.text + "\n";
    }
}

}  // namespace

std::string formatReport(const ChartReport& report, std::string_view chartName)
{
    std::string out = "zorv-chart: " + std::string(chartName) + "\n";

    std::string read = plural(report.pairsRead, "token pair", "token pairs") + ", " +
                       plural(static_cast<long long>(report.tokenCount), "token", "tokens");
    if (report.pairsIgnored > 0)
        read += "; " + std::to_string(report.pairsIgnored) + " more pairs past the " + std::to_string(kChartRecords) +
                "th are ignored";
    field(out, "read", read);
    field(out, "notes", std::to_string(report.notes));
    field(out, "chart ends", endText(report));
    field(out, "audio", audioText(report.audio));
    field(out, "spawned", std::to_string(report.spawned) + " of " + plural(report.notes, "note", "notes"));

    const PerfectPlay& perfect = report.perfect;
    std::string play = "score " + std::to_string(ScoreBoard{}.score) + " -> " + std::to_string(perfect.score) +
                       ": great " + std::to_string(perfect.great) + ", good " + std::to_string(perfect.good) +
                       ", bad " + std::to_string(perfect.bad) + ", miss " + std::to_string(perfect.miss) + " in " +
                       plural(perfect.presses, "press", "presses");
    if (perfect.pressesJudgingMore > 0)
        play += "; " + plural(perfect.pressesJudgingMore, "press", "presses") + " also judged another arrow";
    field(out, "perfect play", play);

    findingList(out, report, Severity::problem, "problems");
    findingList(out, report, Severity::warning, "warnings");

    const int problems = report.count(Severity::problem);
    const int warnings = report.count(Severity::warning);
    out += "\n";
    if (problems == 0)
        out += "the chart plays as written" +
               (warnings ? " (" + plural(warnings, "warning", "warnings") + ")" : std::string()) + "\n";
    else
        out += plural(problems, "problem", "problems") + ", " + plural(warnings, "warning", "warnings") + "\n";
    return out;
}

}  // namespace zorv::chartcheck
