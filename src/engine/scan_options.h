#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nimbrel {

// The options of one scan. The defaults are those the preferences register.
struct ScanOptions {
    std::int64_t minTrackedSize = 1000000;  // smaller files only add to their folder's smallFilesSize
    bool treatPackagesAsFiles = true;
    bool skipHidden = false;
    std::vector<std::string> excludedPaths;  // as the user wrote them; the scanner normalises
    // Where the local volumes whose users' Trash folders the scan knows by identity are mounted
    // (as localMountTops gives them); nothing for this machine's mounts at the time of the scan.
    std::optional<std::vector<std::string>> mountTops;

    friend bool operator==(const ScanOptions&, const ScanOptions&) = default;
};

}  // namespace nimbrel
