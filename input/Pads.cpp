#include "input/Pads.h"

#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <pthread.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <vector>

namespace zorv {

namespace {

// USB dance mats that SDL knows only as joysticks put their arrows on
// buttons; the common layouts, 0-based as SDL numbers buttons. A mat laid
// out otherwise is given a mapping in SDL_GAMECONTROLLERCONFIG.
struct MatButton {
    int button;
    Lane lane;
};
constexpr MatButton kMatButtons[] = {
    // Mats of their own: left, down, up, right on the first four buttons.
    {0, Lane::left},
    {1, Lane::down},
    {2, Lane::up},
    {3, Lane::right},
    // Mats for a game console on a USB adapter: the console's D-pad on
    // buttons 13 to 16 (counted from 1), up, right, down, left.
    {12, Lane::up},
    {13, Lane::right},
    {14, Lane::down},
    {15, Lane::left},
};

std::optional<Lane> laneOfMatButton(int button)
{
    for (const MatButton& row : kMatButtons) {
        if (row.button == button)
            return row.lane;
    }
    return std::nullopt;
}

std::optional<Lane> laneOfDpad(int button)
{
    switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return Lane::left;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return Lane::up;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return Lane::down;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return Lane::right;
    default: return std::nullopt;
    }
}

// A hat's value is a set of directions; two at once on a diagonal.
constexpr std::pair<Uint8, Lane> kHatLanes[] = {
    {SDL_HAT_LEFT, Lane::left}, {SDL_HAT_UP, Lane::up}, {SDL_HAT_DOWN, Lane::down}, {SDL_HAT_RIGHT, Lane::right}};

// Hats beyond these are ignored: no device has more.
constexpr int kHatsRead = 8;

}  // namespace

// One open device: what of it holds each lane.
struct Pads::Device {
    SDL_JoystickID id = -1;
    SDL_GameController* controller = nullptr;  // a recognised controller...
    SDL_Joystick* joystick = nullptr;          // ...or a joystick
    std::array<int, kLaneCount> holding{};     // inputs holding each lane
    std::array<Uint8, kHatsRead> hats{};       // last value of each hat
};

// SDL's events, on the reading thread, into lane changes.
class Pads::Reader {
public:
    explicit Reader(Pads& pads) : pads_(pads) {}
    ~Reader()
    {
        for (Device& device : devices_)
            close(device);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool anyOpen() const { return !devices_.empty(); }

    void handle(const SDL_Event& event)
    {
        switch (event.type) {
        case SDL_JOYDEVICEADDED: open(event.jdevice.which); break;
        case SDL_JOYDEVICEREMOVED: remove(event.jdevice.which); break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            if (Device* device = find(event.cbutton.which, true))
                input(*device, laneOfDpad(event.cbutton.button), event.type == SDL_CONTROLLERBUTTONDOWN);
            break;
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP:
            if (Device* device = find(event.jbutton.which, false))
                input(*device, laneOfMatButton(event.jbutton.button), event.type == SDL_JOYBUTTONDOWN);
            break;
        case SDL_JOYHATMOTION:
            if (Device* device = find(event.jhat.which, false); device && event.jhat.hat < kHatsRead)
                hat(*device, event.jhat.hat, event.jhat.value);
            break;
        default: break;
        }
    }

private:
    void open(int index)
    {
        Device device;
        if (SDL_IsGameController(index)) {
            device.controller = SDL_GameControllerOpen(index);
            device.joystick = device.controller ? SDL_GameControllerGetJoystick(device.controller) : nullptr;
        } else {
            device.joystick = SDL_JoystickOpen(index);
        }
        // One that cannot be opened (gone again, no permission) plays no part.
        if (device.joystick == nullptr)
            return;
        device.id = SDL_JoystickInstanceID(device.joystick);
        if (find(device.id, device.controller != nullptr) != nullptr) {
            close(device);  // already open: SDL counted a second reference
            return;
        }
        devices_.push_back(device);
        pads_.devicesOpen_.store(static_cast<int>(devices_.size()), std::memory_order_release);
        say(device, device.controller ? "plugged in, a game controller: its D-pad plays"
                                      : "plugged in, a joystick: its hats and mat buttons play");
    }

    // A player writing a mapping needs the device's GUID: the terminal says it.
    static void say(const Device& device, const char* what)
    {
        char guid[33] = {};
        SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(device.joystick), guid, sizeof guid);
        const char* name = SDL_JoystickName(device.joystick);
        std::fprintf(stderr, "zorv: %s (GUID %s) %s\n", name ? name : "device", guid, what);
    }

    void remove(SDL_JoystickID id)
    {
        const auto it =
            std::find_if(devices_.begin(), devices_.end(), [id](const Device& device) { return device.id == id; });
        if (it == devices_.end())
            return;
        for (const LaneKey& row : kLaneKeys) {
            if (it->holding[laneIndex(row.lane)] > 0)
                pads_.deliver({row.lane, false});
        }
        say(*it, "pulled out");
        close(*it);
        devices_.erase(it);
        pads_.devicesOpen_.store(static_cast<int>(devices_.size()), std::memory_order_release);
    }

    static void close(Device& device)
    {
        if (device.controller != nullptr)
            SDL_GameControllerClose(device.controller);
        else
            SDL_JoystickClose(device.joystick);
    }

    Device* find(SDL_JoystickID id, bool controller)
    {
        for (Device& device : devices_) {
            if (device.id == id)
                return (device.controller != nullptr) == controller ? &device : nullptr;
        }
        return nullptr;
    }

    // One input of the device pressed or let go; the lane changes when the
    // first of its inputs is pressed or the last let go.
    void input(Device& device, std::optional<Lane> lane, bool pressed)
    {
        if (!lane)
            return;
        int& holding = device.holding[laneIndex(*lane)];
        if (pressed) {
            if (++holding == 1)
                pads_.deliver({*lane, true});
        } else if (holding > 0 && --holding == 0) {
            pads_.deliver({*lane, false});
        }
    }

    // Releases first, then presses, each in lane order.
    void hat(Device& device, int index, Uint8 value)
    {
        const Uint8 before = device.hats[index];
        device.hats[index] = value;
        for (const auto& [bit, lane] : kHatLanes) {
            if ((before & bit) && !(value & bit))
                input(device, lane, false);
        }
        for (const auto& [bit, lane] : kHatLanes) {
            if (!(before & bit) && (value & bit))
                input(device, lane, true);
        }
    }

    Pads& pads_;
    std::vector<Device> devices_;
};

Pads::Pads(std::function<void()> wake, std::chrono::microseconds activePoll)
    : wake_(std::move(wake)), activePoll_(activePoll)
{
    // SDL would otherwise turn SIGINT and SIGTERM into quit events that
    // nobody reads, and the game could no longer be ended by a signal.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    thread_ = std::thread([this] { run(); });
}

Pads::~Pads()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool Pads::waitUntilStarted()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return started_ != 0; });
    return started_ > 0;
}

std::size_t Pads::take(std::span<LaneChange> out)
{
    std::size_t n = 0;
    {
        std::lock_guard lock(mutex_);
        n = std::min(out.size(), queue_.size());
        std::copy_n(queue_.begin(), n, out.begin());
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (n > 0)
        changed_.notify_all();
    return n;
}

void Pads::deliver(LaneChange change)
{
    bool wasEmpty = false;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || queue_.size() < kQueueLimit; });
        if (stopping_)
            return;
        wasEmpty = queue_.empty();
        queue_.push_back(change);
    }
    if (wasEmpty)
        wake_();
}

bool Pads::stopping()
{
    std::lock_guard lock(mutex_);
    return stopping_;
}

void Pads::pause(std::chrono::microseconds period)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, period, [this] { return stopping_; });
}

void Pads::run()
{
    pthread_setname_np(pthread_self(), "zorv-pads");  // in top, and for the measurements
    // Also on this thread, so that starting it (some tens of ms of device
    // scanning) never holds up the window. SDL reads SDL_GAMECONTROLLERCONFIG
    // here.
    const bool up = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (!up)
        std::fprintf(stderr, "zorv: no game controllers or joysticks (%s)\n", SDL_GetError());
    {
        std::lock_guard lock(mutex_);
        started_ = up ? 1 : -1;
    }
    changed_.notify_all();
    if (!up) {
        SDL_TLSCleanup();
        return;
    }
    {
        Reader reader(*this);
        std::array<SDL_Event, 64> events;
        while (!stopping()) {
            SDL_PumpEvents();
            // Every event, also those the game has no use for, so that SDL's
            // queue never fills; a flood ends this loop only when it dries up
            // (deliver() waits for the taker meanwhile) or the reading stops.
            int n = 0;
            while (!stopping() && (n = SDL_PeepEvents(events.data(), static_cast<int>(events.size()), SDL_GETEVENT,
                                                      SDL_FIRSTEVENT, SDL_LASTEVENT)) > 0) {
                for (int i = 0; i < n; ++i)
                    reader.handle(events[static_cast<std::size_t>(i)]);
            }
            pause(reader.anyOpen() ? activePoll_ : std::chrono::microseconds(kIdlePoll));
        }
    }
    devicesOpen_.store(0, std::memory_order_release);
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    // SDL keeps per-thread data (its error text) that only this frees on a
    // thread SDL did not make: without it, each reading thread leaks it.
    SDL_TLSCleanup();
}

}  // namespace zorv
