#pragma once
// The chart table: the header record and up to 299 notes, kept as text and
// converted to numbers at every use.

#include <array>
#include <cstdint>
#include <cstdio>

namespace zorv {

// One token pair of a chart file. Each field holds at most 99 characters and
// always ends in a NUL; a longer token is cut to its first 99 characters.
struct ChartLine {
    static constexpr int kFieldSize = 100;
    char col1[kFieldSize] = {};  // header: unused; note: lane 1..4
    char col2[kFieldSize] = {};  // header: audio file name; note: spawn time, ms
};

// Record 0 is the header, records 1..299 are notes.
inline constexpr int kChartRecords = 300;
using ChartTable = std::array<ChartLine, kChartRecords>;

// The number rule for chart fields: skip leading white space, take one
// optional sign, then decimal digits up to the first non-digit; no digits
// gives 0. Values beyond the 32-bit range saturate at INT32_MIN / INT32_MAX.
std::int32_t chartNumber(const char* text) noexcept;

// Reads the first 300 token pairs of `file` into records 0.., one pair per
// record. Records the file does not reach keep what they held; with an odd
// token count the last record gets its col1 only. Tokens are separated by
// any run of space, tab, CR, LF, VT or FF; a token over 99 characters is cut
// to 99 and the rest of it skipped, so later pairs keep their pairing.
void readChart(ChartTable& chart, std::FILE* file);

// A chart load: sets nextNote to 1, then opens `path` in text mode and reads
// it. Returns false, with the table untouched, when the file cannot be opened
// or is a directory.
bool loadChart(ChartTable& chart, std::int32_t& nextNote, const char* path);

}  // namespace zorv
