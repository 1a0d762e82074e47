// Starts a program under X and reports, on the steady clock from just before
// the fork, when its top-level window was mapped and when that window was
// first drawn (the X server reported damage over at least half of it).
//
//   launch_probe [--kill] [--timeout SECONDS] -- PROGRAM [ARGS...]
//
// Prints "pid=P mapped_ms=M drawn_ms=D" on stdout. With --kill the program
// is then terminated and reaped; without, it is left running.
//
// Watching the root window for new windows, and asking for damage reports on
// each as it is created, catches the first frame however quickly it comes.
// Mapped is what a window manager would see; drawn is what the player sees.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>

namespace {

double steadyMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

long windowPid(Display* display, Window window)
{
    static const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after, &data) ==
            Success &&
        data != nullptr && format == 32 && items == 1)
        pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return pid;
}

int usage()
{
    std::fprintf(stderr, "usage: launch_probe [--kill] [--timeout SECONDS] -- PROGRAM [ARGS...]\n");
    return 2;
}

struct Options {
    bool kill = false;
    double timeoutMs = 20'000;
    int first = 1;  // argv index of the program
};

bool parse(int argc, char** argv, Options& options)
{
    int& first = options.first;
    for (; first < argc; ++first) {
        const std::string arg = argv[first];
        if (arg == "--kill")
            options.kill = true;
        else if (arg == "--timeout" && first + 1 < argc)
            options.timeoutMs = std::atof(argv[++first]) * 1000;
        else if (arg == "--") {
            ++first;
            break;
        } else
            return false;
    }
    return first < argc;
}

// The display, listening for new top-level windows; nullptr, said on
// stderr, without one or without the DAMAGE extension.
Display* openDisplay(int& damageEvent)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "launch_probe: cannot open the X display\n");
        return nullptr;
    }
    int damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "launch_probe: the X server has no DAMAGE extension\n");
        return nullptr;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    return display;
}

// Since the start, in ms; -1 for what never happened.
struct Launch {
    double mappedMs = -1;
    double drawnMs = -1;
};

// Follows the windows `pid` creates until its top-level window has been
// drawn over half its area, or the time runs out.
Launch watch(Display* display, int damageEvent, pid_t pid, double startMs, double timeoutMs)
{
    struct Watched {
        long area = 0;  // damaged pixels reported since the window was mapped
        bool mapped = false;
    };
    const Window root = DefaultRootWindow(display);
    std::map<Window, Watched> windows;
    Window shown = 0;
    long shownArea = 0;
    Launch launch;
    while (launch.drawnMs < 0) {
        const double left = startMs + timeoutMs - steadyMs();
        if (left <= 0)
            break;
        if (!XPending(display)) {
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(left) + 1);
            if (!XPending(display))
                continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        const double at = steadyMs();
        if (event.type == CreateNotify && event.xcreatewindow.parent == root) {
            XDamageCreate(display, event.xcreatewindow.window, XDamageReportRawRectangles);
            windows[event.xcreatewindow.window];
        } else if (event.type == MapNotify && shown == 0 && windows.count(event.xmap.window) &&
                   windowPid(display, event.xmap.window) == pid) {
            shown = event.xmap.window;
            launch.mappedMs = at - startMs;
            XWindowAttributes attributes{};
            XGetWindowAttributes(display, shown, &attributes);
            shownArea = static_cast<long>(attributes.width) * attributes.height;
        } else if (event.type == damageEvent + XDamageNotify) {
            const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
            if (damage.drawable != shown || shown == 0)
                continue;
            windows[shown].area += static_cast<long>(damage.area.width) * damage.area.height;
            if (windows[shown].area * 2 >= shownArea)
                launch.drawnMs = at - startMs;
        }
    }
    return launch;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options))
        return usage();
    int damageEvent = 0;
    Display* display = openDisplay(damageEvent);
    if (!display)
        return 1;

    const double startMs = steadyMs();
    const pid_t pid = fork();
    if (pid < 0)
        return 1;
    if (pid == 0) {
        execvp(argv[options.first], argv + options.first);
        std::perror("launch_probe: exec");
        _exit(127);
    }
    const Launch launch = watch(display, damageEvent, pid, startMs, options.timeoutMs);

    std::printf("pid=%d mapped_ms=%.1f drawn_ms=%.1f\n", static_cast<int>(pid), launch.mappedMs, launch.drawnMs);
    std::fflush(stdout);
    XCloseDisplay(display);
    if (options.kill) {
        ::kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    return launch.drawnMs < 0 ? 1 : 0;
}
