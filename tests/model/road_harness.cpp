#include "model/road_harness.h"

#include <cstdlib>

namespace nimbrel::road {

// GLib and the host layout read XDG_DATA_HOME once, at first use, so it is set before main() runs.
// A child this program starts again (a death test, which ends without exit handlers) uses its
// parent's folder and leaves it to the parent to remove.
const std::string& base() {
    // Never destroyed: the exit handler that removes it runs after static destructors.
    static const std::string* folder = [] {
        if (const char* parents = std::getenv("NIMBREL_ROAD_BASE")) return new std::string(parents);
        std::string pattern = std::filesystem::temp_directory_path().string() + "/nimbrel-road-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        chmod(pattern.c_str(), 0755);  // the unprivileged case walks through it
        std::filesystem::create_directories(pattern + "/share");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(base(), ignored);
        });
        setenv("NIMBREL_ROAD_BASE", pattern.c_str(), 1);
        return new std::string(pattern);
    }();
    return *folder;
}
const bool kDataHomeSet = setenv("XDG_DATA_HOME", (base() + "/share").c_str(), 1) == 0;
// The home too, so its junk locations (~/.cache) can be arranged here.
const bool kHomeSet = std::filesystem::create_directories(base() + "/home") &&
                      setenv("HOME", (base() + "/home").c_str(), 1) == 0;

std::string trashFiles() {
    return base() + "/share/Trash/files";
}

int64_t allocatedInside(const std::string& folder) {
    int64_t total = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_symlink() || !entry.is_directory()) total += allocated(entry.path().string());
    return total;
}

std::vector<std::string> trashed() {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(trashFiles(), ignored))
        names.push_back(entry.path().filename().string());
    return names;
}

}  // namespace nimbrel::road
