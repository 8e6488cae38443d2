#include <sys/stat.h>

#include <unordered_set>

#include "engine/disk_scanner.h"
#include "engine/inode_key.h"
#include "engine/tree_walker.h"

namespace nimbrel {

namespace {

constexpr std::int64_t kPollEvery = 4096;

}  // namespace

DiskUsage DiskScanner::usage(const std::string& rawPath, const CancelToken* token) {
    const std::string path = normalize(rawPath);
    if (path.find('\0') != std::string::npos) return {0, 0, true, true};

    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return {0, 0, false, true};
    if (!S_ISDIR(st.st_mode)) return {static_cast<std::int64_t>(st.st_blocks) * 512, 1, true, true};

    DiskUsage usage{0, 0, true, true};
    std::unordered_set<InodeKey> linked;
    std::int64_t entries = 0;
    TreeWalker walker(path, /*followRoot=*/false);
    while (const WalkEntry* e = walker.read()) {
        if (token && ++entries % kPollEvery == 0 && token->isCancelled())
            return {0, 0, true, usage.readable, true};
        if (e->kind == WalkEntry::Kind::file) {
            if (e->links < 2 || linked.insert(InodeKey{e->device, e->inode}).second) {
                usage.size += e->blocks * 512;
                usage.items += 1;
            }
        } else if (e->kind == WalkEntry::Kind::directoryUnreadable && e->level == 0) {
            usage.readable = false;
        }
    }
    return usage;
}

}  // namespace nimbrel
