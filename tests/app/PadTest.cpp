// Dance mats and gamepads played into the window, with SDL's virtual
// joysticks: each device's directions press and release their lanes as the
// cursor keys do, through the same handlers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "app/Form.h"
#include "app/PadKeys.h"
#include "app/PictureBox.h"
#include "support/FormTest.h"
#include "support/VirtualPad.h"
#include "support/WindowTest.h"

namespace zorv {
namespace {

using test::VirtualPad;

constexpr VirtualPad::Kind kGamepad{true, 15, 0, "gamepad"};
constexpr VirtualPad::Kind kHatStick{false, 4, 1, "joystick with a hat"};
constexpr VirtualPad::Kind kMat{false, 16, 0, "dance mat"};

class PadTest : public test::FormTest {
protected:
    void TearDown() override
    {
        pads.reset();
        FormTest::TearDown();
    }

    void startReading()
    {
        pads = std::make_unique<PadKeys>(*form);
        ASSERT_TRUE(pads->pads().waitUntilStarted());
    }

    // Waits for the reading thread to have opened `count` devices.
    void waitForDevices(int count)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return pads->pads().devicesOpen() == count; }))
            << pads->pads().devicesOpen() << " open, " << count << " wanted";
    }

    void playUntilTheLeftArrowIsGreat()
    {
        FormTest::playUntilTheLeftArrowIsGreat();
        // Devices are read while the loop runs: its ticks would raise the
        // arrow on.
        form->Timer1->stop();
    }
    // Waits until the held lanes are `expected`; false if they never are.
    bool heldBecomes(const std::string& expected)
    {
        return QTest::qWaitFor([&] { return held() == expected; });
    }

    std::unique_ptr<PadKeys> pads;
};

TEST_F(PadTest, EachDirectionOfEachKindOfDevicePressesAndReleasesItsLane)
{
    startReading();
    struct Case {
        const char* what;
        VirtualPad::Kind kind;
        int button;         // or -1 for the hat
        std::uint8_t hat;   // the hat's value when pressed
        const char* holds;  // left, up, down, right; "...." none
    };
    const Case cases[] = {
        {"gamepad D-pad left", kGamepad, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0, "x..."},
        {"gamepad D-pad up", kGamepad, SDL_CONTROLLER_BUTTON_DPAD_UP, 0, ".x.."},
        {"gamepad D-pad down", kGamepad, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 0, "..x."},
        {"gamepad D-pad right", kGamepad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0, "...x"},
        {"gamepad A: not a direction", kGamepad, SDL_CONTROLLER_BUTTON_A, 0, "...."},
        {"hat left", kHatStick, -1, SDL_HAT_LEFT, "x..."},
        {"hat up", kHatStick, -1, SDL_HAT_UP, ".x.."},
        {"hat down", kHatStick, -1, SDL_HAT_DOWN, "..x."},
        {"hat right", kHatStick, -1, SDL_HAT_RIGHT, "...x"},
        {"mat button 1", kMat, 0, 0, "x..."},
        {"mat button 2", kMat, 1, 0, "..x."},
        {"mat button 3", kMat, 2, 0, ".x.."},
        {"mat button 4", kMat, 3, 0, "...x"},
        {"mat button 13", kMat, 12, 0, ".x.."},
        {"mat button 14", kMat, 13, 0, "...x"},
        {"mat button 15", kMat, 14, 0, "..x."},
        {"mat button 16", kMat, 15, 0, "x..."},
        {"mat button 5: not a direction", kMat, 4, 0, "...."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VirtualPad pad(c.kind);
        waitForDevices(1);
        auto set = [&](bool down) {
            if (c.button >= 0)
                pad.button(c.button, down);
            else
                pad.hat(0, down ? c.hat : SDL_HAT_CENTERED);
        };
        set(true);
        if (std::string_view(c.holds) == "....") {
            // Events are read in order: once a left press that came after
            // it shows, and its release, this one held nothing.
            const int left = c.kind.controller ? SDL_CONTROLLER_BUTTON_DPAD_LEFT : 0;
            pad.button(left, true);
            EXPECT_TRUE(heldBecomes("x...")) << held();
            pad.button(left, false);
        } else {
            EXPECT_TRUE(heldBecomes(c.holds)) << held();
            set(false);
        }
        EXPECT_TRUE(heldBecomes("....")) << held();
        set(false);
        pad.unplug();
        waitForDevices(0);
    }
    EXPECT_TRUE(shell.messages.isEmpty());
}

// Judged as a key press is: the same score, count, pictures and target.
TEST_F(PadTest, APadPressIsJudgedAndReleasedAsTheKeyIs)
{
    playUntilTheLeftArrowIsGreat();
    startReading();
    VirtualPad pad(kMat);
    waitForDevices(1);
    pad.button(0, true);
    ASSERT_TRUE(heldBecomes("x..."));
    EXPECT_EQ(form->Edit9->text(), "600");
    EXPECT_EQ(form->Edit8->text(), "1");
    EXPECT_TRUE(form->greati->isVisible());
    pad.button(0, false);
    ASSERT_TRUE(heldBecomes("...."));
    EXPECT_FALSE(form->greati->isVisible());
    EXPECT_EQ(form->Edit9->text(), "600");
}

// Mats are made for two arrows at once; a hat gives two on a diagonal. One
// device holding a lane by two of its inputs (a mat that reports an arrow
// both on a button and on its hat) presses it once and lets go with the last.
TEST_F(PadTest, TwoArrowsAtOnceAndOneLaneHeldByTwoInputsOfADevice)
{
    playUntilTheLeftArrowIsGreat();
    startReading();
    VirtualPad pad({false, 4, 1, "mat with a hat"});
    waitForDevices(1);
    pad.hat(0, SDL_HAT_LEFTUP);
    EXPECT_TRUE(heldBecomes("xx..")) << held();
    pad.hat(0, SDL_HAT_UP);
    EXPECT_TRUE(heldBecomes(".x..")) << held();
    pad.button(3, true);
    EXPECT_TRUE(heldBecomes(".x.x")) << held();
    pad.hat(0, SDL_HAT_CENTERED);
    pad.button(3, false);
    ASSERT_TRUE(heldBecomes("....")) << held();

    const QString greats = form->Edit8->text();
    pad.button(0, true);
    pad.hat(0, SDL_HAT_LEFT);
    ASSERT_TRUE(heldBecomes("x..."));
    pad.button(0, false);
    pad.button(1, true);  // a change that shows: the button's release was read
    ASSERT_TRUE(heldBecomes("x.x."));
    EXPECT_EQ(form->Edit8->text().toInt(), greats.toInt() + 1) << "one press of the left lane";
    pad.hat(0, SDL_HAT_CENTERED);
    pad.button(1, false);
    EXPECT_TRUE(heldBecomes("....")) << held();
}

// Plugged in and pulled out while the song plays: taken and dropped with no
// message and no pause of the tick; pulled while it holds a lane, the lane
// is let go.
TEST_F(PadTest, DevicesComeAndGoMidSongWithoutAPauseOrAMessage)
{
    chooseSong(form->RadioButton1);
    start();
    startReading();
    QSignalSpy ticks(form->Timer1, &QTimer::timeout);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        auto pad = std::make_unique<VirtualPad>(kHatStick);
        waitForDevices(1);
        pad->hat(0, SDL_HAT_RIGHTDOWN);
        ASSERT_TRUE(heldBecomes("..xx")) << held();
        const qsizetype before = ticks.size();
        pad.reset();
        waitForDevices(0);
        EXPECT_TRUE(heldBecomes("....")) << held();
        EXPECT_TRUE(QTest::qWaitFor([&] { return ticks.size() >= before + 2; }));
    }
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_TRUE(shell.messages.isEmpty());
}

// A mat SDL knows only as a joystick, with its arrows on buttons 5 to 8 (no
// common layout), mapped by the player in SDL's own format. Mapped, it is a
// game controller: its D-pad plays and nothing else.
TEST_F(PadTest, AButtonsOnlyMatPlaysThroughTheMappingInSdlGameControllerConfig)
{
    // SDL's name for a virtual device of vendor 0x1234, product 0x5678.
    const char* mapping = "ff000000341200007856000000007600,Our mat,dpleft:b4,dpdown:b5,dpup:b6,dpright:b7,";
    ASSERT_EQ(setenv("SDL_GAMECONTROLLERCONFIG", mapping, 1), 0);
    startReading();
    unsetenv("SDL_GAMECONTROLLERCONFIG");
    VirtualPad mat({false, 8, 0, "Our mat", 0x1234, 0x5678});
    waitForDevices(1);
    ASSERT_TRUE(SDL_IsGameController(0));
    struct Case {
        int button;
        const char* holds;
    };
    for (const Case& c : {Case{4, "x..."}, Case{5, "..x."}, Case{6, ".x.."}, Case{7, "...x"}}) {
        mat.button(c.button, true);
        EXPECT_TRUE(heldBecomes(c.holds)) << c.button << ": " << held();
        mat.button(c.button, false);
        EXPECT_TRUE(heldBecomes("....")) << c.button << ": " << held();
    }
    mat.button(0, true);  // a common layout's left, not this mat's
    mat.button(4, true);
    EXPECT_TRUE(heldBecomes("x..."));
    mat.button(4, false);
    EXPECT_TRUE(heldBecomes("...."));
}

// The keyboard and a device are two hands on one key: each press is judged,
// and each release shows the target again and clears the judgement, also
// while the other still holds the lane (as a release of any cursor key does).
TEST_F(PadTest, KeyboardAndPadOnOneLaneAreTwoPressesAndTwoReleases)
{
    playUntilTheLeftArrowIsGreat();
    startReading();
    VirtualPad pad(kMat);
    waitForDevices(1);
    press(Qt::Key_Left);
    pad.button(0, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Edit8->text() == "2"; })) << form->Edit8->text().toStdString();
    EXPECT_EQ(held(), "x...");
    pad.button(0, false);
    ASSERT_TRUE(heldBecomes("...."));
    EXPECT_FALSE(form->greati->isVisible());
    press(Qt::Key_Left, true);  // the key, still held, repeats
    EXPECT_EQ(held(), "x...");
    EXPECT_EQ(form->Edit8->text(), "3");
    release(Qt::Key_Left);
    EXPECT_EQ(held(), "....");
}

// A device sending presses and releases as fast as the game takes them
// (a thousand presses ahead of it): the tick goes on, and
// every press and release reaches the game, in order.
TEST_F(PadTest, ADeviceFloodingEventsDoesNotStallTheTick)
{
    chooseSong(form->RadioButton1);
    start();
    startReading();
    VirtualPad mat(kMat);
    waitForDevices(1);
    std::atomic<int> hides = 0;
    struct CountHides : QObject {
        std::atomic<int>& count;
        explicit CountHides(std::atomic<int>& c) : count(c) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            count += event->type() == QEvent::Hide ? 1 : 0;
            return false;
        }
    } counter(hides);
    form->bleft->installEventFilter(&counter);

    std::atomic<bool> flooding = true;
    std::atomic<int> presses = 0;
    std::thread flood([&] {
        auto push = [&](Uint32 type) {
            SDL_Event event{};
            event.type = type;
            event.jbutton.which = mat.id();
            event.jbutton.button = 0;
            event.jbutton.state = type == SDL_JOYBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
            while (SDL_PushEvent(&event) != 1)
                std::this_thread::yield();  // SDL's queue is full
        };
        while (flooding) {
            if (presses - hides > 1000) {
                std::this_thread::yield();
                continue;
            }
            push(SDL_JOYBUTTONDOWN);
            push(SDL_JOYBUTTONUP);
            ++presses;
        }
        SDL_TLSCleanup();  // the error text of a full queue, kept per thread
    });
    QSignalSpy ticks(form->Timer1, &QTimer::timeout);
    for (int tick = 1; tick <= 5; ++tick)
        EXPECT_TRUE(ticks.wait(1000)) << "tick " << tick << " after " << presses << " presses";
    flooding = false;
    flood.join();
    EXPECT_GT(presses, 1000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return hides == presses; }, 30'000)) << hides << " of " << presses;
    EXPECT_TRUE(heldBecomes("...."));
    form->bleft->removeEventFilter(&counter);
}

}  // namespace
}  // namespace zorv
