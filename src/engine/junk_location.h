#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/disk_usage.h"
#include "engine/entry_identity.h"
#include "engine/host_layout.h"

namespace nimbrel {

// One removable item listed inside a junk location.
struct JunkEntry {
    std::string path;
    int64_t size = 0;  // allocated bytes
    bool isDirectory = false;
    // What was there when it was listed: a removal takes it only while it is still that entry.
    std::optional<EntryIdentity> identity = std::nullopt;

    friend bool operator==(const JunkEntry&, const JunkEntry&) = default;
};

// A known place where the system, apps and developer tools leave data that can be removed, as
// fixed data, with what it takes to list and measure its removable items.
struct JunkLocation {
    enum class Risk { safe, caution };

    // How the removable items are found.
    enum class Kind {
        matching,  // the direct children whose lower-cased extension is in `extensions`
        contents,  // the children of each folder; the folder itself stays
        item,      // the folders themselves
    };

    std::string id;  // "caches", "logs", ...; a selected location travels as "junk:" + id
    std::string title;
    std::string detail;
    std::string symbol;              // the name of the symbol image shown for it
    std::vector<std::string> paths;  // absolute folders
    Risk risk = Risk::safe;
    Kind kind = Kind::contents;
    std::unordered_set<std::string> extensions;  // for `matching` only
    std::vector<std::string> skipPrefixes;       // child names never listed (contents only)
    std::string kindsTag;                        // the installers: their kinds, as the tag lists them

    // The nine locations in the order they are measured, shown and selected, built afresh from the
    // home folder. Texts are in the current language. Locations with no counterpart on the host keep
    // their macOS paths, which do not exist there.
    static std::vector<JunkLocation> all();
    static std::vector<JunkLocation> all(const HostLayout& layout);

    // The short tag shown beside the location in lists, in the current language; empty for an id
    // outside the catalogue.
    std::string blurb() const;
    // The paths that exist on disk (any kind of object), in order.
    std::vector<std::string> existingPaths() const;
    // The concrete absolute paths to remove for this location.
    std::vector<std::string> targets() const;
    // Walks the disk: call it off the main thread.
    DiskUsage measure() const;
    // `targets` as entries with what each is now (a link read as a link), unsized; a target that is
    // gone by then is left out. Reads one status per target.
    static std::vector<JunkEntry> identified(const std::vector<std::string>& targets);

    friend bool operator==(const JunkLocation&, const JunkLocation&) = default;
};

}  // namespace nimbrel
