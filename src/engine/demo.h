#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/disk_usage.h"
#include "engine/junk_location.h"
#include "engine/scan_result.h"
#include "engine/volume_info.h"

namespace nimbrel {

// The built-in sample data of demo mode: a volume, junk measurements, a listing of the caches and a
// whole scanned home folder. Nothing here touches the disk, so the sample looks the same on every host.
struct Demo {
    // The sample home folder; the sample tree's root.
    static constexpr const char* home = "/Users/drevo";

    // True when the process was launched with the exact argument "-demo" (any position). Decided once.
    static bool isOn();
    static bool hasDemoFlag(const std::vector<std::string>& arguments);
    // For tests of code that behaves differently in demo mode.
    static void setOnForTesting(bool on);

    // The sample's only volume, the root.
    static const VolumeInfo& volume();
    // Measurements by junk-location id; the backups location has none.
    static const std::unordered_map<std::string, DiskUsage>& measurements();
    static DiskUsage trash();
    // The caches location's listing, in display order.
    static const std::vector<JunkEntry>& cacheContents();
    // The sample's machine: a Mac home, judged, named and shown as one on every host (its reasons,
    // junk locations and tags in the Mac's words, "~" for its home).
    static const HostLayout& layout();
    // The junk locations of the sample home, which the measurements and the listing describe.
    static std::vector<JunkLocation> junkLocations();

    // A fresh sample result whose file ids start at `firstID`; its dates are relative to now.
    static std::shared_ptr<ScanResult> scanResult(int64_t firstID);
};

}  // namespace nimbrel
