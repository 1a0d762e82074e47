// The window's share of a tick and of a key press, repaint included, with a
// scripted player so that every run sees the same arrows: a quick, repeatable
// check while working on the paint path. The figures that count come from
// form_bench, which plays real audio.
//
// Run under the platform to measure: QT_QPA_PLATFORM=offscreen, or xcb with
// DISPLAY set.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "app/Form.h"
#include "app/Shell.h"
#include "support/FakeMediaPlayer.h"
#include "bench/DenseChart.h"
#include "judge/Judge.h"
#include "state/Field.h"

namespace {

using zorv::Picture;

class QuietShell final : public zorv::Shell {
public:
    void showMessage(QWidget*, const QString& text) override { qFatal("the game said: %s", qPrintable(text)); }
    void exitProcess(int) override { qFatal("the game tried to end the process"); }
};

// The dense chart playing, with all four judgement pictures up.
class Busy {
public:
    Busy()
    {
        QFile chart(dir_.filePath("Dodoroza.txt"));
        chart.open(QIODevice::WriteOnly);
        chart.write(denseChart("none.mp3"));
        chart.close();
        QDir::setCurrent(dir_.path());
        player_.lengthMs = 107'000;
        form_ = std::make_unique<TForm1>(player_, shell_);
        form_->show();
        if (!QTest::qWaitForWindowExposed(form_.get()))
            qFatal("the window was never shown");
        form_->Button1Click();
        form_->RadioButton1->setChecked(true);
        form_->Button3Click();
        form_->Timer1->stop();  // ticks come from the benchmark
        // Press a lane's key whenever one of its arrows sits in the band of a
        // judgement not shown yet; never release, so they stay up.
        while (judgementsShown() < 4 && player_.positionMs < 30'000) {
            tick();
            for (const zorv::JudgementWindow& window : zorv::kWindows) {
                if (field()[window.picture].visible)
                    continue;
                for (int slot = 0; slot < zorv::kSlotCount; ++slot) {
                    const auto& arrow = field()[zorv::slotPicture(slot)];
                    if (arrow.visible && arrow.top >= window.topFrom && arrow.top <= window.topTo) {
                        key(QEvent::KeyPress, qtKeyOf(zorv::laneOfSlot(slot)));
                        break;
                    }
                }
            }
        }
    }

    // One tick 50 ms on, then the paint it asked for; the chart starts over
    // before it runs out.
    void tick()
    {
        player_.positionMs += 50;
        if (player_.positionMs > 70'000) {
            player_.positionMs = 0;
            form_->Button3Click();
            form_->Timer1->stop();
        }
        const auto t0 = std::chrono::steady_clock::now();
        form_->Timer1Timer();
        handlerUs = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
        QCoreApplication::sendPostedEvents(form_.get(), QEvent::UpdateRequest);
    }
    double handlerUs = 0;

    void key(QEvent::Type type, Qt::Key key)
    {
        qt_handleKeyEvent(form_->windowHandle(), type, key, Qt::NoModifier);
        QCoreApplication::sendPostedEvents(form_.get(), QEvent::UpdateRequest);
    }

    const zorv::Field& field() const { return form_->game().field; }
    int arrowsShown() const
    {
        int n = 0;
        for (int slot = 0; slot < zorv::kSlotCount; ++slot)
            n += field()[zorv::slotPicture(slot)].visible ? 1 : 0;
        return n;
    }
    int judgementsShown() const
    {
        int n = 0;
        for (Picture p : {Picture::greati, Picture::goodi, Picture::badi, Picture::missi})
            n += field()[p].visible ? 1 : 0;
        return n;
    }

private:
    QTemporaryDir dir_;
    zorv::test::FakeMediaPlayer player_;
    QuietShell shell_;
    std::unique_ptr<TForm1> form_;
};

// Kept to the end of the process: the window must not outlive the application
// object, which is destroyed first.
Busy& busy()
{
    static Busy* instance = new Busy;
    return *instance;
}

// Only ticks that leave sixteen arrows in flight are timed. The argument is
// the pause before each timed tick in ms: back to back, the caches hold all
// the tick needs; 50 ms apart, as in play, much of it has to be fetched again.
// A stray slow tick would swamp a mean, so median and p90 are given too.
void BM_TickSixteenArrowsWithRepaint(benchmark::State& state)
{
    Busy& b = busy();
    const auto pause = std::chrono::milliseconds(state.range(0));
    std::vector<double> us, handler;
    for (auto _ : state) {
        while (b.arrowsShown() < zorv::kSlotCount)
            b.tick();
        if (pause.count() > 0)
            std::this_thread::sleep_for(pause);
        const auto start = std::chrono::steady_clock::now();
        b.tick();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        us.push_back(took.count() * 1e6);
        handler.push_back(b.handlerUs);
    }
    std::sort(handler.begin(), handler.end());
    state.counters["handler_median_us"] = handler[handler.size() / 2];
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p90_us"] = us[us.size() * 9 / 10];
    state.counters["judgements"] = b.judgementsShown();
}
BENCHMARK(BM_TickSixteenArrowsWithRepaint)->Arg(0)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickSixteenArrowsWithRepaint)->Arg(50)->Iterations(300)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A press and a release of the left key, each with its repaint.
void BM_KeyPressAndReleaseWithRepaint(benchmark::State& state)
{
    Busy& b = busy();
    for (auto _ : state) {
        b.key(QEvent::KeyPress, Qt::Key_Left);
        b.key(QEvent::KeyRelease, Qt::Key_Left);
    }
}
BENCHMARK(BM_KeyPressAndReleaseWithRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
