#pragma once

#include <cstdint>

namespace nimbrel {

// What one path weighs on disk: the allocated bytes of the regular files under it.
struct DiskUsage {
    std::int64_t size = 0;   // blocks x 512, hard-linked files once
    std::int64_t items = 0;  // regular files counted (1 for a path that is not a folder)
    bool exists = false;     // false only when the path's own status cannot be read
    bool readable = true;    // false when the path exists but its folder cannot be walked
    // True when the measure was cancelled part-way: the totals are then zero, never a partial sum
    // that would pass for a finished one.
    bool cancelled = false;

    friend bool operator==(const DiskUsage&, const DiskUsage&) = default;
};

}  // namespace nimbrel
