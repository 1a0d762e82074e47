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
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/Form.h"
#include "app/Shell.h"
#include "audio/SdlMediaPlayer.h"
#include "bench/DenseChart.h"
#include "bench/form/Figures.h"
#include "bench/form/Harness.h"
#include "bench/form/Position.h"
#include "bench/form/Stats.h"

namespace {

using namespace zorv::formbench;

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
