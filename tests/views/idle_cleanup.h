#pragma once

#include "model/cleanup_model.h"

namespace nimbrel {

// Deep Clean's disk work for a window under test: it finds nothing and reads nothing, so the
// machine's home, Trash and mounts never reach what a test sees.
inline CleanupModel::Disk idleCleanupDisk() {
    CleanupModel::Disk d;
    d.measure = [](const JunkLocation&) { return DiskUsage{}; };
    d.trash = [](const std::string&) { return TrashUsage{DiskUsage{0, 0, true, true}}; };
    d.folders = [](const JunkLocation&) { return std::vector<std::string>{}; };
    d.list = [](const JunkLocation&) { return std::vector<JunkEntry>{}; };
    return d;
}

}  // namespace nimbrel
