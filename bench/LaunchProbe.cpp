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

}  // namespace

int main(int argc, char** argv)
{
    bool kill = false;
    double timeoutMs = 20'000;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string arg = argv[first];
        if (arg == "--kill")
            kill = true;
        else if (arg == "--timeout" && first + 1 < argc)
            timeoutMs = std::atof(argv[++first]) * 1000;
        else if (arg == "--") {
            ++first;
            break;
        } else
            return usage();
    }
    if (first >= argc)
        return usage();

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "launch_probe: cannot open the X display\n");
        return 1;
    }
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "launch_probe: the X server has no DAMAGE extension\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const double startMs = steadyMs();
    const pid_t pid = fork();
    if (pid < 0)
        return 1;
    if (pid == 0) {
        execvp(argv[first], argv + first);
        std::perror("launch_probe: exec");
        _exit(127);
    }

    struct Watched {
        long area = 0;  // damaged pixels reported since the window was mapped
        bool mapped = false;
    };
    std::map<Window, Watched> windows;
    Window shown = 0;
    long shownArea = 0;
    double mappedMs = -1, drawnMs = -1;
    while (drawnMs < 0) {
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
            mappedMs = at - startMs;
            XWindowAttributes attributes{};
            XGetWindowAttributes(display, shown, &attributes);
            shownArea = static_cast<long>(attributes.width) * attributes.height;
        } else if (event.type == damageEvent + XDamageNotify) {
            const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
            if (damage.drawable != shown || shown == 0)
                continue;
            windows[shown].area += static_cast<long>(damage.area.width) * damage.area.height;
            if (windows[shown].area * 2 >= shownArea)
                drawnMs = at - startMs;
        }
    }

    std::printf("pid=%d mapped_ms=%.1f drawn_ms=%.1f\n", static_cast<int>(pid), mappedMs, drawnMs);
    std::fflush(stdout);
    XCloseDisplay(display);
    if (kill) {
        ::kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    return drawnMs < 0 ? 1 : 0;
}
