#pragma once
// The game's window as a player reaches it: keys and clicks through the X
// server's XTest extension (the same path a keyboard's events take once the
// server has them), and the score board read back from the game itself.

#include <X11/Xlib.h>

#include <cstdint>
#include <string>

namespace zorv::autoplay {

class XGame {
public:
    // Opens $DISPLAY; throws std::runtime_error without it or without XTest.
    XGame();
    ~XGame();
    XGame(const XGame&) = delete;
    XGame& operator=(const XGame&) = delete;

    // Waits for the game's top-level window (title "Zorv", mapped), gives it
    // the input focus. Throws when none appears within `timeoutMs`.
    void attach(int timeoutMs);

    // Alt+letter, as a player types a button's or radio button's mnemonic.
    void altKey(char letter);
    // Press or release of the cursor key of lane 1..4. Returns once the
    // server has taken the event (an XSync round trip).
    void laneKey(int lane, bool down);

    // The text of the edit box at (left, top, width, height) of the window's
    // client area: clicked three times (select all, which Qt puts in the
    // PRIMARY selection), then that selection is read.
    std::string boxText(int left, int top, int width, int height);

    Window window() const { return game_; }

private:
    unsigned keycode(unsigned long keysym) const;
    std::string readPrimary(int timeoutMs);

    Display* display_ = nullptr;
    Window game_ = 0;
    Window own_ = 0;  // ours, unmapped: the selection is delivered to it
    unsigned laneCodes_[4] = {};
};

}  // namespace zorv::autoplay
