#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "chart/Chart.h"
#include "support/TempDir.h"

namespace zorv {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct NumberCase {
    const char* text;
    std::int32_t value;
};

TEST(ChartNumber, FollowsTheNumberRule)
{
    const NumberCase cases[] = {
        {"3", 3},
        {"03", 3},
        {"   3", 3},
        {"\t\n\v\f\r3", 3},
        {"3x", 3},
        {"1x", 1},
        {"x3", 0},
        {"", 0},
        {"-", 0},
        {"+", 0},
        {"+7", 7},
        {"-12", -12},
        {"+-3", 0},
        {"- 3", 0},
        {"0", 0},
        {"-0", 0},
        {"12.9", 12},
        {"1 2", 1},
        {"2147483647", kMax},
        {"-2147483648", kMin},
        {"2147483648", kMax},
        {"-2147483649", kMin},
        {"1099511627776", kMax},
        {"-1099511627776", kMin},
        {"99999999999999999999999999999999999999", kMax},
        {"000000000000000000000000000000000000042", 42},
    };
    for (const NumberCase& c : cases)
        EXPECT_EQ(chartNumber(c.text), c.value) << '"' << c.text << '"';
}

struct Record {
    int index;
    const char* col1;
    const char* col2;
};

struct PairingCase {
    const char* name;
    std::string text;
    std::vector<Record> expected;
};

std::string manyPairs(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "p" + std::to_string(i) + " q" + std::to_string(i) + "\n";
    return text;
}

TEST(ReadChart, PairsTokensIntoRecords)
{
    const std::string longToken(150, 'a');
    const std::string cut(99, 'a');
    const PairingCase cases[] = {
        {"one pair per line",
         "x song.mp3\n1 100\n4 200\n",
         {{0, "x", "song.mp3"}, {1, "1", "100"}, {2, "4", "200"}, {3, "", ""}}},
        {"white space of any kind",
         "x\tsong.mp3\r\n\r\n   1    100\r\n\n\v4\f200",
         {{0, "x", "song.mp3"}, {1, "1", "100"}, {2, "4", "200"}, {3, "", ""}}},
        {"lines carry no meaning",
         "x song.mp3 1\n100 4 200\n",
         {{0, "x", "song.mp3"}, {1, "1", "100"}, {2, "4", "200"}}},
        {"a third token shifts the pairing",
         "x song.mp3\n1 100 7\n4 200\n",
         {{1, "1", "100"}, {2, "7", "4"}, {3, "200", ""}}},
        {"odd count fills col1 only", "x song.mp3\n3", {{1, "3", ""}, {2, "", ""}}},
        {"empty file", "", {{0, "", ""}, {1, "", ""}}},
        {"header only", "x song.mp3", {{0, "x", "song.mp3"}, {1, "", ""}}},
        {"overlong token is cut, pairing kept",
         "x " + longToken + "\n2 300\n",
         {{0, "x", cut.c_str()}, {1, "2", "300"}}},
        {"310 pairs fill the table", manyPairs(310), {{0, "p0", "q0"}, {299, "p299", "q299"}}},
    };
    for (const PairingCase& c : cases) {
        ChartTable chart{};
        readChart(chart, c.text);
        for (const Record& r : c.expected) {
            EXPECT_STREQ(chart[r.index].col1, r.col1) << c.name << ", record " << r.index;
            EXPECT_STREQ(chart[r.index].col2, r.col2) << c.name << ", record " << r.index;
        }
    }
}

TEST(ReadChart, ShorterChartLeavesTheLongerOnesRecordsBehind)
{
    ChartTable chart{};
    readChart(chart, "a long.mp3\n1 100\n2 200\n3 300\n4 400\n");
    readChart(chart, "b short.mp3\n4 50\n7");

    EXPECT_STREQ(chart[0].col2, "short.mp3");
    EXPECT_STREQ(chart[1].col1, "4");
    EXPECT_STREQ(chart[1].col2, "50");
    // Odd token count: the new lane over the old time.
    EXPECT_STREQ(chart[2].col1, "7");
    EXPECT_STREQ(chart[2].col2, "200");
    EXPECT_STREQ(chart[3].col1, "3");
    EXPECT_STREQ(chart[4].col2, "400");
}

TEST(ReadChart, SameChartTwiceGivesTheSameTable)
{
    const char* text = "x song.mp3\n1 100\n2 200\n";
    ChartTable once{}, twice{};
    readChart(once, text);
    readChart(twice, text);
    readChart(twice, text);
    for (int i = 0; i < kChartRecords; ++i) {
        EXPECT_STREQ(once[i].col1, twice[i].col1);
        EXPECT_STREQ(once[i].col2, twice[i].col2);
    }
}

TEST(LoadChart, RewindsTheCursorEvenWhenTheFileCannotBeOpened)
{
    ChartTable chart{};
    readChart(chart, "x kept.mp3\n");
    std::int32_t nextNote = 42;

    EXPECT_FALSE(loadChart(chart, nextNote, "/nonexistent/Dodoroza.txt"));
    EXPECT_EQ(nextNote, 1);
    EXPECT_STREQ(chart[0].col2, "kept.mp3");
}

// Anything but a regular file is refused before a byte is read, without
// waiting: a FIFO would block the open, /dev/zero read one endless token.
TEST(LoadChart, RefusesEverythingButARegularFileWithoutWaiting)
{
    const test::TempDir dir;
    const auto at = [&](const char* name) { return (dir.path() / name).string(); };
    ASSERT_EQ(mkfifo(at("fifo").c_str(), 0600), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", at("socket").c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_directory(at("folder"));
    std::filesystem::create_symlink("/dev/zero", at("zero"));
    std::filesystem::create_symlink(at("fifo"), at("link-to-fifo"));

    for (const std::string& path :
         {at("fifo"), at("socket"), at("folder"), at("zero"), at("link-to-fifo"), std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        ChartTable chart{};
        readChart(chart, "x kept.mp3\n");
        std::int32_t nextNote = 7;
        EXPECT_FALSE(loadChart(chart, nextNote, path.c_str()));
        EXPECT_EQ(nextNote, 1);
        EXPECT_STREQ(chart[0].col2, "kept.mp3");
    }
    close(sock);
}

TEST(LoadChart, ReadsAFileByPath)
{
    const auto path = std::filesystem::temp_directory_path() / "zorv-chart-test.txt";
    std::ofstream(path) << "x tune.mp3\n2 1500\n";
    ChartTable chart{};
    std::int32_t nextNote = 9;

    EXPECT_TRUE(loadChart(chart, nextNote, path.c_str()));
    EXPECT_EQ(nextNote, 1);
    EXPECT_STREQ(chart[0].col2, "tune.mp3");
    EXPECT_STREQ(chart[1].col2, "1500");
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace zorv
