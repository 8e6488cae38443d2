#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "engine/host_layout.h"
#include "engine/volume_info.h"

namespace nimbrel {

// The lines of the scan menu, worked out from the volumes, the recents and the home folder, so the
// menu widget only draws them.
struct ScanMenuLine {
    enum class Kind { header, row, divider };
    enum class Action { none, scan, chooseFolder };

    Kind kind = Kind::row;
    QString title;
    std::string symbol;
    std::optional<QString> detail;
    Action action = Action::none;
    std::string target;  // the path to scan, for Action::scan

    bool operator==(const ScanMenuLine&) const = default;
};

struct ScanMenuModel {
    static constexpr size_t kRecentRows = 5;

    std::vector<VolumeInfo> volumes;
    std::optional<VolumeInfo> rootVolume;
    std::vector<std::string> recents;
    // The host's folders; its home is the one "~" and "Home" stand for.
    HostLayout layout = HostLayout::current();
    // The folder of installed applications, when the host has one ("/Applications" on macOS).
    std::optional<std::string> applicationsFolder;

    std::vector<ScanMenuLine> lines() const;
};

// The parent folder of a path with the home folder written as "~": "/Users/me/Movies/a" ->
// "~/Movies", "/Users" -> "/", "/" -> "/".
QString parentDetail(const std::string& path, const std::string& home);

}  // namespace nimbrel
