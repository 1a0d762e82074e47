#include "bench/autoplay/XGame.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace zorv::autoplay {
namespace {

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool isGameWindow(Display* display, Window window)
{
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0 || attributes.map_state != IsViewable)
        return false;
    char* name = nullptr;
    const bool named = XFetchName(display, window, &name) != 0 && name != nullptr && std::strcmp(name, "Zorv") == 0;
    if (name != nullptr)
        XFree(name);
    // A message box carries the game's title too; the game's window has the
    // score board's width and more.
    return named && attributes.width > 400;
}

Window findGameWindow(Display* display)
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0) {
        for (unsigned i = 0; i < count && found == 0; ++i) {
            if (isGameWindow(display, children[i]))
                found = children[i];
        }
        if (children != nullptr)
            XFree(children);
    }
    return found;
}

}  // namespace

XGame::XGame() : display_(XOpenDisplay(nullptr))
{
    if (display_ == nullptr)
        throw std::runtime_error("cannot open the X display (is DISPLAY set?)");
    int event = 0, error = 0, major = 0, minor = 0;
    if (XTestQueryExtension(display_, &event, &error, &major, &minor) == 0)
        throw std::runtime_error("the X server has no XTest extension");
    own_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
    const unsigned long keys[] = {XK_Left, XK_Up, XK_Down, XK_Right};  // lanes 1..4
    for (int lane = 0; lane < 4; ++lane)
        laneCodes_[lane] = keycode(keys[lane]);
}

XGame::~XGame()
{
    XDestroyWindow(display_, own_);
    XCloseDisplay(display_);
}

unsigned XGame::keycode(unsigned long keysym) const
{
    const unsigned code = XKeysymToKeycode(display_, keysym);
    if (code == 0)
        throw std::runtime_error("the X server's keymap has no key for " + std::string(XKeysymToString(keysym)));
    return code;
}

void XGame::attach(int timeoutMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while ((game_ = findGameWindow(display_)) == 0) {
        if (std::chrono::steady_clock::now() > until)
            throw std::runtime_error("the game's window did not appear");
        pause(50);
    }
    // No window manager under Xvfb: the focus is ours to give.
    XRaiseWindow(display_, game_);
    XSetInputFocus(display_, game_, RevertToParent, CurrentTime);
    XSync(display_, False);
    pause(300);  // Qt makes the window active on FocusIn
}

void XGame::altKey(char letter)
{
    const unsigned alt = keycode(XK_Alt_L);
    const unsigned key = keycode(XStringToKeysym(std::string(1, letter).c_str()));
    XTestFakeKeyEvent(display_, alt, True, 0);
    XTestFakeKeyEvent(display_, key, True, 0);
    XTestFakeKeyEvent(display_, key, False, 0);
    XTestFakeKeyEvent(display_, alt, False, 0);
    XSync(display_, False);
}

void XGame::laneKey(int lane, bool down)
{
    XTestFakeKeyEvent(display_, laneCodes_[lane - 1], down ? True : False, 0);
    XSync(display_, False);
}

std::string XGame::boxText(int left, int top, int width, int height)
{
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display_, game_, DefaultRootWindow(display_), left + width / 2, top + height / 2, &x, &y,
                          &child);
    // Ours until the box takes it: a stale selection cannot pass for the box's.
    const Atom primary = XA_PRIMARY;
    XSetSelectionOwner(display_, primary, own_, CurrentTime);
    XTestFakeMotionEvent(display_, -1, x, y, 0);
    for (int click = 0; click < 3; ++click) {
        XTestFakeButtonEvent(display_, 1, True, 0);
        XTestFakeButtonEvent(display_, 1, False, 0);
        XSync(display_, False);
        pause(40);
    }
    pause(200);
    return readPrimary(2000);
}

std::string XGame::readPrimary(int timeoutMs)
{
    if (XGetSelectionOwner(display_, XA_PRIMARY) == own_)
        throw std::runtime_error("the edit box did not take the selection");
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    const Atom target = XInternAtom(display_, "ZORV_AUTOPLAY", False);
    XConvertSelection(display_, XA_PRIMARY, utf8, target, own_, CurrentTime);
    XFlush(display_);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    XEvent event{};
    while (!XCheckTypedWindowEvent(display_, own_, SelectionNotify, &event)) {
        if (std::chrono::steady_clock::now() > until)
            throw std::runtime_error("no answer from the selection's owner");
        pause(10);
    }
    if (event.xselection.property == None)
        throw std::runtime_error("the selection could not be read as text");
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, left = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display_, own_, target, 0, 1024, True, AnyPropertyType, &type, &format, &items, &left, &data);
    std::string text = data != nullptr ? std::string(reinterpret_cast<const char*>(data), items) : std::string();
    if (data != nullptr)
        XFree(data);
    return text;
}

}  // namespace zorv::autoplay
