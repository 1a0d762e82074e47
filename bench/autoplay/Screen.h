#pragma once
// What the game draws, as the X server sees it: every rectangle the game's
// window repaints, timed on CLOCK_MONOTONIC as it arrives, on a connection
// and thread of its own. A judgement rewrites its count's edit box, and an
// arrow's first rise repaints a rectangle only a new arrow repaints, so the
// drawing tells which press got which judgement and when each arrow set out.

#include <X11/Xlib.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace zorv::autoplay {

struct Damage {
    std::int64_t atNs = 0;
    int x = 0, y = 0, width = 0, height = 0;  // in the window's client area
};

class ScreenWatch {
public:
    // Throws std::runtime_error without $DISPLAY or the DAMAGE extension.
    explicit ScreenWatch(Window game);
    ~ScreenWatch();
    ScreenWatch(const ScreenWatch&) = delete;
    ScreenWatch& operator=(const ScreenWatch&) = delete;

    // Stops watching and returns what was drawn, in order of arrival.
    std::vector<Damage> stop();

private:
    void run();

    Display* display_ = nullptr;
    int damageEvent_ = 0;
    unsigned long damage_ = 0;
    std::atomic<bool> stopping_{false};
    std::vector<Damage> drawn_;
    std::thread thread_;
};

}  // namespace zorv::autoplay
