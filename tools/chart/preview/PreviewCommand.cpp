// zorv-chart preview: the picture of a chart against its song.

#include <QBuffer>
#include <QGuiApplication>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "charting/Charting.h"
#include "tools/chart/check/ChartFile.h"
#include "tools/chart/make/Beats.h"
#include "tools/chart/make/Command.h"
#include "tools/chart/make/Files.h"
#include "tools/chart/preview/Preview.h"
#include "tools/chart/preview/PreviewCommand.h"

namespace fs = std::filesystem;

namespace zorv::chartmake {

const std::string_view kPreviewSynopsis = "zorv-chart preview CHART -o PNG";
const std::string_view kPreviewHelp = R"(Draws the chart against its song: the song's onset strength over time, the
four lanes under it, each note at its beat; notes with problems, warnings,
or no sound at their beat are ringed. Exit status 0 when the picture is
written, 2 when the chart cannot be read or the picture written.
)";

namespace {

// Qt's chatter about its headless setting-up (no XDG_RUNTIME_DIR, say) is
// no business of the user's; its errors are.
void onlyQtErrors(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "zorv-chart: %s\n", message.toLocal8Bit().constData());
}

struct Heard {
    std::optional<Features> features;
    chartcheck::AudioInfo audio;
};

// The chart's audio as the game would find and play it.
Heard hear(const fs::path& chartPath, const ChartTable& chart)
{
    Heard heard;
    heard.audio.name = chart[0].col2;
    if (heard.audio.name.empty())
        return heard;
    const fs::path path = (chartPath.has_parent_path() ? chartPath.parent_path() : ".") / heard.audio.name;
    heard.audio.path = path.string();
    try {
        Listening listening(path.filename().string());
        heard.features = analyseFile(path.string(), [&](std::int64_t done, std::int64_t all) { listening(done, all); });
        heard.audio.status = chartcheck::AudioInfo::Status::known;
        heard.audio.lengthMs = heard.features->audio.lengthMs;
    } catch (const DecodeError& e) {
        heard.audio.reason = e.what();
        heard.audio.status = heard.audio.reason == "no such file" ? chartcheck::AudioInfo::Status::missing
                                                                  : chartcheck::AudioInfo::Status::unplayable;
    }
    return heard;
}

std::vector<PreviewNote> notesOf(const chartcheck::ChartFile& file, const chartcheck::ChartReport& report)
{
    std::vector<PreviewNote> notes;
    for (int record = 1; record <= report.notes; ++record)
        notes.push_back({chartNumber(file.chart[record].col1), chartNumber(file.chart[record].col2)});
    for (const chartcheck::Finding& finding : report.findings) {
        if (finding.record < 1 || finding.record > report.notes)
            continue;
        PreviewNote& note = notes[static_cast<std::size_t>(finding.record - 1)];
        if (finding.severity == chartcheck::Severity::problem)
            note.mark = PreviewNote::Mark::problem;
        else if (note.mark == PreviewNote::Mark::fine)
            note.mark = PreviewNote::Mark::warning;
    }
    return notes;
}

std::string describe(const Heard& heard, const Beats& beats)
{
    std::string text = "audio " + (heard.audio.name.empty() ? std::string("none named") : heard.audio.name);
    if (!heard.features)
        return text + ": " + (heard.audio.reason.empty() ? "not found" : heard.audio.reason) +
               ", so no onset strength is drawn";
    char length[64];
    std::snprintf(length, sizeof length, ", %.1f s", heard.features->durationMs / 1000.0);
    text += length;
    if (beats.bpm > 0)
        text += ", tempo " + std::to_string(static_cast<int>(std::lround(beats.bpm))) + " BPM";
    return text + "; grey: onset strength; each note drawn at its beat, chart time + " +
           std::to_string(charting::kLeadMs) + " ms";
}

int runPreview(const std::string& chartPath, const std::string& pngPath)
{
    std::string error;
    const std::optional<chartcheck::ChartFile> file = chartcheck::readChartFile(chartPath, error);
    if (!file) {
        std::fprintf(stderr, "zorv-chart: cannot read %s: %s; nothing written\n", chartPath.c_str(), error.c_str());
        return 2;
    }
    const Heard heard = hear(chartPath, file->chart);
    const chartcheck::ChartReport report = chartcheck::analyse(file->chart, file->tokens, heard.audio);
    PreviewData data;
    data.notes = notesOf(*file, report);
    Beats beats;
    int offMusic = 0;
    if (heard.features) {
        data.features = &*heard.features;
        beats = trackBeats(*heard.features);
        data.beats = beats.ms;
        for (std::size_t i = 0; i < beats.ms.size() && i < beats.inBar.size(); ++i) {
            if (beats.inBar[i] == 0)
                data.bars.push_back(beats.ms[i]);
        }
        data.lengthMs = heard.features->durationMs;
        offMusic = markOffMusic(data.notes, *heard.features);
    }
    const std::string counts = std::to_string(report.notes) + " notes, " +
                               std::to_string(report.count(chartcheck::Severity::problem)) + " problems, " +
                               std::to_string(report.count(chartcheck::Severity::warning)) + " warnings" +
                               (heard.features ? ", " + std::to_string(offMusic) + " off the music" : "");
    data.title = fs::path(chartPath).filename().string() + ": " + counts;
    data.subtitle = describe(heard, beats);

    int argc = 3;
    char name[] = "zorv-chart";
    char platform[] = "-platform";
    char offscreen[] = "offscreen";
    char* argv[] = {name, platform, offscreen, nullptr};
    qInstallMessageHandler(onlyQtErrors);
    const QGuiApplication app(argc, argv);  // fonts for the text; no display needed
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!drawPreview(data).save(&buffer, "PNG")) {
        std::fprintf(stderr, "zorv-chart: cannot encode the picture; nothing written\n");
        return 2;
    }
    try {
        writeFileAtomically(pngPath, std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
    } catch (const FileError& e) {
        std::fprintf(stderr, "zorv-chart: %s; nothing written\n", e.what());
        return 2;
    }
    std::fprintf(stderr, "zorv-chart: %s -> %s (%s)\n", chartPath.c_str(), pngPath.c_str(), counts.c_str());
    return 0;
}

}  // namespace

int previewCommand(int argc, char** argv)
{
    std::string chart;
    std::string png;
    bool understood = true;
    for (int i = 1; i < argc && understood; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o" && i + 1 < argc && png.empty())
            png = argv[++i];
        else if (arg.rfind("-o=", 0) == 0 && png.empty())
            png = arg.substr(3);
        else if (!arg.empty() && arg[0] != '-' && chart.empty())
            chart = arg;
        else
            understood = false;
    }
    if (!understood || chart.empty() || png.empty()) {
        std::fprintf(stderr,
                     "zorv-chart preview: give one chart and -o PNG\nusage: %.*s\n(zorv-chart --help says more)\n",
                     static_cast<int>(kPreviewSynopsis.size()), kPreviewSynopsis.data());
        return 2;
    }
    return runPreview(chart, png);
}

}  // namespace zorv::chartmake
