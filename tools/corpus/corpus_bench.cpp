// corpus-bench: charts every corpus song at every level with a chart maker,
// then measures the charts against the songs' ground truth and the maker's
// speed and memory, and prints each figure beside its target. Not a test:
// speed depends on the machine. Exits 1 when a target is missed, so it can
// gate a change; 2 on bad usage or an unreadable corpus.
//
//   corpus-bench --corpus DIR --work DIR [--runs N] [--cpu N] [--levels L,L]
//                [--only NAME] [--check ZORV_CHART] -- MAKER [ARGS...]
//
// The maker is run as MAKER ARGS... AUDIO --level LEVEL -o CHART.

#include "tools/corpus/BenchIo.h"
#include "tools/corpus/Evaluate.h"
#include "tools/corpus/Run.h"
#include "tools/corpus/Truth.h"
#include "chart/Chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sys/resource.h>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace zorv;
using corpus::readFile;
using corpus::RunResult;
using corpus::split;

// The targets the maker is held to.
constexpr double kMinOnOnsets = 0.97;
constexpr double kMaxMedianMs = 5.0;
constexpr double kMinEasyOnBeats = 0.85;
constexpr double kMinSpeed = 300.0;        // times real time, one core
constexpr double kMaxRssMB = 200.0;        // for a song of ten minutes or more
constexpr double kLongSongMs = 600'000.0;  // where the memory target applies

struct Options {
    fs::path corpus, work;
    int runs = 3;
    int cpu = 0;
    std::vector<std::string> levels = {"easy", "medium", "hard"};
    std::string only, checker;
    std::vector<std::string> maker;
};

struct Made {
    std::string song, level;
    fs::path chart;
    RunResult fastest;  // of the runs, by wall time
    double leastCpuSeconds = 0;
    long peakRssKiB = 0;  // the most any run took
    bool ok = false;      // every run exited 0 and wrote a chart
    bool same = true;     // every run wrote the same bytes
    int check = -1;       // the checker's exit status; -1 when not run
};

int usage()
{
    std::fprintf(stderr,
                 "usage: corpus-bench --corpus DIR --work DIR [--runs N] [--cpu N] [--levels L,L]\n"
                 "                    [--only NAME] [--check ZORV_CHART] -- MAKER [ARGS...]\n");
    return 2;
}

bool parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg == "--") {
            o.maker.assign(argv + i + 1, argv + argc);
            break;
        }
        if (!more)
            return false;
        const std::string value = argv[++i];
        if (arg == "--corpus")
            o.corpus = value;
        else if (arg == "--work")
            o.work = value;
        else if (arg == "--runs")
            o.runs = std::max(1, std::stoi(value));
        else if (arg == "--cpu")
            o.cpu = std::stoi(value);
        else if (arg == "--levels")
            o.levels = split(value, ',');
        else if (arg == "--only")
            o.only = value;
        else if (arg == "--check")
            o.checker = value;
        else
            return false;
    }
    return !o.corpus.empty() && !o.work.empty() && !o.maker.empty() && !o.levels.empty();
}

std::vector<std::string> songNames(const Options& o)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(o.corpus)) {
        const auto& path = entry.path();
        if (path.extension() != ".truth" || !fs::exists(fs::path(path).replace_extension(".mp3")))
            continue;
        if (o.only.empty() || path.stem() == o.only)
            names.push_back(path.stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The checker finds the audio by the name in the chart's first pair, in the
// chart's folder: put a link to the song there under that name.
int check(const Options& o, const Made& made)
{
    const auto table = std::make_unique<ChartTable>();
    readChart(*table, readFile(made.chart));
    const std::string audio = (*table)[0].col2;
    const fs::path link = made.chart.parent_path() / audio;
    if (!audio.empty() && audio.find('/') == std::string::npos && !fs::exists(link)) {
        std::error_code ignored;
        fs::create_symlink(fs::absolute(o.corpus / (made.song + ".mp3")), link, ignored);
    }
    const fs::path log = fs::path(made.chart).replace_extension(".check");
    fs::remove(log);
    return corpus::runCommand({o.checker, made.chart.string()}, -1, log.string()).exitCode;
}

Made make(const Options& o, const std::string& song, const std::string& level)
{
    Made made;
    made.song = song;
    made.level = level;
    made.chart = o.work / level / (song + ".txt");
    const fs::path log = fs::path(made.chart).replace_extension(".log");
    fs::remove(log);
    std::string first;
    made.ok = true;
    for (int run = 0; run < o.runs; ++run) {
        fs::remove(made.chart);
        auto argv = o.maker;
        for (const auto& a : {(o.corpus / (song + ".mp3")).string(), std::string("--level"), level, std::string("-o"),
                              made.chart.string()})
            argv.push_back(a);
        const auto r = corpus::runCommand(argv, o.cpu, log.string());
        made.ok = made.ok && r.exitCode == 0 && fs::exists(made.chart);
        if (!made.ok)
            break;
        const std::string bytes = readFile(made.chart);
        if (run == 0)
            first = bytes;
        made.same = made.same && bytes == first;
        if (run == 0 || r.wallSeconds < made.fastest.wallSeconds)
            made.fastest = r;
        if (run == 0 || r.cpuSeconds < made.leastCpuSeconds)
            made.leastCpuSeconds = r.cpuSeconds;
        made.peakRssKiB = std::max(made.peakRssKiB, r.peakRssKiB);
    }
    if (made.ok && !o.checker.empty())
        made.check = check(o, made);
    std::fflush(stdout);
    std::fprintf(stderr, "  %-14s %-6s %s %.3f s\n", song.c_str(), level.c_str(), made.ok ? "made in" : "FAILED after",
                 made.fastest.wallSeconds);
    return made;
}

// One target over every row it applies to: met or not, and the worst
// figure, or for a yes-or-no target the first row that failed it.
class Target {
public:
    enum Kind { HigherIsBetter, LowerIsBetter, YesOrNo };
    Target(std::string what, std::string goal, Kind kind) : what_(std::move(what)), goal_(std::move(goal)), kind_(kind)
    {}
    void add(double value, const std::string& shown, const std::string& where, bool ok)
    {
        const bool worse = kind_ == HigherIsBetter ? value < worst_ : value > worst_;
        if (kind_ != YesOrNo && (count_ == 0 || worse)) {
            worst_ = value;
            shown_ = "worst " + shown + " (" + where + ")";
        }
        if (kind_ == YesOrNo && !ok && failed_ == 0)
            shown_ = shown + " first in " + where;
        ++count_;
        failed_ += ok ? 0 : 1;
    }
    void pass(const std::string& where) { add(0, "", where, true); }
    void fail(const std::string& shown, const std::string& where) { add(0, shown, where, false); }
    bool met() const { return failed_ == 0; }
    void print() const
    {
        std::string result = shown_;
        if (count_ == 0)
            result = "not measured";
        else if (kind_ == YesOrNo && failed_ == 0)
            result = "all " + std::to_string(count_);
        else if (kind_ == YesOrNo)
            result = std::to_string(failed_) + " of " + std::to_string(count_) + ", " + shown_;
        std::printf("%-38s %-20s %-48s %s\n", what_.c_str(), goal_.c_str(), result.c_str(),
                    count_ == 0 ? "-"
                    : met()     ? "ok"
                                : "MISS");
    }

private:
    std::string what_, goal_;
    Kind kind_;
    int count_ = 0, failed_ = 0;
    double worst_ = 0;
    std::string shown_;
};

std::string format(const char* pattern, double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, pattern, value);
    return buf;
}

std::string tempos(const corpus::Truth& truth)
{
    std::string out;
    for (const auto& [bar, bpm] : truth.tempos)
        out += (out.empty() ? "" : ">") + std::to_string(bpm);
    return out;
}

struct Targets {
    Target onOnsets{"notes within 20 ms of an onset", ">= 97% every chart", Target::HigherIsBetter};
    Target median{"|median offset to the onset|", "<= 5 ms", Target::LowerIsBetter};
    Target onBeats{"easy notes within 20 ms of a beat", ">= 85% every song", Target::HigherIsBetter};
    Target speed{"charting speed, one core (CPU time)", ">= 300x real time", Target::HigherIsBetter};
    Target memory{"peak memory, ten-minute song", "< 200 MB", Target::LowerIsBetter};
    Target made{"maker exits 0 and writes a chart", "every run", Target::YesOrNo};
    Target same{"same chart on every run", "byte for byte", Target::YesOrNo};
    Target checked{"charts pass zorv-chart", "exit 0", Target::YesOrNo};

    bool met() const
    {
        for (const auto* t : {&onOnsets, &median, &onBeats, &speed, &memory, &made, &same, &checked})
            if (!t->met())
                return false;
        return true;
    }
    void print() const
    {
        std::printf("\n%-38s %-20s %-48s %s\n", "target", "goal", "result", "");
        for (const auto* t : {&onOnsets, &median, &onBeats, &speed, &memory, &made, &same, &checked})
            t->print();
    }
};

std::string mark(bool ok) { return ok ? "  " : " !"; }

// One row of the table; adds its figures to the targets.
void row(const corpus::Truth& truth, const Made& m, Targets& targets)
{
    const std::string where = m.song + " " + m.level;
    if (!m.ok) {
        targets.made.fail("failed", where);
        std::printf("  %-7s FAILED: see %s\n", m.level.c_str(), fs::path(m.chart).replace_extension(".log").c_str());
        return;
    }
    targets.made.pass(where);
    const auto table = std::make_unique<ChartTable>();  // 60 KB: on the heap
    readChart(*table, readFile(m.chart));
    const auto p = corpus::evaluate(truth, chartNotes(*table));
    const double lengthS = truth.lengthMs / 1000.0;
    const double speed = lengthS / std::max(m.leastCpuSeconds, 1e-9);
    const double wallSpeed = lengthS / std::max(m.fastest.wallSeconds, 1e-9);
    const double rssMB = static_cast<double>(m.peakRssKiB) / 1024.0;
    const bool onOk = p.onOnsets >= kMinOnOnsets, medianOk = std::abs(p.medianOffsetMs) <= kMaxMedianMs;
    const bool easy = m.level == "easy", beatsOk = !easy || p.onBeats >= kMinEasyOnBeats;
    const bool isLong = truth.lengthMs >= kLongSongMs, rssOk = !isLong || rssMB < kMaxRssMB;
    const bool speedOk = speed >= kMinSpeed, checkOk = m.check <= 0;
    targets.onOnsets.add(p.onOnsets, format("%.1f%%", 100 * p.onOnsets), where, onOk);
    targets.median.add(std::abs(p.medianOffsetMs), format("%+.1f ms", p.medianOffsetMs), where, medianOk);
    if (easy)
        targets.onBeats.add(p.onBeats, format("%.1f%%", 100 * p.onBeats), where, beatsOk);
    targets.speed.add(speed, format("%.0fx", speed), where, speedOk);
    if (isLong)
        targets.memory.add(rssMB, format("%.1f MB", rssMB), where, rssOk);
    if (m.same)
        targets.same.pass(where);
    else
        targets.same.fail("differs", where);
    if (m.check == 0)
        targets.checked.pass(where);
    else if (m.check > 0)
        targets.checked.fail("exit " + std::to_string(m.check), where);
    char line[256];
    std::snprintf(line, sizeof line, "  %-7s %5zu %5.2f %7.1f%%%s %+7.1f%s %6.1f%%%s %7.0fx%s %7.0fx %7.1f%s %5s%s %s",
                  m.level.c_str(), p.notes, p.notesPerSecond, 100 * p.onOnsets, mark(onOk).c_str(), p.medianOffsetMs,
                  mark(medianOk).c_str(), 100 * p.onBeats, mark(beatsOk).c_str(), speed, mark(speedOk).c_str(),
                  wallSpeed, rssMB, mark(rssOk).c_str(), m.check < 0 ? "-" : std::to_string(m.check).c_str(),
                  mark(checkOk).c_str(), m.same ? "" : "differs between runs !");
    std::string text = line;
    text.erase(text.find_last_not_of(' ') + 1);
    std::printf("%s\n", text.c_str());
}

bool report(const Options& o, const std::vector<std::string>& songs, const std::vector<Made>& made, long ownKiB)
{
    std::printf("\nmaker: ");
    for (const auto& a : o.maker)
        std::printf("%s ", a.c_str());
    std::printf("\nruns per chart: %d, pinned to CPU %d; ! marks a missed target\n", o.runs, o.cpu);
    std::printf(
        "x cpu: song length / CPU time (user + system) of the leanest run; x wall: the same over the wall\n"
        "time of the fastest; the speed target is judged on CPU time, which the machine's load moves less\n");
    std::printf(
        "median: of the offsets from the nearest onset, ms, positive late; peak MB: the most resident\n"
        "memory a run took (this program held %.1f MB when it started them)\n\n",
        static_cast<double>(ownKiB) / 1024.0);
    std::printf("  %-7s %5s %5s %8s   %7s   %7s   %8s   %8s %7s   %5s\n", "level", "notes", "n/s", "on onset", "median",
                "on beat", "x cpu", "x wall", "peak MB", "check");
    Targets targets;
    for (const auto& song : songs) {
        const auto truth = corpus::parseTruth(readFile(o.corpus / (song + ".truth")));
        const auto seconds = static_cast<int>(truth.lengthMs / 1000.0);
        std::printf("%s: %d:%02d, %s, %s BPM, swing %d%%, %zu onsets; random notes would score %.0f%% on onsets\n",
                    song.c_str(), seconds / 60, seconds % 60, truth.meter.c_str(), tempos(truth).c_str(),
                    truth.swingPercent, truth.onsets.size(), 100 * corpus::chanceOnOnsets(truth));
        for (const auto& m : made)
            if (m.song == song)
                row(truth, m, targets);
    }
    targets.print();
    return targets.met();
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    try {
        if (!parse(argc, argv, o))
            return usage();
        const auto songs = songNames(o);
        if (songs.empty()) {
            std::fprintf(stderr, "corpus-bench: no songs (NAME.truth with NAME.mp3) in %s\n", o.corpus.c_str());
            return 2;
        }
        for (const auto& level : o.levels)
            fs::create_directories(o.work / level);
        // Every maker run comes before any truth is loaded: the runs' peak
        // memory then holds nothing of ours (see runCommand).
        rusage self{};
        getrusage(RUSAGE_SELF, &self);
        std::vector<Made> made;
        for (const auto& song : songs)
            for (const auto& level : o.levels)
                made.push_back(make(o, song, level));
        return report(o, songs, made, self.ru_maxrss) ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corpus-bench: %s\n", e.what());
        return 2;
    }
}
