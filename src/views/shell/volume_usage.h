#pragma once

#include <algorithm>
#include <cstdint>

namespace nimbrel {

// A volume's used space: total minus available, never negative (some file systems report more free
// space than capacity).
inline int64_t usedBytes(int64_t total, int64_t available) {
    return std::max<int64_t>(total - available, 0);
}

// The used share of a volume, 0 when the total is below one byte.
inline double usedFraction(int64_t total, int64_t available) {
    if (total < 1) return 0.0;
    return static_cast<double>(usedBytes(total, available)) / static_cast<double>(total);
}

}  // namespace nimbrel
