#pragma once

#include <QObject>
#include <QThreadPool>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/disk_usage.h"
#include "engine/junk_location.h"
#include "engine/trash_contents.h"

namespace nimbrel {

// What the Deep Clean area knows of the junk locations: the catalogue, the last measurement of each
// location and of the Trash, the contents listed so far and which work runs. Measures and lists in
// the background; after a removal lowers its figures arithmetically. Main thread only.
class CleanupModel : public QObject {
    Q_OBJECT

  public:
    // The disk work, replaceable in tests. Each function runs on a worker thread.
    struct Disk {
        std::function<DiskUsage(const JunkLocation&)> measure;
        // Every Trash of the user, given the home Trash.
        std::function<TrashUsage(const std::string& homeTrash)> trash;
        // The location's folders that are there, in order.
        std::function<std::vector<std::string>(const JunkLocation&)> folders;
        // The location's targets, sized, in listing order.
        std::function<std::vector<JunkEntry>(const JunkLocation&)> list;
        // Whether the simulators' folder is there, read with each measurement; unset: the answer
        // the model was made with stands.
        std::function<bool()> hasSimulators;

        // This machine's, with the volumes' Trash folders of the mounts then mounted.
        static Disk real();
        // The same with the volumes' Trash folders of user `uid` on the mounts `mountInfo` lists
        // (the text of /proc/self/mountinfo); no table: those mounted when the Trash is measured.
        static Disk real(std::optional<std::string> mountInfo, unsigned uid);
    };
    // A location's targets as they are now, each with what it is and weighs, largest first. Reads
    // the disk: any thread but the main one.
    static std::vector<JunkEntry> sizedTargets(const JunkLocation& location);

    // This machine's catalogue and Trash folder, measured by `disk`; whether it has simulators is
    // read with the first measurement, never on the main thread. Listings run on `userPool`,
    // measurements on `utilityPool` (default: the shared pools).
    explicit CleanupModel(QObject* parent = nullptr, QThreadPool* userPool = nullptr,
                          QThreadPool* utilityPool = nullptr, Disk disk = Disk::real());
    CleanupModel(std::vector<JunkLocation> locations, std::string trashFolder, bool hasSimulators, Disk disk,
                 QObject* parent = nullptr, QThreadPool* userPool = nullptr,
                 QThreadPool* utilityPool = nullptr);

    const std::vector<JunkLocation>& locations() const { return locations_; }
    const std::unordered_map<std::string, DiskUsage>& measurements() const { return measurements_; }
    // The folders of each measured location that were there when it was measured, in order.
    const std::unordered_map<std::string, std::vector<std::string>>& folders() const { return folders_; }
    // The home Trash and the user's Trash on every mounted volume: what emptying the Trash deletes.
    const std::optional<TrashUsage>& trash() const { return trash_; }
    const std::unordered_set<std::string>& selected() const { return selected_; }
    void setSelected(std::unordered_set<std::string> ids);
    bool isMeasuring() const { return isMeasuring_; }
    bool hasMeasured() const { return hasMeasured_; }
    bool hasSimulators() const { return hasSimulators_; }
    void setHasSimulators(bool value);
    // The Trash is being emptied: its figure is stale until the measurement after it.
    bool isEmptyingTrash() const { return isEmptyingTrash_; }
    void setIsEmptyingTrash(bool value);
    const std::unordered_map<std::string, std::vector<JunkEntry>>& contents() const { return contents_; }
    const std::unordered_set<std::string>& loadingContents() const { return loadingContents_; }

    // Measures every location and the Trash in the background; while one measurement runs, further
    // requests collapse into one more run after it. Nothing happens in demo mode.
    void measure();
    // Measures the Trash alone (after a removal put things in it); during a full pass, one more
    // pass follows instead.
    void measureTrash();
    // Installs the sample: its home's catalogue, its figures and its listing. From then on the model
    // reads nothing from the disk.
    void loadDemo();
    bool isSample() const;
    // Lowers the figures by what a removal freed (removed path -> freed bytes).
    void subtract(const std::unordered_map<std::string, int64_t>& removed);
    // The locations the Deep Clean screen lists: measured ones with something to show.
    std::vector<JunkLocation> visibleLocations() const;
    // Lists a location's targets with their sizes into contents(); one listing per location at a time.
    void loadContents(const JunkLocation& location, bool force);

  signals:
    void measurementsChanged();
    void trashChanged();
    void isMeasuringChanged();
    void hasMeasuredChanged();
    void hasSimulatorsChanged();
    void isEmptyingTrashChanged();
    void contentsChanged();
    void loadingContentsChanged();

  private:
    void setMeasurements(
        std::unordered_map<std::string, DiskUsage> value,
        std::optional<std::unordered_map<std::string, std::vector<std::string>>> folders = {});
    void setTrash(std::optional<TrashUsage> value);
    void setIsMeasuring(bool value);
    void setHasMeasured(bool value);
    void setContents(std::unordered_map<std::string, std::vector<JunkEntry>> value);
    void setLoadingContents(std::unordered_set<std::string> value);

    std::vector<JunkLocation> locations_;
    std::string trashFolder_;
    Disk disk_;
    QThreadPool* userPool_;
    QThreadPool* utilityPool_;

    std::unordered_map<std::string, DiskUsage> measurements_;
    std::unordered_map<std::string, std::vector<std::string>> folders_;
    std::optional<TrashUsage> trash_;
    std::unordered_set<std::string> selected_;
    bool isMeasuring_ = false;
    bool hasMeasured_ = false;
    bool hasSimulators_ = false;
    bool isEmptyingTrash_ = false;
    bool remeasure_ = false;
    bool sample_ = false;
    std::unordered_map<std::string, std::vector<JunkEntry>> contents_;
    std::unordered_set<std::string> loadingContents_;
};

}  // namespace nimbrel
