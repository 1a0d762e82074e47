#include "bench/form/Stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zorv::formbench {
namespace {

// Nearest-rank percentile; `values` is sorted in place.
double percentile(std::vector<double>& values, double p)
{
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

}  // namespace

Summary summarize(std::vector<double> values)
{
    Summary s{percentile(values, 50), percentile(values, 99), values.empty() ? std::nan("") : values.back(),
              values.size()};
    return s;
}

void report(const char* name, const std::string& result, const char* target, bool ok)
{
    std::printf("FIGURE\t%s\t%s\t%s\t%s\n", name, result.c_str(), target, ok ? "ok" : "MISS");
    std::fflush(stdout);
}

std::string fmt(const char* pattern, double a, double b, double c)
{
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

}  // namespace zorv::formbench
