#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/file_category.h"
#include "engine/shared_string.h"

namespace nimbrel {

class DirNode;

// One scanned file, or one package folder counted as a file.
struct FileItem {
    std::int64_t id = 0;  // unique within the run: each scan continues from the last one's lastID
    // Shared by every copy of the item; the scanner makes `name` the last component of `path`, so
    // the bytes are held once (see SharedString).
    SharedString path;
    SharedString name;
    std::int64_t size = 0;         // allocated bytes (blocks x 512); for a package, over its files
    std::int64_t logicalSize = 0;  // content length
    std::chrono::system_clock::time_point modified;
    std::chrono::system_clock::time_point accessed;
    FileCategory category = FileCategory::other;
    bool isPackage = false;
    // The file's device, as DeviceNumbers numbers it (0: not known). Two bytes that would be padding.
    std::uint16_t deviceNumber = 0;
    // Regular files it stands for in its folders' file counts: 1, or the files inside a package.
    // Beside the two one-byte fields, it fills room that would be padding: a million listed files
    // are a million items.
    std::int32_t fileCount = 1;
    // The folder that lists it; non-owning. Valid while that folder is in a live tree; a copy kept
    // after its result was pruned or replaced must not follow it.
    DirNode* parent = nullptr;
    // The file's inode number as the scan found it (for a package, its folder's): lets a reader of
    // many files visit them in the order they lie on the disk.
    std::uint64_t inode = 0;
    // When the scan saw the file's inode last change (ctime, nanoseconds since the epoch): with the
    // inode, the length and the modification time, what tells the file the user reviewed from one
    // rewritten since, even with its modification time put back.
    std::int64_t changedNs = 0;

    // Items are identified by id alone.
    friend bool operator==(const FileItem& a, const FileItem& b) { return a.id == b.id; }
};

}  // namespace nimbrel

template <>
struct std::hash<nimbrel::FileItem> {
    std::size_t operator()(const nimbrel::FileItem& f) const noexcept {
        return std::hash<std::int64_t>{}(f.id);
    }
};
