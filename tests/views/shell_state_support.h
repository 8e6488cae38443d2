#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "idle_cleanup.h"
#include "model/app_state.h"
#include "model/background.h"
#include "model/prefs.h"
#include "support/private_prefs.h"
#include "support/wait_for.h"

namespace nimbrel::testing {

// An AppState on a manual clock and a private settings file, whose scans return nothing at once and
// remember the options they were started with.
struct ShellState {
    PrivatePrefs prefs;
    ManualClock clock;
    std::mutex mutex;
    std::optional<ScanOptions> lastOptions;
    int volumeListings = 0;
    std::vector<VolumeInfo> volumes;  // what the next listing finds
    bool demo = false;
    std::unique_ptr<AppState> state;

    ShellState() {
        AppStateServices s = AppStateServices::standard();
        s.cleanupDisk = idleCleanupDisk();
        s.mountTops.emplace();
        s.scanner = [this](const std::string&, const ScanOptions& options, std::int64_t, const CancelToken&,
                           const DiskScanner::ProgressCallback&) -> std::shared_ptr<ScanResult> {
            std::lock_guard lock(mutex);
            lastOptions = options;
            return nullptr;
        };
        s.listVolumes = [this] {
            std::lock_guard lock(mutex);
            ++volumeListings;
            return volumes;
        };
        s.chooseFolder = [] { return std::optional<std::string>(); };
        s.clock = &clock;
        s.isDemo = [this] { return demo; };
        s.home = [] { return std::string("/home/u"); };
        s.arguments = [] { return std::vector<std::string>{"nimbrel"}; };
        state = std::make_unique<AppState>(std::move(s));
    }
    ~ShellState() { state.reset(); }

    // Lets the background scan and listings finish and delivers their results.
    void settle() { nimbrel::settle({&Background::userInitiated(), &Background::utility()}); }

    void setVolumes(std::vector<VolumeInfo> found) {
        std::lock_guard lock(mutex);
        volumes = std::move(found);
    }

    std::optional<ScanOptions> options() {
        std::lock_guard lock(mutex);
        return lastOptions;
    }
};

}  // namespace nimbrel::testing
