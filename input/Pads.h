#pragma once
// Dance mats, gamepads and joysticks, read through SDL2 on a thread of their
// own and turned into the presses and releases of lanes, in the order the
// devices made them. No Qt here: whoever owns a Pads is woken and takes the
// changes on its own thread (app/PadKeys.h hands them to the window).
//
// What plays, per device:
// - a game controller SDL recognises (its database, or a mapping the player
//   gives in SDL_GAMECONTROLLERCONFIG, read when the reading starts): its
//   D-pad, and nothing else;
// - any other joystick: every hat, and the buttons of the common layouts of
//   USB dance mats (kMatButtons in Pads.cpp).
// A lane of one device is held while any of that device's inputs for it is
// held, so a mat reporting an arrow both as a button and on its hat gives one
// press. Devices are independent of each other and of the keyboard: each
// press of each device is a press (and is judged), each release a release.
// A device pulled while it holds lanes releases them.
//
// Devices are looked at every kActivePoll while one is open and every
// kIdlePoll while none is (only to notice one being plugged in): SDL2 has no
// way to wait for a joystick event, and the tick is never used for it.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <thread>

#include "core/Lanes.h"

namespace zorv {

// A lane pressed or let go by a device.
struct LaneChange {
    Lane lane;
    bool pressed;
};

class Pads {
public:
    static constexpr std::chrono::microseconds kActivePoll{1000};
    static constexpr std::chrono::milliseconds kIdlePoll{100};
    // Changes waiting to be taken at most; a device making more waits for
    // the taker, so none is lost and the taker's share per turn is bounded.
    static constexpr std::size_t kQueueLimit = 256;

    // Starts the reading thread. `wake` runs on that thread each time changes
    // start waiting when none were; it must be quick and must not call back.
    // `activePoll` is for measurements that need a slower one.
    explicit Pads(std::function<void()> wake, std::chrono::microseconds activePoll = kActivePoll);
    // Stops the thread and closes the devices; no `wake` runs after it.
    ~Pads();
    Pads(const Pads&) = delete;
    Pads& operator=(const Pads&) = delete;

    // Moves up to out.size() waiting changes, oldest first, into `out`;
    // returns how many. Any thread.
    std::size_t take(std::span<LaneChange> out);

    // Blocks until SDL's game controller support is up (true) or could not
    // start (false: the game then plays on the keyboard alone). Devices
    // plugged in before are being opened from then on.
    bool waitUntilStarted();
    // Devices open now.
    int devicesOpen() const { return devicesOpen_.load(std::memory_order_acquire); }

private:
    struct Device;
    class Reader;
    void run();
    // Queues a change for the taker; waits while the queue is full.
    void deliver(LaneChange change);
    void pause(std::chrono::microseconds period);
    bool stopping();

    std::function<void()> wake_;
    std::chrono::microseconds activePoll_;
    std::mutex mutex_;
    std::condition_variable changed_;  // queue space, stop, start-up
    std::deque<LaneChange> queue_;
    bool stopping_ = false;
    int started_ = 0;  // 0 starting, 1 started, -1 failed
    std::atomic<int> devicesOpen_{0};
    std::thread thread_;
};

}  // namespace zorv
