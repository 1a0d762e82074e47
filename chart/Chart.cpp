#include "chart/Chart.h"

#include <limits>

#include <sys/stat.h>

namespace zorv {
namespace {

// The C locale's white space, as the chart format defines it.
bool isChartSpace(int c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Reads the next token into `field`. Returns false at end of file before any
// token, leaving `field` as it was.
bool readToken(std::FILE* file, char (&field)[ChartLine::kFieldSize])
{
    int c = std::getc(file);
    while (c != EOF && isChartSpace(c))
        c = std::getc(file);
    if (c == EOF)
        return false;

    int length = 0;
    for (; c != EOF && !isChartSpace(c); c = std::getc(file)) {
        if (length < ChartLine::kFieldSize - 1)
            field[length++] = static_cast<char>(c);
    }
    field[length] = '\0';
    return true;
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

void readChart(ChartTable& chart, std::FILE* file)
{
    // One pair per record, 300 times; once the file runs out the remaining
    // reads find nothing and store nothing.
    for (ChartLine& line : chart) {
        if (readToken(file, line.col1))
            readToken(file, line.col2);
    }
}

bool loadChart(ChartTable& chart, std::int32_t& nextNote, const char* path)
{
    nextNote = 1;
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr)
        return false;
    // glibc opens a directory for reading and only the first read fails, which
    // would pass for an empty chart and silently keep the previous song's notes.
    struct stat status {};
    if (fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
        std::fclose(file);
        return false;
    }
    readChart(chart, file);
    std::fclose(file);
    return true;
}

}  // namespace zorv
