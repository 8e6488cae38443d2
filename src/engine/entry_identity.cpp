#include "engine/entry_identity.h"

#include <fcntl.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "engine/dir_node.h"
#include "engine/file_item.h"

namespace nimbrel {

namespace {

std::int64_t nanoseconds(const struct timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

EntryIdentity::Type typeOf(mode_t mode) {
    if (S_ISREG(mode)) return EntryIdentity::Type::file;
    if (S_ISDIR(mode)) return EntryIdentity::Type::folder;
    if (S_ISLNK(mode)) return EntryIdentity::Type::link;
    return EntryIdentity::Type::other;
}

}  // namespace

EntryIdentity EntryIdentity::of(const struct stat& st) {
    EntryIdentity id;
    id.key = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    id.type = typeOf(st.st_mode);
    if (id.type != Type::folder) {
        id.size = st.st_size;
        id.modifiedNs = nanoseconds(st.st_mtim);
        id.changedNs = nanoseconds(st.st_ctim);
    }
    return id;
}

std::optional<EntryIdentity> EntryIdentity::read(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    return of(st);
}

std::optional<EntryIdentity> EntryIdentity::readAt(int dirFd, const char* name) {
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return of(st);
}

EntryIdentity EntryIdentity::folder(std::uint64_t device, std::uint64_t inode) {
    EntryIdentity id;
    id.key = {device, inode};
    id.type = Type::folder;
    return id;
}

EntryIdentity EntryIdentity::folder(const DirNode& node) {
    return folder(node.device(), node.inode());
}

std::optional<EntryIdentity> EntryIdentity::scanned(const FileItem& file) {
    const std::optional<std::uint64_t> device = DeviceNumbers::device(file.deviceNumber);
    if (!device || file.inode == 0) return std::nullopt;
    if (file.isPackage) return folder(*device, file.inode);
    EntryIdentity id;
    id.key = {*device, file.inode};
    id.type = Type::file;
    id.size = file.logicalSize;
    id.modifiedNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(file.modified.time_since_epoch()).count();
    id.changedNs = file.changedNs;
    return id;
}

bool EntryIdentity::sameEntry(const EntryIdentity& now) const {
    if (key != now.key || type != now.type) return false;
    if (type == Type::folder) return true;
    return size == now.size && modifiedNs == now.modifiedNs && changedNs == now.changedNs;
}

}  // namespace nimbrel

namespace nimbrel {

namespace {

const char* typeName(EntryIdentity::Type type) {
    switch (type) {
        case EntryIdentity::Type::file:
            return "a file";
        case EntryIdentity::Type::folder:
            return "a folder";
        case EntryIdentity::Type::link:
            return "a link";
        case EntryIdentity::Type::other:
            break;
    }
    return "something else";
}

}  // namespace

std::string EntryIdentity::difference(const EntryIdentity& now) const {
    if (sameEntry(now)) return {};
    if (type != now.type) return std::string(typeName(now.type)) + " took its place";
    if (key != now.key)
        return std::string("another ") + (type == Type::folder ? "folder" : "file") + " took its place";
    if (size != now.size || modifiedNs != now.modifiedNs) return "its content or details were changed";
    // Only the change time moved: a rewrite with its old time put back looks just the same.
    return "its content, permissions, owner or flags were changed";
}

}  // namespace nimbrel

namespace nimbrel {

namespace {

struct DeviceTable {
    std::mutex mutex;
    std::vector<std::uint64_t> devices;  // number - 1 to device
};

DeviceTable& deviceTable() {
    static DeviceTable* table = new DeviceTable;
    return *table;
}

}  // namespace

std::uint16_t DeviceNumbers::number(std::uint64_t device) {
    DeviceTable& table = deviceTable();
    std::lock_guard lock(table.mutex);
    for (std::size_t i = 0; i < table.devices.size(); ++i)
        if (table.devices[i] == device) return static_cast<std::uint16_t>(i + 1);
    if (table.devices.size() >= 0xFFFF) return 0;
    table.devices.push_back(device);
    return static_cast<std::uint16_t>(table.devices.size());
}

std::optional<std::uint64_t> DeviceNumbers::device(std::uint16_t number) {
    DeviceTable& table = deviceTable();
    std::lock_guard lock(table.mutex);
    if (number == 0 || number > table.devices.size()) return std::nullopt;
    return table.devices[number - 1];
}

}  // namespace nimbrel
