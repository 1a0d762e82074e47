#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "play/Play.h"
#include "support/RecordingDisplay.h"
#include "support/RulesSupport.h"

// Counts heap allocations so a test can show the tick makes none.
// GCC cannot see that this operator new pairs with the deletes below.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
std::atomic<long> allocations{0};
}
void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace zorv {
namespace {

using test::gameWithChart;
using test::RecordingDisplay;

bool shown(const Game& game, Picture picture) { return game.field[picture].visible; }
std::int32_t top(const Game& game, Picture picture) { return game.field[picture].top; }

// Ticks at t0, t0 + 50, ... up to and including t1.
void tickThrough(Game& game, std::int32_t t0, std::int32_t t1)
{
    for (std::int32_t t = t0; t <= t1; t += 50)
        tick(game, t);
}

TEST(Spawn, FifthNoteOfAFullLaneIsDroppedAndTheCursorPassesIt)
{
    Game game = gameWithChart("x a.mp3\n2 0\n2 500\n2 1000\n2 1500\n2 2000\n2 4500\n0 0\n");
    tickThrough(game, 0, 2000);

    for (Picture p : {Picture::up1, Picture::up2, Picture::up3, Picture::up4})
        EXPECT_TRUE(shown(game, p)) << test::pictureName(p);
    EXPECT_EQ(game.nextNote, 6);
    EXPECT_EQ(game.expireAt[4], 4000);
    EXPECT_EQ(game.expireAt[7], 5500);

    tickThrough(game, 2050, 4450);
    EXPECT_FALSE(shown(game, Picture::up1));  // retired on the tick at 4000
    EXPECT_EQ(top(game, Picture::up1), kSpawnTop);

    tick(game, 4500);
    EXPECT_TRUE(shown(game, Picture::up1));
    EXPECT_EQ(game.expireAt[4], 8500);
    EXPECT_EQ(top(game, Picture::up1), kSpawnTop - 10);
    EXPECT_EQ(game.nextNote, 7);
}

TEST(Spawn, TakesTheFirstFreeSlotNotTheNextInRotation)
{
    Game game = gameWithChart("x a.mp3\n1 0\n1 3000\n1 5000\n0 0\n");
    tickThrough(game, 0, 3000);     // left1 and left2 in flight
    tickThrough(game, 3050, 4000);  // left1 retired at 4000, left2 still busy
    ASSERT_FALSE(shown(game, Picture::left1));
    ASSERT_TRUE(shown(game, Picture::left2));

    tickThrough(game, 4050, 5000);
    EXPECT_TRUE(shown(game, Picture::left1));
    EXPECT_FALSE(shown(game, Picture::left3));
}

TEST(Spawn, NeverSetsTopAndArrowsMoveOnTheirOwnSpawnTick)
{
    Game game = gameWithChart("x a.mp3\n1 0\n3 0\n0 0\n");
    RecordingDisplay display;
    game.field.setDisplay(&display);

    tick(game, 0);
    // A never-used lane-1 picture starts from its layout Top.
    EXPECT_EQ(top(game, Picture::left1), kFirstLaneTop - 10);
    tick(game, 50);
    EXPECT_EQ(top(game, Picture::down1), kSpawnTop - 10);
    EXPECT_EQ(top(game, Picture::left1), kFirstLaneTop - 20);
    EXPECT_EQ(display.log, (std::vector<std::string>{"Edit1=0", "Edit2=0", "show left1", "top left1 574", "Edit1=0",
                                                     "Edit2=0", "show down1", "top left1 564", "top down1 577"}));
}

TEST(Spawn, SameTimeNotesGoOutOnConsecutiveTicks)
{
    Game game = gameWithChart("x a.mp3\n1 100\n4 100\n0 0\n");
    tickThrough(game, 100, 150);
    EXPECT_EQ(top(game, Picture::left1), kFirstLaneTop - 20);
    EXPECT_EQ(top(game, Picture::right1), kSpawnTop - 10);
}

TEST(Spawn, SpawnComesBeforeRetirementWithinOneTick)
{
    // left1..left4 busy; the tick at 4000 retires left1 but spawns first.
    Game game = gameWithChart("x a.mp3\n1 0\n1 1000\n1 2000\n1 3000\n1 4000\n0 0\n");
    tickThrough(game, 0, 4000);
    EXPECT_EQ(game.nextNote, 6);
    EXPECT_FALSE(shown(game, Picture::left1));
    EXPECT_TRUE(shown(game, Picture::left4));
    EXPECT_EQ(game.expireAt[3], 7000);  // the note at 4000 was dropped
}

TEST(Spawn, LateNoteIsRetiredOnItsSpawnTick)
{
    Game game = gameWithChart("x a.mp3\n3 1000\n0 0\n");
    RecordingDisplay display;
    game.field.setDisplay(&display);
    tick(game, 5000);
    EXPECT_FALSE(shown(game, Picture::down1));
    EXPECT_EQ(display.log, (std::vector<std::string>{"Edit1=0", "Edit2=5", "show down1", "top down1 577", "hide down1",
                                                     "top down1 587"}));
}

TEST(Spawn, RetirementTimeSaturatesNearTheLimit)
{
    Game game = gameWithChart("x a.mp3\n2 2147483000\n0 0\n");
    tick(game, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(game.expireAt[4], std::numeric_limits<std::int32_t>::max());
    EXPECT_FALSE(shown(game, Picture::up1));  // t reached the saturated time
}

TEST(Tick, ClockShowsWholeMinutesAndSeconds)
{
    struct Case {
        std::int32_t t;
        const char* minutes;
        const char* seconds;
    };
    const Case cases[] = {{0, "0", "0"},     {999, "0", "0"},    {59999, "0", "59"},
                          {60000, "1", "0"}, {125000, "2", "5"}, {3600000, "60", "0"}};
    for (const Case& c : cases) {
        Game game;
        tick(game, c.t);
        EXPECT_EQ(game.field.text(Box::Edit1), c.minutes) << c.t;
        EXPECT_EQ(game.field.text(Box::Edit2), c.seconds) << c.t;
    }
}

TEST(Tick, ChartEndsAtARecordWithoutAValidLane)
{
    for (const char* lane : {"0", "5", "-1", "x"}) {
        Game game = gameWithChart(std::string("x a.mp3\n2 0\n") + lane + " 0\n4 0\n");
        tickThrough(game, 0, 500);
        EXPECT_EQ(game.nextNote, 2) << lane;
        EXPECT_FALSE(shown(game, Picture::right1)) << lane;
        EXPECT_EQ(top(game, Picture::up1), kSpawnTop - 110) << lane;  // still moving
    }
}

TEST(Tick, LaneTokensWithTrailingTextOrLeadingZerosCount)
{
    Game game = gameWithChart("x a.mp3\n01 0\n1x 0\n0 0\n");
    tickThrough(game, 0, 50);
    EXPECT_TRUE(shown(game, Picture::left1));
    EXPECT_TRUE(shown(game, Picture::left2));
}

TEST(Tick, ChartEndsAfterTheLastRecordOfTheTable)
{
    std::string text = "x a.mp3\n";
    for (int i = 1; i < kChartRecords; ++i)
        text += std::to_string(1 + i % 4) + " 0\n";
    Game game = gameWithChart(text);
    for (int i = 0; i < kChartRecords + 20; ++i)
        tick(game, 100000);
    EXPECT_EQ(game.nextNote, kChartRecords);

    spawn(game, Lane::left);  // called directly, past the table
    EXPECT_EQ(game.nextNote, kChartRecords);
}

TEST(Tick, NoteEarlierThanItsPredecessorGoesOutOnTheNextTick)
{
    Game game = gameWithChart("x a.mp3\n1 3000\n2 0\n0 0\n");
    tick(game, 0);  // note 1 not due, and note 2 waits behind it
    EXPECT_FALSE(shown(game, Picture::up1));
    tick(game, 3000);
    tick(game, 3050);
    EXPECT_EQ(top(game, Picture::left1), kFirstLaneTop - 20);
    EXPECT_EQ(top(game, Picture::up1), kSpawnTop - 10);
}

TEST(Tick, HeaderNameStartingWithDigitsHoldsArrowsWhileTheCursorIsOnNoteOne)
{
    Game game = gameWithChart("x 3000song.mp3\n1 0\n0 0\n");
    tick(game, 0);      // left1 out; P is now the note's time 0
    game.nextNote = 1;  // as after the start button
    RecordingDisplay display;
    game.field.setDisplay(&display);

    std::strcpy(game.chart[1].col2, "9000");  // note 1 not due yet
    tick(game, 2950);
    EXPECT_EQ(display.log, (std::vector<std::string>{"Edit1=0", "Edit2=2"}));
    tick(game, 3000);
    EXPECT_EQ(top(game, Picture::left1), kFirstLaneTop - 20);
}

TEST(Tick, HeldTickNeitherMovesNorRetires)
{
    Game game = gameWithChart("x 9000.mp3\n2 0\n0 0\n");
    tick(game, 0);
    game.nextNote = 1;
    std::strcpy(game.chart[1].col2, "9500");
    const std::int32_t before = top(game, Picture::up1);
    tick(game, 8000);  // past expireAt 4000, but held by the header's 9000
    EXPECT_TRUE(shown(game, Picture::up1));
    EXPECT_EQ(top(game, Picture::up1), before);
}

TEST(Tick, OnlyShownPicturesMoveAndRetiredOnesAreHiddenBeforeParking)
{
    Game game = gameWithChart("x a.mp3\n4 0\n0 0\n");
    tickThrough(game, 0, 3950);
    RecordingDisplay display;
    game.field.setDisplay(&display);
    tick(game, 4000);
    tick(game, 4050);
    EXPECT_EQ(display.log, (std::vector<std::string>{"Edit1=0", "Edit2=4", "top right1 -223", "hide right1",
                                                     "top right1 587", "Edit1=0", "Edit2=4"}));
}

TEST(Tick, ArrowsKeepRisingOnAFrozenPositionAndTopSaturates)
{
    Game game = gameWithChart("x a.mp3\n1 0\n0 0\n");
    tick(game, 0);
    game.field.setTop(Picture::left1, std::numeric_limits<std::int32_t>::min() + 5);
    tick(game, 0);
    EXPECT_EQ(top(game, Picture::left1), std::numeric_limits<std::int32_t>::min());
    EXPECT_TRUE(shown(game, Picture::left1));
}

TEST(Tick, AllocatesNothing)
{
    Game game = gameWithChart("x a.mp3\n1 0\n2 0\n3 0\n4 0\n1 0\n2 0\n3 0\n4 0\n0 0\n");
    const long before = allocations.load();
    for (int i = 0; i < 200; ++i)
        tick(game, i * 50);
    EXPECT_EQ(allocations.load() - before, 0);
}

TEST(Playback, LengthShowsWholeMinutesAndSeconds)
{
    struct Case {
        std::int32_t length;
        const char* minutes;
        const char* seconds;
    };
    const Case cases[] = {{0, "0", "0"}, {59999, "0", "59"}, {125400, "2", "5"}, {-5, "0", "0"}};
    for (const Case& c : cases) {
        Game game;
        showLength(game, c.length);
        EXPECT_EQ(game.field.text(Box::Edit3), c.minutes) << c.length;
        EXPECT_EQ(game.field.text(Box::Edit4), c.seconds) << c.length;
    }
}

TEST(Playback, AudioNameIsTheHeadersSecondToken)
{
    EXPECT_EQ(audioFileName(gameWithChart("x tunes/a b.mp3\n")), "tunes/a");
    EXPECT_EQ(audioFileName(gameWithChart("")), "");
}

}  // namespace
}  // namespace zorv
