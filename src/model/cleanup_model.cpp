#include "model/cleanup_model.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "engine/demo.h"
#include "engine/disk_scanner.h"
#include "engine/host_layout.h"
#include "engine/path_rules.h"
#include "engine/risk_catalog.h"
#include "model/background.h"

namespace nimbrel {

namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Whether the location's measurement counted `path`: its folder itself, or what lies below it that
// the location lists (the first name below the folder decides: a matching extension, or a name the
// location does not skip). A movie removed from the downloads folder is no installer.
bool counts(const JunkLocation& location, const std::string& path) {
    for (const std::string& folder : location.paths) {
        if (path == folder) return true;
        if (!PathRules::isAtOrInside(path, folder)) continue;
        const size_t start = folder.size() + 1;
        const std::string_view first = std::string_view(path).substr(
            start, path.find('/', start) == std::string::npos ? std::string_view::npos
                                                              : path.find('/', start) - start);
        switch (location.kind) {
            case JunkLocation::Kind::item:
                return true;
            case JunkLocation::Kind::contents:
                return std::none_of(location.skipPrefixes.begin(), location.skipPrefixes.end(),
                                    [&](const std::string& prefix) { return first.starts_with(prefix); });
            case JunkLocation::Kind::matching:
                return location.extensions.count(asciiLower(pathExtension(first))) > 0;
        }
    }
    return false;
}

struct Measured {
    std::unordered_map<std::string, DiskUsage> measurements;
    std::unordered_map<std::string, std::vector<std::string>> folders;
    TrashUsage trash;
    std::optional<bool> hasSimulators;
};

}  // namespace

CleanupModel::Disk CleanupModel::Disk::real() {
    return real(std::nullopt, ::getuid());
}

CleanupModel::Disk CleanupModel::Disk::real(std::optional<std::string> mountInfo, unsigned uid) {
    Disk d;
    d.measure = [](const JunkLocation& location) { return location.measure(); };
    d.trash = [mountInfo = std::move(mountInfo), uid](const std::string& homeTrash) {
        return mountInfo ? measureUserTrash(homeTrash, *mountInfo, uid) : measureUserTrash(homeTrash);
    };
    d.folders = [](const JunkLocation& location) { return location.existingPaths(); };
    d.list = [](const JunkLocation& location) { return sizedTargets(location); };
    d.hasSimulators = [home = HostLayout::current().home] {
        return exists(home + "/Library/Developer/CoreSimulator/Devices");
    };
    return d;
}

std::vector<JunkEntry> CleanupModel::sizedTargets(const JunkLocation& location) {
    std::vector<JunkEntry> entries = JunkLocation::identified(location.targets());
    for (JunkEntry& entry : entries) {
        DiskUsage usage = DiskScanner::usage(entry.path);
        entry.size = usage.exists ? usage.size : 0;
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const JunkEntry& a, const JunkEntry& b) { return a.size > b.size; });
    return entries;
}

CleanupModel::CleanupModel(QObject* parent, QThreadPool* userPool, QThreadPool* utilityPool, Disk disk)
    : CleanupModel(JunkLocation::all(), HostLayout::current().trashFolder, false, std::move(disk), parent,
                   userPool, utilityPool) {}

CleanupModel::CleanupModel(std::vector<JunkLocation> locations, std::string trashFolder, bool hasSimulators,
                           Disk disk, QObject* parent, QThreadPool* userPool, QThreadPool* utilityPool)
    : QObject(parent),
      locations_(std::move(locations)),
      trashFolder_(std::move(trashFolder)),
      disk_(std::move(disk)),
      userPool_(userPool ? userPool : &Background::userInitiated()),
      utilityPool_(utilityPool ? utilityPool : &Background::utility()),
      hasSimulators_(hasSimulators) {}

void CleanupModel::setMeasurements(
    std::unordered_map<std::string, DiskUsage> value,
    std::optional<std::unordered_map<std::string, std::vector<std::string>>> folders) {
    if (measurements_ == value && (!folders || folders_ == *folders)) return;
    measurements_ = std::move(value);
    if (folders) folders_ = std::move(*folders);
    emit measurementsChanged();
}

void CleanupModel::setTrash(std::optional<TrashUsage> value) {
    if (trash_ == value) return;
    trash_ = value;
    emit trashChanged();
}

void CleanupModel::setSelected(std::unordered_set<std::string> ids) {
    selected_ = std::move(ids);
}

void CleanupModel::setIsMeasuring(bool value) {
    if (isMeasuring_ == value) return;
    isMeasuring_ = value;
    emit isMeasuringChanged();
}

void CleanupModel::setHasMeasured(bool value) {
    if (hasMeasured_ == value) return;
    hasMeasured_ = value;
    emit hasMeasuredChanged();
}

void CleanupModel::setHasSimulators(bool value) {
    if (hasSimulators_ == value) return;
    hasSimulators_ = value;
    emit hasSimulatorsChanged();
}

void CleanupModel::setIsEmptyingTrash(bool value) {
    if (isEmptyingTrash_ == value) return;
    isEmptyingTrash_ = value;
    emit isEmptyingTrashChanged();
}

void CleanupModel::setContents(std::unordered_map<std::string, std::vector<JunkEntry>> value) {
    if (contents_ == value) return;
    contents_ = std::move(value);
    emit contentsChanged();
}

void CleanupModel::setLoadingContents(std::unordered_set<std::string> value) {
    if (loadingContents_ == value) return;
    loadingContents_ = std::move(value);
    emit loadingContentsChanged();
}

bool CleanupModel::isSample() const {
    return sample_ || Demo::isOn();
}

void CleanupModel::measure() {
    if (isSample()) return;
    if (isMeasuring_) {
        remeasure_ = true;
        return;
    }
    setIsMeasuring(true);
    Background::run(
        *utilityPool_, this,
        [locations = locations_, trashFolder = trashFolder_, disk = disk_] {
            Measured m;
            for (const JunkLocation& location : locations) {
                m.measurements[location.id] = disk.measure(location);
                // Counted here, so the rows never look at the disk.
                m.folders[location.id] = disk.folders(location);
            }
            m.trash = disk.trash(trashFolder);
            if (disk.hasSimulators) m.hasSimulators = disk.hasSimulators();
            return m;
        },
        [this](Measured m) {
            setMeasurements(std::move(m.measurements), std::move(m.folders));
            setTrash(m.trash);
            if (m.hasSimulators) setHasSimulators(*m.hasSimulators);
            setContents({});  // listings may be stale now
            setIsMeasuring(false);
            if (!hasMeasured_) {
                std::unordered_set<std::string> withData;
                for (const JunkLocation& location : locations_) {
                    auto it = measurements_.find(location.id);
                    if (location.risk == JunkLocation::Risk::safe && it != measurements_.end() &&
                        it->second.size >= 1) {
                        withData.insert(location.id);
                    }
                }
                setSelected(std::move(withData));
                setHasMeasured(true);
            }
            if (remeasure_) {
                remeasure_ = false;
                measure();
            }
        });
}

void CleanupModel::measureTrash() {
    if (isSample()) return;
    if (isMeasuring_) {
        remeasure_ = true;  // the pass under way may have read the Trash before it filled
        return;
    }
    Background::run(
        *utilityPool_, this, [trashFolder = trashFolder_, disk = disk_] { return disk.trash(trashFolder); },
        [this](TrashUsage usage) {
            if (!isMeasuring_) setTrash(usage);
        });
}

void CleanupModel::loadDemo() {
    sample_ = true;
    locations_ = Demo::junkLocations();
    // The sample's figures describe a machine where every folder of a location is there.
    std::unordered_map<std::string, std::vector<std::string>> folders;
    for (const JunkLocation& location : locations_)
        folders[location.id] = location.paths;
    setMeasurements(Demo::measurements(), std::move(folders));
    setTrash(TrashUsage{Demo::trash()});
    setContents({{"caches", Demo::cacheContents()}});
    setHasMeasured(true);
    setSelected({});
}

void CleanupModel::subtract(const std::unordered_map<std::string, int64_t>& removed) {
    auto measurements = measurements_;
    auto contents = contents_;
    for (const JunkLocation& location : locations_) {
        auto m = measurements.find(location.id);
        if (m == measurements.end()) continue;
        int64_t freed = 0;
        for (const auto& [path, bytes] : removed)
            if (counts(location, path)) freed += bytes;
        if (freed < 1) continue;
        m->second.size = std::max<int64_t>(0, m->second.size - freed);
        if (auto listed = contents.find(location.id); listed != contents.end()) {
            std::erase_if(listed->second, [&](const JunkEntry& e) { return removed.count(e.path) > 0; });
        }
    }
    setMeasurements(std::move(measurements));
    setContents(std::move(contents));
}

std::vector<JunkLocation> CleanupModel::visibleLocations() const {
    std::vector<JunkLocation> out;
    for (const JunkLocation& location : locations_) {
        // Only what a measurement found: the window never looks at the disk for it.
        auto m = measurements_.find(location.id);
        if (m != measurements_.end() && m->second.exists && (m->second.size >= 1 || !m->second.readable))
            out.push_back(location);
    }
    return out;
}

void CleanupModel::loadContents(const JunkLocation& location, bool force) {
    if (isSample()) {
        if (!contents_.count(location.id)) {
            auto contents = contents_;
            contents[location.id] = {};
            setContents(std::move(contents));
        }
        return;
    }
    if (!force && contents_.count(location.id)) return;
    if (loadingContents_.count(location.id)) return;
    auto loading = loadingContents_;
    loading.insert(location.id);
    setLoadingContents(std::move(loading));
    Background::run(
        *userPool_, this,
        [location, list = disk_.list] {
            std::vector<JunkEntry> entries = list(location);
            std::stable_sort(entries.begin(), entries.end(),
                             [](const JunkEntry& a, const JunkEntry& b) { return a.size > b.size; });
            return entries;
        },
        [this, id = location.id](std::vector<JunkEntry> entries) {
            auto contents = contents_;
            contents[id] = std::move(entries);
            setContents(std::move(contents));
            auto loading = loadingContents_;
            loading.erase(id);
            setLoadingContents(std::move(loading));
        });
}

}  // namespace nimbrel
