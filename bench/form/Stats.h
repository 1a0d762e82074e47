#pragma once
// The steady clock, summaries of timings, and the FIGURE lines
// scripts/bench.sh tabulates.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorv::formbench {

inline std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline double ms(std::int64_t ns) { return static_cast<double>(ns) / 1e6; }

struct Summary {
    double median, p99, max;
    std::size_t n;
};

// Nearest-rank median and 99th percentile, and the largest; NaN when empty.
Summary summarize(std::vector<double> values);

// One line a figure, tab-separated, for scripts/bench.sh to tabulate:
// FIGURE <name> <result> <target> <ok|MISS>
void report(const char* name, const std::string& result, const char* target, bool ok);

// printf of up to three numbers.
std::string fmt(const char* pattern, double a, double b = 0, double c = 0);

}  // namespace zorv::formbench
