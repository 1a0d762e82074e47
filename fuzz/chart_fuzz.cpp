// Arbitrary bytes as a chart file: the loader must keep every field a
// NUL-terminated string inside its 100 bytes, pair the tokens exactly as a
// plain split on white space does, and give the same table when the same
// bytes are read again. The number rule is checked against strtoll on every
// NUL-terminated piece of the input and on every field.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "chart/Chart.h"

namespace {

using zorv::ChartLine;
using zorv::ChartTable;

[[noreturn]] void fail(const char* what, int record = -1)
{
    std::fprintf(stderr, "chart_fuzz: %s (record %d)\n", what, record);
    std::abort();
}

// The oracle states the format on its own, on purpose: it must not share a
// line with the reader it checks.
bool isChartSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// strtoll follows the same grammar in the C locale and saturates at the
// 64-bit limits, which lie beyond the 32-bit ones.
std::int32_t referenceNumber(const char* text)
{
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

void readBytes(ChartTable& chart, const std::uint8_t* data, std::size_t size)
{
    zorv::readChart(chart, std::string_view(reinterpret_cast<const char*>(data), size));
}

void expectField(const char (&field)[ChartLine::kFieldSize], const std::string* token, int record)
{
    const void* end = std::memchr(field, '\0', ChartLine::kFieldSize);
    if (end == nullptr)
        fail("field without a NUL in its 100 bytes", record);
    const std::size_t length = token ? std::min<std::size_t>(token->size(), ChartLine::kFieldSize - 1) : 0;
    // A token may hold NUL bytes of its own, so compare by the token's length.
    if (field[length] != '\0' || (token && std::memcmp(field, token->data(), length) != 0))
        fail("field differs from its token", record);
    if (zorv::chartNumber(field) != referenceNumber(field))
        fail("number rule differs from strtoll on a field", record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> tokens;
    for (std::size_t i = 0; i < size;) {
        while (i < size && isChartSpace(data[i]))
            ++i;
        const std::size_t start = i;
        while (i < size && !isChartSpace(data[i]))
            ++i;
        if (i > start)
            tokens.emplace_back(reinterpret_cast<const char*>(data) + start, i - start);
    }

    ChartTable chart{};
    readBytes(chart, data, size);
    for (int record = 0; record < zorv::kChartRecords; ++record) {
        const std::size_t first = 2 * static_cast<std::size_t>(record);
        expectField(chart[record].col1, first < tokens.size() ? &tokens[first] : nullptr, record);
        expectField(chart[record].col2, first + 1 < tokens.size() ? &tokens[first + 1] : nullptr, record);
    }

    // Reading the same file again over the table it produced changes no byte,
    // not even those behind a field's NUL.
    const ChartTable once = chart;
    readBytes(chart, data, size);
    if (std::memcmp(&once, &chart, sizeof chart) != 0)
        fail("a second read of the same bytes changed the table");

    std::string text(reinterpret_cast<const char*>(data), size);
    for (std::size_t start = 0; start <= text.size();) {
        const char* piece = text.c_str() + start;
        if (zorv::chartNumber(piece) != referenceNumber(piece))
            fail("number rule differs from strtoll");
        start += std::strlen(piece) + 1;
    }
    return 0;
}
