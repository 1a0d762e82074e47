#pragma once
// A dance mat, gamepad or joystick plugged in for as long as it lives, made
// with SDL's virtual joysticks: no hardware, no device files. SDL's joystick
// support must be up (Pads::waitUntilStarted) from creation to destruction;
// the game's reading thread sees each change on its next look.

#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>

namespace zorv::test {

class VirtualPad {
public:
    struct Kind {
        // A recognised game controller (SDL maps button i to controller
        // button i: the D-pad is buttons 11 to 14), or a plain joystick.
        bool controller;
        int buttons;
        int hats;
        const char* name = "virtual pad";
        std::uint16_t vendor = 0;
        std::uint16_t product = 0;
    };

    explicit VirtualPad(const Kind& kind)
    {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = kind.controller ? SDL_JOYSTICK_TYPE_GAMECONTROLLER : SDL_JOYSTICK_TYPE_UNKNOWN;
        desc.nbuttons = static_cast<Uint16>(kind.buttons);
        desc.nhats = static_cast<Uint16>(kind.hats);
        desc.vendor_id = kind.vendor;
        desc.product_id = kind.product;
        desc.name = kind.name;
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        EXPECT_GE(index, 0) << SDL_GetError();
        joystick_ = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
        EXPECT_NE(joystick_, nullptr) << SDL_GetError();
        id_ = joystick_ ? SDL_JoystickInstanceID(joystick_) : -1;
    }
    ~VirtualPad() { unplug(); }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    void button(int index, bool down) { SDL_JoystickSetVirtualButton(joystick_, index, down ? 1 : 0); }
    void hat(int index, std::uint8_t value) { SDL_JoystickSetVirtualHat(joystick_, index, value); }
    SDL_JoystickID id() const { return id_; }

    // Pulled out, whatever it holds.
    void unplug()
    {
        if (joystick_ == nullptr)
            return;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id_) {
                SDL_JoystickDetachVirtual(i);
                break;
            }
        }
        SDL_JoystickClose(joystick_);
        joystick_ = nullptr;
    }

private:
    SDL_Joystick* joystick_ = nullptr;
    SDL_JoystickID id_ = -1;
};

}  // namespace zorv::test
