#include "bench/autoplay/Screen.h"

#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <time.h>

#include <stdexcept>

namespace zorv::autoplay {
namespace {

std::int64_t nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

ScreenWatch::ScreenWatch(Window game) : display_(XOpenDisplay(nullptr))
{
    if (display_ == nullptr)
        throw std::runtime_error("cannot open the X display (is DISPLAY set?)");
    int error = 0;
    if (XDamageQueryExtension(display_, &damageEvent_, &error) == 0) {
        XCloseDisplay(display_);
        throw std::runtime_error("the X server has no DAMAGE extension");
    }
    drawn_.reserve(1 << 20);
    // Raw rectangles: every drawing request reported as it is made, none
    // merged with the ones before.
    damage_ = XDamageCreate(display_, game, XDamageReportRawRectangles);
    XSync(display_, False);
    thread_ = std::thread([this] { run(); });
}

ScreenWatch::~ScreenWatch()
{
    stop();
    XCloseDisplay(display_);
}

std::vector<Damage> ScreenWatch::stop()
{
    if (thread_.joinable()) {
        stopping_ = true;
        thread_.join();
        XDamageDestroy(display_, damage_);
        XSync(display_, False);
    }
    return drawn_;
}

void ScreenWatch::run()
{
    pollfd fd{ConnectionNumber(display_), POLLIN, 0};
    while (!stopping_) {
        if (XPending(display_) == 0) {
            poll(&fd, 1, 20);
            continue;
        }
        XEvent event{};
        XNextEvent(display_, &event);
        const std::int64_t at = nowNs();
        if (event.type != damageEvent_ + XDamageNotify)
            continue;
        const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
        drawn_.push_back({at, damage.area.x, damage.area.y, damage.area.width, damage.area.height});
    }
}

}  // namespace zorv::autoplay
