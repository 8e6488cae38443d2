#include "engine/volume_info.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string_view>
#include <unordered_set>

#include "engine/bounded_wait.h"
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

// True when a part of `path` is a snapshot folder (".snapshots", "@snapshots", "snapshots").
bool isInSnapshot(std::string_view path) {
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        while (!part.empty() && (part.front() == '.' || part.front() == '@' || part.front() == '_'))
            part.remove_prefix(1);
        if (part.size() == 9 && std::equal(part.begin(), part.end(), "snapshots", [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == b;
            }))
            return true;
        start = end + 1;
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

bool VolumeInfo::isNetworkMount(const MountEntry& e) {
    static const std::unordered_set<std::string> network = {"nfs",   "nfs4",  "cifs",      "smb3",
                                                            "smbfs", "sshfs", "fuse.sshfs"};
    return network.count(e.fsType) > 0;
}

bool VolumeInfo::isShownMount(const MountEntry& e) {
    if (e.mountPoint == "/") return true;
    if (isNetworkMount(e)) {
        for (const char* hidden : {"/proc", "/sys", "/dev", "/var/lib"})
            if (PathRules::isAtOrInside(e.mountPoint, hidden)) return false;
        return true;
    }
    // File systems that live on a disk the user can plug, browse and fill. FUSE is kept only when a
    // block device backs it (NTFS and exFAT drives).
    static const std::unordered_set<std::string> onDisk = {
        "ext2", "ext3",     "ext4", "xfs",   "btrfs",   "f2fs",  "jfs",   "reiserfs",
        "zfs",  "bcachefs", "vfat", "msdos", "exfat",   "ntfs",  "ntfs3", "fuseblk",
        "hfs",  "hfsplus",  "apfs", "udf",   "iso9660", "nilfs2"};
    if (!onDisk.count(e.fsType)) return false;
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

std::optional<VolumeInfo::Space> VolumeInfo::statSpace(const std::string& mountPoint) {
    struct statvfs fs {};
    if (statvfs(mountPoint.c_str(), &fs) != 0) return std::nullopt;
    const auto bytes = [&](fsblkcnt_t blocks) {
        return static_cast<int64_t>(blocks) * static_cast<int64_t>(fs.f_frsize);
    };
    return Space{bytes(fs.f_blocks), bytes(fs.f_bavail),
                 bytes(fs.f_blocks - std::min(fs.f_bfree, fs.f_blocks))};
}

std::optional<VolumeInfo::Space> VolumeInfo::measureWithin(const std::string& mountPoint,
                                                           std::chrono::milliseconds limit,
                                                           const Measure& measure) {
    return answerWithin<std::optional<Space>>(mountPoint, limit,
                                              [mountPoint, measure] { return measure(mountPoint); })
        .value_or(std::nullopt);
}

std::vector<VolumeInfo> VolumeInfo::fromMountTable(const std::string& mountInfo, const Measure& measure,
                                                   std::chrono::milliseconds networkLimit) {
    std::vector<MountEntry> shown = parseMountInfo(mountInfo);
    std::erase_if(shown, [](const MountEntry& e) { return !isShownMount(e); });
    // Each device is listed once, through its best mount: the root file system, else a mount of the
    // whole file system, else its main subvolume (btrfs "/@data"): the one with the shortest mount
    // point outside every snapshot folder. Snapshots come last and a tie keeps the first mount; a
    // bind of a folder of a disk already listed is not listed again.
    auto rank = [](const MountEntry& e) {
        return e.mountPoint == "/"                                  ? 0
               : e.root == "/"                                      ? 1
               : isInSnapshot(e.root) || isInSnapshot(e.mountPoint) ? 3
                                                                    : 2;
    };
    auto better = [&](const MountEntry& a, const MountEntry& b) {
        if (rank(a) != rank(b)) return rank(a) < rank(b);
        return rank(a) == 2 && a.mountPoint.size() < b.mountPoint.size();
    };
    std::map<std::pair<unsigned, unsigned>, const MountEntry*> chosen;
    for (const MountEntry& e : shown) {
        auto [it, fresh] = chosen.try_emplace({e.major, e.minor}, &e);
        if (!fresh && better(e, *it->second)) it->second = &e;
    }
    std::vector<VolumeInfo> out;
    for (const MountEntry& e : shown) {
        if (chosen.at({e.major, e.minor}) != &e) continue;
        const bool root = e.mountPoint == "/";
        const bool network = isNetworkMount(e);
        const std::optional<Space> space =
            network ? measureWithin(e.mountPoint, networkLimit, measure) : measure(e.mountPoint);
        if (!space || space->total < 1) continue;
        VolumeInfo v;
        v.url = e.mountPoint;
        v.total = space->total;
        v.available = space->available;
        v.used = space->used;
        v.isRoot = root;
        if (root) {
            v.name = HostLayout::current().rootVolumeName;
            v.isInternal = true;
        } else {
            if (!network) v.name = blockDeviceLabel(makedev(e.major, e.minor));
            if (v.name.empty()) v.name = PathRules::lastComponent(e.mountPoint);
            v.isInternal = !network && isInternalDevice(e.major, e.minor);
        }
        // A later mount on the same place hides the earlier one; the table lists the later last.
        std::erase_if(out, [&](const VolumeInfo& o) { return o.url == v.url; });
        out.push_back(std::move(v));
    }
    sortVolumes(out);
    return out;
}

std::vector<VolumeInfo> VolumeInfo::mounted() {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    return fromMountTable(text.str(), &statSpace);
}

}  // namespace nimbrel
