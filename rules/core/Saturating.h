#pragma once

#include <cstdint>
#include <limits>

namespace zorv {

// Scores, Tops and retirement times stop at the 32-bit limits instead of wrapping.
constexpr std::int32_t saturatingAdd(std::int32_t a, std::int32_t b) noexcept
{
    std::int32_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<std::int32_t>::max() : std::numeric_limits<std::int32_t>::min();
    return sum;
}

}  // namespace zorv
