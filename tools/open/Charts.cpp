#include "tools/open/Charts.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "tools/chart/make/Features.h"
#include "tools/chartfile/AudioName.h"
#include "tools/chart/make/Command.h"
#include "tools/chart/make/Decode.h"
#include "tools/chart/make/Make.h"
#include "tools/chart/make/Slots.h"

namespace fs = std::filesystem;

namespace zorv::opensong {
namespace {

using chartmake::Level;

// Of the work on one song, the share the progress bar gives decoding and
// listening, the part that reports as it goes; making the charts is the
// rest, shown in one step.
constexpr double kListeningShare = 0.8;

void check(const CancelCheck& cancelled)
{
    if (cancelled && cancelled())
        throw Cancelled();
}

// Decodes and listens to `song` as zorv-chart make does; the player's
// cancel is noticed within one buffer of the decoder.
chartmake::Features listen(const fs::path& song, const CancelCheck& cancelled,
                           const std::function<void(double)>& progress)
{
    chartmake::Analyser analyser;
    const auto sink = [&](const std::int16_t* samples, std::size_t frames) {
        check(cancelled);
        analyser.feed(samples, frames);
    };
    const auto decoding = [&](std::int64_t done, std::int64_t expected) {
        check(cancelled);
        if (expected > 0)
            progress(static_cast<double>(done) / static_cast<double>(expected));
    };
    try {
        // libmpg123 tells stderr whatever it finds odd in a file; the
        // reason we give is the one that counts.
        const chartmake::Listening quiet(song.filename().string());
        const chartmake::DecodedAudio audio = chartmake::decodeAudio(song.string(), sink, decoding);
        return analyser.finish(audio);
    } catch (const chartmake::DecodeError& e) {
        throw SongError(song, SongError::Kind::unreadable, e.what());
    }
}

// The chart's text; what it holds goes to stderr as zorv-chart make says it.
std::string chartFor(const fs::path& song, const chartmake::Features& features, Level level,
                     const std::string& audioName, int slot)
{
    try {
        const chartmake::MadeChart made =
            chartmake::makeChart(features, level, chartfile::chartTitle(audioName), audioName);
        std::fprintf(stderr, "zorv: %s -> slot %d (%s)\n%s", song.c_str(), slot,
                     std::string(chartmake::kSlotCharts[static_cast<std::size_t>(slot - 1)]).c_str(),
                     chartmake::summaryOf(made, features, level).c_str());
        return made.text;
    } catch (const chartmake::NoChart& e) {
        throw SongError(song, SongError::Kind::noChart, e.what());
    } catch (const chartmake::InternalError& e) {
        throw SongError(song, SongError::Kind::internal, e.what());
    }
}

}  // namespace

std::vector<SlotSong> slotsFor(std::size_t songCount)
{
    if (songCount == 1)
        return {{0, Level::easy}, {0, Level::hard}};
    return {{0, Level::medium}, {1, Level::medium}};
}

void chartSongs(const std::vector<fs::path>& songs, const fs::path& folder, const CancelCheck& cancelled,
                const ChartProgress& progress)
{
    const double share = 1.0 / static_cast<double>(songs.size());
    double shown = 0;  // never back: one song's second slot has nothing more to listen to
    const auto report = [&](std::size_t song, double done) {
        shown = std::max(shown, share * (static_cast<double>(song) + done));
        if (progress)
            progress(shown, songs[song]);
    };
    std::vector<std::optional<chartmake::Features>> heard(songs.size());
    int slot = 1;
    for (const SlotSong& s : slotsFor(songs.size())) {
        const fs::path& song = songs[s.song];
        report(s.song, 0);
        check(cancelled);
        if (!heard[s.song])
            heard[s.song] = listen(song, cancelled, [&](double done) { report(s.song, kListeningShare * done); });
        report(s.song, kListeningShare);
        check(cancelled);
        // No bundled songs: both slots are filled from what was opened.
        const chartmake::SlotPlan plan = chartmake::planSlot(folder, slot, song, {});
        chartmake::fillSlot(plan, chartFor(song, *heard[s.song], s.level, plan.audioName, slot));
        ++slot;
    }
    report(songs.size() - 1, 1);
}

}  // namespace zorv::opensong
