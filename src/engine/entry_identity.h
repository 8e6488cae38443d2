#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

#include "engine/inode_key.h"

namespace nimbrel {

// What a scan or a search saw of one entry, so a later step can tell whether the entry at a path is
// still that entry. A folder is told by its device and inode alone (what changes inside it belongs
// to it); a file also by its length and its modification and change times, so a file rewritten in
// place, even with its old modification time put back, no longer matches.
struct EntryIdentity {
    enum class Type : std::uint8_t { file, folder, link, other };

    InodeKey key;
    Type type = Type::other;
    std::int64_t size = 0;  // content length; files only
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;

    friend bool operator==(const EntryIdentity&, const EntryIdentity&) = default;

    static EntryIdentity of(const struct stat& st);
    // The entry at `path` itself (a link is read as a link); nothing when it cannot be read.
    static std::optional<EntryIdentity> read(const std::string& path);
    // The entry `name` inside the open folder `dirFd`, without following a link.
    static std::optional<EntryIdentity> readAt(int dirFd, const char* name);

    // True when `now` is still the entry this identity describes.
    bool sameEntry(const EntryIdentity& now) const;
};

}  // namespace nimbrel
