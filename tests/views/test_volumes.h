#pragma once

#include <cstdint>
#include <string>

#include "engine/volume_info.h"

namespace nimbrel {

inline VolumeInfo testVolume(const std::string& mountPoint, const std::string& name, int64_t total,
                             int64_t available, bool isRoot) {
    VolumeInfo v;
    v.url = mountPoint;
    v.name = name;
    v.total = total;
    v.available = available;
    v.isRoot = isRoot;
    v.used = total - available;  // no blocks kept for root
    return v;
}

}  // namespace nimbrel
