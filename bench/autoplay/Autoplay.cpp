// An automated player for the real game: plays a chart in the running `zorv`
// as a player with perfect timing would, listening to the sound the game
// makes rather than trusting any clock of the game's, and reads the
// judgements back from the game's own score board. Run by
// scripts/autoplay.sh, which starts Xvfb, a private PulseAudio with a null
// sink, and the game; see docs/performance.md.
//
//   autoplay --chart FILE --slot 1|2 [--audio FILE] [--truth FILE]
//            [--sink zorv_null | --no-sound] [--offset MS] [--hold MS]
//            [--label TEXT]
//
// The player records the sink's monitor with every sample timed on
// CLOCK_MONOTONIC, finds when the song's first sound was heard and, knowing
// that sound's sample in the song (decoded as the game decodes it), when the
// song's first sample was heard. Each note's key then goes down at that time
// plus the note's chart time plus the lead (its beat as heard), plus --offset,
// through XTest. --no-sound (SDL's dummy driver: nothing to hear) takes the
// start key's time as the song's start instead, as a player could not.
#include <time.h>
#include <sys/prctl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "MonitorRecorder.h"
#include "Presses.h"
#include "Report.h"
#include "Song.h"
#include "XGame.h"
#include "app/Layout.h"
#include "charting/Charting.h"

namespace {

using namespace zorv::autoplay;

constexpr int kRecordRate = 48000;  // the null sink's
constexpr int kPollMs = 100;
constexpr int kQuietMs = 60;

struct Options {
    std::string chart, audio, truth, label, sink = "zorv_null";
    int slot = 1;
    bool sound = true;
    double offsetMs = 0, holdMs = 60;
    float anchorShare = 0.05f;  // of the song's peak: its first sound
    float onsetShare = 0.3f;    // of the song's peak: onsets compared over the song
};

[[noreturn]] void usage()
{
    std::fprintf(stderr,
                 "usage: autoplay --chart FILE --slot 1|2 [--audio FILE] [--truth FILE]\n"
                 "                [--sink NAME | --no-sound] [--offset MS] [--hold MS] [--label TEXT]\n");
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
// only gives its samples up when stopped, so recorders overlap by a poll
// period each: one is stopped and searched while the next already records.
Start startAndListen(XGame& game, const Options& o, float threshold)
{
    Start start;
    auto current = zorv::bench::makePulseRecorder(o.sink, kRecordRate);
    pause(kPollMs);
    auto next = zorv::bench::makePulseRecorder(o.sink, kRecordRate);
    game.altKey('s');
    start.keyNs = nowNs();
    for (int polls = 0; polls * kPollMs < 30'000; ++polls) {
        pause(kPollMs);
        const auto onsets = current->stop(threshold, kQuietMs);
        if (!onsets.empty()) {
            start.heardNs = onsets.front().heardNs;
            start.foundNs = nowNs();
            start.recorder = std::move(next);
            return start;
        }
        current = std::move(next);
        next = zorv::bench::makePulseRecorder(o.sink, kRecordRate);
    }
    throw std::runtime_error("no sound from the game within 30 s of the start key");
}

}  // namespace

namespace {

// Presses and releases on time; fills the press figures of `r`.
void playNotes(XGame& game, const std::vector<Note>& notes, std::int64_t songStartNs, const Options& o, PlayRecord& r)
{
    const auto events = keySchedule(notes, songStartNs, std::llround(o.offsetMs * 1e6), std::llround(o.holdMs * 1e6));
    std::vector<double> sentNs(notes.size(), 0);
    for (const KeyEvent& event : events) {
        sleepUntil(event.atNs);
        const std::int64_t sent = nowNs();
        game.laneKey(event.lane, event.down);
        if (event.down) {
            const std::int64_t taken = nowNs();
            r.pressLateMs.push_back(static_cast<double>(sent - event.atNs) / 1e6);
            r.pressRoundTripMs.push_back(static_cast<double>(taken - sent) / 1e6);
        }
    }
}

// Song onsets heard against where the anchor says they should be heard: how
// well the start was found, and whether the server played in real time.
void compareOnsets(const SongSound& song, float threshold, const std::vector<zorv::bench::Onset>& heard,
                   std::int64_t songStartNs, PlayRecord& r)
{
    std::vector<double> heardMs;
    for (const auto& onset : heard)
        heardMs.push_back(static_cast<double>(onset.heardNs - songStartNs) / 1e6);
    for (std::int64_t ns : songOnsetsNs(song, threshold, kQuietMs)) {
        const double expected = static_cast<double>(ns) / 1e6;
        const auto offsets = nearestOffsets({expected}, heardMs, 20);
        if (!offsets.empty()) {
            r.onsetResidualMs.push_back(-offsets.front());
            r.onsetAtMinutes.push_back(expected / 60000);
        }
    }
}

// Each press against the nearest true onset of the song, as heard.
void compareTruth(const std::vector<Note>& notes, const std::vector<double>& truthMs, const Options& o, PlayRecord& r)
{
    for (std::size_t i = 0; i < notes.size() && i < r.pressLateMs.size(); ++i) {
        const double beat = notes[i].chartMs + zorv::charting::kLeadMs;
        const auto offsets = nearestOffsets({beat}, truthMs, 50);
        if (offsets.empty())
            ++r.truthMissing;
        else
            r.pressTruthMs.push_back(offsets.front() + o.offsetMs + r.pressLateMs[i]);
    }
}

const zorv::layout::Control& control(std::string_view name)
{
    for (const auto& row : zorv::layout::kControls) {
        if (name == row.name)
            return row;
    }
    throw std::logic_error("no control " + std::string(name));
}

ScoreBoard readScoreBoard(XGame& game)
{
    ScoreBoard b;
    int* counts[] = {&b.miss, &b.bad, &b.good, &b.great, &b.sum};
    const char* names[] = {"Edit5", "Edit6", "Edit7", "Edit8", "Edit9"};
    for (int i = 0; i < 5; ++i) {
        const auto& box = control(names[i]);
        const std::string text = game.boxText(box.left, box.top, box.width, box.height);
        *counts[i] = countOf(text);
        b.raw += (i > 0 ? " " : "") + text;
    }
    return b;
}

}  // namespace

namespace {

PlayRecord play(const Options& o)
{
    PlayRecord r;
    r.label = o.label;
    r.sound = o.sound;
    r.offsetMs = o.offsetMs;
    const std::vector<Note> notes = chartNotes(o.chart);
    if (notes.empty())
        throw std::runtime_error("the chart has no notes");
    r.notes = notes.size();
    const SongSound song = decodeSong(o.audio);
    r.songSeconds = song.lengthMs / 1000.0;
    const float anchorThreshold = song.peak * o.anchorShare;
    const std::int64_t firstSound = firstLoudSample(song.mono, anchorThreshold);
    if (firstSound < 0)
        throw std::runtime_error("the song is silent");
    r.firstSoundMs = static_cast<double>(firstSound) * 1000.0 / song.rate;

    XGame game;
    game.attach(20'000);
    game.altKey('l');  // the song list
    pause(400);
    game.altKey(o.slot == 1 ? 'd' : 'v');
    pause(400);

    std::int64_t songStartNs = 0;
    std::unique_ptr<zorv::bench::Recorder> recorder;
    if (o.sound) {
        Start start = startAndListen(game, o, anchorThreshold);
        songStartNs = start.heardNs - firstSound * 1'000'000'000 / song.rate;
        r.heardAfterKeyMs = static_cast<double>(start.heardNs - start.keyNs) / 1e6;
        r.foundAfterMs = static_cast<double>(start.foundNs - start.heardNs) / 1e6;
        recorder = std::move(start.recorder);
    } else {
        game.altKey('s');
        songStartNs = nowNs();
    }
    const std::int64_t firstPress = songStartNs + (notes.front().chartMs + zorv::charting::kLeadMs) * 1'000'000LL;
    if (nowNs() > firstPress)
        throw std::runtime_error("the song's first sound came after its first note's beat");

    playNotes(game, notes, songStartNs, o, r);
    sleepUntil(std::max(nowNs(), songStartNs + std::int64_t{song.lengthMs} * 1'000'000) + 500'000'000);
    if (recorder) {
        const float onsetThreshold = song.peak * o.onsetShare;
        compareOnsets(song, onsetThreshold, recorder->stop(onsetThreshold, kQuietMs), songStartNs, r);
    }
    if (!o.truth.empty())
        compareTruth(notes, truthOnsetsMs(o.truth), o, r);
    r.board = readScoreBoard(game);
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
        printRecord(play(options));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "autoplay: %s\n", error.what());
        return 1;
    }
}
