// real-bench: measures charts of real recordings against what a person wrote
// for them (PersonCharts) with the measures of Groove.h, and first measures
// the person's own charts the same way, shifted and not, to show the
// measures see what they should. Prints tab-separated rows for
// scripts/table.py, each starting with its table's tag:
//
//   PERSON  the person's charts as written, 30 ms late and half a beat late
//   CHART   a chart of ours: tempo, on-grid shares, steadiness, agreement,
//           density correlation and its verdict
//   TARGET  each target over every chart it applies to
//
//   real-bench --songs DIR [--audio DIR] [--charts DIR] [--levels L,L]
//
// DIR holds one folder per song with its notes.mid. The audio folder holds
// SONG.raw, the recording as Alignment.h reads it; with it the person's
// notes and grid are moved to where their music is heard (Alignment.h),
// without it they stay where the file puts them. The charts folder holds
// LEVEL/SONG.txt, a chart of ours, and LEVEL/SONG.log, the maker's messages
// with its summary ("tempo N BPM"). Without --charts only the person's rows
// are printed. Exits 1 when a target is missed, 2 on bad usage or an
// unreadable file.

#include "tools/corpus/Alignment.h"
#include "tools/corpus/BenchIo.h"
#include "tools/corpus/Evaluate.h"
#include "tools/corpus/Groove.h"
#include "tools/corpus/Midi.h"
#include "tools/corpus/PersonCharts.h"
#include "chart/Chart.h"
#include "charting/Charting.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace zorv;
using namespace zorv::corpus;

// A song whose person's charts keep to the tempo map less than this is
// judged on tempo and steadiness only: the share of the notes of their
// easiest chart on eighths. Harder charts leave the eighths for sixteenths
// on a map they follow; the easiest keeps to the beat if anything does.
constexpr double kPersonOnEighths = 0.80;
constexpr double kMinEasyOnQuarters = 0.90, kMinMediumOnEighths = 0.90;
constexpr double kMinSteadiness = 0.45, kMinSteadinessAverage = 0.60, kMinAgreementAverage = 0.80;

struct Options {
    fs::path songs, charts, audio;
    std::vector<std::string> levels = {"easy", "medium", "hard"};
};

std::string cell(const char* pattern, double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, pattern, value);
    return buf;
}

std::string percent(double share) { return cell("%.0f%%", 100 * share); }

void printRow(const char* tag, const std::vector<std::string>& cells)
{
    std::printf("%s", tag);
    for (const auto& c : cells)
        std::printf("\t%s", c.c_str());
    std::printf("\n");
}

// Each note moved half the length of the quarter it falls in later: every
// note on a beat goes off it, every note on an off-beat onto one.
std::vector<double> halfBeatLater(const std::vector<double>& notes, const std::vector<double>& quarters)
{
    std::vector<double> out;
    for (const double t : notes) {
        auto next = std::upper_bound(quarters.begin(), quarters.end(), t);
        if (next == quarters.begin() || next == quarters.end())
            continue;
        out.push_back(t + (*next - *(next - 1)) / 2);
    }
    return out;
}

void moveBy(std::vector<double>& times, double ms)
{
    for (double& t : times)
        t += ms;
}

std::vector<double> shifted(std::vector<double> notes, double ms)
{
    moveBy(notes, ms);
    return notes;
}

// The median of the signed distances from our notes to the nearest note of
// the person's, of those within kAgreeMs; 0 when none is.
double medianOffset(const std::vector<double>& ours, const std::vector<double>& theirs)
{
    std::vector<double> offsets;
    for (const double t : ours) {
        const auto after = std::lower_bound(theirs.begin(), theirs.end(), t);
        double best = kAgreeMs + 1;
        if (after != theirs.end())
            best = t - *after;
        if (after != theirs.begin() && std::abs(t - *(after - 1)) < std::abs(best))
            best = t - *(after - 1);
        if (std::abs(best) <= kAgreeMs)
            offsets.push_back(best);
    }
    if (offsets.empty())
        return 0;
    std::nth_element(offsets.begin(), offsets.begin() + static_cast<long>(offsets.size() / 2), offsets.end());
    return offsets[offsets.size() / 2];
}

struct Song {
    std::string name;
    PersonCharts person;  // moved by the alignment: as heard
    Alignment alignment;
    double personOnEighths = 0;  // of their easiest chart
    bool judgedFully = false;
};

// The recording as mono 16-bit samples at kAlignRate, native byte order.
std::vector<std::int16_t> readSamples(const fs::path& path)
{
    const std::string bytes = readFile(path);
    std::vector<std::int16_t> out(bytes.size() / sizeof(std::int16_t));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(std::int16_t));
    return out;
}

Song loadSong(const Options& o, const fs::path& folder)
{
    Song song;
    song.name = folder.filename().string();
    try {
        song.person = personCharts(parseMidi(readFile(folder / "notes.mid")));
    } catch (const MidiError& e) {
        throw std::runtime_error((folder / "notes.mid").string() + ": " + e.what());
    }
    if (!o.audio.empty()) {
        auto& p = song.person;
        song.alignment = alignToAudio(readSamples(o.audio / (song.name + ".raw")), p.allNotes());
        for (auto& level : p.levels)
            moveBy(level, song.alignment.offsetMs);
        for (auto* grid : {&p.quarters, &p.eighths, &p.bars})
            moveBy(*grid, song.alignment.offsetMs);
    }
    for (const auto& level : song.person.levels)
        if (!level.empty()) {
            song.personOnEighths = shareNear(level, song.person.eighths, kOnGridMs);
            break;
        }
    song.judgedFully = song.personOnEighths >= kPersonOnEighths;
    return song;
}

void personRows(const Song& song)
{
    const auto& p = song.person;
    const std::string tempo32 = tempoMatches(p.tempoBpm * 2 / 3, p.tempoBpm) ? "passes" : "fails";
    for (std::size_t level = 0; level < kPersonLevels; ++level) {
        const auto& notes = p.levels[level];
        if (notes.empty())
            continue;
        const auto late = shifted(notes, 30), half = halfBeatLater(notes, p.quarters);
        printRow("PERSON",
                 {song.name, std::string(kPersonLevelNames[level]), std::to_string(notes.size()),
                  cell("%.1f", p.tempoBpm), percent(shareNear(notes, p.quarters, kOnGridMs)),
                  percent(shareNear(notes, p.eighths, kOnGridMs)), cell("%.2f", steadiness(notes)),
                  percent(shareNear(late, p.quarters, kOnGridMs)), percent(shareNear(late, p.eighths, kOnGridMs)),
                  percent(shareNear(half, p.quarters, kOnGridMs)), tempo32, cell("%+.0f", song.alignment.offsetMs),
                  cell("%.1f", song.alignment.contrast), song.judgedFully ? "all targets" : "tempo, steadiness only"});
    }
}

// The maker's summary tempo from its messages; 0 when it found none.
double makerTempo(const fs::path& log)
{
    std::error_code error;
    if (!fs::exists(log, error))
        return 0;
    static const std::regex tempo(R"(tempo ([0-9]+(\.[0-9]+)?) BPM)");
    std::smatch match;
    const std::string text = readFile(log);
    return std::regex_search(text, match, tempo) ? std::stod(match[1]) : 0;
}

// The lowest of a figure over the charts it applies to, and where.
struct Lowest {
    double value = 0;
    std::string where;
    int count = 0;
    void add(double v, const std::string& at)
    {
        if (count++ == 0 || v < value) {
            value = v;
            where = at;
        }
    }
};

struct Tally {
    int charts = 0, tempoMisses = 0, missing = 0;
    std::string firstTempoMiss, firstMissing;
    Lowest easy, medium, steady;
    double steadySum = 0, agreeSum = 0;
    int agreeCount = 0;
};

// When each note of the chart at `path` is heard: its time as the game reads
// it, plus the lead.
std::vector<double> heardTimes(const fs::path& path)
{
    const auto table = std::make_unique<ChartTable>();  // 60 KB: on the heap
    readChart(*table, readFile(path));
    std::vector<double> times;
    for (const auto& note : chartNotes(*table))
        times.push_back(note.timeMs + static_cast<double>(charting::kLeadMs));
    return times;
}

void chartRow(const Options& o, const Song& song, const std::string& level, Tally& tally)
{
    const std::string where = song.name + " " + level;
    const fs::path chart = o.charts / level / (song.name + ".txt");
    std::error_code error;
    if (!fs::exists(chart, error)) {
        if (tally.missing++ == 0)
            tally.firstMissing = where;
        printRow("CHART", {song.name, level, "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "MISS: no chart"});
        return;
    }
    const std::vector<double> notes = heardTimes(chart);
    const auto& p = song.person;
    const double bpm = makerTempo(fs::path(chart).replace_extension(".log"));
    const bool tempoOk = tempoMatches(bpm, p.tempoBpm);
    const double quarters = shareNear(notes, p.quarters, kOnGridMs), eighths = shareNear(notes, p.eighths, kOnGridMs);
    const double steady = steadiness(notes), agree = shareNear(notes, p.allNotes(), kAgreeMs);
    double lengthMs = p.quarters.empty() ? 0 : p.quarters.back();
    lengthMs = std::max({lengthMs, notes.empty() ? 0 : notes.back(), p.allNotes().empty() ? 0 : p.allNotes().back()});
    const int hardest = p.hardest();
    const double density =
        hardest < 0 ? 0 : densityCorrelation(notes, p.levels[static_cast<std::size_t>(hardest)], lengthMs);

    std::string misses;
    const auto miss = [&](bool failed, const char* what) {
        if (failed)
            misses += (misses.empty() ? "" : ", ") + std::string(what);
    };
    ++tally.charts;
    if (!tempoOk && tally.tempoMisses++ == 0)
        tally.firstTempoMiss = where;
    miss(!tempoOk, "tempo");
    if (song.judgedFully && level == "easy") {
        tally.easy.add(quarters, where);
        miss(quarters < kMinEasyOnQuarters, "quarters");
    }
    if (song.judgedFully && level == "medium") {
        tally.medium.add(eighths, where);
        miss(eighths < kMinMediumOnEighths, "eighths");
    }
    tally.steady.add(steady, where);
    tally.steadySum += steady;
    miss(steady < kMinSteadiness, "steadiness");
    if (song.judgedFully) {
        tally.agreeSum += agree;
        ++tally.agreeCount;
    }
    const std::string verdict =
        (misses.empty() ? "ok" : "MISS: " + misses) + (song.judgedFully ? "" : " (judged on tempo, steadiness only)");
    printRow("CHART", {song.name, level, std::to_string(notes.size()), cell("%.0f", bpm), cell("%.0f", p.tempoBpm),
                       percent(quarters), percent(eighths), cell("%.2f", steady), percent(agree),
                       cell("%+.0f", medianOffset(notes, p.allNotes())), cell("%+.2f", density), verdict});
}

bool targetRow(const std::string& what, const std::string& goal, const std::string& result, bool ok)
{
    printRow("TARGET", {what, goal, result, ok ? "ok" : "MISS"});
    return ok;
}

std::string lowest(const Lowest& l, const char* pattern, double scale)
{
    return l.count == 0 ? "not measured" : "worst " + cell(pattern, scale * l.value) + " (" + l.where + ")";
}

bool targetRows(const Tally& t)
{
    bool ok = true;
    ok &= targetRow("charts written", "every song and level",
                    t.missing == 0 ? "all " + std::to_string(t.charts)
                                   : std::to_string(t.missing) + " missing, first " + t.firstMissing,
                    t.missing == 0);
    ok &= targetRow("maker's tempo against the person's", "within 4 % of it, half or double",
                    t.tempoMisses == 0 ? "all " + std::to_string(t.charts)
                                       : std::to_string(t.tempoMisses) + " of " + std::to_string(t.charts) +
                                             " off, first " + t.firstTempoMiss,
                    t.tempoMisses == 0);
    ok &= targetRow("easy notes on quarter beats", ">= 90% every song", lowest(t.easy, "%.0f%%", 100),
                    t.easy.count == 0 || t.easy.value >= kMinEasyOnQuarters);
    ok &= targetRow("medium notes on eighths", ">= 90% every song", lowest(t.medium, "%.0f%%", 100),
                    t.medium.count == 0 || t.medium.value >= kMinMediumOnEighths);
    ok &= targetRow("steadiness", ">= 0.45 every chart", lowest(t.steady, "%.2f", 1),
                    t.steady.count == 0 || t.steady.value >= kMinSteadiness);
    const double steadyAverage = t.charts > 0 ? t.steadySum / t.charts : 0;
    ok &= targetRow("steadiness, average of the charts", ">= 0.60", cell("%.2f", steadyAverage),
                    steadyAverage >= kMinSteadinessAverage);
    const double agreeAverage = t.agreeCount > 0 ? t.agreeSum / t.agreeCount : 0;
    ok &= targetRow("agreement with the person's notes, average", ">= 80%",
                    percent(agreeAverage) + " of " + std::to_string(t.agreeCount) + " charts",
                    agreeAverage >= kMinAgreementAverage);
    return ok;
}

int usage()
{
    std::fprintf(stderr, "usage: real-bench --songs DIR [--audio DIR] [--charts DIR] [--levels L,L]\n");
    return 2;
}

bool parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i], value = argv[i + 1];
        if (arg == "--songs")
            o.songs = value;
        else if (arg == "--charts")
            o.charts = value;
        else if (arg == "--audio")
            o.audio = value;
        else if (arg == "--levels")
            o.levels = split(value, ',');
        else
            return false;
    }
    return argc % 2 == 1 && !o.songs.empty() && !o.levels.empty();
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o))
        return usage();
    try {
        std::vector<fs::path> folders;
        for (const auto& entry : fs::directory_iterator(o.songs))
            if (fs::exists(entry.path() / "notes.mid"))
                folders.push_back(entry.path());
        std::sort(folders.begin(), folders.end());
        if (folders.empty()) {
            std::fprintf(stderr, "real-bench: no song folders with a notes.mid in %s\n", o.songs.c_str());
            return 2;
        }
        std::vector<Song> songs;
        for (const auto& folder : folders)
            songs.push_back(loadSong(o, folder));
        for (const auto& song : songs)
            personRows(song);
        if (o.charts.empty())
            return 0;
        Tally tally;
        for (const auto& song : songs)
            for (const auto& level : o.levels)
                chartRow(o, song, level, tally);
        return targetRows(tally) ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "real-bench: %s\n", e.what());
        return 2;
    }
}
