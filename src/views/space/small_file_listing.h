#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/entry_identity.h"

namespace nimbrel {

// Lists the files of one folder that the scan kept out of its tree because they were small: one
// directory level, names already shown skipped before any system call, links listed as themselves,
// sub-folders never. Runs off the main thread; an unreadable or vanished folder gives nothing.
struct SmallFileListing {
    struct File {
        std::string path;
        std::int64_t size = 0;  // allocated: blocks x 512
        // What was listed, so a tick removes this very file and not whatever takes its name later.
        EntryIdentity identity;
        bool operator==(const File&) const = default;
    };
    static std::vector<File> list(const std::string& folder, const std::unordered_set<std::string>& known,
                                  bool skipHidden);
};

}  // namespace nimbrel
