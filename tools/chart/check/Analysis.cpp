#include "tools/chart/check/Analysis.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "tools/chart/check/Findings.h"
#include "tools/chart/check/Simulation.h"

namespace zorv::chartcheck {

ChartTokens scanTokens(std::string_view text)
{
    ChartTokens tokens;
    std::size_t at = 0;
    ChartTokenizer tokenizer([&]() -> int { return at < text.size() ? static_cast<unsigned char>(text[at++]) : EOF; });
    for (std::size_t length = 0; tokenizer.next([&](char) { ++length; }); length = 0) {
        if (tokens.count < static_cast<std::size_t>(kChartTokens))
            tokens.read.push_back({length, tokenizer.tokenLine()});
        else if (tokens.count == static_cast<std::size_t>(kChartTokens))
            tokens.ignoredFromLine = tokenizer.tokenLine();
        ++tokens.count;
    }
    return tokens;
}

int ChartReport::count(Severity severity) const
{
    return static_cast<int>(
        std::count_if(findings.begin(), findings.end(), [&](const Finding& f) { return f.severity == severity; }));
}

ChartReport analyse(const ChartTable& chart, const ChartTokens& tokens, const AudioInfo& audio)
{
    ChartReport report;
    report.tokenCount = tokens.count;
    const std::size_t pairsInFile = (tokens.count + 1) / 2;
    report.pairsRead = static_cast<int>(std::min<std::size_t>(pairsInFile, kChartRecords));
    report.pairsIgnored = pairsInFile - static_cast<std::size_t>(report.pairsRead);
    report.audio = audio;
    report.audio.name = chart[0].col2;

    report.notes = static_cast<int>(chartNotes(chart).size());
    report.end.record = report.notes + 1;
    if (report.end.record == kChartRecords) {
        report.end.reason = ChartEnd::Reason::lastRecord;
    } else if (static_cast<std::size_t>(2 * report.end.record) < tokens.read.size()) {
        report.end.reason = ChartEnd::Reason::laneToken;
        report.end.token = chart[report.end.record].col1;
    } else {
        report.end.reason = ChartEnd::Reason::endOfFile;
    }

    const std::int32_t lastPosition = audio.status == AudioInfo::Status::known
                                          ? std::max(audio.lengthMs, 0)
                                          : std::numeric_limits<std::int32_t>::max();
    const Run run = simulate(chart, report.notes, lastPosition);
    report.perfect = run.perfect;
    for (int record = 1; record <= report.notes; ++record)
        report.spawned += run.notes[record].slot >= 0;

    addFindings(chart, tokens, run, lastPosition, report);
    std::stable_sort(report.findings.begin(), report.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.record < b.record; });
    return report;
}

ChartReport analyseText(std::string_view text, std::int32_t audioLengthMs)
{
    auto table = std::make_unique<ChartTable>();  // 60 kB
    readChart(*table, text);
    AudioInfo audio;
    audio.status = AudioInfo::Status::known;
    audio.lengthMs = audioLengthMs;
    return analyse(*table, scanTokens(text), audio);
}

}  // namespace zorv::chartcheck
