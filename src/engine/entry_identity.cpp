#include "engine/entry_identity.h"

#include <fcntl.h>

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

bool EntryIdentity::sameEntry(const EntryIdentity& now) const {
    if (key != now.key || type != now.type) return false;
    if (type == Type::folder) return true;
    return size == now.size && modifiedNs == now.modifiedNs && changedNs == now.changedNs;
}

}  // namespace nimbrel
