#include "chart/Chart.h"

#include <limits>

#include "core/Lanes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zorv {
namespace {

// Reads the next token into `field`, cut to 99 characters. Returns false at
// the end of the input before any token, leaving `field` as it was.
template <typename Tokenizer>
bool readField(Tokenizer& tokens, char (&field)[ChartLine::kFieldSize])
{
    int length = 0;
    const bool found = tokens.next([&](char c) {
        if (length < ChartLine::kFieldChars)
            field[length++] = c;
    });
    if (found)
        field[length] = '\0';
    return found;
}

// One pair per record, 300 times; once the input runs out the remaining
// reads find nothing and store nothing.
template <typename NextByte>
void readPairs(ChartTable& chart, NextByte next)
{
    ChartTokenizer tokens(next);
    for (ChartLine& line : chart) {
        if (readField(tokens, line.col1))
            readField(tokens, line.col2);
    }
}

}  // namespace

std::int32_t chartNumber(const char* text) noexcept
{
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();

    const char* p = text;
    while (isChartSpace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Accumulate away from zero; stop growing once past the range.
    std::int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value <= kMax + 1)
            value = value * 10 + (*p - '0');
    }
    if (negative)
        return value > -kMin ? static_cast<std::int32_t>(kMin) : static_cast<std::int32_t>(-value);
    return value > kMax ? static_cast<std::int32_t>(kMax) : static_cast<std::int32_t>(value);
}

void readChart(ChartTable& chart, std::string_view text)
{
    std::size_t at = 0;
    readPairs(chart, [&]() -> int { return at < text.size() ? static_cast<unsigned char>(text[at++]) : EOF; });
}

std::vector<ChartNote> chartNotes(const ChartTable& chart)
{
    std::vector<ChartNote> notes;
    for (int record = 1; record < kChartRecords; ++record) {
        const std::int32_t lane = chartNumber(chart[record].col1);
        if (!isLane(lane))
            break;
        notes.push_back({lane, chartNumber(chart[record].col2)});
    }
    return notes;
}

std::FILE* openChartFile(const char* path) noexcept
{
    // Opened without waiting, then checked before a byte is read: a FIFO would
    // block the open until a writer came, a device such as /dev/zero would
    // read one endless token, and glibc opens a directory for reading, which
    // would pass for an empty chart and silently keep the previous song's notes.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat status {};
    std::FILE* file = nullptr;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && fcntl(fd, F_SETFL, 0) == 0)
        file = fdopen(fd, "r");
    if (file == nullptr)
        close(fd);
    return file;
}

bool loadChart(ChartTable& chart, std::int32_t& nextNote, const char* path)
{
    nextNote = 1;
    std::FILE* file = openChartFile(path);
    if (file == nullptr)
        return false;
    readPairs(chart, [file] { return std::getc(file); });
    std::fclose(file);
    return true;
}

}  // namespace zorv
