// How soon a dance mat's press reaches the rules, and what reading devices
// costs, with a virtual mat (SDL's virtual joysticks) playing into the real
// window while the dense chart ticks and repaints.
//
// Measures, on the steady clock, from the moment the mat's button changes
// (SDL_JoystickSetVirtualButton, on a thread of the benchmark) to the moment
// the rules act on it: the press hides the lane's target, the release shows
// it again, and the target's hide or show event is taken inside the rules'
// own call. What a real device adds before SDL can see a change (USB
// polling, the mat's debounce) is not in it; docs/performance.md says what
// it is. The CPU figures are the reading thread's own time
// (/proc/self/task/TID/schedstat), with no device and with one plugged in.
//
//   pad_bench [--seconds N] [--poll-us P]
//
// --poll-us sets how often the reading thread looks at an open device; the
// game's is 1000. A deliberately slow poll shows the figure follows it:
// with P = 5000 the median should rise by about 2 ms and the maximum to
// about 5 ms.
//
// Prints one FIGURE line per figure on stdout: FIGURE <name> <result> <target> <ok|MISS>.
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <SDL.h>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <dirent.h>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/Form.h"
#include "app/PadKeys.h"
#include "app/PictureBox.h"
#include "app/Shell.h"
#include "audio/MediaPlayer.h"
#include "bench/DenseChart.h"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

class QuietShell final : public zorv::Shell {
public:
    void showMessage(QWidget*, const QString& text) override { qFatal("the game said: %s", qPrintable(text)); }
    void exitProcess(int) override { qFatal("the game tried to end the process"); }
};

// A song that plays on the steady clock from play().
class ClockPlayer final : public zorv::MediaPlayer {
public:
    void setFileName(const std::string&) override {}
    void open() override {}
    void play() override { start_ = Clock::now(); }
    void stop() override {}
    std::int32_t length() const override { return 107'000; }
    std::int32_t position() override
    {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
        return static_cast<std::int32_t>(std::min<std::int64_t>(ms % 70'000, length()));
    }

private:
    Clock::time_point start_ = Clock::now();
};

// Time on a CPU of this process's thread named `name`, in s
// (/proc/self/task/TID/schedstat: nanoseconds, where stat counts 10 ms ticks).
double threadCpuSeconds(const char* name)
{
    DIR* tasks = opendir("/proc/self/task");
    double seconds = -1;
    while (dirent* entry = tasks ? readdir(tasks) : nullptr) {
        const std::string task = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(task + "/comm"), comm);
        if (comm != name)
            continue;
        double ns = 0;
        std::ifstream(task + "/schedstat") >> ns;
        seconds = ns / 1e9;
    }
    if (tasks)
        closedir(tasks);
    return seconds;
}

// The target's hide or show, as the rules make it, against when the mat
// changed. A lane's changes reach the rules in the order they were made, so
// each hide or show is the oldest change of its lane still waiting, also when
// the next change came before it.
class Watch final : public QObject {
public:
    std::array<QWidget*, 4> targets{};
    std::vector<double> pressUs, releaseUs;

    void changed(std::size_t lane)
    {
        std::lock_guard lock(mutex_);
        waiting_[lane].push_back(nowNs());
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Hide && event->type() != QEvent::Show)
            return false;
        const auto lane =
            static_cast<std::size_t>(std::find(targets.begin(), targets.end(), watched) - targets.begin());
        std::lock_guard lock(mutex_);
        if (lane < targets.size() && !waiting_[lane].empty()) {
            const std::int64_t at = waiting_[lane].front();
            waiting_[lane].pop_front();
            (event->type() == QEvent::Hide ? pressUs : releaseUs).push_back(static_cast<double>(nowNs() - at) / 1e3);
        }
        return false;
    }

private:
    std::mutex mutex_;
    std::array<std::deque<std::int64_t>, 4> waiting_;
};

double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

void figure(const char* name, const std::string& result, const char* target, bool ok)
{
    std::printf("FIGURE\t%s\t%s\t%s\t%s\n", name, result.c_str(), target, ok ? "ok" : "MISS");
}

std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0)
{
    char text[200];
    std::snprintf(text, sizeof text, pattern, a, b, c, d);
    return text;
}

// Runs the loop for `seconds`, returning the reading thread's CPU share.
double cpuShareOver(double seconds)
{
    const double before = threadCpuSeconds("zorv-pads");
    // The game's own loop: QTest::qWait would sleep in 10 ms steps between
    // its turns.
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    return (threadCpuSeconds("zorv-pads") - before) / seconds * 100.0;
}

// A virtual mat of 16 buttons, taken by the reading thread.
SDL_Joystick* plugInMat(zorv::PadKeys& pads)
{
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
    desc.nbuttons = 16;
    desc.name = "virtual dance mat";
    SDL_Joystick* mat = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&desc));
    if (mat == nullptr || !QTest::qWaitFor([&] { return pads.pads().devicesOpen() == 1; }))
        qFatal("the virtual mat was not taken: %s", SDL_GetError());
    return mat;
}

// Steps on the mat at random for `seconds`, watching each lane's target;
// returns the reading thread's CPU share meanwhile.
double stepFor(SDL_Joystick* mat, TForm1& form, Watch& watch, double seconds)
{
    watch.targets = {form.bleft, form.bup, form.bdown, form.bright};
    for (QWidget* target : watch.targets)
        target->installEventFilter(&watch);
    // Buttons 1 to 4 of a mat: left, down, up, right.
    constexpr int kButtonOfLane[] = {0, 2, 1, 3};
    std::atomic<bool> stepping = true;
    std::thread feet([&] {
        std::mt19937 random(5);
        std::uniform_int_distribution<int> lane(0, 3), gapMs(20, 60);
        while (stepping) {
            const int l = lane(random);
            watch.changed(static_cast<std::size_t>(l));
            SDL_JoystickSetVirtualButton(mat, kButtonOfLane[l], 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(gapMs(random)));
            watch.changed(static_cast<std::size_t>(l));
            SDL_JoystickSetVirtualButton(mat, kButtonOfLane[l], 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(gapMs(random)));
        }
        SDL_TLSCleanup();
    });
    const double share = cpuShareOver(seconds);
    stepping = false;
    feet.join();
    QTest::qWait(100);
    return share;
}

void printFigures(const Watch& watch, int pollUs, double idleShare, double openShare, double steppingShare)
{
    std::fprintf(stderr,
                 "poll %d us; presses %zu, releases %zu; reading thread %.3f %% idle, %.3f %% with a mat, "
                 "%.3f %% while stepping\n",
                 pollUs, watch.pressUs.size(), watch.releaseUs.size(), idleShare, openShare, steppingShare);
    const double p99 = quantile(watch.pressUs, 0.99) / 1000;
    const std::string pressName = "mat press -> rules, virtual mat, a look every " + std::to_string(pollUs) + " us";
    figure(pressName.c_str(),
           format("median %.3f ms, p99 %.3f ms, max %.3f ms (n=%.0f)", quantile(watch.pressUs, 0.5) / 1000, p99,
                  quantile(watch.pressUs, 1.0) / 1000, static_cast<double>(watch.pressUs.size())),
           "p99 < 2 ms", p99 < 2 && !watch.pressUs.empty());
    figure("mat release -> rules",
           format("median %.3f ms, p99 %.3f ms, max %.3f ms (n=%.0f)", quantile(watch.releaseUs, 0.5) / 1000,
                  quantile(watch.releaseUs, 0.99) / 1000, quantile(watch.releaseUs, 1.0) / 1000,
                  static_cast<double>(watch.releaseUs.size())),
           "p99 < 2 ms", quantile(watch.releaseUs, 0.99) < 2000 && !watch.releaseUs.empty());
    // A keyboard player pays next to nothing for the reading; with a device
    // plugged in, it may take what the whole song's 3 % leaves beside the
    // game's own 1.6 % (docs/performance.md).
    figure("device reading thread, CPU, no device", format("%.3f %% of one core", idleShare), "< 0.2 %",
           idleShare < 0.2);
    figure("device reading thread, CPU, a mat plugged in",
           format("%.3f %% of one core idle, %.3f %% stepping", openShare, steppingShare), "< 1.4 %",
           std::max(openShare, steppingShare) < 1.4);
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = 30;
    int pollUs = static_cast<int>(zorv::Pads::kActivePoll.count());
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--poll-us") == 0)
            pollUs = std::atoi(argv[i + 1]);
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QFile chart(dir.filePath("Dodoroza.txt"));
    chart.open(QIODevice::WriteOnly);
    chart.write(denseChart("none.mp3"));
    chart.close();
    QDir::setCurrent(dir.path());
    ClockPlayer player;
    QuietShell shell;
    TForm1 form(player, shell);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        qFatal("the window was never shown");
    form.Button1Click();
    form.RadioButton1->setChecked(true);
    form.Button3Click();

    zorv::PadKeys pads(form, std::chrono::microseconds(pollUs));
    if (!pads.pads().waitUntilStarted())
        qFatal("SDL's game controller support did not start");
    QTest::qWait(300);  // past the first look
    const double idleShare = cpuShareOver(std::min(seconds / 3, 10.0));

    SDL_Joystick* mat = plugInMat(pads);
    const double openShare = cpuShareOver(std::min(seconds / 3, 10.0));

    Watch watch;
    const double steppingShare = stepFor(mat, form, watch, seconds);
    printFigures(watch, pollUs, idleShare, openShare, steppingShare);
    SDL_JoystickClose(mat);
    return 0;
}
