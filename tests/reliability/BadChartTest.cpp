// Odd charts read from disk through the song panel and played by the window:
// none of them is worth a message, and each plays by the same rules as a
// well-formed one. The player is the fake, so each tick's position is exact.
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <algorithm>
#include <cstring>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "app/PictureBox.h"
#include "support/FakeMediaPlayer.h"
#include "support/WindowTest.h"

namespace zorv::test {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct Record {
    int index;
    std::string col1, col2;  // compared byte for byte up to the field's NUL
};

struct SlotTop {
    int slot;  // 0..15, left1..right4
    int top;
};

struct ChartCase {
    const char* name;
    std::string text;
    std::vector<Record> records;
    std::vector<std::int32_t> ticks;  // play positions, in order
    std::int32_t nextNote;            // after the ticks
    std::vector<int> shown;           // slots shown after the ticks, every other one hidden
    std::vector<SlotTop> tops;
};

std::string notes(int count, const std::string& header = "d dodoroza.mp3\n")
{
    std::string text = header;
    for (int i = 1; i <= count; ++i)
        text += std::to_string((i - 1) % 4 + 1) + " " + std::to_string(i) + "\n";
    return text;
}

std::vector<std::int32_t> positions(std::int32_t from, int count, std::int32_t step = 50)
{
    std::vector<std::int32_t> ticks;
    for (int i = 0; i < count; ++i)
        ticks.push_back(from + i * step);
    return ticks;
}

std::vector<int> allSlots()
{
    std::vector<int> all;
    for (int slot = 0; slot < kSlotCount; ++slot)
        all.push_back(slot);
    return all;
}

class BadChart : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        player.lengthMs = kMax;  // the bar then passes every position on
    }

    std::vector<PictureBox*> slotPictures() const
    {
        return {form->left1,  form->left2,  form->left3,  form->left4, form->up1,   form->up2,
                form->up3,    form->up4,    form->down1,  form->down2, form->down3, form->down4,
                form->right1, form->right2, form->right3, form->right4};
    }

    FakeMediaPlayer player;
};

TEST_F(BadChart, OddChartsAreReadSilentlyAndPlayByTheRules)
{
    const std::string longName(10'000, 'n');
    const std::string longNumber(10'000, '9');
    static constexpr char kBinary[] = "\x01\x02 \xff\xfe\n1\x00x 0\n\x7f\x80 0\n";
    const std::string binary(kBinary, sizeof kBinary - 1);
    const ChartCase cases[] = {
        {"empty", "", {{0, "", ""}, {1, "", ""}}, positions(0, 3), 1, {}, {}},
        {"header only", "d dodoroza.mp3", {{0, "d", "dodoroza.mp3"}, {1, "", ""}}, positions(0, 3), 1, {}, {}},
        // The table holds 300 pairs; the ten beyond are never read.
        {"310 pairs", notes(309), {{298, "2", "298"}, {299, "3", "299"}}, positions(300, 310, 1), 300, allSlots(), {}},
        {"binary bytes",
         binary,
         {{0, "\x01\x02", "\xff\xfe"}, {1, "1", "0"}, {2, "\x7f\x80", "0"}},
         positions(0, 3),
         2,
         {0},
         {{0, 554}}},
        {"10,000-character name",
         "d " + longName + "\n2 0\n0 0\n",
         {{0, "d", longName.substr(0, 99)}, {1, "2", "0"}, {2, "0", "0"}},
         positions(0, 2),
         2,
         {4},
         {{4, 567}}},
        {"10,000-digit time",
         "d dodoroza.mp3\n1 " + longNumber + "\n",
         {{1, "1", longNumber.substr(0, 99)}},
         {0, kMax - 1},
         1,
         {},
         {}},
        {"lane 0 ends the chart", "d dodoroza.mp3\n0 0\n1 0\n", {}, positions(0, 3), 1, {}, {}},
        {"lane 5 ends the chart", "d dodoroza.mp3\n5 0\n1 0\n", {}, positions(0, 3), 1, {}, {}},
        {"lane -1 ends the chart", "d dodoroza.mp3\n3 0\n-1 0\n1 0\n", {}, positions(0, 3), 2, {8}, {{8, 557}}},
        {"01 and 1x are lane 1",
         "d dodoroza.mp3\n01 0\n1x 0\n0 0\n",
         {},
         positions(0, 2),
         3,
         {0, 1},
         {{0, 564}, {1, 574}}},
        {"+2^40 is never due", "d dodoroza.mp3\n1 +1099511627776\n", {}, {0, 1'000'000, kMax - 1}, 1, {}, {}},
        // Due at once; its retirement time saturates at the low limit, so the
        // tick that shows it also retires it.
        {"-2^40 is due at once and retires at once",
         "d dodoroza.mp3\n1 -1099511627776\n2 0\n",
         {},
         positions(0, 2),
         3,
         {4},
         {{0, 587}, {4, 577}}},
        // The retirement time stops at the high limit instead of wrapping
        // round to a time long past.
        {"retirement near the limit saturates",
         "d dodoroza.mp3\n3 2147483000\n",
         {},
         {2147483000, 2147483600, kMax - 1},
         2,
         {8},
         {{8, 557}}},
    };
    for (const ChartCase& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile("Dodoroza.txt", QByteArray::fromStdString(c.text));
        openForm(player);
        chooseSong(form->RadioButton1);
        start();
        ASSERT_TRUE(form->Timer1->isActive());
        for (const Record& r : c.records) {
            const auto& line = form->game().chart[r.index];
            EXPECT_EQ(std::string(line.col1, strnlen(line.col1, ChartLine::kFieldSize)), r.col1) << r.index;
            EXPECT_EQ(std::string(line.col2, strnlen(line.col2, ChartLine::kFieldSize)), r.col2) << r.index;
        }
        for (std::int32_t t : c.ticks) {
            player.positionMs = t;
            form->Timer1Timer();
        }
        EXPECT_EQ(form->game().nextNote, c.nextNote);
        const std::vector<PictureBox*> pictures = slotPictures();
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const bool expected = std::find(c.shown.begin(), c.shown.end(), slot) != c.shown.end();
            EXPECT_EQ(pictures[slot]->isVisible(), expected) << "slot " << slot;
        }
        for (const SlotTop& s : c.tops)
            EXPECT_EQ(pictures[s.slot]->y(), s.top) << "slot " << s.slot;
        EXPECT_TRUE(shell.messages.isEmpty()) << shell.messages.join('\n').toStdString();
        EXPECT_TRUE(shell.exits.empty());
        form.reset();
    }
}

TEST_F(BadChart, RetirementTimesStayInsideTheIntRange)
{
    writeFile("Dodoroza.txt", "d dodoroza.mp3\n1 -1099511627776\n2 2147483000\n");
    openForm(player);
    chooseSong(form->RadioButton1);
    start();
    for (std::int32_t t : {0, 2147483000}) {
        player.positionMs = t;
        form->Timer1Timer();
    }
    EXPECT_EQ(form->game().expireAt[0], kMin + 4000);
    EXPECT_EQ(form->game().expireAt[4], kMax);
}

// A chart that cannot be read says so and ends the process with status 0,
// leaving the table as it was.
TEST_F(BadChart, UnopenableChartSaysSoAndEndsTheProcess)
{
    struct Case {
        const char* name;
        void (*make)(const QDir&);
    };
    const Case cases[] = {
        {"missing", [](const QDir&) {}},
        {"dangling link", [](const QDir& d) { QFile::link(d.filePath("gone.txt"), d.filePath("Virizivez.txt")); }},
        {"directory", [](const QDir& d) { d.mkdir("Virizivez.txt"); }},
        {"FIFO", [](const QDir& d) { mkfifo(d.filePath("Virizivez.txt").toLocal8Bit().constData(), 0600); }},
        {"link to a FIFO",
         [](const QDir& d) {
             mkfifo(d.filePath("pipe").toLocal8Bit().constData(), 0600);
             QFile::link(d.filePath("pipe"), d.filePath("Virizivez.txt"));
         }},
        {"link to /dev/zero", [](const QDir& d) { QFile::link("/dev/zero", d.filePath("Virizivez.txt")); }},
        {"character device", [](const QDir& d) { QFile::link("/dev/null", d.filePath("Virizivez.txt")); }},
    };
    writeFile("Dodoroza.txt", "d kept.mp3\n1 0\n0 0\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir here = folder();
        here.remove("Virizivez.txt");
        here.remove("pipe");
        here.rmdir("Virizivez.txt");
        c.make(here);
        shell = RecordingShell();
        openForm(player);
        chooseSong(form->RadioButton1);
        start();
        player.positionMs = 1000;
        form->Timer1Timer();
        stop();
        ASSERT_EQ(form->game().nextNote, 2);

        chooseSong(form->RadioButton2);
        EXPECT_EQ(shell.messages, QStringList{"Can't open source.txt"});
        EXPECT_EQ(shell.exits, std::vector<int>{0});
        EXPECT_EQ(form->game().nextNote, 1);
        EXPECT_STREQ(form->game().chart[0].col2, "kept.mp3");
        form.reset();
    }
}

}  // namespace
}  // namespace zorv::test
