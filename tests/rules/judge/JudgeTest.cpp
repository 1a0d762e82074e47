#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "judge/Judge.h"
#include "support/RecordingDisplay.h"

namespace zorv {
namespace {

using test::RecordingDisplay;

struct Totals {
    std::int32_t score, great, good, bad, miss;
};

Totals totals(const Game& game)
{
    const ScoreBoard& b = game.board;
    return {b.score, b.greatCount, b.goodCount, b.badCount, b.missCount};
}

bool operator==(const Totals& a, const Totals& b)
{
    return a.score == b.score && a.great == b.great && a.good == b.good && a.bad == b.bad && a.miss == b.miss;
}

std::ostream& operator<<(std::ostream& out, const Totals& t)
{
    return out << "{score " << t.score << ", great " << t.great << ", good " << t.good << ", bad " << t.bad << ", miss "
               << t.miss << "}";
}

TEST(KeyDown, WindowBoundariesDecideTheJudgement)
{
    struct Case {
        std::int32_t top;
        Totals after;
    };
    const Case cases[] = {
        {111, {500, 0, 0, 0, 0}}, {600, {500, 0, 0, 0, 0}}, {110, {400, 0, 0, 0, 1}}, {81, {400, 0, 0, 0, 1}},
        {80, {450, 0, 0, 1, 0}},  {51, {450, 0, 0, 1, 0}},  {50, {550, 0, 1, 0, 0}},  {21, {550, 0, 1, 0, 0}},
        {20, {600, 1, 0, 0, 0}},  {0, {600, 1, 0, 0, 0}},   {-1, {500, 0, 0, 0, 0}},  {-3, {500, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        Game game;
        game.field.setTop(Picture::up3, c.top);
        keyDown(game, kKeyUp);
        EXPECT_EQ(totals(game), c.after) << "Top " << c.top;
    }
}

TEST(KeyDown, EachKeyJudgesItsOwnLaneAndHidesItsOwnTarget)
{
    struct Case {
        std::uint16_t key;
        Picture slot;
        Picture target;
    };
    const Case cases[] = {
        {37, Picture::left2, Picture::bleft},
        {38, Picture::up2, Picture::bup},
        {39, Picture::right2, Picture::bright},
        {40, Picture::down2, Picture::bdown},
    };
    for (const Case& c : cases) {
        Game game;
        game.field.setTop(c.slot, 7);
        keyDown(game, c.key);
        EXPECT_EQ(game.board.greatCount, 1) << c.key;
        for (Picture t : {Picture::bleft, Picture::bup, Picture::bdown, Picture::bright})
            EXPECT_EQ(game.field[t].visible, t != c.target) << c.key << " " << test::pictureName(t);
    }
}

TEST(KeyDown, OtherKeysChangeNothing)
{
    for (std::uint16_t key : {0, 32, 36, 41, 49, 0x25 + 0x100, 0xffff}) {
        Game game;
        game.field.setTop(Picture::left1, 7);
        RecordingDisplay display;
        game.field.setDisplay(&display);
        keyDown(game, key);
        keyUp(game, key);
        EXPECT_TRUE(display.log.empty()) << key;
        EXPECT_EQ(game.board.score, 500);
    }
}

TEST(KeyDown, OnePressJudgesEveryWindowHoldingAnArrowInWindowOrder)
{
    Game game;
    game.field.setTop(Picture::left1, 57);
    game.field.setTop(Picture::left2, 7);
    game.field.setTop(Picture::left3, 97);
    game.field.setTop(Picture::left4, 37);
    RecordingDisplay display;
    game.field.setDisplay(&display);

    keyDown(game, kKeyLeft);

    EXPECT_EQ(totals(game), (Totals{500, 1, 1, 1, 1}));
    EXPECT_EQ(display.log, (std::vector<std::string>{"hide bleft", "Edit9=400", "Edit5=1", "show missi", "Edit9=500",
                                                     "Edit8=1", "show greati", "Edit9=550", "Edit7=1", "show goodi",
                                                     "Edit9=500", "Edit6=1", "show badi"}));
}

TEST(KeyDown, GreatAndBadFromOnePress)
{
    Game game;
    game.field.setTop(Picture::left1, 57);
    game.field.setTop(Picture::left2, 7);
    keyDown(game, kKeyLeft);
    EXPECT_EQ(totals(game), (Totals{550, 1, 0, 1, 0}));
    EXPECT_TRUE(game.field[Picture::greati].visible);
    EXPECT_TRUE(game.field[Picture::badi].visible);
    EXPECT_EQ(game.field.text(Box::Edit9), "550");
}

TEST(KeyDown, OnlyTheFirstArrowInPoolOrderCountsWithinAWindow)
{
    Game game;
    game.field.setTop(Picture::left3, 37);
    game.field.setTop(Picture::left1, 37);
    keyDown(game, kKeyLeft);
    EXPECT_EQ(totals(game), (Totals{550, 0, 1, 0, 0}));
}

TEST(KeyDown, HiddenArrowsAreJudgedByTheirTopAlone)
{
    Game game;
    ASSERT_FALSE(game.field[Picture::down4].visible);
    game.field.setTop(Picture::down4, 7);
    keyDown(game, kKeyDown);
    EXPECT_EQ(game.board.greatCount, 1);
}

TEST(KeyDown, ArrowsOnTheirStartingRowsAreNeverJudged)
{
    Game game;
    for (std::uint16_t key : {kKeyLeft, kKeyUp, kKeyRight, kKeyDown})
        keyDown(game, key);
    EXPECT_EQ(totals(game), (Totals{500, 0, 0, 0, 0}));
    EXPECT_EQ(game.field.text(Box::Edit9), "sum");
    EXPECT_FALSE(game.field[Picture::bleft].visible);
}

TEST(KeyDown, AnArrowIsJudgedAgainOnEveryPress)
{
    Game game;
    game.field.setTop(Picture::right1, 97);
    keyDown(game, kKeyRight);
    game.field.setTop(Picture::right1, 37);
    keyDown(game, kKeyRight);
    keyDown(game, kKeyRight);  // auto-repeat: judged in full each time
    EXPECT_EQ(totals(game), (Totals{500, 0, 2, 0, 1}));
    EXPECT_EQ(game.field[Picture::right1].top, 37);
}

TEST(KeyDown, ScoreGoesNegativeAndSaturates)
{
    Game game;
    game.field.setTop(Picture::up1, 90);
    for (int i = 0; i < 6; ++i)
        keyDown(game, kKeyUp);
    EXPECT_EQ(game.field.text(Box::Edit9), "-100");
    EXPECT_EQ(game.field.text(Box::Edit5), "6");

    game.board.score = std::numeric_limits<std::int32_t>::min() + 30;
    game.board.missCount = std::numeric_limits<std::int32_t>::max();
    keyDown(game, kKeyUp);
    EXPECT_EQ(game.board.score, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(game.board.missCount, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(game.field.text(Box::Edit9), "-2147483648");
}

TEST(ScoreBoardText, PlaceholdersStayUntilTheirOwnKindIsJudged)
{
    Game game;
    EXPECT_EQ(game.field.text(Box::Edit9), "sum");
    for (Box box : {Box::Edit5, Box::Edit6, Box::Edit7, Box::Edit8})
        EXPECT_EQ(game.field.text(box), "Edit5");
    for (Box box : {Box::Edit1, Box::Edit2, Box::Edit3, Box::Edit4})
        EXPECT_EQ(game.field.text(box), "");

    game.field.setTop(Picture::left1, 90);
    keyDown(game, kKeyLeft);
    EXPECT_EQ(game.field.text(Box::Edit9), "400");
    EXPECT_EQ(game.field.text(Box::Edit5), "1");  // misses
    for (Box box : {Box::Edit6, Box::Edit7, Box::Edit8})
        EXPECT_EQ(game.field.text(box), "Edit5");
}

TEST(KeyUp, ShowsTheTargetAndHidesAllJudgementPicturesInOrder)
{
    Game game;
    game.field.setTop(Picture::up1, 7);
    game.field.setTop(Picture::left1, 97);
    keyDown(game, kKeyUp);
    keyDown(game, kKeyLeft);
    RecordingDisplay display;
    game.field.setDisplay(&display);

    keyUp(game, kKeyLeft);

    EXPECT_EQ(display.log,
              (std::vector<std::string>{"show bleft", "hide greati", "hide missi", "hide goodi", "hide badi"}));
    EXPECT_FALSE(game.field[Picture::bup].visible);  // up still held
    EXPECT_EQ(totals(game), (Totals{500, 1, 0, 0, 1}));
}

TEST(KeyUp, WithoutAPressStillClearsJudgementPictures)
{
    Game game;
    game.field.setVisible(Picture::goodi, true);
    keyUp(game, kKeyDown);
    EXPECT_TRUE(game.field[Picture::bdown].visible);
    EXPECT_FALSE(game.field[Picture::goodi].visible);
}

}  // namespace
}  // namespace zorv
