// An automated player for the real game: plays a chart in the running `zorv`
// as a player with perfect timing would, listening to the sound the game
// makes rather than trusting any clock of the game's, and reads the
// judgements back from the game's own score board. Run by
// scripts/autoplay.sh, which starts Xvfb, a private PulseAudio with a null
// sink, and the game; see docs/performance.md.
//
//   autoplay --chart FILE --slot 1|2 [--audio FILE] [--truth FILE]
//            [--sink zorv_null | --no-sound] [--offset MS] [--hold MS]
//            [--label TEXT] [--trace FILE]
//
// The player records the sink's monitor with every sample timed on
// CLOCK_MONOTONIC, finds when the song's first sound was heard and, knowing
// that sound's sample in the song (decoded as the game decodes it), when the
// song's first sample was heard. Each note's key then goes down at that time
// plus the note's chart time plus the lead (its beat as heard), plus --offset,
// through XTest. --no-sound (SDL's dummy driver: nothing to hear) takes the
// start key's time as the song's start instead, as a player could not.
// --trace FILE writes every stretch the ear placed ("ear", ms after the
// start, offset ms, votes, pace ms/s) and the tracking of the whole song
// ("heard", song ms, offset ms, votes).
#include <time.h>
#include <sys/prctl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/autoplay/Align.h"
#include "bench/autoplay/Ear.h"
#include "bench/autoplay/GameSide.h"
#include "bench/latency/MonitorRecorder.h"
#include "bench/autoplay/Presses.h"
#include "bench/autoplay/Report.h"
#include "bench/autoplay/Screen.h"
#include "bench/autoplay/Song.h"
#include "bench/autoplay/XGame.h"
#include "app/Layout.h"
#include "charting/Charting.h"

namespace {

using namespace zorv::autoplay;

constexpr int kRecordRate = 48000;  // the null sink's
// Listeners stopped at kFirstListenMs, then every kListenEveryMs after the
// start key: the last before the earliest first beat a chart may have.
constexpr int kListeners = 6;
constexpr int kFirstListenMs = 500;
constexpr int kListenEveryMs = 400;
constexpr int kSettleMs = 2000;
constexpr int kQuietMs = 60;

struct Options {
    std::string chart, audio, truth, label, trace, sink = "zorv_null";
    int slot = 1;
    bool sound = true;
    double offsetMs = 0, holdMs = 60;
    float anchorShare = 0.05f;  // of the song's peak: its first sound
    float edgeShare = 0.3f;     // of the song's peak: the sound compared over the song
};

[[noreturn]] void usage()
{
    std::fprintf(
        stderr,
        "usage: autoplay --chart FILE --slot 1|2 [--audio FILE] [--truth FILE]\n"
        "                [--sink NAME | --no-sound] [--offset MS] [--hold MS] [--label TEXT] [--trace FILE]\n");
    std::exit(2);
}

Options parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usage();
            return argv[++i];
        };
        if (arg == "--chart")
            o.chart = value();
        else if (arg == "--audio")
            o.audio = value();
        else if (arg == "--truth")
            o.truth = value();
        else if (arg == "--label")
            o.label = value();
        else if (arg == "--sink")
            o.sink = value();
        else if (arg == "--slot")
            o.slot = std::atoi(value().c_str());
        else if (arg == "--no-sound")
            o.sound = false;
        else if (arg == "--offset")
            o.offsetMs = std::atof(value().c_str());
        else if (arg == "--hold")
            o.holdMs = std::atof(value().c_str());
        else if (arg == "--trace")
            o.trace = value();
        else
            usage();
    }
    if (o.chart.empty() || (o.slot != 1 && o.slot != 2) || o.holdMs <= 0)
        usage();
    if (o.audio.empty())
        o.audio = chartAudio(o.chart);
    if (o.label.empty())
        o.label = o.chart;
    return o;
}

std::int64_t nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

void sleepUntil(std::int64_t ns)
{
    const timespec at{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0) {
    }
}

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

struct Start {
    std::int64_t keyNs = 0;                           // the start key taken by the server
    std::int64_t heardNs = 0;                         // the song's first sound left the server
    std::int64_t foundNs = 0;                         // when the player knew it
    std::unique_ptr<zorv::bench::Recorder> recorder;  // still recording, for the rest of the song
};

// Presses the start key and listens for the song's first sound. A recorder
// gives its samples up only when stopped, so several listen from before the
// start key and are stopped one after the other until one has heard the
// song; another records the whole song. All are started kSettleMs before
// the key: a record stream's first latency figures are not yet those of the
// running sink (a listener 100 ms old put the song's start up to 16 ms off).
Start startAndListen(XGame& game, const Options& o, float threshold)
{
    Start start;
    start.recorder = zorv::bench::makePulseRecorder(o.sink, kRecordRate);
    std::vector<std::unique_ptr<zorv::bench::Recorder>> listeners;
    for (int i = 0; i < kListeners; ++i)
        listeners.push_back(zorv::bench::makePulseRecorder(o.sink, kRecordRate));
    pause(kSettleMs);
    game.altKey('s');
    start.keyNs = nowNs();
    for (int i = 0; i < kListeners; ++i) {
        sleepUntil(start.keyNs + std::int64_t{kFirstListenMs + i * kListenEveryMs} * 1'000'000);
        const auto onsets = listeners[static_cast<std::size_t>(i)]->stop(threshold, kQuietMs);
        if (!onsets.empty()) {
            start.heardNs = onsets.front().heardNs;
            start.foundNs = nowNs();
            return start;
        }
    }
    throw std::runtime_error("no sound from the game within " +
                             std::to_string(kFirstListenMs + (kListeners - 1) * kListenEveryMs) +
                             " ms of the start key (a quiet start? the threshold is a share of the song's peak)");
}

}  // namespace

namespace {

// Presses and releases on time, each at the song's start as heard last plus
// its place in the song. Returns when each press was sent.
std::vector<std::int64_t> playNotes(XGame& game, const std::vector<Note>& notes,
                                    const std::function<std::int64_t()>& start, const Options& o, PlayRecord& r)
{
    const auto events = keySchedule(notes, 0, std::llround(o.offsetMs * 1e6), std::llround(o.holdMs * 1e6));
    std::vector<std::int64_t> sentNs(notes.size(), 0);
    for (const KeyEvent& event : events) {
        const std::int64_t target = start() + event.atNs;
        sleepUntil(target);
        const std::int64_t sent = nowNs();
        game.laneKey(event.lane, event.down);
        if (event.down) {
            sentNs[event.note] = sent;
            r.pressLateMs.push_back(static_cast<double>(sent - target) / 1e6);
            r.pressRoundTripMs.push_back(static_cast<double>(nowNs() - sent) / 1e6);
        }
    }
    return sentNs;
}

// Where the song was heard, by the recording of the whole song: for song
// time `ms`, how much later than the start said. The median of the five
// stretches nearest: one stretch of few sounds can pile up at a wrong offset.
double heardOffsetMs(const std::vector<Offset>& heard, double ms)
{
    if (heard.empty())
        return 0;
    const auto after = std::lower_bound(heard.begin(), heard.end(), ms,
                                        [](const Offset& offset, double t) { return offset.atMs < t; });
    const auto middle = static_cast<std::ptrdiff_t>(after - heard.begin());
    const auto size = static_cast<std::ptrdiff_t>(heard.size());
    std::vector<double> near;
    for (std::ptrdiff_t i = std::max<std::ptrdiff_t>(0, middle - 2); i < std::min(size, middle + 3); ++i)
        near.push_back(heard[static_cast<std::size_t>(i)].offsetMs);
    return spreadOf(near).median;
}

// When song time `songMs` was heard, by the whole song's recording.
std::int64_t heardNs(std::int64_t startNs, const std::vector<Offset>& heard, double songMs)
{
    return startNs + std::llround((songMs + heardOffsetMs(heard, songMs)) * 1e6);
}

// The game's side of every note, against the music as heard: when its arrow
// set out against its chart time, where its beat fell in the great window,
// which judgement its press got; and each press against its beat.
void compareNotes(const std::vector<Note>& notes, const std::vector<NoteSeen>& seen,
                  const std::vector<std::int64_t>& pressNs, std::int64_t startNs, const std::vector<Offset>& heard,
                  PlayRecord& r)
{
    auto heardAt = [&](double songMs) { return heardNs(startNs, heard, songMs); };
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const double beatMs = notes[i].timeMs + zorv::charting::kLeadMs;
        r.pressHeardMs.push_back(static_cast<double>(pressNs[i] - heardAt(beatMs)) / 1e6);
        if (seen[i].judgement >= 0)
            ++r.screenCounts[static_cast<std::size_t>(seen[i].judgement)];
        if (seen[i].spawnNs < 0)
            continue;
        r.spawnLagMs.push_back(static_cast<double>(seen[i].spawnNs - heardAt(notes[i].timeMs)) / 1e6);
        const double into =
            static_cast<double>(heardAt(beatMs) - seen[i].spawnNs) / 1e6 - zorv::charting::kGreatFromSpawnMs;
        r.beatIntoGreatMs[static_cast<std::size_t>(seen[i].judgement + 1)].push_back(into);
    }
}

// The song as heard against where the start says it should be heard, all
// through the song: how well the start was found, and whether the server
// played the song in real time and without a gap.
std::vector<Offset> compareHeard(const SongSound& song, float threshold, const std::vector<zorv::bench::Onset>& loud,
                                 std::int64_t songStartNs, PlayRecord& r)
{
    const auto heard = risingEdgesMs(loud, songStartNs, kRecordRate);
    const auto expected = risingEdgesMs(song.mono, song.rate, threshold);
    auto offsets = trackEdges(heard, expected, Tracking{});
    for (const Offset& offset : offsets) {
        r.heardResidualMs.push_back(offset.offsetMs);
        r.heardAtMinutes.push_back(offset.atMs / 60000);
    }
    return offsets;
}

// Each press against the nearest true onset of the song, as heard.
void compareTruth(const std::vector<Note>& notes, const std::vector<double>& truthMs, PlayRecord& r)
{
    for (std::size_t i = 0; i < notes.size() && i < r.pressHeardMs.size(); ++i) {
        const double beat = notes[i].timeMs + zorv::charting::kLeadMs;
        const auto offsets = nearestOffsets({beat}, truthMs, 50);
        if (offsets.empty())
            ++r.truthMissing;
        else
            r.pressTruthMs.push_back(offsets.front() + r.pressHeardMs[i]);
    }
}

ScoreBoard readScoreBoard(XGame& game)
{
    ScoreBoard b;
    int* counts[] = {&b.miss, &b.bad, &b.good, &b.great, &b.sum};
    const char* names[] = {"Edit5", "Edit6", "Edit7", "Edit8", "Edit9"};
    for (int i = 0; i < 5; ++i) {
        const zorv::layout::Control* box = nullptr;
        for (const auto& row : zorv::layout::kControls) {
            if (std::string_view(row.name) == names[i])
                box = &row;
        }
        const std::string text = game.boxText(box->left, box->top, box->width, box->height);
        *counts[i] = countOf(text);
        b.raw += (i > 0 ? " " : "") + text;
    }
    return b;
}

}  // namespace

namespace {

struct Prepared {
    std::vector<Note> notes;
    SongSound song;
    std::int64_t firstSound = 0;  // sample
    float anchorThreshold = 0, edgeThreshold = 0;
};

Prepared prepare(const Options& o, PlayRecord& r)
{
    Prepared p;
    p.notes = chartNotes(o.chart);
    if (p.notes.empty())
        throw std::runtime_error("the chart has no notes");
    p.song = decodeSong(o.audio);
    p.anchorThreshold = p.song.peak * o.anchorShare;
    p.edgeThreshold = p.song.peak * o.edgeShare;
    p.firstSound = firstLoudSample(p.song.mono, p.anchorThreshold);
    if (p.firstSound < 0)
        throw std::runtime_error("the song is silent");
    r.label = o.label;
    r.sound = o.sound;
    r.offsetMs = o.offsetMs;
    r.notes = p.notes.size();
    r.songSeconds = p.song.lengthMs / 1000.0;
    r.firstSoundMs = static_cast<double>(p.firstSound) * 1000.0 / p.song.rate;
    return p;
}

// Starts the song and returns when its first sample was heard: by listening,
// or, with no sound, the start key's time. `keeper` records the whole song.
std::int64_t startSong(XGame& game, const Options& o, const Prepared& p, PlayRecord& r,
                       std::unique_ptr<zorv::bench::Recorder>& keeper)
{
    std::int64_t startNs = 0;
    if (o.sound) {
        Start start = startAndListen(game, o, p.anchorThreshold);
        startNs = start.heardNs - p.firstSound * 1'000'000'000 / p.song.rate;
        r.heardAfterKeyMs = static_cast<double>(start.heardNs - start.keyNs) / 1e6;
        r.foundAfterMs = static_cast<double>(start.foundNs - start.heardNs) / 1e6;
        keeper = std::move(start.recorder);
    } else {
        game.altKey('s');
        startNs = nowNs();
    }
    const std::int64_t firstBeat = startNs + (p.notes.front().timeMs + zorv::charting::kLeadMs) * 1'000'000LL;
    if (nowNs() > firstBeat)
        throw std::runtime_error("the song's first sound came after its first note's beat");
    return startNs;
}

std::vector<std::int64_t> playAll(XGame& game, const Options& o, const Prepared& p, std::int64_t startNs, PlayRecord& r,
                                  std::FILE* trace)
{
    if (!o.sound)
        return playNotes(
            game, p.notes, [startNs] { return startNs; }, o, r);
    Ear ear(o.sink, kRecordRate, risingEdgesMs(p.song.mono, p.song.rate, p.edgeThreshold), p.edgeThreshold, startNs);
    auto pressNs = playNotes(
        game, p.notes, [&ear] { return ear.songStartNs(); }, o, r);
    for (const Ear::Stretch& stretch : ear.stop()) {
        r.earCorrections += stretch.votes > 0 ? 1 : 0;
        if (trace != nullptr)
            std::fprintf(trace, "ear %.1f %+.2f %d %+.3f\n", static_cast<double>(stretch.atNs - startNs) / 1e6,
                         stretch.offsetMs, stretch.votes, static_cast<double>(stretch.drift) / 1e6);
    }
    r.earMovedMs = static_cast<double>(ear.songStartNs() - startNs) / 1e6;
    return pressNs;
}

PlayRecord play(const Options& o)
{
    PlayRecord r;
    const Prepared p = prepare(o, r);
    XGame game;
    game.attach(20'000);
    game.altKey('l');  // the song list
    pause(400);
    game.altKey(o.slot == 1 ? 'd' : 'v');
    pause(400);

    ScreenWatch screen(game.window());
    std::unique_ptr<zorv::bench::Recorder> keeper;
    const std::int64_t startNs = startSong(game, o, p, r, keeper);
    printStart(r);
    std::FILE* trace = o.trace.empty() ? nullptr : std::fopen(o.trace.c_str(), "w");
    const auto pressNs = playAll(game, o, p, startNs, r, trace);
    printPresses(r);
    sleepUntil(std::max(nowNs(), startNs + std::int64_t{p.song.lengthMs} * 1'000'000) + 500'000'000);

    std::vector<Offset> heard;
    if (keeper) {
        heard = compareHeard(p.song, p.edgeThreshold, keeper->stop(p.edgeThreshold, 0), startNs, r);
        for (const Offset& offset : heard) {
            if (trace != nullptr)
                std::fprintf(trace, "heard %.1f %+.2f %d\n", offset.atMs, offset.offsetMs, offset.votes);
        }
        const auto whole = keeper->stop(p.anchorThreshold, kQuietMs);
        if (!whole.empty())
            r.anchorCheckMs = static_cast<double>(whole.front().heardNs - startNs) / 1e6 - r.firstSoundMs;
    }
    std::vector<std::int64_t> dueNs;
    for (const Note& note : p.notes)
        dueNs.push_back(heardNs(startNs, heard, note.timeMs));
    compareNotes(p.notes, readNotes(screen.stop(), p.notes, dueNs, pressNs), pressNs, startNs, heard, r);
    if (!o.truth.empty())
        compareTruth(p.notes, truthOnsetsMs(o.truth), r);
    if (trace != nullptr)
        std::fclose(trace);
    printHeard(r);
    r.board = readScoreBoard(game);
    printBoard(r);
    game.altKey('c');  // the game's own close button
    return r;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const Options options = parse(argc, argv);
        // The kernel's default timer slack would wake every press up to 50 us late.
        prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
        play(options);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "autoplay: %s\n", error.what());
        return 1;
    }
}
