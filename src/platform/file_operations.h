#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/removal_worker.h"
#include "platform/file_remover.h"

namespace nimbrel {

// The real file-system calls of a removal: the freedesktop Trash or the safe remover for good, an
// entry's own type for "is a folder", a raw directory listing and the scanner's allocated-size
// measure. Every call reaches its path's folder without following links below a trusted anchor.
class FileOperations : public RemovalFileOps {
  public:
    // `anchors`: the folders that may themselves be reached through a link (the home folder as the
    // user spells it, the scan root); everything below them is walked without following links.
    // `pinned`: folders reviewed through links, reached through them while they are still the same.
    // `knownMounts`: the mounts there were when what is removed was seen (by default, now): an item
    // whose folder lies on a newer mount is refused.
    explicit FileOperations(std::vector<std::string> anchors = defaultAnchors(),
                            std::vector<PinnedFolder> pinned = {},
                            std::optional<std::unordered_set<uint64_t>> knownMounts = std::nullopt);

    std::optional<RemovalError> remove(const std::string& path, bool permanently) override;
    std::optional<RemovalError> removeReviewed(const std::string& path, bool permanently,
                                               const ReviewedEntry& reviewed) override;
    // Both modes count: for good what the disk got back, to the Trash what emptying it will give.
    bool countsFreedBytes(bool) const override { return true; }
    std::optional<Counted> takeCounted() override;
    bool isFolder(const std::string& path) override;
    Listing list(const std::string& folder) override;
    int64_t allocatedSize(const std::string& normalizedPath) override;
    bool hasOtherLinks(const std::string& path) override;

    // Every name in the folder in the order the file system gives them, hidden ones included.
    static Listing listFolder(const std::string& folder);
    // The home folder.
    static std::vector<std::string> defaultAnchors();

  private:
    std::vector<std::string> anchors_;
    std::vector<PinnedFolder> pinned_;
    std::unordered_set<uint64_t> knownMounts_;
    std::optional<Counted> counted_;
    // Names of hard-linked files this removal moved to the Trash: the last one to go credits them.
    FileRemover::LinkedNames trashedNames_;
};

}  // namespace nimbrel
