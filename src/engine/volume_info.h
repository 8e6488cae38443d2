#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/host_layout.h"

namespace nimbrel {

// One mounted volume worth showing: its free space and whether it is the root file system.
struct VolumeInfo {
    std::string url;  // the mount point's path; the volume's identity
    std::string name;
    int64_t total = 0;      // bytes
    int64_t available = 0;  // bytes free for an unprivileged user
    bool isInternal = false;
    bool isRoot = false;
    // Bytes in use as df counts them: the total less the free blocks. The blocks a file system keeps
    // for root are neither in use nor available to the user.
    int64_t used = 0;

    const std::string& id() const { return url; }

    // The volumes on real disks that the user can browse, the root volume first, then by name
    // (code-point order). Blocks on file-system queries: call it off the main thread. A volume whose
    // figures cannot be read is left out.
    static std::vector<VolumeInfo> mounted();

    // One line of the mount table, decoded.
    struct MountEntry {
        unsigned major = 0, minor = 0;  // the device
        std::string root;               // the mounted subtree of the file system ("/" unless bound)
        std::string mountPoint;
        std::string fsType;
        std::string source;
    };

    // The lines of /proc/self/mountinfo; escaped characters ("\040") are decoded.
    static std::vector<MountEntry> parseMountInfo(const std::string& text);
    // True for a mount the user would call a volume: the root file system, a whole on-disk file
    // system mounted outside the system's own places, or a network share. Pseudo, memory and other
    // FUSE file systems and snap images are not.
    static bool isShownMount(const MountEntry& entry);
    // A share on another machine (NFS, SMB, SSH): a query may hang while its server is away.
    static bool isNetworkMount(const MountEntry& entry);

    // Capacity and free space of a mounted file system.
    struct Space {
        int64_t total = 0;
        int64_t available = 0;
        int64_t used = 0;
    };
    using Measure = std::function<std::optional<Space>(const std::string& mountPoint)>;
    // statvfs of the mount point; nothing when it fails.
    static std::optional<Space> statSpace(const std::string& mountPoint);
    // Measures on a thread of its own and waits at most `limit`: a share whose server stopped
    // answering gives nothing instead of blocking the caller. While an earlier measure of the same
    // mount point has not come back, no other is started: the call waits on that one.
    static std::optional<Space> measureWithin(const std::string& mountPoint, std::chrono::milliseconds limit,
                                              const Measure& measure);
    static constexpr std::chrono::milliseconds kNetworkLimit{1500};

    // The volumes of a mount table, as mounted() lists them. A network share is measured with a
    // time limit; one that does not answer in time is left out.
    static std::vector<VolumeInfo> fromMountTable(const std::string& mountInfo, const Measure& measure,
                                                  std::chrono::milliseconds networkLimit = kNetworkLimit);
    // Root first, then by name in code-point order; equal volumes keep their order.
    static void sortVolumes(std::vector<VolumeInfo>& volumes);

    friend bool operator==(const VolumeInfo&, const VolumeInfo&) = default;
};

}  // namespace nimbrel

template <>
struct std::hash<nimbrel::VolumeInfo> {
    size_t operator()(const nimbrel::VolumeInfo& v) const noexcept {
        size_t h = std::hash<std::string>()(v.url);
        for (size_t part : {std::hash<std::string>()(v.name), std::hash<int64_t>()(v.total),
                            std::hash<int64_t>()(v.available), size_t(v.isInternal), size_t(v.isRoot),
                            std::hash<int64_t>()(v.used)})
            h = h * 31 + part;
        return h;
    }
};
