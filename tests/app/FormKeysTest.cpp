// The window driven by keys as a player would: cursor keys whatever has
// the focus, held and repeated keys, modifiers, mnemonics, and keys in a
// message box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <string>

#include "app/Form.h"
#include "app/PictureBox.h"
#include "app/Shell.h"
#include "support/FakeMediaPlayer.h"
#include "support/FormTest.h"
#include "support/WindowTest.h"

namespace zorv {
namespace {

using test::ButtonStates;
using test::FakeMediaPlayer;
using test::FormTest;
using test::states;

TEST_F(FormTest, CursorKeysReachTheGameOnceWhateverHasTheFocus)
{
    playUntilTheLeftArrowIsGreat();
    struct Case {
        QWidget* focus;
        bool keepsFocus;
    };
    const Case cases[] = {{form->Button2, true}, {form->Button4, true}, {form->TrackBar1, true}, {form->Edit5, true}};
    int greats = 0;
    for (const Case& c : cases) {
        c.focus->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), c.focus);
        press(Qt::Key_Left);
        release(Qt::Key_Left);
        ++greats;
        EXPECT_EQ(form->Edit8->text(), QString::number(greats)) << c.focus->metaObject()->className();
        EXPECT_EQ(QApplication::focusWidget(), c.focus) << c.focus->metaObject()->className();
    }
}

TEST_F(FormTest, HeldKeyIsJudgedOnEveryRepeatAndReleasedOnce)
{
    playUntilTheLeftArrowIsGreat();
    press(Qt::Key_Left);
    release(Qt::Key_Left, true);
    press(Qt::Key_Left, true);
    release(Qt::Key_Left, true);
    press(Qt::Key_Left, true);
    EXPECT_EQ(form->Edit8->text(), "3");
    EXPECT_FALSE(form->bleft->isVisible());
    EXPECT_TRUE(form->greati->isVisible());
    release(Qt::Key_Left);
    EXPECT_TRUE(form->bleft->isVisible());
    EXPECT_FALSE(form->greati->isVisible());
}

TEST_F(FormTest, ModifiersAndKeypadArrowsCountLikePlainCursorKeys)
{
    sendKey(QEvent::KeyPress, Qt::Key_Up, false, Qt::ShiftModifier | Qt::KeypadModifier);
    EXPECT_FALSE(form->bup->isVisible());
    sendKey(QEvent::KeyRelease, Qt::Key_Up, false, Qt::ControlModifier);
    EXPECT_TRUE(form->bup->isVisible());
    sendKey(QEvent::KeyPress, Qt::Key_Space);
    EXPECT_TRUE(form->bleft->isVisible() && form->bup->isVisible() && form->bdown->isVisible() &&
                form->bright->isVisible());
}

// Each cursor key holds its own lane's target down until it is released; no
// other key touches a target, also those whose Qt code is a cursor key's
// virtual key code (37 is '%', 40 is '(').
TEST_F(FormTest, EachCursorKeyHoldsItsOwnLaneAndNoOtherKeyDoesAnything)
{
    struct Case {
        int key;
        const char* held;  // targets hidden while it is down: left, up, down, right
    };
    const Case cases[] = {
        {Qt::Key_Left, "x..."},    {Qt::Key_Up, ".x.."},        {Qt::Key_Down, "..x."}, {Qt::Key_Right, "...x"},
        {Qt::Key_Space, "...."},   {Qt::Key_A, "...."},         {Qt::Key_Home, "...."}, {Qt::Key_PageDown, "...."},
        {Qt::Key_Percent, "...."}, {Qt::Key_ParenLeft, "...."},
    };
    for (const Case& c : cases) {
        press(static_cast<Qt::Key>(c.key));
        EXPECT_EQ(held(), c.held) << c.key;
        release(static_cast<Qt::Key>(c.key));
        EXPECT_EQ(held(), "....") << c.key;
    }
}

TEST_F(FormTest, RadioButtonsTakeCursorKeysSoASongCanBeChosenByKeyboard)
{
    chooseSong(form->RadioButton1);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    form->RadioButton1->setFocus();
    press(Qt::Key_Down);
    EXPECT_TRUE(form->RadioButton2->isChecked());
    EXPECT_STREQ(form->game().chart[0].col2, "virizivez.mp3");
    EXPECT_FALSE(form->Panel2->isVisible());
}

TEST_F(FormTest, MnemonicsPressTheirButtons)
{
    // A mnemonic clicks its button a moment later, as a mouse click would look.
    QTest::keyClick(form.get(), Qt::Key_L, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->Panel2->isVisible(); }));
    QTest::keyClick(form.get(), Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->RadioButton1->isChecked(); }));
    EXPECT_FALSE(form->Panel2->isVisible());
    QTest::keyClick(form.get(), Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->Timer1->isActive(); }));
    EXPECT_EQ(states(*form), (ButtonStates{false, true, false, true, true}));
    QTest::keyClick(form.get(), Qt::Key_T, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->Button3->isEnabled(); }));
    EXPECT_EQ(states(*form), (ButtonStates{true, true, true, true, true}));
}

// With the real message box: ticks go on while it is open, and keys pressed
// in it are not the game's.
TEST_F(FormTest, MessageBoxKeepsTheTickGoingAndKeepsItsKeys)
{
    QtShell realShell;
    FakeMediaPlayer realPlayer;
    realPlayer.lengthMs = 200000;
    TForm1 boxed(realPlayer, realShell);
    boxed.show();
    QApplication::setActiveWindow(&boxed);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&boxed));
    boxed.Button3Click();  // no chart: the fake opens the empty name anyway
    boxed.Button4Click();
    ASSERT_TRUE(boxed.Timer1->isActive());

    realPlayer.failOpenWith = "Can't open audio file \"x.mp3\": no such file";
    realPlayer.positionMs = 61000;
    QString shownText, clockDuringBox;
    QTimer::singleShot(200, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        shownText = box->findChild<QLabel*>("qt_msgbox_label")->text();
        clockDuringBox = boxed.Edit1->text();
        QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
        QApplication::sendEvent(box->windowHandle(), &left);
        EXPECT_TRUE(boxed.bleft->isVisible());
        QTest::keyClick(box, Qt::Key_Escape);
    });
    QTest::mouseClick(boxed.Button3, Qt::LeftButton);  // returns once the box is closed

    EXPECT_EQ(shownText, QString::fromStdString(realPlayer.failOpenWith));
    EXPECT_EQ(clockDuringBox, "1");
    EXPECT_TRUE(boxed.bleft->isVisible());
    EXPECT_EQ(states(boxed), (ButtonStates{true, true, true, true, true}));
}

}  // namespace
}  // namespace zorv
