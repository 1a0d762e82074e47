#pragma once
// The chart table: the header record and up to 299 notes, kept as text and
// converted to numbers at every use; and the reader that fills it.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace zorv {

// One token pair of a chart file. Each field holds at most 99 characters and
// always ends in a NUL; a longer token is cut to its first 99 characters.
struct ChartLine {
    static constexpr int kFieldSize = 100;
    static constexpr int kFieldChars = kFieldSize - 1;
    char col1[kFieldSize] = {};  // header: unused; note: lane 1..4
    char col2[kFieldSize] = {};  // header: audio file name; note: spawn time, ms
};

// Record 0 is the header, records 1..299 are notes. A load reads one token
// pair per record, so at most 600 tokens; the rest of a file is never read.
inline constexpr int kChartRecords = 300;
inline constexpr int kChartTokens = 2 * kChartRecords;
using ChartTable = std::array<ChartLine, kChartRecords>;

// The chart format's white space: space, tab, CR, LF, VT and FF (the C locale's).
constexpr bool isChartSpace(int c) noexcept
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The number rule for chart fields: skip leading white space, take one
// optional sign, then decimal digits up to the first non-digit; no digits
// gives 0. Values beyond the 32-bit range saturate at INT32_MIN / INT32_MAX.
std::int32_t chartNumber(const char* text) noexcept;

// Splits a stream of bytes into chart tokens: runs of anything but chart
// white space. `NextByte` is a callable returning the next byte (0..255) or
// EOF. Shared by the reader and by tools that need more than the table keeps.
template <typename NextByte>
class ChartTokenizer {
public:
    explicit ChartTokenizer(NextByte next) : next_(next) {}

    // Skips white space, then hands every byte of the next token to `take`,
    // however long the token is. False, with `take` never called, at the end.
    template <typename Take>
    bool next(Take&& take)
    {
        int c = get();
        while (c != EOF && isChartSpace(c))
            c = get();
        if (c == EOF)
            return false;
        tokenLine_ = line_;
        for (; c != EOF && !isChartSpace(c); c = get())
            take(static_cast<char>(c));
        return true;
    }
    // 1-based line on which the last token returned by next() started.
    int tokenLine() const noexcept { return tokenLine_; }

private:
    int get()
    {
        if (lastWasNewline_)
            ++line_;
        const int c = next_();
        lastWasNewline_ = c == '\n';
        return c;
    }

    NextByte next_;
    int line_ = 1;
    int tokenLine_ = 0;
    bool lastWasNewline_ = false;
};

// Reads the first 300 token pairs of `text` into records 0.., one pair per
// record. Intended: records the text does not reach keep what they held, so
// a shorter chart loaded after a longer one leaves the longer one's tail in
// place; with an odd token count the last record gets its col1 only. A token
// over 99 characters is cut to 99, and later pairs keep their pairing.
void readChart(ChartTable& chart, std::string_view text);

// A note as the tick reads it from its record: the numbers of col1 and col2.
struct ChartNote {
    std::int32_t lane = 1;    // 1..4
    std::int32_t timeMs = 0;  // spawn time, ms of play position
};

// The notes the tick dispatches, in order: records 1.. up to the first whose
// lane is not 1..4, which ends the chart; all 299 when every record is a note.
std::vector<ChartNote> chartNotes(const ChartTable& chart);

// Opens a chart file for reading in text mode. Returns nullptr when it cannot
// be opened (errno says why) or is anything but a regular file: a directory,
// a FIFO, a device, a socket, or a link to one. It never waits on such a file.
std::FILE* openChartFile(const char* path) noexcept;

// A chart load: sets nextNote to 1, then reads the file at `path` as
// readChart does, streaming (only the first 600 tokens are ever read).
// Returns false, with the table untouched, when openChartFile refuses it.
bool loadChart(ChartTable& chart, std::int32_t& nextNote, const char* path);

}  // namespace zorv
