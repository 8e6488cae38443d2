#include <string>
#include <unordered_set>

#include "engine/disk_scanner.h"
#include "engine/inode_key.h"
#include "engine/tree_walker.h"

namespace nimbrel {

namespace {

constexpr std::int64_t kPollEvery = 4096;

}  // namespace

// The scan's own walk, without its tree: any depth, bounded descriptors, no link followed below
// the path, and no folder read that is not the one listed.
DiskUsage DiskScanner::usage(const std::string& rawPath, const CancelToken* token) {
    using Kind = WalkEntry::Kind;
    const std::string path = normalize(rawPath);
    if (path.find('\0') != std::string::npos) return {0, 0, true, true};

    TreeWalker walker(path, /*followRoot=*/false);
    DiskUsage usage{0, 0, true, true};
    std::unordered_set<InodeKey> linked;
    std::int64_t entries = 0;
    while (const WalkEntry* e = walker.read()) {
        if (e->level == 0) {
            switch (e->kind) {
                case Kind::noStat:
                    return {0, 0, false, true};
                case Kind::directory:
                case Kind::directoryPost:
                    continue;
                case Kind::directoryUnreadable:
                    return {0, 0, true, false};
                default:  // a file, a link, anything else: the path alone
                    return {e->blocks * 512, 1, true, true};
            }
        }
        if (token && ++entries % kPollEvery == 0 && token->isCancelled()) break;
        // Unreadable folders below the path leave their contents out; folders count no blocks.
        if (e->kind == Kind::file && (e->links < 2 || linked.insert(InodeKey{e->device, e->inode}).second)) {
            usage.size += e->blocks * 512;
            usage.items += 1;
        }
    }
    if (token && token->isCancelled()) return {0, 0, true, true, true};
    return usage;
}

}  // namespace nimbrel
