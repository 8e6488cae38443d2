#include "engine/volume_info.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>
#include <unordered_set>

#include "engine/path_rules.h"

namespace nimbrel {

namespace {

// Mount-table fields escape space, tab, newline and backslash as three octal digits.
std::string unescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' &&
            s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string readFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Internal when the disk behind the device is neither removable nor attached over USB; false when
// the system doesn't say.
bool isInternalDevice(unsigned major, unsigned minor) {
    std::error_code ec;
    const std::filesystem::path dev = std::filesystem::canonical(
        "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor), ec);
    if (ec) return false;
    if (dev.string().find("/usb") != std::string::npos) return false;
    // A partition's "removable" flag lives on its disk, one folder up.
    for (const std::filesystem::path& p : {dev, dev.parent_path()}) {
        const std::string flag = readFirstLine((p / "removable").string());
        if (!flag.empty()) return flag == "0";
    }
    return false;
}

}  // namespace

std::vector<VolumeInfo::MountEntry> VolumeInfo::parseMountInfo(const std::string& text) {
    std::vector<MountEntry> out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional fields...] - type source super-options
        std::istringstream in(line);
        std::string id, parent, device, root, mountPoint, options, field;
        if (!(in >> id >> parent >> device >> root >> mountPoint >> options)) continue;
        while (in >> field && field != "-") {
        }
        MountEntry e;
        if (field != "-" || !(in >> e.fsType >> e.source)) continue;
        if (std::sscanf(device.c_str(), "%u:%u", &e.major, &e.minor) != 2) continue;
        e.root = unescape(root);
        e.mountPoint = unescape(mountPoint);
        e.fsType = unescape(e.fsType);
        e.source = unescape(e.source);
        out.push_back(std::move(e));
    }
    return out;
}

bool VolumeInfo::isShownMount(const MountEntry& e) {
    if (e.mountPoint == "/") return true;
    // File systems that live on a disk the user can plug, browse and fill. FUSE is kept only when a
    // block device backs it (NTFS and exFAT drives).
    static const std::unordered_set<std::string> onDisk = {
        "ext2", "ext3",     "ext4", "xfs",   "btrfs",   "f2fs",  "jfs",   "reiserfs",
        "zfs",  "bcachefs", "vfat", "msdos", "exfat",   "ntfs",  "ntfs3", "fuseblk",
        "hfs",  "hfsplus",  "apfs", "udf",   "iso9660", "nilfs2"};
    if (!onDisk.count(e.fsType)) return false;
    // A bind mount of a folder shows a part of a volume that is already listed.
    if (e.root != "/") return false;
    for (const char* hidden : {"/boot", "/proc", "/sys", "/dev", "/snap", "/var/lib", "/var/snap", "/efi"})
        if (PathRules::isAtOrInside(e.mountPoint, hidden)) return false;
    if (PathRules::isAtOrInside(e.mountPoint, "/run") && !PathRules::isAtOrInside(e.mountPoint, "/run/media"))
        return false;
    return true;
}

void VolumeInfo::sortVolumes(std::vector<VolumeInfo>& volumes) {
    std::stable_sort(volumes.begin(), volumes.end(), [](const VolumeInfo& a, const VolumeInfo& b) {
        if (a.isRoot != b.isRoot) return a.isRoot;
        return a.name < b.name;
    });
}

std::vector<VolumeInfo> VolumeInfo::mounted() {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();

    std::vector<VolumeInfo> out;
    std::set<std::pair<unsigned, unsigned>> seen;  // one entry per device, the first mount of it
    for (const MountEntry& e : parseMountInfo(text.str())) {
        if (!isShownMount(e)) continue;
        // A device mounted in several places is listed once, where it was mounted first (the root
        // volume is always listed).
        const bool root = e.mountPoint == "/";
        if (!seen.insert({e.major, e.minor}).second && !root) continue;
        struct statvfs fs {};
        if (statvfs(e.mountPoint.c_str(), &fs) != 0) continue;
        VolumeInfo v;
        v.url = e.mountPoint;
        v.total = static_cast<int64_t>(fs.f_blocks) * static_cast<int64_t>(fs.f_frsize);
        v.available = static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
        if (v.total < 1) continue;
        v.isRoot = root;
        if (root) {
            v.name = HostLayout::current().rootVolumeName;
            v.isInternal = true;
        } else {
            v.name = blockDeviceLabel(makedev(e.major, e.minor));
            if (v.name.empty()) v.name = PathRules::lastComponent(e.mountPoint);
            v.isInternal = isInternalDevice(e.major, e.minor);
        }
        // A later mount on the same place hides the earlier one; the table lists the later last.
        std::erase_if(out, [&](const VolumeInfo& o) { return o.url == v.url; });
        out.push_back(std::move(v));
    }
    sortVolumes(out);
    return out;
}

}  // namespace nimbrel
