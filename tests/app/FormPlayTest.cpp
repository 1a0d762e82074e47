// The window played with clicks and ticks: notes rising in their lanes, the
// buttons through start and stop, the song panel, the song's end and the
// boxes the tick writes, with a fake player whose position the test sets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <cstring>
#include <thread>

#include "app/Form.h"
#include "app/PictureBox.h"
#include "play/Play.h"
#include "support/FakeMediaPlayer.h"
#include "support/FormTest.h"
#include "support/WindowTest.h"

namespace zorv {
namespace {

using test::ButtonStates;
using test::FormTest;
using test::states;

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

}  // namespace
}  // namespace zorv
