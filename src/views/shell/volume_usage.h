#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/volume_info.h"

namespace nimbrel {

// A volume's used space as df reports it, never negative.
inline int64_t usedBytes(const VolumeInfo& volume) {
    return std::max<int64_t>(volume.used, 0);
}

// How full a volume is, as df's Use%: the used space over the used and the available space (the
// blocks kept for root count as neither); 0 when the total is below one byte.
inline double usedFraction(const VolumeInfo& volume) {
    const int64_t used = usedBytes(volume);
    const int64_t room = used + std::max<int64_t>(volume.available, 0);
    if (volume.total < 1 || room < 1) return 0.0;
    return static_cast<double>(used) / static_cast<double>(room);
}

}  // namespace nimbrel
