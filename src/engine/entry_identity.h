#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

#include "engine/inode_key.h"

namespace nimbrel {

class DirNode;
struct FileItem;

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

    // A folder the scan saw, by its device and inode.
    static EntryIdentity folder(std::uint64_t device, std::uint64_t inode);
    static EntryIdentity folder(const DirNode& node);
    // What the scan saw of a listed file (a package is judged as the folder it is). Nothing when
    // the scan did not record it.
    static std::optional<EntryIdentity> scanned(const FileItem& file);

    // True when `now` is still the entry this identity describes.
    bool sameEntry(const EntryIdentity& now) const;
    // How `now` differs from this identity, in a few words; empty when it is the same entry.
    std::string difference(const EntryIdentity& now) const;
};

// The devices met in this run, numbered from 1 in the order first met: a listed file names its
// device in two bytes instead of eight. Thread-safe.
struct DeviceNumbers {
    // The number of `device`; 0 once 65,535 devices are numbered (the file then has no identity).
    static std::uint16_t number(std::uint64_t device);
    // The device numbered `number`; nothing for 0 or a number not given out.
    static std::optional<std::uint64_t> device(std::uint16_t number);
};

}  // namespace nimbrel
