// The game window under load, measured from inside the process: the real
// TForm1 with the real SDL player plays a bundled song while this harness
// watches. Prints one FIGURE line per figure on stdout (see report()), the
// details on stderr.
//
//   form_bench --songs DIR [--song Dodoroza|Virizivez] [--chart dense|song] [--seconds N] [--breakdown]
//
// --chart dense (the default) plays the song's MP3 under a chart of our own
// that keeps every slot in flight, so most ticks move sixteen arrows; keys are
// held so that all four judgement pictures stay up. --chart song plays the
// bundled chart from start to end, the keys pressed and released by an
// auto-player as the arrows reach their targets. --breakdown also times each
// widget's paint event (which adds a little to every tick) and shows where a
// loaded tick's time goes.
//
// Timing, all on the steady clock:
// - tick: from the moment Timer1's timer event is dispatched to the moment
//   the paint it caused has been drawn and flushed to the window. The paint is
//   the UpdateRequest the moved widgets posted; it is delivered right after
//   the handler instead of at the next turn of the event loop, which changes
//   when it runs, not what it draws.
// - interval: between consecutive dispatches of that timer event.
// - key: a key event handed to Qt the way the platform plugin hands it over
//   (QWindowSystemInterface, synchronous), until Qt returns from delivering it:
//   the event filter has judged the press and the widgets have asked for their
//   repaint. The following paint is timed too, for information.
// - position: every position() the form reads is compared with the frames the
//   player counts as consumed at that instant, interpolated between the real
//   times of the device callbacks around it.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/Form.h"
#include "app/PictureBox.h"
#include "app/Shell.h"
#include "audio/SdlMediaPlayer.h"
#include "bench/DenseChart.h"
#include "judge/Judge.h"
#include "state/Field.h"
#include "play/Play.h"

namespace {

using zorv::Picture;

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double ms(std::int64_t ns) { return static_cast<double>(ns) / 1e6; }

// Nearest-rank percentile; `values` is sorted in place.
double percentile(std::vector<double>& values, double p)
{
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

struct Summary {
    double median, p99, max;
    std::size_t n;
};

Summary summarize(std::vector<double> values)
{
    Summary s{percentile(values, 50), percentile(values, 99), values.empty() ? std::nan("") : values.back(),
              values.size()};
    return s;
}

// One line a figure, tab-separated, for scripts/bench.sh to tabulate:
// FIGURE <name> <result> <target> <ok|MISS>
void report(const char* name, const std::string& result, const char* target, bool ok)
{
    std::printf("FIGURE\t%s\t%s\t%s\t%s\n", name, result.c_str(), target, ok ? "ok" : "MISS");
    std::fflush(stdout);
}

std::string fmt(const char* pattern, double a, double b = 0, double c = 0)
{
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

class BenchShell final : public zorv::Shell {
public:
    void showMessage(QWidget*, const QString& text) override
    {
        std::fprintf(stderr, "form_bench: the game said: %s\n", qPrintable(text));
        failed = true;
    }
    void exitProcess(int status) override { std::exit(status == 0 ? 3 : status); }
    bool failed = false;
};

// The real player, with the instant of every position() the form reads.
class TimedPlayer final : public zorv::MediaPlayer {
public:
    struct Read {
        std::int64_t atNs;
        std::int32_t positionMs;
        std::int64_t framesBefore, framesAfter;  // framesConsumed() around the read
        std::int64_t tookNs;                     // position() itself: it takes the mixer's lock
    };

    explicit TimedPlayer(zorv::SdlMediaPlayer& real) : real_(real) { reads.reserve(1 << 16); }
    void setFileName(const std::string& name) override { real_.setFileName(name); }
    void open() override { real_.open(); }
    void play() override { real_.play(); }
    void stop() override { real_.stop(); }
    std::int32_t length() const override { return real_.length(); }
    std::int32_t position() override
    {
        const std::int64_t before = real_.framesConsumed();
        const std::int64_t at = nowNs();
        const std::int32_t position = real_.position();
        const std::int64_t took = nowNs() - at;
        const std::int64_t after = real_.framesConsumed();
        if (reads.size() < reads.capacity())
            reads.push_back({at, position, before, after, took});
        return position;
    }

    std::vector<Read> reads;

private:
    zorv::SdlMediaPlayer& real_;
};

// Times of the device callbacks, from an effect on the mixer's output that
// runs in every callback just before the player counts its frames.
struct CallbackLog {
    struct Entry {
        std::int64_t atNs;
        std::int64_t frames;  // mixed since this log was registered, this callback included
    };
    static constexpr std::size_t kCapacity = 1 << 17;  // 25 min at 44.1 kHz, 512 frames
    std::unique_ptr<Entry[]> entries{new Entry[kCapacity]};
    std::atomic<std::size_t> count{0};
    std::int64_t frames = 0;
    int frameBytes = 4;

    static void effect(int, void*, int bytes, void* self)
    {
        auto* log = static_cast<CallbackLog*>(self);
        const std::size_t n = log->count.load(std::memory_order_relaxed);
        if (n == kCapacity)
            return;
        log->frames += bytes / log->frameBytes;
        log->entries[n] = {nowNs(), log->frames};
        log->count.store(n + 1, std::memory_order_release);
    }
};

// What a paint event is spent on, for --breakdown.
enum class Paint : std::uint8_t { background, arrows, targets, judgements, positionBar, editBoxes, frames, other };
constexpr int kKinds = static_cast<int>(Paint::other) + 1;
constexpr const char* kKindNames[kKinds] = {"background",   "arrows",     "targets",        "judgements",
                                            "position bar", "edit boxes", "form and panel", "other"};

struct Tick {
    std::int64_t startNs, handledNs, firstPaintNs, paintedNs;
    int paints;
    int arrows;  // slots shown after the tick
    int judgements;
    std::array<std::int64_t, kKinds> paintNs;  // with --breakdown
};

struct Key {
    std::int64_t handledNs, paintedNs;  // from delivery
    int paints;
    bool press;
};

int visibleCount(const zorv::Field& field, int first, int count)
{
    int n = 0;
    for (int i = first; i < first + count; ++i)
        n += field[static_cast<Picture>(i)].visible ? 1 : 0;
    return n;
}

constexpr int kJudgementFirst = static_cast<int>(Picture::greati);

class Harness : public QObject {
public:
    Harness(TForm1& form, bool dense) : form_(form), dense_(dense)
    {
        ticks.reserve(1 << 15);
        keys.reserve(1 << 14);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer && watched == form_.Timer1) {
            tickStartNs_ = nowNs();
        } else if (event->type() == QEvent::Paint) {
            ++paints_;
            const std::int64_t now = nowNs();
            if (firstPaintNs_ == 0)
                firstPaintNs_ = now;
            if (breakdown && inTick_ && watched->isWidgetType()) {
                // Delivered from here so that its end can be timed too.
                watched->event(event);
                paintNs_[static_cast<int>(kindOf(watched))] += nowNs() - now;
                return true;
            }
        }
        return false;
    }

    // Runs right after the form's own handler, connected to the same timeout.
    void afterTick()
    {
        const std::int64_t handled = nowNs();
        const int paintsBefore = paints_;
        firstPaintNs_ = 0;
        paintNs_ = {};
        inTick_ = true;
        QCoreApplication::sendPostedEvents(&form_, QEvent::UpdateRequest);
        inTick_ = false;
        const std::int64_t painted = nowNs();
        const zorv::Field& field = form_.game().field;
        ticks.push_back({tickStartNs_, handled, firstPaintNs_ ? firstPaintNs_ : painted, painted,
                         paints_ - paintsBefore, visibleCount(field, zorv::kFirstSlot, zorv::kSlotCount),
                         visibleCount(field, kJudgementFirst, 4), paintNs_});
        if (measuring)
            playAlong(field);
    }

    std::vector<Tick> ticks;
    std::vector<Key> keys;
    bool measuring = true;
    bool breakdown = false;

private:
    Paint kindOf(QObject* widget) const
    {
        if (widget == form_.bgd)
            return Paint::background;
        for (QObject* target : {form_.bleft, form_.bup, form_.bdown, form_.bright})
            if (widget == target)
                return Paint::targets;
        for (QObject* judgement : {form_.greati, form_.goodi, form_.badi, form_.missi})
            if (widget == judgement)
                return Paint::judgements;
        if (dynamic_cast<zorv::PictureBox*>(widget))
            return Paint::arrows;
        if (widget == form_.TrackBar1)
            return Paint::positionBar;
        if (qobject_cast<QLineEdit*>(widget))
            return Paint::editBoxes;
        if (widget == &form_ || widget == form_.Panel1)
            return Paint::frames;
        return Paint::other;
    }

    // Presses a lane's key when one of its arrows is in a band worth judging,
    // a little after the tick, as a hand would.
    void playAlong(const zorv::Field& field)
    {
        const std::int64_t now = nowNs();
        for (int lane = 0; lane < zorv::kLaneCount; ++lane) {
            if (now - lastPressNs_[lane] < 150'000'000)
                continue;
            const int firstSlot = lane * zorv::kSlotsPerLane;
            for (int slot = firstSlot; slot < firstSlot + zorv::kSlotsPerLane; ++slot) {
                const auto& arrow = field[zorv::slotPicture(slot)];
                if (!arrow.visible || !wanted(field, arrow.top))
                    continue;
                lastPressNs_[lane] = now;
                const Qt::Key key = qtKeyOf(zorv::laneOfSlot(slot));
                QTimer::singleShot(std::uniform_int_distribution<int>(2, 40)(random_), Qt::PreciseTimer, this,
                                   [this, key] {
                                       sendKey(QEvent::KeyPress, key);
                                       // Dense play holds every key so the judgements stay up.
                                       if (!dense_)
                                           QTimer::singleShot(70, Qt::PreciseTimer, this,
                                                              [this, key] { sendKey(QEvent::KeyRelease, key); });
                                   });
                break;
            }
        }
    }

    bool wanted(const zorv::Field& field, int top) const
    {
        const zorv::JudgementWindow* window = zorv::windowAt(top);
        if (window == nullptr)
            return false;
        // Dense play first fills in the judgements not yet shown.
        return window->judgement == zorv::Judgement::great || (dense_ && !field[window->picture].visible);
    }

    void sendKey(QEvent::Type type, Qt::Key key)
    {
        const std::int64_t start = nowNs();
        qt_handleKeyEvent(form_.windowHandle(), type, key, Qt::NoModifier);
        const std::int64_t handled = nowNs();
        const int paintsBefore = paints_;
        QCoreApplication::sendPostedEvents(&form_, QEvent::UpdateRequest);
        const std::int64_t painted = nowNs();
        keys.push_back({handled - start, painted - start, paints_ - paintsBefore, type == QEvent::KeyPress});
    }

    TForm1& form_;
    bool dense_;
    std::int64_t tickStartNs_ = 0;
    std::int64_t firstPaintNs_ = 0;
    bool inTick_ = false;
    std::array<std::int64_t, kKinds> paintNs_{};
    int paints_ = 0;
    std::int64_t lastPressNs_[4] = {};
    std::mt19937 random_{20240607};
};

struct PositionError {
    Summary absError;            // |position - consumed|, ms
    double meanFirst, meanLast;  // signed mean error over the first and last 10 s of reads
    double slopeMsPerMin;
    Summary step;  // position - framesConsumed() at the read: the interpolation position adds
    std::size_t used, reads;
    std::size_t backwards;  // reads lower than the one before
};

// The log counts from its registration, the player from play() less one
// buffer: the two differ by a constant, the one most reads agree on.
std::int64_t logOffset(const std::vector<TimedPlayer::Read>& reads, const CallbackLog& log)
{
    const std::size_t n = log.count.load(std::memory_order_acquire);
    const CallbackLog::Entry* e = log.entries.get();
    std::map<std::int64_t, int> votes;
    auto lastCallbackBefore = [&](std::int64_t t) -> std::ptrdiff_t {
        const auto it =
            std::upper_bound(e, e + n, t, [](std::int64_t v, const CallbackLog::Entry& x) { return v < x.atNs; });
        return (it - e) - 1;
    };
    for (const auto& r : reads)
        if (r.framesBefore == r.framesAfter && r.framesBefore > 0) {
            const std::ptrdiff_t k = lastCallbackBefore(r.atNs);
            if (k >= 0)
                ++votes[e[k].frames - r.framesBefore];
        }
    std::int64_t offset = 0;
    int best = 0;
    for (const auto& [d, count] : votes)
        if (count > best)
            best = count, offset = d;
    return offset;
}

// Each read compared with the frames consumed at its instant, in ms.
struct ErrorSeries {
    std::vector<double> errors, steps, times, signedErrors;
};

ErrorSeries errorSeries(const std::vector<TimedPlayer::Read>& reads, const CallbackLog& log, int rate,
                        std::int32_t lengthMs)
{
    const std::size_t n = log.count.load(std::memory_order_acquire);
    const CallbackLog::Entry* e = log.entries.get();
    const std::int64_t offset = logOffset(reads, log);
    ErrorSeries series;
    for (const auto& r : reads) {
        // Only while the music runs: not before its first buffer is heard,
        // not once the player has called it finished.
        if (r.framesBefore != r.framesAfter || r.framesBefore <= 0 || r.positionMs >= lengthMs)
            continue;
        const std::int64_t mixed = r.framesBefore + offset;
        const auto it =
            std::lower_bound(e, e + n, mixed, [](const CallbackLog::Entry& x, std::int64_t v) { return x.frames < v; });
        const std::ptrdiff_t k = it - e;
        if (k >= static_cast<std::ptrdiff_t>(n) - 1 || e[k].frames != mixed)
            continue;
        const double span = static_cast<double>(e[k + 1].atNs - e[k].atNs);
        const double fraction = std::clamp(static_cast<double>(r.atNs - e[k].atNs) / span, 0.0, 1.0);
        const double consumed =
            static_cast<double>(r.framesBefore) + fraction * static_cast<double>(e[k + 1].frames - e[k].frames);
        const double error = r.positionMs - consumed * 1000.0 / rate;
        series.signedErrors.push_back(error);
        series.errors.push_back(std::abs(error));
        series.times.push_back(ms(r.atNs - reads.front().atNs) / 1000.0);
        series.steps.push_back(r.positionMs - static_cast<double>(r.framesBefore) * 1000.0 / rate);
    }
    return series;
}

// The drift: the slope of a least-squares line through the signed errors,
// and their means over the first and the last 10 s.
void fitDrift(const ErrorSeries& series, PositionError& result)
{
    const std::vector<double>& times = series.times;
    const std::vector<double>& signedErrors = series.signedErrors;
    if (times.size() <= 2)
        return;
    double st = 0, se = 0, stt = 0, ste = 0;
    const double count = static_cast<double>(times.size());
    for (std::size_t i = 0; i < times.size(); ++i) {
        st += times[i];
        se += signedErrors[i];
        stt += times[i] * times[i];
        ste += times[i] * signedErrors[i];
    }
    result.slopeMsPerMin = (count * ste - st * se) / (count * stt - st * st) * 60.0;
    double first = 0, last = 0;
    int nf = 0, nl = 0;
    for (std::size_t i = 0; i < times.size(); ++i) {
        if (times[i] < times.front() + 10)
            first += signedErrors[i], ++nf;
        if (times[i] > times.back() - 10)
            last += signedErrors[i], ++nl;
    }
    result.meanFirst = first / std::max(nf, 1);
    result.meanLast = last / std::max(nl, 1);
}

PositionError positionError(const std::vector<TimedPlayer::Read>& reads, const CallbackLog& log, int rate,
                            std::int32_t lengthMs)
{
    const ErrorSeries series = errorSeries(reads, log, rate, lengthMs);
    std::size_t backwards = 0;
    for (std::size_t i = 1; i < reads.size(); ++i)
        backwards += reads[i].positionMs < reads[i - 1].positionMs ? 1 : 0;
    PositionError result{
        summarize(series.errors), 0, 0, 0, summarize(series.steps), series.errors.size(), reads.size(), backwards};
    fitDrift(series, result);
    return result;
}

struct Options {
    QString songs;
    QString song = QStringLiteral("Dodoroza");
    bool dense = true;
    int seconds = 60;
    bool breakdown = false;
};

bool parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--songs" && hasValue)
            options.songs = QString::fromLocal8Bit(argv[++i]);
        else if (arg == "--song" && hasValue)
            options.song = QString::fromLocal8Bit(argv[++i]);
        else if (arg == "--chart" && hasValue)
            options.dense = std::strcmp(argv[++i], "song") != 0;
        else if (arg == "--seconds" && hasValue)
            options.seconds = std::atoi(argv[++i]);
        else if (arg == "--breakdown")
            options.breakdown = true;
        else
            return false;
    }
    return !options.songs.isEmpty() && (options.song == "Dodoroza" || options.song == "Virizivez") &&
           options.seconds > 0;
}

// The form loads its charts from the working directory: the songs folder,
// or for the dense chart a scratch folder holding it beside a link to the MP3.
bool enterSongFolder(const Options& options, const QString& mp3, QTemporaryDir& scratch)
{
    if (!options.dense) {
        QDir::setCurrent(options.songs);
        return true;
    }
    QFile::link(mp3, scratch.filePath(options.song + ".mp3"));
    QFile chart(scratch.filePath(options.song + ".txt"));
    if (!chart.open(QIODevice::WriteOnly) || chart.write(denseChart(options.song + ".mp3")) < 0)
        return false;
    chart.close();
    QDir::setCurrent(scratch.path());
    return true;
}

// Chooses the song and starts it as the player would; false if the game refused.
bool startSong(TForm1& form, const Options& options, const BenchShell& shell)
{
    form.Button1Click();
    (options.song == "Dodoroza" ? form.RadioButton1 : form.RadioButton2)->setChecked(true);
    form.Button3Click();
    return !shell.failed && form.Timer1->isActive();
}

// Registers `log` on the mixer's output; returns the output's sample rate.
int watchCallbacks(CallbackLog& log)
{
    int rate = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    log.frameBytes = SDL_AUDIO_BITSIZE(format) / 8 * channels;
    Mix_RegisterEffect(MIX_CHANNEL_POST, &CallbackLog::effect, nullptr, &log);
    return rate;
}

// Runs the event loop until the dense chart has played for the seconds
// asked, or the song has reached its end (or gone 20 s past it); returns
// the ns it ran.
std::int64_t playToTheEnd(QApplication& app, const TForm1& form, const Options& options, std::int32_t lengthMs)
{
    const std::int64_t startNs = nowNs();
    QTimer watch;
    watch.setInterval(100);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const bool done = options.dense ? nowNs() - startNs >= std::int64_t{options.seconds} * 1'000'000'000
                                        : form.TrackBar1->value() >= lengthMs;
        if (done || nowNs() - startNs > (std::int64_t{lengthMs} + 20'000) * 1'000'000)
            app.quit();
    });
    watch.start();
    app.exec();
    return nowNs() - startNs;
}

bool isLoaded(const Tick& t) { return t.arrows == zorv::kSlotCount && t.judgements == 4; }

void reportEveryTick(const Harness& harness)
{
    std::vector<double> all;
    int paintless = 0;
    for (const Tick& t : harness.ticks) {
        all.push_back(ms(t.paintedNs - t.startNs));
        paintless += t.paints == 0 ? 1 : 0;
    }
    const Summary allTicks = summarize(all);
    std::fprintf(
        stderr,
        "  ticks: %zu (%d without a paint); every tick incl. repaint: median %.3f ms, p99 %.3f ms, max %.3f ms\n",
        all.size(), paintless, allTicks.median, allTicks.p99, allTicks.max);
}

// The ticks that moved sixteen arrows with four judgements up.
void reportLoadedTicks(const Harness& harness, bool breakdown)
{
    std::vector<double> loaded, loadedHandler, before, painting;
    for (const Tick& t : harness.ticks)
        if (isLoaded(t)) {
            loaded.push_back(ms(t.paintedNs - t.startNs));
            loadedHandler.push_back(ms(t.handledNs - t.startNs));
            before.push_back(ms(t.firstPaintNs - t.handledNs));
            painting.push_back(ms(t.paintedNs - t.firstPaintNs));
        }
    std::array<double, kKinds> kindMs{};
    for (const Tick& t : harness.ticks)
        if (isLoaded(t))
            for (int k = 0; k < kKinds; ++k)
                kindMs[k] += ms(t.paintNs[k]) / static_cast<double>(loaded.size());
    const Summary tick = summarize(loaded), handler = summarize(loadedHandler);
    const Summary beforeS = summarize(before), paintingS = summarize(painting);
    std::fprintf(stderr,
                 "  16 arrows + 4 judgements: %zu ticks; medians (p99): handler %.3f (%.3f) ms, "
                 "until the first paint event %.3f (%.3f) ms, paint events and flush %.3f (%.3f) ms\n",
                 tick.n, handler.median, handler.p99, beforeS.median, beforeS.p99, paintingS.median, paintingS.p99);
    if (breakdown) {
        std::fprintf(stderr, "  paint events, mean per loaded tick:");
        for (int k = 0; k < kKinds; ++k)
            std::fprintf(stderr, "%s %s %.3f ms", k ? "," : "", kKindNames[k], kindMs[k]);
        std::fprintf(stderr, "\n");
    }
    report("tick handler + repaint, 16 arrows, 4 judgements",
           fmt("median %.3f ms, p99 %.3f ms", tick.median, tick.p99) + " (n=" + std::to_string(tick.n) + ")",
           "p99 < 0.5 ms", tick.n > 0 && tick.p99 < 0.5);
}

void reportPositionCalls(const TimedPlayer& player)
{
    std::vector<double> positionCalls;
    for (const auto& r : player.reads)
        positionCalls.push_back(ms(r.tookNs));
    const Summary positionCall = summarize(positionCalls);
    std::fprintf(stderr, "  position() calls: median %.3f ms, p99 %.3f ms, max %.3f ms\n", positionCall.median,
                 positionCall.p99, positionCall.max);
}

void reportTickIntervals(const Harness& harness, bool dense, std::int64_t wallNs)
{
    std::vector<double> intervals;
    for (std::size_t i = 1; i < harness.ticks.size(); ++i)
        intervals.push_back(std::abs(ms(harness.ticks[i].startNs - harness.ticks[i - 1].startNs) - 50.0));
    const Summary interval = summarize(intervals);
    std::fprintf(stderr, "  tick interval deviation: max %.3f ms over %zu intervals\n", interval.max, interval.n);
    report(dense ? "tick interval |dev. from 50 ms| (dense chart)" : "tick interval |dev. from 50 ms| (song)",
           fmt("median %.3f ms, p99 %.3f ms", interval.median, interval.p99) + fmt(" over %.0f s", ms(wallNs) / 1000),
           "p99 <= 2 ms", interval.p99 <= 2.0 && wallNs >= 60'000'000'000);
}

void reportKeys(const Harness& harness, bool dense)
{
    std::vector<double> pressHandled, pressPainted, releaseHandled;
    int pressesPainted = 0, presses = 0;
    for (const Key& k : harness.keys) {
        if (k.press) {
            ++presses;
            pressHandled.push_back(ms(k.handledNs));
            pressPainted.push_back(ms(k.paintedNs));
            pressesPainted += k.paints > 0 ? 1 : 0;
        } else {
            releaseHandled.push_back(ms(k.handledNs));
        }
    }
    const Summary press = summarize(pressHandled), pressPaint = summarize(pressPainted),
                  release = summarize(releaseHandled);
    std::fprintf(stderr, "  key presses: %d, %d followed by a paint; to repaint done: median %.3f ms, p99 %.3f ms\n",
                 presses, pressesPainted, pressPaint.median, pressPaint.p99);
    if (!releaseHandled.empty())
        std::fprintf(stderr, "  key releases: %zu; delivered to handled: median %.3f ms, p99 %.3f ms\n", release.n,
                     release.median, release.p99);
    report(dense ? "key delivered -> judged, repaint requested (dense chart)"
                 : "key delivered -> judged, repaint requested (song)",
           fmt("median %.3f ms, p99 %.3f ms, max %.3f ms", press.median, press.p99, press.max) +
               " (n=" + std::to_string(press.n) + ")",
           "< 1 ms", press.n > 0 && press.p99 < 1.0);
}

void reportPosition(const TimedPlayer& player, const CallbackLog& log, int rate, std::int32_t lengthMs)
{
    const PositionError pe = positionError(player.reads, log, rate, lengthMs);
    std::fprintf(stderr,
                 "  position: %zu of %zu reads compared, %zu ran backwards; signed mean error first 10 s %.3f ms, "
                 "last 10 s %.3f ms; position - framesConsumed() at the read: median %.3f ms, max %.3f ms\n",
                 pe.used, pe.reads, pe.backwards, pe.meanFirst, pe.meanLast, pe.step.median, pe.step.max);
    report(
        "play position vs frames consumed, whole song",
        fmt("|error| median %.3f ms, p99 %.3f ms, max %.3f ms", pe.absError.median, pe.absError.p99, pe.absError.max) +
            fmt("; drift %.3f ms/min", pe.slopeMsPerMin),
        "< 5 ms, no drift", pe.used > 100 && pe.absError.max < 5.0 && std::abs(pe.meanLast - pe.meanFirst) < 1.0);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: form_bench --songs DIR [--song Dodoroza|Virizivez] [--chart dense|song] [--seconds N] "
                     "[--breakdown]\n");
        return 2;
    }
    const QString mp3 = QDir(options.songs).absoluteFilePath(options.song + ".mp3");
    if (!QFile::exists(mp3)) {
        std::fprintf(stderr, "form_bench: no %s\n", qPrintable(mp3));
        return 2;
    }
    QTemporaryDir scratch;
    if (!enterSongFolder(options, mp3, scratch))
        return 2;

    zorv::SdlMediaPlayer sdl;
    TimedPlayer player(sdl);
    BenchShell shell;
    TForm1 form(player, shell);
    Form1 = &form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form, 5000)) {
        std::fprintf(stderr, "form_bench: the window was never shown\n");
        return 1;
    }
    QTest::qWait(200);

    Harness harness(form, options.dense);
    harness.breakdown = options.breakdown;
    qApp->installEventFilter(&harness);  // after the form's: sees each event first
    QObject::connect(form.Timer1, &QTimer::timeout, &harness, [&] { harness.afterTick(); });
    if (!startSong(form, options, shell))
        return 1;
    CallbackLog log;
    const int rate = watchCallbacks(log);
    const std::int32_t lengthMs = player.length();
    const std::int64_t wallNs = playToTheEnd(app, form, options, lengthMs);
    harness.measuring = false;
    Mix_UnregisterEffect(MIX_CHANNEL_POST, &CallbackLog::effect);
    form.Button4Click();

    std::fprintf(stderr, "form_bench: %s, chart %s, %.1f s of play, platform %s, %d Hz, song %.1f s\n",
                 qPrintable(options.song), options.dense ? "dense" : "bundled", ms(wallNs) / 1000,
                 qPrintable(QGuiApplication::platformName()), rate, lengthMs / 1000.0);
    reportEveryTick(harness);
    if (options.dense)
        reportLoadedTicks(harness, options.breakdown);
    reportPositionCalls(player);
    reportTickIntervals(harness, options.dense, wallNs);
    reportKeys(harness, options.dense);
    if (!options.dense)
        reportPosition(player, log, rate, lengthMs);
    return shell.failed ? 1 : 0;
}
