// The window driven as a player would: clicks, ticks and key events, with a
// fake player whose position the test sets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>
#include <thread>

#include "app/Form.h"
#include "app/Layout.h"
#include "app/PictureBox.h"
#include "app/Shell.h"
#include "play/Play.h"
#include "support/FakeMediaPlayer.h"
#include "support/RecordingDisplay.h"
#include "support/WindowTest.h"

namespace zorv {
namespace {

using test::ButtonStates;
using test::FakeMediaPlayer;
using test::states;

// Two charts of one and two notes, on a player that reports a song of
// 125,400 ms and whatever position the test sets.
class FormTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        writeFile("Dodoroza.txt", "d dodoroza.mp3\n1 0\n0 0\n");
        writeFile("Virizivez.txt", "v virizivez.mp3\n4 0\n2 0\n0 0\n");
        player.lengthMs = 125400;
        openForm(player);
    }

    // Dodoroza holds one left note at 0 ms; 57 ticks raise it to Top 14.
    void playUntilTheLeftArrowIsGreat()
    {
        chooseSong(form->RadioButton1);
        start();
        for (int i = 0; i < 57; ++i) {
            player.positionMs = i * 50;
            form->Timer1Timer();
        }
    }

    FakeMediaPlayer player;
};

TEST_F(FormTest, StartsWithPlaceholdersTargetsShownAndNoArrows)
{
    EXPECT_EQ(form->Edit9->text(), "sum");
    for (QLineEdit* box : {form->Edit5, form->Edit6, form->Edit7, form->Edit8})
        EXPECT_EQ(box->text(), "Edit5");
    for (QLineEdit* box : {form->Edit1, form->Edit2, form->Edit3, form->Edit4})
        EXPECT_EQ(box->text(), "");
    for (QWidget* target : {form->bleft, form->bup, form->bdown, form->bright})
        EXPECT_TRUE(target->isVisible());
    for (QWidget* arrow : {form->left1, form->left4, form->up1, form->down2, form->right4, form->greati, form->missi})
        EXPECT_FALSE(arrow->isVisible());
    EXPECT_FALSE(form->Panel2->isVisible());
    EXPECT_FALSE(form->RadioButton1->isChecked());
    EXPECT_FALSE(form->RadioButton2->isChecked());
    EXPECT_EQ(states(*form), (ButtonStates{true, true, true, false, false}));
    EXPECT_EQ(QApplication::focusWidget(), form->Button1);
    EXPECT_EQ(form->windowTitle(), "Zorv");
}

// Every widget of the window comes from the layout table and stands where
// its row says, on its row's parent; a label sized to its caption shows all
// of it.
TEST_F(FormTest, ControlsStandWhereTheLayoutPutsThem)
{
    EXPECT_EQ(form->findChildren<QWidget*>().size(), std::size(layout::kControls));
    for (const layout::Control& row : layout::kControls) {
        SCOPED_TRACE(row.name);
        auto* control = form->findChild<QWidget*>(row.name);
        ASSERT_NE(control, nullptr);
        QWidget* parent = row.parent ? form->findChild<QWidget*>(row.parent) : form.get();
        EXPECT_EQ(control->parentWidget(), parent);
        EXPECT_EQ(control->pos(), QPoint(row.left, row.top));
        if (row.width == 0 && row.height == 0) {
            auto* label = qobject_cast<QLabel*>(control);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->size(), label->sizeHint());
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
        } else {
            EXPECT_EQ(control->size(), QSize(row.width, row.height));
        }
    }
    EXPECT_EQ(form->size(), QSize(layout::kWindow.width, layout::kWindow.height));
    // The pictures start as the rules' field has them, each arrow in its
    // target's column: the key handler judges the field's Tops.
    for (int i = 0; i < kPictureCount; ++i) {
        const auto picture = static_cast<Picture>(i);
        SCOPED_TRACE(test::pictureName(picture));
        auto* shown = form->findChild<QWidget*>(test::pictureName(picture));
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->isVisible(), form->game().field[picture].visible);
        if (i < kFirstSlot || i >= kFirstSlot + kSlotCount)
            continue;
        EXPECT_EQ(shown->y(), form->game().field[picture].top);
        EXPECT_EQ(shown->x(), form->findChild<QWidget*>(test::pictureName(targetOf(laneOfSlot(i - kFirstSlot))))->x());
    }
    EXPECT_EQ(form->RadioButton2->font().pixelSize(), 20);
    EXPECT_EQ(form->Label6->font().pixelSize(), 20);
    EXPECT_EQ(form->Edit5->font().pixelSize(), 11);
    EXPECT_EQ(form->Button1->text(), "&list");
    EXPECT_EQ(form->Button4->text(), "s&top");
    EXPECT_EQ(form->Label6->text(), QString::fromUtf8("난이도 하"));
}

TEST_F(FormTest, PaintOrderPutsJudgementsOverArrowsOverTargets)
{
    const QObjectList& stack = form->Panel1->children();  // bottom to top
    auto level = [&](QWidget* w) { return stack.indexOf(w); };
    EXPECT_LT(level(form->bgd), level(form->bleft));
    EXPECT_LT(level(form->bright), level(form->left1));
    EXPECT_LT(level(form->right4), level(form->Label1));
    EXPECT_LT(level(form->Label5), level(form->greati));
    EXPECT_LT(level(form->greati), level(form->missi));
    EXPECT_LT(level(form->missi), level(form->Button1));
    const QObjectList& top = form->children();
    EXPECT_LT(top.indexOf(form->Panel1), top.indexOf(form->Panel2));
}

// Tab runs through the buttons and the bar, the boxes, then the song panel,
// and from its last button back to the first.
TEST_F(FormTest, TabOrderRunsThroughButtonsBarBoxesAndTheSongPanel)
{
    const struct {
        QWidget* from;
        QWidget* next;
    } cases[] = {
        {form->Button1, form->Button2},
        {form->Button2, form->Button3},
        {form->Button3, form->TrackBar1},
        {form->TrackBar1, form->Button4},
        {form->Button4, form->Edit1},
        {form->Edit1, form->Edit2},
        {form->Edit2, form->Edit3},
        {form->Edit3, form->Edit4},
        {form->Edit4, form->Edit5},
        {form->Edit5, form->Edit6},
        {form->Edit6, form->Edit7},
        {form->Edit7, form->Edit8},
        {form->Edit8, form->Edit9},
        {form->Edit9, form->RadioButton1},
        {form->RadioButton1, form->RadioButton2},
        {form->RadioButton2, form->Button1},
    };
    for (const auto& c : cases) {
        QWidget* next = c.from->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, c.next) << c.from->objectName().toStdString();
    }
}

// The tick sends each due note into the first arrow of its own lane.
TEST_F(FormTest, EachLanesNoteRisesInItsOwnLane)
{
    writeFile("Dodoroza.txt", "d dodoroza.mp3\n1 0\n2 0\n3 0\n4 0\n0 0\n");
    chooseSong(form->RadioButton1);
    start();
    for (QWidget* arrow : {form->left1, form->up1, form->down1, form->right1}) {
        ASSERT_FALSE(arrow->isVisible());
        form->Timer1Timer();
        EXPECT_TRUE(arrow->isVisible()) << arrow->objectName().toStdString();
    }
}

TEST_F(FormTest, ButtonStatesThroughStartStopAndFailedStart)
{
    chooseSong(form->RadioButton1);
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    EXPECT_EQ(states(*form), (ButtonStates{false, true, false, true, true}));
    EXPECT_EQ(form->Edit3->text(), "2");
    EXPECT_EQ(form->Edit4->text(), "5");
    EXPECT_EQ(form->TrackBar1->maximum(), 125400);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"setFileName:dodoroza.mp3", "open", "play"}));

    QTest::mouseClick(form->Button4, Qt::LeftButton);
    EXPECT_EQ(states(*form), (ButtonStates{true, true, true, true, true}));
    EXPECT_EQ(player.calls.back(), "stop");

    // A failed open stops start where it fails; the running timer goes on.
    player.failOpenWith = "Can't open audio file \"dodoroza.mp3\": no such file";
    player.lengthMs = 1000;
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    EXPECT_EQ(shell.messages, QStringList{QString::fromStdString(player.failOpenWith)});
    EXPECT_EQ(states(*form), (ButtonStates{true, true, true, true, true}));
    EXPECT_EQ(form->TrackBar1->maximum(), 125400);
    EXPECT_EQ(form->game().nextNote, 1);
}

// Stop, then start again: the file opened again and played from its start,
// the chart from its first note, the score as it stood, and the running
// timer left alone, since a restart would shift the tick's phase.
TEST_F(FormTest, StopThenStartReplaysTheChartWithTheScoreCarriedOver)
{
    playUntilTheLeftArrowIsGreat();
    press(Qt::Key_Left);
    release(Qt::Key_Left);
    ASSERT_EQ(form->Edit9->text(), "600");
    ASSERT_EQ(form->game().nextNote, 2);
    stop();
    // No event is handled meanwhile, so no tick can fire and re-arm the timer.
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    const int untilTick = form->Timer1->remainingTime();
    ASSERT_LT(untilTick, zorv::kTickMs);
    player.calls.clear();
    player.positionMs = 0;

    start();
    EXPECT_EQ(player.calls, (std::vector<std::string>{"setFileName:dodoroza.mp3", "open", "play"}));
    EXPECT_EQ(form->game().nextNote, 1);
    EXPECT_EQ(form->Edit9->text(), "600");
    EXPECT_EQ(form->Edit8->text(), "1");
    EXPECT_EQ(states(*form), (ButtonStates{false, true, false, true, true}));
    EXPECT_LE(form->Timer1->remainingTime(), untilTick) << "the timer was restarted";

    // Note 1 goes out again, into the next slot (left1 is still in flight),
    // and its great adds to the score of the first play.
    for (int i = 0; i < 57; ++i) {
        player.positionMs = i * 50;
        form->Timer1Timer();
    }
    EXPECT_EQ(form->game().nextNote, 2);
    EXPECT_TRUE(form->left1->isVisible());
    ASSERT_TRUE(form->left2->isVisible());
    EXPECT_EQ(form->left2->y(), 584 - 570);
    press(Qt::Key_Left);
    EXPECT_EQ(form->Edit9->text(), "700");
    EXPECT_EQ(form->Edit8->text(), "2");
}

TEST_F(FormTest, FailedFirstStartLeavesTheTimerOff)
{
    player.failOpenWith = "Can't open audio file \"\": no file name";
    QTest::mouseClick(form->Button3, Qt::LeftButton);  // no song chosen yet
    EXPECT_EQ(player.calls, (std::vector<std::string>{"setFileName:", "open"}));
    EXPECT_EQ(shell.messages.size(), 1);
    EXPECT_EQ(states(*form), (ButtonStates{true, true, true, false, false}));
    EXPECT_EQ(form->Edit3->text(), "");
}

TEST_F(FormTest, SongPanelLoadsTheChosenChartOnlyWhenTheChoiceChanges)
{
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_TRUE(form->Panel2->isVisible());
    QTest::mouseClick(form->RadioButton1, Qt::LeftButton);
    EXPECT_FALSE(form->Panel2->isVisible());
    EXPECT_STREQ(form->game().chart[0].col2, "dodoroza.mp3");

    // Clicking the checked song again reloads nothing and leaves the panel open.
    writeFile("Dodoroza.txt", "d changed.mp3\n");
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QTest::mouseClick(form->RadioButton1, Qt::LeftButton);
    EXPECT_TRUE(form->Panel2->isVisible());
    EXPECT_STREQ(form->game().chart[0].col2, "dodoroza.mp3");

    QTest::mouseClick(form->RadioButton2, Qt::LeftButton);
    EXPECT_FALSE(form->Panel2->isVisible());
    EXPECT_STREQ(form->game().chart[0].col2, "virizivez.mp3");
    EXPECT_STREQ(form->game().chart[3].col1, "0");
    EXPECT_TRUE(shell.messages.isEmpty());
}

// Start does not close a song panel left open. Choosing a song then loads its
// chart and sends the cursor back to note 1 while the music plays on, and
// the notes already due go out one per tick.
TEST_F(FormTest, SongChosenDuringPlayRestartsTheChartWhileTheMusicPlaysOn)
{
    chooseSong(form->RadioButton1);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    start();
    ASSERT_TRUE(form->Panel2->isVisible());
    player.positionMs = 1000;
    form->Timer1Timer();
    ASSERT_EQ(form->game().nextNote, 2);
    const std::vector<std::string> calls = player.calls;

    QTest::mouseClick(form->RadioButton2, Qt::LeftButton);
    EXPECT_STREQ(form->game().chart[0].col2, "virizivez.mp3");
    EXPECT_EQ(form->game().nextNote, 1);
    EXPECT_FALSE(form->Panel2->isVisible());
    EXPECT_EQ(player.calls, calls);
    EXPECT_EQ(states(*form), (ButtonStates{false, true, false, true, true}));

    // Virizivez: right at 0, up at 0, then its end.
    struct Tick {
        int nextNote;
        bool right1, up1;
    };
    for (const Tick& tick : {Tick{2, true, false}, Tick{3, true, true}, Tick{3, true, true}}) {
        player.positionMs += 50;
        form->Timer1Timer();
        EXPECT_EQ(form->game().nextNote, tick.nextNote) << player.positionMs;
        EXPECT_EQ(form->right1->isVisible(), tick.right1) << player.positionMs;
        EXPECT_EQ(form->up1->isVisible(), tick.up1) << player.positionMs;
    }
}

TEST_F(FormTest, MissingChartSaysSoAndEndsTheProcess)
{
    QFile::remove(filePath("Virizivez.txt"));
    chooseSong(form->RadioButton2);
    EXPECT_EQ(shell.messages, QStringList{"Can't open source.txt"});
    EXPECT_EQ(shell.exits, std::vector<int>{0});
    EXPECT_EQ(player.calls, std::vector<std::string>{"stop"});
    EXPECT_TRUE(form->Panel2->isVisible());
    EXPECT_EQ(form->game().nextNote, 1);
}

TEST_F(FormTest, ScriptedPlayJudgesAnArrowAtItsHeight)
{
    playUntilTheLeftArrowIsGreat();
    EXPECT_EQ(form->Edit1->text(), "0");
    EXPECT_EQ(form->Edit2->text(), "2");
    EXPECT_EQ(form->TrackBar1->value(), 2800);
    ASSERT_TRUE(form->left1->isVisible());
    EXPECT_EQ(form->left1->y(), 584 - 570);

    press(Qt::Key_Left);
    EXPECT_EQ(form->Edit9->text(), "600");
    EXPECT_EQ(form->Edit8->text(), "1");
    EXPECT_TRUE(form->greati->isVisible());
    EXPECT_FALSE(form->bleft->isVisible());
    release(Qt::Key_Left);
    EXPECT_FALSE(form->greati->isVisible());
    EXPECT_TRUE(form->bleft->isVisible());

    // The arrow retires on the first tick at or past its time plus 4000 ms.
    player.positionMs = 4000;
    form->Timer1Timer();
    EXPECT_FALSE(form->left1->isVisible());
    EXPECT_EQ(form->left1->y(), 587);
}

// Closing the window, by its close button or as the window manager does,
// ends the event loop, and with it the program, with status 0; close works
// during play.
TEST_F(FormTest, CloseEndsTheEventLoopWithStatusZero)
{
    struct Case {
        const char* name;
        void (*close)(TForm1&);
    };
    const Case cases[] = {
        {"close button", [](TForm1& f) { QTest::mouseClick(f.Button2, Qt::LeftButton); }},
        {"window manager", [](TForm1& f) { f.windowHandle()->close(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openForm(player);
        chooseSong(form->RadioButton1);
        start();
        QTimer::singleShot(0, form.get(), [&] { c.close(*form); });
        QTimer neverEnded;
        neverEnded.setSingleShot(true);
        QObject::connect(&neverEnded, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        neverEnded.start(5000);
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_FALSE(form->isVisible());
    }
    EXPECT_TRUE(shell.messages.isEmpty());
    EXPECT_TRUE(shell.exits.empty());
}

// At the song's end the player holds its position at the length, and nothing
// in the window reacts: the buttons stay as start left them and the timer
// runs on, each tick showing the length while arrows in flight keep rising.
TEST_F(FormTest, AfterTheSongsEndTicksGoOnAtItsLength)
{
    player.lengthMs = 3000;
    playUntilTheLeftArrowIsGreat();  // left1 at Top 14, retired at 4000 ms
    player.positionMs = 3000;
    QSignalSpy ticks(form->Timer1, &QTimer::timeout);
    for (int tick = 1; tick <= 3; ++tick) {
        ASSERT_TRUE(ticks.wait(1000)) << "tick " << tick;
        EXPECT_EQ(form->TrackBar1->value(), 3000);
        EXPECT_EQ(form->Edit1->text(), "0");
        EXPECT_EQ(form->Edit2->text(), "3");
        EXPECT_TRUE(form->left1->isVisible());
        EXPECT_EQ(form->left1->y(), 14 - 10 * tick);
        EXPECT_EQ(states(*form), (ButtonStates{false, true, false, true, true}));
    }
}

TEST_F(FormTest, TickPositionIsClampedByTheBar)
{
    chooseSong(form->RadioButton1);
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    player.positionMs = 200000;  // past the length of 125,400 ms
    form->Timer1Timer();
    EXPECT_EQ(form->TrackBar1->value(), 125400);
    EXPECT_EQ(form->Edit1->text(), "2");
    EXPECT_EQ(form->Edit2->text(), "5");
}

TEST_F(FormTest, EveryWriteReplacesWhatThePlayerTyped)
{
    chooseSong(form->RadioButton1);
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    form->Timer1Timer();
    form->Edit1->setFocus();
    QTest::keyClicks(form->Edit1, "abc");
    ASSERT_EQ(form->Edit1->text(), "0abc");
    form->Timer1Timer();  // the same minute again
    EXPECT_EQ(form->Edit1->text(), "0");
}

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
    auto held = [&] {
        std::string lanes;
        for (QWidget* target : {form->bleft, form->bup, form->bdown, form->bright})
            lanes += target->isVisible() ? '.' : 'x';
        return lanes;
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

TEST_F(FormTest, OnlyThePanelAndBackgroundFollowAResize)
{
    form->resize(900, 800);
    QApplication::processEvents();
    EXPECT_EQ(form->Panel1->geometry(), QRect(0, 0, 900, 800));
    EXPECT_EQ(form->bgd->geometry(), QRect(1, 1, 898, 798));
    EXPECT_EQ(form->Button1->geometry(), QRect(432, 576, 75, 25));
    EXPECT_EQ(form->Panel2->geometry(), QRect(96, 224, 185, 257));
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

// How each picture draws itself over a probe colour. A transparent one
// leaves its bitmap's key colour (the bottom-left corner's) unpainted, an
// opaque one paints it; in a rectangle twice its bitmap's size, a stretched
// one paints beyond the bitmap's own size, an unstretched one only within it.
TEST_F(FormTest, EachPictureIsDrawnStretchedAndTransparentAsItsKindWants)
{
    struct Look {
        std::vector<const char*> pictures;
        bool transparent, stretched;
    };
    const Look looks[] = {
        {{"bgd"}, false, true},
        {{"bleft", "bup", "bdown", "bright"}, true, false},
        {{"left1", "left2", "left3", "left4", "up1", "up2", "up3", "up4", "down1", "down2", "down3", "down4", "right1",
          "right2", "right3", "right4"},
         true,
         false},
        {{"greati", "goodi", "badi", "missi"}, true, true},
    };
    const QRgb probe = qRgb(0x12, 0x34, 0x56);
    auto draw = [&](QWidget* picture) {
        QImage canvas(picture->size(), QImage::Format_ARGB32_Premultiplied);
        canvas.fill(probe);
        picture->render(&canvas, QPoint(), QRegion(), {});
        return canvas;
    };
    std::ptrdiff_t looked = 0;
    for (const Look& look : looks) {
        for (const char* name : look.pictures) {
            SCOPED_TRACE(name);
            ++looked;
            auto* picture = form->findChild<QWidget*>(name);
            ASSERT_NE(picture, nullptr);
            const QImage natural = draw(picture);
            EXPECT_EQ(natural.pixel(0, natural.height() - 1) == probe, look.transparent);

            const auto row = std::find_if(std::begin(layout::kControls), std::end(layout::kControls),
                                          [&](const layout::Control& r) { return std::strcmp(r.name, name) == 0; });
            ASSERT_NE(row, std::end(layout::kControls));
            const QSize bitmap = QImage(QStringLiteral(":/assets/%1.bmp").arg(QLatin1String(row->text))).size();
            ASSERT_FALSE(bitmap.isEmpty());
            const QRect placed = picture->geometry();
            picture->resize(bitmap * 2);
            const QImage doubled = draw(picture);
            picture->setGeometry(placed);
            bool paintedBeyond = false;
            for (int y = 0; y < doubled.height(); ++y)
                for (int x = 0; x < doubled.width(); ++x)
                    paintedBeyond = paintedBeyond ||
                                    ((x >= bitmap.width() || y >= bitmap.height()) && doubled.pixel(x, y) != probe);
            EXPECT_EQ(paintedBeyond, look.stretched);
        }
    }
    EXPECT_EQ(looked, std::count_if(std::begin(layout::kControls), std::end(layout::kControls),
                                    [](const layout::Control& r) { return r.kind == layout::Kind::picture; }));
}

TEST(PictureBox, BottomLeftColourBecomesTransparent)
{
    QImage bitmap(3, 2, QImage::Format_RGB888);
    bitmap.fill(QColor(255, 0, 255));
    bitmap.setPixelColor(1, 0, QColor(10, 20, 30));
    bitmap.setPixelColor(2, 1, QColor(254, 0, 255));
    const QImage keyed = withoutKeyColour(bitmap);
    EXPECT_EQ(qAlpha(keyed.pixel(0, 1)), 0);
    EXPECT_EQ(qAlpha(keyed.pixel(0, 0)), 0);
    EXPECT_EQ(keyed.pixel(1, 0), qRgb(10, 20, 30));
    EXPECT_EQ(keyed.pixel(2, 1), qRgb(254, 0, 255));  // near the key is not the key
}

TEST(PictureBox, ColumnsJoinStackedRectanglesAndCoverTheRegion)
{
    struct Case {
        const char* name;
        QRegion region;
        int expectedColumns;
    };
    // Two arrows side by side at different heights: the region bands cut
    // each arrow's rectangle into pieces stacked on top of one another.
    QRegion sideBySide = QRegion(16, 100, 60, 70) + QRegion(96, 130, 60, 70);
    const Case cases[] = {
        {"one rectangle", QRegion(0, 0, 60, 70), 1},
        {"side by side, overlapping heights", sideBySide, 2},
        {"far apart", QRegion(0, 0, 10, 10) + QRegion(0, 50, 10, 10), 2},
        {"same column, touching", QRegion(5, 0, 10, 10) + QRegion(5, 10, 10, 10), 1},
        {"empty", QRegion(), 0},
    };
    for (const Case& c : cases) {
        const auto rects = columns(c.region);
        QRegion covered;
        for (const QRect& r : rects)
            covered += r;
        EXPECT_EQ(covered, c.region) << c.name;
        EXPECT_EQ(rects.size(), c.expectedColumns) << c.name;
    }
}

}  // namespace
}  // namespace zorv
